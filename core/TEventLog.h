#pragma once

#include "core/TClock.h"

#include <QDateTime>
#include <QString>

#include <deque>
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

    // Told once when the log cannot be written (the operator's text, with the
    // file and the system's words), and once with an empty text when it can
    // be written again.
    std::function<void(const QString& problem)> Trouble;
    // Lines that waited for room, in order, each with its own moment.
    qsizetype waiting() const { return qsizetype(m_waiting.size()); }

    static constexpr qint64 kRepeatLineEveryMs = 60 * 60 * 1000;
    // Lines kept while the log cannot be written; older ones are counted only.
    static constexpr qsizetype kMaxWaiting = 1000;

private:
    struct Line {
        QString message;
        QString tag;
        QDateTime at;
    };
    void write(const QString& Message, const QString& Tag);
    void writeWaiting();

    QString m_path;
    const TClock& m_clock;
    QString m_lastMessage;
    QString m_lastTag;
    qint64 m_repeats = 0;
    QDateTime m_countSince;
    // A log that could not be written keeps its lines here until there is
    // room: the earlier lines of the file stay whole and none is lost.
    std::deque<Line> m_waiting;
    qint64 m_lost = 0;
    bool m_troubled = false;
};
