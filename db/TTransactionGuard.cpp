#include "db/TTransactionGuard.h"

#include "db/TIBTransaction.h"

TTransactionGuard::TTransactionGuard(TIBTransaction& tr) : m_tr(tr) {
    m_tr.StartIfInactive();
}

// A rollback that fails has still let the handle go; the failure that left
// the scope is the one the operator hears of.
TTransactionGuard::~TTransactionGuard() {
    if (!m_tr.InTransaction())
        return;
    try {
        m_tr.Rollback();
    } catch (...) {
    }
}

void TTransactionGuard::commit() {
    m_tr.Commit();
}
