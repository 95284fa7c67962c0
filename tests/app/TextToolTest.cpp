// The text tool on a recording view that answers its font dialog. Outlines
// come from hand-made polygons or from DejaVu Sans. Hand-made: a glyph unit
// is height / 1000 world units, so height 500 halves it; the glyph y axis
// runs up and the placed text is mirrored about its box's centre line.
#include "AppTestSupport.h"
#include "app/tools/DocStateDrawText.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/ViewWindow.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using plat::TTPOLYGON;

plat::POINTFX Fx(int x, int y)
{
    plat::POINTFX p;
    p.x.value = static_cast<std::int16_t>(x);
    p.y.value = static_cast<std::int16_t>(y);
    return p;
}

// Start (0, 0) and one quadratic record (60, 0), (60, 60), (0, 60).
TTPOLYGON HandMade()
{
    TTPOLYGON p;
    p.pfxStart = Fx(0, 0);
    p.curves.push_back({plat::TT_PRIM_QSPLINE, {Fx(60, 0), Fx(60, 60), Fx(0, 60)}});
    return p;
}

// Answers from a table: a code not in it fails to load; codes asked for are
// noted.
class TableGlyphs : public CDocStateDrawText::GlyphSource {
public:
    TableGlyphs(std::map<char32_t, std::vector<TTPOLYGON>> table, std::vector<char32_t>* asked)
        : m_table(std::move(table)), m_asked(asked)
    {
    }
    bool Outline(char32_t code, std::vector<TTPOLYGON>& polygons) override
    {
        if (m_asked != nullptr)
            m_asked->push_back(code);
        const auto it = m_table.find(code);
        if (it == m_table.end())
            return false;
        polygons = it->second;
        return true;
    }

private:
    std::map<char32_t, std::vector<TTPOLYGON>> m_table;
    std::vector<char32_t>* m_asked;
};

struct Node {
    double x;
    double y;
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
    }
    ~TextToolTest() override
    {
        CDocStateDrawText::SetGlyphSourceForTesting(nullptr);
        CDocListNode* oldest = m_ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
    }

    void UseGlyphs(std::map<char32_t, std::vector<TTPOLYGON>> table)
    {
        CDocStateDrawText::SetGlyphSourceForTesting(
            [this, table](const std::string& face, std::int32_t em) -> std::unique_ptr<CDocStateDrawText::GlyphSource> {
                m_faces.push_back(face);
                m_ems.push_back(em);
                return std::make_unique<TableGlyphs>(table, &m_asked);
            });
    }
    void Place(std::u16string text, double height, double spacing = 0.0, std::u16string face = u"Hand")
    {
        m_view.m_fontAnswer = plat::FontDialogValues{u"TrueType", std::move(face), std::move(text), height, spacing};
        m_tool->OnLButtonDown(&m_ctx);
    }
    // The texts placed, in list order.
    std::vector<CDocData*> Chars() const
    {
        std::vector<CDocData*> chars;
        for (CDocData* o = m_ctx.m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
            chars.push_back(o);
        return chars;
    }
    static std::vector<CDocData*> Contours(CDocData* character)
    {
        std::vector<CDocData*> contours;
        for (CDocData* c = *character->ChildList(); c != nullptr; c = c->m_pNext)
            contours.push_back(c);
        return contours;
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
    std::vector<std::int32_t> m_ems;
    std::vector<char32_t> m_asked;
};

constexpr int A = NODE_ANCHOR;
constexpr int I = NODE_CONTROL_IN;
constexpr int O = NODE_CONTROL_OUT;

} // namespace

// The quadratic record becomes two cubic segments (controls at 2/3 towards
// the off-curve point), the outline closes with a straight segment, and the y
// mirror puts glyph (0, 60) on the press point. One undo step, one text
// object of the palette layer, selected, its size shown.
TEST_F(TextToolTest, QuadraticOutlineBecomesOneClosedMirroredContour)
{
    UseGlyphs({{U'A', {HandMade()}}});
    Place(u"A", 500.0);
    ASSERT_EQ(m_faces, std::vector<std::string>{"Hand"});
    EXPECT_EQ(m_ems, std::vector<std::int32_t>{9201});
    const std::vector<CDocData*> chars = Chars();
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0]->GetType(), MT_CHAR);
    EXPECT_EQ(chars[0]->IsSelected(), 1);
    const std::vector<CDocData*> contours = Contours(chars[0]);
    ASSERT_EQ(contours.size(), 1u);
    EXPECT_EQ(contours[0]->GetType(), MT_BEZIER);
    EXPECT_EQ(contours[0]->m_bClosed, 1);
    EXPECT_EQ(contours[0]->m_nLayer, 3);
    EXPECT_EQ(contours[0]->m_nColor, m_settings.PaletteColor(3));
    // Glyph (gx, gy) lands at (500000 + gx / 2, 500030 - gy / 2).
    const auto at = [](double gx, double gy, int kind) { return Node{500000.0 + gx / 2, 500030.0 - gy / 2, kind}; };
    EXPECT_EQ(NodesOf(contours[0]), (std::vector<Node>{at(0, 0, A), at(40, 0, O), at(60, 10, I), at(60, 30, A),
                                                       at(60, 50, O), at(40, 60, I), at(0, 60, A), at(0, 60, O),
                                                       at(0, 0, I), at(0, 0, A)}));
    EXPECT_EQ(Steps(), 1);
    ASSERT_EQ(m_view.m_sizesShown.size(), 1u);
    EXPECT_EQ(m_view.m_sizesShown[0], (std::vector<double>{500000.0, 500030.0, 500000.0, 500030.0}));
}

// Each character starts at the largest x-max before it plus 10 x spacing;
// a unit without an outline (a space, one that fails to load, one too
// large for the glyph buffer) adds only the spacing. A surrogate pair is one
// character; a lone surrogate is asked for as it is.
TEST_F(TextToolTest, CharactersFollowBoxesAndSpacingAndSkippedUnitsStillAdvance)
{
    TTPOLYGON huge;
    huge.pfxStart = Fx(0, 0);
    huge.curves.push_back({plat::TT_PRIM_LINE, std::vector<plat::POINTFX>(10240, Fx(1, 1))});
    UseGlyphs({{U'A', {HandMade()}}, {U' ', {}}, {U'H', {huge}}});
    const auto firstAnchorX = [](CDocData* c) { return NodesOf(Contours(c)[0])[6].x; };

    Place(u"AA", 500.0, 2.0);
    std::vector<CDocData*> chars = Chars();
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(firstAnchorX(chars[0]), 500000.0);
    EXPECT_EQ(firstAnchorX(chars[1]), 500050.0);

    for (const std::u16string text : {u"A A", u"A?A", u"AHA"}) {
        DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
        Place(text, 500.0, 2.0);
        chars = Chars();
        ASSERT_EQ(chars.size(), 2u);
        EXPECT_EQ(firstAnchorX(chars[1]), 500070.0) << std::string(text.begin(), text.end());
    }

    m_asked.clear();
    Place(u"A\xD83D\xDE00" u"A\xDC00", 500.0);
    EXPECT_EQ(m_asked, (std::vector<char32_t>{U'A', 0x1F600, U'A', 0xDC00}));
}

// Cancel, an empty kind, face or text, a height below 0.001 mm and values
// that are not finite place nothing and take no step; so does a text
// without an outline, and one whose spacing would carry it beyond the
// largest number. The tool keeps only values it could use.
TEST_F(TextToolTest, NothingToPlaceTakesNoStep)
{
    UseGlyphs({{U'A', {HandMade()}}, {U' ', {}}});
    m_tool->OnLButtonDown(&m_ctx); // no answer: Cancel
    ASSERT_EQ(m_view.m_fontDialogs.size(), 1u);
    EXPECT_EQ(m_view.m_fontDialogs[0], (plat::FontDialogValues{u"TrueType", u"Arial", u"激光Laser", 10.0, 0.0}));

    const double inf = std::numeric_limits<double>::infinity();
    const plat::FontDialogValues refused[] = {
        {u"", u"Hand", u"A", 10.0, 0.0},  {u"TrueType", u"", u"A", 10.0, 0.0},
        {u"TrueType", u"Hand", u"", 10.0, 0.0}, {u"TrueType", u"Hand", u"A", 0.0009, 0.0},
        {u"TrueType", u"Hand", u"A", std::nan(""), 0.0}, {u"TrueType", u"Hand", u"A", inf, 0.0},
        {u"TrueType", u"Hand", u"A", 10.0, -inf},
    };
    for (const plat::FontDialogValues& v : refused) {
        m_view.m_fontAnswer = v;
        m_tool->OnLButtonDown(&m_ctx);
    }
    EXPECT_TRUE(m_faces.empty());
    EXPECT_EQ(m_tool->m_font_name, u"Arial");
    EXPECT_EQ(m_tool->m_font_high, 10.0);

    Place(u"   ", 10.0);
    Place(u"AA", 10.0, 1e308);
    EXPECT_EQ(m_faces.size(), 2u);
    EXPECT_EQ(Chars().size(), 0u);
    EXPECT_EQ(Steps(), 0);

    // No face to be had: nothing either.
    CDocStateDrawText::SetGlyphSourceForTesting(
        [](const std::string&, std::int32_t) { return std::unique_ptr<CDocStateDrawText::GlyphSource>(); });
    Place(u"A", 10.0);
    EXPECT_EQ(Steps(), 0);
}

// The tool starts from VqFontParam and writes what it last used when it
// goes, so a 0.5 mm height survives; an unreadable file keeps the defaults.
TEST_F(TextToolTest, SettingsComeFromTheFileAndGoBackToIt)
{
    UseGlyphs({{U'A', {HandMade()}}});
    Place(u"AA", 0.5, 1.25, u"Liberation Sans");
    m_tool.reset();
    std::string bytes;
    ASSERT_TRUE(plat::ReadWholeFile(m_program.Root() + "VqFontParam", bytes));
    EXPECT_EQ(bytes, "m_font_type\r\nTrueType\r\n"
                     "m_font_name\r\n004c0069006200650072006100740069006f006e002000530061006e0073\r\n"
                     "m_font_text\r\n00410041\r\nm_font_high\r\n0.500000\r\nm_font_inter\r\n1.250000\r\n");
    CDocStateDrawText again;
    EXPECT_EQ(again.m_font_name, u"Liberation Sans");
    EXPECT_EQ(again.m_font_text, u"AA");
    EXPECT_EQ(again.m_font_high, 0.5);
    EXPECT_EQ(again.m_font_inter, 1.25);

    m_program.Write("VqFontParam", "");
    std::filesystem::permissions(m_program.Root() + "VqFontParam", std::filesystem::perms::none);
    CDocStateDrawText defaults;
    std::filesystem::permissions(m_program.Root() + "VqFontParam", std::filesystem::perms::owner_all);
    if (::geteuid() != 0) { // root reads it anyway
        EXPECT_EQ(defaults.m_font_name, u"Arial");
        EXPECT_EQ(defaults.m_font_text, u"激光Laser");
    }
    EXPECT_EQ(defaults.m_font_high, 10.0);
}

// DejaVu Sans through the platform's outlines: letters sit against the box
// of the letter before, whatever the advance widths; heights scale the
// outline exactly; D closes its two contours with straight segments whose
// controls sit on their anchors.
TEST_F(TextToolTest, DejaVuLettersPlaceByBoxesScaleWithHeightAndKeepLinesStraight)
{
    Place(u"AB", 50.0, 0.0, u"DejaVu Sans");
    std::vector<CDocData*> chars = Chars();
    ASSERT_EQ(chars.size(), 2u);
    const double aRight = chars[0]->GetBoundRect().m_xmax;
    std::vector<double> bInText;
    for (CDocData* c : Contours(chars[1]))
        for (const Node& n : NodesOf(c))
            bInText.push_back(n.x);
    DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
    m_ctx.m_ptMouse.m_x = aRight;
    Place(u"B", 50.0, 0.0, u"DejaVu Sans");
    chars = Chars();
    ASSERT_EQ(chars.size(), 1u);
    std::vector<double> bAlone;
    for (CDocData* c : Contours(chars[0]))
        for (const Node& n : NodesOf(c))
            bAlone.push_back(n.x);
    ASSERT_EQ(bAlone.size(), bInText.size());
    for (std::size_t k = 0; k < bAlone.size(); ++k)
        EXPECT_NEAR(bAlone[k], bInText[k], 1e-6) << k;

    m_ctx.m_ptMouse = CGeoPoint(500000.0, 500000.0);
    std::vector<std::vector<Node>> bySize;
    for (double height : {5.0, 50.0}) {
        DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
        Place(u"S", height, 0.0, u"DejaVu Sans");
        ASSERT_EQ(Chars().size(), 1u);
        bySize.push_back(NodesOf(Contours(Chars()[0])[0]));
    }
    ASSERT_EQ(bySize[0].size(), bySize[1].size());
    ASSERT_GT(bySize[0].size(), 10u);
    for (std::size_t k = 0; k < bySize[0].size(); ++k) {
        EXPECT_NEAR((bySize[1][k].x - 500000.0), 10.0 * (bySize[0][k].x - 500000.0), 1e-6) << k;
        EXPECT_NEAR((bySize[1][k].y - 500000.0), 10.0 * (bySize[0][k].y - 500000.0), 1e-6) << k;
    }

    DeleteObjectList(m_ctx.m_pCurrent->m_pFirst);
    Place(u"D", 50.0, 0.0, u"DejaVu Sans");
    ASSERT_EQ(Chars().size(), 1u);
    const std::vector<CDocData*> contours = Contours(Chars()[0]);
    ASSERT_EQ(contours.size(), 2u);
    const double tall = Chars()[0]->GetBoundRect().Height();
    for (CDocData* c : contours) {
        EXPECT_EQ(c->m_bClosed, 1);
        const std::vector<Node> nodes = NodesOf(c);
        ASSERT_EQ(nodes.size() % 3, 1u);
        EXPECT_EQ(nodes.front().x, nodes.back().x);
        EXPECT_EQ(nodes.front().y, nodes.back().y);
        int stems = 0;
        for (std::size_t k = 0; k + 3 < nodes.size(); k += 3) {
            ASSERT_EQ(nodes[k].kind, A);
            ASSERT_EQ(nodes[k + 1].kind, O);
            ASSERT_EQ(nodes[k + 2].kind, I);
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
