#include "TLiveCharts.h"

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
    Series4 = series(QStringLiteral("Скорост"), QColor(Qt::lightGray));
    Series4->setPen(Qt::NoPen); // the speed is in the legend only
    chart->addSeries(Series3);
    chart->addSeries(Series4);
    m_plqTime = timeAxis(QStringLiteral("t (min:sec)"));
    auto* left = valueAxis(-1, 1300, QStringLiteral("KN"), false);
    auto* right = valueAxis(216, 394, QStringLiteral("KN/s"), false);
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
        m->setBrush(QColor(Qt::lightGray));
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
    left->setLabelFormat(QStringLiteral("%d"));
    auto* right = valueAxis(0, 25, QStringLiteral("mm"), true);
    chart->addAxis(m_cbrTime, Qt::AlignBottom);
    chart->addAxis(left, Qt::AlignLeft);
    chart->addAxis(right, Qt::AlignRight);
    Series1->attachAxis(m_cbrTime);
    Series1->attachAxis(left);
    Series2->attachAxis(m_cbrTime);
    Series2->attachAxis(right);
    chart->legend()->setVisible(false);
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
