#include "db/TTrace.h"

#include "core/Exception.h"
#include "core/TRunSeal.h"
#include "db/TIBDatabase.h"
#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"
#include "db/TRunData.h"
#include "db/TSchemaScript.h"

namespace TTraceSql {
extern const char* const kText;
}

namespace {

constexpr qsizetype kMaxText = 8000;
constexpr qsizetype kMaxReason = 500;

const QStringList kTraceTables = {"RUN_CONTEXT", "AUDIT_TRAIL", "MES_BIN", "MES_DE_BIN"};

void exec(TIBQuery& q, const QString& sql, const QList<QVariant>& values) {
    q.setSQL(sql);
    q.setParams(values);
    q.ExecSQL();
}

void open(TIBQuery& q, const QString& sql, const QList<QVariant>& values) {
    q.setSQL(sql);
    q.setParams(values);
    q.Open();
}

QString iso(const QVariant& at) {
    return at.isNull() ? QStringLiteral("-")
                       : at.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QVariant orNull(const std::optional<double>& v) {
    return v ? QVariant(*v) : QVariant();
}

} // namespace

namespace TTrace {

QStringList schemaStatements() {
    return TSchemaScript::statements(QString::fromUtf8(TTraceSql::kText));
}

bool present(TIBDatabase& db) {
    TIBTransaction tr(db);
    TIBQuery q(db, tr);
    open(q,
         QStringLiteral("select count(*) from rdb$relations where rdb$relation_name in "
                        "('RUN_CONTEXT', 'AUDIT_TRAIL', 'MES_BIN', 'MES_DE_BIN')"),
         {});
    return q.Value(0, 0).toInt() == int(kTraceTables.size());
}

// Each object on its own commit: another workstation adding the same objects
// at the same moment makes some of them exist already, which is no failure.
std::optional<QString> ensure(TIBDatabase& db) {
    try {
        if (present(db))
            return std::nullopt;
        for (const QString& statement : schemaStatements()) {
            TIBTransaction tr(db);
            TIBQuery q(db, tr);
            try {
                tr.StartTransaction();
                exec(q, statement, {});
                tr.Commit();
            } catch (const Exception& e) {
                if (tr.InTransaction())
                    tr.Rollback();
                if (!e.message().contains(QLatin1String("already exists"), Qt::CaseInsensitive))
                    throw;
            }
        }
        if (!present(db))
            return QStringLiteral("таблиците за проследимост не бяха създадени");
        return std::nullopt;
    } catch (const Exception& e) {
        return e.message();
    }
}

void writeContext(TIBQuery& q, int runId, const TRunContext& c) {
    exec(q,
         QStringLiteral("insert into run_context(mes_id, operator_login, workstation, "
                        "program_version, database_name, upp, downn, maxstart, zero_offset) "
                        "values(?, ?, ?, ?, ?, ?, ?, ?, ?)"),
         {runId, c.operatorName.left(64), c.workstation.left(255), c.version.left(64),
          c.database.right(1000), orNull(c.upp), orNull(c.downn), orNull(c.maxstart),
          orNull(c.zeroOffset)});
}

std::optional<StoredContext> readContext(TIBQuery& q, int runId) {
    open(q,
         QStringLiteral("select operator_login, workstation, program_version, database_name, upp, "
                        "downn, maxstart, zero_offset, seal, seal_samples from run_context where "
                        "mes_id = ?"),
         {runId});
    if (q.RecordCount() == 0) {
        q.Close();
        return std::nullopt;
    }
    const auto number = [&](int col) -> std::optional<double> {
        const QVariant v = q.Value(0, col);
        return v.isNull() ? std::nullopt : std::optional<double>(v.toDouble());
    };
    StoredContext s{{q.Value(0, 0).toString(), q.Value(0, 1).toString(), q.Value(0, 2).toString(),
                     q.Value(0, 3).toString(), number(4), number(5), number(6), number(7)},
                    q.Value(0, 8).toString().trimmed(),
                    q.Value(0, 9).toLongLong()};
    q.Close();
    return s;
}

QString contextLine(const StoredContext& s) {
    const TRunContext& c = s.context;
    QStringList parts{QStringLiteral("Изпитал: %1").arg(c.operatorName),
                      QStringLiteral("работно място: %1").arg(c.workstation),
                      QStringLiteral("версия: %1").arg(c.version.isEmpty() ? QStringLiteral("-")
                                                                           : c.version)};
    const auto n = [](const std::optional<double>& v) { return QString::number(*v, 'g', 15); };
    if (c.upp && c.downn && c.maxstart)
        parts.append(QStringLiteral("upp=%1; downn=%2; maxstart=%3")
                         .arg(n(c.upp), n(c.downn), n(c.maxstart)));
    if (c.zeroOffset)
        parts.append(QStringLiteral("нулиране: %1").arg(n(c.zeroOffset)));
    parts.append(s.seal.isEmpty() ? QStringLiteral("печат: няма")
                                  : QStringLiteral("печат: %1").arg(s.seal.left(8)));
    return parts.join(QStringLiteral(" · "));
}

Seal computeSeal(TIBQuery& q, int runId, bool deleted) {
    q.setSQL(deleted ? QStringLiteral("select mes_value, date_effect, dev_id, speed from "
                                      "mes_de_bin where mes_id = ? order by mes_de_id")
                     : QStringLiteral("select mes_value, date_effect, dev_id, speed from mes_de "
                                      "where mes_id = ? order by mes_de_id"));
    q.setParams({runId});
    TRunSeal seal;
    q.Each([&](const std::vector<QVariant>& r) { seal.add(r[0], r[1], r[2], r[3]); });
    return {seal.hex(), seal.samples()};
}

void sealRun(TIBQuery& q, int runId, const QDateTime& at) {
    open(q, QStringLiteral("select seal from run_context where mes_id = ?"), {runId});
    if (q.RecordCount() == 0 || !q.Value(0, 0).isNull()) {
        q.Close();
        return;
    }
    q.Close();
    const Seal s = computeSeal(q, runId);
    exec(q,
         QStringLiteral("update run_context set seal = ?, seal_samples = ?, sealed_at = ? "
                        "where mes_id = ? and seal is null"),
         {s.hex, s.samples, at, runId});
}

QList<SealCheck> checkSeals(TIBQuery& q, std::optional<int> series) {
    const QString where = series ? QStringLiteral(" where r.mes_group_id = ?") : QString();
    open(q,
         QStringLiteral("select r.mes_id, 0, c.seal, c.seal_samples from mes r left join "
                        "run_context c on c.mes_id = r.mes_id%1 union all select r.mes_id, 1, "
                        "c.seal, c.seal_samples from mes_bin r left join run_context c on "
                        "c.mes_id = r.mes_id%1 order by 1, 2")
             .arg(where),
         series ? QList<QVariant>{*series, *series} : QList<QVariant>{});
    QList<SealCheck> out;
    for (int r = 0; r < q.RecordCount(); ++r)
        out.append({q.Value(r, 0).toInt(),
                    q.Value(r, 1).toInt() == 1,
                    q.Value(r, 2).toString().trimmed(),
                    q.Value(r, 3).toLongLong(),
                    {}});
    q.Close();
    for (SealCheck& c : out)
        if (c.sealed())
            c.now = computeSeal(q, c.run, c.deleted);
    return out;
}

void audit(TIBQuery& q, const QDateTime& at, const QString& login, const QString& workstation,
           const AuditEntry& e) {
    exec(q,
         QStringLiteral("insert into audit_trail(at_moment, login, workstation, action, "
                        "before_text, after_text, reason) values(?, ?, ?, ?, ?, ?, ?)"),
         {at, login.left(64), workstation.left(255), e.action.left(40),
          e.before.isEmpty() ? QVariant() : QVariant(e.before.left(kMaxText)),
          e.after.isEmpty() ? QVariant() : QVariant(e.after.left(kMaxText)),
          e.reason.isEmpty() ? QVariant() : QVariant(e.reason.left(kMaxReason))});
}

void audit(TIBQuery& q, const QDateTime& at, const AuditEntry& e) {
    audit(q, at, TRunContextSource::loginName(), TRunContextSource::hostName(), e);
}

QList<StoredAuditEntry> auditBetween(TIBQuery& q, const QDate& from, const QDate& to) {
    q.setSQL(QStringLiteral("select audit_id, at_moment, login, workstation, action, before_text, "
                            "after_text, reason from audit_trail where at_moment >= ? and "
                            "at_moment < ? order by at_moment, audit_id"));
    q.setParams({QDateTime(from, QTime(0, 0)), QDateTime(to.addDays(1), QTime(0, 0))});
    QList<StoredAuditEntry> out;
    q.Each([&](const std::vector<QVariant>& r) {
        out.append({r[0].toLongLong(),
                    r[1].toDateTime(),
                    r[2].toString(),
                    r[3].toString(),
                    {r[4].toString(), r[5].toString(), r[6].toString(), r[7].toString()}});
    });
    return out;
}

namespace {

QString summaryOf(TIBQuery& q, int runId, bool deleted) {
    const QString runs = deleted ? QStringLiteral("mes_bin") : QStringLiteral("mes");
    const QString samples = deleted ? QStringLiteral("mes_de_bin") : QStringLiteral("mes_de");
    open(q,
         QStringLiteral("select m.dt_start, m.dev_id, (select count(*) from %2 d where d.mes_id = "
                        "m.mes_id), (select max(d.mes_value) from %2 d where d.mes_id = "
                        "m.mes_id) from %1 m where m.mes_id = ?")
             .arg(runs, samples),
         {runId});
    if (q.RecordCount() == 0) {
        q.Close();
        return QStringLiteral("измерване %1").arg(runId);
    }
    const QVariant dev = q.Value(0, 1);
    QString device = TRunData::devName(dev);
    if (device.isEmpty())
        device = dev.isNull() ? QStringLiteral("-") : dev.toString();
    const QVariant max = q.Value(0, 3);
    const QString text =
        QStringLiteral("измерване %1, старт %2, %3, отчети %4, максимум %5")
            .arg(QString::number(runId), iso(q.Value(0, 0)), device,
                 QString::number(q.Value(0, 2).toLongLong()),
                 max.isNull() ? QStringLiteral("-") : QString::number(max.toDouble(), 'g', 10));
    q.Close();
    return text;
}

} // namespace

QString runSummary(TIBQuery& q, int runId) {
    return summaryOf(q, runId, false);
}

QString seriesSummary(TIBQuery& q, int seriesId) {
    open(q,
         QStringLiteral("select g.date_effect, g.obekt_id, o.ime, g.multiplier_id, m.ime, "
                        "g.komentar from mes_group g left join obekt o on o.obekt_id = "
                        "g.obekt_id left join multiplier m on m.multiplier_id = g.multiplier_id "
                        "where g.mes_group_id = ?"),
         {seriesId});
    if (q.RecordCount() == 0) {
        q.Close();
        return QStringLiteral("серия %1").arg(seriesId);
    }
    const QString head =
        QStringLiteral("серия %1, дата %2; обект %3: %4; тип %5: %6; коментар: %7")
            .arg(QString::number(seriesId),
                 q.Value(0, 0).toDateTime().toString(QStringLiteral("yyyy-MM-dd")),
                 q.Value(0, 1).toString(), q.Value(0, 2).toString(), q.Value(0, 3).toString(),
                 q.Value(0, 4).toString(), q.Value(0, 5).toString());
    open(q, QStringLiteral("select mes_id from mes where mes_group_id = ? order by mes_id"),
         {seriesId});
    QStringList runs;
    for (int r = 0; r < q.RecordCount(); ++r)
        runs.append(q.Value(r, 0).toString());
    q.Close();
    return head + QStringLiteral("; измервания: ") + runs.join(QStringLiteral(", "));
}

void binRun(TIBQuery& q, int runId, const Deletion& d) {
    const QString summary = summaryOf(q, runId, false);
    exec(q,
         QStringLiteral("insert into mes_bin(mes_id, mes_group_id, dt_start, dt_stop, dev_id, "
                        "deleted_at, deleted_by, deleted_on, reason) select mes_id, "
                        "mes_group_id, dt_start, dt_stop, dev_id, ?, ?, ?, ? from mes where "
                        "mes_id = ?"),
         {d.at, d.login.left(64), d.workstation.left(255), d.reason.left(kMaxReason), runId});
    exec(q,
         QStringLiteral("insert into mes_de_bin(mes_de_id, mes_id, mes_value, date_effect, dev_id, "
                        "speed) select mes_de_id, mes_id, mes_value, date_effect, dev_id, speed "
                        "from mes_de where mes_id = ?"),
         {runId});
    audit(q, d.at, d.login, d.workstation, {kRunDeleted, summary, QString(), d.reason});
}

bool restoreRun(TIBQuery& q, int runId, const QDateTime& at, const QString& reason) {
    open(q,
         QStringLiteral("select b.mes_group_id, (select count(*) from mes_group g where "
                        "g.mes_group_id = b.mes_group_id) from mes_bin b where b.mes_id = ?"),
         {runId});
    if (q.RecordCount() == 0) {
        q.Close();
        throw Exception(QStringLiteral("Измерване %1 не е сред изтритите.").arg(runId));
    }
    const QVariant series = q.Value(0, 0);
    const bool seriesThere = !series.isNull() && q.Value(0, 1).toInt() > 0;
    q.Close();
    exec(q,
         QStringLiteral("insert into mes(mes_id, mes_group_id, dt_start, dt_stop, dev_id) select "
                        "mes_id, ?, dt_start, dt_stop, dev_id from mes_bin where mes_id = ?"),
         {seriesThere ? series : QVariant(), runId});
    exec(q,
         QStringLiteral("insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, "
                        "speed) select mes_de_id, mes_id, mes_value, date_effect, dev_id, speed "
                        "from mes_de_bin where mes_id = ?"),
         {runId});
    exec(q, QStringLiteral("delete from mes_de_bin where mes_id = ?"), {runId});
    exec(q, QStringLiteral("delete from mes_bin where mes_id = ?"), {runId});
    QString after = summaryOf(q, runId, false);
    if (!series.isNull())
        after += seriesThere ? QStringLiteral(", в серия %1").arg(series.toString())
                             : QStringLiteral(", без серия: серия %1 вече я няма")
                                   .arg(series.toString());
    audit(q, at, {kRunRestored, QString(), after, reason});
    return series.isNull() || seriesThere;
}

int purge(TIBQuery& q, const QDateTime& before, const QDateTime& at, const QString& reason) {
    open(q, QStringLiteral("select mes_id from mes_bin where deleted_at < ? order by mes_id"),
         {before});
    QList<int> runs;
    for (int r = 0; r < q.RecordCount(); ++r)
        runs.append(q.Value(r, 0).toInt());
    q.Close();
    for (int run : runs) {
        const QString summary = summaryOf(q, run, true);
        exec(q, QStringLiteral("delete from mes_de_bin where mes_id = ?"), {run});
        exec(q, QStringLiteral("delete from mes_bin where mes_id = ?"), {run});
        audit(q, at, {kRunPurged, summary, QString(), reason});
    }
    return int(runs.size());
}

} // namespace TTrace
