#include "db/TIBStoredProc.h"

#include "db/FbApi.h"
#include "db/TIBDatabase.h"
#include "db/TIBTransaction.h"

#include <vector>

using namespace Firebird;

TIBStoredProc::TIBStoredProc(TIBDatabase& db, TIBTransaction& tr) : m_db(db), m_tr(tr) {}

TIBStoredProc::~TIBStoredProc() {
    release();
}

void TIBStoredProc::release() {
    m_out.reset();
    m_stmt.reset();
}

void TIBStoredProc::setStoredProcName(const QString& name) {
    if (name == m_name)
        return;
    release();
    m_name = name;
}

void TIBStoredProc::ExecProc() {
    if (!m_db.Connected())
        m_db.Open();
    ITransaction* tra = m_tr.handle();
    fb::Status st;
    try {
        if (!m_stmt || m_preparedOn != m_db.generation()) {
            release();
            const QByteArray sql =
                fb::connectionText(QStringLiteral("Execute Procedure \"%1\"").arg(m_name));
            m_stmt.reset(m_db.attachment()->prepare(&st, tra, 0, sql.constData(), 3,
                                                    IStatement::PREPARE_PREFETCH_METADATA));
            m_out.reset(m_stmt->getOutputMetadata(&st));
            m_preparedOn = m_db.generation();
        }
        std::vector<unsigned char> buf(m_out->getMessageLength(&st));
        m_stmt->execute(&st, tra, nullptr, nullptr, m_out.get(), buf.data());
        m_outputs.clear();
        const unsigned count = m_out->getCount(&st);
        for (unsigned i = 0; i < count; ++i) {
            const unsigned char* p = buf.data() + m_out->getOffset(&st, i);
            if (*reinterpret_cast<const short*>(buf.data() + m_out->getNullOffset(&st, i))) {
                m_outputs.append(QVariant());
                continue;
            }
            switch (m_out->getType(&st, i) & ~1u) {
            case SQL_SHORT:
                m_outputs.append(int(*reinterpret_cast<const short*>(p)));
                break;
            case SQL_LONG:
                m_outputs.append(int(*reinterpret_cast<const ISC_LONG*>(p)));
                break;
            case SQL_INT64:
                m_outputs.append(qlonglong(*reinterpret_cast<const ISC_INT64*>(p)));
                break;
            case SQL_DOUBLE:
                m_outputs.append(*reinterpret_cast<const double*>(p));
                break;
            default:
                m_outputs.append(QVariant());
                break;
            }
        }
    } catch (const FbException& e) {
        release();
        fb::rethrow(e);
    }
}

QVariant TIBStoredProc::Output(int index) const {
    return index >= 0 && index < m_outputs.size() ? m_outputs[index] : QVariant();
}

void TIBStoredProc::Close() {
    m_outputs.clear();
}
