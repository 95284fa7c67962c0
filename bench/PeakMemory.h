// The resident-memory peak of the benchmark process, for benchmarks that
// report how much memory a large job takes.
#pragma once
#include <fstream>
#include <string>

namespace plat {

// Resets the resident-memory peak of the process (VmHWM), where the kernel
// allows it.
inline void ResetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

inline double PeakMemoryMiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            double kib = 0;
            status >> kib;
            return kib / 1024.0;
        }
    }
    return 0.0;
}

} // namespace plat
