#pragma once

#include "acquisition/TLiveView.h"

#include <QColor>

#include <utility>

class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;
class QWidget;

// The two live charts with their sliding 15-minute time window: once a sample
// is later than the time axis' end, every sample moves the window on and
// removes the oldest point of its series, so the charts hold a bounded number
// of points however long acquisition runs.
class TLiveCharts {
public:
    explicit TLiveCharts(const TClock& clock);

    QChartView* chartPLQ;
    QChartView* chartCBR;
    QLineSeries* Series3; // press load
    QLineSeries* Series4; // press speed
    QLineSeries* Series1; // Marshall/CBR load
    QLineSeries* Series2; // Marshall/CBR deformation

    // Both time axes span [now, now + 15 minutes].
    void InitTimeAxes();
    void AddPressPoints(double Value, double Speed);
    void AddCbrPoints(double Value, double Deformation);

    QDateTimeAxis* pressTimeAxis() const { return m_plqTime; }
    QDateTimeAxis* cbrTimeAxis() const { return m_cbrTime; }

    static constexpr qint64 kWindowMs = 15 * 60 * 1000;
    // The speed axis never spans less than this, in kN/s.
    static constexpr std::pair<double, double> kMinSpeedSpan{-1.0, 5.0};
    QValueAxis* pressSpeedAxis() const { return m_plqSpeed; }

private:
    void buildPress();
    void buildCbr();
    // The window ends at now; its range is always set as a whole.
    static void moveWindow(QDateTimeAxis* axis, const QDateTime& now);
    void fitSpeedAxis();

    // The time axis follows time that does not step when the computer's
    // clock is set, so its points stay in order and the window keeps sliding.
    TSteadyClock m_clock;
    QDateTimeAxis* m_plqTime = nullptr;
    QDateTimeAxis* m_cbrTime = nullptr;
    QValueAxis* m_plqSpeed = nullptr;
    std::pair<double, double> m_speedSpan = kMinSpeedSpan;
    static inline const QColor kSpeedColour{0, 90, 200};
};
