#pragma once

#include "db/TIBDatabase.h"
#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"
#include "db/TTrace.h"
#include "db/TTransactionGuard.h"

// A run deleted as the grouping window deletes one: kept whole among the
// deleted runs with who, where, when and why, and gone from the living tables.
inline void deleteRunToBin(TIBDatabase& db, int runId, const TTrace::Deletion& d) {
    TIBTransaction tr(db);
    TIBQuery q(db, tr);
    TTransactionGuard guard(tr);
    TTrace::binRun(q, runId, d);
    for (const char* sql :
         {"delete from mes_de where mes_id = ?", "delete from mes where mes_id = ?"}) {
        q.setSQL(QString::fromLatin1(sql));
        q.setParams({runId});
        q.ExecSQL();
    }
    guard.commit();
}
