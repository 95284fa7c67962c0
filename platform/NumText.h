// Numbers as text, always in the C locale whatever the process locale is.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

std::string FormatInt(std::int64_t v);            // "%d"
std::string FormatUInt(std::uint64_t v);          // "%u"
std::string FormatFixed(double v, int decimals = 6); // "%.*f"; "%f" by default

// Reads a leading decimal integer the way atoi does (leading blanks, an
// optional sign, then digits; anything after is ignored; no digits gives 0),
// but a value beyond the 64-bit range saturates instead of being undefined.
// `ok` (optional) tells whether any digit was read.
std::int64_t ParseInt(std::string_view text, bool* ok = nullptr);

// Reads a leading real the way atof does in the C locale (leading blanks,
// optional sign, digits with '.', optional exponent; "inf" and "nan" too);
// no number gives 0.0. A number beyond the range of a double gives the
// infinity of its sign, one too small for a double 0.0 of its sign.
double ParseDouble(std::string_view text, bool* ok = nullptr);

} // namespace plat
