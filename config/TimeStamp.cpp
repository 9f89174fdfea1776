#include "TimeStamp.h"

#include <cmath>

namespace {

const QDate kOrigin(1899, 12, 30);

} // namespace

namespace TimeStamp {

double fromDateTime(const QDateTime& when) {
    const double day = double(kOrigin.daysTo(when.date()));
    const double ms = double(when.time().msecsSinceStartOfDay());
    return day + ms / 86400000.0;
}

QDateTime toDateTime(double days) {
    const double whole = std::floor(days);
    const qint64 ms = std::llround((days - whole) * 86400000.0);
    return QDateTime(kOrigin.addDays(qint64(whole)), QTime(0, 0)).addMSecs(ms);
}

// A timestamp near today carries about a microsecond of rounding in its
// double, so 300 ms can come out as 299.9999 ms: the span is settled to the
// microsecond before it is truncated, or every such span would lose a whole ms.
std::int64_t wholeMs(double a, double b) {
    const double ms = std::round(std::fabs(a - b) * 86400000.0 * 1000.0) / 1000.0;
    return static_cast<std::int64_t>(ms);
}

std::int64_t wholeSeconds(double a, double b) {
    const double s = std::round(std::fabs(a - b) * 86400.0 * 1000000.0) / 1000000.0;
    return static_cast<std::int64_t>(s);
}

} // namespace TimeStamp
