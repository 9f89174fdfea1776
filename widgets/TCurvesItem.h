#pragma once

#include "core/TColumnGrid.h"

#include <QGraphicsItem>
#include <QList>
#include <QPen>
#include <QPointF>

#include <functional>

class QChart;
class QDateTimeAxis;
class QValueAxis;

// The run chart's curves, drawn column by column in device pixels: in each
// pixel column of the plot the rows that the line through the points covers
// there (TCurveSpans). A curve reduced to the columns it is drawn in
// (TCurveReducer) therefore draws the very picture of all its points. The
// chart's own line series carry the same points for the axes and stay hidden.
class TCurvesItem : public QGraphicsItem {
public:
    TCurvesItem(QChart* chart, QDateTimeAxis* time);

    // Gives a curve's points for the columns it is about to be drawn in.
    using Provider = std::function<QList<QPointF>(const TColumnGrid&)>;
    struct Curve {
        QPen pen;
        QValueAxis* axis = nullptr;
        QList<QPointF> points;
        bool reduced = false; // reduced to `grid`, else every point
        Provider provider;    // when set, the points come from here
    };
    int addCurve(const QPen& pen, QValueAxis* axis, Provider provider = nullptr);
    // Points in ascending order of time: every point, or reduced to `grid`.
    void setPoints(int curve, const QList<QPointF>& points, bool reduced);
    void setGrid(const TColumnGrid& grid) { m_grid = grid; }
    const TColumnGrid& grid() const { return m_grid; }
    const Curve& curve(int i) const { return m_curves[i]; }
    int curveCount() const { return int(m_curves.size()); }
    bool anyReduced() const;

    // The columns of the plot as `itemToDevice` places it.
    TColumnGrid gridFor(const QTransform& itemToDevice) const;

    // Asked when a reduced curve is to be drawn in other columns than it was
    // reduced for; the owner reads it again for them, outside the painting.
    std::function<void(const TColumnGrid&)> wantsGrid;
    // Reads reduced curves again for other columns at once (a printed page).
    std::function<void(const TColumnGrid&)> readFor;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override;
    void plotAreaChanged();

private:
    void paintCurve(QPainter& p, const Curve& c, const TColumnGrid& g, const QRectF& plot,
                    double scale) const;

    QChart* m_chart;
    QDateTimeAxis* m_time;
    QList<Curve> m_curves;
    TColumnGrid m_grid;
    QRectF m_bounds;
};
