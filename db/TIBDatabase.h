#pragma once

#include <QList>
#include <QString>

namespace Firebird {
class IAttachment;
}

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

    bool Connected() const { return m_attachment != nullptr; }
    // Throws EDatabaseError with the server's texts.
    void Open();
    // Rolls back what is still active, then detaches.
    void Close();

    Firebird::IAttachment* attachment() const { return m_attachment; }
    // Counts the connections made, so prepared statements know when theirs is gone.
    int generation() const { return m_generation; }

    void addTransaction(TIBTransaction* t) { m_transactions.append(t); }
    void removeTransaction(TIBTransaction* t) { m_transactions.removeAll(t); }

private:
    Firebird::IAttachment* m_attachment = nullptr;
    int m_generation = 0;
    QList<TIBTransaction*> m_transactions;
};
