// The grouping window on a real display, driven by keys and clicks.
#include "db/dmmainU.h"
#include "grouping/TfrmGroup.h"
#include "testsupport/GTestQt.h"
#include "testsupport/OperatorInput.h"
#include "testsupport/TestDatabase.h"
#include "widgets/TDBGrid.h"

#include <QChartView>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "testsupport/Child.h"
#include "testsupport/WindowDbTest.h"

using namespace Operator;

namespace {

const QDateTime kT0(QDate(2024, 3, 5), QTime(10, 0, 0));

class GroupXTest : public WindowDbTest {
protected:
    void SetUp() override {
        openDatabaseWithObject();
        for (int id : {5, 6, 7})
            addRun(m_dm.dbNUV, id, QVariant(), 1, kT0.addSecs(id * 3600),
                   {{0, 10.0, 1}, {30000, 120.0, 1}, {90700, 181.4, 1}});
    }

    std::unique_ptr<TfrmGroup> open() {
        auto w = std::make_unique<TfrmGroup>(m_paths, m_dm);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        QTest::qWait(400); // the window manager's frame and the restored sizes settle
        return w;
    }

    QList<int> runsInDatabase() {
        QList<int> out;
        for (const auto& row : selectRows(m_dm.dbNUV, "select mes_id from mes order by mes_id"))
            out.append(row.first().toInt());
        return out;
    }

    static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

    // At its first size, in the system's formats: nothing the operator reads
    // is cut, and the window fits a 1280x800 screen.
    static void expectReadable(TfrmGroup& w) {
        EXPECT_LE(w.frameGeometry().width(), 1280);
        EXPECT_LE(w.frameGeometry().height(), 800);
        const QString start = child<TDBGrid>(w, "DBGrid1")->model()->index(0, 1).data().toString();
        EXPECT_FALSE(start.isEmpty());
        const QFontMetrics fm(child<TDBGrid>(w, "DBGrid1")->font());
        EXPECT_LE(fm.horizontalAdvance(start) + 6,
                  child<TDBGrid>(w, "DBGrid1")->columnWidth(1)) // not elided
            << start.toStdString();
        for (QLabel* l : {child<QLabel>(w, "DBText1"), child<QLabel>(w, "DBText2"),
                          child<QLabel>(w, "DBText3")})
            EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->contentsRect().width())
                << l->text().toStdString();
        EXPECT_GE(child<QLineEdit>(w, "edKomentar")->width(), 200);
        const QString dir = qEnvironmentVariable("NUV_SCREENS");
        if (!dir.isEmpty())
            w.grab().save(QDir(dir).filePath("grouping-" + QLocale().name() + ".png"));
    }
    static void clickRow(QTableView* grid, int row) {
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }

    // The window's placement is the settings' own business (tested there);
    // here the window opens at its design size every time, so that only the
    // splitters' sizes travel from one opening to the next.
    void forgetPlacement() {
        QFile f(m_paths.settings());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QList<QByteArray> kept;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (!line.startsWith("NormPos") && !line.startsWith("MinMaxPos"))
                kept.append(line);
        f.close();
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(kept.join('\n'));
    }
};

TEST_F(GroupXTest, EnterAndEscapeNeverDeleteARun) {
    auto w = open();
    // Enter twice, on the run list and on the buttons the operator tabs to.
    for (QWidget* at : {static_cast<QWidget*>(child<TDBGrid>(*w, "DBGrid1")),
                        static_cast<QWidget*>(child<QPushButton>(*w, "Button1"))}) {
        at->setFocus();
        TBoxSeen unexpected;
        answerWithKey(&unexpected, Qt::Key_Escape, w.get(), 1500);
        press(Qt::Key_Return);
        press(Qt::Key_Enter);
        QTest::qWait(1800);
        EXPECT_FALSE(unexpected.shown) << unexpected.text.toStdString();
    }
    EXPECT_EQ(runsInDatabase(), QList<int>({5, 6, 7}));
    EXPECT_TRUE(w->isVisible());

    // The deletion question: "Не" is its default; Enter and Escape keep the run.
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        TBoxSeen seen;
        answerWithKey(&seen, key, w.get());
        click(child<QPushButton>(*w, "Button1"));
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(seen.caption, "Изтриване на записи");
        EXPECT_TRUE(seen.text.startsWith(
            "Сигурен ли сте, че желаете да изтриете всички записи към измерване 5 от дата "));
        EXPECT_EQ(seen.buttons, QStringList({"Да", "Не"}));
        EXPECT_EQ(seen.defaultButton, "Не");
        EXPECT_FALSE(seen.icon);
        EXPECT_EQ(runsInDatabase(), QList<int>({5, 6, 7}));
    }
    // Only a deliberate "Да" and a reason delete; Escape when asked why keeps the run.
    for (const QString reason : {"", "повредена проба"}) {
        TBoxSeen yes;
        TReasonSeen why;
        answerWithClick(&yes, "Да", w.get());
        answerReason(&why, reason);
        click(child<QPushButton>(*w, "Button1"));
        ASSERT_TRUE(yes.shown);
        QTest::qWait(300);
        ASSERT_TRUE(why.shown);
        EXPECT_EQ(why.caption, "Изтриване на записи");
        EXPECT_TRUE(why.enterOnEmptyKeptIt);
    }
    EXPECT_EQ(runsInDatabase(), QList<int>({6, 7}));
    EXPECT_EQ(child<TDBGrid>(*w, "DBGrid1")->model()->rowCount(), 2);
}

TEST_F(GroupXTest, TheRunBeingRecordedIsNotDeleted) {
    auto w = open();
    w->isRecording = [](int id) { return id == 6; };
    clickRow(child<TDBGrid>(*w, "DBGrid1"), 1);
    ASSERT_EQ(w->qryMes.FieldByName("MES_ID").toInt(), 6);
    TBoxSeen seen;
    answerWithKey(&seen, Qt::Key_Return, w.get());
    click(child<QPushButton>(*w, "Button1"));
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, "Измерване 6 още се записва и не може да бъде изтрито!!!");
    EXPECT_EQ(seen.buttons, QStringList({"OK"}));
    EXPECT_FALSE(seen.icon);
    EXPECT_EQ(runsInDatabase(), QList<int>({5, 6, 7}));
    // Another run is deleted as before.
    clickRow(child<TDBGrid>(*w, "DBGrid1"), 2);
    TBoxSeen yes;
    TReasonSeen why;
    answerWithClick(&yes, "Да", w.get());
    answerReason(&why, "x");
    click(child<QPushButton>(*w, "Button1"));
    EXPECT_TRUE(yes.text.contains("измерване 7 "));
    EXPECT_EQ(runsInDatabase(), QList<int>({5, 6}));
}

TEST_F(GroupXTest, DelTakesARunOutOfTheSelectionAndEscapeKeepsIt) {
    auto w = open();
    for (int row : {0, 1, 2}) {
        clickRow(child<TDBGrid>(*w, "DBGrid1"), row);
        click(child<QPushButton>(*w, "Button2"));
    }
    ASSERT_EQ(w->mdSelected->rowCount(), 3);
    clickRow(child<QTableView>(*w, "DBGrid2"), 1);
    TBoxSeen unexpected;
    answerWithKey(&unexpected, Qt::Key_Escape, w.get(), 1500);
    press(Qt::Key_Delete);
    QTest::qWait(1800);
    EXPECT_FALSE(unexpected.shown) << "Del asked: " << unexpected.text.toStdString();
    ASSERT_EQ(w->mdSelected->rowCount(), 2);
    EXPECT_EQ(w->mdSelected->item(0)->data(Qt::EditRole).toInt(), 5);
    EXPECT_EQ(w->mdSelected->item(1)->data(Qt::EditRole).toInt(), 7);
    EXPECT_EQ(runsInDatabase(), QList<int>({5, 6, 7}));

    // Escape on the window asks whether to keep the selection; Escape on that
    // question goes back to the window with everything in it.
    child<QLineEdit>(*w, "edKomentar")->setFocus();
    typeText("Бетон");
    TBoxSeen keep;
    answerWithKey(&keep, Qt::Key_Escape, w.get());
    press(Qt::Key_Escape);
    ASSERT_TRUE(keep.shown);
    EXPECT_EQ(keep.text, "Желаете ли да запомните избраните записи ?");
    EXPECT_EQ(keep.caption, "?");
    EXPECT_EQ(keep.buttons, QStringList({"Да", "Не"}));
    EXPECT_EQ(keep.defaultButton, "Да");
    QTest::qWait(200);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->mdSelected->rowCount(), 2);
    EXPECT_EQ(child<QLineEdit>(*w, "edKomentar")->text(), "Бетон");
    // "Не" closes without saving; the runs stay where they were.
    TBoxSeen no;
    answerWithClick(&no, "Не", w.get());
    press(Qt::Key_Escape);
    QTest::qWait(200);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(
        selectRows(m_dm.dbNUV, "select mes_id from mes where mes_group_id is not null").isEmpty());
}

// The chart and the left panel keep their sizes over any number of openings,
// and the texts the operator reads are not cut at the window's size.
TEST_F(GroupXTest, SizesSurviveOpeningAndTextsAreReadable) {
    QList<int> heights, widths;
    QSize first;
    for (int i = 0; i < 20; ++i) {
        auto w = open();
        if (i == 0) {
            first = w->size();
            expectReadable(*w);
        }
        EXPECT_EQ(w->size(), first);
        // As a window manager's frame takes its height after the sizes were
        // restored: the chart keeps its height, the run list gives way.
        w->resize(w->width(), w->height() - 18);
        QTest::qWait(100);
        heights.append(child<QChartView>(*w, "DBChart1")->height());
        widths.append(child<QWidget>(*w, "Panel1")->width());
        press(Qt::Key_Escape); // nothing selected: closes without a question
        QTest::qWait(100);
        ASSERT_FALSE(w->isVisible());
        forgetPlacement();
    }
    for (int h : heights)
        EXPECT_EQ(h, heights.first()) << "chart heights over the openings";
    for (int wd : widths)
        EXPECT_EQ(wd, widths.first()) << "panel widths over the openings";
}

// A placement left small (by another window sharing the keys, or by the
// operator) grows back to where every text reads.
TEST_F(GroupXTest, ASmallStoredPlacementGrowsBackToWhereTextsRead) {
    {
        auto w = open();
        w->resize(420, 400);
        QTest::qWait(100);
        press(Qt::Key_Escape);
        QTest::qWait(100);
    }
    auto w = open();
    EXPECT_GE(w->width(), w->minimumWidth());
    expectReadable(*w);
    press(Qt::Key_Escape);
}

} // namespace
