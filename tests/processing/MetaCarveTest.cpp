// Vector engraving: outlines of a scan layer drawn filled into an image and
// scanned. The square is 10 x 10 mm at world (1000, 2000); the values below
// were worked out by hand from the pixel size, margin and row step.
#include "ProcessingTestSupport.h"

#include "model/BitmapScan.h"
#include "platform/Prompt.h"
#include "processing/JobRecords.h"
#include "processing/MetaCarve.h"
#include "settings/LanguageTable.h"
#include "settings/WorkParams.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace {

struct Seg {
    double x0, x1, y;
    int g0, g1;
};

// Scan segments: ends along x, row, greys; every one horizontal.
std::vector<Seg> Segs(const WORKLAYER* layer)
{
    std::vector<Seg> out;
    ForEachInRing(layer->m_paths->m_pSegs, &SEGNODE::m_pNext, [&](SEGNODE& s) {
        EXPECT_EQ(s.m_y0, s.m_y1);
        out.push_back({s.m_x0, s.m_x1, s.m_y0, s.m_nGrey0, s.m_nGrey1});
    });
    return out;
}

void ExpectSeg(const Seg& s, double x0, double x1, double y, int g0, int g1)
{
    EXPECT_NEAR(s.x0, x0, 1e-9);
    EXPECT_NEAR(s.x1, x1, 1e-9);
    EXPECT_NEAR(s.y, y, 1e-9);
    EXPECT_EQ(s.g0, g0);
    EXPECT_EQ(s.g1, g1);
}

PATHREC* Square(double x, double y, double side)
{
    return plat::MakePath({{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}});
}

const std::vector<plat::XY> kSquareOutline{{1000, 2000}, {1100, 2000}, {1100, 2100}, {1000, 2100}, {1000, 2000}};

WORKLAYER* ScanLayerOf(std::initializer_list<PATHREC*> paths, std::uint8_t mode = 2)
{
    WORKLAYER* layer = plat::MakeLayer(paths);
    layer->m_mode = mode;
    layer->m_layerId = 5;
    layer->m_next = layer->m_prev = layer;
    return layer;
}

WorkParams Params(double precision)
{
    WorkParams p;
    p.m_group_num = 5;
    p.m_s_precision = precision;
    return p;
}

TEST(MetaCarve, TenMillimetreSquareAtSpacingPointOneScansHundredAndOneRowsOfAThousandAndOnePixelImage)
{
    // f = 0.1 for so small an image: pixels of 0.01 mm; the square is 1000
    // pixels, the image 1001 x 1001 with rows of 1004 bytes.
    const double p = CMetaCarve::PixelSize(0.1, 100.0, 100.0);
    EXPECT_EQ(p, 0.1 * 0.1);
    WORKLAYER* pixels = ScanLayerOf({Square(0, 0, 1000)});
    std::size_t size = 0;
    std::uint8_t* image = CMetaCarve::Rasterise(pixels, 0, p, size);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(size, 1006082u);
    const std::vector<std::uint8_t> head(image, image + 48);
    const std::vector<std::uint8_t> want{
        'B', 'M', 0x02, 0x5A, 0x0F, 0, 0, 0, 0, 0, 0x36, 0x04, 0, 0,       // 1006082 bytes, pixels at 1078
        40, 0, 0, 0, 0xE9, 0x03, 0, 0, 0xE9, 0x03, 0, 0, 1, 0, 8, 0,        // 1001 x 1001, one plane, 8 bits
        0, 0, 0, 0, 0xCC, 0x55, 0x0F, 0, 0xA0, 0x86, 1, 0, 0xA0, 0x86, 1, 0, // 1005004 bytes, 100,000 per metre
        0, 1};                                                               // 256 colours
    EXPECT_EQ(head, want);
    // Filled edge to edge; the three padding bytes of each row stay white.
    EXPECT_EQ(std::count(image + 1078, image + size, 0), 1001 * 1001);
    EXPECT_EQ(image[1078 + 1001], 255);
    CMetaCarve::FreeImage(image, size);
    FreePathRecordGroups(pixels);

    WORKLAYER* layer = ScanLayerOf({Square(1000, 2000, 100)});
    WorkParams params = Params(0.1);
    EXPECT_EQ(CMetaCarve::ConvertLayer(layer, &params, 1, 0), nullptr);
    const PATHREC* scan = layer->m_paths;
    EXPECT_EQ(scan->m_pNext, scan);
    EXPECT_EQ(scan->m_subkind, 2);
    EXPECT_EQ(scan->m_pSegs->m_nMode, 0);
    EXPECT_NEAR(scan->m_xmax, 1100.0, 1e-9);
    EXPECT_NEAR(scan->m_ymin, 2000.0, 1e-9);
    // Rows 10 pixels (0.1 mm) apart from the bottom row up.
    const auto segs = Segs(layer);
    ASSERT_EQ(segs.size(), 101u);
    for (std::size_t k = 0; k < segs.size(); ++k)
        ExpectSeg(segs[k], 1000.0, 1100.0, 2000.0 + static_cast<double>(k), 255, 255);
    FreePathRecordGroups(layer);
}

TEST(MetaCarve, BeamDiameterPointOneErodesFourPixelsBecauseTheQuotientTruncatesToNine)
{
    // 0.1 / 0.010000000000000002 = 9.99...: 9 pixels, 4 passes. A one-pixel
    // margin gives the edges background to erode from and moves the row
    // grid one pixel down: rows at 2000.9 + k, 99 of them across what is
    // left, 4 pixels (0.4 world units) in from each side.
    WORKLAYER* layer = ScanLayerOf({Square(1000, 2000, 100)});
    WorkParams params = Params(0.1);
    params.m_s_diameter_use = 1;
    params.m_s_diameter = 0.1;
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    const auto segs = Segs(layer);
    ASSERT_EQ(segs.size(), 99u);
    for (std::size_t k = 0; k < segs.size(); ++k)
        ExpectSeg(segs[k], 1000.4, 1099.6, 2000.9 + static_cast<double>(k), 255, 255);
    FreePathRecordGroups(layer);
}

TEST(MetaCarve, SlopeFadesInFromTheEdgesAndTheScanStillLandsOnTheSquare)
{
    // Spacing 1 mm: pixels of 0.1 mm (one world unit); a slope of 1 mm is 10
    // levels of grey step 25 and a 10-pixel margin, which the way back takes
    // off again. The bottom and top rows lie one pixel from the background
    // (grey 25); the nine between ramp up, hold, and ramp down to the first
    // white pixel.
    WORKLAYER* layer = ScanLayerOf({Square(1000, 2000, 100)});
    WorkParams params = Params(1.0);
    params.m_s_incline = 1.0;
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    EXPECT_EQ(layer->m_paths->m_pSegs->m_nMode, 1);
    const auto segs = Segs(layer);
    ASSERT_EQ(segs.size(), 2u + 9u * 3u);
    ExpectSeg(segs.front(), 1000.0, 1100.0, 2000.0, 25, 25);
    for (int row = 0; row < 9; ++row) {
        SCOPED_TRACE(row);
        const double y = 2010.0 + 10.0 * row;
        ExpectSeg(segs[1 + 3 * row], 1000.0, 1008.0, y, 25, 225);
        ExpectSeg(segs[2 + 3 * row], 1009.0, 1091.0, y, 255, 255);
        ExpectSeg(segs[3 + 3 * row], 1092.0, 1101.0, y, 225, 0);
    }
    ExpectSeg(segs.back(), 1000.0, 1100.0, 2100.0, 25, 25);
    FreePathRecordGroups(layer);
}

TEST(MetaCarve, ArrayCopiesAreEngravedWhereTheyLieAndNoBracketIsLeft)
{
    // The square repeated in 1 row of 3 columns 20 mm apart: the outlines
    // span x 1000..1500, still pixels of 0.01 mm (f = 0.1), an image of
    // 5001 x 1001. Every tenth row from the bottom, y = 2000 + k, crosses
    // the three copies.
    auto arrayed = [](std::uint8_t mode) {
        return ScanLayerOf({plat::MakeOpeningBracket(1, 3, 0.0, 200.0), Square(1000, 2000, 100),
                            plat::MakeClosingBracket()},
                           mode);
    };
    auto expectRows = [](const WORKLAYER* layer, std::initializer_list<double> lefts) {
        EXPECT_EQ(layer->m_paths->m_pNext, layer->m_paths);
        EXPECT_EQ(layer->m_paths->m_kind, PATH_KIND_PATH);
        const auto segs = Segs(layer);
        ASSERT_EQ(segs.size(), 101u * lefts.size());
        for (std::size_t k = 0; k < segs.size(); ++k) {
            const double left = lefts.begin()[k % lefts.size()];
            ExpectSeg(segs[k], left, left + 100.0, 2000.0 + static_cast<double>(k / lefts.size()), 255, 255);
        }
    };
    WorkParams params = Params(0.1);
    WORKLAYER* layer = arrayed(2);
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    expectRows(layer, {1000.0, 1200.0, 1400.0});
    FreePathRecordGroups(layer);

    // Origin corner 0 turns the column pitch toward -x.
    layer = arrayed(2);
    CMetaCarve::ConvertLayer(layer, &params, 0, 0);
    expectRows(layer, {600.0, 800.0, 1000.0});
    FreePathRecordGroups(layer);

    // Both modes: the cut layer keeps the bracket for the machine to repeat.
    layer = arrayed(3);
    WORKLAYER* scan = CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    ASSERT_NE(scan, nullptr);
    expectRows(scan, {1000.0, 1200.0, 1400.0});
    ASSERT_NE(layer->m_paths->m_pArray, nullptr);
    EXPECT_EQ(layer->m_paths->m_pArray->m_nCols, 3);
    FreePathRecordGroups(layer);
}

TEST(MetaCarve, BothModesDivideIntoCutAndScanLayersInTheAskedOrderAndSpacingZeroKeepsOutlines)
{
    WorkParams params[2] = {Params(0.1), Params(0.1)};
    params[0].m_group_num = 4;
    params[0].m_pNext = &params[1];

    // Scan first: the new scan layer heads the list.
    params[1].m_sweep_first = 1;
    WORKLAYER* first = ScanLayerOf({Square(1000, 2000, 100)}, 3);
    WORKLAYER* cut = first;
    CMetaCarve::Process(first, params, 1, 0);
    ASSERT_NE(first, cut);
    EXPECT_EQ(first->m_mode, 2);
    EXPECT_EQ(first->m_layerId, 5u);
    EXPECT_EQ(first->m_next, cut);
    EXPECT_EQ(cut->m_next, first);
    EXPECT_EQ(cut->m_mode, 1);
    EXPECT_EQ(Segs(first).size(), 101u);
    EXPECT_EQ(plat::SegmentPoints(cut->m_paths), kSquareOutline);
    FreePathRecordGroups(first);

    // Scan after: the walk does not take the new layer up again.
    params[1].m_sweep_first = 0;
    first = cut = ScanLayerOf({Square(1000, 2000, 100)}, 3);
    CMetaCarve::Process(first, params, 1, 0);
    EXPECT_EQ(first, cut);
    EXPECT_EQ(cut->m_next->m_mode, 2);
    EXPECT_EQ(cut->m_next->m_next, cut);
    EXPECT_EQ(Segs(cut->m_next).size(), 101u);
    FreePathRecordGroups(first);

    // Spacing 0: still divided, and both keep the outlines; a light-guide
    // layer is left alone.
    params[1].m_s_precision = 0.0;
    first = ScanLayerOf({Square(1000, 2000, 100)}, 3);
    CMetaCarve::Process(first, params, 1, 0);
    EXPECT_EQ(plat::SegmentPoints(first->m_paths), kSquareOutline);
    EXPECT_EQ(plat::SegmentPoints(first->m_next->m_paths), kSquareOutline);
    EXPECT_NE(first->m_next->m_paths, first->m_paths);
    FreePathRecordGroups(first);
    params[1].m_s_precision = 0.1;
    first = ScanLayerOf({Square(1000, 2000, 100)}, 0x82);
    CMetaCarve::Process(first, params, 1, 0);
    EXPECT_EQ(plat::SegmentPoints(first->m_paths), kSquareOutline);
    FreePathRecordGroups(first);
}

TEST(MetaCarve, ImagesAboveTheLimitAreRefusedWithTheMessageAndHugeValuesDoNotOverflow)
{
    plat::RecordingPrompt prompt;
    plat::SetPrompt(&prompt);
    std::array<std::u16string, kLanguageTableSize> table{};
    table[3] = u"phase15:error-hint";
    table[11] = u"too large";
    SetLanguageTable(table);

    // One byte below the square's image: refused, outlines kept.
    const std::uint64_t old = plat::SetMaxCarveImageBytesForTesting(1006081);
    WORKLAYER* layer = ScanLayerOf({Square(1000, 2000, 100)});
    WorkParams params = Params(0.1);
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    ASSERT_EQ(prompt.m_shown.size(), 1u);
    EXPECT_EQ(prompt.m_shown[0].text, u"too large");
    EXPECT_EQ(plat::SegmentPoints(layer->m_paths), kSquareOutline);
    plat::SetMaxCarveImageBytesForTesting(1006082);
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    EXPECT_EQ(Segs(layer).size(), 101u);
    plat::SetMaxCarveImageBytesForTesting(old);
    FreePathRecordGroups(layer);

    // An outline a million kilometres wide with a huge slope and beam:
    // refused without overflow.
    params.m_s_incline = params.m_s_diameter = 1e300;
    params.m_s_diameter_use = 1;
    layer = ScanLayerOf({Square(0, 0, 1e13)});
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    EXPECT_EQ(prompt.m_shown.size(), 2u);
    EXPECT_EQ(plat::SegmentPoints(layer->m_paths).size(), 5u);
    FreePathRecordGroups(layer);
    // The same on the small square: the beam erodes everything away, and
    // the passes stop; nothing is left to engrave.
    layer = ScanLayerOf({Square(1000, 2000, 100)});
    params.m_s_precision = 1.0;
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    EXPECT_EQ(layer->m_paths, nullptr);
    EXPECT_EQ(prompt.m_shown.size(), 2u);
    FreePathRecordGroups(layer);

    SetLanguageTable({});
    plat::SetPrompt(nullptr);
}

TEST(MetaCarve, AHoleInsideAnOutlineStaysWhiteButItsEdgeIsDrawn)
{
    // Pixel units: outer 0..20, inner 5..15; image 21 x 21.
    WORKLAYER* layer = ScanLayerOf({Square(0, 0, 20), Square(5, 5, 10)});
    std::vector<std::uint8_t> pixels(24 * 21, 255);
    CMetaCarve::FillOutlines(pixels.data(), 21, 21, layer);
    const std::uint8_t* row = pixels.data() + 10 * 24;
    for (int x = 0; x <= 20; ++x)
        EXPECT_EQ(row[x], x > 5 && x < 15 ? 255 : 0) << x;
    // A traced diagonal walks its longer axis a pixel at a time.
    PATHREC* line = plat::MakePath({{0, 0}, {4, 2}});
    EXPECT_EQ(CMetaCarve::TraceEdges(line), (std::vector<CARVEPIXEL>{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    FreePathRecordList(line);
    FreePathRecordGroups(layer);
}

TEST(MetaCarve, DistanceTransformGivesTheSameImageAsTheLiteralPasses)
{
    // Random blocks of 255 on 0. The literal passes: each erosion pass
    // darkens every 255 pixel with a 0 among its 8 neighbours inside the
    // image, then the slope passes.
    std::mt19937 rng(7);
    const int w = 301, h = 67, stride = 304;
    std::vector<std::uint8_t> base(static_cast<std::size_t>(stride) * h, 0);
    for (int b = 0; b < 12; ++b) {
        const int cx = static_cast<int>(rng() % w), cy = static_cast<int>(rng() % h);
        const int rx = 5 + static_cast<int>(rng() % 60), ry = 3 + static_cast<int>(rng() % 30);
        for (int y = std::max(cy - ry, 0); y < std::min(cy + ry, h); ++y)
            for (int x = std::max(cx - rx, 0); x < std::min(cx + rx, w); ++x)
                base[y * stride + x] = 255;
    }
    // In-place distances, and 16-bit ones from 255 levels and passes on.
    for (const auto& [passes, levels] : std::vector<std::pair<int, int>>{{4, 0}, {2, 7}, {1, 255}, {30, 240}}) {
        SCOPED_TRACE(::testing::Message() << passes << " passes, " << levels << " levels");
        std::vector<std::uint8_t> literal = base, fast = base;
        for (int k = 0; k < passes; ++k) {
            std::vector<int> marked;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    bool near = false;
                    for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, h - 1); ++ny)
                        for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, w - 1); ++nx)
                            near = near || literal[ny * stride + nx] == 0;
                    if (literal[y * stride + x] == 255 && near)
                        marked.push_back(y * stride + x);
                }
            for (int i : marked)
                literal[i] = 0;
        }
        MakeSlope(literal.data(), w, h, levels);
        ASSERT_TRUE(CMetaCarve::ErodeAndSlope(fast.data(), w, h, static_cast<std::uint64_t>(passes), levels));
        EXPECT_EQ(fast, literal);
    }
    // Without background, nothing changes however many passes.
    std::vector<std::uint8_t> full(static_cast<std::size_t>(stride) * h, 255), same = full;
    ASSERT_TRUE(CMetaCarve::ErodeAndSlope(full.data(), w, h, 1000, 9));
    EXPECT_EQ(full, same);
}

} // namespace
