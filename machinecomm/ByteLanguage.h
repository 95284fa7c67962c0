// The controller's byte language, shared by the online commands, the job
// stream and the answers: a byte with the top bit set is a command byte,
// every data byte is 0x00..0x7F, and numbers travel as groups of 7 bits,
// most significant first. Lengths are micrometres, powers 14-bit fractions.
#pragma once
#include <cstdint>

// A signed 32-bit value as five 7-bit groups; a negative value carries its
// sign in the three top bits of the first group. Writes 5 bytes.
void PutNum5(std::uint8_t* out, std::int32_t v);

// A 14-bit value as two 7-bit groups (signed values in 14-bit two's
// complement). Writes 2 bytes.
void PutNum2(std::uint8_t* out, std::int32_t v);

// The value of five groups, rebuilt in 32 bits (higher bits fall off).
std::uint32_t ReadNum5(const std::uint8_t* in);

// The value of two groups.
std::uint16_t ReadNum2(const std::uint8_t* in);

// A power in percent x 100 as the controller's 14-bit fraction of full
// power: trunc(p x 16384 / 10000), at most 16383. A negative power is sent
// as 0, never as the large 14-bit pattern of a negative number.
std::int32_t PowerToFraction(std::int32_t percentTimes100);
