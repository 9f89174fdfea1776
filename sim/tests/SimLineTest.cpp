#include "sim/SimLine.h"

#include <gtest/gtest.h>

#include <clocale>

TEST(SimLine, SelectionAndReplyForm) {
    SimLine line({});
    EXPECT_FALSE(line.answer("p.v\r\n", 0).has_value()); // nobody selected
    EXPECT_EQ(line.answer("U255\r\n", 0), QByteArray("OK255\r\n"));
    const auto r = line.answer("p.v\r\n", 0);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->indexOf('\r'), 7); // carriage return at position 8
    EXPECT_EQ(r->left(2), QByteArray("PL"));
    EXPECT_FALSE(line.answer("U0\r\n", 0).has_value());
    EXPECT_FALSE(line.answer("p.v\r\n", 0).has_value());
}

// Under a decimal-comma locale (as a program that sets the C library's
// locale from the system runs) the controller still writes a point.
TEST(SimLine, FiveCharacterValues) {
    std::setlocale(LC_ALL, "");
    EXPECT_EQ(SimLine::fiveChars(0.0), QByteArray("0.000"));
    EXPECT_EQ(SimLine::fiveChars(12.345), QByteArray("12.35"));
    EXPECT_EQ(SimLine::fiveChars(650.12), QByteArray("650.1"));
    EXPECT_EQ(SimLine::fiveChars(-0.5), QByteArray("-0.50"));
    EXPECT_EQ(SimLine::fiveChars(7), QByteArray("7.000"));
}

TEST(SimLine, PressScenarioRampsToTheFailureLoad) {
    SimLine::Options o;
    o.scenario = SimLine::Scenario::Press;
    o.rateKnPerS = 10;
    o.peakKn = 100;
    o.pauseS = 5;
    SimLine line(o);
    const double perKn = 26.2 / 52.2;
    EXPECT_DOUBLE_EQ(line.pressReading(1), 0.0);
    EXPECT_NEAR(line.pressReading(10), 50 * perKn, 1e-9);
    EXPECT_NEAR(line.pressReading(14.999), 100 * perKn, 0.01);
    EXPECT_LT(line.pressReading(16), 10 * perKn);
    EXPECT_NEAR(line.pressReading(17 + 10), 50 * perKn, 1e-9); // the next test
}

TEST(SimLine, CbrDeformationFallsFrom25WhileLoaded) {
    SimLine::Options o;
    o.scenario = SimLine::Scenario::Cbr;
    o.pauseS = 2;
    o.cbrRampS = 10;
    SimLine line(o);
    EXPECT_DOUBLE_EQ(line.cbrDeformationReading(1), 25.0);
    EXPECT_GT(line.cbrLoadReading(7), 0.0);
    EXPECT_LT(line.cbrDeformationReading(12), 25.0);
    EXPECT_LT(line.cbrDeformationReading(12), line.cbrDeformationReading(7));
    EXPECT_EQ(line.cbrDeformationReading(15), line.cbrDeformationReading(16.9)); // no spring-back
}

TEST(SimLine, NoisyLineIsRepeatableAndMixesFaults) {
    SimLine::Options o;
    o.scenario = SimLine::Scenario::Noisy;
    o.seed = 42;
    SimLine a(o), b(o);
    a.answer("U255\r\n", 0);
    b.answer("U255\r\n", 0);
    int good = 0, bad = 0, missing = 0;
    for (int i = 0; i < 400; ++i) {
        const auto ra = a.answer("p.v\r\n", i * 0.3);
        const auto rb = b.answer("p.v\r\n", i * 0.3);
        ASSERT_EQ(ra, rb);
        if (!ra)
            ++missing;
        else if (ra->indexOf('\r') == 7 && ra->size() == 9)
            ++good;
        else
            ++bad;
    }
    EXPECT_GT(good, 200);
    EXPECT_GT(bad, 50);
    EXPECT_GT(missing, 5);
}
