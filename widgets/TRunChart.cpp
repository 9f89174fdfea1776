#include "widgets/TRunChart.h"

#include "core/TClock.h"
#include "core/TCurveReducer.h"
#include "widgets/TCurvesItem.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QTimer>
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
    m_item = new TCurvesItem(chart, m_time);
    m_view = new QChartView(chart);
    m_view->setObjectName(name);
    m_view->setAccessibleName(QStringLiteral("Графика"));
    // A resize reads reduced curves again once it has settled, not at every step.
    m_resized = new QTimer(m_view);
    m_resized->setSingleShot(true);
    m_resized->setInterval(150);
    QObject::connect(m_resized, &QTimer::timeout, m_view, [this] { screenChanged(); });
    QObject::connect(chart, &QChart::plotAreaChanged, m_view, [this] {
        m_item->plotAreaChanged();
        if (m_item->anyReduced())
            m_resized->start();
    });
    m_item->wantsGrid = [this](const TColumnGrid&) {
        if (!m_resized->isActive())
            m_resized->start();
    };
    m_item->readFor = [this](const TColumnGrid& grid) { readFor(grid); };
}

TRunChart::~TRunChart() {
    m_item->wantsGrid = nullptr;
    m_item->readFor = nullptr;
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
    // The series carries the points for the axes; the curves item draws them.
    series->setVisible(false);
    m_curves.append(series);
    m_item->addCurve(pen, axis);
    return series;
}

qint64 TRunChart::setPoints(const QList<QList<QPointF>>& curves) {
    QList<Extent> extents;
    for (const QList<QPointF>& pts : curves) {
        Extent e;
        e.count = pts.size();
        if (!pts.isEmpty()) {
            const auto [lo, hi] =
                std::minmax_element(pts.begin(), pts.end(), [](const QPointF& a, const QPointF& b) {
                    return a.y() < b.y();
                });
            e = {pts.size(), pts.first().x(), pts.last().x(), lo->y(), hi->y()};
        }
        extents.append(e);
    }
    const qint64 first = setRanges(extents);
    m_item->setGrid(screenGrid());
    showPoints(curves, false);
    return first;
}

qint64 TRunChart::setRanges(const QList<Extent>& curves) {
    qint64 first = -1, last = -1;
    for (int i = 0; i < m_curves.size(); ++i) {
        const Extent e = i < curves.size() ? curves[i] : Extent();
        auto* axis = static_cast<QValueAxis*>(m_curves[i]->attachedAxes().last());
        if (e.count == 0) {
            axis->setRange(0, 1); // no ranges of a run shown before
            continue;
        }
        const double pad = e.y1 > e.y0 ? (e.y1 - e.y0) * 0.05 : 1.0;
        axis->setRange(e.y0 - pad, e.y1 + pad);
        const qint64 a = qint64(e.x0), b = qint64(e.x1);
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

TColumnGrid TRunChart::screenGrid() {
    QChart* chart = m_view->chart();
    if (chart->layout())
        chart->layout()->activate();
    const qreal dpr = m_view->devicePixelRatioF();
    const QTransform toDevice =
        m_item->sceneTransform() * m_view->viewportTransform() * QTransform::fromScale(dpr, dpr);
    TColumnGrid g = m_item->gridFor(toDevice);
    if (!m_view->isVisible() || !g.valid())
        g = {double(m_time->min().toMSecsSinceEpoch()), double(m_time->max().toMSecsSinceEpoch()),
             0, double(kNominalColumns)};
    return g;
}

void TRunChart::setReduced(const QList<QList<QPointF>>& curves, const TColumnGrid& grid) {
    m_screenCurves = curves;
    m_screenGrid = grid;
    m_item->setGrid(grid);
    showPoints(curves, true);
}

void TRunChart::showPoints(const QList<QList<QPointF>>& curves, bool reduced) {
    for (int i = 0; i < m_curves.size(); ++i) {
        const QList<QPointF> pts = i < curves.size() ? curves[i] : QList<QPointF>();
        m_curves[i]->replace(pts);
        m_item->setPoints(i, pts, reduced && !pts.isEmpty());
    }
}

void TRunChart::setSource(Source source) {
    m_source = std::move(source);
    m_screenCurves.clear();
    m_screenGrid = TColumnGrid();
}

bool TRunChart::reduced() const {
    return m_item->anyReduced();
}

// For a page the curves are drawn once and the screen's reduction is kept.
void TRunChart::readFor(const TColumnGrid& grid) {
    if (!m_item->anyReduced() || m_item->grid() == grid)
        return;
    if (grid == m_screenGrid) {
        m_item->setGrid(grid);
        showPoints(m_screenCurves, true);
        return;
    }
    if (!m_source)
        return;
    const QList<QList<QPointF>> curves = m_source(grid);
    m_item->setGrid(grid);
    showPoints(curves, true);
}

void TRunChart::screenChanged() {
    const TColumnGrid g = screenGrid();
    if (!m_item->anyReduced() || m_item->grid() == g)
        return;
    try {
        if (!m_source || g == m_screenGrid) {
            readFor(g);
            return;
        }
        setReduced(m_source(g), g);
    } catch (const std::exception&) {
        // The curves stay as they were read for the earlier columns.
    }
}

void TRunChart::prepare(QChart* chart, const QTransform& sceneToDevice) {
    for (QGraphicsItem* child : chart->childItems()) {
        auto* item = dynamic_cast<TCurvesItem*>(child);
        if (!item)
            continue;
        const TColumnGrid g = item->gridFor(item->sceneTransform() * sceneToDevice);
        if (item->anyReduced() && item->readFor)
            item->readFor(g);
        else
            item->setGrid(g);
    }
}
