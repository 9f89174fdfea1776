#pragma once

#include <QString>

// Told when the database stops taking the recording and when it takes it again.
class TRecorderObserver {
public:
    virtual ~TRecorderObserver() = default;
    // cause: the database's own message, empty while the database takes
    // writes again and the held samples are being written; held: samples kept in memory;
    // dropped: samples lost because the memory for held samples was full.
    virtual void RecorderFailing(const QString& cause, qsizetype held, qint64 dropped) = 0;
    virtual void RecorderRecovered() = 0;
};
