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
    // Milliseconds that only ever move on, whatever is done to the wall
    // clock: spans are taken from this. A clock that is never set (a test's
    // clock that only moves on) can leave it to its wall time.
    virtual std::int64_t monotonicMs() const { return now().toMSecsSinceEpoch(); }

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
    std::int64_t monotonicMs() const override;
};

// A clock that stands still until it is set or moved on; safe to read from
// the polling thread while a test moves it. Setting it is what time
// synchronisation does to the computer's clock: the wall time steps, the
// monotonic time does not; moving it on moves both.
class TFixedClock : public TClock {
public:
    explicit TFixedClock(const QDateTime& at)
        : m_ms(at.toMSecsSinceEpoch()), m_monotonic(m_ms.load()) {}
    QDateTime now() const override { return QDateTime::fromMSecsSinceEpoch(m_ms.load()); }
    std::int64_t monotonicMs() const override { return m_monotonic.load(); }
    void set(const QDateTime& at) { m_ms = at.toMSecsSinceEpoch(); }
    void advance(std::int64_t ms) {
        m_ms += ms;
        m_monotonic += ms;
    }

private:
    std::atomic<std::int64_t> m_ms;
    std::atomic<std::int64_t> m_monotonic;
};

// Time that never steps: the wall time of another clock when it was
// anchored, moved on by that clock's monotonic time since. What is measured
// against it (speeds, a run's sample moments, the live charts' time axis)
// goes on evenly when the computer's clock is set back or forward or changes
// to or from summer time; anchoring takes the wall time afresh.
class TSteadyClock final : public TClock {
public:
    explicit TSteadyClock(const TClock& base) : m_base(base) { anchor(); }
    QDateTime now() const override;
    std::int64_t monotonicMs() const override { return m_base.monotonicMs(); }
    void anchor();

private:
    const TClock& m_base;
    QDateTime m_wall;
    std::int64_t m_monotonic = 0;
};
