// A drawing with thousands of short single-line texts: every text is outlined
// through the library's export and its words released, against FreeType
// loading the same glyphs of the same face straight, and loading and
// decomposing them (the floor any outline call stands on). The target: the
// library within 3x of the floor. The same with two Chinese characters
// before each word in a face without Chinese: those come from the face that
// has them, found once per range of characters, not once per character.
#include "platform/CodePage.h"
#include "platform/GlyphFont.h"
#include "textoutline/Letrova.h"

#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

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

void OutlineTexts(benchmark::State& state, const std::vector<std::string>& texts, std::int64_t characters);

void BM_OutlineOneWordTexts(benchmark::State& state)
{
    OutlineTexts(state, Words(), CharacterCount());
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

// Each word behind two of 激光切割雕刻 (code-page bytes), as texts give them.
const std::vector<std::string>& MixedWords()
{
    static const std::vector<std::string> words = [] {
        const std::u16string chinese = u"\u6FC0\u5149\u5207\u5272\u96D5\u523B";
        std::vector<std::string> w;
        w.reserve(kTexts);
        for (std::size_t i = 0; i < Words().size(); ++i) {
            const std::u16string two = chinese.substr(2 * (i % 3), 2);
            w.push_back(plat::WideToCodePage(two) + Words()[i]);
        }
        return w;
    }();
    return words;
}

std::int64_t MixedCharacterCount()
{
    return CharacterCount() + 2 * static_cast<std::int64_t>(Words().size());
}

void OutlineTexts(benchmark::State& state, const std::vector<std::string>& texts, std::int64_t characters)
{
    Text text;
    std::strcpy(text.m_font_file, "arial.ttf");
    text.m_height = kHeight;
    text.m_width_factor = 1.0;
    CMWordList words;
    for (auto _ : state) {
        for (const std::string& w : texts) {
            std::memset(text.m_text, 0, sizeof text.m_text);
            std::memcpy(text.m_text, w.data(), w.size());
            text.m_x += 1.0;
            g_GetTextOutlineInfo(text, words);
            g_DelWordList(&words);
        }
    }
    state.SetItemsProcessed(state.iterations() * characters);
}

void BM_OutlineMixedTexts(benchmark::State& state)
{
    OutlineTexts(state, MixedWords(), MixedCharacterCount());
}
BENCHMARK(BM_OutlineMixedTexts)->Unit(benchmark::kMillisecond);

int MoveTo(const FT_Vector*, void* n) { return ++*static_cast<int*>(n), 0; }
int LineTo(const FT_Vector*, void* n) { return ++*static_cast<int*>(n), 0; }
int ConicTo(const FT_Vector*, const FT_Vector*, void* n) { return ++*static_cast<int*>(n), 0; }
int CubicTo(const FT_Vector*, const FT_Vector*, const FT_Vector*, void* n) { return ++*static_cast<int*>(n), 0; }

// Faces opened once, each glyph loaded unhinted and its outline decomposed.
class Floor {
public:
    explicit Floor(const std::vector<std::string>& files)
    {
        FT_Init_FreeType(&m_library);
        for (const std::string& f : files) {
            FT_Face face = nullptr;
            if (FT_New_Face(m_library, f.c_str(), 0, &face) != 0) {
                m_ok = false;
                continue;
            }
            FT_Set_Pixel_Sizes(face, 0, 35);
            m_faces.push_back(face);
        }
    }
    ~Floor()
    {
        for (FT_Face f : m_faces)
            FT_Done_Face(f);
        FT_Done_FreeType(m_library);
    }
    bool Ok() const { return m_ok && !m_faces.empty(); }
    // The first face with the character.
    void Load(char32_t c, bool decompose)
    {
        static const FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
        for (FT_Face face : m_faces) {
            const FT_UInt index = FT_Get_Char_Index(face, c);
            if (index == 0 && face != m_faces.back())
                continue;
            FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
            int n = 0;
            if (decompose)
                FT_Outline_Decompose(&face->glyph->outline, &funcs, &n);
            benchmark::DoNotOptimize(n);
            benchmark::DoNotOptimize(face->glyph->outline.n_points);
            return;
        }
    }

private:
    FT_Library m_library = nullptr;
    std::vector<FT_Face> m_faces;
    bool m_ok = true;
};

std::string FileOf(const char* family)
{
    plat::GlyphFontSpec spec;
    spec.faceName = family;
    spec.height = 35;
    plat::GlyphFont font;
    return font.Create(spec) ? font.FilePath() : std::string();
}

void LoadFloor(benchmark::State& state, const std::vector<std::string>& texts, std::int64_t characters,
               bool decompose, bool chinese)
{
    std::vector<std::string> files{FileOf("arial")};
    if (chinese) {
        plat::GlyphFont arial;
        arial.Create(plat::GlyphFontSpec{"arial", 35, 400, false});
        const plat::GlyphFont* cjk = arial.FontFor(U'\u6FC0');
        if (cjk == nullptr) {
            state.SkipWithError("no face for Chinese");
            return;
        }
        files.push_back(cjk->FilePath());
    }
    Floor floor(files);
    if (!floor.Ok()) {
        state.SkipWithError("no face for arial");
        return;
    }
    std::vector<std::u16string> wide;
    for (const std::string& t : texts)
        wide.push_back(plat::CodePageToWide(t));
    for (auto _ : state)
        for (const std::u16string& w : wide)
            for (char16_t c : w)
                floor.Load(c, decompose);
    state.SetItemsProcessed(state.iterations() * characters);
}

void BM_FreeTypeLoadAndDecomposeSameGlyphs(benchmark::State& state)
{
    LoadFloor(state, Words(), CharacterCount(), true, false);
}
BENCHMARK(BM_FreeTypeLoadAndDecomposeSameGlyphs)->Unit(benchmark::kMillisecond);

void BM_FreeTypeLoadAndDecomposeMixedGlyphs(benchmark::State& state)
{
    LoadFloor(state, MixedWords(), MixedCharacterCount(), true, true);
}
BENCHMARK(BM_FreeTypeLoadAndDecomposeMixedGlyphs)->Unit(benchmark::kMillisecond);

} // namespace
