// The resident memory of the benchmark process and its peak, for benchmarks
// that report how much memory a large job takes.
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

// A size line of /proc/self/status ("VmHWM:", "VmRSS:") in MiB.
inline double StatusMiB(const std::string& which)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == which) {
            double kib = 0;
            status >> kib;
            return kib / 1024.0;
        }
    }
    return 0.0;
}

inline double PeakMemoryMiB() { return StatusMiB("VmHWM:"); }
inline double ResidentMemoryMiB() { return StatusMiB("VmRSS:"); }

} // namespace plat
