#pragma once

#include "results/TRateStandard.h"
#include "results/TRunResult.h"
#include "results/TRunSamples.h"
#include "results/TSeriesDetails.h"
#include "results/TSummary.h"

#include <QList>
#include <QPair>
#include <QStringList>

#include <vector>

// A series with its runs, each run's results and the series' summary.
class TSeriesResults {
public:
    TSeriesResults(TSeriesDetails info, std::vector<TRunSamples> runs,
                   const TRateStandard& standard);

    const TSeriesDetails& info() const { return m_info; }
    const std::vector<TRunSamples>& runs() const { return m_runs; }
    const std::vector<TRunResult>& results() const { return m_results; }
    const TRateStandard& standard() const { return m_standard; }

    bool mpaForm() const;
    bool hasPressRuns() const;
    bool hasFrameRuns() const;

    // The summaries of the results that have one.
    TSummary maxKn() const { return summary(&TRunResult::maxKn); }
    TSummary strengthMpa() const { return summary(&TRunResult::strengthMpa); }
    TSummary stabilityKn() const { return summary(&TRunResult::stabilityKn); }
    TSummary flowMm() const { return summary(&TRunResult::flowMm); }
    TSummary quotientKnMm() const { return summary(&TRunResult::quotientKnMm); }
    TSummary cbrPct() const { return summary(&TRunResult::cbrPct); }

    TSummary summary(std::optional<double> TRunResult::*value) const;

    // The runs' distinct operators, in the order of the runs; none when not known.
    QStringList operators() const;
    // Each run's id with its seal (empty when it has none), in the order of the runs.
    QList<QPair<int, QString>> seals() const;
    // TRunSeal::digestOf over seals(): the report's data in one value.
    QString digest() const;

private:
    TSeriesDetails m_info;
    std::vector<TRunSamples> m_runs;
    TRateStandard m_standard;
    std::vector<TRunResult> m_results;
};
