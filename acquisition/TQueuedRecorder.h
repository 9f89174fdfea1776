#pragma once

#include "acquisition/TRecording.h"
#include "core/TClock.h"

#include <QHash>
#include <QObject>
#include <QThread>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// Recording to a database across a network. The sample handlers run in step
// with the polling, so they never wait for the server: each run start and
// sample is stamped with its moment and queued, and a writer thread of its
// own writes the queue in order through its own connection (a recording that
// holds what the server refuses and connects again when it is back). A run
// gets a queued id at once; its database id follows when it is written.
class TQueuedRecorder : public QObject, public TRecording {
    Q_OBJECT
public:
    using MakeWriter = std::function<std::unique_ptr<TRecording>()>;

    // makeWriter runs on the writer thread.
    explicit TQueuedRecorder(MakeWriter makeWriter, const TClock& clock = TClock::program());
    ~TQueuedRecorder() override;

    int StartRun(int DeviceId) override;
    void AddSample(int RunId, int DeviceId, double Value, double Speed) override;
    int StartRunAt(int DeviceId, const QDateTime& at) override;
    void AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                     const QDateTime& at) override;

    void EndRun(int RunId) override;
    int realId(int run) const override;
    bool finish(int budgetMs) override;
    // Told on this object's thread.
    void setObserver(TRecorderObserver* observer) override { m_observer = observer; }
    bool failing() const override;
    QString cause() const override;

    // Queued ids lie above the database's ids and the held runs' ids.
    static constexpr int kFirstQueued = 2000000000;

private:
    struct Op {
        bool start;
        int device;
        int run;
        double value;
        double speed;
        QDateTime at;
        bool end = false;
    };
    class Relay;

    void enqueue(Op op);
    void drain();
    void publish();

    const TClock& m_clock;
    QThread m_thread;
    QObject* m_context; // lives on the writer thread
    std::unique_ptr<TRecording> m_writer;
    std::unique_ptr<Relay> m_relay;
    TRecorderObserver* m_observer = nullptr;

    std::mutex m_queueMutex;
    std::deque<Op> m_queue;
    bool m_scheduled = false;
    int m_nextRun = kFirstQueued;

    QHash<int, int> m_writerId; // writer thread only: queued id -> the writer's id
    mutable std::mutex m_idMutex;
    QHash<int, int> m_published; // queued id -> database id, once known
    QString m_cause;             // under m_idMutex
    bool m_failing = false;
};
