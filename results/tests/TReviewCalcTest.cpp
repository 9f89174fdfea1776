#include "results/TReviewTitles.h"

#include <gtest/gtest.h>

// The review's whole seconds to the maximum, truncated from whole
// milliseconds of the stored times: never one short.
TEST(TReviewCalc, WholeSecondsAreNeverOffByOne) {
    const QDate day(2026, 3, 29);
    for (int startMs = 0; startMs < 86400000; startMs += 90001) {
        const QDateTime start(day, QTime::fromMSecsSinceStartOfDay(startMs), Qt::OffsetFromUTC,
                              10800);
        for (const qint64 span : {1000LL, 4999LL, 5000LL, 61000LL, 7200000LL, 36000000LL}) {
            const TReviewCalc c(100.0, start, start.addMSecs(span));
            ASSERT_EQ(c.seconds(), span / 1000) << start.toString().toStdString() << span;
        }
    }
    const QDateTime nine(day, QTime(9, 0, 0));
    const TReviewCalc five(50.0, nine, nine.addSecs(5));
    EXPECT_EQ(five.seconds(), 5);
    EXPECT_EQ(five.vreme(), "5");
    EXPECT_EQ(five.speed(), 10.0);
}
