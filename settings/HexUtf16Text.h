// HexUtf16Text: free text in parameter and language files, four lower-case
// hexadecimal digits per UTF-16 code unit, no separator, no terminator.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Longest decoded text, in code units.
constexpr std::size_t kHexNameMaxUnits = 999;

// "%04x" of every code unit: u"A-1" gives "0041002d0031".
std::string HexUtf16Text(std::u16string_view text);

// Decodes groups of four characters from the start. Each character adds one
// digit to the current unit (unit = unit * 16 + digit, kept to 16 bits):
// '0'-'9' count 0-9, 'a'-'f' 10-15, any other character its code minus 55,
// which gives 'A'-'F' 10-15 too. A shorter last group gives a unit from the
// digits it has. The text ends at a zero unit and holds at most 999 units.
std::u16string DecodeHexName(std::string_view hex);
