#include "widgets/TCurvesItem.h"

#include "core/TCurveSpans.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QPainter>
#include <QValueAxis>

#include <cmath>

TCurvesItem::TCurvesItem(QChart* chart, QDateTimeAxis* time)
    : QGraphicsItem(chart), m_chart(chart), m_time(time) {
    // Above the plot's grid lines, below nothing that overlaps the plot.
    setZValue(100);
}

int TCurvesItem::addCurve(const QPen& pen, QValueAxis* axis, Provider provider) {
    m_curves.append({pen, axis, {}, false, std::move(provider)});
    return int(m_curves.size()) - 1;
}

void TCurvesItem::setPoints(int curve, const QList<QPointF>& points, bool reduced) {
    m_curves[curve].points = points;
    m_curves[curve].reduced = reduced;
    update();
}

bool TCurvesItem::anyReduced() const {
    for (const Curve& c : m_curves)
        if (c.reduced)
            return true;
    return false;
}

TColumnGrid TCurvesItem::gridFor(const QTransform& itemToDevice) const {
    const QRectF plot = itemToDevice.mapRect(m_chart->plotArea());
    return {double(m_time->min().toMSecsSinceEpoch()), double(m_time->max().toMSecsSinceEpoch()),
            plot.left(), plot.width()};
}

QRectF TCurvesItem::boundingRect() const {
    return m_bounds;
}

void TCurvesItem::plotAreaChanged() {
    prepareGeometryChange();
    m_bounds = m_chart->plotArea().adjusted(-2, -2, 2, 2);
}

void TCurvesItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    const QTransform toDevice = painter->deviceTransform();
    TColumnGrid g = gridFor(toDevice);
    if (!g.valid())
        return;
    // The grid the curves were prepared for, when this is it: computed
    // another way it may differ in the last bits, and the columns must be
    // the very ones the curves were reduced for.
    if (m_grid.near(g))
        g = m_grid;
    else if (anyReduced() && wantsGrid)
        wantsGrid(g);
    const QRectF plot = toDevice.mapRect(m_chart->plotArea());
    const double scale = std::sqrt(std::abs(toDevice.determinant()));
    painter->save();
    painter->resetTransform();
    painter->setRenderHint(QPainter::Antialiasing, false);
    for (const Curve& c : m_curves)
        paintCurve(*painter, c, g, plot, scale);
    painter->restore();
}

void TCurvesItem::paintCurve(QPainter& p, const Curve& c, const TColumnGrid& g, const QRectF& plot,
                             double scale) const {
    if (c.pen.style() == Qt::NoPen || !c.axis)
        return;
    const QList<QPointF> points = c.provider ? c.provider(g) : c.points;
    if (points.isEmpty())
        return;
    const double w = std::max(1.0, (c.pen.widthF() > 0 ? c.pen.widthF() : 1.0) * scale);
    // The line is clipped to the plot as the chart clips its series.
    p.setClipRect(plot.adjusted(-w / 2, -w / 2, w / 2, w / 2));
    const TRowMap rows{c.axis->min(), c.axis->max(), plot.top(), plot.height()};
    // Dashes along the time axis, in the pen's proportions.
    double on = 0, period = 0;
    if (c.pen.style() == Qt::DashLine) {
        on = 4 * w;
        period = 6 * w;
    } else if (c.pen.style() == Qt::DotLine) {
        on = w;
        period = 3 * w;
    }
    const QColor colour = c.pen.color();
    for (const TColumnSpan& s : curveSpans(points, g, rows)) {
        if (period > 0 && std::fmod(s.column + 0.5 - g.left, period) >= on)
            continue;
        if (w <= 1.0) {
            const TPixelRows r = pixelRows(s);
            p.fillRect(QRect(s.column, r.first, 1, r.last - r.first + 1), colour);
        } else {
            p.fillRect(QRectF(s.column + 0.5 - w / 2, s.top - w / 2, w, s.bottom - s.top + w),
                       colour);
        }
    }
}
