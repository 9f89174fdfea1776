#pragma once

#include "db/FbApi.h"

#include <QList>
#include <QString>
#include <QVariant>

class TIBDatabase;
class TIBTransaction;

// A stored procedure without inputs, executed in its transaction; its output
// parameters are read by position.
class TIBStoredProc {
public:
    TIBStoredProc(TIBDatabase& db, TIBTransaction& tr);
    ~TIBStoredProc();
    TIBStoredProc(const TIBStoredProc&) = delete;
    TIBStoredProc& operator=(const TIBStoredProc&) = delete;

    // A new name takes the procedure's parameters anew at the next execution.
    void setStoredProcName(const QString& name);
    const QString& StoredProcName() const { return m_name; }

    // Sends "Execute Procedure "NAME"" and keeps the output parameters.
    void ExecProc();
    QVariant Output(int index) const;
    void Close();

private:
    void release();

    TIBDatabase& m_db;
    TIBTransaction& m_tr;
    QString m_name;
    fb::Ref<Firebird::IStatement> m_stmt;
    fb::Ref<Firebird::IMessageMetadata> m_out;
    int m_preparedOn = -1; // the connection generation m_stmt belongs to
    QList<QVariant> m_outputs;
};
