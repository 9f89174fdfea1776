#pragma once

#include "core/TClock.h"

#include <QDateTime>
#include <QString>

#include <functional>

// Where failures of sample processing are written.
class TEventLog {
public:
    virtual ~TEventLog() = default;
    // Throws Exception when the line could not be written.
    virtual void WriteLog(const QString& Message, const QString& Tag) = 0;
};

// The log file beside the executable. A failure that repeats itself sample
// after sample (a bad constant, a database that refuses writes) is written
// once; its repeats are counted and written as one line with the count when
// another event comes, at most an hour later, or when the log is closed, so
// the log grows by a few lines a day instead of megabytes.
class TFileLog : public TEventLog {
public:
    explicit TFileLog(QString path, const TClock& clock = TClock::program());
    ~TFileLog() override;
    TFileLog(const TFileLog&) = delete;
    TFileLog& operator=(const TFileLog&) = delete;

    void WriteLog(const QString& Message, const QString& Tag) override;
    // Writes the count of repeats not yet written, if any.
    void flushRepeats();

    static constexpr qint64 kRepeatLineEveryMs = 60 * 60 * 1000;

private:
    void write(const QString& Message, const QString& Tag);

    QString m_path;
    const TClock& m_clock;
    QString m_lastMessage;
    QString m_lastTag;
    qint64 m_repeats = 0;
    QDateTime m_countSince;
};
