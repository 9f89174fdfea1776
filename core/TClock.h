#pragma once

#include <QDate>
#include <QDateTime>

#include <atomic>
#include <cstdint>

// Where every moment of the program comes from: a run's start, each sample,
// a log line, a series' date, the "today" of the filters and charts. The
// program's clock is the computer's; a test puts its own in its place (or
// hands its own to the one object under test).
class TClock {
public:
    virtual ~TClock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }

    static const TClock& program();

    // Holds another clock in the program clock's place while it lives.
    class Replacement {
    public:
        explicit Replacement(const TClock& clock);
        ~Replacement();
        Replacement(const Replacement&) = delete;
        Replacement& operator=(const Replacement&) = delete;

    private:
        const TClock* m_previous;
    };
};

class TSystemClock final : public TClock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until it is set or moved on; safe to read from
// the polling thread while a test moves it.
class TFixedClock : public TClock {
public:
    explicit TFixedClock(const QDateTime& at) : m_ms(at.toMSecsSinceEpoch()) {}
    QDateTime now() const override { return QDateTime::fromMSecsSinceEpoch(m_ms.load()); }
    void set(const QDateTime& at) { m_ms = at.toMSecsSinceEpoch(); }
    void advance(std::int64_t ms) { m_ms += ms; }

private:
    std::atomic<std::int64_t> m_ms;
};
