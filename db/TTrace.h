#pragma once

#include "core/TRunContext.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class TIBDatabase;
class TIBQuery;
class TIBTransaction;

// The laboratory's trace records in the database: each run's context and
// seal, the append-only audit trail, and the deleted runs kept whole until
// purged. Every write goes through the caller's query, in its transaction.
namespace TTrace {

// The statements of db/trace.sql, in their order.
QStringList schemaStatements();
// Whether the connected database has the trace tables.
bool present(TIBDatabase& db);
// Adds the trace objects to a database that lacks them, committed on their
// own. Returns why they cannot be added, or nothing when they are there.
std::optional<QString> ensure(TIBDatabase& db);

void writeContext(TIBQuery& q, int runId, const TRunContext& context);

struct StoredContext {
    TRunContext context;
    QString seal; // empty while the run is not sealed
    qint64 sealSamples = 0;
};
std::optional<StoredContext> readContext(TIBQuery& q, int runId);
// The context in one line, as the review shows it under the run list.
QString contextLine(const StoredContext& c);

struct Seal {
    QString hex;
    qint64 samples = 0;
};
// Reads the run's samples in one pass, from the living table or from the
// deleted runs' table.
Seal computeSeal(TIBQuery& q, int runId, bool deleted = false);
// Seals the run once: its seal from its samples as stored now. A run sealed
// before keeps its seal.
void sealRun(TIBQuery& q, int runId, const QDateTime& at);

// A run's stored seal against the seal of its samples as they are now.
struct SealCheck {
    int run = 0;
    bool deleted = false; // in the deleted runs' tables
    QString stored;       // empty: the run was never sealed
    qint64 storedSamples = 0;
    Seal now; // computed only for a sealed run
    bool sealed() const { return !stored.isEmpty(); }
    bool matches() const { return sealed() && now.hex == stored; }
};
// Every run, living and deleted (of the series only, when given), in order of
// id, each sealed one recomputed from its samples, one run at a time.
QList<SealCheck> checkSeals(TIBQuery& q, std::optional<int> series);

// Actions of the audit trail.
inline const QString kRunDeleted = QStringLiteral("изтрито измерване");
inline const QString kRunRestored = QStringLiteral("възстановено измерване");
inline const QString kRunPurged = QStringLiteral("окончателно изтрито измерване");
inline const QString kSeriesSaved = QStringLiteral("записана серия");
inline const QString kObjectAdded = QStringLiteral("добавен обект");
inline const QString kObjectRenamed = QStringLiteral("преименуван обект");
inline const QString kObjectDeleted = QStringLiteral("изтрит обект");
inline const QString kConstantsChanged = QStringLiteral("променени константи");
inline const QString kZeroing = QStringLiteral("нулиране");

struct AuditEntry {
    QString action;
    QString before;
    QString after;
    QString reason;
};
// Appends one entry stamped with the moment, the login and the workstation.
void audit(TIBQuery& q, const QDateTime& at, const QString& login, const QString& workstation,
           const AuditEntry& entry);
// The same by this process's user and computer.
void audit(TIBQuery& q, const QDateTime& at, const AuditEntry& entry);

struct StoredAuditEntry {
    qint64 id = 0;
    QDateTime at;
    QString login;
    QString workstation;
    AuditEntry entry;
};
// The entries from the start of `from` to the end of `to`, in order of their
// moments, then of their appending.
QList<StoredAuditEntry> auditBetween(TIBQuery& q, const QDate& from, const QDate& to);

// A run's summary for the trail: id, start, device, samples, maximum.
QString runSummary(TIBQuery& q, int runId);
// A series for the trail: its id, date, object, specimen type, comment, runs.
QString seriesSummary(TIBQuery& q, int seriesId);

struct Deletion {
    QDateTime at;
    QString login;
    QString workstation;
    QString reason;
};
// Moves the run and its samples into the deleted runs' tables (the caller
// then deletes them from the living ones) and appends its trail entry.
void binRun(TIBQuery& q, int runId, const Deletion& d);
// Moves a deleted run back whole, into its series when that still exists;
// returns false when the series is gone and the run came back without one.
bool restoreRun(TIBQuery& q, int runId, const QDateTime& at, const QString& reason);
// Erases for good the runs deleted before `before`; returns how many.
int purge(TIBQuery& q, const QDateTime& before, const QDateTime& at, const QString& reason);

} // namespace TTrace
