#include "results/RunResults.h"
#include "results/TSummary.h"

#include <gtest/gtest.h>

using namespace RunResults;

namespace {

Loads press(std::initializer_list<std::pair<std::int64_t, double>> points) {
    Loads out;
    for (const auto& [ms, kn] : points)
        out.push_back({ms, kn, std::nullopt, std::nullopt});
    return out;
}

Loads frame(std::initializer_list<std::tuple<std::int64_t, double, double>> points) {
    Loads out;
    for (const auto& [ms, kn, mm] : points)
        out.push_back({ms, kn, std::nullopt, mm});
    return out;
}

} // namespace

TEST(RunResults, MaximumTimeAndRateOfALoadCurve) {
    // Ties at the maximum: the first of them counts, so the time is 1.234 s, not 2 s.
    const Loads tie = press({{0, 10}, {1234, 50}, {2000, 50}, {3000, 40}});
    EXPECT_EQ(maxIndex(tie), 1u);
    EXPECT_DOUBLE_EQ(*maxKn(tie), 50);
    EXPECT_DOUBLE_EQ(*timeToMaxS(tie), 1.234);
    EXPECT_DOUBLE_EQ(*rateKnS(tie), 40 / 1.234);

    // One sample: its own maximum, reached after no time, so no rate.
    const Loads one = press({{0, 7.5}});
    EXPECT_DOUBLE_EQ(*maxKn(one), 7.5);
    EXPECT_DOUBLE_EQ(*timeToMaxS(one), 0);
    EXPECT_FALSE(rateKnS(one));

    // Equal time stamps: a rise without time has no rate.
    const Loads same = press({{0, 10}, {0, 30}});
    EXPECT_DOUBLE_EQ(*maxKn(same), 30);
    EXPECT_FALSE(rateKnS(same));

    // No samples at all.
    EXPECT_FALSE(maxKn({}));
    EXPECT_FALSE(timeToMaxS({}));
    EXPECT_FALSE(rateKnS({}));
}

TEST(RunResults, StrengthAndRateComplianceFollowTheMultiplier) {
    const auto en = TRateStandard::en12390();
    const auto astm = TRateStandard::astmC39();
    // A 150 mm cube: 450 kN over 22.5 is 20 MPa, 13.5 kN/s is 0.6 MPa/s.
    EXPECT_DOUBLE_EQ(*strengthMpa(450, 22.5), 20);
    EXPECT_DOUBLE_EQ(*stressRateMpaS(13.5, 22.5), 0.6);
    EXPECT_EQ(rateOk(0.6, en), true);
    EXPECT_EQ(rateOk(0.6, astm), false);
    EXPECT_EQ(rateOk(0.79, en), true);
    EXPECT_EQ(rateOk(0.81, en), false);
    EXPECT_EQ(rateOk(0.39, en), false);
    EXPECT_EQ(rateOk(0.26, astm), true);
    EXPECT_FALSE(rateOk(std::nullopt, en));

    // The kN form: a multiplier that rounds to 1 (half to even) gives no strength.
    for (double kn : {1.0, 1.4, 0.6}) {
        EXPECT_FALSE(strengthMpa(450, kn)) << kn;
        EXPECT_FALSE(stressRateMpaS(13.5, kn)) << kn;
    }
    EXPECT_DOUBLE_EQ(*strengthMpa(450, 1.5), 300);
    EXPECT_DOUBLE_EQ(*strengthMpa(450, 0.5), 900);
    EXPECT_FALSE(strengthMpa(450, 0.0));
    EXPECT_FALSE(strengthMpa(450, std::nullopt));
    EXPECT_FALSE(strengthMpa(std::nullopt, 22.5));

    TRunSamples run{1, {}, 1, press({{0, 0}, {10000, 135}, {11000, 100}})};
    const TRunResult cube = compute(run, 22.5, en);
    EXPECT_DOUBLE_EQ(*cube.strengthMpa, 6);
    EXPECT_DOUBLE_EQ(*cube.stressRateMpaS, 0.6);
    EXPECT_EQ(cube.rateOk, true);
    EXPECT_FALSE(cube.stabilityKn);
    const TRunResult kn = compute(run, 1, en);
    EXPECT_FALSE(kn.strengthMpa);
    EXPECT_FALSE(kn.rateOk);
    EXPECT_DOUBLE_EQ(*kn.maxKn, 135);
}

TEST(RunResults, MarshallValues) {
    const Loads m = frame({{0, 1, 0.0}, {1000, 12, 2.0}, {2000, 12, 3.0}, {3000, 8, 4.5}});
    EXPECT_DOUBLE_EQ(*flowMm(m), 2.0); // the deformation of the first maximum
    EXPECT_DOUBLE_EQ(*quotientKnMm(12, 2.0), 6);
    EXPECT_FALSE(quotientKnMm(12, 0.0));
    EXPECT_FALSE(quotientKnMm(12, std::nullopt));

    // A maximum without a deformation of its own (fewer deformations than loads).
    Loads unpaired = m;
    unpaired[1].mm.reset();
    EXPECT_FALSE(flowMm(unpaired));

    const TRunResult r = compute({2, {}, 2, m}, 22.5, TRateStandard::en12390());
    EXPECT_DOUBLE_EQ(*r.stabilityKn, 12);
    EXPECT_DOUBLE_EQ(*r.flowMm, 2.0);
    EXPECT_DOUBLE_EQ(*r.quotientKnMm, 6);
    EXPECT_FALSE(r.strengthMpa); // strength belongs to press runs only
}

TEST(RunResults, CbrInterpolatesTheLoadAtTheStandardDepths) {
    // 2.5 mm lies between 2.0 mm (10 kN) and 3.0 mm (14 kN): 12 kN.
    // 5.0 mm is jumped over between 4.0 mm (15 kN) and 6.0 mm (25 kN): 20 kN.
    const Loads c =
        frame({{0, 0, 0.0}, {1, 10, 2.0}, {2, 14, 3.0}, {3, 15, 4.0}, {4, 25, 6.0}, {5, 30, 5.5}});
    EXPECT_DOUBLE_EQ(*loadAtDepth(c, 2.5), 12);
    EXPECT_DOUBLE_EQ(*loadAtDepth(c, 5.0), 20);
    EXPECT_NEAR(*cbr25Pct(c), 12 / 13.2 * 100, 1e-12);
    EXPECT_DOUBLE_EQ(*cbr50Pct(c), 100);
    EXPECT_DOUBLE_EQ(*cbrPct(cbr25Pct(c), cbr50Pct(c)), 100);

    // Never reaches 2.5 mm: no CBR at all.
    const Loads shallow = frame({{0, 0, 0.0}, {1, 5, 1.0}, {2, 9, 2.4}});
    EXPECT_FALSE(cbr25Pct(shallow));
    EXPECT_FALSE(cbr50Pct(shallow));
    EXPECT_FALSE(cbrPct(cbr25Pct(shallow), cbr50Pct(shallow)));

    // Reaches 2.5 mm but not 5.0 mm: the CBR is the 2.5 mm value.
    const Loads half = frame({{0, 0, 0.0}, {1, 13.2, 2.5}, {2, 14, 3.0}});
    EXPECT_DOUBLE_EQ(*cbr25Pct(half), 100);
    EXPECT_FALSE(cbr50Pct(half));
    EXPECT_DOUBLE_EQ(*cbrPct(cbr25Pct(half), cbr50Pct(half)), 100);

    // Already past the depth at the first reading: that reading's load.
    EXPECT_DOUBLE_EQ(*loadAtDepth(frame({{0, 3, 2.6}, {1, 4, 2.7}}), 2.5), 3);
}

TEST(RunResults, SummaryOfASeries) {
    const TSummary s = TSummary::of({10.0, std::nullopt, 20.0, 30.0});
    EXPECT_EQ(s.n, 3);
    EXPECT_DOUBLE_EQ(*s.mean, 20);
    EXPECT_DOUBLE_EQ(*s.sd, 10); // n - 1: sqrt((100 + 0 + 100) / 2)
    EXPECT_DOUBLE_EQ(*s.covPct, 50);
    EXPECT_DOUBLE_EQ(*s.min, 10);
    EXPECT_DOUBLE_EQ(*s.max, 30);

    const TSummary one = TSummary::of({42.0});
    EXPECT_EQ(one.n, 1);
    EXPECT_DOUBLE_EQ(*one.mean, 42);
    EXPECT_FALSE(one.sd);
    EXPECT_FALSE(one.covPct);
    EXPECT_DOUBLE_EQ(*one.min, 42);

    const TSummary none = TSummary::of({std::nullopt});
    EXPECT_EQ(none.n, 0);
    EXPECT_FALSE(none.mean);
    EXPECT_FALSE(none.max);
}

TEST(RunResults, StandardsByName) {
    EXPECT_EQ(TRateStandard::byName(" astm c39 ")->name(), "ASTM C39");
    EXPECT_EQ(TRateStandard::byName("EN 12390-3")->name(), "EN 12390-3");
    EXPECT_FALSE(TRateStandard::byName("DIN 1048"));
    EXPECT_FALSE(TRateStandard::byName(""));
}
