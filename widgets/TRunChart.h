#pragma once

#include <QList>
#include <QPen>
#include <QPointF>
#include <QString>

class QChartView;
class QDateTimeAxis;
class QLineSeries;

// The run chart of the grouping and review windows: white, flat, no legend,
// a time axis at the bottom and one value axis per curve, ranges taken from
// the points.
class TRunChart {
public:
    TRunChart(const QString& name, const QString& timeFormat);

    // A curve against a value axis of its own on the given side.
    QLineSeries* addCurve(const QPen& pen, Qt::Alignment side, const QString& axisTitle);
    // Draws the curves again; the points are (ms since the epoch, value).
    // Every axis takes its range from these points alone (a fixed range
    // when there are none). Returns the time of the earliest point, or -1
    // when there are none.
    qint64 setPoints(const QList<QList<QPointF>>& curves);

    QChartView* view() const { return m_view; }

    // The line under an empty chart when the run shown has no samples.
    static const QString kNoSamples;
    QDateTimeAxis* timeAxis() const { return m_time; }

private:
    QChartView* m_view;
    QDateTimeAxis* m_time;
    QList<QLineSeries*> m_curves;
};
