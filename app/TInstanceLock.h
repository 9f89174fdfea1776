#pragma once

#include <QString>

// One program per database: an exclusive lock on a file beside the database,
// taken before connecting. The lock goes with the process, however it ends.
class TInstanceLock {
public:
    enum class State { Locked, HeldByAnother, Unavailable };

    explicit TInstanceLock(QString lockPath);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    State state() const { return m_state; }
    // Why the lock file could not be used (Unavailable).
    const QString& reason() const { return m_reason; }
    const QString& path() const { return m_path; }

    // The lock file of a database: its path with ".lock" added.
    static QString pathFor(const QString& database);

private:
    QString m_path;
    int m_fd = -1;
    State m_state = State::Unavailable;
    QString m_reason;
};
