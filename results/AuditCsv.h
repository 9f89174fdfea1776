#pragma once

#include "db/TTrace.h"
#include "results/TCsvForm.h"

#include <QByteArray>
#include <QList>

// The audit trail as a CSV file, in the form scripts read or the one a
// spreadsheet opens, like the series' results.
namespace AuditCsv {

// id, at, login, workstation, action, before, after, reason: one line per entry.
QByteArray entries(const QList<TTrace::StoredAuditEntry>& entries, const TCsvForm& form);

} // namespace AuditCsv
