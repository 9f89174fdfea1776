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
