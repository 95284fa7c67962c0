#include "FontNotices.h"

#include <algorithm>
#include <mutex>

namespace plat {

namespace {

std::mutex g_mutex;
FontNotices g_notices;

} // namespace

void FontNotices::AddReplaced(std::string_view name, std::string_view face)
{
    const bool known = std::any_of(replaced.begin(), replaced.end(), [&](const auto& r) { return r.first == name; });
    if (!known && replaced.size() < kMaxNoticedFonts)
        replaced.emplace_back(std::string(name), std::string(face));
}

void FontNotices::AddMissing(char32_t code)
{
    if (std::find(missing.begin(), missing.end(), code) != missing.end())
        return;
    if (missing.size() < kMaxNoticedChars)
        missing.push_back(code);
    else
        moreMissing = true;
}

void NoteFontReplaced(std::string_view name, std::string_view face)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_notices.AddReplaced(name, face);
}

void NoteCharMissing(char32_t code)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_notices.AddMissing(code);
}

FontNotices TakeFontNotices()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    FontNotices taken = std::move(g_notices);
    g_notices = FontNotices();
    return taken;
}

} // namespace plat

extern "C" void plat_NoteFontReplaced(const char* name, const char* face)
{
    plat::NoteFontReplaced(name != nullptr ? name : "", face != nullptr ? face : "");
}

extern "C" void plat_NoteCharMissing(std::uint32_t code)
{
    plat::NoteCharMissing(static_cast<char32_t>(code));
}
