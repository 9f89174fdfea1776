#include "results/TSeriesResults.h"

#include "core/TRunSeal.h"
#include "results/RunResults.h"

#include <algorithm>

TSeriesResults::TSeriesResults(TSeriesDetails info, std::vector<TRunSamples> runs,
                               const TRateStandard& standard)
    : m_info(std::move(info)), m_runs(std::move(runs)), m_standard(standard) {
    m_results.reserve(m_runs.size());
    for (const TRunSamples& run : m_runs)
        m_results.push_back(RunResults::compute(run, m_info.multiplier, m_standard));
}

bool TSeriesResults::mpaForm() const {
    return RunResults::mpaForm(m_info.multiplier);
}

bool TSeriesResults::hasPressRuns() const {
    return std::any_of(m_runs.begin(), m_runs.end(), [](const auto& r) { return r.isPress(); });
}

bool TSeriesResults::hasFrameRuns() const {
    return std::any_of(m_runs.begin(), m_runs.end(), [](const auto& r) { return r.isFrame(); });
}

TSummary TSeriesResults::summary(std::optional<double> TRunResult::*value) const {
    std::vector<std::optional<double>> values;
    values.reserve(m_results.size());
    for (const TRunResult& r : m_results)
        values.push_back(r.*value);
    return TSummary::of(values);
}

QStringList TSeriesResults::operators() const {
    QStringList out;
    for (const TRunSamples& r : m_runs)
        if (!r.operatorLogin.isEmpty() && !out.contains(r.operatorLogin))
            out.append(r.operatorLogin);
    return out;
}

QList<QPair<int, QString>> TSeriesResults::seals() const {
    QList<QPair<int, QString>> out;
    out.reserve(qsizetype(m_runs.size()));
    for (const TRunSamples& r : m_runs)
        out.append({r.id, r.seal});
    return out;
}

QString TSeriesResults::digest() const {
    return TRunSeal::digestOf(seals());
}
