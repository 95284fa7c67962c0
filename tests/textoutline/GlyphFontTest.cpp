// The glyph-outline stand-in: FreeType outlines turned into native polygon
// records, metrics, bold and italic synthesis, code-page character codes.
// Font values come from DejaVu Sans (2048 units per em): H is 1493 high,
// O spans x 115..1497 and y -29..1520 with advance 1612, l spans x 193..377
// and y 0..1556, a space advances 651.
#include "platform/CodePage.h"
#include "platform/GlyphFont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

using plat::FIXED;
using plat::GlyphFont;
using plat::GlyphFontSpec;
using plat::POINTFX;
using plat::RawOutline;
using plat::TTPOLYGON;

namespace {

POINTFX Px(std::int16_t x, std::int16_t y)
{
    return POINTFX{FIXED{0, x}, FIXED{0, y}};
}

RawOutline Outline(std::vector<std::array<std::int32_t, 3>> points, std::vector<std::int32_t> ends)
{
    RawOutline o;
    for (const auto& p : points) {
        o.x.push_back(p[0]);
        o.y.push_back(p[1]);
        o.tags.push_back(static_cast<std::uint8_t>(p[2]));
    }
    o.contourEnds = std::move(ends);
    return o;
}

constexpr std::int32_t On = 1;
constexpr std::int32_t Conic = 0;
constexpr std::int32_t Cubic = 2;

double Value(const FIXED& f)
{
    return (static_cast<std::int32_t>(f.value) * 65536 + f.fract) / 65536.0;
}

struct Extent {
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    void Add(const POINTFX& p)
    {
        minX = std::min(minX, Value(p.x));
        maxX = std::max(maxX, Value(p.x));
        minY = std::min(minY, Value(p.y));
        maxY = std::max(maxY, Value(p.y));
    }
};

Extent ExtentOf(const std::vector<TTPOLYGON>& polygons)
{
    Extent e;
    for (const auto& polygon : polygons) {
        e.Add(polygon.pfxStart);
        for (const auto& curve : polygon.curves)
            for (const auto& p : curve.apfx)
                e.Add(p);
    }
    return e;
}

// DejaVu Sans at the em of a height-10 text (137 pixels).
GlyphFontSpec Spec(int weight = 400, bool italic = false)
{
    return GlyphFontSpec{"DejaVu Sans", -137, weight, italic};
}

constexpr double kScale = 137.0 / 2048.0;

} // namespace

TEST(OutlineRecords, NegativeHalfPixelBecomesValueMinusOneFractionHalf)
{
    std::vector<TTPOLYGON> polygons;
    ASSERT_TRUE(plat::OutlineToPolygons(Outline({{-32, 64, On}, {640, 64, On}}, {1}), polygons));
    ASSERT_EQ(polygons.size(), 1u);
    EXPECT_EQ(polygons[0].dwType, plat::TT_POLYGON_TYPE);
    EXPECT_EQ(polygons[0].pfxStart.x, (FIXED{32768, -1}));
    EXPECT_EQ(polygons[0].pfxStart.y, (FIXED{0, 1}));
    ASSERT_EQ(polygons[0].curves.size(), 1u);
    EXPECT_EQ(polygons[0].curves[0].wType, plat::TT_PRIM_LINE);
    // The polygon closes on its start point.
    EXPECT_EQ(polygons[0].curves[0].apfx, (std::vector<POINTFX>{Px(10, 1), polygons[0].pfxStart}));
}

TEST(OutlineRecords, StraightPointsShareOneRecordAndQuadraticRunsKeepTheirControls)
{
    std::vector<TTPOLYGON> polygons;
    ASSERT_TRUE(plat::OutlineToPolygons(
        Outline({{0, 0, On}, {64, 128, Conic}, {192, 128, Conic}, {256, 0, On}, {256, -64, On}, {0, -64, On}}, {5}),
        polygons));
    ASSERT_EQ(polygons.size(), 1u);
    const auto& curves = polygons[0].curves;
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].wType, plat::TT_PRIM_QSPLINE);
    EXPECT_EQ(curves[0].apfx, (std::vector<POINTFX>{Px(1, 2), Px(3, 2), Px(4, 0)}));
    EXPECT_EQ(curves[1].wType, plat::TT_PRIM_LINE);
    EXPECT_EQ(curves[1].apfx, (std::vector<POINTFX>{Px(4, -1), Px(0, -1), Px(0, 0)}));
}

TEST(OutlineRecords, ContourStartingOffTheCurveStartsOnAPointOnIt)
{
    std::vector<TTPOLYGON> polygons;
    // First point a control: start on the last point.
    ASSERT_TRUE(plat::OutlineToPolygons(Outline({{64, 128, Conic}, {128, 0, On}, {0, 0, On}}, {2}), polygons));
    ASSERT_EQ(polygons.size(), 1u);
    EXPECT_EQ(polygons[0].pfxStart, Px(0, 0));
    ASSERT_EQ(polygons[0].curves.size(), 2u);
    EXPECT_EQ(polygons[0].curves[0].apfx, (std::vector<POINTFX>{Px(1, 2), Px(2, 0)}));
    EXPECT_EQ(polygons[0].curves[1].apfx, (std::vector<POINTFX>{Px(0, 0)}));
    // Controls only: start midway between the last and the first.
    ASSERT_TRUE(plat::OutlineToPolygons(
        Outline({{0, 0, Conic}, {128, 0, Conic}, {128, 128, Conic}, {0, 128, Conic}}, {3}), polygons));
    ASSERT_EQ(polygons.size(), 1u);
    EXPECT_EQ(polygons[0].pfxStart, Px(0, 1));
    ASSERT_EQ(polygons[0].curves.size(), 1u);
    EXPECT_EQ(polygons[0].curves[0].wType, plat::TT_PRIM_QSPLINE);
    EXPECT_EQ(polygons[0].curves[0].apfx, (std::vector<POINTFX>{Px(0, 0), Px(2, 0), Px(2, 2), Px(0, 2), Px(0, 1)}));
}

TEST(OutlineRecords, CubicSegmentsBecomeCubicRecords)
{
    std::vector<TTPOLYGON> polygons;
    ASSERT_TRUE(plat::OutlineToPolygons(
        Outline({{0, 0, On}, {0, 64, Cubic}, {64, 64, Cubic}, {64, 0, On}, {64, -64, Cubic}, {0, -64, Cubic}}, {5}),
        polygons));
    ASSERT_EQ(polygons.size(), 1u);
    ASSERT_EQ(polygons[0].curves.size(), 1u);
    EXPECT_EQ(polygons[0].curves[0].wType, plat::TT_PRIM_CSPLINE);
    EXPECT_EQ(polygons[0].curves[0].apfx,
              (std::vector<POINTFX>{Px(0, 1), Px(1, 1), Px(1, 0), Px(1, -1), Px(0, -1), Px(0, 0)}));
}

TEST(OutlineRecords, MalformedOrOversizedOutlinesAreRefused)
{
    std::vector<TTPOLYGON> polygons;
    EXPECT_FALSE(plat::OutlineToPolygons(Outline({{0, 0, Cubic}, {64, 0, On}}, {1}), polygons));
    EXPECT_FALSE(plat::OutlineToPolygons(
        Outline({{0, 0, On}, {1, 0, Cubic}, {2, 0, Cubic}, {3, 0, Cubic}, {4, 0, On}}, {4}), polygons));
    EXPECT_FALSE(plat::OutlineToPolygons(Outline({{0, 0, On}, {1, 0, Conic}, {2, 0, Cubic}, {4, 0, On}}, {3}), polygons));
    EXPECT_FALSE(plat::OutlineToPolygons(Outline({{0, 0, On}, {64, 0, On}}, {5}), polygons));
    EXPECT_FALSE(plat::OutlineToPolygons(Outline({{0, 0, On}, {64, 0, On}, {0, 64, On}}, {2, 1}), polygons));
    // 32768 pixels do not fit a 16-bit integer part.
    EXPECT_FALSE(plat::OutlineToPolygons(Outline({{0, 0, On}, {32768 * 64, 0, On}}, {1}), polygons));
    EXPECT_TRUE(polygons.empty());
    ASSERT_TRUE(plat::OutlineToPolygons(Outline({{32767 * 64, 0, On}, {-32768 * 64, 0, On}}, {1}), polygons));
    EXPECT_EQ(polygons[0].pfxStart.x, (FIXED{0, 32767}));
    // A lone point draws nothing; the next contour still does.
    ASSERT_TRUE(plat::OutlineToPolygons(Outline({{0, 0, On}, {0, 0, On}, {64, 0, On}}, {0, 2}), polygons));
    EXPECT_EQ(polygons.size(), 1u);
}

TEST(GlyphFont, ZeroHeightIsRefusedInsteadOfADefaultSize)
{
    GlyphFont font;
    EXPECT_FALSE(font.Create(GlyphFontSpec{"DejaVu Sans", 0, 400, false}));
    EXPECT_FALSE(font.IsValid());
    plat::GLYPHMETRICS gm;
    EXPECT_FALSE(font.GetGlyphOutline(U'H', gm, nullptr));
    EXPECT_FALSE(font.Create(GlyphFontSpec{"DejaVu Sans", 70000, 400, false}));
}

TEST(GlyphFont, LetterOHasTwoPolygonsAndMetricsOfItsBlackBox)
{
    GlyphFont font;
    ASSERT_TRUE(font.Create(Spec()));
    EXPECT_NE(font.FilePath().find("DejaVuSans.ttf"), std::string::npos);
    plat::GLYPHMETRICS gm;
    std::vector<TTPOLYGON> polygons;
    ASSERT_TRUE(font.GetGlyphOutline(U'O', gm, &polygons));
    EXPECT_EQ(polygons.size(), 2u);
    // x 7.69..100.14, y -1.94..101.68 pixels; advance 107.83.
    EXPECT_EQ(gm.gmptGlyphOrigin, (plat::POINT{7, 102}));
    EXPECT_EQ(gm.gmBlackBoxX, 94u);
    EXPECT_EQ(gm.gmBlackBoxY, 104u);
    EXPECT_EQ(gm.gmCellIncX, 108);
    EXPECT_EQ(gm.gmCellIncY, 0);
    const Extent e = ExtentOf(polygons);
    EXPECT_NEAR(e.minX, 115 * kScale, 0.02);
    EXPECT_NEAR(e.maxX, 1497 * kScale, 0.02);
    EXPECT_NEAR(e.minY, -29 * kScale, 0.02);
    EXPECT_NEAR(e.maxY, 1520 * kScale, 0.02);
}

TEST(GlyphFont, SpaceHasNoOutlineButAnAdvance)
{
    GlyphFont font;
    ASSERT_TRUE(font.Create(Spec()));
    plat::GLYPHMETRICS gm;
    std::vector<TTPOLYGON> polygons(1);
    ASSERT_TRUE(font.GetGlyphOutline(U' ', gm, &polygons));
    EXPECT_TRUE(polygons.empty());
    EXPECT_EQ(gm.gmCellIncX, 44); // 651 * 137 / 2048 = 43.55
    EXPECT_EQ(gm.gmBlackBoxX, 1u);
    EXPECT_EQ(gm.gmBlackBoxY, 1u);
}

TEST(GlyphFont, BoldAndItalicFacesAreUsedWhenTheFamilyHasThem)
{
    GlyphFont bold;
    ASSERT_TRUE(bold.Create(Spec(700)));
    EXPECT_NE(bold.FilePath().find("DejaVuSans-Bold.ttf"), std::string::npos);
    EXPECT_FALSE(bold.SyntheticBold());
    GlyphFont italic;
    ASSERT_TRUE(italic.Create(Spec(400, true)));
    EXPECT_NE(italic.FilePath().find("DejaVuSans-Oblique.ttf"), std::string::npos);
    EXPECT_FALSE(italic.SyntheticItalic());
}

TEST(GlyphFont, BoldIsSynthesisedForAFaceWithoutIt)
{
    GlyphFont regular;
    ASSERT_TRUE(regular.Create(Spec()));
    GlyphFont bold;
    ASSERT_TRUE(bold.CreateFromFile(regular.FilePath(), Spec(700)));
    EXPECT_TRUE(bold.SyntheticBold());
    EXPECT_FALSE(bold.SyntheticItalic());
    plat::GLYPHMETRICS gm;
    std::vector<TTPOLYGON> plain;
    std::vector<TTPOLYGON> thick;
    ASSERT_TRUE(regular.GetGlyphOutline(U'l', gm, &plain));
    ASSERT_TRUE(bold.GetGlyphOutline(U'l', gm, &thick));
    const Extent a = ExtentOf(plain);
    const Extent b = ExtentOf(thick);
    EXPECT_NEAR(a.maxX - a.minX, 184 * kScale, 0.02);
    // The stem grows by 1/24 em: 137 / 24 = 5.71 pixels.
    EXPECT_NEAR((b.maxX - b.minX) - (a.maxX - a.minX), 137.0 / 24, 0.3);
}

TEST(GlyphFont, ItalicIsSynthesisedAsATwelveDegreeSlant)
{
    GlyphFont regular;
    ASSERT_TRUE(regular.Create(Spec()));
    GlyphFont slanted;
    ASSERT_TRUE(slanted.CreateFromFile(regular.FilePath(), Spec(400, true)));
    EXPECT_TRUE(slanted.SyntheticItalic());
    EXPECT_FALSE(slanted.SyntheticBold());
    plat::GLYPHMETRICS gm;
    std::vector<TTPOLYGON> polygons;
    ASSERT_TRUE(slanted.GetGlyphOutline(U'l', gm, &polygons));
    const Extent e = ExtentOf(polygons);
    // The foot stays, the top (104.09 high) leans right by 0.21256 of it.
    EXPECT_NEAR(e.minX, 193 * kScale, 0.02);
    EXPECT_NEAR(e.maxX, 377 * kScale + 1556 * kScale * 0.21256, 0.05);
    EXPECT_NEAR(e.maxY, 1556 * kScale, 0.02);
}

TEST(GlyphFont, DoubleByteCodesGoThroughTheCodePage)
{
    if (plat::CodePageName() != "CP936")
        GTEST_SKIP() << "needs the default code page";
    // A6 C1 is the Greek small alpha in GB2312.
    EXPECT_EQ(plat::CodePageCharToUnicode(0xA6C1), U'\u03B1');
    EXPECT_EQ(plat::CodePageCharToUnicode('A'), U'A');
    EXPECT_EQ(plat::CodePageCharToUnicode(0xB0), U'\uFFFD'); // a lone lead byte
    GlyphFont font;
    ASSERT_TRUE(font.Create(Spec()));
    plat::GLYPHMETRICS viaCodePage;
    plat::GLYPHMETRICS direct;
    std::vector<TTPOLYGON> a;
    std::vector<TTPOLYGON> b;
    ASSERT_TRUE(font.GetGlyphOutlineA(0xA6C1, viaCodePage, &a));
    ASSERT_TRUE(font.GetGlyphOutline(U'\u03B1', direct, &b));
    EXPECT_EQ(viaCodePage.gmCellIncX, direct.gmCellIncX);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a[0].pfxStart, b[0].pfxStart);
    EXPECT_TRUE(font.HasGlyph(U'\u03B1'));
}

TEST(GlyphFont, UnknownFamilyGetsTheSystemsSubstitute)
{
    GlyphFont font;
    ASSERT_TRUE(font.Create(GlyphFontSpec{"No Such Family Here", -50, 400, false}));
    plat::GLYPHMETRICS gm;
    std::vector<TTPOLYGON> polygons;
    ASSERT_TRUE(font.GetGlyphOutline(U'H', gm, &polygons));
    EXPECT_FALSE(polygons.empty());
}

// Faces are kept open across fonts: a face given back must serve the next
// font at that font's own size and style, and fonts alive together must not
// share one.
TEST(GlyphFontCache, KeptFaceServesTheNextFontAtItsOwnSizeAndStyle)
{
    std::string path;
    {
        GlyphFont bold;
        ASSERT_TRUE(bold.Create(Spec()));
        path = bold.FilePath();
        ASSERT_TRUE(bold.CreateFromFile(path, Spec(700)));
        ASSERT_TRUE(bold.SyntheticBold());
        plat::GLYPHMETRICS gm;
        ASSERT_TRUE(bold.GetGlyphOutline(U'l', gm, nullptr));
    }
    // The same file at half the size and regular: l is 184 units wide, at
    // 68 pixels 6.11, not emboldened; O advances 1612 x 68 / 2048 = 53.5.
    GlyphFont small;
    ASSERT_TRUE(small.CreateFromFile(path, GlyphFontSpec{"", -68, 400, false}));
    EXPECT_FALSE(small.SyntheticBold());
    plat::GLYPHMETRICS gm;
    std::vector<TTPOLYGON> l;
    ASSERT_TRUE(small.GetGlyphOutline(U'l', gm, &l));
    const Extent e = ExtentOf(l);
    EXPECT_NEAR(e.maxX - e.minX, 184.0 * 68 / 2048, 0.02);
    // A second font of the file while the first is alive, at 137 pixels.
    GlyphFont big;
    ASSERT_TRUE(big.CreateFromFile(path, Spec()));
    ASSERT_TRUE(big.GetGlyphOutline(U'O', gm, nullptr));
    EXPECT_EQ(gm.gmCellIncX, 108);
    ASSERT_TRUE(small.GetGlyphOutline(U'O', gm, nullptr));
    EXPECT_EQ(gm.gmCellIncX, 54);
    // A size set afterwards holds for the font that set it only.
    ASSERT_TRUE(big.SetHeight(-68));
    ASSERT_TRUE(big.GetGlyphOutline(U'O', gm, nullptr));
    EXPECT_EQ(gm.gmCellIncX, 54);
    EXPECT_FALSE(big.SetHeight(0));
    EXPECT_FALSE(big.IsValid());
}

TEST(GlyphFontCache, KeepsNoMoreIdleFacesThanItsBound)
{
    std::vector<std::string> files;
    for (const char* family : {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono", "Liberation Sans", "Liberation Serif",
             "Liberation Mono"})
        for (int weight : {400, 700})
            for (bool italic : {false, true}) {
                GlyphFont font;
                if (font.Create(GlyphFontSpec{family, -20, weight, italic})
                    && std::find(files.begin(), files.end(), font.FilePath()) == files.end())
                    files.push_back(font.FilePath());
            }
    if (files.size() <= GlyphFont::kMaxCachedFaces)
        GTEST_SKIP() << "needs more font files than the cache holds";
    for (const std::string& file : files) {
        GlyphFont font;
        ASSERT_TRUE(font.CreateFromFile(file, GlyphFontSpec{"", -20, 400, false}));
        EXPECT_LE(GlyphFont::CachedFaceCount(), GlyphFont::kMaxCachedFaces);
    }
    EXPECT_EQ(GlyphFont::CachedFaceCount(), GlyphFont::kMaxCachedFaces);
}
