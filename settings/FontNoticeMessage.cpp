#include "FontNoticeMessage.h"

#include "LanguageTable.h"
#include "platform/CodePage.h"
#include "platform/Prompt.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::u16string_view kErrorSection = u"phase15:error-hint";
constexpr int kFontsReplacedText = 36;
constexpr int kCharsMissingText = 37;
// The message names this many characters at most.
constexpr std::size_t kMaxCharsShown = 64;

std::u16string CharWithCode(char32_t c)
{
    std::u16string text;
    if (c >= 0x10000 && c <= 0x10FFFF) {
        text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else if (c >= 0x20 && (c < 0xD800 || c >= 0xE000) && c <= 0xFFFF) {
        text += static_cast<char16_t>(c);
    }
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    return text + (text.empty() ? u"" : u" (") + plat::Utf8ToUtf16(code) + (text.empty() ? u"" : u")");
}

} // namespace

std::u16string FontNoticeText(const plat::FontNotices& notices)
{
    const auto table = RegisteredLanguageTable();
    std::u16string text;
    if (!notices.replaced.empty()) {
        text += LanguageText(table, kErrorSection, kFontsReplacedText);
        for (const auto& [name, face] : notices.replaced)
            text += u"\n" + plat::Utf8ToUtf16(name) + u" \u2192 " + plat::Utf8ToUtf16(face);
    }
    if (!notices.missing.empty()) {
        if (!text.empty())
            text += u"\n\n";
        text += LanguageText(table, kErrorSection, kCharsMissingText);
        text += u"\n";
        const std::size_t shown = std::min(notices.missing.size(), kMaxCharsShown);
        for (std::size_t i = 0; i < shown; ++i)
            text += (i == 0 ? u"" : u"  ") + CharWithCode(notices.missing[i]);
        if (shown < notices.missing.size() || notices.moreMissing)
            text += u"  \u2026";
    }
    return text;
}

void ShowFontNotices(const plat::FontNotices& notices)
{
    if (notices.Empty())
        return;
    plat::MessageBox(FontNoticeText(notices), std::u16string(), plat::MB_OK | plat::MB_ICONWARNING);
}
