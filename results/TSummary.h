#pragma once

#include <optional>
#include <vector>

// The spread of one result over the runs of a series that have it.
struct TSummary {
    int n = 0;
    std::optional<double> mean;
    std::optional<double> sd; // sample deviation (n - 1); empty under two values
    std::optional<double> covPct;
    std::optional<double> min;
    std::optional<double> max;

    static TSummary of(const std::vector<std::optional<double>>& values);
};
