#include "app/TTraceStart.h"

#include "db/TIBDatabase.h"
#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"
#include "db/TTransactionGuard.h"

namespace TTraceStart {

QString constantsText(const TPressSettings::Constants& c) {
    return QStringLiteral("upp=%1; downn=%2; maxstart=%3")
        .arg(QString::number(c.upp, 'g', 15), QString::number(c.downn, 'g', 15),
             QString::number(c.maxstart, 'g', 15));
}

std::optional<QString> lastConstants(TIBDatabase& db, const QString& workstation) {
    TIBTransaction tr(db);
    TIBQuery q(db, tr);
    q.setSQL(QStringLiteral(
        "select first 1 c.upp, c.downn, c.maxstart, m.dt_start from run_context c join mes m on "
        "m.mes_id = c.mes_id where c.workstation = ? and c.upp is not null order by c.mes_id "
        "desc"));
    q.setParams({workstation});
    q.Open();
    std::optional<QString> fromRun;
    QDateTime runAt;
    if (q.RecordCount() > 0) {
        fromRun = constantsText({q.Value(0, 0).toDouble(), q.Value(0, 1).toDouble(),
                                 q.Value(0, 2).toDouble()});
        runAt = q.Value(0, 3).toDateTime();
    }
    q.setSQL(QStringLiteral("select first 1 after_text, at_moment from audit_trail where "
                            "workstation = ? and action = ? order by audit_id desc"));
    q.setParams({workstation, TTrace::kConstantsChanged});
    q.Open();
    if (q.RecordCount() > 0 && (!fromRun || !(q.Value(0, 1).toDateTime() < runAt)))
        return q.Value(0, 0).toString();
    return fromRun;
}

Outcome compare(const std::optional<QString>& last, const TPressSettings::Constants& now,
                const QStringList& defaulted, const QString& settingsPath) {
    const QString current = constantsText(now);
    if (!last || *last == current)
        return {};
    Outcome out;
    out.change = TTrace::AuditEntry{TTrace::kConstantsChanged, *last, current, QString()};
    if (!defaulted.isEmpty())
        out.notice = QStringLiteral("Константите на пресата (%1) липсват в %2: използват се "
                                    "%3, а последното измерване е записано с %4")
                         .arg(defaulted.join(QStringLiteral(", ")), settingsPath, current, *last);
    return out;
}

int sealLeftOpen(TIBDatabase& db, const QString& workstation, const QDateTime& at) {
    TIBTransaction tr(db);
    TIBQuery q(db, tr);
    q.setSQL(QStringLiteral("select c.mes_id from run_context c join mes m on m.mes_id = "
                            "c.mes_id where c.workstation = ? and c.seal is null"));
    q.setParams({workstation});
    q.Open();
    QList<int> runs;
    for (int r = 0; r < q.RecordCount(); ++r)
        runs.append(q.Value(r, 0).toInt());
    q.Close();
    for (int run : runs) {
        TTransactionGuard guard(tr);
        TTrace::sealRun(q, run, at);
        guard.commit();
    }
    return int(runs.size());
}

} // namespace TTraceStart
