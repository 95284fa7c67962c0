#include "NumText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace plat {

std::string FormatInt(std::int64_t v)
{
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string FormatUInt(std::uint64_t v)
{
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string FormatFixed(double v, int decimals)
{
    if (std::isnan(v))
        return v < 0 ? "-nan" : "nan";
    if (std::isinf(v))
        return v < 0 ? "-inf" : "inf";
    // Large enough for any double in fixed notation.
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (res.ec != std::errc())
        return "0";
    return std::string(buf, res.ptr);
}

namespace {
std::size_t SkipBlanks(std::string_view t)
{
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\r' || t[i] == '\n' || t[i] == '\v' || t[i] == '\f'))
        ++i;
    return i;
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Power of ten of the first significant digit of an unsigned decimal number
// ("0.001" gives -3, "12e5" gives 6). It tells a number beyond the range of
// a double from one below it, whatever the spelling: "0.000...1" with 330
// zeros is tiny although it has no negative exponent.
long long DecimalMagnitude(std::string_view number)
{
    constexpr long long kBound = 1000000000000000LL; // far beyond any double
    std::size_t i = 0;
    long long intDigits = 0;
    long long zerosAfterPoint = 0;
    bool significant = false;
    for (; i < number.size() && IsDigit(number[i]); ++i) {
        significant = significant || number[i] != '0';
        if (significant && intDigits < kBound)
            ++intDigits;
    }
    if (i < number.size() && number[i] == '.') {
        for (++i; i < number.size() && IsDigit(number[i]); ++i) {
            significant = significant || number[i] != '0';
            if (!significant && zerosAfterPoint < kBound)
                ++zerosAfterPoint;
        }
    }
    if (!significant)
        return -kBound;
    long long magnitude = intDigits > 0 ? intDigits - 1 : -(zerosAfterPoint + 1);
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < number.size() && (number[i] == '+' || number[i] == '-'))
            negative = number[i++] == '-';
        long long exponent = 0;
        for (; i < number.size() && IsDigit(number[i]); ++i)
            exponent = std::min(exponent * 10 + (number[i] - '0'), kBound);
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude;
}

} // namespace

std::int64_t ParseInt(std::string_view text, bool* ok)
{
    std::size_t i = SkipBlanks(text);
    bool neg = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        neg = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative number so that INT64_MIN is representable.
    std::int64_t acc = 0;
    bool any = false;
    bool saturated = false;
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        any = true;
        if (saturated)
            continue;
        const int d = text[i] - '0';
        if (acc < (kMin + d) / 10) {
            saturated = true;
            continue;
        }
        acc = acc * 10 - d;
    }
    if (ok != nullptr)
        *ok = any;
    if (saturated)
        return neg ? kMin : std::numeric_limits<std::int64_t>::max();
    if (neg)
        return acc;
    return acc == kMin ? std::numeric_limits<std::int64_t>::max() : -acc;
}

double ParseDouble(std::string_view text, bool* ok)
{
    std::size_t i = SkipBlanks(text);
    if (i < text.size() && text[i] == '+') {
        // from_chars takes no leading '+'; "+-1" must stay invalid.
        if (i + 1 < text.size() && text[i + 1] == '-') {
            if (ok != nullptr)
                *ok = false;
            return 0.0;
        }
        ++i;
    }
    double v = 0.0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    auto res = std::from_chars(first, last, v, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // What strtod gives: huge values saturate to infinity, tiny ones to 0.
        const bool neg = *first == '-';
        const std::string_view number(first + (neg ? 1 : 0), static_cast<std::size_t>(res.ptr - first) - (neg ? 1 : 0));
        const bool huge = DecimalMagnitude(number) > 0;
        v = huge ? (neg ? -HUGE_VAL : HUGE_VAL) : (neg ? -0.0 : 0.0);
        if (ok != nullptr)
            *ok = true;
        return v;
    }
    if (res.ec != std::errc()) {
        if (ok != nullptr)
            *ok = false;
        return 0.0;
    }
    if (ok != nullptr)
        *ok = true;
    return v;
}

} // namespace plat
