// The one process-wide 8-bit "ANSI" code page (default CP936, overridable with
// BRENVIK_CODEPAGE) and UTF-8 / UTF-16 conversions.
#pragma once
#include <string>
#include <string_view>

namespace plat {

// Name of the code page in force.
std::string CodePageName();

// UTF-16 to the code page; a character the code page lacks becomes '?'.
std::string WideToCodePage(std::u16string_view text);

// Same, cut to at most maxBytes bytes without splitting a character.
std::string WideToCodePageCut(std::u16string_view text, std::size_t maxBytes);

// Code page to UTF-16; an invalid or incomplete byte sequence yields U+FFFD.
std::u16string CodePageToWide(std::string_view bytes);

// True when the byte starts a two-byte character in the code page.
bool IsLeadByte(unsigned char byte);

// UTF-8 <-> UTF-16. Invalid input yields U+FFFD per bad sequence.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

} // namespace plat
