#pragma once

#include "core/Exception.h"

#include <firebird/Interface.h>

#include <QDateTime>
#include <QString>

#include <utility>
#include <vector>

// A database error in the program's words, or the server's own error texts
// as its cause: one per line, lines separated by CR LF, without a final
// period. The engine's error codes and the system error number it reported,
// if any, come with it so callers can say what went wrong in the operator's
// words.
class EDatabaseError : public DatabaseError {
public:
    explicit EDatabaseError(QString text, std::vector<long> codes = {}, int osError = 0,
                            QString cause = {})
        : DatabaseError(std::move(text), std::move(cause)), m_codes(std::move(codes)),
          m_osError(osError) {}
    // The engine's refusal: the words for the operator come from whoever
    // knows what was being done.
    static EDatabaseError fromEngine(QString engineText, std::vector<long> codes, int osError) {
        return EDatabaseError(QString(), std::move(codes), osError, std::move(engineText));
    }

    const std::vector<long>& codes() const { return m_codes; }
    bool has(long code) const;
    int osError() const { return m_osError; }

private:
    std::vector<long> m_codes;
    int m_osError;
};

namespace fb {

Firebird::IMaster* master();
Firebird::IUtil* util();

// What a statement or transaction meets without a connection.
QString notConnectedText();

// The message of a failed call, in the program's form.
QString errorText(Firebird::IStatus* status);
// Turns the Firebird exception of the call into EDatabaseError.
[[noreturn]] void rethrow(const Firebird::FbException& e);

// Owns one reference of a handle (attachment, transaction, statement, result
// set, metadata, builder, provider): whatever path leaves the scope, the
// handle is released. Calls that end a handle themselves on success (commit,
// rollback, free, close, detach) are followed by take(), so it is not
// released twice.
template <class T> class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : m_p(p) {}
    ~Ref() { reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    Ref& operator=(Ref&& o) noexcept {
        if (this != &o) {
            reset();
            m_p = std::exchange(o.m_p, nullptr);
        }
        return *this;
    }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // Forgets the handle without releasing it (it has ended itself).
    T* take() { return std::exchange(m_p, nullptr); }
    void reset(T* p = nullptr) {
        if (m_p)
            m_p->release();
        m_p = p;
    }

private:
    T* m_p = nullptr;
};

// The same for a handle that is disposed of rather than released (a parameter
// block builder).
template <class T> class Owned {
public:
    explicit Owned(T* p) : m_p(p) {}
    ~Owned() {
        if (m_p)
            m_p->dispose();
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T* operator->() const { return m_p; }
    T* get() const { return m_p; }

private:
    T* m_p;
};

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
ISC_DATE encodeDate(const QDate& day);
QDateTime decodeTimestamp(const ISC_TIMESTAMP& ts);
// decodeTimestamp(ts).toMSecsSinceEpoch(), without making the date-time.
qint64 timestampMs(const ISC_TIMESTAMP& ts);
QDate decodeDate(ISC_DATE d);

inline bool before(const ISC_TIMESTAMP& a, const ISC_TIMESTAMP& b) {
    return a.timestamp_date != b.timestamp_date ? a.timestamp_date < b.timestamp_date
                                                : a.timestamp_time < b.timestamp_time;
}

// Text in the connection's character set; throws EDatabaseError when the text
// holds a character that Windows-1251 cannot store.
QByteArray connectionText(const QString& text);

} // namespace fb
