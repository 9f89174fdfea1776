#include "app/TServerWriter.h"

#include "core/Exception.h"
#include "db/FbApi.h"

TServerWriter::TServerWriter(const TDatabaseSetting& database, const QString& logPath,
                             const TRunContextSource* context)
    : m_log(logPath), m_marks(m_dm.dbNUV, m_dm.trThread, m_log), m_holding(m_dm, m_log) {
    m_dm.setContextSource(context);
    m_dm.dbNUV.DatabaseName = database.connection;
    m_dm.dbNUV.UserName = database.user;
    m_dm.dbNUV.Password = database.password;
    m_holding.AfterFailure = [this] {
        if (m_dm.trThread.InTransaction())
            m_dm.trThread.Rollback();
    };
    m_dm.dbNUV.AfterConnect = [this, check = m_dm.dbNUV.AfterConnect] {
        if (check)
            check();
        m_marks.prepare();
    };
    m_holding.BeforeRetry = [this] { connect(); };
    m_holding.Mark = [this](qint64 batch) {
        m_marks.mark(batch);
        if (AfterMark)
            AfterMark();
    };
    m_holding.Landed = [this](qint64 batch) { return m_marks.landed(batch); };
}

// Only on a connection that is open: the close does not wait for a server
// that is away.
TServerWriter::~TServerWriter() {
    if (!m_dm.dbNUV.Connected() || !m_marks.on())
        return;
    try {
        m_marks.forget();
    } catch (...) {
    }
}

int TServerWriter::StartRun(int DeviceId) {
    return m_holding.StartRun(DeviceId);
}

void TServerWriter::AddSample(int RunId, int DeviceId, double Value, double Speed) {
    m_holding.AddSample(RunId, DeviceId, Value, Speed);
}

// The first write connects; a server that is not there yet is held like one
// that went away.
int TServerWriter::StartRunAt(int DeviceId, const QDateTime& at) {
    try {
        if (!m_holding.failing())
            connect();
    } catch (const std::exception&) {
    }
    try {
        return m_holding.StartRunAt(DeviceId, at);
    } catch (const std::exception& e) {
        rejected(e);
        return -1;
    }
}

void TServerWriter::AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                                const QDateTime& at) {
    try {
        m_holding.AddSampleAt(RunId, DeviceId, Value, Speed, at);
    } catch (const std::exception& e) {
        rejected(e);
    }
}

void TServerWriter::EndRun(int RunId) {
    try {
        m_holding.EndRun(RunId);
    } catch (const std::exception& e) {
        rejected(e);
    }
}

void TServerWriter::connect() {
    if (m_dm.dbNUV.Connected())
        return;
    if (m_lastFailure.isValid() && m_lastFailure.elapsed() < kConnectIntervalMs)
        throw EDatabaseError(fb::notConnectedText());
    try {
        m_dm.dbNUV.Open();
    } catch (...) {
        m_lastFailure.start();
        throw;
    }
}

// A statement the database rejects for what it says is lost as it would be
// without a server; the log keeps what the database said.
void TServerWriter::rejected(const std::exception& e) {
    try {
        m_log.WriteLog(Exception::of(e).message(), QStringLiteral("commErr"));
    } catch (...) {
    }
}
