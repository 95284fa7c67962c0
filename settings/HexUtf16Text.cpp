#include "HexUtf16Text.h"

std::string HexUtf16Text(std::u16string_view text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() * 4);
    for (char16_t unit : text) {
        out += kDigits[(unit >> 12) & 0xF];
        out += kDigits[(unit >> 8) & 0xF];
        out += kDigits[(unit >> 4) & 0xF];
        out += kDigits[unit & 0xF];
    }
    return out;
}

namespace {

int HexDigitValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return static_cast<int>(c) - 55;
}

} // namespace

std::u16string DecodeHexName(std::string_view hex)
{
    std::u16string out;
    for (std::size_t i = 0; i < hex.size() && out.size() < kHexNameMaxUnits; i += 4) {
        std::uint32_t unit = 0;
        for (std::size_t k = i; k < i + 4 && k < hex.size(); ++k)
            unit = (unit * 16 + static_cast<std::uint32_t>(HexDigitValue(static_cast<unsigned char>(hex[k])))) & 0xFFFF;
        if (unit == 0)
            break;
        out += static_cast<char16_t>(unit);
    }
    return out;
}
