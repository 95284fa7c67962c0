// The shared library as the main program sees it: three functions bound by
// name, words released only through the library.
#include "TextRecordFields.h"
#include "platform/GlyphFont.h"
#include "textoutline/Letrova.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <string>

namespace {

using plat::SetField;

class LetrovaLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_handle = ::dlopen(LETROVA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_handle, nullptr) << ::dlerror();
        m_text = reinterpret_cast<decltype(m_text)>(::dlsym(m_handle, "g_GetTextOutlineInfo"));
        m_mtext = reinterpret_cast<decltype(m_mtext)>(::dlsym(m_handle, "g_GetMTextOutlineInfo"));
        m_del = reinterpret_cast<decltype(m_del)>(::dlsym(m_handle, "g_DelWordList"));
    }
    void TearDown() override
    {
        if (m_handle != nullptr)
            ::dlclose(m_handle);
    }

    void* m_handle = nullptr;
    int (*m_text)(Text, CMWordList&) = nullptr;
    int (*m_mtext)(MText, CMWordList&) = nullptr;
    void (*m_del)(CMWordList*) = nullptr;
};

CMWord* MakeWord(int contours)
{
    auto* word = new CMWord;
    for (int i = 0; i < contours; ++i) {
        auto* line = new COutLine;
        line->m_closed = 1;
        line->m_points.resize(5);
        word->m_lines.push_back(line);
    }
    return word;
}

Text MakeText(const char* text, const char* font)
{
    Text t;
    SetField(t.m_text, text);
    SetField(t.m_font_file, font);
    t.m_height = 10.0;
    t.m_width_factor = 1.0;
    return t;
}

// Mappings of the file in this process: FreeType maps a face's file while
// the face is open.
int MappingsOf(const std::string& path)
{
    std::ifstream maps("/proc/self/maps");
    int n = 0;
    for (std::string line; std::getline(maps, line);)
        if (line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0)
            ++n;
    return n;
}

double FirstX(const CMWord* word)
{
    return word->m_lines.at(0)->m_points.at(0).m_x;
}

} // namespace

TEST_F(LetrovaLibrary, ExportsAreFoundByTheirPlainNames)
{
    EXPECT_NE(m_text, nullptr);
    EXPECT_NE(m_mtext, nullptr);
    EXPECT_NE(m_del, nullptr);
    // Internals stay hidden.
    EXPECT_EQ(::dlsym(m_handle, "DestroyWord"), nullptr);
    EXPECT_EQ(::dlsym(m_handle, "_Z12DoublesEqualdd"), nullptr);
}

TEST_F(LetrovaLibrary, OutlineCallsLeaveWordsAlreadyInTheList)
{
    ASSERT_NE(m_text, nullptr);
    CMWordList words;
    CMWord* first = MakeWord(1);
    words.push_back(first);
    Text t;
    t.m_height = 10.0;
    EXPECT_EQ(m_text(t, words), 0);
    EXPECT_EQ(m_mtext(MText(), words), 0);
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words.front(), first);
    m_del(&words);
}

TEST_F(LetrovaLibrary, DelWordListDestroysEveryWordAndEmptiesTheList)
{
    ASSERT_NE(m_del, nullptr);
    CMWordList words;
    words.push_back(MakeWord(2));
    words.push_back(MakeWord(0));
    words.push_back(MakeWord(3));
    // The sanitizer build reports any contour or word left behind.
    m_del(&words);
    EXPECT_TRUE(words.empty());
    m_del(&words);
    EXPECT_TRUE(words.empty());
    m_del(nullptr);
}

TEST_F(LetrovaLibrary, TextGivesOneWordPerCharacterAndCallsAppend)
{
    ASSERT_NE(m_text, nullptr);
    CMWordList words;
    EXPECT_EQ(m_text(MakeText("A B", "DejaVuSans.ttf"), words), 0);
    ASSERT_EQ(words.size(), 3u);
    auto it = words.begin();
    const CMWord* a = *it++;
    const CMWord* space = *it++;
    const CMWord* b = *it;
    EXPECT_FALSE(a->m_lines.empty());
    EXPECT_TRUE(space->m_lines.empty());
    EXPECT_EQ(a->m_lines[0]->m_closed, 1);
    EXPECT_LT(FirstX(a), FirstX(b));
    // A second call appends behind the first text's words.
    EXPECT_EQ(m_text(MakeText("B", "DejaVuSans.ttf"), words), 0);
    ASSERT_EQ(words.size(), 4u);
    EXPECT_EQ(words.front(), a);
    // It starts again at the insertion point.
    EXPECT_LT(FirstX(words.back()), FirstX(b));
    m_del(&words);
    EXPECT_TRUE(words.empty());
}

TEST_F(LetrovaLibrary, EmptyFontNameIsArialAndAnUnknownFontTheDefaultFace)
{
    ASSERT_NE(m_text, nullptr);
    CMWordList words;
    m_text(MakeText("AB", ""), words);
    EXPECT_EQ(words.size(), 2u);
    m_del(&words);
    // The usual CAD fonts, not installed: no text is lost.
    for (const char* font : {"romans.fnt", "txt", "romans.shx", "simplex", "../../etc/passwd", "/tmp/"}) {
        m_text(MakeText("AB", font), words);
        ASSERT_EQ(words.size(), 2u) << font;
        EXPECT_FALSE(words.front()->m_lines.empty()) << font;
        m_del(&words);
    }
}

TEST_F(LetrovaLibrary, FaceIsTheFontFilesBaseNameWithoutFolderOrExtension)
{
    ASSERT_NE(m_text, nullptr);
    // times is served by a serif face, unlike the default sans face that a
    // name with its folder still attached would get.
    auto firstPoint = [&](const char* font) {
        CMWordList words;
        m_text(MakeText("H", font), words);
        const CSuPoint p = words.empty() || words.front()->m_lines.empty() ? CSuPoint() : words.front()->m_lines[0]->m_points.at(0);
        m_del(&words);
        return p;
    };
    const CSuPoint times = firstPoint("times.ttf");
    const CSuPoint sans = firstPoint("DejaVuSans.ttf");
    EXPECT_NE(times.m_x, sans.m_x);
    for (const char* font : {"C:\\Fonts\\times.ttf", "/usr/share/fonts/times.TTF", "D:times.ttf"}) {
        const CSuPoint p = firstPoint(font);
        EXPECT_EQ(p.m_x, times.m_x) << font;
        EXPECT_EQ(p.m_y, times.m_y) << font;
    }
    // An empty name is arial.ttf.
    const CSuPoint arial = firstPoint("arial.ttf");
    EXPECT_NE(arial.m_x, sans.m_x);
    EXPECT_EQ(firstPoint("").m_x, arial.m_x);
}

TEST_F(LetrovaLibrary, MTextPutsTheAdditionalTextFirst)
{
    ASSERT_NE(m_mtext, nullptr);
    MText m;
    SetField(m.m_font_file, "DejaVuSans.ttf");
    SetField(m.m_text_more, "AB");
    SetField(m.m_text, "CD");
    m.m_height = 10.0;
    m.m_line_spacing = 1.0;
    CMWordList words;
    EXPECT_EQ(m_mtext(m, words), 0);
    ASSERT_EQ(words.size(), 4u);
    CMWordList same;
    SetField(m.m_text_more, "");
    SetField(m.m_text, "ABCD");
    m_mtext(m, same);
    ASSERT_EQ(same.size(), 4u);
    auto w = words.begin();
    for (auto s = same.begin(); s != same.end(); ++s, ++w) {
        ASSERT_EQ((*w)->m_lines.size(), (*s)->m_lines.size());
        EXPECT_EQ(FirstX(*w), FirstX(*s));
    }
    m_del(&words);
    m_del(&same);
}

TEST_F(LetrovaLibrary, FacesKeptForLaterTextsAreClosedWhenTheLibraryUnloads)
{
    std::string path;
    {
        plat::GlyphFont font;
        ASSERT_TRUE(font.Create(plat::GlyphFontSpec{"DejaVu Sans", -20, 400, false}));
        path = font.FilePath();
    }
    const int before = MappingsOf(path);
    CMWordList words;
    m_text(MakeText("H", "DejaVu Sans.ttf"), words);
    m_text(MakeText("H", "DejaVu Sans.ttf"), words);
    m_del(&words);
    // One face, kept after both calls.
    EXPECT_EQ(MappingsOf(path), before + 1);
    ASSERT_EQ(::dlclose(m_handle), 0);
    m_handle = nullptr;
    EXPECT_EQ(MappingsOf(path), before);
}
