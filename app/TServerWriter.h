#pragma once

#include "acquisition/THoldingRecorder.h"
#include "acquisition/TRecording.h"
#include "core/TDatabaseSetting.h"
#include "core/TEventLog.h"
#include "db/TBatchMarks.h"
#include "db/dmmainU.h"

#include <QElapsedTimer>

// The writing side of a recording to a database server, made on the writer
// thread: a connection of its own, opened when first needed and again after
// the server was away, and the recording that holds what the server refuses.
// Each write is marked in its own transaction (TBatchMarks), so that one whose
// commit went unanswered is neither written twice nor lost.
class TServerWriter : public TRecording {
public:
    TServerWriter(const TDatabaseSetting& database, const QString& logPath,
                  const TRunContextSource* context = nullptr);
    // Lets the server forget this writer's mark.
    ~TServerWriter() override;
    TServerWriter(const TServerWriter&) = delete;
    TServerWriter& operator=(const TServerWriter&) = delete;

    int StartRun(int DeviceId) override;
    void AddSample(int RunId, int DeviceId, double Value, double Speed) override;
    int StartRunAt(int DeviceId, const QDateTime& at) override;
    void AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                     const QDateTime& at) override;
    void EndRun(int RunId) override;
    int realId(int run) const override { return m_holding.realId(run); }
    bool finish(int budgetMs) override { return m_holding.finish(budgetMs); }
    void setObserver(TRecorderObserver* observer) override { m_holding.setObserver(observer); }
    bool failing() const override { return m_holding.failing(); }
    QString cause() const override { return m_holding.cause(); }

    // Runs after each mark, as the commit is asked for (a test stops the
    // server there).
    std::function<void()> AfterMark;

private:
    void rejected(const std::exception& e);
    void connect();

    // A server that does not answer costs each connect attempt up to the
    // connect time-out: the next attempt waits a second after a failed one,
    // or the writer would spend that time on every sample it holds and the
    // program's close on every sample still queued.
    static constexpr int kConnectIntervalMs = THoldingRecorder::kRetryMs;
    QElapsedTimer m_lastFailure;

    TFileLog m_log;
    TdmMain m_dm;
    TBatchMarks m_marks;
    THoldingRecorder m_holding;
};
