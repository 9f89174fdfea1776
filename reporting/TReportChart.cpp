#include "reporting/TReportChart.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kLegendWidth = 270;
constexpr double kAxisLeft = 150;
constexpr double kAxisBottom = 110;
constexpr double kLegendLine = 34;

QPen curvePen(std::size_t i) {
    static const QColor colours[] = {Qt::black,           QColor(200, 30, 30), QColor(30, 90, 200),
                                     QColor(20, 140, 60), QColor(220, 130, 0), QColor(130, 40, 160),
                                     QColor(0, 150, 160), QColor(120, 80, 30), Qt::darkGray,
                                     QColor(210, 60, 150)};
    static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine};
    constexpr std::size_t n = std::size(colours);
    QPen pen(colours[i % n], 4, styles[(i / n) % std::size(styles)]);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

} // namespace

TReportChart::TReportChart(QString xTitle, QString yTitle, QFont font, QLocale locale)
    : m_xTitle(std::move(xTitle)), m_yTitle(std::move(yTitle)), m_font(std::move(font)),
      m_locale(std::move(locale)) {}

double TReportChart::niceStep(double span, int count) {
    if (!(span > 0))
        return 1;
    const double raw = span / count;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (raw <= m * mag)
            return m * mag;
    return 10 * mag;
}

QRectF TReportChart::bounds() const {
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    bool any = false;
    for (const Curve& c : m_curves)
        for (const QPointF& pt : c.points) {
            x1 = any ? std::max(x1, pt.x()) : std::max(pt.x(), 0.0);
            y1 = any ? std::max(y1, pt.y()) : std::max(pt.y(), 0.0);
            x0 = std::min(x0, pt.x());
            y0 = std::min(y0, pt.y());
            any = true;
        }
    const double xs = niceStep(x1 - x0, 8), ys = niceStep(y1 - y0, 6);
    x0 = std::floor(x0 / xs) * xs;
    y0 = std::floor(y0 / ys) * ys;
    x1 = std::max(std::ceil(x1 / xs) * xs, x0 + xs);
    y1 = std::max(std::ceil(y1 / ys) * ys, y0 + ys);
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

void TReportChart::paint(QPainter& p, const QRectF& area) const {
    const QRectF plot(area.left() + kAxisLeft, area.top() + 20,
                      area.width() - kAxisLeft - kLegendWidth - 20,
                      area.height() - kAxisBottom - 20);
    const QRectF b = bounds();
    paintAxes(p, plot, b);
    paintCurves(p, plot, b);
    paintLegend(p, QRectF(plot.right() + 20, plot.top(), kLegendWidth, plot.height()));
}

void TReportChart::paintAxes(QPainter& p, const QRectF& plot, const QRectF& b) const {
    p.setFont(m_font);
    const double xs = niceStep(b.width(), 8), ys = niceStep(b.height(), 6);
    const auto decimals = [](double step) {
        return step >= 1 ? 0 : int(std::ceil(-std::log10(step)));
    };
    for (double x = b.left(); x <= b.right() + xs / 2; x += xs) {
        const double px = plot.left() + (x - b.left()) / b.width() * plot.width();
        p.setPen(QPen(QColor(220, 220, 220), 1));
        p.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        p.setPen(Qt::black);
        p.drawText(QRectF(px - 100, plot.bottom() + 5, 200, 40), Qt::AlignHCenter | Qt::AlignTop,
                   m_locale.toString(x, 'f', decimals(xs)));
    }
    for (double y = b.top(); y <= b.bottom() + ys / 2; y += ys) {
        const double py = plot.bottom() - (y - b.top()) / b.height() * plot.height();
        p.setPen(QPen(QColor(220, 220, 220), 1));
        p.drawLine(QPointF(plot.left(), py), QPointF(plot.right(), py));
        p.setPen(Qt::black);
        p.drawText(QRectF(plot.left() - 145, py - 20, 135, 40), Qt::AlignRight | Qt::AlignVCenter,
                   m_locale.toString(y, 'f', decimals(ys)));
    }
    p.setPen(QPen(Qt::black, 3));
    p.drawRect(plot);
    p.drawText(QRectF(plot.left(), plot.bottom() + 50, plot.width(), 45), Qt::AlignCenter,
               m_xTitle);
    p.save();
    p.translate(plot.left() - 130, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2, -45, plot.height(), 40), Qt::AlignCenter, m_yTitle);
    p.restore();
}

void TReportChart::paintCurves(QPainter& p, const QRectF& plot, const QRectF& b) const {
    p.save();
    p.setClipRect(plot);
    for (std::size_t i = 0; i < m_curves.size(); ++i) {
        const auto& pts = m_curves[i].points;
        if (pts.empty())
            continue;
        QPainterPath path;
        for (std::size_t k = 0; k < pts.size(); ++k) {
            const QPointF at(plot.left() + (pts[k].x() - b.left()) / b.width() * plot.width(),
                             plot.bottom() - (pts[k].y() - b.top()) / b.height() * plot.height());
            k == 0 ? path.moveTo(at) : path.lineTo(at);
        }
        p.setPen(curvePen(i));
        p.drawPath(path);
    }
    p.restore();
}

void TReportChart::paintLegend(QPainter& p, const QRectF& area) const {
    // As many columns as the runs need, so that every run number is shown.
    const int perColumn = std::max(1, int(area.height() / kLegendLine));
    const int columns = std::max(1, int((m_curves.size() + perColumn - 1) / perColumn));
    const double width = area.width() / columns;
    const double line = std::min(60.0, width * 0.4);
    p.setFont(m_font);
    for (std::size_t i = 0; i < m_curves.size(); ++i) {
        const double x = area.left() + double(i / perColumn) * width;
        const double y = area.top() + double(i % perColumn) * kLegendLine;
        p.setPen(curvePen(i));
        p.drawLine(QPointF(x, y + kLegendLine / 2), QPointF(x + line, y + kLegendLine / 2));
        p.setPen(Qt::black);
        p.drawText(QRectF(x + line + 8, y, width - line - 8, kLegendLine),
                   Qt::AlignLeft | Qt::AlignVCenter, m_curves[i].label);
    }
}
