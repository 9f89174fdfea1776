#include "db/TBatchMarks.h"

#include "core/TEventLog.h"
#include "db/TIBDatabase.h"
#include "db/TIBTransaction.h"

#include <QRandomGenerator>

#include <utility>

namespace {

const char* const kCreateSql = "CREATE TABLE REC_BATCH (\n"
                               "  WRITER_ID BIGINT NOT NULL,\n"
                               "  BATCH     BIGINT NOT NULL,\n"
                               "  DT_MARK   TIMESTAMP,\n"
                               "  CONSTRAINT PK_REC_BATCH PRIMARY KEY (WRITER_ID)\n"
                               ")";
const char* const kExistsSql =
    "select count(*) from rdb$relations where rdb$relation_name = 'REC_BATCH'";
const char* const kForgetOldSql =
    "delete from rec_batch where dt_mark < dateadd(-%1 day to current_timestamp)";
const char* const kJoinSql =
    "merge into rec_batch r using rdb$database on r.writer_id = ? "
    "when not matched then insert (writer_id, batch, dt_mark) values (?, 0, current_timestamp)";
const char* const kMarkSql = "update or insert into rec_batch (writer_id, batch, dt_mark) "
                             "values (?, ?, current_timestamp) matching (writer_id)";
const char* const kLandedSql = "select batch from rec_batch where writer_id = ? with lock";
const char* const kForgetSql = "delete from rec_batch where writer_id = ?";

// Unique enough among the writers that ever share one database.
qint64 newWriterId() {
    return qint64(QRandomGenerator::system()->generate64() >> 1) | 1;
}

// The row is held by a transaction of the lost connection that the server
// has not ended yet: asked again later.
bool stillUnderWay(const EDatabaseError& e) {
    for (long c : {isc_deadlock, isc_update_conflict, isc_lock_conflict, isc_lock_timeout})
        if (e.has(c))
            return true;
    return false;
}

} // namespace

TBatchMarks::TBatchMarks(TIBDatabase& db, TIBTransaction& batches, TEventLog& log)
    : m_db(db), m_log(log), m_mark(db, batches), m_writer(newWriterId()) {
    m_mark.setSQL(QString::fromLatin1(kMarkSql));
}

void TBatchMarks::prepare() {
    if (!m_db.Connected() || m_preparedOn == m_db.generation())
        return;
    m_on = false;
    try {
        if (!tableExists())
            createTable();
        forgetOld();
        exec(QString::fromLatin1(kJoinSql), {m_writer, m_writer});
        m_on = true;
        m_offLogged = false;
    } catch (const EDatabaseError& e) {
        if (TIBDatabase::connectionLost(e))
            throw; // prepared on the next connection
        off(e);
    }
    m_preparedOn = m_db.generation();
}

bool TBatchMarks::tableExists() {
    TIBTransaction tr(m_db);
    TIBQuery q(m_db, tr);
    q.setSQL(QString::fromLatin1(kExistsSql));
    q.Open();
    return q.Value(0, 0).toInt() > 0;
}

// Two workstations may make it at once: the one that comes second finds it made.
void TBatchMarks::createTable() {
    try {
        exec(QString::fromLatin1(kCreateSql), {});
    } catch (const EDatabaseError& e) {
        if (TIBDatabase::connectionLost(e) || !tableExists())
            throw;
    }
}

// Best left undone when another workstation is at it just now.
void TBatchMarks::forgetOld() {
    try {
        exec(QString::fromLatin1(kForgetOldSql).arg(kForgetDays), {}, kLockWaitSec);
    } catch (const EDatabaseError& e) {
        if (TIBDatabase::connectionLost(e))
            throw;
    }
}

void TBatchMarks::exec(const QString& sql, const QList<QVariant>& values, int lockWaitSec) {
    TIBTransaction tr(m_db);
    tr.LockTimeoutSec = lockWaitSec;
    TIBQuery q(m_db, tr);
    q.setSQL(sql);
    q.setParams(values);
    q.ExecSQL();
    tr.Commit();
}

void TBatchMarks::off(const EDatabaseError& e) {
    m_on = false;
    if (std::exchange(m_offLogged, true))
        return;
    try {
        m_log.WriteLog(QStringLiteral("Таблица REC_BATCH не може да бъде използвана: запис, чийто "
                                      "отговор се изгуби с връзката, може да бъде записан два "
                                      "пъти. ") +
                           e.message(),
                       QStringLiteral("commErr"));
    } catch (...) {
    }
}

// A mark the database refuses for any cause but a lost connection leaves the
// batch to go on unmarked (a failed statement does not end the transaction in
// Firebird): it is the batch that matters, not its mark. So does a connection
// that was not prepared: made inside the batch's transaction, the row would
// be one the transaction cannot see.
void TBatchMarks::mark(qint64 batch) {
    if (!m_on || m_preparedOn != m_db.generation())
        return;
    m_mark.setParams({m_writer, batch});
    try {
        m_mark.ExecSQL();
    } catch (const EDatabaseError& e) {
        if (TIBDatabase::connectionLost(e))
            throw;
        off(e);
        return;
    }
    m_marked = batch;
}

// A batch whose mark the server never took cannot have been committed: its
// commit is asked for only after the mark. Otherwise the row is locked: a
// commit of it that the server still has under way is waited for, and one
// that ended meanwhile makes the lock fail (asked again later) instead of
// reading the row as it was before. A row that cannot be read at all leaves
// the batch to be written again, as it would be without the marks.
bool TBatchMarks::landed(qint64 batch) {
    if (batch <= 0 || batch != m_marked)
        return false;
    TIBTransaction tr(m_db);
    tr.LockTimeoutSec = kLockWaitSec;
    TIBQuery q(m_db, tr);
    q.setSQL(QString::fromLatin1(kLandedSql));
    q.setParams({m_writer});
    try {
        q.Open();
    } catch (const EDatabaseError& e) {
        if (TIBDatabase::connectionLost(e) || stillUnderWay(e))
            throw;
        off(e);
        m_preparedOn = -1;
        return false;
    }
    return q.RecordCount() > 0 && q.Value(0, 0).toLongLong() == batch;
}

void TBatchMarks::forget() {
    exec(QString::fromLatin1(kForgetSql), {m_writer});
}
