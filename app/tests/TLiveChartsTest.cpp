#include "app/TLiveCharts.h"
#include "app/TfrmMain.h"
#include "db/dmmainU.h"
#include "testsupport/Child.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestDatabase.h"

#include <QDateTimeAxis>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ManualClock : TClock {
    QDateTime t{QDate(2026, 12, 9), QTime(8, 0, 0)};
    QDateTime now() const override { return t; }
};

constexpr qint64 kMin = 60 * 1000;

TEST(TLiveCharts, PressWindowSlidesOnlyPastItsEnd) {
    ManualClock clock;
    TLiveCharts charts(clock);
    const QDateTime shown = clock.t;
    charts.InitTimeAxes();
    EXPECT_EQ(charts.pressTimeAxis()->min(), shown);
    EXPECT_EQ(charts.pressTimeAxis()->max(), shown.addMSecs(15 * kMin));

    // Within the first 15 minutes every point stays.
    for (int i = 0; i < 900; ++i) {
        clock.t = shown.addMSecs(i * 1000);
        charts.AddPressPoints(i, 1);
    }
    EXPECT_EQ(charts.Series3->count(), 900);
    EXPECT_EQ(charts.Series4->count(), 900);
    // The first sample past the end deletes one point of each series and moves the window.
    clock.t = shown.addMSecs(15 * kMin + 500);
    charts.AddPressPoints(1, 2);
    EXPECT_EQ(charts.Series3->count(), 900);
    EXPECT_EQ(charts.Series3->at(0).y(), 1.0);
    EXPECT_EQ(charts.pressTimeAxis()->max(), clock.t);
    EXPECT_EQ(charts.pressTimeAxis()->min(), clock.t.addMSecs(-15 * kMin));
    // From then on the number of points stays the same.
    for (int i = 0; i < 100; ++i) {
        clock.t = clock.t.addMSecs(300);
        charts.AddPressPoints(5, 0);
    }
    EXPECT_EQ(charts.Series3->count(), 900);
    // Samples after a long gap move the window to end at their own time.
    clock.t = clock.t.addMSecs(60 * kMin);
    charts.AddPressPoints(7, 0);
    EXPECT_EQ(charts.pressTimeAxis()->min(), clock.t.addMSecs(-15 * kMin));
    EXPECT_EQ(charts.Series3->count(), 900);
}

TEST(TLiveCharts, CbrSeriesSlideOneAfterTheOther) {
    ManualClock clock;
    TLiveCharts charts(clock);
    charts.InitTimeAxes();
    charts.AddCbrPoints(10, 1);
    charts.AddCbrPoints(11, 2);
    clock.t = clock.t.addMSecs(16 * kMin);
    charts.AddCbrPoints(12, 3);
    EXPECT_EQ(charts.Series1->count(), 2);
    EXPECT_EQ(charts.Series2->count(), 2);
    EXPECT_EQ(charts.Series1->at(0).y(), 11.0);
    EXPECT_EQ(charts.Series2->at(1).y(), 3.0);
    EXPECT_EQ(charts.cbrTimeAxis()->max(), clock.t);
    EXPECT_EQ(charts.pressTimeAxis()->max(), clock.t.addMSecs(-kMin)); // the press chart waits
}

TEST(TfrmMainLive, ZeroingButtons) {
    QTemporaryDir dir;
    FakeMessages messages;
    TdmMain dm;
    TfrmMain w(AppPaths::in(dir.path()), dm);
    child<QLabel>(w, "Label11")->setText("12.50");
    child<QPushButton>(w, "Button1")->click(); // "Нулиране 2"
    EXPECT_EQ(w.ZeroOffset, -12.5);
    child<QLabel>(w, "Label11")->setText("0.00");
    child<QPushButton>(w, "Button1")
        ->click(); // pressed again with no load change: the readout stays at zero
    EXPECT_EQ(w.ZeroOffset, -12.5);
    child<QLabel>(w, "Label11")->setText("0.75");
    child<QPushButton>(w, "Button1")
        ->click(); // a drift shown with the offset in force is taken away as well
    EXPECT_EQ(w.ZeroOffset, -13.25);
    child<QPushButton>(w, "Button2")->click(); // "Нулиране 1"
    EXPECT_EQ(w.ZeroOffset, 0.0);
    child<QLabel>(w, "Label11")->setText("abc");
    child<QPushButton>(w, "Button1")->click();
    EXPECT_EQ(w.ZeroOffset, 0.0);
    EXPECT_EQ(messages.errors, QStringList{"'abc' is not a valid floating point value"});
    EXPECT_EQ(child<QPushButton>(w, "Button1")->text(), "Нулиране 2");
    EXPECT_EQ(child<QPushButton>(w, "Button2")->text(), "Нулиране 1");
}

} // namespace
