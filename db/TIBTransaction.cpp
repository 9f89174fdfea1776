#include "db/TIBTransaction.h"

#include "db/FbApi.h"
#include "db/TIBDatabase.h"
#include "db/TIBQuery.h"

using namespace Firebird;

TIBTransaction::TIBTransaction(TIBDatabase& db) : m_db(db) {
    m_db.addTransaction(this);
}

TIBTransaction::~TIBTransaction() {
    if (m_tra) {
        try {
            Rollback();
        } catch (...) {
        }
    }
    m_db.removeTransaction(this);
}

void TIBTransaction::StartTransaction() {
    if (m_tra)
        throw EDatabaseError(QStringLiteral("Transaction is active"));
    m_db.reopenIfLost();
    if (!m_db.Connected())
        throw EDatabaseError(fb::notConnectedText());
    fb::Status st;
    try {
        if (LockTimeoutSec <= 0) {
            m_tra.reset(m_db.attachment()->startTransaction(&st, 0, nullptr));
        } else {
            fb::Owned<IXpbBuilder> tpb(
                fb::util()->getXpbBuilder(&st, IXpbBuilder::TPB, nullptr, 0));
            for (int tag : {isc_tpb_concurrency, isc_tpb_write, isc_tpb_wait})
                tpb->insertTag(&st, tag);
            tpb->insertInt(&st, isc_tpb_lock_timeout, LockTimeoutSec);
            m_tra.reset(m_db.attachment()->startTransaction(&st, tpb->getBufferLength(&st),
                                                            tpb->getBuffer(&st)));
        }
    } catch (const FbException& e) {
        fb::rethrow(e);
    }
}

void TIBTransaction::StartIfInactive() {
    if (!m_tra)
        StartTransaction();
}

void TIBTransaction::Restart() {
    if (m_tra)
        Rollback();
    StartTransaction();
}

ITransaction* TIBTransaction::handle() {
    if (!m_tra)
        StartTransaction();
    return m_tra.get();
}

void TIBTransaction::Commit() {
    if (!m_tra)
        throw EDatabaseError(QStringLiteral("Transaction is not active"));
    closeReaders();
    fb::Status st;
    try {
        m_tra->commit(&st);
        m_tra.take(); // a commit that succeeds ends the handle itself
    } catch (const FbException& e) {
        try {
            fb::rethrow(e);
        } catch (const EDatabaseError& lost) {
            m_db.dropIfLost(lost); // rolls this transaction back with the connection
            throw;
        }
    }
}

void TIBTransaction::Rollback() {
    if (!m_tra)
        throw EDatabaseError(QStringLiteral("Transaction is not active"));
    closeReaders();
    fb::Status st;
    // Whatever the rollback says, the transaction is over for this program;
    // a handle the rollback did not end is released here.
    fb::Ref<ITransaction> t = std::move(m_tra);
    try {
        t->rollback(&st);
        t.take();
    } catch (const FbException& e) {
        fb::rethrow(e);
    }
}

void TIBTransaction::addReader(TIBQuery* q) {
    if (!m_readers.contains(q))
        m_readers.append(q);
}

void TIBTransaction::removeReader(TIBQuery* q) {
    m_readers.removeAll(q);
}

void TIBTransaction::closeReaders() {
    const auto readers = m_readers;
    for (TIBQuery* q : readers)
        q->Close();
    m_readers.clear();
}
