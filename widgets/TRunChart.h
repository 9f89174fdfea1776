#pragma once

#include "core/TColumnGrid.h"
#include "core/TCurveExtent.h"

#include <QList>
#include <QPen>
#include <QPointF>
#include <QString>

#include <functional>

class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QTimer;
class QTransform;
class TCurvesItem;

// The run chart of the grouping and review windows: white, flat, no legend,
// a time axis at the bottom and one value axis per curve, ranges taken from
// the points.
//
// A run with more samples than the plot has pixel columns is drawn from its
// curves reduced to those columns (TCurveReducer); they draw the picture of
// every sample. When the plot's columns change (the window is resized, the
// chart is printed) the curves are read again for the new columns through
// the source the window gives.
class TRunChart {
public:
    TRunChart(const QString& name, const QString& timeFormat);
    ~TRunChart();
    TRunChart(const TRunChart&) = delete;
    TRunChart& operator=(const TRunChart&) = delete;

    // A curve against a value axis of its own on the given side.
    QLineSeries* addCurve(const QPen& pen, Qt::Alignment side, const QString& axisTitle);
    // Draws the curves again from every point; the points are (ms since the
    // epoch, value) in ascending order of time. Every axis takes its range
    // from these points alone (a fixed range when there are none). Returns
    // the time of the earliest point, or -1 when there are none.
    qint64 setPoints(const QList<QList<QPointF>>& curves);

    // What a curve's points span, as the engine counts them without sending them.
    using Extent = TCurveExtent;
    // The axes as setPoints would set them for curves of these extents.
    qint64 setRanges(const QList<Extent>& curves);
    // The plot's pixel columns on the screen as laid out for the present
    // ranges; a plot not yet on the screen gets kNominalColumns of them.
    TColumnGrid screenGrid();
    static constexpr int kNominalColumns = 2048;
    // Draws curves reduced to `grid` (after setRanges for the same curves).
    void setReduced(const QList<QList<QPointF>>& curves, const TColumnGrid& grid);
    // Reads the curves of the run on show again, reduced to other columns.
    using Source = std::function<QList<QList<QPointF>>(const TColumnGrid&)>;
    void setSource(Source source);
    bool reduced() const;

    // Before the chart is drawn through `sceneToDevice` (a printed page):
    // reduced curves are read again for the columns they will be drawn in.
    static void prepare(QChart* chart, const QTransform& sceneToDevice);

    QChartView* view() const { return m_view; }
    TCurvesItem* curves() const { return m_item; }

    // The line under an empty chart when the run shown has no samples.
    static const QString kNoSamples;
    QDateTimeAxis* timeAxis() const { return m_time; }

private:
    void showPoints(const QList<QList<QPointF>>& curves, bool reduced);
    void readFor(const TColumnGrid& grid);
    void screenChanged();

    QChartView* m_view;
    QDateTimeAxis* m_time;
    QList<QLineSeries*> m_curves;
    TCurvesItem* m_item;
    QTimer* m_resized;
    Source m_source;
    // The curves as reduced for the screen, kept while they are drawn for a
    // page, so that the screen gets them back without reading them again.
    QList<QList<QPointF>> m_screenCurves;
    TColumnGrid m_screenGrid;
};
