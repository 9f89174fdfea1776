#include "db/TRunReader.h"

TRunReader::TRunReader(TIBQuery& q, const QVariant& runId, TRunData::Curves curves)
    : m_q(q), m_run(runId), m_curves(curves), m_overview(TRunData::loadOverview(q, runId)) {
    if (!m_overview) {
        m_extents = TRunData::extents(q, runId, curves);
        return;
    }
    for (const QList<int>& kinds : TRunData::curveKinds(curves))
        m_extents.append(m_overview->extent(kinds));
}

TRunData::Pass TRunReader::read(const std::optional<TColumnGrid>& grid) const {
    if (!m_overview || !grid)
        return TRunData::read(m_q, m_run, m_curves, grid);
    TRunData::Pass p;
    p.curves = curves(*grid);
    const TRunValues& v =
        m_curves == TRunData::Curves::All ? m_overview->allValues() : m_overview->loadValues();
    p.maxValue = v.maxValue();
    p.startA = v.startA();
    p.timeOfMax = v.timeOfMax();
    return p;
}

QList<QList<QPointF>> TRunReader::curves(const TColumnGrid& grid) const {
    if (!m_overview)
        return TRunData::read(m_q, m_run, m_curves, grid).curves;
    return m_overview->reduce(
        TRunData::curveKinds(m_curves), grid,
        [this](qint32 first, qint32 last, const std::function<void(const TSample&)>& sample) {
            TRunData::samplesBetween(m_q, m_run, first, last, sample);
        });
}
