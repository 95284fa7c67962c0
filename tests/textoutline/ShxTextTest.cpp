// Single-line text in shape fonts, from small font files laid into a scratch
// shx/ folder beside the program. A text at the drawing origin starts its pen
// at (20000, 20000); a shape point (x, y) lands at (pen x + x, pen y - y) and
// is then scaled by (height x 10 / reference height) x 0.5 about the left edge
// and the pen's y.
#include "TextRecordFields.h"
#include "ShxBytes.h"
#include "platform/FontNotices.h"
#include "textoutline/Letrova.h"
#include "textoutline/OutlineMath.h"
#include "textoutline/ShapeText.h"
#include "textoutline/Text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <numbers>

namespace {

using plat::SetField;
using plat::kEps;

using plat::Bytes;

// 'A': length 4 right, then length 3 up: lines (0,0)-(8,0) and (8,0)-(8,6).
// 'B': the same after a pen-up move of 4 to the right.
Bytes TestFont(bool withInfo = false)
{
    std::vector<plat::ShxShape> shapes;
    if (withInfo)
        shapes.push_back({0, "test", {4, 2, 0, 0}});
    shapes.push_back({'A', "A", {0x40, 0x34, 0x00}});
    shapes.push_back({'B', "B", {0x02, 0x20, 0x01, 0x40, 0x00}});
    return plat::ShapeFontBytes(shapes);
}

// Double-byte 81 40: length 4 right.
Bytes TestBigFont()
{
    return plat::BigFontBytes({{0x81, 0xFE}}, {{0x8140, "", {0x40, 0x00}}});
}

Text MakeText(const char* text, const char* font, double height = 1.0, double widthFactor = 1.0)
{
    Text t;
    SetField(t.m_text, text);
    SetField(t.m_font_file, font);
    t.m_height = height;
    t.m_width_factor = widthFactor;
    return t;
}

CText OutlineShx(const Text& t)
{
    CText text(t);
    text.OutlineShx(text.m_font_file, text.m_bigfont_file);
    return text;
}

void ExpectPoint(const CSuPoint& p, double x, double y)
{
    EXPECT_NEAR(p.m_x, x, kEps);
    EXPECT_NEAR(p.m_y, y, kEps);
}

// Shapes drawing A's two lines, then scaling up by 255^127 x n and drawing
// one more vector from A's corner: R (n 4) straight up, whose end overflows
// when scaled to height 100; S (n 3) up and right, whose end is finite at
// height 100 and overflows when turned by 30 degrees; T (n 2) right, whose
// end overflows when stretched by 2.
Bytes RunawayFont()
{
    auto runaway = [](std::uint8_t n, std::uint8_t vector) {
        Bytes codes = {0x40, 0x34};
        for (int i = 0; i < 127; ++i) {
            codes.push_back(4);
            codes.push_back(255);
        }
        codes.insert(codes.end(), {4, n, vector, 0});
        return codes;
    };
    return plat::ShapeFontBytes({{'R', "R", runaway(4, 0x14)}, {'S', "S", runaway(3, 0x12)}, {'T', "T", runaway(2, 0x10)}});
}

bool AllFinite(const CMWordList& words)
{
    for (const CMWord* w : words)
        for (const COutLine* line : w->m_lines)
            for (const CSuPoint& p : line->m_points)
                if (!std::isfinite(p.m_x) || !std::isfinite(p.m_y))
                    return false;
    return true;
}

class ShxText : public ::testing::Test {
protected:
    plat::ScratchProgramFolder m_folder;
};

} // namespace

TEST_F(ShxText, OneCharacterAtHeightOneIsScaledByTheDefaultReferenceHeight)
{
    m_folder.Write("shx/test.shx", TestFont());
    const CText text = OutlineShx(MakeText("AA", "test.shx"));
    ASSERT_EQ(text.m_chars.size(), 2u);
    // Factor 10 / 8 x 0.5 = 0.625.
    const auto& a = text.m_chars[0].m_contours;
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].m_closed, 0);
    ASSERT_EQ(a[0].m_points.size(), 2u);
    ExpectPoint(a[0].m_points[0], 20000.0, 20000.0);
    ExpectPoint(a[0].m_points[1], 20005.0, 20000.0);
    ExpectPoint(a[1].m_points[0], 20005.0, 20000.0);
    ExpectPoint(a[1].m_points[1], 20005.0, 19996.25);
    // The box is 5 wide: the next pen is 5 + 10 / 3 further right.
    const auto& second = text.m_chars[1].m_contours;
    ASSERT_EQ(second.size(), 2u);
    ExpectPoint(second[0].m_points[0], 20000.0 + 5.0 + 10.0 / 3.0, 20000.0);
    ExpectPoint(second[1].m_points[1], 20010.0 + 10.0 / 3.0, 19996.25);
}

TEST_F(ShxText, InformationShapeSetsTheReferenceHeight)
{
    m_folder.Write("shx/test.shx", TestFont(true));
    // Height 4: factor 10 / 4 x 0.5 = 1.25.
    const CText text = OutlineShx(MakeText("A", "test.shx", 1.0));
    ASSERT_EQ(text.m_chars.size(), 1u);
    ExpectPoint(text.m_chars[0].m_contours[0].m_points[1], 20010.0, 20000.0);
    ExpectPoint(text.m_chars[0].m_contours[1].m_points[1], 20010.0, 19992.5);
}

TEST_F(ShxText, ScalingKeepsTheLeftEdgeWhereTheShapePutIt)
{
    m_folder.Write("shx/test.shx", TestFont());
    // B's line starts 4 right of the pen; that edge stays, the rest shrinks.
    const CText text = OutlineShx(MakeText("B", "test.shx"));
    ASSERT_EQ(text.m_chars.size(), 1u);
    ASSERT_EQ(text.m_chars[0].m_contours.size(), 1u);
    ExpectPoint(text.m_chars[0].m_contours[0].m_points[0], 20004.0, 20000.0);
    ExpectPoint(text.m_chars[0].m_contours[0].m_points[1], 20009.0, 20000.0);
}

TEST_F(ShxText, WidthFactorStretchesTheCharacterAndItsAdvance)
{
    m_folder.Write("shx/test.shx", TestFont());
    const CText text = OutlineShx(MakeText("AA", "test.shx", 1.0, 2.0));
    ASSERT_EQ(text.m_chars.size(), 2u);
    ExpectPoint(text.m_chars[0].m_contours[0].m_points[1], 20010.0, 20000.0);
    ExpectPoint(text.m_chars[0].m_contours[1].m_points[1], 20010.0, 19996.25);
    ExpectPoint(text.m_chars[1].m_contours[0].m_points[0], 20010.0 + 10.0 / 3.0, 20000.0);
}

TEST_F(ShxText, WhatTheFontsLackComesFromTheDefaultFace)
{
    ASSERT_EQ(plat::DefaultFace(), "DejaVu Sans");
    m_folder.Write("shx/test.shx", TestFont());
    m_folder.Write("shx/big.shx", TestBigFont());
    plat::TakeFontNotices();
    // H is not in the font: DejaVu Sans's H at height 1, 10 units high with
    // a font unit of 10 / 1493, from its left bearing of 201 units; the pen
    // then moves by its advance of 1540 units, and A follows there.
    constexpr double unit = 10.0 / 1493.0;
    CText text = OutlineShx(MakeText("HA", "test.shx"));
    ASSERT_EQ(text.m_chars.size(), 2u);
    const plat::RECT h = text.m_chars[0].BoundingBox();
    EXPECT_EQ(h.left, NearestInt32(20000.0 + 201 * unit));
    EXPECT_EQ(h.right, NearestInt32(20000.0 + 1339 * unit));
    EXPECT_EQ(h.top, 19990);
    EXPECT_EQ(h.bottom, 20000);
    ExpectPoint(text.m_chars[1].m_contours.at(0).m_points.at(0), 20000.0 + 1540 * unit, 20000.0);
    EXPECT_TRUE(plat::TakeFontNotices().Empty());

    // A font lacking its CR LF 1A is no shape font: the default face draws
    // the whole text, and the message names the font.
    Bytes broken = TestFont();
    broken[22] = ' ';
    m_folder.Write("shx/broken.shx", broken);
    text = OutlineShx(MakeText("AA", "broken.shx", 2.0));
    ASSERT_EQ(text.m_chars.size(), 2u);
    EXPECT_FALSE(text.m_chars[0].m_contours.empty());
    plat::FontNotices notices = plat::TakeFontNotices();
    ASSERT_EQ(notices.replaced.size(), 1u);
    EXPECT_EQ(notices.replaced[0].first, "broken.shx");
    EXPECT_EQ(notices.replaced[0].second, "DejaVu Sans");

    // A double-byte character without the big font the style names comes
    // from a face that has it (81 40 is U+4E02), and the big font is named.
    plat::GlyphFont probe;
    ASSERT_TRUE(probe.Create(plat::GlyphFontSpec{"DejaVu Sans", 64, 400, false}));
    if (probe.FontFor(U'\u4E02') == nullptr)
        GTEST_SKIP() << "needs a CJK face";
    Text t = MakeText("\x81\x40" "A", "test.shx");
    SetField(t.m_bigfont_file, "gbcbig.shx");
    text = OutlineShx(t);
    ASSERT_EQ(text.m_chars.size(), 2u);
    EXPECT_FALSE(text.m_chars[0].m_contours.empty());
    EXPECT_GT(text.m_chars[1].m_contours.at(0).m_points.at(0).m_x, text.m_chars[0].BoundingBox().right);
    notices = plat::TakeFontNotices();
    ASSERT_EQ(notices.replaced.size(), 1u);
    EXPECT_EQ(notices.replaced[0].first, "gbcbig.shx");
}

TEST_F(ShxText, DoubleByteCodesComeFromTheBigFontAtItsOwnHeight)
{
    m_folder.Write("shx/test.shx", TestFont());
    m_folder.Write("shx/big.shx", TestBigFont());
    Text t = MakeText("A\x81\x40", "test.shx");
    SetField(t.m_bigfont_file, "big.shx");
    const CText text = OutlineShx(t);
    ASSERT_EQ(text.m_chars.size(), 2u);
    // No information shape in the big font: reference 84, factor 10/84 x 0.5.
    const auto& line = text.m_chars[1].m_contours.at(0).m_points;
    const double x0 = 20000.0 + 5.0 + 10.0 / 3.0;
    ExpectPoint(line.at(0), x0, 20000.0);
    ExpectPoint(line.at(1), x0 + 8.0 * 10.0 / 84.0 * 0.5, 20000.0);
}

TEST_F(ShxText, FontsAreFoundWithoutRegardToCaseAndNeverOutsideTheFolder)
{
    m_folder.Write("shx/ROMANS.shx", TestFont());
    m_folder.Write("outside.shx", TestFont());
    const std::string expected = (m_folder.Folder() / "shx" / "ROMANS.shx").string();
    EXPECT_EQ(ShxFontPath("romans.SHX"), expected);
    EXPECT_EQ(ShxFontPath("ROMANS.shx"), expected);
    // Only the name's last component counts.
    EXPECT_EQ(ShxFontPath("C:\\Fonts\\romans.shx"), expected);
    EXPECT_EQ(ShxFontPath("/usr/share/fonts/romans.shx"), expected);
    EXPECT_EQ(ShxFontPath("../outside.shx"), "");
    EXPECT_EQ(ShxFontPath(".."), "");
    EXPECT_EQ(ShxFontPath(""), "");
    EXPECT_EQ(ShxFontPath("absent.shx"), "");
}

TEST_F(ShxText, ExportSelectsTheShapeRendererByExtensionInAnyCase)
{
    m_folder.Write("shx/test.shx", TestFont());
    CMWordList words;
    EXPECT_EQ(g_GetTextOutlineInfo(MakeText("AB", "TEST.SHX"), words), 0);
    ASSERT_EQ(words.size(), 2u);
    ASSERT_EQ(words.front()->m_lines.size(), 2u);
    EXPECT_EQ(words.front()->m_lines[0]->m_closed, 0);
    EXPECT_EQ(words.front()->m_reserved, 0u);
    ASSERT_EQ(words.front()->m_lines[1]->m_points.size(), 2u);
    EXPECT_NEAR(words.front()->m_lines[1]->m_points[1].m_y, 19996.25, kEps);
    // Another extension is the shape font of its name (there is no such
    // family), and an absent font gives the default face's closed outlines;
    // the list keeps what it held.
    EXPECT_EQ(g_GetTextOutlineInfo(MakeText("AB", "test.fnt"), words), 0);
    ASSERT_EQ(words.size(), 4u);
    EXPECT_EQ((*std::next(words.begin(), 2))->m_lines[1]->m_points[1].m_y, words.front()->m_lines[1]->m_points[1].m_y);
    EXPECT_EQ(g_GetTextOutlineInfo(MakeText("AB", "absent.shx"), words), 0);
    ASSERT_EQ(words.size(), 6u);
    EXPECT_EQ(words.back()->m_lines.at(0)->m_closed, 1);
    g_DelWordList(&words);
    EXPECT_TRUE(words.empty());
}

TEST_F(ShxText, ExportTurnsTheTextAboutItsInsertionPoint)
{
    m_folder.Write("shx/test.shx", TestFont());
    Text t = MakeText("A", "test.shx");
    t.m_angle = std::numbers::pi / 2;
    CMWordList words;
    g_GetTextOutlineInfo(t, words);
    ASSERT_EQ(words.size(), 1u);
    // (20005, 20000) is 5 right of the insertion point; a quarter turn
    // counter-clockwise in the drawing puts it 5 above (y down: 19995).
    const CSuPoint& p = words.front()->m_lines[0]->m_points[1];
    EXPECT_NEAR(p.m_x, 20000.0, 1e-9);
    EXPECT_NEAR(p.m_y, 19995.0, 1e-9);
    // The up stroke's top (20005, 19996.25) turns to (19996.25, 19995).
    const CSuPoint& q = words.front()->m_lines[1]->m_points[1];
    EXPECT_NEAR(q.m_x, 19996.25, 1e-9);
    EXPECT_NEAR(q.m_y, 19995.0, 1e-9);
    g_DelWordList(&words);
}

TEST_F(ShxText, RunawayScaleLeavesNoInfinitePointAfterScalingStretchingOrTurning)
{
    m_folder.Write("shx/run.shx", RunawayFont());
    // Height 100: factor 1000 / 8 x 0.5 = 62.5, so A's lines end at 20500
    // and 19625; turned by 30 degrees about the insertion point.
    Text t = MakeText("RS", "run.shx", 100.0);
    t.m_angle = std::numbers::pi / 6;
    CMWordList words;
    g_GetTextOutlineInfo(t, words);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_TRUE(AllFinite(words));
    // Only the runaway line goes; the box left is 500 wide, so S starts
    // 500 + 1000 / 3 to the right.
    const CMWord* r = words.front();
    const CMWord* s = words.back();
    ASSERT_EQ(r->m_lines.size(), 2u);
    ASSERT_EQ(s->m_lines.size(), 2u);
    ExpectPoint(r->m_lines[0]->m_points[0], 20000.0, 20000.0);
    EXPECT_NEAR(r->m_lines[0]->m_points[1].m_x, 20433.0127019, 1e-6);
    EXPECT_NEAR(r->m_lines[0]->m_points[1].m_y, 19750.0, 1e-6);
    EXPECT_NEAR(r->m_lines[1]->m_points[1].m_x, 20245.5127019, 1e-6);
    EXPECT_NEAR(r->m_lines[1]->m_points[1].m_y, 19425.2404735, 1e-6);
    EXPECT_NEAR(s->m_lines[0]->m_points[0].m_x, 20721.6878365, 1e-6);
    EXPECT_NEAR(s->m_lines[0]->m_points[0].m_y, 19583.3333333, 1e-6);
    g_DelWordList(&words);

    // Stretched by 2: T keeps A's lines, now 1000 wide.
    g_GetTextOutlineInfo(MakeText("T", "run.shx", 100.0, 2.0), words);
    ASSERT_EQ(words.size(), 1u);
    EXPECT_TRUE(AllFinite(words));
    ASSERT_EQ(words.front()->m_lines.size(), 2u);
    ExpectPoint(words.front()->m_lines[1]->m_points[1], 21000.0, 19625.0);
    g_DelWordList(&words);

    // The same shapes in a multi-line text, T stretched by its group.
    MText m;
    SetField(m.m_text, "RS{\\W2;T}");
    SetField(m.m_font_file, "run.shx");
    m.m_height = 100.0;
    m.m_line_spacing = 1.0;
    m.m_geometry[4] = std::numbers::pi / 6;
    g_GetMTextOutlineInfo(m, words);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_TRUE(AllFinite(words));
    for (const CMWord* w : words)
        EXPECT_EQ(w->m_lines.size(), 2u);
    g_DelWordList(&words);
}
