// What the live display shows: speeds at rest, the speed curve against its
// own axis, round ticks, numbers in the operator's format, captions.
#include "app/TLiveCharts.h"
#include "app/TSpeedAtRest.h"
#include "app/TfrmMain.h"
#include "db/dmmainU.h"
#include "testsupport/Child.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestFiles.h"

#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QValueAxis>

#include <gtest/gtest.h>

namespace {

struct StepClock : TClock {
    mutable QDateTime t{QDate(2026, 12, 9), QTime(8, 0, 0)};
    QDateTime now() const override { return t; }
};

QString reading(double v) {
    return QStringLiteral("PL %1\r\n").arg(v, 5, 'f', 1, QLatin1Char('0'));
}

TEST(LiveDisplay, SpeedIsZeroAtRestBetweenRunsAndShownWhenTheLoadMoves) {
    QTemporaryDir dir;
    FakeMessages messages;
    StepClock clock;
    TdmMain dm;
    TfrmMain w(AppPaths::in(dir.path()), dm, clock);
    const TFormats f;
    w.InitTimeAxes();
    TAcqState s;
    s.PressRunId = -1;
    // Noise and drift of an unloaded press: one digit either way.
    for (double r : {0.0, 0.1, 0.0, 0.1, 0.2, 0.1, 0.0, 0.1, 0.2, 0.1, 0.2, 0.1}) {
        clock.t = clock.t.addMSecs(300);
        s.Reply1 = reading(r);
        w.ProcessPressSample(s);
        ASSERT_EQ(child<QLabel>(w, "Label12")->text(), f.format00(0)) << r;
        ASSERT_EQ(child<QLabel>(w, "Label18")->text(), f.format00(0)) << r;
        ASSERT_FALSE(w.charts().Series4->points().isEmpty())
            << readAll(dir.path() + "/prjNUV.log").toStdString();
        ASSERT_EQ(w.charts().Series4->points().last().y(), 0.0);
    }
    // A load that moves (below the start threshold: no run) shows its speed.
    for (double r : {0.5, 1.0, 1.5, 2.0}) {
        clock.t = clock.t.addMSecs(300);
        s.Reply1 = reading(r);
        w.ProcessPressSample(s);
    }
    EXPECT_GT(f.controllerNumber(child<QLabel>(w, "Label12")->text()).value_or(0), 1.0)
        << child<QLabel>(w, "Label12")->text().toStdString();
    EXPECT_GT(w.charts().Series4->points().last().y(), 1.0);
    EXPECT_TRUE(messages.errors.isEmpty());

    EXPECT_TRUE(TSpeedAtRest::atRest({}, f));
    EXPECT_TRUE(TSpeedAtRest::atRest({f.format00(10.0), f.format00(10.5)}, f));
    EXPECT_FALSE(TSpeedAtRest::atRest({f.format00(10.0), f.format00(10.51)}, f));
    EXPECT_FALSE(TSpeedAtRest::atRest({f.format00(1.0), "x"}, f));
}

TEST(LiveDisplay, SpeedCurveIsDrawnAgainstAnAxisThatHoldsItsSpeeds) {
    StepClock clock;
    TLiveCharts charts(clock);
    charts.InitTimeAxes();
    EXPECT_NE(charts.Series4->pen().style(), Qt::NoPen);
    EXPECT_NE(charts.Series4->color(), QColor(Qt::white));
    QValueAxis* axis = charts.pressSpeedAxis();
    // At rest the axis keeps its smallest span around 0.
    charts.AddPressPoints(0, 0);
    EXPECT_LE(axis->min(), 0.0);
    EXPECT_GE(axis->max(), 0.0);
    EXPECT_LT(axis->max() - axis->min(), 20.0);
    // A run's speeds all lie on the axis and fill most of it.
    for (double speed : {2.0, 15.0, 31.5, 30.0, -4.0}) {
        clock.t = clock.t.addMSecs(300);
        charts.AddPressPoints(100, speed);
        EXPECT_LE(axis->min(), speed);
        EXPECT_GE(axis->max(), speed);
    }
    EXPECT_LT(axis->max(), 31.5 * 1.5);
    // The plunge at the break does not flatten them.
    charts.AddPressPoints(10, -1200.0);
    EXPECT_GE(axis->min(), -31.5 * 1.5);
    EXPECT_GE(axis->max(), 31.5);
}

TEST(LiveDisplay, NumbersFollowTheOperatorsFormatAndTicksAreRound) {
    QTemporaryDir dir;
    FakeMessages messages;
    TdmMain dm;
    TfrmMain w(AppPaths::in(dir.path()), dm);
    const QChar sep = QLocale::system().decimalPoint().at(0);
    for (QLabel* l :
         {child<QLabel>(w, "Label11"), child<QLabel>(w, "Label12"), child<QLabel>(w, "Label18"),
          child<QLabel>(w, "Label15"), child<QLabel>(w, "Label16")})
        EXPECT_EQ(l->text(), QString("0") + sep + "0");
    for (QChartView* v : {w.charts().chartPLQ, w.charts().chartCBR}) {
        EXPECT_TRUE(v->chart()->localizeNumbers());
        EXPECT_EQ(v->chart()->locale().decimalPoint(), QString(sep));
        EXPECT_TRUE(v->chart()->locale().numberOptions() & QLocale::OmitGroupSeparator);
        for (QAbstractAxis* a : v->chart()->axes(Qt::Vertical)) {
            auto* axis = qobject_cast<QValueAxis*>(a);
            ASSERT_TRUE(axis);
            if (axis == w.charts().pressSpeedAxis())
                continue;
            EXPECT_EQ(axis->tickType(), QValueAxis::TicksDynamic);
            EXPECT_EQ(axis->tickAnchor(), 0.0);
            EXPECT_EQ(axis->labelFormat(), "%.0f");
        }
    }
    // The Marshall/CBR readouts carry their captions with units.
    auto* c22 = w.findChild<QLabel*>("Label22");
    auto* c23 = w.findChild<QLabel*>("Label23");
    ASSERT_TRUE(c22 && c23);
    EXPECT_EQ(c22->text(), "Натоварване N");
    EXPECT_EQ(c23->text(), "Деформация mm");
    EXPECT_EQ(child<QLabel>(w, "Label15")->accessibleName(), c22->text());
}

} // namespace
