// libFuzzer target for multi-line text: the bytes are an MText in the shape
// fonts of fuzz_shx_corpus/ (copied into the shx folder of a scratch program
// folder), with format codes of every kind, font switches to those fonts and
// to TrueType faces included. The first five bytes choose the style's font
// and big font (one of those fonts, or a style name of the kinds drawings
// give: CAD defaults that are not installed, families, paths), the height,
// the line spacing and the rotation; the rest is the text, the additional
// text first. No outline point may be infinite or not a number.
// Seeds in fuzz_mtext_corpus/: groups, heights, stacked text and paragraph
// breaks in lines.shx; shape-font switches with a big font; the runaway
// scales of runaway.shx turned by 30 degrees at height 100; TrueType runs
// with escapes; codes cut off by the end; style names that are no font.
#include "platform/Folders.h"
#include "textoutline/Letrova.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> g_fonts; // file names in the shx folder
fs::path g_folder;

void RemoveFolder()
{
    std::error_code ec;
    fs::remove_all(g_folder, ec);
}

template <std::size_t N>
void SetField(char (&field)[N], const std::string& value)
{
    std::memset(field, 0, N);
    std::memcpy(field, value.data(), std::min(value.size(), N - 1));
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Style names after the font files, in choice order.
const char* const kStyleNames[] = {"txt", "romans", "simplex.shx", "arial.ttf", "DejaVu Sans", "arial",
                                   "../../etc/passwd", "/etc/passwd", "/tmp/", "..", "", "C:\\Fonts\\x.fnt",
                                   "lines", "big.shx,uni.shx"};

// Font file or style name number n: the fonts first, then the names.
std::string StyleFont(std::size_t n)
{
    return n < g_fonts.size() ? g_fonts[n] : std::string(kStyleNames[(n - g_fonts.size()) % std::size(kStyleNames)]);
}
constexpr double kHeights[] = {1.0, 2.5, 0.1, 100.0, 1e6, 1e300, 0.0, -1.0, kNaN};
constexpr double kSpacings[] = {1.0, 2.5, 0.0, -1.0, kNaN, 1e300};
constexpr double kRotations[] = {0.0, 0.5235987755982988, 1.5707963267948966, 1e10, kNaN};

} // namespace

// fontconfig leaves a few hundred bytes of its initialisation unreachable.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string pattern = (fs::temp_directory_path() / "fuzz-mtext-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        std::abort();
    g_folder = pattern;
    std::atexit(RemoveFolder);
    fs::create_directory(g_folder / "shx");
    for (const auto& entry : fs::directory_iterator(LETROVA_FUZZ_FONTS)) {
        fs::copy_file(entry.path(), g_folder / "shx" / entry.path().filename());
        g_fonts.push_back(entry.path().filename().string());
    }
    std::sort(g_fonts.begin(), g_fonts.end());
    plat::SetProgramFolderForTesting(g_folder.string());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 5 || g_fonts.empty())
        return 0;
    MText m;
    const std::size_t choices = g_fonts.size() + std::size(kStyleNames);
    SetField(m.m_font_file, StyleFont(data[0] % choices));
    // One choice more: no big font.
    const std::size_t big = data[1] % (choices + 1);
    SetField(m.m_bigfont_file, big < choices ? StyleFont(big) : std::string());
    m.m_height = kHeights[data[2] % std::size(kHeights)];
    m.m_line_spacing = kSpacings[data[3] % std::size(kSpacings)];
    m.m_geometry[4] = kRotations[data[4] % std::size(kRotations)];
    const std::string text(reinterpret_cast<const char*>(data + 5), size - 5);
    SetField(m.m_text_more, text.substr(0, std::min<std::size_t>(text.size(), sizeof m.m_text_more - 1)));
    if (text.size() > sizeof m.m_text_more - 1)
        SetField(m.m_text, text.substr(sizeof m.m_text_more - 1));

    CMWordList words;
    g_GetMTextOutlineInfo(m, words);
    for (const CMWord* word : words)
        for (const COutLine* line : word->m_lines)
            for (const CSuPoint& p : line->m_points)
                if (!std::isfinite(p.m_x) || !std::isfinite(p.m_y))
                    __builtin_trap();
    g_DelWordList(&words);
    return 0;
}
