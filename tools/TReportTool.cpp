#include "tools/TReportTool.h"

#include "core/TClock.h"
#include "core/TFileReplace.h"
#include "core/TDatabaseSetting.h"
#include "tools/ToolError.h"

#include "reporting/TSeriesReport.h"
#include "results/ResultsCsv.h"
#include "results/TReportSettings.h"
#include "results/TSeriesReader.h"
#include "results/TSeriesResults.h"

#include "core/AppPaths.h"
#include "db/TIBDatabase.h"
#include "db/dmmainU.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

void say(const QString& text) {
    std::fprintf(stderr, "nuv-report: %s\n", text.toLocal8Bit().constData());
}

std::optional<int> number(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok ? std::optional(n) : std::nullopt;
}

struct OutFile {
    QString path;
    QByteArray bytes;
};

// Every file is written beside its place first and put in place only when all
// of them have been written.
void writeAll(const std::vector<OutFile>& outputs) {
    std::vector<std::unique_ptr<TFileReplace>> files;
    const auto fail = [](const TFileReplace& f) {
        return ToolError(TReportTool::Output, QStringLiteral("Файлът %1 не може да бъде записан: %2")
                                                  .arg(f.path(), f.error()));
    };
    for (const OutFile& o : outputs) {
        auto f = std::make_unique<TFileReplace>(o.path);
        if (!f->prepare(o.bytes))
            throw fail(*f);
        files.push_back(std::move(f));
    }
    for (auto& f : files)
        if (!f->commit())
            throw fail(*f);
}

} // namespace

TReportTool::TReportTool(QStringList arguments) : m_arguments(std::move(arguments)) {}

bool TReportTool::parse() {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Резултати от серия или измерване на prjNUV"));
    p.addHelpOption();
    const QCommandLineOption database("database", "Базата данни (файл или сървър:път)", "FILE");
    const QCommandLineOption settings("settings", "Файлът с настройки (prjNUV.ini)", "FILE");
    const QCommandLineOption series("series", "Номер на серията", "ID");
    const QCommandLineOption run("run", "Номер на измерването", "ID");
    const QCommandLineOption csv("csv", "Резултатите на серията като CSV", "OUT");
    const QCommandLineOption pdf("pdf", "Протоколът на серията като PDF", "OUT");
    const QCommandLineOption samples("samples", "Отчетите на измерването като CSV", "OUT");
    p.addOptions({database, settings, series, run, csv, pdf, samples});
    if (!p.parse(m_arguments))
        throw ToolError(Usage, p.errorText());
    if (p.isSet("help")) {
        std::fprintf(stdout, "%s", p.helpText().toLocal8Bit().constData());
        return false;
    }
    const AppPaths beside = AppPaths::besideExecutable();
    m_database = p.isSet(database) ? p.value(database) : beside.database();
    m_settings = p.isSet(settings) ? p.value(settings) : beside.settings();
    m_csv = p.value(csv);
    m_pdf = p.value(pdf);
    m_samples = p.value(samples);
    if (p.isSet(series) && !(m_series = number(p.value(series))))
        throw ToolError(Usage,
                        QStringLiteral("Номерът на серията не е число: %1").arg(p.value(series)));
    if (p.isSet(run) && !(m_run = number(p.value(run))))
        throw ToolError(Usage,
                        QStringLiteral("Номерът на измерването не е число: %1").arg(p.value(run)));
    if (!m_series && !m_run)
        throw ToolError(Usage,
                        QStringLiteral("Посочете --series ID с --csv или --pdf, или --run ID "
                                       "със --samples"));
    if (m_series && m_csv.isEmpty() && m_pdf.isEmpty())
        throw ToolError(Usage, QStringLiteral("--series иска --csv OUT или --pdf OUT"));
    if (m_run && m_samples.isEmpty())
        throw ToolError(Usage, QStringLiteral("--run иска --samples OUT"));
    if (!m_samples.isEmpty() && !m_run)
        throw ToolError(Usage, QStringLiteral("--samples иска --run ID"));
    if ((!m_csv.isEmpty() || !m_pdf.isEmpty()) && !m_series)
        throw ToolError(Usage, QStringLiteral("--csv и --pdf искат --series ID"));
    return true;
}

void TReportTool::openDatabase(TIBDatabase& db) const {
    if (!TDatabaseSetting::isServer(m_database) && !QFile::exists(m_database))
        throw ToolError(Database, QStringLiteral("Няма файл %1").arg(m_database));
    // On a server the user and password come from ISC_USER / ISC_PASSWORD.
    const TDatabaseSetting database =
        TDatabaseSetting::forConnection(m_database, QDir::currentPath());
    db.DatabaseName = database.connection;
    db.UserName = database.user;
    db.Password = database.password;
    try {
        db.Open();
        TSeriesReader(db).checkSchema();
    } catch (const Exception& e) {
        throw ToolError(Database, QStringLiteral("%1 не е база данни на prjNUV или не може да "
                                                 "бъде отворена: %2")
                                      .arg(m_database, e.message()));
    }
}

int TReportTool::run() {
    try {
        if (!parse())
            return Ok;
        const TReportSettings settings = TReportSettings::read(m_settings);
        if (!settings.warning.isEmpty())
            say(settings.warning);
        TdmMain dm; // the program's own connection settings
        openDatabase(dm.dbNUV);
        TSeriesReader reader(dm.dbNUV);
        std::vector<OutFile> outputs;
        if (m_series) {
            auto info = reader.series(*m_series);
            if (!info)
                throw ToolError(NotFound, QStringLiteral("Няма серия № %1").arg(*m_series));
            const TSeriesResults results(*info, reader.runs(*m_series), settings.standard);
            if (!m_csv.isEmpty())
                outputs.push_back({m_csv, ResultsCsv::series(results, TCsvForm::machine())});
            if (!m_pdf.isEmpty())
                outputs.push_back(
                    {m_pdf, TSeriesReport(results, settings, TClock::program().now()).pdf()});
        }
        if (m_run) {
            const auto run = reader.run(*m_run);
            if (!run)
                throw ToolError(NotFound, QStringLiteral("Няма измерване № %1").arg(*m_run));
            outputs.push_back({m_samples, ResultsCsv::samples(*run, TCsvForm::machine())});
        }
        writeAll(outputs);
        return Ok;
    } catch (const ToolError& e) {
        say(e.message());
        return e.code();
    } catch (const Exception& e) {
        // The engine's refusal (a full disk, an I/O error) comes in its own
        // words alone: the operator's go first.
        say(e.text().isEmpty() ? QStringLiteral("Базата данни %1 не може да бъде прочетена: %2")
                                     .arg(m_database, e.cause())
                               : e.message());
        return Database;
    }
}
