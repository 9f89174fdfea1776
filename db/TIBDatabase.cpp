#include "db/TIBDatabase.h"

#include "db/FbConnectError.h"
#include "db/FbEngine.h"
#include "db/FbServerAddress.h"
#include "db/TIBTransaction.h"

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
    try {
        attach();
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(FbConnectError::message(DatabaseName, e), e.codes(), e.osError());
    }
    ++m_generation;
    m_lost = false;
    if (!AfterConnect)
        return;
    try {
        AfterConnect();
    } catch (...) {
        try {
            detach();
        } catch (...) {
            // the check's own error is the one that matters
        }
        throw;
    }
}

// A server that does not take the connection at all is reported after the
// connect time-out, as one that takes it and then says nothing is.
void TIBDatabase::attach() {
    if (FbEngine::isServer(DatabaseName)) {
        const FbServerAddress server = FbServerAddress::parse(DatabaseName);
        if (!server.answers(FbEngine::kServerConnectTimeoutSec * 1000))
            throw EDatabaseError(QStringLiteral("No answer from \"%1\" on port %2 within %3 s")
                                     .arg(server.host, server.port)
                                     .arg(FbEngine::kServerConnectTimeoutSec),
                                 {isc_network_error});
    }
    fb::Status st;
    try {
        fb::Owned<IXpbBuilder> dpb(fb::util()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0));
        // Without a name or a password of its own the client takes
        // ISC_USER and ISC_PASSWORD from the environment.
        if (!UserName.isEmpty())
            dpb->insertString(&st, isc_dpb_user_name, UserName.toUtf8().constData());
        if (!Password.isEmpty())
            dpb->insertString(&st, isc_dpb_password, Password.toUtf8().constData());
        dpb->insertString(&st, isc_dpb_lc_ctype, CharacterSet.toLatin1().constData());
        dpb->insertInt(&st, isc_dpb_sql_dialect, SQLDialect);
        if (FbEngine::isServer(DatabaseName))
            dpb->insertInt(&st, isc_dpb_connect_timeout, FbEngine::kServerConnectTimeoutSec);
        fb::Ref<IProvider> provider(fb::master()->getDispatcher());
        const QByteArray path = DatabaseName.toLocal8Bit();
        m_attachment.reset(provider->attachDatabase(
            &st, path.constData(), dpb->getBufferLength(&st), dpb->getBuffer(&st)));
    } catch (const FbException& e) {
        fb::rethrow(e);
    }
}

bool TIBDatabase::connectionLost(const EDatabaseError& e) {
    for (long c : {isc_network_error, isc_lost_db_connection, isc_conn_lost, isc_shutdown,
                   isc_att_shutdown, isc_bad_db_handle, isc_net_read_err, isc_net_write_err})
        if (e.has(c))
            return true;
    return false;
}

void TIBDatabase::dropIfLost(const EDatabaseError& e) {
    if (!connectionLost(e) || !m_attachment)
        return;
    try {
        Close();
    } catch (...) {
        // a dead connection cannot detach cleanly; it is let go all the same
    }
    m_lost = true;
}

void TIBDatabase::reopenIfLost() {
    if (m_lost && !m_attachment)
        Open();
}

void TIBDatabase::Close() {
    m_lost = false;
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
    detach();
}

// The connection is gone for this program whatever the detach says; a handle
// the detach did not end is released.
void TIBDatabase::detach() {
    fb::Status st;
    fb::Ref<IAttachment> att = std::move(m_attachment);
    try {
        att->detach(&st);
        att.take();
    } catch (const FbException& e) {
        fb::rethrow(e);
    }
}
