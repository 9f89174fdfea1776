#include "core/TimeStamp.h"

#include <gtest/gtest.h>

TEST(TimeStamp, DaysSpansAndTruncation) {
    const QDateTime t(QDate(2026, 12, 9), QTime(10, 0, 0));
    EXPECT_DOUBLE_EQ(TimeStamp::fromDateTime(QDateTime(QDate(1899, 12, 31), QTime(6, 0))), 1.25);
    EXPECT_EQ(TimeStamp::toDateTime(TimeStamp::fromDateTime(t.addMSecs(123))), t.addMSecs(123));
    EXPECT_EQ(TimeStamp::toDateTime(0), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    const double a = TimeStamp::fromDateTime(t);
    // Whole milliseconds of spans that doubles cannot hold exactly.
    for (int ms : {1, 299, 300, 301, 90700, 900000})
        EXPECT_EQ(TimeStamp::wholeMs(a, TimeStamp::fromDateTime(t.addMSecs(ms))), ms) << ms;
    EXPECT_EQ(TimeStamp::wholeSeconds(TimeStamp::fromDateTime(t.addMSecs(90700)), a), 90);
    EXPECT_EQ(TimeStamp::wholeSeconds(a, TimeStamp::fromDateTime(t.addMSecs(59900))), 59);
    EXPECT_EQ(TimeStamp::wholeMs(a, a), 0);
    // 09:00:00 + 5 s is 5 s, not 4.
    const QDateTime nine(QDate(2026, 12, 9), QTime(9, 0, 0));
    EXPECT_EQ(TimeStamp::spanSeconds(nine, nine.addSecs(5)), 5);
    EXPECT_EQ(TimeStamp::wholeSeconds(TimeStamp::fromDateTime(nine),
                                      TimeStamp::fromDateTime(nine.addSecs(5))),
              5);
    // A timestamp never set counts as 0: the span runs from 30 December 1899.
    EXPECT_EQ(TimeStamp::spanSeconds(QDateTime(), QDateTime(QDate(1899, 12, 31), QTime(0, 0, 1))),
              86401);
}

// Over many start times of a day (every 7 s 13 ms, so every second and
// millisecond phase occurs) and spans of 1 s to 10 h, with and without a
// fraction of a second, no span is off by one.
TEST(TimeStamp, NoSpanIsOffByOne) {
    const QDate day(2026, 3, 14);
    const std::int64_t spans[] = {1000,  1999,  2000,    5000,    59000,   59999,
                                  60000, 61001, 3599999, 3600000, 7777777, 36000000};
    int checked = 0;
    for (int startMs = 0; startMs < 86400000; startMs += 7013) {
        const QDateTime start(day, QTime::fromMSecsSinceStartOfDay(startMs));
        const double a = TimeStamp::fromDateTime(start);
        for (const std::int64_t span : spans) {
            const QDateTime end = start.addMSecs(span);
            const std::int64_t expectSeconds = span / 1000;
            ASSERT_EQ(TimeStamp::spanSeconds(start, end), expectSeconds)
                << start.toString(Qt::ISODateWithMs).toStdString() << " + " << span;
            ASSERT_EQ(TimeStamp::spanSeconds(end, start), expectSeconds);
            const double b = TimeStamp::fromDateTime(end);
            ASSERT_EQ(TimeStamp::wholeMs(a, b), span)
                << start.toString(Qt::ISODateWithMs).toStdString() << " + " << span;
            ASSERT_EQ(TimeStamp::wholeSeconds(b, a), expectSeconds);
            ++checked;
        }
    }
    EXPECT_GT(checked, 100000);
}
