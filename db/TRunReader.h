#pragma once

#include "db/TRunData.h"

#include <optional>

// A run as the grouping and review windows read it: from its overview when
// it has one (a run that ended), in time independent of its length; else by
// the engine's count of its extents and one pass over its samples.
class TRunReader {
public:
    TRunReader(TIBQuery& q, const QVariant& runId, TRunData::Curves curves);

    const QList<TCurveExtent>& extents() const { return m_extents; }
    bool fromOverview() const { return m_overview.has_value(); }
    // Its values and curves: every point when no grid is given (one pass),
    // else reduced to the grid.
    TRunData::Pass read(const std::optional<TColumnGrid>& grid) const;
    QList<QList<QPointF>> curves(const TColumnGrid& grid) const;

private:
    TIBQuery& m_q;
    QVariant m_run;
    TRunData::Curves m_curves;
    std::optional<TRunOverview> m_overview;
    QList<TCurveExtent> m_extents;
};
