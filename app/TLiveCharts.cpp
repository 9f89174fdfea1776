#include "app/TLiveCharts.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>

namespace {

QValueAxis* valueAxis(double min, double max, const QString& title, bool boldTitle) {
    auto* a = new QValueAxis;
    a->setRange(min, max);
    a->setTitleText(title);
    if (boldTitle) {
        QFont f = a->titleFont();
        f.setBold(true);
        a->setTitleFont(f);
    }
    return a;
}

QDateTimeAxis* timeAxis(const QString& title) {
    auto* a = new QDateTimeAxis;
    a->setFormat(QStringLiteral("mm:ss"));
    a->setTitleText(title);
    a->setTickCount(6);
    return a;
}

QLineSeries* series(const QString& name, const QColor& colour) {
    auto* s = new QLineSeries;
    s->setName(name);
    QPen pen(colour);
    pen.setWidth(1);
    s->setPen(pen);
    s->setPointsVisible(false);
    s->setPointLabelsVisible(false);
    return s;
}

// Round ticks at a fixed step from 0, whole numbers: "0 10 20 30 40 50"
// rather than "0 12 25 37 50" cut to fit.
void roundTicks(QValueAxis* axis, double step) {
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    axis->setTickInterval(step);
    axis->setLabelFormat(QStringLiteral("%.0f"));
}

// Axis labels in the operator's number format, like the readouts beside them.
void localize(QChart* chart) {
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    chart->setLocale(locale);
    chart->setLocalizeNumbers(true);
}

QChartView* view(QChart* chart, const QString& name) {
    auto* v = new QChartView(chart);
    v->setObjectName(name);
    v->setAccessibleName(chart->title());
    v->setRenderHint(QPainter::Antialiasing, false);
    chart->setBackgroundRoundness(0);
    return v;
}

} // namespace

TLiveCharts::TLiveCharts(const TClock& clock) : m_clock(clock) {
    buildPress();
    buildCbr();
}

void TLiveCharts::buildPress() {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Графика"));
    Series3 = series(QStringLiteral("Налягане"), QColor(255, 15, 15));
    // The speed is drawn, in a colour that shows on white, against its own
    // axis, which follows the speeds on the chart.
    Series4 = series(QStringLiteral("Скорост"), kSpeedColour);
    chart->addSeries(Series3);
    chart->addSeries(Series4);
    m_plqTime = timeAxis(QStringLiteral("t (min:sec)"));
    auto* left = valueAxis(-1, 1300, QStringLiteral("KN"), false);
    roundTicks(left, 200);
    m_plqSpeed =
        valueAxis(kMinSpeedSpan.first, kMinSpeedSpan.second, QStringLiteral("KN/s"), false);
    m_plqSpeed->setLabelFormat(QStringLiteral("%.1f"));
    m_plqSpeed->setLinePenColor(kSpeedColour);
    m_plqSpeed->setLabelsColor(kSpeedColour);
    auto* right = m_plqSpeed;
    chart->addAxis(m_plqTime, Qt::AlignBottom);
    chart->addAxis(left, Qt::AlignLeft);
    chart->addAxis(right, Qt::AlignRight);
    Series3->attachAxis(m_plqTime);
    Series3->attachAxis(left);
    Series4->attachAxis(m_plqTime);
    Series4->attachAxis(right);
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignRight);
    const auto loadMarkers = chart->legend()->markers(Series3);
    for (QLegendMarker* m : loadMarkers)
        m->setVisible(false);
    const auto speedMarkers = chart->legend()->markers(Series4);
    for (QLegendMarker* m : speedMarkers)
        m->setBrush(kSpeedColour);
    localize(chart);
    chartPLQ = view(chart, QStringLiteral("chartPLQ"));
}

void TLiveCharts::buildCbr() {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("MARSHALL-CBR"));
    Series1 = series(QStringLiteral("Series1"), QColor(Qt::red));
    Series2 = series(QStringLiteral("Series2"), QColor(Qt::green));
    chart->addSeries(Series1);
    chart->addSeries(Series2);
    m_cbrTime = timeAxis(QString());
    auto* left = valueAxis(0, 50, QStringLiteral("N"), true);
    roundTicks(left, 10);
    auto* right = valueAxis(0, 25, QStringLiteral("mm"), true);
    roundTicks(right, 5);
    chart->addAxis(m_cbrTime, Qt::AlignBottom);
    chart->addAxis(left, Qt::AlignLeft);
    chart->addAxis(right, Qt::AlignRight);
    Series1->attachAxis(m_cbrTime);
    Series1->attachAxis(left);
    Series2->attachAxis(m_cbrTime);
    Series2->attachAxis(right);
    chart->legend()->setVisible(false);
    localize(chart);
    chartCBR = view(chart, QStringLiteral("chartCBR"));
}

void TLiveCharts::InitTimeAxes() {
    for (QDateTimeAxis* axis : {m_plqTime, m_cbrTime}) {
        const QDateTime now = m_clock.now();
        axis->setMax(now.addMSecs(kWindowMs));
        axis->setMin(now);
    }
}

void TLiveCharts::moveWindow(QDateTimeAxis* axis, const QDateTime& now) {
    axis->setRange(now.addMSecs(-kWindowMs), now);
}

void TLiveCharts::AddPressPoints(double Value, double Speed) {
    Series3->append(double(m_clock.now().toMSecsSinceEpoch()), Value);
    Series4->append(double(m_clock.now().toMSecsSinceEpoch()), Speed);
    const QDateTime now = m_clock.now();
    if (now > m_plqTime->max()) {
        Series3->remove(0);
        Series4->remove(0);
        moveWindow(m_plqTime, now);
    }
    fitSpeedAxis();
}

// The speed axis spans the loading speeds on the chart with some room,
// never less than its smallest span, so a press at rest draws a flat line at
// 0 and a run's speeds fill the chart's height. The plunge when a specimen
// breaks (hundreds of kN/s downwards, one sample) is cut at minus the
// highest loading speed: it would flatten every loading speed otherwise.
void TLiveCharts::fitSpeedAxis() {
    double lo = kMinSpeedSpan.first, hi = kMinSpeedSpan.second;
    const auto points = Series4->points();
    for (const QPointF& p : points) {
        lo = std::min(lo, p.y());
        hi = std::max(hi, p.y());
    }
    lo = std::max(lo, -hi);
    const double room = (hi - lo) * 0.05;
    if (lo < kMinSpeedSpan.first)
        lo -= room;
    if (hi > kMinSpeedSpan.second)
        hi += room;
    if (lo != m_speedSpan.first || hi != m_speedSpan.second) {
        m_speedSpan = {lo, hi};
        m_plqSpeed->setRange(lo, hi);
        m_plqSpeed->applyNiceNumbers();
    }
}

// Both series are measured against the window's end as it was before this
// sample: once the load series has moved the window to end at now, the
// deformation series would never find now past the end and would grow all day.
void TLiveCharts::AddCbrPoints(double Value, double Deformation) {
    const QDateTime end = m_cbrTime->max();
    const std::pair<QLineSeries*, double> points[] = {{Series1, Value}, {Series2, Deformation}};
    for (const auto& [s, y] : points) {
        s->append(double(m_clock.now().toMSecsSinceEpoch()), y);
        const QDateTime now = m_clock.now();
        if (now > end) {
            s->remove(0);
            moveWindow(m_cbrTime, now);
        }
    }
}
