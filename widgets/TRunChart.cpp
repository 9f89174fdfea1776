#include "widgets/TRunChart.h"

#include "core/TClock.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>

const QString TRunChart::kNoSamples = QStringLiteral("Измерването няма записани стойности");

TRunChart::TRunChart(const QString& name, const QString& timeFormat) {
    auto* chart = new QChart;
    chart->legend()->setVisible(false);
    chart->setBackgroundBrush(Qt::white);
    chart->setBackgroundRoundness(0);
    // The axes' numbers with the system's decimal separator, as every other
    // number in the window.
    chart->setLocale(QLocale());
    chart->setLocalizeNumbers(true);
    m_time = new QDateTimeAxis;
    m_time->setFormat(timeFormat);
    chart->addAxis(m_time, Qt::AlignBottom);
    m_view = new QChartView(chart);
    m_view->setObjectName(name);
    m_view->setAccessibleName(QStringLiteral("Графика"));
}

QLineSeries* TRunChart::addCurve(const QPen& pen, Qt::Alignment side, const QString& axisTitle) {
    auto* series = new QLineSeries;
    series->setPen(pen);
    m_view->chart()->addSeries(series);
    auto* axis = new QValueAxis;
    axis->setTitleText(axisTitle);
    m_view->chart()->addAxis(axis, side);
    series->attachAxis(m_time);
    series->attachAxis(axis);
    m_curves.append(series);
    return series;
}

qint64 TRunChart::setPoints(const QList<QList<QPointF>>& curves) {
    qint64 first = -1, last = -1;
    for (int i = 0; i < m_curves.size(); ++i) {
        const QList<QPointF> pts = i < curves.size() ? curves[i] : QList<QPointF>();
        m_curves[i]->replace(pts);
        auto* axis = static_cast<QValueAxis*>(m_curves[i]->attachedAxes().last());
        if (pts.isEmpty()) {
            axis->setRange(0, 1); // no ranges of a run shown before
            continue;
        }
        const auto [lo, hi] =
            std::minmax_element(pts.begin(), pts.end(),
                                [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
        const double pad = hi->y() > lo->y() ? (hi->y() - lo->y()) * 0.05 : 1.0;
        axis->setRange(lo->y() - pad, hi->y() + pad);
        // The points come in ascending order of time.
        const qint64 a = qint64(pts.first().x()), b = qint64(pts.last().x());
        first = first < 0 ? a : std::min(first, a);
        last = std::max(last, b);
    }
    if (first >= 0) {
        m_time->setRange(QDateTime::fromMSecsSinceEpoch(first),
                         QDateTime::fromMSecsSinceEpoch(last > first ? last : first + 1000));
    } else {
        const QDateTime day = QDateTime(TClock::program().today(), QTime(0, 0));
        m_time->setRange(day, day.addSecs(60));
    }
    return first;
}
