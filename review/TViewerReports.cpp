#include "review/TViewerReports.h"

#include "core/Exception.h"
#include "core/LogFileU.h"
#include "core/TClock.h"
#include "core/TFileReplace.h"
#include "core/TextFormats.h"
#include "reporting/TSeriesReport.h"
#include "results/ResultsCsv.h"
#include "results/TReportSettings.h"
#include "results/TSeriesReader.h"
#include "widgets/TMessages.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

namespace {

// Qt's own dialog, in Bulgarian on every desktop.
QString askSaveFile(QWidget* parent, const QString& caption, const QString& suggested) {
    return QFileDialog::getSaveFileName(parent, caption, suggested,
                                        QStringLiteral("CSV (*.csv);;Всички файлове (*)"), nullptr,
                                        QFileDialog::DontUseNativeDialog);
}

QPushButton* button(const QString& name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

TViewerReports::TViewerReports(const AppPaths& paths, TIBDatabase& db, Current series, Current run,
                               QWidget* window)
    : QObject(window), askFile(&askSaveFile), preview(&TViewerReports::showPreview), m_paths(paths),
      m_db(db), m_series(std::move(series)), m_run(std::move(run)), m_window(window),
      m_lastDir(QDir::homePath()) {}

void TViewerReports::addButtons(QBoxLayout& row, QWidget* parent) {
    btnReport = button(QStringLiteral("btnReport"), QStringLiteral("Отчет"), parent);
    btnSaveResults = button(QStringLiteral("btnSaveResults"),
                            QStringLiteral("Запази резултатите (CSV)"), parent);
    btnSaveSamples =
        button(QStringLiteral("btnSaveSamples"), QStringLiteral("Запази пробите (CSV)"), parent);
    for (QPushButton* b : {btnReport, btnSaveResults, btnSaveSamples})
        row.addWidget(b);
    connect(btnReport, &QPushButton::clicked, this, &TViewerReports::showReport);
    connect(btnSaveResults, &QPushButton::clicked, this, &TViewerReports::saveResults);
    connect(btnSaveSamples, &QPushButton::clicked, this, &TViewerReports::saveSamples);
}

void TViewerReports::showReport() {
    withSeries([this](const TSeriesResults& results, const TReportSettings& settings) {
        preview(m_window, TSeriesReport(results, settings, TClock::program().now()));
    });
}

void TViewerReports::saveResults() {
    withSeries([this](const TSeriesResults& results, const TReportSettings&) {
        save(QStringLiteral("Запази резултатите на серията"),
             QStringLiteral("серия_%1.csv").arg(results.info().id),
             ResultsCsv::series(results, TCsvForm::spreadsheet()));
    });
}

// The current series' results under the settings as they are now.
void TViewerReports::withSeries(const UseSeries& use) {
    const auto id = current(m_series, QStringLiteral("Няма избрана серия."));
    if (!id)
        return;
    try {
        const TReportSettings settings = TReportSettings::read(m_paths.settings());
        logWarning(settings.warning);
        if (const auto results = readSeries(*id, settings.standard))
            use(*results, settings);
    } catch (const std::exception& e) {
        fail(e);
    }
}

void TViewerReports::saveSamples() {
    const auto id = current(m_run, QStringLiteral("Няма избрано измерване."));
    if (!id)
        return;
    try {
        const auto run = TSeriesReader(m_db).run(*id);
        if (!run) {
            TMessages::showFailure(m_window,
                                   Exception(QStringLiteral("Няма измерване № %1").arg(*id)));
            return;
        }
        save(QStringLiteral("Запази пробите на измерването"),
             QStringLiteral("измерване_%1.csv").arg(*id),
             ResultsCsv::samples(*run, TCsvForm::spreadsheet()));
    } catch (const std::exception& e) {
        fail(e);
    }
}

// The report is painted only when the preview asks for its pages, so nothing
// else runs while the printer is being painted.
void TViewerReports::showPreview(QWidget* window, const TSeriesReport& report) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    QPrintPreviewDialog dialog(&printer, window);
    dialog.setObjectName(QStringLiteral("ReportPreview"));
    dialog.setWindowTitle(QStringLiteral("Отчет"));
    dialog.resize(900, 760); // a page that can be read without zooming first
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
            [&report](QPrinter* p) { report.render(*p); });
    dialog.exec();
}

std::optional<TSeriesResults> TViewerReports::readSeries(int id, const TRateStandard& standard) {
    TSeriesReader reader(m_db);
    auto info = reader.series(id);
    if (!info) {
        TMessages::showFailure(m_window, Exception(QStringLiteral("Няма серия № %1").arg(id)));
        return std::nullopt;
    }
    return TSeriesResults(*info, reader.runs(id), standard);
}

// Written to a temporary file beside the chosen one and put in its place only
// when complete, so a failure leaves no half-written file and an old file intact.
void TViewerReports::save(const QString& caption, const QString& suggested,
                          const QByteArray& bytes) {
    const QString name = askFile(m_window, caption, QDir(m_lastDir).filePath(suggested));
    if (name.isEmpty())
        return;
    m_lastDir = QFileInfo(name).absolutePath();
    if (const auto reason = TFileReplace::write(name, bytes)) {
        TMessages::showFailure(m_window,
                               Exception(QStringLiteral("Файлът %1 не може да бъде записан: %2")
                                             .arg(QDir::toNativeSeparators(name), *reason)));
    }
}

// The settings are read anew for each report, but an unknown standard is
// logged once, not at every click.
void TViewerReports::logWarning(const QString& warning) {
    if (warning.isEmpty() || warning == m_loggedWarning)
        return;
    m_loggedWarning = warning;
    try {
        WriteLog(warning, QStringLiteral("report"), m_paths.log());
    } catch (const Exception&) {
        // A log that cannot be written does not stop the report.
    }
}

void TViewerReports::fail(const std::exception& e) {
    TMessages::showFailure(m_window, e);
}

std::optional<int> TViewerReports::current(const Current& which, const QString& missing) {
    const auto id = which();
    if (!id)
        TMessages::current().info(m_window, missing);
    return id;
}
