// A curve reduced to a plot's columns covers the same rows in every column
// as the curve through all its points.
#include "core/TCurveReducer.h"
#include "core/TCurveSpans.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using Maker = QList<QPointF> (*)(int n, std::mt19937& rng);

QList<QPointF> noisyRamp(int n, std::mt19937& rng) {
    std::normal_distribution<double> noise(0, 3);
    QList<QPointF> out;
    for (int i = 0; i < n; ++i)
        out.append({i * 300.0, 1000.0 * i / n + noise(rng) + (i % 997 == 0 ? 200 : 0)});
    return out;
}

QList<QPointF> randomWalk(int n, std::mt19937& rng) {
    std::normal_distribution<double> step(0, 5);
    QList<QPointF> out;
    double v = 500;
    for (int i = 0; i < n; ++i)
        out.append({i * 300.0, v += step(rng)});
    return out;
}

// Whole seconds, as samples are stored: three or four share each time.
QList<QPointF> wholeSeconds(int n, std::mt19937& rng) {
    std::uniform_real_distribution<double> v(0, 50);
    QList<QPointF> out;
    for (int i = 0; i < n; ++i)
        out.append({std::floor(i * 0.3) * 1000.0, v(rng)});
    return out;
}

QList<QPointF> smoothRamp(int n, std::mt19937&) {
    QList<QPointF> out;
    for (int i = 0; i < n; ++i)
        out.append({i * 300.0, 1200.0 * i / n});
    return out;
}

TEST(CurveReducer, ReducedCurveCoversTheSameRowsAsEveryPoint) {
    const struct {
        const char* shape;
        Maker make;
        int n;
    } cases[] = {{"noisy ramp", noisyRamp, 200000},
                 {"random walk", randomWalk, 50000},
                 {"whole seconds", wholeSeconds, 30000},
                 {"smooth ramp", smoothRamp, 100000},
                 {"fewer points than columns", noisyRamp, 300},
                 {"one point", randomWalk, 1}};
    for (const auto& c : cases) {
        std::mt19937 rng(7);
        const QList<QPointF> all = c.make(c.n, rng);
        const auto [lo, hi] =
            std::minmax_element(all.begin(), all.end(),
                                [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
        const TRowMap rows{lo->y() - 10, hi->y() + 10, 37.25, 313.5};
        for (const TColumnGrid grid :
             {TColumnGrid{all.first().x(), all.last().x() + 1, 78.9375, 495.14},
              TColumnGrid{all.first().x(), all.last().x() + 1, 0, 7013.5}}) {
            const QList<QPointF> reduced = TCurveReducer::reduce(all, grid);
            EXPECT_LE(reduced.size(), 4 * grid.columns()) << c.shape;
            const auto full = curveSpans(all, grid, rows);
            const auto fewer = curveSpans(reduced, grid, rows);
            ASSERT_EQ(full.size(), fewer.size()) << c.shape;
            for (size_t i = 0; i < full.size(); ++i) {
                ASSERT_EQ(full[i].column, fewer[i].column) << c.shape;
                ASSERT_EQ(full[i].top, fewer[i].top) << c.shape << " column " << full[i].column;
                ASSERT_EQ(full[i].bottom, fewer[i].bottom) << c.shape;
            }
        }
    }
}

TEST(CurveReducer, TheOrderThePointsComeInDoesNotMatter) {
    std::mt19937 rng(3);
    const QList<QPointF> all = wholeSeconds(20000, rng);
    const TColumnGrid grid{all.first().x(), all.last().x(), 60.5, 600};
    std::vector<int> order(size_t(all.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    TCurveReducer inOrder(grid), shuffled(grid);
    for (int i : order)
        inOrder.add(all[i].x(), all[i].y(), i);
    std::shuffle(order.begin(), order.end(), rng);
    for (int i : order)
        shuffled.add(all[i].x(), all[i].y(), i);
    EXPECT_EQ(inOrder.points(), shuffled.points());
    EXPECT_EQ(inOrder.points(), TCurveReducer::reduce(all, grid));
}

TEST(CurveSpans, ALineBetweenTwoPointsIsUnbroken) {
    // A jump across many columns lights every column and row on the way.
    const TColumnGrid grid{0, 100, 0, 100};
    const TRowMap rows{0, 100, 0, 100};
    const auto spans = curveSpans({{0, 0}, {10.5, 100}}, grid, rows);
    ASSERT_EQ(spans.size(), 11u);
    EXPECT_EQ(pixelRows(spans.front()).last, 99);
    int above = 100; // the highest row of the column before
    for (const TColumnSpan& s : spans) {
        const TPixelRows r = pixelRows(s);
        EXPECT_GE(r.last, above - 1) << "column " << s.column; // touches the column before
        EXPECT_LE(r.first, r.last);
        above = r.first;
    }
    EXPECT_EQ(above, 0);
}

} // namespace
