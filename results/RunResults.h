#pragma once

#include "results/TRateStandard.h"
#include "results/TRunResult.h"
#include "results/TRunSamples.h"

#include <cstddef>
#include <optional>
#include <vector>

// The results of one run, one function per value.
namespace RunResults {

using Loads = std::vector<TLoadSample>;

// The largest load; with ties, the first of them.
std::optional<std::size_t> maxIndex(const Loads& loads);
std::optional<double> maxKn(const Loads& loads);
// From the first load to the maximum, in whole milliseconds over 1000.
std::optional<double> timeToMaxS(const Loads& loads);
// The rise from the first load to the maximum per second; empty over no time.
std::optional<double> rateKnS(const Loads& loads);

// The series is reported in MPa when its multiplier, rounded half to even, is not 1.
bool mpaForm(std::optional<double> multiplier);
std::optional<double> strengthMpa(std::optional<double> maxKn, std::optional<double> multiplier);
std::optional<double> stressRateMpaS(std::optional<double> rateKnS,
                                     std::optional<double> multiplier);
std::optional<bool> rateOk(std::optional<double> stressRateMpaS, const TRateStandard& standard);

// The deformation recorded with the maximum load.
std::optional<double> flowMm(const Loads& loads);
std::optional<double> quotientKnMm(std::optional<double> stabilityKn, std::optional<double> flowMm);
// The load, interpolated linearly, where the deformation first reaches the depth.
std::optional<double> loadAtDepth(const Loads& loads, double mm);
std::optional<double> cbr25Pct(const Loads& loads);
std::optional<double> cbr50Pct(const Loads& loads);
std::optional<double> cbrPct(std::optional<double> cbr25, std::optional<double> cbr50);

// Everything above for a run of a series with this multiplier.
TRunResult compute(const TRunSamples& run, std::optional<double> multiplier,
                   const TRateStandard& standard);

} // namespace RunResults
