#pragma once

#include "Exception.h"

#include <firebird/Interface.h>

#include <QDateTime>
#include <QString>

// A database error: the server's error texts, one per line, lines separated
// by CR LF, without a final period.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

namespace fb {

Firebird::IMaster* master();
Firebird::IUtil* util();

// The message of a failed call, in the program's form.
QString errorText(Firebird::IStatus* status);
// Turns the Firebird exception of the call into EDatabaseError.
[[noreturn]] void rethrow(const Firebird::FbException& e);

// A status and its throwing wrapper for one call sequence.
class Status {
public:
    Status();
    ~Status();
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;
    Firebird::ThrowStatusWrapper* operator&() { return &m_wrapper; }
    Firebird::ThrowStatusWrapper* get() { return &m_wrapper; }

private:
    Firebird::IStatus* m_status;
    Firebird::ThrowStatusWrapper m_wrapper;
};

ISC_TIMESTAMP encodeTimestamp(const QDateTime& when);
QDateTime decodeTimestamp(const ISC_TIMESTAMP& ts);
QDate decodeDate(ISC_DATE d);

// Text in the connection's character set; throws EDatabaseError when the text
// holds a character that Windows-1251 cannot store.
QByteArray connectionText(const QString& text);

} // namespace fb
