#pragma once

#include <QString>

#include <exception>
#include <string>

// The program's errors. Each carries two texts: what the operator is told, in
// Bulgarian, and the cause for the maintainer and the log (the engine's or
// the system's own words; empty when there is nothing to add). Libraries
// throw them; only windows catch them and show them.
class Exception : public std::exception {
public:
    explicit Exception(QString text, QString cause = {});

    // Any failure in those two texts: ours as they are, a foreign one (the
    // runtime's, a library's) with its own words as the cause.
    static Exception of(const std::exception& e);
    // The operator's text with the cause below it, a blank line between;
    // either alone when the other is empty.
    static QString join(const QString& text, const QString& cause);

    const QString& text() const noexcept { return m_text; }
    const QString& cause() const noexcept { return m_cause; }
    // What a window shows and the log records.
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_text;
    QString m_cause;
    QString m_message;
    std::string m_utf8;
};

// The database refused, lost its connection or is not the program's.
class DatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A settings or log file that cannot be read or written.
class SettingsError : public Exception {
public:
    using Exception::Exception;
};

// A serial port that cannot be opened or set up.
class SerialError : public Exception {
public:
    using Exception::Exception;
};
