#include "TIBDatabase.h"

#include "FbApi.h"
#include "TIBTransaction.h"

using namespace Firebird;

TIBDatabase::TIBDatabase() = default;

TIBDatabase::~TIBDatabase() {
    try {
        Close();
    } catch (...) {
        // Nothing more can be done for a connection that will not close.
    }
}

void TIBDatabase::Open() {
    if (m_attachment)
        return;
    fb::Status st;
    IXpbBuilder* dpb = nullptr;
    try {
        dpb = fb::util()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
        dpb->insertString(&st, isc_dpb_user_name, UserName.toUtf8().constData());
        dpb->insertString(&st, isc_dpb_password, Password.toUtf8().constData());
        dpb->insertString(&st, isc_dpb_lc_ctype, CharacterSet.toLatin1().constData());
        dpb->insertInt(&st, isc_dpb_sql_dialect, SQLDialect);
        IProvider* provider = fb::master()->getDispatcher();
        const QByteArray path = DatabaseName.toLocal8Bit();
        try {
            m_attachment = provider->attachDatabase(&st, path.constData(),
                                                    dpb->getBufferLength(&st), dpb->getBuffer(&st));
        } catch (...) {
            provider->release();
            throw;
        }
        provider->release();
        dpb->dispose();
        ++m_generation;
    } catch (const FbException& e) {
        if (dpb)
            dpb->dispose();
        fb::rethrow(e);
    }
}

void TIBDatabase::Close() {
    if (!m_attachment)
        return;
    for (TIBTransaction* t : m_transactions) {
        if (t->InTransaction()) {
            try {
                t->Rollback();
            } catch (...) {
                // the detach below reports what matters
            }
        }
    }
    fb::Status st;
    IAttachment* att = m_attachment;
    m_attachment = nullptr;
    try {
        att->detach(&st);
    } catch (const FbException& e) {
        att->release();
        fb::rethrow(e);
    }
}
