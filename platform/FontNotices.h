// What outlining text had to make do with, gathered for one message to the
// operator: font names that matched no installed font (with the face drawn
// in their place) and characters that no installed face has (left out).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plat {

struct FontNotices {
    // The name as the drawing or the operator gave it (UTF-8), and the face
    // drawn instead; each name once.
    std::vector<std::pair<std::string, std::string>> replaced;
    // In the order first met, each once.
    std::vector<char32_t> missing;
    // Further missing characters once the list holds kMaxNoticedChars.
    bool moreMissing = false;

    bool Empty() const { return replaced.empty() && missing.empty(); }
    void AddReplaced(std::string_view name, std::string_view face);
    void AddMissing(char32_t code);
};

// Bounds of what one message names: a hostile drawing may name ever new
// fonts and characters.
constexpr std::size_t kMaxNoticedFonts = 64;
constexpr std::size_t kMaxNoticedChars = 1024;

// Gathers into the process's notices; any thread.
void NoteFontReplaced(std::string_view name, std::string_view face);
void NoteCharMissing(char32_t code);

// The notices gathered since the last call; the gathering starts afresh.
FontNotices TakeFontNotices();

} // namespace plat

// The same under unmangled names. The text outline library links this layer
// in privately and gathers through the program's own notices with these.
extern "C" void plat_NoteFontReplaced(const char* name, const char* face);
extern "C" void plat_NoteCharMissing(std::uint32_t code);
