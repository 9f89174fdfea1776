#pragma once

#include <QFont>
#include <QLocale>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <vector>

class QPainter;

// Several runs' curves on one pair of axes with a legend of run numbers,
// drawn with the painter alone so that it needs no display.
class TReportChart {
public:
    struct Curve {
        QString label;
        std::vector<QPointF> points;
    };
    TReportChart(QString xTitle, QString yTitle, QFont font, QLocale locale);

    void addCurve(Curve curve) { m_curves.push_back(std::move(curve)); }
    void paint(QPainter& p, const QRectF& area) const;

    // A round step for about `count` divisions of the span.
    static double niceStep(double span, int count);

private:
    QRectF bounds() const;
    void paintAxes(QPainter& p, const QRectF& plot, const QRectF& b) const;
    void paintCurves(QPainter& p, const QRectF& plot, const QRectF& b) const;
    void paintLegend(QPainter& p, const QRectF& area) const;

    QString m_xTitle;
    QString m_yTitle;
    QFont m_font;
    QLocale m_locale;
    std::vector<Curve> m_curves;
};
