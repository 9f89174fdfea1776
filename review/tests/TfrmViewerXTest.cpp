// The review window and its print preview on a real display, driven by keys
// and clicks.
#include "db/dmmainU.h"
#include "review/TChartPrintPreview.h"
#include "review/TDateFilterEdit.h"
#include "review/TfrmViewer.h"
#include "testsupport/GTestQt.h"
#include "testsupport/OperatorInput.h"
#include "testsupport/TestDatabase.h"
#include "widgets/TDBGrid.h"

#include <QCalendarWidget>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include "testsupport/Child.h"
#include "testsupport/WindowDbTest.h"

using namespace Operator;

namespace {

const QDateTime kT0(QDate(2024, 3, 5), QTime(9, 0, 0));

class ViewerXTest : public WindowDbTest {
protected:
    void SetUp() override {
        openDatabaseWithObject();
        execSql(m_dm.dbNUV,
                "insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, "
                "obekt_id) values(13, '2024-03-05', 'Бетон B25, 28 дни', 4, 1)");
        addRun(m_dm.dbNUV, 350, 13, 1, kT0, {{0, 2, 1}, {20000, 30, 1}, {25000, 10, 1}});
    }

    std::unique_ptr<TfrmViewer> open() {
        auto w = std::make_unique<TfrmViewer>(m_paths, m_dm);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        return w;
    }

    static QString run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
};

// The preview opens, is paged through and changed many times (each change
// paints the page again), prints to a PDF file and closes: nothing is
// painted while events are processed, so nothing crashes.
TEST_F(ViewerXTest, PrintPreviewOpensPagesPrintsToPdfAndCloses) {
    auto w = open();
    child<QLineEdit>(*w, "edNomer")->setFocus();
    typeText("13");
    QTest::mouseClick(child<QPushButton>(*w, "Button1"), Qt::LeftButton);
    ASSERT_EQ(child<TDBGrid>(*w, "DBGridEh2")->model()->rowCount(), 1);

    const QString screens = qEnvironmentVariable("NUV_SCREENS");
    const QString pdf = screens.isEmpty()
                            ? m_dir.filePath("run.pdf")
                            : QDir(screens).filePath("print-" + QLocale().name() + ".pdf");
    QFile::remove(pdf);
    bool previewSeen = false;
    whenModal(
        [&](QWidget* modal) {
            auto* preview = qobject_cast<TChartPrintPreview*>(modal);
            if (!preview)
                return;
            previewSeen = true;
            EXPECT_TRUE(QTest::qWaitForWindowExposed(preview));
            QTest::qWait(200);
            EXPECT_FALSE(preview->screenImage().isNull());
            // Paging through and changing the layout, each a new painting.
            preview->Page->setFocus();
            for (Qt::Key key : {Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_End, Qt::Key_Home})
                press(key);
            QTest::mouseClick(preview->rbPortrait, Qt::LeftButton);
            QTest::qWait(100);
            QTest::mouseClick(preview->rbLandscape, Qt::LeftButton);
            const QRectF area = preview->Page->chartArea();
            QTest::mousePress(preview->Page, Qt::LeftButton, {}, area.center().toPoint());
            for (int dx = 5; dx <= 40; dx += 5)
                QTest::mouseMove(preview->Page, (area.center() + QPointF(dx, 0)).toPoint());
            QTest::mouseRelease(preview->Page, Qt::LeftButton, {},
                                (area.center() + QPointF(40, 0)).toPoint());
            QTest::mouseClick(preview->btnResetMargins, Qt::LeftButton);
            QTest::mouseClick(preview->chProportional, Qt::LeftButton);
            QTest::qWait(100);
            if (!screens.isEmpty())
                preview->grab().save(
                    QDir(screens).filePath("preview-" + QLocale().name() + ".png"));
            // To a PDF file, by the printer list and the file name, then "Печат".
            preview->cbPrinter->setCurrentIndex(
                preview->cbPrinter->findText(TChartPrintPreview::kPdfChoice));
            preview->edPdfFile->setFocus();
            typeText(pdf);
            QTest::mouseClick(preview->btnPrint, Qt::LeftButton);
            QTest::qWait(100);
            QTest::mouseClick(preview->btnClose, Qt::LeftButton);
        },
        w.get());
    QTest::mouseClick(child<QPushButton>(*w, "Button3"),
                      Qt::LeftButton); // returns when the preview has closed
    EXPECT_TRUE(previewSeen);
    EXPECT_EQ(QApplication::activeModalWidget(), w.get());
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(run("pdfinfo", {pdf}).contains(QRegularExpression("Pages:\\s+1\\b")));
    const QString printed = run("pdftotext", {"-layout", pdf, "-"});
    EXPECT_TRUE(printed.contains("Измерване No 13/350")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("kN/sec.")) << printed.toStdString();
    if (!screens.isEmpty())
        run("pdftoppm", {"-r", "50", "-png", "-singlefile", pdf,
                         QDir(screens).filePath("print-" + QLocale().name())});
    // The window is still there and usable after the preview.
    EXPECT_TRUE(w->isVisible());
    if (!screens.isEmpty())
        w->grab().save(QDir(screens).filePath("review-" + QLocale().name() + ".png"));
}

// The filter's date is typed in the system's short date format with a
// four-digit year (a two-digit year is this century), its calendar opens at
// today, and an erased date is no bound.
TEST_F(ViewerXTest, DateFilterTakesTypedDatesOpensAtTodayAndCanBeErased) {
    auto w = open();
    TDateFilterEdit* ed = child<TDateFilterEdit>(*w, "edData");
    EXPECT_FALSE(ed->date().has_value());
    EXPECT_EQ(ed->lineEdit()->text(), "");
    EXPECT_TRUE(ed->displayFormat().contains("yyyy")) << ed->displayFormat().toStdString();
    EXPECT_FALSE(ed->displayFormat().contains('\''));

    // The calendar opens at today; a click on the day takes it.
    QTest::mouseClick(ed->calendarButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ed->calendar()->isVisible(); }, 3000));
    EXPECT_EQ(ed->calendar()->selectedDate(), QDate::currentDate());
    auto* days = ed->calendar()->findChild<QTableView*>();
    ASSERT_NE(days, nullptr);
    const QRect today = days->visualRect(days->selectionModel()->currentIndex());
    QTest::mouseClick(days->viewport(), Qt::LeftButton, {}, today.center());
    QTest::qWait(50);
    EXPECT_FALSE(ed->calendar()->isVisible());
    EXPECT_EQ(ed->date(), QDate::currentDate());
    EXPECT_EQ(w->mdFilter.data, QDate::currentDate());

    const QDate day(2024, 3, 5);
    const QString full = QLocale().toString(day, ed->displayFormat());
    QString twoDigits = full;
    twoDigits.replace("2024", "24");
    // Typed over the old date, as the operator does: select all, type.
    auto typeDate = [&](const QString& text) {
        QTest::mouseClick(ed->lineEdit(), Qt::LeftButton);
        press(Qt::Key_A, Qt::ControlModifier);
        press(Qt::Key_Backspace);
        typeText(text);
    };
    for (const QString& typed : {full, twoDigits}) {
        typeDate(typed);
        EXPECT_EQ(ed->date(), day) << typed.toStdString();
        QTest::mouseClick(child<QPushButton>(*w, "Button1"), Qt::LeftButton);
        EXPECT_EQ(w->mdFilter.values(), QList<QVariant>{QVariant(day)}) << typed.toStdString();
        EXPECT_EQ(child<TDBGrid>(*w, "DBGridEh1")->model()->rowCount(), 1) << typed.toStdString();
        EXPECT_EQ(ed->lineEdit()->text(), full); // leaving the field shows the whole year
    }

    // A text that is no date keeps the last date bound and shows it again on leaving.
    QTest::mouseClick(ed->lineEdit(), Qt::LeftButton);
    press(Qt::Key_A, Qt::ControlModifier);
    typeText("31.02.2024"); // typed over the selected date
    EXPECT_EQ(ed->lineEdit()->text(), "31.02.2024");
    EXPECT_EQ(ed->date(), day);
    QTest::mouseClick(child<QLineEdit>(*w, "edNomer"), Qt::LeftButton);
    EXPECT_EQ(ed->lineEdit()->text(), full);

    // Erased: no bound, and the filter is empty again.
    typeDate("");
    EXPECT_FALSE(ed->date().has_value());
    EXPECT_FALSE(w->mdFilter.data.has_value());
    EXPECT_TRUE(w->mdFilter.isEmpty());
    EXPECT_TRUE(w->mdFilter.values().isEmpty());
    QTest::mouseClick(child<QLineEdit>(*w, "edNomer"), Qt::LeftButton);
    EXPECT_EQ(ed->lineEdit()->text(), "");
}

// The series list shows its headers in full and gives the whole comment in a
// tooltip; the run list's headers are not cut either.
TEST_F(ViewerXTest, ListsShowTheirHeadersInFullAndTheWholeComment) {
    const QString comment =
        QString("Бетон B25, 28 дни, ") + QString("дълъг коментар ").repeated(12);
    execSql(m_dm.dbNUV,
            QString("update mes_group set komentar = '%1' where mes_group_id = 13").arg(comment));
    auto w = open();
    child<QLineEdit>(*w, "edNomer")->setFocus();
    typeText("13");
    QTest::mouseClick(child<QPushButton>(*w, "Button1"), Qt::LeftButton);
    ASSERT_EQ(child<TDBGrid>(*w, "DBGridEh1")->model()->rowCount(), 1);
    QTest::qWait(100);
    EXPECT_EQ(
        child<TDBGrid>(*w, "DBGridEh1")->model()->index(0, 3).data(Qt::ToolTipRole).toString(),
        comment);
    for (TDBGrid* grid : {child<TDBGrid>(*w, "DBGridEh1"), child<TDBGrid>(*w, "DBGridEh2")}) {
        const QHeaderView* h = grid->horizontalHeader();
        const QFontMetrics fm(h->font());
        for (int c = 0; c < grid->model()->columnCount(); ++c) {
            const QString title = grid->model()->headerData(c, Qt::Horizontal).toString();
            EXPECT_LE(fm.horizontalAdvance(title) + 8, h->sectionSize(c)) << title.toStdString();
            const QString cell = grid->model()->index(0, c).data().toString();
            if (c != 3 ||
                grid != child<TDBGrid>(*w, "DBGridEh1")) // the comment is cut, its tooltip is whole
                EXPECT_LE(grid->fontMetrics().horizontalAdvance(cell) + 6, grid->columnWidth(c))
                    << cell.toStdString();
        }
    }
}

} // namespace
