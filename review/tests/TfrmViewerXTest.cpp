// The review window and its print preview on a real display, driven by keys
// and clicks.
#include "db/dmmainU.h"
#include "objects/TfrmObekt.h"
#include "review/TChartPrintPreview.h"
#include "review/TDateFilterEdit.h"
#include "review/TfrmViewer.h"
#include "review/tests/ChartTexts.h"
#include "testsupport/GTestQt.h"
#include "testsupport/OperatorInput.h"
#include "testsupport/TestDatabase.h"
#include "widgets/TDBGrid.h"

#include <QCalendarWidget>
#include <QChart>
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

    // The window as the operator first sees it: it fits a 1280x800 screen,
    // the lists show their headers and cells whole (the comment has its
    // tooltip) and the chart is large enough, its title above the plot and no
    // title or label cut.
    static void expectReadable(TfrmViewer& w, const char* when) {
        SCOPED_TRACE(when);
        EXPECT_LE(w.frameGeometry().width(), 1280);
        EXPECT_LE(w.frameGeometry().height(), 800);
        for (TDBGrid* grid : {child<TDBGrid>(w, "DBGridEh1"), child<TDBGrid>(w, "DBGridEh2")}) {
            const QHeaderView* h = grid->horizontalHeader();
            EXPECT_LE(h->length(), grid->viewport()->width() + 1)
                << grid->objectName().toStdString();
            const QFontMetrics fm(h->font());
            for (int c = 0; c < grid->model()->columnCount(); ++c) {
                const QString title = grid->model()->headerData(c, Qt::Horizontal).toString();
                EXPECT_LE(fm.horizontalAdvance(title) + 8, h->sectionSize(c))
                    << title.toStdString();
                const QString cell = grid->model()->index(0, c).data().toString();
                if (c != 3 || grid->objectName() != QLatin1String("DBGridEh1"))
                    EXPECT_LE(grid->fontMetrics().horizontalAdvance(cell) + 6, grid->columnWidth(c))
                        << cell.toStdString();
            }
        }
        const QChart* chart = child<QChartView>(w, "DBChart1")->chart();
        EXPECT_GE(chart->plotArea().width(), 320);
        EXPECT_GE(chart->plotArea().height(), 180);
        EXPECT_EQ(unreadableChartTexts(*chart), QStringList());
        const QString dir = qEnvironmentVariable("NUV_SCREENS");
        if (!dir.isEmpty())
            w.grab().save(
                QDir(dir).filePath(QString("review-%1-%2.png").arg(when, QLocale().name())));
    }

    // Opens the review window as the main window does (modal, over it),
    // lists series 13 and hands the window to `check`, then closes it by Escape.
    void viewOnce(QWidget& main, const std::function<void(TfrmViewer&)>& check) {
        TfrmViewer w(m_paths, m_dm, TFormats(), &main);
        whenModal(
            [&](QWidget*) {
                QTest::qWait(300); // the window manager's frame and the restored size
                child<QLineEdit>(w, "edNomer")->setFocus();
                typeText("13");
                QTest::mouseClick(child<QPushButton>(w, "Button1"), Qt::LeftButton);
                QTest::qWait(200);
                check(w);
                child<TDBGrid>(w, "DBGridEh1")->setFocus();
                press(Qt::Key_Escape);
            },
            &main);
        w.exec();
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

// Opened as the main window opens it, with no placement stored and after the
// objects register left its own small placement, the window fits the screen
// and every text reads; a size the operator gave it is kept.
TEST_F(ViewerXTest, OpensWhereEveryTextReadsAndKeepsTheOperatorsSize) {
    // A series date with its time of day: the widest the date column gets.
    execSql(m_dm.dbNUV,
            "update mes_group set date_effect = '2024-03-05 13:40:00' where mes_group_id = 13");
    addRun(m_dm.dbNUV, 351, 13, 1, kT0.addSecs(600),
           {{0, 2, 1}, {30000, 180.5, 1}, {60000, 355.25, 1}, {64000, 40, 1}});
    QWidget main;
    main.resize(640, 560);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));

    viewOnce(main, [](TfrmViewer& w) { expectReadable(w, "first"); });

    // The register, opened first at its own small size, leaves that
    // placement for the next window.
    QFile::remove(m_paths.settings());
    {
        TfrmObekt objects(m_paths, m_dm, &main);
        whenModal(
            [&](QWidget*) {
                QTest::qWait(300);
                TBoxSeen keep;
                answerWithKey(&keep, Qt::Key_Return, &objects);
                child<QTableView>(objects, "DBGrid1")->setFocus();
                press(Qt::Key_Escape);
            },
            &main);
        objects.exec();
    }
    viewOnce(main, [](TfrmViewer& w) { expectReadable(w, "after-objects"); });

    // The operator makes it larger; the next opening has that size.
    QSize larger;
    viewOnce(main, [&](TfrmViewer& w) {
        w.resize(w.width() + 60, w.height() + 40);
        QTest::qWait(300);
        larger = w.size();
    });
    viewOnce(main, [&](TfrmViewer& w) { EXPECT_EQ(w.size(), larger); });
}

// The printed page lays the chart out for the page, not at its size on the
// screen: with a small, flat chart on the screen and "Запази пропорциите" on,
// the title stands whole above the plot and no axis label is cut.
TEST_F(ViewerXTest, PrintedChartIsLaidOutForThePage) {
    auto w = open();
    child<QChartView>(*w, "DBChart1")->setMaximumSize(320, 110); // as a small window showed it
    child<QLineEdit>(*w, "edNomer")->setFocus();
    typeText("13");
    QTest::mouseClick(child<QPushButton>(*w, "Button1"), Qt::LeftButton);
    ASSERT_EQ(child<TDBGrid>(*w, "DBGridEh2")->model()->rowCount(), 1);
    QTest::qWait(200);
    const QStringList title = w->chartTitle().split("\r\n");
    ASSERT_EQ(title.size(), 4);

    const QString screens = qEnvironmentVariable("NUV_SCREENS");
    const QString pdf = screens.isEmpty()
                            ? m_dir.filePath("page.pdf")
                            : QDir(screens).filePath("page-" + QLocale().name() + ".pdf");
    QFile::remove(pdf);
    whenModal(
        [&](QWidget* modal) {
            auto* preview = qobject_cast<TChartPrintPreview*>(modal);
            if (!preview)
                return;
            EXPECT_TRUE(preview->chProportional->isChecked());
            preview->cbPrinter->setCurrentIndex(
                preview->cbPrinter->findText(TChartPrintPreview::kPdfChoice));
            preview->edPdfFile->setFocus();
            typeText(pdf);
            QTest::mouseClick(preview->btnPrint, Qt::LeftButton);
            QTest::qWait(100);
            QTest::mouseClick(preview->btnClose, Qt::LeftButton);
        },
        w.get());
    QTest::mouseClick(child<QPushButton>(*w, "Button3"), Qt::LeftButton);
    ASSERT_TRUE(QFile::exists(pdf));

    const QString page = run("pdftotext", {"-layout", pdf, "-"});
    EXPECT_FALSE(page.contains("...") || page.contains(QChar(0x2026))) << page.toStdString();
    // Each title line whole and on a line of its own, the title above the axes.
    QStringList lines = page.split('\n');
    int last = -1;
    for (const QString& t : title) {
        const QString wanted = t.simplified();
        const auto at = std::find_if(lines.begin(), lines.end(),
                                     [&](const QString& l) { return l.simplified() == wanted; });
        EXPECT_NE(at, lines.end()) << wanted.toStdString() << "\n" << page.toStdString();
        if (at != lines.end()) {
            EXPECT_GT(int(at - lines.begin()), last) << wanted.toStdString();
            last = int(at - lines.begin());
        }
    }
    const QString firstTime = TFormats().locale().toString(kT0.time(), TFormats().longTimeFormat());
    const auto timeLine = std::find_if(lines.begin(), lines.end(),
                                       [&](const QString& l) { return l.contains(firstTime); });
    ASSERT_NE(timeLine, lines.end()) << firstTime.toStdString() << "\n" << page.toStdString();
    EXPECT_GT(int(timeLine - lines.begin()), last);
    for (const char* unit : {"kN", "mm"})
        EXPECT_TRUE(page.contains(QRegularExpression(QString("(^|\\s)%1(\\s|$)").arg(unit),
                                                     QRegularExpression::MultilineOption)))
            << unit;
    if (!screens.isEmpty())
        run("pdftoppm", {"-r", "50", "-png", "-singlefile", pdf,
                         QDir(screens).filePath("page-" + QLocale().name())});
}

} // namespace
