#include "core/TRunContext.h"

#include <gtest/gtest.h>

namespace {

// A run written late (held while the database refused it, or queued for a
// server) gets the constants in force when it started.
TEST(RunContextTest, ARunGetsTheConstantsInForceAtItsStart) {
    TRunContextSource source("2.0");
    const QDateTime t0(QDate(2026, 5, 4), QTime(8, 0));
    const TRunContextSource::Press a{52.2, 26.2, 5.2, 0.0};
    const TRunContextSource::Press b{60.0, 30.0, 4.0, -1.25};
    EXPECT_FALSE(source.forRun(1, t0).upp); // nothing told yet
    source.setPress(t0, a);
    source.setPress(t0.addSecs(600), b);
    source.setPress(t0.addSecs(700), b); // the same again: no new entry
    const struct {
        int device;
        qint64 secs;
        std::optional<double> upp;
        std::optional<double> zero;
    } cases[] = {{1, -60, 52.2, 0.0}, {1, 0, 52.2, 0.0},     {1, 599, 52.2, 0.0},
                 {1, 600, 60.0, -1.25}, {1, 9000, 60.0, -1.25}, {2, 650, std::nullopt, std::nullopt}};
    for (const auto& c : cases) {
        const TRunContext ctx = source.forRun(c.device, t0.addSecs(c.secs));
        EXPECT_EQ(ctx.upp, c.upp) << c.device << " " << c.secs;
        EXPECT_EQ(ctx.zeroOffset, c.zero) << c.device << " " << c.secs;
        EXPECT_EQ(ctx.version, "2.0");
        EXPECT_EQ(ctx.operatorName, TRunContextSource::loginName());
    }
}

} // namespace
