// The controller's byte language, shared by the online commands, the job
// stream and the answers: a byte with the top bit set is a command byte,
// every data byte is 0x00..0x7F, and numbers travel as groups of 7 bits,
// most significant first. Lengths are micrometres, powers 14-bit fractions.
#pragma once
#include <cstdint>

// A signed 32-bit value as five 7-bit groups; a negative value carries its
// sign in the three top bits of the first group. Writes 5 bytes. Inline: a
// job writes millions of them.
inline void PutNum5(std::uint8_t* out, std::int32_t v)
{
    out[0] = static_cast<std::uint8_t>((v >> 28) & 0x7F);
    out[1] = static_cast<std::uint8_t>((v >> 21) & 0x7F);
    out[2] = static_cast<std::uint8_t>((v >> 14) & 0x7F);
    out[3] = static_cast<std::uint8_t>((v >> 7) & 0x7F);
    out[4] = static_cast<std::uint8_t>(v & 0x7F);
}

// A 14-bit value as two 7-bit groups (signed values in 14-bit two's
// complement). Writes 2 bytes.
inline void PutNum2(std::uint8_t* out, std::int32_t v)
{
    out[0] = static_cast<std::uint8_t>((v >> 7) & 0x7F);
    out[1] = static_cast<std::uint8_t>(v & 0x7F);
}

// The value of five groups, rebuilt in 32 bits (higher bits fall off).
std::uint32_t ReadNum5(const std::uint8_t* in);

// The value of two groups.
std::uint16_t ReadNum2(const std::uint8_t* in);

// A power in percent x 100 as the controller's 14-bit fraction of full
// power: trunc(p x 16384 / 10000), at most 16383. A negative power is sent
// as 0, never as the large 14-bit pattern of a negative number.
std::int32_t PowerToFraction(std::int32_t percentTimes100);
