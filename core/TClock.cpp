#include "core/TClock.h"

#include <chrono>

#include <time.h>

namespace {

const TSystemClock kSystem;
std::atomic<const TClock*> g_program{&kSystem};

} // namespace

const TClock& TClock::program() {
    return *g_program.load();
}

TClock::Replacement::Replacement(const TClock& clock) : m_previous(g_program.exchange(&clock)) {}

TClock::Replacement::~Replacement() {
    g_program = m_previous;
}

// Counted on through a suspend of the computer as well, so that after it the
// steady time still runs with the wall clock.
std::int64_t TSystemClock::monotonicMs() const {
#ifdef CLOCK_BOOTTIME
    timespec t{};
    clock_gettime(CLOCK_BOOTTIME, &t); // cannot fail for a clock the system names
    return std::int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
#else
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
#endif
}

// Both readings at one moment: the wall time is the base clock's own, so a
// base that is never set gives back exactly its own readings. The wall time is
// held at the offset from UTC it had then: the change to or from summer time
// moves the computer's clock face by an hour, this time's does not.
void TSteadyClock::anchor() {
    m_monotonic = m_base.monotonicMs();
    const QDateTime wall = m_base.now();
    m_wall = wall.toOffsetFromUtc(wall.offsetFromUtc());
}

QDateTime TSteadyClock::now() const {
    return m_wall.addMSecs(m_base.monotonicMs() - m_monotonic);
}
