#pragma once

#include "core/TColumnGrid.h"

#include <QList>
#include <QPointF>

#include <cstdint>
#include <vector>

// A curve reduced to what a plot of given columns can show: for every column
// its first and last point and its lowest and highest one. A line through
// these covers in each column the same rows as the line through every point
// (TCurveSpans), so the reduced curve draws the same picture while holding at
// most four points a column, however long the run.
//
// Points come in any order, each with a number that orders points of equal
// time (a sample's id); ties of the lowest or highest value go to the
// earlier point. The same points give the same reduction in any order.
class TCurveReducer {
public:
    explicit TCurveReducer(const TColumnGrid& grid);

    void add(double x, double y, std::int64_t seq);
    std::int64_t added() const { return m_added; }
    // The kept points in ascending order of time.
    QList<QPointF> points() const;

    // The reduction of points already in ascending order of time; ties keep
    // their order.
    static QList<QPointF> reduce(const QList<QPointF>& sorted, const TColumnGrid& grid);

private:
    struct Pick {
        std::int64_t seq = 0;
        QPointF at;
    };
    struct Slot {
        bool used = false;
        Pick first, last, low, high;
    };
    static bool before(const Pick& a, const Pick& b) {
        return a.at.x() < b.at.x() || (a.at.x() == b.at.x() && a.seq < b.seq);
    }

    TColumnGrid m_grid;
    int m_base;
    std::vector<Slot> m_slots;
    std::int64_t m_added = 0;
};
