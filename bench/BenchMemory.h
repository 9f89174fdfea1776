#pragma once

#include <fstream>
#include <string>
#include <unistd.h>

// The process's resident memory, now and at its peak, in MiB; the peak can
// be set back to what is resident now, so that one step's peak is measured.
namespace BenchMemory {

inline double statusMiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(key.size())) / 1024.0; // kB
    return 0;
}

inline double residentMiB() {
    return statusMiB("VmRSS");
}

inline double peakMiB() {
    return statusMiB("VmHWM");
}

inline void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace BenchMemory

// The resident memory a step adds at its peak: its first call (which also
// fills the engine's page cache, up to its fixed size) and its last.
class PeakAdded {
public:
    void start() {
        BenchMemory::resetPeak();
        m_before = BenchMemory::residentMiB();
    }
    void stop() {
        const double added = BenchMemory::peakMiB() - m_before;
        if (m_calls++ == 0)
            m_first = added;
        m_last = added;
    }
    template <typename State> void report(State& state) const {
        state.counters["peak_added_first_MiB"] = m_first;
        state.counters["peak_added_last_MiB"] = m_last;
    }

private:
    double m_before = 0, m_first = 0, m_last = 0;
    int m_calls = 0;
};
