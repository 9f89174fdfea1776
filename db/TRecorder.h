#pragma once

// What the sample handlers record: runs and their samples.
class TRecorder {
public:
    virtual ~TRecorder() = default;
    virtual int StartRun(int DeviceId) = 0;
    virtual void AddSample(int RunId, int DeviceId, double Value, double Speed) = 0;
};
