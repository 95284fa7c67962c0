// The library links the platform layer in with its symbols hidden, so its
// own copy of the notices would never reach the program. It calls the
// program's instead, through weak references that the dynamic linker binds
// to the program that loads the library; without them nothing is told.
#include "Notices.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <cstdint>

extern "C" void plat_NoteFontReplaced(const char* name, const char* face) __attribute__((weak));
extern "C" void plat_NoteCharMissing(std::uint32_t code) __attribute__((weak));

void NoteFontReplaced(const std::string& name, const std::string& face)
{
    if (plat_NoteFontReplaced != nullptr)
        plat_NoteFontReplaced(name.c_str(), face.c_str());
}

void NoteCharMissing(char32_t code)
{
    if (plat_NoteCharMissing != nullptr)
        plat_NoteCharMissing(static_cast<std::uint32_t>(code));
}

namespace {

// Font names are ASCII as a rule: they need no converter.
bool IsAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80u) == 0; });
}

} // namespace

std::string CodePageToUtf8(const std::string& text)
{
    return IsAscii(text) ? text : plat::Utf16ToUtf8(plat::CodePageToWide(text));
}

std::string Utf8ToCodePage(const std::string& text)
{
    return IsAscii(text) ? text : plat::WideToCodePage(plat::Utf8ToUtf16(text));
}
