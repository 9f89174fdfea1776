#pragma once

#include <QDateTime>

#include <functional>

// What the sample handlers record: runs and their samples.
class TRecorder {
public:
    virtual ~TRecorder() = default;
    virtual int StartRun(int DeviceId) = 0;
    virtual void AddSample(int RunId, int DeviceId, double Value, double Speed) = 0;

    // The same with the moment the run started or the sample was taken, for
    // a write that happens later than that (held while the database refused
    // it). A recorder without its own clock records at the time of the call.
    virtual int StartRunAt(int DeviceId, const QDateTime& at) {
        (void)at;
        return StartRun(DeviceId);
    }
    virtual void AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                             const QDateTime& at) {
        (void)at;
        AddSample(RunId, DeviceId, Value, Speed);
    }

    // The run has ended: nothing more is recorded to it. A recorder that keeps
    // the laboratory's trace seals it here.
    virtual void EndRun(int RunId) { (void)RunId; }

    // Runs the writes made inside `writes` in one transaction, committed
    // once at its end (one wait for the disk instead of one per sample), and
    // returns true; when it throws, nothing of it is kept. A recorder
    // without transactions runs nothing and returns false.
    virtual bool inOneTransaction(const std::function<void()>& writes) {
        (void)writes;
        return false;
    }
};
