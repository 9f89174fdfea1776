#include "core/TimeStamp.h"

#include <cmath>
#include <cstdlib>

namespace {

const QDate kOrigin(1899, 12, 30);
constexpr std::int64_t kMsPerDay = 86400000;

} // namespace

namespace TimeStamp {

double fromDateTime(const QDateTime& when) {
    const double day = double(kOrigin.daysTo(when.date()));
    const double ms = double(when.time().msecsSinceStartOfDay());
    return day + ms / 86400000.0;
}

// Built from the date and the time of day, not by adding milliseconds, so a
// change to or from summer time on the way does not move the wall clock.
QDateTime toDateTime(double days) {
    const std::int64_t ms = wallMs(days);
    std::int64_t day = ms / kMsPerDay;
    if (ms % kMsPerDay < 0)
        --day;
    return QDateTime(kOrigin.addDays(day),
                     QTime::fromMSecsSinceStartOfDay(int(ms - day * kMsPerDay)));
}

std::int64_t wallMs(const QDateTime& when) {
    if (!when.isValid())
        return 0;
    return kOrigin.daysTo(when.date()) * kMsPerDay + when.time().msecsSinceStartOfDay();
}

// A day count near today holds its time of day to about a microsecond, so the
// millisecond it was made from is the nearest one.
std::int64_t wallMs(double days) {
    const double whole = std::floor(days);
    return std::int64_t(whole) * kMsPerDay + std::llround((days - whole) * double(kMsPerDay));
}

std::int64_t spanMs(const QDateTime& a, const QDateTime& b) {
    return std::llabs(wallMs(a) - wallMs(b));
}

std::int64_t spanSeconds(const QDateTime& a, const QDateTime& b) {
    return spanMs(a, b) / 1000;
}

std::int64_t wholeMs(double a, double b) {
    return std::llabs(wallMs(a) - wallMs(b));
}

std::int64_t wholeSeconds(double a, double b) {
    return wholeMs(a, b) / 1000;
}

} // namespace TimeStamp
