#pragma once

#include "db/FbApi.h"

#include <QList>
#include <QString>

#include <functional>

class TIBTransaction;

// One connection to a database file: a plain path is opened in-process by the
// embedded engine, "host:path" through a Firebird server.
class TIBDatabase {
public:
    TIBDatabase();
    ~TIBDatabase();
    TIBDatabase(const TIBDatabase&) = delete;
    TIBDatabase& operator=(const TIBDatabase&) = delete;

    QString DatabaseName;
    QString UserName = QStringLiteral("sysdba");
    QString Password;
    QString CharacterSet = QStringLiteral("WIN1251");
    int SQLDialect = 3;
    TIBTransaction* DefaultTransaction = nullptr;

    // Runs right after each connection is made; what it throws undoes the
    // connection (the data module checks here that the file is its database).
    std::function<void()> AfterConnect;

    bool Connected() const { return bool(m_attachment); }
    // Throws EDatabaseError: a Bulgarian line naming the file and what is
    // wrong with it, the engine's texts below it.
    void Open();
    // Rolls back what is still active, then detaches.
    void Close();

    Firebird::IAttachment* attachment() const { return m_attachment.get(); }
    // Counts the connections made, so prepared statements know when theirs is gone.
    int generation() const { return m_generation; }

    // An error that says the connection is gone (a server stopped or
    // restarted, the network down) lets the dead connection go; the next
    // statement or transaction then connects again by itself.
    static bool connectionLost(const EDatabaseError& e);
    void dropIfLost(const EDatabaseError& e);
    // Connects again when the connection was lost, not when it was closed.
    void reopenIfLost();

    void addTransaction(TIBTransaction* t) { m_transactions.append(t); }
    void removeTransaction(TIBTransaction* t) { m_transactions.removeAll(t); }

private:
    void attach();
    void detach();

    fb::Ref<Firebird::IAttachment> m_attachment;
    int m_generation = 0;
    bool m_lost = false;
    QList<TIBTransaction*> m_transactions;
};
