#include "ByteLanguage.h"

std::uint32_t ReadNum5(const std::uint8_t* in)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 5; ++i)
        v = v << 7 | in[i];
    return v;
}

std::uint16_t ReadNum2(const std::uint8_t* in)
{
    return static_cast<std::uint16_t>(in[0] << 7 | in[1]);
}

std::int32_t PowerToFraction(std::int32_t percentTimes100)
{
    if (percentTimes100 <= 0)
        return 0;
    // Exact in 64-bit integers, so it is the truncated real quotient.
    const std::int64_t v = std::int64_t{percentTimes100} * 16384 / 10000;
    return v > 16383 ? 16383 : static_cast<std::int32_t>(v);
}
