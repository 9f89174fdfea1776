#pragma once

#include "db/FbApi.h"

#include <QList>

class TIBDatabase;
class TIBQuery;

// A transaction on the connection with the server's default settings. It is
// active from its start (explicit, or implicit when a statement runs in it)
// until it is committed or rolled back; ending it closes every query that
// reads through it.
class TIBTransaction {
public:
    explicit TIBTransaction(TIBDatabase& db);
    ~TIBTransaction();
    TIBTransaction(const TIBTransaction&) = delete;
    TIBTransaction& operator=(const TIBTransaction&) = delete;

    // A row another connection holds is waited for this long before the
    // statement fails with a lock conflict; 0 waits as long as it takes.
    int LockTimeoutSec = 0;

    bool InTransaction() const { return bool(m_tra); }
    void StartTransaction();
    void StartIfInactive();
    // Ends the transaction if active, changes lost, and starts a new one: a
    // fresh view of what other workstations have committed.
    void Restart();
    void Commit();
    void Rollback();

    // Starts the transaction when it is not active; returns the handle.
    Firebird::ITransaction* handle();
    TIBDatabase& database() const { return m_db; }

    void addReader(TIBQuery* q);
    void removeReader(TIBQuery* q);

private:
    void closeReaders();

    TIBDatabase& m_db;
    fb::Ref<Firebird::ITransaction> m_tra;
    QList<TIBQuery*> m_readers;
};
