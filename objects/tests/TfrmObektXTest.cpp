// The objects register on a real display, driven by keys and clicks.
#include "db/dmmainU.h"
#include "objects/TObektTable.h"
#include "objects/TfrmObekt.h"
#include "testsupport/Child.h"
#include "testsupport/GTestQt.h"
#include "testsupport/OperatorInput.h"
#include "testsupport/TestDatabase.h"
#include "widgets/TDBGrid.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Operator;

namespace {

class ObektXTest : public ::testing::Test {
protected:
    void SetUp() override {
        makeTestDatabase(m_paths.database());
        m_dm.dbNUV.DatabaseName = m_paths.database();
        m_dm.dbNUV.Open();
        // Ids below the ones the register takes from its id routine.
        execSql(m_dm.dbNUV, "insert into obekt(obekt_id, ime) values(-2, 'Мост')");
        execSql(m_dm.dbNUV, "insert into obekt(obekt_id, ime) values(-1, 'Път')");
    }

    std::unique_ptr<TfrmObekt> open() {
        auto w = std::make_unique<TfrmObekt>(m_paths, m_dm);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        return w;
    }

    // Names as the register shows them, and as the rest of the system sees them.
    static QStringList shown(TfrmObekt& w) {
        QStringList out;
        for (int r = 0; r < w.OBEKT->RecordCount(); ++r)
            out.append(w.OBEKT->ime(r));
        return out;
    }
    QStringList stored() {
        QStringList out;
        for (const auto& row : selectRows(m_dm.dbNUV, "select ime from obekt order by obekt_id"))
            out.append(row.first().toString());
        return out;
    }

    static void clickName(TfrmObekt& w, int row) {
        const QRect cell =
            child<QTableView>(w, "DBGrid1")->visualRect(w.OBEKT->index(row, TObektTable::colIme));
        QTest::mouseClick(child<QTableView>(w, "DBGrid1")->viewport(), Qt::LeftButton, {},
                          cell.center());
    }

    // Closes the register as its close button does, answering the keep question by a key.
    static TBoxSeen closeAnswering(TfrmObekt& w, Qt::Key key) {
        TBoxSeen seen;
        answerWithKey(&seen, key, &w);
        w.close();
        QTest::qWait(100);
        return seen;
    }

    QTemporaryDir m_dir;
    AppPaths m_paths = AppPaths::in(m_dir.path());
    TdmMain m_dm;
};

TEST_F(ObektXTest, TypingAndDownUpPostWhatWasTyped) {
    auto w = open();
    clickName(*w, 1);
    press(Qt::Key_Down); // past the last row: a new row with its id
    ASSERT_EQ(w->OBEKT->RecordCount(), 3);
    EXPECT_FALSE(w->OBEKT->id(2).isNull());
    typeText("Язовир");
    press(Qt::Key_Down); // posted as typed, and the next new row starts
    ASSERT_EQ(w->OBEKT->RecordCount(), 4);
    EXPECT_EQ(shown(*w), QStringList({"Мост", "Път", "Язовир", ""}));
    typeText("Тунел");
    press(Qt::Key_Up);
    EXPECT_EQ(shown(*w), QStringList({"Мост", "Път", "Язовир", "Тунел"}));
    EXPECT_EQ(w->OBEKT->current(), 2);
    // Typing on an existing row replaces its name; Up posts it; no other name changes.
    typeText("Бент");
    press(Qt::Key_Up);
    press(Qt::Key_Up);
    EXPECT_EQ(shown(*w), QStringList({"Мост", "Път", "Бент", "Тунел"}));
    EXPECT_EQ(w->OBEKT->state(), TObektTable::State::Browse);

    // Down past the last row on an empty new row starts no second one; Up drops it.
    clickName(*w, 3);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    EXPECT_EQ(w->OBEKT->RecordCount(), 5);
    press(Qt::Key_Up);
    EXPECT_EQ(w->OBEKT->RecordCount(), 4);

    const TBoxSeen keep = closeAnswering(*w, Qt::Key_Return); // "Да" is the default
    ASSERT_TRUE(keep.shown);
    EXPECT_EQ(keep.text, "Желаете ли да запомните избраните записи ?");
    EXPECT_EQ(keep.defaultButton, "Да");
    EXPECT_FALSE(keep.icon);
    EXPECT_EQ(stored(), QStringList({"Мост", "Път", "Бент", "Тунел"}));
}

TEST_F(ObektXTest, PlusTakesTheTypingAndEscapeDiscardsOnlyTheRow) {
    auto w = open();
    clickName(*w, 0);
    QTest::mouseClick(child<QToolButton>(*w, "nbInsert"), Qt::LeftButton);
    typeText("Нов");
    press(Qt::Key_Return); // the cell takes the name; the row is still being inserted
    EXPECT_EQ(shown(*w), QStringList({"Нов", "Мост", "Път"}));
    press(Qt::Key_Down);
    EXPECT_EQ(w->OBEKT->state(), TObektTable::State::Browse);
    EXPECT_EQ(shown(*w), QStringList({"Нов", "Мост", "Път"}));

    // Escape in the cell gives the typing up; Escape on the row drops the new row.
    QTest::mouseClick(child<QToolButton>(*w, "nbInsert"), Qt::LeftButton);
    typeText("Грешка");
    press(Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->OBEKT->state(), TObektTable::State::Insert);
    press(Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(shown(*w), QStringList({"Нов", "Мост", "Път"}));

    // A name still in its cell when the window closes is posted before the question.
    // Renaming an object asks why; Enter on no reason does not close the prompt.
    clickName(*w, 2);
    typeText("Пътен възел");
    TReasonSeen why;
    answerReason(&why, "правописна грешка");
    const TBoxSeen keep = closeAnswering(*w, Qt::Key_Return);
    ASSERT_TRUE(keep.shown);
    EXPECT_TRUE(why.shown && why.enterOnEmptyKeptIt);
    QStringList expected = {"Мост", "Пътен възел", "Нов"}; // ordered by id: "Нов" came last
    EXPECT_EQ(stored(), expected);
}

TEST_F(ObektXTest, DeletionQuestionKeepsTheObjectOnEnterAndEscape) {
    auto w = open();
    clickName(*w, 0);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        TBoxSeen seen;
        answerWithKey(&seen, key, w.get());
        press(Qt::Key_Delete, Qt::ControlModifier);
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(seen.buttons, QStringList({"Да", "Не"}));
        EXPECT_EQ(seen.defaultButton, "Не");
        EXPECT_EQ(shown(*w), QStringList({"Мост", "Път"}));
        EXPECT_TRUE(w->isVisible());
    }
    // Escape on the keep question goes back to the register; "Не" then discards.
    clickName(*w, 1);
    typeText("Магистрала");
    TReasonSeen why;
    answerReason(&why, "ново трасе");
    press(Qt::Key_Up);
    EXPECT_TRUE(why.shown);
    TBoxSeen cancel = closeAnswering(*w, Qt::Key_Escape);
    ASSERT_TRUE(cancel.shown);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(shown(*w), QStringList({"Мост", "Магистрала"}));
    const QString dir = qEnvironmentVariable("NUV_SCREENS");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath("objects-" + QLocale().name() + ".png"));
    TBoxSeen no;
    answerWithClick(&no, "Не", w.get());
    w->close();
    QTest::qWait(100);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(stored(), QStringList({"Мост", "Път"}));
}

// Opened as the main window opens it (modal, over it), at its first size and
// after a window the operator made very small left its placement: the window
// is on the screen and no larger than 1280x800, and the navigator's buttons,
// the headers and the names are whole.
TEST_F(ObektXTest, OpensWhereEveryTextReads) {
    execSql(m_dm.dbNUV, "insert into obekt(obekt_id, ime) values(0, "
                        "'Пречиствателна станция Кубратово, II етап')");
    QWidget main;
    main.resize(640, 560);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    const auto openAndCheck = [&](const char* when) {
        SCOPED_TRACE(when);
        TfrmObekt w(m_paths, m_dm, &main);
        whenModal(
            [&](QWidget*) {
                QTest::qWait(300); // the window manager's frame and the restored size
                const QRect frame = w.frameGeometry();
                EXPECT_TRUE(w.screen()->availableGeometry().contains(frame))
                    << frame.x() << "," << frame.y() << " " << frame.width() << "x"
                    << frame.height();
                EXPECT_LE(frame.width(), 1280);
                EXPECT_LE(frame.height(), 800);
                for (QToolButton* b :
                     child<QWidget>(w, "DBNavigator1")->findChildren<QToolButton*>())
                    EXPECT_TRUE(child<QWidget>(w, "DBNavigator1")->rect().contains(b->geometry()))
                        << b->toolTip().toStdString();
                const QHeaderView* h = child<QTableView>(w, "DBGrid1")->horizontalHeader();
                EXPECT_LE(h->length(), child<QTableView>(w, "DBGrid1")->viewport()->width() + 1);
                for (int c : {TObektTable::colId, TObektTable::colIme}) {
                    const QString title = child<QTableView>(w, "DBGrid1")
                                              ->model()
                                              ->headerData(c, Qt::Horizontal)
                                              .toString();
                    EXPECT_LE(h->fontMetrics().horizontalAdvance(title) + 8, h->sectionSize(c))
                        << title.toStdString();
                    for (int r = 0; r < w.OBEKT->RecordCount(); ++r) {
                        if (c == TObektTable::colIme)
                            EXPECT_EQ(w.OBEKT->index(r, c).data(Qt::ToolTipRole).toString(),
                                      w.OBEKT->ime(r));
                        const QString cell = w.OBEKT->index(r, c).data().toString();
                        EXPECT_LE(
                            child<QTableView>(w, "DBGrid1")->fontMetrics().horizontalAdvance(cell) +
                                6,
                            child<QTableView>(w, "DBGrid1")->columnWidth(c))
                            << cell.toStdString();
                    }
                }
                const QString dir = qEnvironmentVariable("NUV_SCREENS");
                if (!dir.isEmpty())
                    w.grab().save(QDir(dir).filePath(
                        QString("objects-%1-%2.png").arg(when, QLocale().name())));
                TBoxSeen keep;
                answerWithKey(&keep, Qt::Key_Return, &w);
                child<QTableView>(w, "DBGrid1")->setFocus();
                press(Qt::Key_Escape);
            },
            &main);
        w.exec();
    };
    openAndCheck("first");

    // A window made small and pushed to the screen's lower right corner.
    QFile f(m_paths.settings());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QRect screen = main.screen()->availableGeometry();
    const int ppi = qRound(main.screen()->logicalDotsPerInch());
    f.write(QString("[frmStorage]\r\nFormVersion=0\r\nFlags=0\r\nShowCmd=1\r\n"
                    "PixelsPerInch=%1\r\nNormPos=%2,%3,%4,%5\r\n")
                .arg(ppi)
                .arg(screen.right() - 200)
                .arg(screen.bottom() - 120)
                .arg(screen.right() - 40)
                .arg(screen.bottom() - 40)
                .toLatin1());
    f.close();
    openAndCheck("small");
}

} // namespace
