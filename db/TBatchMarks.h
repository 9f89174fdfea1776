#pragma once

#include "db/TIBQuery.h"

#include <QtGlobal>

class TEventLog;
class TIBDatabase;
class TIBTransaction;

// The marks a recording leaves on a server: one row of REC_BATCH per writer,
// its last batch number written in the same transaction as the batch. When
// the connection dies during a commit, the row read after reconnecting says
// whether that commit landed: the batch is then neither written twice nor lost.
// A database that will not have the table (no right to make or write it)
// leaves the marks off on that connection, said once in the log: the
// recording goes on as it would without them.
class TBatchMarks {
public:
    // batches: the transaction the recording writes in.
    TBatchMarks(TIBDatabase& db, TIBTransaction& batches, TEventLog& log);

    // Makes the table when the database lacks it, forgets writers silent for
    // kForgetDays (programs that ended without closing) and gives this writer
    // its row. Once per connection, right after it is made and before any
    // batch's transaction starts (the connection's AfterConnect); without a
    // connection it does nothing. Throws only when the connection is lost.
    void prepare();
    // Inside the batch's transaction, after its statements.
    void mark(qint64 batch);
    // Whether the transaction that marked `batch` was committed. Waits for a
    // commit still under way on the server; throws when it cannot tell yet.
    bool landed(qint64 batch);
    // Removes this writer's row: nothing of it is in doubt any more.
    void forget();

    qint64 writer() const { return m_writer; }
    bool on() const { return m_on; }

    static constexpr int kForgetDays = 30;
    static constexpr int kLockWaitSec = 5;

private:
    bool tableExists();
    void createTable();
    void forgetOld();
    void exec(const QString& sql, const QList<QVariant>& values, int lockWaitSec = 0);
    void off(const EDatabaseError& e);

    TIBDatabase& m_db;
    TEventLog& m_log;
    TIBQuery m_mark;
    qint64 m_writer;
    int m_preparedOn = -1; // the connection prepared, by its generation
    bool m_on = false;
    bool m_offLogged = false;
    qint64 m_marked = 0; // the last batch whose mark the server took
};
