#include "results/RunResults.h"

#include <algorithm>
#include <cmath>

namespace RunResults {

namespace {

// The standard loads of the CBR test at 2.5 mm and 5.0 mm of penetration.
constexpr double kCbrLoad25Kn = 13.2;
constexpr double kCbrLoad50Kn = 20.0;

bool usableMultiplier(std::optional<double> multiplier) {
    return multiplier && *multiplier != 0 && std::isfinite(*multiplier);
}

} // namespace

std::optional<std::size_t> maxIndex(const Loads& loads) {
    if (loads.empty())
        return std::nullopt;
    std::size_t best = 0;
    for (std::size_t i = 1; i < loads.size(); ++i)
        if (loads[i].kn > loads[best].kn)
            best = i;
    return best;
}

std::optional<double> maxKn(const Loads& loads) {
    const auto i = maxIndex(loads);
    return i ? std::optional(loads[*i].kn) : std::nullopt;
}

std::optional<double> timeToMaxS(const Loads& loads) {
    const auto i = maxIndex(loads);
    if (!i)
        return std::nullopt;
    return double(loads[*i].ms - loads.front().ms) / 1000.0;
}

std::optional<double> rateKnS(const Loads& loads) {
    const auto i = maxIndex(loads);
    if (!i || loads[*i].ms == loads.front().ms)
        return std::nullopt;
    return (loads[*i].kn - loads.front().kn) / *timeToMaxS(loads);
}

bool mpaForm(std::optional<double> multiplier) {
    return usableMultiplier(multiplier) && std::nearbyint(*multiplier) != 1.0;
}

std::optional<double> strengthMpa(std::optional<double> maxKn, std::optional<double> multiplier) {
    if (!maxKn || !mpaForm(multiplier))
        return std::nullopt;
    return *maxKn / *multiplier;
}

std::optional<double> stressRateMpaS(std::optional<double> rateKnS,
                                     std::optional<double> multiplier) {
    if (!rateKnS || !mpaForm(multiplier))
        return std::nullopt;
    return *rateKnS / *multiplier;
}

std::optional<bool> rateOk(std::optional<double> stressRateMpaS, const TRateStandard& standard) {
    if (!stressRateMpaS)
        return std::nullopt;
    return standard.accepts(*stressRateMpaS);
}

std::optional<double> flowMm(const Loads& loads) {
    const auto i = maxIndex(loads);
    return i ? loads[*i].mm : std::nullopt;
}

std::optional<double> quotientKnMm(std::optional<double> stabilityKn,
                                   std::optional<double> flowMm) {
    if (!stabilityKn || !flowMm || *flowMm == 0)
        return std::nullopt;
    return *stabilityKn / *flowMm;
}

std::optional<double> loadAtDepth(const Loads& loads, double mm) {
    const TLoadSample* before = nullptr;
    for (const TLoadSample& s : loads) {
        if (!s.mm)
            continue;
        if (*s.mm >= mm) {
            if (!before)
                return s.kn;
            const double share = (mm - *before->mm) / (*s.mm - *before->mm);
            return before->kn + (s.kn - before->kn) * share;
        }
        before = &s;
    }
    return std::nullopt;
}

std::optional<double> cbr25Pct(const Loads& loads) {
    const auto kn = loadAtDepth(loads, 2.5);
    return kn ? std::optional(*kn / kCbrLoad25Kn * 100.0) : std::nullopt;
}

std::optional<double> cbr50Pct(const Loads& loads) {
    const auto kn = loadAtDepth(loads, 5.0);
    return kn ? std::optional(*kn / kCbrLoad50Kn * 100.0) : std::nullopt;
}

std::optional<double> cbrPct(std::optional<double> cbr25, std::optional<double> cbr50) {
    if (cbr25 && cbr50)
        return std::max(*cbr25, *cbr50);
    return cbr25 ? cbr25 : cbr50;
}

namespace {

void computePress(TRunResult& r, std::optional<double> multiplier, const TRateStandard& standard) {
    r.strengthMpa = strengthMpa(r.maxKn, multiplier);
    r.stressRateMpaS = stressRateMpaS(r.rateKnS, multiplier);
    r.rateOk = rateOk(r.stressRateMpaS, standard);
}

void computeFrame(TRunResult& r, const Loads& loads) {
    r.stabilityKn = r.maxKn;
    r.flowMm = flowMm(loads);
    r.quotientKnMm = quotientKnMm(r.stabilityKn, r.flowMm);
    r.cbr25Pct = cbr25Pct(loads);
    r.cbr50Pct = cbr50Pct(loads);
    r.cbrPct = cbrPct(r.cbr25Pct, r.cbr50Pct);
}

} // namespace

TRunResult compute(const TRunSamples& run, std::optional<double> multiplier,
                   const TRateStandard& standard) {
    TRunResult r;
    r.samples = int(run.loads.size());
    r.maxKn = maxKn(run.loads);
    r.timeToMaxS = timeToMaxS(run.loads);
    r.rateKnS = rateKnS(run.loads);
    if (run.isPress())
        computePress(r, multiplier, standard);
    if (run.isFrame())
        computeFrame(r, run.loads);
    return r;
}

} // namespace RunResults
