// The text tool on a recording view that answers its font dialog, with
// hand-made outlines or DejaVu Sans. Hand-made at height 500: a glyph unit is
// half a world unit, and the text is mirrored about its box's centre line.
#include "AppTestSupport.h"
#include "app/tools/DocStateDrawText.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/ViewWindow.h"
#include "settings/SoftwareSettings.h"

#include <cmath>
#include <limits>
#include <map>

namespace {

using plat::TTPOLYGON;

TTPOLYGON HandMade() // start (0, 0), one quadratic record (60, 0), (60, 60), (0, 60)
{
    const auto fx = [](int x, int y) { return plat::POINTFX{{0, std::int16_t(x)}, {0, std::int16_t(y)}}; };
    return TTPOLYGON{plat::TT_POLYGON_TYPE, fx(0, 0), {{plat::TT_PRIM_QSPLINE, {fx(60, 0), fx(60, 60), fx(0, 60)}}}};
}

// A code not in the table fails to load; every code asked for is noted.
struct TableGlyphs : CDocStateDrawText::GlyphSource {
    std::map<char32_t, std::vector<TTPOLYGON>> table;
    std::vector<char32_t>* asked;
    bool Outline(char32_t code, std::vector<TTPOLYGON>& polygons) override
    {
        asked->push_back(code);
        const auto it = table.find(code);
        return it != table.end() && (polygons = it->second, true);
    }
};

struct Node {
    double x, y;
    int kind;
    friend bool operator==(const Node&, const Node&) = default;
};

std::vector<Node> NodesOf(const CDocData* obj)
{
    std::vector<Node> nodes;
    for (const DOCNODE* n = obj->m_pNodes; n != nullptr; n = n->m_pNext)
        nodes.push_back({n->m_x, n->m_y, n->m_nKind});
    return nodes;
}

std::vector<CDocData*> ListOf(CDocData* first)
{
    std::vector<CDocData*> list;
    for (; first != nullptr; first = first->m_pNext)
        list.push_back(first);
    return list;
}

constexpr int A = NODE_ANCHOR, I = NODE_CONTROL_IN, O = NODE_CONTROL_OUT;

class TextToolTest : public ::testing::Test {
protected:
    TextToolTest()
    {
        m_settings.SetPaletteAndInterfaceDefaults();
        m_settings.m_nCurLayer = 3;
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_pCurrent = new CDocListNode;
        m_ctx.m_pView = &m_view;
        m_ctx.m_ptMouse = CGeoPoint(500000.0, 500000.0);
        m_tool = std::make_unique<CDocStateDrawText>();
        for (CDocState*& tool : m_ctx.m_pTools)
            tool = m_tool.get();
        m_ctx.m_nTool = TOOL_TEXT;
        CDocStateDrawText::SetGlyphSourceForTesting([this](const std::string& face, std::int32_t em) {
            m_faces.push_back(face + "@" + std::to_string(em));
            auto glyphs = std::make_unique<TableGlyphs>();
            glyphs->table = {{U'A', {HandMade()}}, {U' ', {}}};
            glyphs->table[U'H'] = {TTPOLYGON{plat::TT_POLYGON_TYPE, {}, {{plat::TT_PRIM_LINE, std::vector<plat::POINTFX>(10240)}}}};
            glyphs->asked = &m_asked;
            return glyphs;
        });
    }
    ~TextToolTest() override
    {
        CDocStateDrawText::SetGlyphSourceForTesting(nullptr);
        while (m_ctx.m_pCurrent->m_pOlder != nullptr)
            m_ctx.m_pCurrent = m_ctx.m_pCurrent->m_pOlder;
        CDocState::DeleteHistoryChain(m_ctx.m_pCurrent);
    }
    std::vector<CDocData*> Place(std::u16string text, double height, double spacing = 0.0,
                                 std::u16string face = u"Hand")
    {
        DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
        m_view.m_fontAnswer = plat::FontDialogValues{u"TrueType", std::move(face), std::move(text), height, spacing};
        m_tool->OnLButtonDown(&m_ctx);
        return ListOf(m_ctx.m_pCurrent->m_pFirst);
    }
    static std::vector<Node> Contour(CDocData* character, std::size_t k = 0)
    {
        return NodesOf(ListOf(*character->ChildList()).at(k));
    }
    int Steps() const
    {
        int n = 0;
        for (CDocListNode* s = m_ctx.m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }

    plat::ScratchProgram m_program; // VqFontParam lies in its root
    SoftwareSettings m_settings;
    plat::RecordingView m_view;
    DOCCONTEXT m_ctx;
    std::unique_ptr<CDocStateDrawText> m_tool;
    std::vector<std::string> m_faces;
    std::vector<char32_t> m_asked;
};

} // namespace

// The quadratic record becomes two cubic segments (controls 2/3 of the way
// to the off-curve point), a straight segment closes the outline, and glyph
// (0, 60) lands on the press point. One step, one text of the palette layer,
// fetched at the 9201-pixel em whatever the height, its size shown.
TEST_F(TextToolTest, QuadraticOutlineBecomesOneClosedMirroredContour)
{
    const std::vector<CDocData*> chars = Place(u"A", 500.0);
    EXPECT_EQ(m_faces, std::vector<std::string>{"Hand@9201"});
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0]->GetType(), MT_CHAR);
    CDocData* contour = *chars[0]->ChildList();
    EXPECT_EQ(contour->GetType(), MT_BEZIER);
    EXPECT_EQ(contour->m_pNext, nullptr);
    EXPECT_EQ(contour->m_bClosed, 1);
    EXPECT_EQ(contour->m_nLayer, 3);
    EXPECT_EQ(contour->m_nColor, m_settings.PaletteColor(3));
    const auto at = [](double gx, double gy, int kind) { return Node{500000.0 + gx / 2, 500030.0 - gy / 2, kind}; };
    EXPECT_EQ(NodesOf(contour), (std::vector<Node>{at(0, 0, A), at(40, 0, O), at(60, 10, I), at(60, 30, A),
                                                   at(60, 50, O), at(40, 60, I), at(0, 60, A), at(0, 60, O),
                                                   at(0, 0, I), at(0, 0, A)}));
    EXPECT_EQ(Steps(), 1);
    ASSERT_EQ(m_view.m_sizesShown.size(), 1u);
    EXPECT_EQ(m_view.m_sizesShown[0], (std::vector<double>{500000.0, 500030.0, 500000.0, 500030.0}));
}

// A character starts at the largest x-max before it plus 10 x spacing; a
// space, a glyph that fails to load ('?') or overflows the glyph buffer
// ('H') adds only the spacing. A surrogate pair is one character, a lone
// surrogate is asked for as it is (the face's default glyph).
TEST_F(TextToolTest, CharactersFollowBoxesAndSpacingAndSkippedUnitsStillAdvance)
{
    std::vector<CDocData*> chars = Place(u"AA", 500.0, 2.0);
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(Contour(chars[0])[6].x, 500000.0);
    EXPECT_EQ(Contour(chars[1])[6].x, 500050.0);
    for (const std::u16string text : {u"A A", u"A?A", u"AHA"}) {
        chars = Place(text, 500.0, 2.0);
        ASSERT_EQ(chars.size(), 2u);
        EXPECT_EQ(Contour(chars[1])[6].x, 500070.0);
    }
    m_asked.clear();
    Place(u"A\xD83D\xDE00" u"A\xDC00", 500.0);
    EXPECT_EQ(m_asked, (std::vector<char32_t>{U'A', 0x1F600, U'A', 0xDC00}));
}

// Cancel, an empty kind, face or text, a height below 0.001 mm and values
// that are not finite place nothing and take no step, nor does a text
// without an outline or one whose spacing passes the largest number. The
// dialog starts from the tool's settings, which keep only usable values.
TEST_F(TextToolTest, NothingToPlaceTakesNoStep)
{
    m_tool->OnLButtonDown(&m_ctx); // no answer: Cancel
    const double inf = std::numeric_limits<double>::infinity();
    for (const plat::FontDialogValues& v : {plat::FontDialogValues{u"", u"F", u"A", 10.0, 0.0},
                                            {u"T", u"", u"A", 10.0, 0.0}, {u"T", u"F", u"", 10.0, 0.0},
                                            {u"T", u"F", u"A", 0.0009, 0.0}, {u"T", u"F", u"A", std::nan(""), 0.0},
                                            {u"T", u"F", u"A", inf, 0.0}, {u"T", u"F", u"A", 10.0, -inf}}) {
        m_view.m_fontAnswer = v;
        m_tool->OnLButtonDown(&m_ctx);
    }
    ASSERT_EQ(m_view.m_fontDialogs.size(), 8u);
    EXPECT_EQ(m_view.m_fontDialogs[7], (plat::FontDialogValues{u"TrueType", u"Arial", u"激光Laser", 10.0, 0.0}));
    EXPECT_TRUE(m_faces.empty());
    EXPECT_TRUE(Place(u"   ", 10.0).empty());
    EXPECT_TRUE(Place(u"AA", 10.0, 1e308).empty());
    CDocStateDrawText::SetGlyphSourceForTesting([](const std::string&, std::int32_t) { return nullptr; });
    EXPECT_TRUE(Place(u"A", 10.0).empty()); // no face to be had
    EXPECT_EQ(m_faces.size(), 2u);
    EXPECT_EQ(Steps(), 0);
}

// The tool starts from VqFontParam and writes what it last used when it
// goes, so a 0.5 mm height survives.
TEST_F(TextToolTest, SettingsComeFromTheFileAndGoBackToIt)
{
    Place(u"AA", 0.5, 1.25, u"Face");
    m_tool.reset();
    std::string bytes;
    ASSERT_TRUE(plat::ReadWholeFile(m_program.Root() + "VqFontParam", bytes));
    EXPECT_EQ(bytes, "m_font_type\r\nTrueType\r\nm_font_name\r\n0046006100630065\r\nm_font_text\r\n00410041\r\n"
                     "m_font_high\r\n0.500000\r\nm_font_inter\r\n1.250000\r\n");
    CDocStateDrawText again;
    EXPECT_EQ(again.m_font_name, u"Face");
    EXPECT_EQ(again.m_font_high, 0.5);
    EXPECT_EQ(again.m_font_inter, 1.25);
}

// DejaVu Sans: letters sit against the box of the letter before whatever
// the advance widths; heights 5 and 50 give the same outline at two scales;
// D gives two closed contours whose straight stems have their controls on
// their anchors.
TEST_F(TextToolTest, DejaVuLettersPlaceByBoxesScaleWithHeightAndKeepLinesStraight)
{
    CDocStateDrawText::SetGlyphSourceForTesting(nullptr);
    std::vector<CDocData*> chars = Place(u"AB", 50.0, 0.0, u"DejaVu Sans");
    ASSERT_EQ(chars.size(), 2u);
    const std::vector<Node> bInText = Contour(chars[1]);
    m_ctx.m_ptMouse.m_x = chars[0]->GetBoundRect().m_xmax;
    chars = Place(u"B", 50.0, 0.0, u"DejaVu Sans");
    const std::vector<Node> bAlone = Contour(chars.at(0));
    ASSERT_EQ(bAlone.size(), bInText.size());
    for (std::size_t k = 0; k < bAlone.size(); ++k)
        EXPECT_NEAR(bAlone[k].x, bInText[k].x, 1e-6) << k;

    m_ctx.m_ptMouse = CGeoPoint(500000.0, 500000.0);
    const std::vector<Node> small = Contour(Place(u"S", 5.0, 0.0, u"DejaVu Sans").at(0));
    const std::vector<Node> large = Contour(Place(u"S", 50.0, 0.0, u"DejaVu Sans").at(0));
    ASSERT_EQ(small.size(), large.size());
    for (std::size_t k = 0; k < small.size(); ++k) {
        EXPECT_NEAR(large[k].x - 500000.0, 10.0 * (small[k].x - 500000.0), 1e-6) << k;
        EXPECT_NEAR(large[k].y - 500000.0, 10.0 * (small[k].y - 500000.0), 1e-6) << k;
    }

    chars = Place(u"D", 50.0, 0.0, u"DejaVu Sans");
    ASSERT_EQ(ListOf(*chars.at(0)->ChildList()).size(), 2u);
    const double tall = chars[0]->GetBoundRect().Height();
    for (std::size_t c = 0; c < 2; ++c) {
        const std::vector<Node> nodes = Contour(chars[0], c);
        ASSERT_EQ(nodes.size() % 3, 1u);
        EXPECT_TRUE(nodes.front().x == nodes.back().x && nodes.front().y == nodes.back().y);
        int stems = 0;
        for (std::size_t k = 0; k + 3 < nodes.size(); k += 3) {
            ASSERT_TRUE(nodes[k].kind == A && nodes[k + 1].kind == O && nodes[k + 2].kind == I) << k;
            const Node& a = nodes[k];
            const Node& b = nodes[k + 3];
            if (a.x == b.x && std::fabs(a.y - b.y) > tall / 2) {
                ++stems;
                EXPECT_EQ(nodes[k + 1], (Node{a.x, a.y, O}));
                EXPECT_EQ(nodes[k + 2], (Node{b.x, b.y, I}));
            }
        }
        EXPECT_GE(stems, 1);
    }
    EXPECT_EQ(Steps(), 5);
}

// The default text in the default face (Arial is Liberation Sans, without
// Chinese): the two Chinese characters are the CJK face's own outlines, not
// boxes; characters that no face has are left out and named once, in one
// message, however many there are.
TEST_F(TextToolTest, CharactersTheFaceLacksComeFromAnotherFaceOrAreNamedOnce)
{
    CDocStateDrawText::SetGlyphSourceForTesting(nullptr);
    plat::ScopedRecordingPrompt prompt;
    plat::GlyphFont arial;
    ASSERT_TRUE(arial.Create(plat::GlyphFontSpec{"Arial", -CDocStateDrawText::kEmPixels, 400, false}));
    std::vector<TTPOLYGON> box;
    plat::GLYPHMETRICS metrics;
    ASSERT_TRUE(arial.GetGlyphOutline(U'\u6FC0', metrics, &box)); // the face's own default glyph
    const plat::GlyphFont* cjk = arial.FontFor(U'\u6FC0');
    if (cjk == nullptr)
        GTEST_SKIP() << "needs a CJK face";
    std::vector<CDocData*> chars = Place(u"\u6FC0\u5149Laser", 10.0, 0.0, u"Arial");
    ASSERT_EQ(chars.size(), 7u);
    for (int k = 0; k < 2; ++k) {
        std::vector<TTPOLYGON> own;
        ASSERT_TRUE(cjk->GetGlyphOutline(k == 0 ? U'\u6FC0' : U'\u5149', metrics, &own));
        const std::size_t contours = ListOf(*chars[k]->ChildList()).size();
        EXPECT_EQ(contours, own.size()) << k;
        EXPECT_NE(contours, box.size()) << k;
    }
    EXPECT_TRUE(prompt.m_prompt.m_shown.empty());

    // 100,000 characters of the private planes, in no face: nothing to
    // place, and one message naming the first of them once.
    std::u16string none;
    for (char32_t c = 0xF0000; c < 0xF0000 + 100000; ++c) {
        none += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        none += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    const int steps = Steps();
    EXPECT_TRUE(Place(u"A\U000F0000B" + none, 10.0, 0.0, u"Arial").size() == 2u);
    EXPECT_EQ(Steps(), steps + 1);
    ASSERT_EQ(prompt.m_prompt.m_shown.size(), 1u);
    const std::u16string& text = prompt.m_prompt.m_shown[0].text;
    const std::size_t first = text.find(u"U+F0000");
    ASSERT_NE(first, std::u16string::npos);
    EXPECT_EQ(text.find(u"U+F0000", first + 1), std::u16string::npos);
    EXPECT_NE(text.find(u"U+F003F"), std::u16string::npos);
    EXPECT_EQ(text.find(u"U+F0040"), std::u16string::npos); // 64 named, then "…"
}
