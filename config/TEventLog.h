#pragma once

#include <QString>

// Where failures of sample processing are written.
class TEventLog {
public:
    virtual ~TEventLog() = default;
    // Throws Exception when the line could not be written.
    virtual void WriteLog(const QString& Message, const QString& Tag) = 0;
};

// The log file beside the executable.
class TFileLog : public TEventLog {
public:
    explicit TFileLog(QString path) : m_path(std::move(path)) {}
    void WriteLog(const QString& Message, const QString& Tag) override;

private:
    QString m_path;
};
