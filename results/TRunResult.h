#pragma once

#include <optional>

// A run's computed results; a value that cannot be computed is empty.
struct TRunResult {
    int samples = 0;
    std::optional<double> maxKn;
    std::optional<double> timeToMaxS;
    std::optional<double> rateKnS;
    std::optional<double> strengthMpa;
    std::optional<double> stressRateMpaS;
    std::optional<bool> rateOk;
    std::optional<double> stabilityKn;
    std::optional<double> flowMm;
    std::optional<double> quotientKnMm;
    std::optional<double> cbr25Pct;
    std::optional<double> cbr50Pct;
    std::optional<double> cbrPct;
};
