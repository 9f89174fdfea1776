// The review window's series report and CSV files, driven by clicks on a real display.
#include "review/TViewerReports.h"
#include "db/dmmainU.h"
#include "reporting/TSeriesReport.h"
#include "review/TfrmViewer.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/TestDatabase.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "testsupport/Child.h"
#include "testsupport/WindowDbTest.h"

namespace {

const QDateTime kT0(QDate(2024, 3, 5), QTime(9, 0, 0));

const QByteArray kBom("\xEF\xBB\xBF");

class ViewerReportsTest : public WindowDbTest {
protected:
    void SetUp() override {
        openDatabaseWithObject();
        execSql(m_dm.dbNUV,
                "insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, "
                "obekt_id) values(12, '2024-03-05', 'Бетон B25; 28 дни', 1, 1)");
        addRun(m_dm.dbNUV, 345, 12, 1, kT0,
               {{0, 10, 1}, {30000, 120, 1}, {90000, 181.4, 1}, {95000, 20, 1}});
        addRun(m_dm.dbNUV, 346, 12, 1, kT0.addSecs(600), {{0, 5, 1}, {4000, 40, 1}});
        m_window = std::make_unique<TfrmViewer>(m_paths, m_dm, TFormats(QLocale::c()));
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    TfrmViewer& w() { return *m_window; }
    void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    // The series by its number, as the operator finds it.
    void findSeries(const QString& number) {
        QTest::keyClicks(child<QLineEdit>(w(), "edNomer"), number);
        click(child<QPushButton>(w(), "Button1"));
    }
    QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Runs `answer` on the modal dialog that the next click opens.
    // Answers the dialog once it is open (a slow machine may take a while to
    // open it); a dialog still open long after the answer, or another one that
    // came instead, is closed, so that the test fails instead of hanging.
    template <class Dialog>
    void whenModal(std::function<void(Dialog&)> answer, int triesLeft = 200) {
        QTimer::singleShot(100, [this, answer, triesLeft] {
            if (auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
                answer(*d);
                QPointer<Dialog> still(d);
                QTimer::singleShot(30000, [still] {
                    if (still && still->isVisible())
                        still->reject();
                });
                return;
            }
            if (triesLeft > 0) {
                whenModal(answer, triesLeft - 1);
                return;
            }
            m_noDialog = true;
            QWidget* other = QApplication::activeModalWidget();
            if (other && other != m_window.get())
                other->close();
        });
    }

    FakeMessages m_messages;
    std::unique_ptr<TfrmViewer> m_window;
    bool m_noDialog = false;
};

TEST_F(ViewerReportsTest, ReportPreviewOpensAndClosesWithEscape) {
    findSeries("12");
    bool shown = false;
    whenModal<QPrintPreviewDialog>([&](QPrintPreviewDialog& d) {
        shown = d.isVisible();
        QTest::qWait(300); // let the preview paint its pages
        if (qEnvironmentVariableIsSet("NUV_KEEP_PNG"))
            d.grab().save(qEnvironmentVariable("NUV_KEEP_PNG"));
        QTest::keyClick(&d, Qt::Key_Escape);
    });
    click(w().reports->btnReport);
    EXPECT_FALSE(m_noDialog);
    EXPECT_TRUE(shown);
    // The review window itself is modal; the preview is gone.
    EXPECT_EQ(QApplication::activeModalWidget(), &w());
    EXPECT_TRUE(m_messages.errors.isEmpty()) << m_messages.errors.join("\n").toStdString();

    // Without a listed series the report says so and opens nothing.
    click(child<QPushButton>(w(), "Button2"));
    click(w().reports->btnReport);
    EXPECT_EQ(m_messages.infos.last(), "Няма избрана серия.");
}

TEST_F(ViewerReportsTest, ReportPrintedToPdfShowsTheSeries) {
    findSeries("12");
    const QString pdf = qEnvironmentVariableIsSet("NUV_KEEP_PDF")
                            ? qEnvironmentVariable("NUV_KEEP_PDF")
                            : m_dir.path() + "/report.pdf";
    w().reports->preview = [&](QWidget*, const TSeriesReport& report) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        report.render(printer);
    };
    click(w().reports->btnReport);
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    for (const QString& expected :
         {"Бетон B25; 28 дни", "Мост", "8,1", "1,8", "Изпитал", "Проверил", "345", "346"})
        EXPECT_TRUE(printed.contains(expected)) << expected.toStdString() << "\n"
                                                << printed.toStdString();
}

TEST_F(ViewerReportsTest, CsvFilesForASpreadsheet) {
    findSeries("12");
    const QString results = m_dir.path() + "/results.csv";
    QString suggestedFirst;
    whenModal<QFileDialog>([&](QFileDialog& d) {
        auto* name = d.findChild<QLineEdit*>("fileNameEdit");
        suggestedFirst = name->text();
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name, results);
        // The name's completer may pop up over the field on a slow machine and
        // take the Return for itself.
        QTest::qWait(200);
        if (QCompleter* c = name->completer(); c && c->popup() && c->popup()->isVisible())
            c->popup()->hide();
        QTest::keyClick(name, Qt::Key_Return);
        // Offscreen under the sanitizers the dialog may keep the Return from
        // its button: the typed name is then taken through the dialog itself.
        QTest::qWait(500);
        if (d.isVisible()) {
            d.selectFile(name->text());
            QMetaObject::invokeMethod(&d, "accept");
        }
    });
    click(w().reports->btnSaveResults);
    ASSERT_FALSE(m_noDialog);
    EXPECT_EQ(suggestedFirst, "серия_12.csv");
    const QByteArray expected =
        kBom + "run;started;device;samples;max_kn;time_to_max_s;rate_kn_s;strength_mpa;"
               "stress_rate_mpa_s;rate_ok;stability_kn;flow_mm;quotient_kn_mm;cbr_2_5_pct;"
               "cbr_5_0_pct;cbr_pct\n"
               "345;2024-03-05T09:00:00.000;1;4;181,400;90,000;1,904;8,062;0,085;no;;;;;;\n"
               "346;2024-03-05T09:10:00.000;1;2;40,000;4,000;8,750;1,778;0,389;no;;;;;;\n"
               "n;;;;2;;;2;;;0;0;0;;;0\n"
               "mean;;;;110,700;;;4,920;;;;;;;;\n"
               "sd;;;;99,985;;;4,444;;;;;;;;\n"
               "cov_pct;;;;90,321;;;90,321;;;;;;;;\n"
               "min;;;;40,000;;;1,778;;;;;;;;\n"
               "max;;;;181,400;;;8,062;;;;;;;;\n";
    EXPECT_EQ(QString::fromUtf8(read(results)), QString::fromUtf8(expected));

    // The current run's samples, the file name asked for again.
    QString suggested;
    const QString samples = m_dir.path() + "/samples.csv";
    w().reports->askFile = [&](QWidget*, const QString&, const QString& name) {
        suggested = name;
        return samples;
    };
    click(w().reports->btnSaveSamples);
    EXPECT_EQ(suggested, m_dir.path() + "/измерване_345.csv"); // where the last file went
    EXPECT_EQ(read(samples), kBom + "time_ms;load_kn;speed;deformation_mm\n"
                                    "0;10,000;0,000;\n30000;120,000;0,000;\n"
                                    "90000;181,400;0,000;\n95000;20,000;0,000;\n");
    EXPECT_TRUE(m_messages.errors.isEmpty()) << m_messages.errors.join("\n").toStdString();

    // A cancelled dialog writes nothing and says nothing.
    w().reports->askFile = [](QWidget*, const QString&, const QString&) { return QString(); };
    click(w().reports->btnSaveSamples);
    EXPECT_TRUE(m_messages.errors.isEmpty());
}

TEST_F(ViewerReportsTest, AFileThatCannotBeWrittenIsReportedAndNothingIsLeft) {
    findSeries("12");
    const QString missingDir = m_dir.path() + "/няма/резултати.csv";
    w().reports->askFile = [&](QWidget*, const QString&, const QString&) { return missingDir; };
    click(w().reports->btnSaveResults);
    ASSERT_EQ(m_messages.errors.size(), 1);
    EXPECT_TRUE(m_messages.errors[0].startsWith("Файлът " + missingDir +
                                                " не може да бъде "
                                                "записан: "))
        << m_messages.errors[0].toStdString();
    EXPECT_FALSE(QFile::exists(missingDir));

    // A folder in the file's place stays a folder.
    const QString folder = m_dir.path() + "/папка";
    ASSERT_TRUE(QDir().mkdir(folder));
    w().reports->askFile = [&](QWidget*, const QString&, const QString&) { return folder; };
    click(w().reports->btnSaveSamples);
    EXPECT_EQ(m_messages.errors.size(), 2);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".csv"),
              QStringList());
}

TEST_F(ViewerReportsTest, AnUnknownStandardIsLoggedOnce) {
    QFile ini(m_paths.settings());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[report]\r\nStandard=BS 1881\r\n");
    ini.close();
    findSeries("12");
    int previews = 0;
    w().reports->preview = [&](QWidget*, const TSeriesReport&) { ++previews; };
    w().reports->askFile = [&](QWidget*, const QString&, const QString&) {
        return m_dir.path() + "/r.csv";
    };
    click(w().reports->btnReport);
    click(w().reports->btnReport);
    click(w().reports->btnSaveResults);
    EXPECT_EQ(previews, 2);
    // The default standard stands: the rates are checked against EN 12390-3.
    EXPECT_TRUE(read(m_dir.path() + "/r.csv").contains("0,389;no;"));
    EXPECT_EQ(read(m_paths.log()).count("BS 1881"), 1) << read(m_paths.log()).toStdString();
}

} // namespace
