// A drawing with thousands of short single-line texts: every text is outlined
// through the library's export and its words released, against FreeType
// loading the same glyphs of the same face straight (the floor any outline
// call stands on). The target: the library within 3x of the floor.
#include "platform/GlyphFont.h"
#include "textoutline/Letrova.h"

#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kTexts = 10000;
constexpr double kHeight = 2.5; // drawing units, a usual DXF text height

// One-word texts of 2 to 8 letters, fixed seed.
const std::vector<std::string>& Words()
{
    static const std::vector<std::string> words = [] {
        std::mt19937 gen(19);
        std::uniform_int_distribution<int> length(2, 8);
        std::uniform_int_distribution<int> letter(0, 51);
        std::vector<std::string> w;
        w.reserve(kTexts);
        for (int i = 0; i < kTexts; ++i) {
            std::string s;
            const int n = length(gen);
            for (int k = 0; k < n; ++k) {
                const int c = letter(gen);
                s += static_cast<char>(c < 26 ? 'a' + c : 'A' + c - 26);
            }
            w.push_back(std::move(s));
        }
        return w;
    }();
    return words;
}

std::int64_t CharacterCount()
{
    std::int64_t n = 0;
    for (const std::string& w : Words())
        n += static_cast<std::int64_t>(w.size());
    return n;
}

void BM_OutlineOneWordTexts(benchmark::State& state)
{
    Text text;
    std::strcpy(text.m_font_file, "arial.ttf");
    text.m_height = kHeight;
    text.m_width_factor = 1.0;
    CMWordList words;
    for (auto _ : state) {
        for (const std::string& w : Words()) {
            std::memset(text.m_text, 0, sizeof text.m_text);
            std::memcpy(text.m_text, w.data(), w.size());
            text.m_x += 1.0;
            g_GetTextOutlineInfo(text, words);
            g_DelWordList(&words);
        }
    }
    state.SetItemsProcessed(state.iterations() * CharacterCount());
}
BENCHMARK(BM_OutlineOneWordTexts)->Unit(benchmark::kMillisecond);

// The same characters loaded as unhinted outlines from the face the library
// finds for arial, opened once, at the em size of the outlined text.
void BM_FreeTypeLoadSameGlyphs(benchmark::State& state)
{
    plat::GlyphFontSpec spec;
    spec.faceName = "arial";
    spec.height = 35;
    plat::GlyphFont found;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (!found.Create(spec) || FT_Init_FreeType(&library) != 0
        || FT_New_Face(library, found.FilePath().c_str(), 0, &face) != 0) {
        state.SkipWithError("no face for arial");
        return;
    }
    FT_Set_Pixel_Sizes(face, 0, 35);
    for (auto _ : state) {
        for (const std::string& w : Words())
            for (char c : w) {
                FT_Load_Glyph(face, FT_Get_Char_Index(face, static_cast<unsigned char>(c)), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
                benchmark::DoNotOptimize(face->glyph->outline.n_points);
            }
    }
    state.SetItemsProcessed(state.iterations() * CharacterCount());
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}
BENCHMARK(BM_FreeTypeLoadSameGlyphs)->Unit(benchmark::kMillisecond);

} // namespace
