// A long run's chart drawn from its curves reduced to the plot's columns is,
// pixel for pixel, the chart drawn from every sample: on the screen and on
// the printed page.
#include "core/TCurveReducer.h"
#include "review/TChartPrintPreview.h"
#include "widgets/TRunChart.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QLineSeries>
#include <QTest>

#include <gtest/gtest.h>

#include <random>

namespace {

struct Chart {
    TRunChart chart{QStringLiteral("DBChart1"), QStringLiteral("HH:mm:ss")};
    Chart() {
        chart.addCurve(QPen(Qt::black, 1), Qt::AlignLeft, QStringLiteral("kN"));
        chart.addCurve(QPen(Qt::red, 1, Qt::DashLine), Qt::AlignRight, QStringLiteral("mm"));
        chart.view()->resize(700, 460);
        chart.view()->show();
    }
};

// A frame run of 150,000 steps: a noisy load with dips, and its deformation.
QList<QList<QPointF>> run() {
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0, 1.5);
    const double t0 = double(QDateTime(QDate(2024, 3, 5), QTime(9, 0)).toMSecsSinceEpoch());
    QList<QPointF> load, depth;
    for (int i = 0; i < 150000; ++i) {
        const double t = t0 + double(i / 3) * 1000; // whole seconds, as stored
        load.append({t, 40 * std::sin(i / 9000.0) + i / 2000.0 + noise(rng) - (i % 7919 ? 0 : 30)});
        depth.append({t, 0.0001 * i + std::abs(noise(rng)) / 10});
    }
    return {load, depth};
}

QList<QList<QPointF>> reduce(const QList<QList<QPointF>>& curves, const TColumnGrid& grid) {
    return {TCurveReducer::reduce(curves[0], grid), TCurveReducer::reduce(curves[1], grid)};
}

int count(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == colour;
    return n;
}

TEST(RunChartPicture, ReducedCurvesDrawEverySamplesPicture) {
    const QList<QList<QPointF>> all = run();
    Chart full, reduced;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(full.chart.view()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(reduced.chart.view()));
    full.chart.setPoints(all);
    reduced.chart.setPoints(all); // the ranges, as the run's extents give them
    const TColumnGrid screen = reduced.chart.screenGrid();
    int reads = 0;
    reduced.chart.setSource([&](const TColumnGrid& g) {
        ++reads;
        return reduce(all, g);
    });
    reduced.chart.setReduced(reduce(all, screen), screen);
    const auto* load = static_cast<QLineSeries*>(reduced.chart.view()->chart()->series().at(0));
    EXPECT_LE(load->count(), 4 * screen.columns());
    EXPECT_GT(screen.columns(), 400);

    const QImage a = full.chart.view()->grab().toImage();
    const QImage b = reduced.chart.view()->grab().toImage();
    EXPECT_GT(count(a, qRgb(0, 0, 0)), 2000);
    EXPECT_GT(count(a, qRgb(255, 0, 0)), 200);
    EXPECT_TRUE(a == b) << "the screen's pictures differ";
    EXPECT_EQ(reads, 0);

    // An A4 page at 300 dpi, landscape: its own pixel columns, many more.
    TChartPrintPreview pa(full.chart.view()->chart()), pb(reduced.chart.view()->chart());
    const QImage pageA = pa.pageImage(QSize(3508, 2480));
    const QImage pageB = pb.pageImage(QSize(3508, 2480));
    EXPECT_EQ(reads, 1); // read again for the page
    EXPECT_GT(load->count(), 4 * screen.columns());
    EXPECT_GT(count(pageA, qRgb(0, 0, 0)), 20000);
    EXPECT_TRUE(pageA == pageB) << "the printed pages differ";
    // Back on the screen the chart gets the screen's curves without reading them.
    reduced.chart.view()->viewport()->repaint();
    QTest::qWait(300);
    EXPECT_EQ(reads, 1);
    EXPECT_TRUE(reduced.chart.view()->grab().toImage() == a);
}

} // namespace
