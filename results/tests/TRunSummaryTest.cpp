#include "results/TRunSummary.h"

#include <gtest/gtest.h>

// Whole seconds from the first sample to the maximum are the truncated
// quotient of whole milliseconds: over start times all through a day and
// spans of 1 s to 10 h, none is off by one. The times come as the database
// layer gives them (a fixed offset from UTC) or as local times.
TEST(TRunSummary, WholeSecondsAreNeverOffByOne) {
    const QDate day(2026, 12, 9);
    for (int startMs = 0; startMs < 86400000; startMs += 86413) {
        const QTime t = QTime::fromMSecsSinceStartOfDay(startMs);
        for (const QDateTime& start :
             {QDateTime(day, t), QDateTime(day, t, Qt::OffsetFromUTC, 7200)}) {
            for (const qint64 span : {1000LL, 1999LL, 5000LL, 59999LL, 3600000LL, 36000000LL}) {
                const TRunSummary s(181.4, start, start.addMSecs(span));
                ASSERT_EQ(s.seconds(), span / 1000) << start.toString().toStdString() << span;
            }
        }
    }
    const QDateTime nine(day, QTime(9, 0, 0));
    const TRunSummary five(50.0, nine, nine.addSecs(5));
    EXPECT_EQ(five.seconds(), 5);
    EXPECT_EQ(five.vreme(), "5");
    EXPECT_EQ(five.speed(), 10.0);
    // Either time missing is no span at all, not one reaching back to the day count's origin.
    for (const TRunSummary& none :
         {TRunSummary(50.0, QVariant(), nine), TRunSummary(50.0, nine, QVariant())}) {
        EXPECT_EQ(none.seconds(), 0);
        EXPECT_FALSE(none.speed());
        EXPECT_EQ(none.vreme(), "");
    }
}
