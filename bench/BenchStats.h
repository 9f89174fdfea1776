#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

// Per-call timings of a benchmark, reported as median and 99th percentile in
// milliseconds next to Google Benchmark's own mean.
class CallTimes {
public:
    template <typename F> void time(F&& f) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        m_ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }

    void report(benchmark::State& state) {
        if (m_ms.empty())
            return;
        std::sort(m_ms.begin(), m_ms.end());
        state.counters["calls"] = double(m_ms.size());
        state.counters["median_ms"] = m_ms[m_ms.size() / 2];
        state.counters["p99_ms"] = m_ms[std::min(m_ms.size() - 1, m_ms.size() * 99 / 100)];
        state.counters["max_ms"] = m_ms.back();
    }

private:
    std::vector<double> m_ms;
};

// main() for benchmarks that need a Qt application (offscreen unless told otherwise).
#define NUV_BENCHMARK_QT_MAIN(cleanup)                                                             \
    int main(int argc, char** argv) {                                                              \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        QApplication app(argc, argv);                                                              \
        benchmark::Initialize(&argc, argv);                                                        \
        benchmark::RunSpecifiedBenchmarks();                                                       \
        benchmark::Shutdown();                                                                     \
        cleanup;                                                                                   \
        return 0;                                                                                  \
    }
