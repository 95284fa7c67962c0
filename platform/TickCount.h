// The system tick count: milliseconds of the monotonic clock, wrapping round
// at 2^32 as the platform's count does. Differences of two counts taken in
// unsigned 32-bit arithmetic stay right across the wrap.
#pragma once
#include <chrono>
#include <cstdint>

namespace plat {

inline std::uint32_t GetTickCount()
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

} // namespace plat
