#include "tools/TReportTool.h"

#include "core/TClock.h"
#include "core/TFileReplace.h"
#include "core/TDatabaseSetting.h"
#include "tools/ToolError.h"

#include "reporting/TSeriesReport.h"
#include "results/AuditCsv.h"
#include "results/ResultsCsv.h"
#include "results/TReportSettings.h"
#include "results/TSeriesReader.h"
#include "results/TSeriesResults.h"

#include "core/AppPaths.h"
#include "core/TVersion.h"
#include "db/TIBDatabase.h"
#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"
#include "db/TTrace.h"
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

// --verify and --audit, read by parseTrace().
QList<QCommandLineOption> traceOptions() {
    return {{"verify", "Проверява печатите на измерванията (само на серията, с --series)"},
            {"audit", "Одитната следа от --from до --to като CSV в --csv"},
            {"from", "Първият ден на одитната следа (ГГГГ-ММ-ДД)", "DATE"},
            {"to", "Последният ден на одитната следа (ГГГГ-ММ-ДД)", "DATE"}};
}

} // namespace

TReportTool::TReportTool(QStringList arguments) : m_arguments(std::move(arguments)) {}

bool TReportTool::parse() {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Резултати от серия или измерване на prjNUV"));
    p.addHelpOption();
    p.addVersionOption();
    const QCommandLineOption database("database", "Базата данни (файл или сървър:път)", "FILE");
    const QCommandLineOption settings("settings", "Файлът с настройки (prjNUV.ini)", "FILE");
    const QCommandLineOption series("series", "Номер на серията", "ID");
    const QCommandLineOption run("run", "Номер на измерването", "ID");
    const QCommandLineOption csv("csv", "Резултатите на серията като CSV", "OUT");
    const QCommandLineOption pdf("pdf", "Протоколът на серията като PDF", "OUT");
    const QCommandLineOption samples("samples", "Отчетите на измерването като CSV", "OUT");
    const QCommandLineOption dataDir("data-dir", "Папката с данни на prjNUV", "DIR");
    const QCommandLineOption csvForm(
        "csv-form",
        "Видът на CSV: machine (\",\" и десетична точка, за програми) или spreadsheet "
        "(\";\" и десетична запетая, за електронна таблица, като в прозореца за преглед)",
        "FORM", "machine");
    p.addOptions({database, settings, series, run, csv, pdf, samples, dataDir, csvForm});
    p.addOptions(traceOptions());
    if (!p.parse(m_arguments))
        throw ToolError(Usage, p.errorText());
    if (p.isSet("help")) {
        std::fprintf(stdout, "%s", p.helpText().toLocal8Bit().constData());
        return false;
    }
    if (p.isSet("version")) {
        std::fprintf(stdout, "nuv-report %s\n", NUV_VERSION);
        return false;
    }
    const QString form = p.value(csvForm);
    if (form != QLatin1String("machine") && form != QLatin1String("spreadsheet"))
        throw ToolError(Usage,
                        QStringLiteral("--csv-form е machine или spreadsheet, не %1").arg(form));
    m_spreadsheet = form == QLatin1String("spreadsheet");
    const AppPaths beside = AppPaths::forProgram(p.value(dataDir));
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
    if (parseTrace(p))
        return true;
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

// The review window's "CSV" buttons write the spreadsheet form; scripts read the machine form.
TCsvForm TReportTool::csvForm() const {
    return m_spreadsheet ? TCsvForm::spreadsheet() : TCsvForm::machine();
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
        if ((m_verify || m_audit) && !dm.traced())
            throw ToolError(Database, QStringLiteral("Базата данни %1 няма записи за "
                                                     "проследимост: %2")
                                          .arg(m_database, dm.traceProblem()));
        if (m_verify)
            return verify(dm.dbNUV);
        TSeriesReader reader(dm.dbNUV);
        std::vector<OutFile> outputs;
        if (m_audit)
            outputs.push_back({m_csv, audit(dm.dbNUV)});
        if (m_series) {
            auto info = reader.series(*m_series);
            if (!info)
                throw ToolError(NotFound, QStringLiteral("Няма серия № %1").arg(*m_series));
            const TSeriesResults results(*info, reader.runs(*m_series), settings.standard);
            if (!m_csv.isEmpty())
                outputs.push_back({m_csv, ResultsCsv::series(results, csvForm())});
            if (!m_pdf.isEmpty())
                outputs.push_back(
                    {m_pdf, TSeriesReport(results, settings, TClock::program().now()).pdf()});
        }
        if (m_run) {
            const auto run = reader.run(*m_run);
            if (!run)
                throw ToolError(NotFound, QStringLiteral("Няма измерване № %1").arg(*m_run));
            outputs.push_back({m_samples, ResultsCsv::samples(*run, csvForm())});
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

// The trace records are read on their own: --verify, or --audit into --csv.
bool TReportTool::parseTrace(const QCommandLineParser& p) {
    m_verify = p.isSet("verify");
    m_audit = p.isSet("audit");
    if (!m_audit && (p.isSet("from") || p.isSet("to")))
        throw ToolError(Usage, QStringLiteral("--from и --to искат --audit"));
    if (!m_verify && !m_audit)
        return false;
    if (m_verify && m_audit)
        throw ToolError(Usage, QStringLiteral("--verify и --audit се изпълняват поотделно"));
    if (m_run || !m_pdf.isEmpty() || !m_samples.isEmpty() || (m_verify && !m_csv.isEmpty()) ||
        (m_audit && m_series))
        throw ToolError(Usage, m_verify
                                   ? QStringLiteral("--verify взема само --series ID")
                                   : QStringLiteral("--audit взема само --from, --to и --csv"));
    if (m_verify)
        return true;
    const auto date = [&p](const char* name) {
        const QDate d = QDate::fromString(p.value(name), Qt::ISODate);
        if (!d.isValid())
            throw ToolError(Usage, QStringLiteral("--%1 иска дата ГГГГ-ММ-ДД, не „%2“")
                                       .arg(QLatin1String(name), p.value(name)));
        return d;
    };
    m_from = date("from");
    m_to = date("to");
    if (m_from > m_to)
        throw ToolError(Usage, QStringLiteral("--from е след --to"));
    if (m_csv.isEmpty())
        throw ToolError(Usage, QStringLiteral("--audit иска --csv OUT"));
    return true;
}

namespace {

// "1–4, 7, 9": the run ids, in order, with runs of consecutive ids joined.
QString ranges(const QList<int>& ids) {
    QStringList parts;
    for (qsizetype i = 0; i < ids.size();) {
        qsizetype j = i;
        while (j + 1 < ids.size() && ids[j + 1] == ids[j] + 1)
            ++j;
        parts.append(j == i ? QString::number(ids[i])
                            : QStringLiteral("%1–%2").arg(ids[i]).arg(ids[j]));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

void print(const QString& line) {
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
}

} // namespace

// Names each run whose samples no longer give its seal, lists the runs
// without one and ends with the counts; a mismatch is the exit code's.
int TReportTool::verify(TIBDatabase& db) const {
    TIBTransaction tr(db); // one snapshot of every run
    TIBQuery q(db, tr);
    const QList<TTrace::SealCheck> checks = TTrace::checkSeals(q, m_series);
    tr.Commit();
    if (checks.isEmpty() && m_series && !TSeriesReader(db).series(*m_series))
        throw ToolError(NotFound, QStringLiteral("Няма серия № %1").arg(*m_series));
    int matched = 0, mismatched = 0;
    QList<int> unsealed, unsealedDeleted;
    for (const TTrace::SealCheck& c : checks) {
        if (!c.sealed()) {
            (c.deleted ? unsealedDeleted : unsealed).append(c.run);
        } else if (c.matches()) {
            ++matched;
        } else {
            ++mismatched;
            print(QStringLiteral("измерване %1%2: печатът не съвпада (отчети при запечатване %3, "
                                 "сега %4)")
                      .arg(QString::number(c.run),
                           c.deleted ? QStringLiteral(" (изтрито)") : QString(),
                           QString::number(c.storedSamples), QString::number(c.now.samples)));
        }
    }
    if (!unsealed.isEmpty())
        print(QStringLiteral("без печат: измервания %1").arg(ranges(unsealed)));
    if (!unsealedDeleted.isEmpty())
        print(QStringLiteral("без печат, изтрити: измервания %1").arg(ranges(unsealedDeleted)));
    print(QStringLiteral("проверени: %1; съвпадат: %2; не съвпадат: %3; без печат: %4")
              .arg(matched + mismatched)
              .arg(matched)
              .arg(mismatched)
              .arg(unsealed.size() + unsealedDeleted.size()));
    std::fflush(stdout);
    return mismatched > 0 ? Mismatch : Ok;
}

QByteArray TReportTool::audit(TIBDatabase& db) const {
    TIBTransaction tr(db);
    TIBQuery q(db, tr);
    const auto entries = TTrace::auditBetween(q, m_from, m_to);
    tr.Commit();
    return AuditCsv::entries(entries, csvForm());
}
