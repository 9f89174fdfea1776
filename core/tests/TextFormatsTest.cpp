#include "core/TextFormats.h"

#include "testsupport/GTestQt.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

// The C library's locale as the toolkit leaves it: taken from the system
// (LC_ALL of the test's run, bg_BG.UTF-8 or C.UTF-8).
class SystemCLocale : public ::testing::Test {
protected:
    void SetUp() override { std::setlocale(LC_ALL, ""); }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
    static bool decimalComma() { return std::string(std::localeconv()->decimal_point) == ","; }
};

} // namespace

TEST_F(SystemCLocale, ControllerRepliesAndSettingsReadUnderTheSystemLocale) {
    const TFormats sys; // the system's formats, as the program makes them
    const bool bg = sys.decimalSeparator() == QChar(',');
    // Under bg_BG the C library itself now reads a decimal comma.
    EXPECT_EQ(decimalComma(), bg);
    // A press reply is point-form whatever the locale.
    for (const TFormats& f :
         {sys, TFormats(QLocale::c()), TFormats(QLocale(QLocale::Bulgarian, QLocale::Bulgaria))}) {
        EXPECT_EQ(f.controllerNumber("044.9"), 44.9);
        EXPECT_EQ(f.controllerNumber("000.0"), 0.0);
        EXPECT_EQ(f.controllerNumber("-01.5"), -1.5);
        EXPECT_EQ(f.controllerNumber("1.25e2"), 125.0);
        EXPECT_EQ(f.controllerNumber("+3.5"), 3.5);
        EXPECT_FALSE(f.controllerNumber("4a.9"));
    }
    // The settings file is read in the system's format.
    if (bg) {
        EXPECT_EQ(sys.toDouble("52,2"), 52.2);
        EXPECT_FALSE(sys.toDouble("52.2"));
    } else {
        EXPECT_EQ(sys.toDouble("52.2"), 52.2);
        EXPECT_FALSE(sys.toDouble("52,2"));
    }
    EXPECT_EQ(sys.toDouble("1e-3"), 0.001);
    // Statement literals carry a point under every locale.
    EXPECT_EQ(TFormats::sqlFloat(12.34), "12.34");
    EXPECT_EQ(TFormats::sqlFloat(0.000003), "3E-6");
    EXPECT_EQ(TFormats::sqlFloat(123456789012345.6), "123456789012346");
    EXPECT_EQ(TFormats::sqlFloat(-1.5e20), "-1.5E20");
    EXPECT_EQ(TFormats::sqlFloat(52.2 / 26.2), "1.99236641221374");
    EXPECT_EQ(sys.generalText(12.5), bg ? "12,5" : "12.5");
}

TEST(TFormats, NumbersFollowTheLocaleSeparator) {
    const TFormats c(QLocale::c());
    EXPECT_EQ(c.toDouble("52.2"), 52.2);
    EXPECT_EQ(c.toDouble(" -1.5e2 "), -150.0);
    EXPECT_EQ(c.toDouble("60"), 60.0);
    EXPECT_EQ(c.toDouble(".5"), 0.5);
    EXPECT_FALSE(c.toDouble("52,2"));
    EXPECT_FALSE(c.toDouble("abc"));
    EXPECT_FALSE(c.toDouble(""));
    EXPECT_FALSE(c.toDouble("1.2.3"));
    EXPECT_FALSE(c.toDouble("1e400"));
    EXPECT_FALSE(c.toDouble("inf"));

    const TFormats bg(QLocale(QLocale::Bulgarian, QLocale::Bulgaria));
    EXPECT_EQ(bg.decimalSeparator(), QChar(','));
    EXPECT_EQ(bg.toDouble("52,2"), 52.2);
    EXPECT_FALSE(bg.toDouble("52.2"));
    // A controller writes a point whatever the locale says.
    EXPECT_EQ(bg.controllerNumber("12.34"), 12.34);
    EXPECT_EQ(bg.controllerNumber(" 1,5 "), 1.5);
    EXPECT_FALSE(bg.controllerNumber("ab.cd"));
    EXPECT_EQ(bg.format00(1.994), "1,99");
    EXPECT_EQ(c.format00(-0.001), "0.00");
    EXPECT_EQ(c.format00(181.4), "181.40");
}

TEST(TFormats, StatementLiteralsAreFixed) {
    EXPECT_EQ(TFormats::sqlFloat(0.000003), "3E-6");
    EXPECT_EQ(TFormats::sqlFloat(0.0001), "0.0001");
    EXPECT_EQ(TFormats::sqlFloat(0.00005), "5E-5");
    EXPECT_EQ(TFormats::sqlFloat(12.34), "12.34");
    EXPECT_EQ(TFormats::sqlFloat(1300), "1300");
    EXPECT_EQ(TFormats::sqlFloat(0), "0");
    EXPECT_EQ(TFormats::sqlFloat(-2.5), "-2.5");
    EXPECT_EQ(TFormats::sqlFloat(52.2 / 26.2), "1.99236641221374");
    EXPECT_EQ(TFormats::sqlFloat(1e15), "1E15");
    const QDateTime t(QDate(2008, 3, 14), QTime(10, 21, 7, 999));
    EXPECT_EQ(TFormats::sqlTimestamp(t), "2008-03-14 10:21:07");
    EXPECT_EQ(TFormats::sqlDate(t.date()), "2008-03-14");
    EXPECT_EQ(TFormats(QLocale(QLocale::Bulgarian)).generalText(12.5), "12,5");
}

TEST(TFormats, TimestampTextLeavesMidnightAsADate) {
    const TFormats bg(QLocale(QLocale::Bulgarian, QLocale::Bulgaria));
    EXPECT_FALSE(bg.longTimeFormat().contains('t'));
    const QDateTime t(QDate(2008, 3, 14), QTime(10, 21, 7));
    EXPECT_EQ(bg.dateTimeText(t), bg.locale().toString(t.date(), QLocale::ShortFormat) + " " +
                                      bg.locale().toString(t.time(), bg.longTimeFormat()));
    EXPECT_EQ(bg.dateTimeText(QDateTime(t.date(), QTime(0, 0, 0))),
              bg.locale().toString(t.date(), QLocale::ShortFormat));
    const TFormats c(QLocale::c());
    EXPECT_EQ(c.longTimeFormat(), "HH:mm:ss");
    EXPECT_EQ(c.dateTimeText(QDateTime(t.date(), QTime(0, 0, 1))).right(8), "00:00:01");
    const TFormats us(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.longTimeFormat(), "h:mm:ss AP");
}
