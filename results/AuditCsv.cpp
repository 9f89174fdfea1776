#include "results/AuditCsv.h"

namespace AuditCsv {

QByteArray entries(const QList<TTrace::StoredAuditEntry>& entries, const TCsvForm& form) {
    QStringList lines{
        form.line({"id", "at", "login", "workstation", "action", "before", "after", "reason"})};
    lines.reserve(entries.size() + 1);
    for (const TTrace::StoredAuditEntry& e : entries)
        lines.append(
            form.line({QString::number(e.id), TCsvForm::moment(e.at), e.login, e.workstation,
                       e.entry.action, e.entry.before, e.entry.after, e.entry.reason}));
    return form.bytes(lines);
}

} // namespace AuditCsv
