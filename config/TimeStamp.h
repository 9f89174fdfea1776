#pragma once

#include <QDateTime>

#include <cstdint>

// Timestamps as a double count of days since 30 December 1899 00:00, local
// time, the fraction being the time of day; 0 is a timestamp never set.
namespace TimeStamp {

double fromDateTime(const QDateTime& when);
QDateTime toDateTime(double days);

// The span between two timestamps in whole milliseconds, truncated toward zero.
std::int64_t wholeMs(double a, double b);
// The same in whole seconds.
std::int64_t wholeSeconds(double a, double b);

constexpr double kFifteenMinutes = 1.0 / 96.0;

} // namespace TimeStamp
