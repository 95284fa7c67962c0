// Single-line TrueType text in the working space. Font values come from
// DejaVu Sans (2048 units per em): H spans x 201..1339, y 0..1493, advance
// 1540; O spans x 115..1497, y -29..1520, its counter x 328..1284, y
// 135..1356; l spans x 193..377, y 0..1556.
//
// A text of height h has its H exactly h x 10 units high: glyphs are fetched
// at an em of 1024 pixels, where H is 1493 x 1024 / 2048 = 746.5 pixels
// high, and scaled by h x 10 / 746.5, so a font unit is h x 10 / 1493
// working units, whatever the height.
#include "TextRecordFields.h"
#include "textoutline/Letrova.h"
#include "textoutline/OutlineMath.h"
#include "textoutline/Text.h"
#include "textoutline/TrueTypeFont.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using plat::SetField;

constexpr double kScale = 100.0 / 1493.0; // height 10
constexpr double kAdvanceH = 1540 * kScale;

// Text at the drawing origin, so the pen starts at (20000, 20000).
Text MakeText(const char* text, double height = 10.0, double widthFactor = 1.0)
{
    Text t;
    SetField(t.m_text, text);
    SetField(t.m_font_file, "DejaVuSans.ttf");
    t.m_height = height;
    t.m_width_factor = widthFactor;
    return t;
}

struct Box {
    double minX = 1e18, maxX = -1e18, minY = 1e18, maxY = -1e18;
};

Box BoxOf(const COutLine& line)
{
    Box b;
    for (const CSuPoint& p : line.m_points) {
        b.minX = std::min(b.minX, p.m_x);
        b.maxX = std::max(b.maxX, p.m_x);
        b.minY = std::min(b.minY, p.m_y);
        b.maxY = std::max(b.maxY, p.m_y);
    }
    return b;
}

Box BoxOf(const CTextChar& ch)
{
    Box b;
    for (const COutLine& line : ch.m_contours) {
        const Box c = BoxOf(line);
        b.minX = std::min(b.minX, c.minX);
        b.maxX = std::max(b.maxX, c.maxX);
        b.minY = std::min(b.minY, c.minY);
        b.maxY = std::max(b.maxY, c.maxY);
    }
    return b;
}

// Twice the signed area of the polygon through the contour's points.
double SignedArea(const COutLine& line)
{
    double a = 0.0;
    const auto& p = line.m_points;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const CSuPoint& q = p[(i + 1) % p.size()];
        a += p[i].m_x * q.m_y - q.m_x * p[i].m_y;
    }
    return a;
}

CText Outline(const Text& t)
{
    CText text(t);
    text.OutlineTrueType("DejaVu Sans");
    return text;
}

} // namespace

TEST(TrueTypeSetUp, CapitalHIsTheTextHeightAtEverySize)
{
    // Heights of 0.01 mm to 10 m, and 10 mm as an inch drawing gives it: no
    // size is rounded on the way, so H is h x 10 high to far better than
    // 0.1 %, its advance 1540 / 1493 of that.
    for (const double height : {0.001, 0.01, 10.0 / 25.4, 1.0, 10.0, 2000.0, 10000.0}) {
        CTrueTypeFont font;
        ASSERT_TRUE(font.SetUp("DejaVu Sans", height)) << height;
        CTextChar h;
        ASSERT_TRUE(font.AppendGlyph('H', 0.0, 0.0, h)) << height;
        const Box b = BoxOf(h);
        EXPECT_NEAR((b.maxY - b.minY) / (height * 10.0), 1.0, 1e-6) << height;
        EXPECT_NEAR(h.m_metrics.cellIncX / (height * 10.0), 1540.0 / 1493.0, 1e-6) << height;
        EXPECT_NEAR(h.m_metrics.blackBoxY / (height * 10.0), 1.0, 1e-6) << height;
    }
}

TEST(TrueTypeSetUp, ZeroOrInvalidHeightOutlinesNothing)
{
    CTrueTypeFont font;
    EXPECT_FALSE(font.SetUp("DejaVu Sans", 0.0));
    EXPECT_FALSE(font.IsValid());
    EXPECT_FALSE(font.SetUp("DejaVu Sans", std::nan("")));
    // An em of more than 10^8 units is refused.
    EXPECT_FALSE(font.SetUp("DejaVu Sans", 1e300));
    EXPECT_TRUE(Outline(MakeText("H", 0.0)).m_chars.empty());
    EXPECT_TRUE(Outline(MakeText("H", -10.0)).m_chars.empty());
}

TEST(TrueTypeText, CapitalHIsTenTimesTheTextHeightHigh)
{
    const CText text = Outline(MakeText("H"));
    ASSERT_EQ(text.m_chars.size(), 1u);
    const CTextChar& h = text.m_chars[0];
    ASSERT_EQ(h.m_contours.size(), 1u);
    EXPECT_EQ(h.m_contours[0].m_closed, 1);
    const Box b = BoxOf(h);
    EXPECT_NEAR(b.maxY - b.minY, 100.0, 1e-4);
    // y down from the baseline at 20000; x from the pen at 20000.
    EXPECT_NEAR(b.maxY, 20000.0, 0.02);
    EXPECT_NEAR(b.minX, 20000.0 + 201 * kScale, 0.02);
    EXPECT_NEAR(b.maxX, 20000.0 + 1339 * kScale, 0.02);
    EXPECT_NEAR(h.m_metrics.cellIncX, kAdvanceH, 1e-4); // 103.148
    // H is straight: every point ends a straight segment.
    for (const CSuPoint& p : h.m_contours[0].m_points)
        EXPECT_EQ(p.m_kind, kSuPointPlain);
    EXPECT_EQ(h.m_contours[0].m_points.size(), 12u);
}

TEST(TrueTypeText, LetterOHasAnOuterAndAnInnerClosedContour)
{
    const CText text = Outline(MakeText("O"));
    ASSERT_EQ(text.m_chars.size(), 1u);
    const auto& contours = text.m_chars[0].m_contours;
    ASSERT_EQ(contours.size(), 2u);
    const Box a = BoxOf(contours[0]);
    const Box b = BoxOf(contours[1]);
    const bool firstOuter = a.maxX - a.minX > b.maxX - b.minX;
    const Box& outer = firstOuter ? a : b;
    const Box& inner = firstOuter ? b : a;
    EXPECT_NEAR(outer.minX, 20000.0 + 115 * kScale, 0.05);
    EXPECT_NEAR(outer.maxX, 20000.0 + 1497 * kScale, 0.05);
    EXPECT_NEAR(outer.minY, 20000.0 - 1520 * kScale, 0.05);
    EXPECT_NEAR(outer.maxY, 20000.0 + 29 * kScale, 0.05);
    // The counter spans x 328..1284, y 135..1356, its extremes on the curve.
    EXPECT_NEAR(inner.minX, 20000.0 + 328 * kScale, 0.05);
    EXPECT_NEAR(inner.maxX, 20000.0 + 1284 * kScale, 0.05);
    EXPECT_NEAR(inner.minY, 20000.0 - 1356 * kScale, 0.05);
    EXPECT_NEAR(inner.maxY, 20000.0 - 135 * kScale, 0.05);
    // The hole winds the other way round.
    EXPECT_LT(SignedArea(contours[0]) * SignedArea(contours[1]), 0.0);
    for (const COutLine& line : contours) {
        EXPECT_EQ(line.m_closed, 1);
        // Only cubic segments: controls in pairs, each pair followed by an end.
        const auto& p = line.m_points;
        for (std::size_t i = 0; i < p.size(); ++i) {
            EXPECT_NE(p[i].m_kind, kSuPointQuadControl);
            if (p[i].m_kind == kSuPointCubicControl && (i == 0 || p[i - 1].m_kind != kSuPointCubicControl)) {
                ASSERT_LT(i + 1, p.size());
                EXPECT_EQ(p[i + 1].m_kind, kSuPointCubicControl);
                if (i + 2 < p.size()) {
                    EXPECT_EQ(p[i + 2].m_kind, kSuPointSegmentEnd);
                }
            }
        }
        // The contour closes on its first point without repeating it.
        EXPECT_FALSE(std::fabs(p.front().m_x - p.back().m_x) < 1e-6 && std::fabs(p.front().m_y - p.back().m_y) < 1e-6);
    }
}

TEST(TrueTypeText, PenAdvancesByCellIncrementTimesWidthFactor)
{
    const CText text = Outline(MakeText("HH", 10.0, 2.0));
    ASSERT_EQ(text.m_chars.size(), 2u);
    EXPECT_NEAR(BoxOf(text.m_chars[1]).minX, 20000.0 + 2 * kAdvanceH + 201 * kScale, 0.02);
    // The width factor moves the pen only; the glyph keeps its width.
    EXPECT_NEAR(BoxOf(text.m_chars[1]).maxX - BoxOf(text.m_chars[1]).minX, 1138 * kScale, 0.02);
}

TEST(TrueTypeText, SpaceAdvancesByThePreviousCharactersIncrement)
{
    const CText text = Outline(MakeText("H H"));
    ASSERT_EQ(text.m_chars.size(), 3u);
    EXPECT_TRUE(text.m_chars[1].m_contours.empty());
    EXPECT_NEAR(text.m_chars[1].m_metrics.cellIncX, kAdvanceH, 1e-4);
    EXPECT_NEAR(BoxOf(text.m_chars[2]).minX, 20000.0 + 2 * kAdvanceH + 201 * kScale, 0.02);
    // A leading space has no character before it: it advances by 0.
    const CText leading = Outline(MakeText(" H"));
    ASSERT_EQ(leading.m_chars.size(), 2u);
    EXPECT_EQ(leading.m_chars[0].m_metrics.cellIncX, 0);
    EXPECT_NEAR(BoxOf(leading.m_chars[1]).minX, 20000.0 + 201 * kScale, 0.02);
}

TEST(TrueTypeText, InsertionPointIsMappedIntoTheWorkingSpace)
{
    Text t = MakeText("H");
    t.m_x = 1.5;
    t.m_y = 2.0;
    const CText text = Outline(t);
    EXPECT_EQ(text.m_x, 20015.0);
    EXPECT_EQ(text.m_y, 19980.0);
    ASSERT_EQ(text.m_chars.size(), 1u);
    EXPECT_NEAR(BoxOf(text.m_chars[0]).maxY, 19980.0, 0.02);
}

TEST(TrueTypeText, InsertionPointPastTheRangeGivesNoInfinitePoint)
{
    // x 1e308 maps to infinity: the characters stay, without contours. Just
    // inside the range (x 1.7e307 maps to 1.7e308) the outlines are kept.
    Text t = MakeText("HH");
    t.m_x = 1e308;
    CText text = Outline(t);
    ASSERT_EQ(text.m_chars.size(), 2u);
    EXPECT_TRUE(text.m_chars[0].m_contours.empty());
    EXPECT_TRUE(text.m_chars[1].m_contours.empty());
    t.m_x = 1.7e307;
    text = Outline(t);
    ASSERT_EQ(text.m_chars.size(), 2u);
    ASSERT_EQ(text.m_chars[0].m_contours.size(), 1u);
    EXPECT_TRUE(std::isfinite(BoxOf(text.m_chars[0]).maxX));
}

TEST(TrueTypeText, BoldAndItalicChangeTheOutlines)
{
    CTrueTypeFont regular;
    CTrueTypeFont bold;
    CTrueTypeFont italic;
    ASSERT_TRUE(regular.SetUp("DejaVu Sans", 10.0));
    ASSERT_TRUE(bold.SetUp("DejaVu Sans", 10.0, true, false));
    ASSERT_TRUE(italic.SetUp("DejaVu Sans", 10.0, false, true));
    CTextChar plain;
    CTextChar thick;
    CTextChar slanted;
    ASSERT_TRUE(regular.AppendGlyph('l', 0.0, 0.0, plain));
    ASSERT_TRUE(bold.AppendGlyph('l', 0.0, 0.0, thick));
    ASSERT_TRUE(italic.AppendGlyph('l', 0.0, 0.0, slanted));
    const Box p = BoxOf(plain);
    const Box t = BoxOf(thick);
    const Box s = BoxOf(slanted);
    // Regular stem 184 units, bold 358, both with H 1493 units high.
    EXPECT_NEAR(p.maxX - p.minX, 184 * kScale, 0.05);
    EXPECT_NEAR(t.maxX - t.minX, 358 * kScale, 0.05);
    // Slanted: the top leans right, the height stays.
    EXPECT_GT(s.maxX - s.minX, (p.maxX - p.minX) + 10.0);
    EXPECT_NEAR(s.maxY - s.minY, p.maxY - p.minY, 0.5);
}

TEST(TrueTypeText, DoubleByteCodeMakesOneCharacter)
{
    if (plat::CodePageName() != "CP936")
        GTEST_SKIP() << "needs the default code page";
    // A6 C1: Greek small alpha in GB2312.
    const CText text = Outline(MakeText("A\xA6\xC1" "B"));
    ASSERT_EQ(text.m_chars.size(), 3u);
    CTrueTypeFont font;
    ASSERT_TRUE(font.SetUp("DejaVu Sans", 10.0));
    CTextChar alpha;
    ASSERT_TRUE(font.AppendGlyph(0xA6C1, 0.0, 0.0, alpha));
    EXPECT_EQ(text.m_chars[1].m_metrics.cellIncX, alpha.m_metrics.cellIncX);
    ASSERT_EQ(text.m_chars[1].m_contours.size(), alpha.m_contours.size());
    EXPECT_EQ(text.m_chars[1].m_contours[0].m_points.size(), alpha.m_contours[0].m_points.size());
}

TEST(TrueTypeText, TrailingLeadByteEndsTheTextWithoutReadingPastIt)
{
    Text t = MakeText("");
    const char bytes[] = {'A', '\xB0', '\0', 'H', 'H'};
    std::memcpy(t.m_text, bytes, sizeof bytes);
    EXPECT_EQ(Outline(t).m_chars.size(), 1u);
    // A text filling its whole field, no zero byte, ending in a lead byte.
    std::memset(t.m_text, 'I', sizeof t.m_text);
    t.m_text[sizeof t.m_text - 1] = '\xB0';
    SetField(t.m_style, "HHHH");
    const CText full = Outline(t);
    EXPECT_EQ(full.m_text.size(), sizeof t.m_text);
    EXPECT_EQ(full.m_chars.size(), sizeof t.m_text - 1);
}

TEST(TrueTypeText, VeryLargeTextIsStillOutlinedAtItsHeight)
{
    // 20000 working units: beyond what 16.16 glyph values can hold.
    const CText text = Outline(MakeText("H", 2000.0));
    ASSERT_EQ(text.m_chars.size(), 1u);
    ASSERT_EQ(text.m_chars[0].m_contours.size(), 1u);
    const Box b = BoxOf(text.m_chars[0]);
    EXPECT_NEAR(b.maxY - b.minY, 20000.0, 0.02);
}
