#pragma once

#include "acquisition/THoldingRecorder.h"
#include "acquisition/TRecording.h"
#include "core/TDatabaseSetting.h"
#include "core/TEventLog.h"
#include "db/dmmainU.h"

// The writing side of a recording to a database server, made on the writer
// thread: a connection of its own, opened when first needed and again after
// the server was away, and the recording that holds what the server refuses.
class TServerWriter : public TRecording {
public:
    TServerWriter(const TDatabaseSetting& database, const QString& logPath);

    int StartRun(int DeviceId) override;
    void AddSample(int RunId, int DeviceId, double Value, double Speed) override;
    int StartRunAt(int DeviceId, const QDateTime& at) override;
    void AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                     const QDateTime& at) override;
    int realId(int run) const override { return m_holding.realId(run); }
    bool finish(int budgetMs) override { return m_holding.finish(budgetMs); }
    void setObserver(TRecorderObserver* observer) override { m_holding.setObserver(observer); }
    bool failing() const override { return m_holding.failing(); }
    QString cause() const override { return m_holding.cause(); }

private:
    void rejected(const std::exception& e);

    TFileLog m_log;
    TdmMain m_dm;
    THoldingRecorder m_holding;
};
