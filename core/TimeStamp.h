#pragma once

#include <QDateTime>

#include <cstdint>

// Timestamps as a double count of days since 30 December 1899 00:00, local
// time, the fraction being the time of day; 0 is a timestamp never set.
// Spans are taken in integer milliseconds of the wall-clock date and time,
// never from a difference of day fractions; whole seconds are the truncated
// quotient.
namespace TimeStamp {

double fromDateTime(const QDateTime& when);
QDateTime toDateTime(double days);

// Whole milliseconds of wall-clock time since 30 December 1899 00:00; an
// invalid date-time (a timestamp never set) is 0.
std::int64_t wallMs(const QDateTime& when);
// The same for a day count, rounded to the millisecond it was made from.
std::int64_t wallMs(double days);

// The span between two moments in whole milliseconds and whole seconds.
std::int64_t spanMs(const QDateTime& a, const QDateTime& b);
std::int64_t spanSeconds(const QDateTime& a, const QDateTime& b);

// The span between two day counts in whole milliseconds.
std::int64_t wholeMs(double a, double b);
// The same in whole seconds.
std::int64_t wholeSeconds(double a, double b);

constexpr double kFifteenMinutes = 1.0 / 96.0;

} // namespace TimeStamp
