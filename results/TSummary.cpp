#include "results/TSummary.h"

#include <algorithm>
#include <cmath>

namespace {

std::optional<double> sampleDeviation(const std::vector<double>& v, double mean) {
    if (v.size() < 2)
        return std::nullopt;
    double squares = 0;
    for (double x : v)
        squares += (x - mean) * (x - mean);
    return std::sqrt(squares / double(v.size() - 1));
}

} // namespace

TSummary TSummary::of(const std::vector<std::optional<double>>& values) {
    std::vector<double> v;
    for (const auto& x : values)
        if (x)
            v.push_back(*x);
    TSummary s;
    s.n = int(v.size());
    if (v.empty())
        return s;
    double sum = 0;
    for (double x : v)
        sum += x;
    s.mean = sum / double(v.size());
    s.sd = sampleDeviation(v, *s.mean);
    if (s.sd && *s.mean != 0)
        s.covPct = *s.sd / std::fabs(*s.mean) * 100.0;
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    s.min = *lo;
    s.max = *hi;
    return s;
}
