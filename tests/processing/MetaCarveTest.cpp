// Vector engraving: outlines of a scan layer drawn filled into an image and
// scanned. The square is 10 x 10 mm at world (1000, 2000); the values below
// were worked out by hand from the pixel size, margin and row step.
#include "ProcessingTestSupport.h"

#include "model/BitmapScan.h"
#include "model/PathRecord.h"
#include "platform/Prompt.h"
#include "processing/JobRecords.h"
#include "processing/MetaCarve.h"
#include "settings/LanguageTable.h"
#include "settings/WorkParams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

namespace {

struct Seg {
    double x0, y0, x1, y1;
    int g0, g1, mode;
};

std::vector<Seg> Segs(const PATHREC* path)
{
    std::vector<Seg> out;
    ForEachInRing(path->m_pSegs, &SEGNODE::m_pNext, [&](SEGNODE& s) {
        out.push_back({s.m_x0, s.m_y0, s.m_x1, s.m_y1, s.m_nGrey0, s.m_nGrey1, s.m_nMode});
    });
    return out;
}

PATHREC* Square(double x, double y, double side)
{
    return plat::MakePath({{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}});
}

WORKLAYER* ScanLayerOf(std::initializer_list<PATHREC*> paths, std::uint8_t mode = 2, std::uint32_t id = 5)
{
    WORKLAYER* layer = plat::MakeLayer(paths);
    layer->m_mode = mode;
    layer->m_layerId = id;
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

std::uint32_t U32(const std::uint8_t* d, std::size_t o)
{
    return d[o] | d[o + 1] << 8 | d[o + 2] << 16 | static_cast<std::uint32_t>(d[o + 3]) << 24;
}

class CarveMessages : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetPrompt(&m_prompt);
        m_table[3] = u"phase15:error-hint";
        m_table[11] = u"The image is too large: there is not enough memory.";
        SetLanguageTable(m_table);
    }
    void TearDown() override
    {
        SetLanguageTable({});
        plat::SetPrompt(nullptr);
    }
    plat::RecordingPrompt m_prompt;
    std::array<std::u16string, kLanguageTableSize> m_table{};
};

TEST(MetaCarve, TenMillimetreSquareAtSpacingPointOneIsAThousandAndOnePixelImage)
{
    // f = 0.1 for so small an image: pixels of 0.01 mm.
    const double p = CMetaCarve::PixelSize(0.1, 100.0, 100.0);
    EXPECT_EQ(p, 0.1 * 0.1);

    // The square in pixel units: 1000 x 1000.
    WORKLAYER* layer = ScanLayerOf({Square(0, 0, 1000)});
    std::size_t size = 0;
    std::uint8_t* image = CMetaCarve::Rasterise(layer, 0, p, size);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(size, 1006082u); // 1004 x 1001 + 1078
    EXPECT_EQ(image[0], 'B');
    EXPECT_EQ(image[1], 'M');
    EXPECT_EQ(U32(image, 2), 1006082u);
    EXPECT_EQ(U32(image, 10), 1078u);
    EXPECT_EQ(U32(image, 14), 40u);
    EXPECT_EQ(U32(image, 18), 1001u);
    EXPECT_EQ(U32(image, 22), 1001u);
    EXPECT_EQ(U32(image, 26), 1u | 8u << 16); // one plane, 8 bits
    EXPECT_EQ(U32(image, 30), 0u);
    EXPECT_EQ(U32(image, 34), 1005004u);
    EXPECT_EQ(U32(image, 38), 100000u);
    EXPECT_EQ(U32(image, 42), 100000u);
    EXPECT_EQ(U32(image, 46), 256u);
    // Filled edge to edge; the three padding bytes of each row stay white.
    const std::size_t dark = static_cast<std::size_t>(std::count(image + 1078, image + size, 0));
    const std::size_t white = static_cast<std::size_t>(std::count(image + 1078, image + size, 255));
    EXPECT_EQ(dark, 1001u * 1001u);
    EXPECT_EQ(white, 3u * 1001u);
    EXPECT_EQ(image[1078 + 1001], 255);
    CMetaCarve::FreeImage(image, size);
    FreePathRecordGroups(layer);
}

TEST(MetaCarve, SquareBecomesOneScanPathOfHundredAndOneRowsOnItsInterior)
{
    WORKLAYER* layer = ScanLayerOf({Square(1000, 2000, 100)});
    WorkParams params = Params(0.1);
    EXPECT_EQ(CMetaCarve::ConvertLayer(layer, &params, 1, 0), nullptr);

    PATHREC* scan = layer->m_paths;
    ASSERT_NE(scan, nullptr);
    EXPECT_EQ(scan->m_pNext, scan);
    EXPECT_EQ(scan->m_kind, PATH_KIND_PATH);
    EXPECT_EQ(scan->m_subkind, 2);
    const auto segs = Segs(scan);
    // Row step 10 pixels (0.1 mm) from the bottom row up: 101 rows.
    ASSERT_EQ(segs.size(), 101u);
    for (std::size_t k = 0; k < segs.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(segs[k].x0, 1000.0, 1e-9);
        EXPECT_NEAR(segs[k].x1, 1100.0, 1e-9);
        EXPECT_NEAR(segs[k].y0, 2000.0 + static_cast<double>(k), 1e-9);
        EXPECT_EQ(segs[k].y1, segs[k].y0);
        EXPECT_EQ(segs[k].g0, 255);
        EXPECT_EQ(segs[k].g1, 255);
        EXPECT_EQ(segs[k].mode, 0);
    }
    EXPECT_NEAR(scan->m_xmin, 1000.0, 1e-9);
    EXPECT_NEAR(scan->m_xmax, 1100.0, 1e-9);
    EXPECT_NEAR(scan->m_ymin, 2000.0, 1e-9);
    EXPECT_NEAR(scan->m_ymax, 2100.0, 1e-9);
    FreePathRecordGroups(layer);
}

TEST(MetaCarve, BeamDiameterPointOneErodesFourPixelsBecauseTheQuotientTruncatesToNine)
{
    // 0.1 / 0.010000000000000002 = 9.99...: 9 pixels, 4 passes.
    WORKLAYER* layer = ScanLayerOf({Square(1000, 2000, 100)});
    WorkParams params = Params(0.1);
    params.m_s_diameter_use = 1;
    params.m_s_diameter = 0.1;
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    const auto segs = Segs(layer->m_paths);
    // A one-pixel margin gives the edges background to erode from, and
    // moves the row grid one pixel down: rows at 2000.9 + k; 99 of
    // them cross what is left, 4 pixels (0.4 world units) in from each side.
    ASSERT_EQ(segs.size(), 99u);
    for (std::size_t k = 0; k < segs.size(); ++k)
        EXPECT_NEAR(segs[k].y0, 2000.9 + static_cast<double>(k), 1e-9);
    for (const Seg& s : segs) {
        EXPECT_NEAR(s.x0, 1000.4, 1e-9);
        EXPECT_NEAR(s.x1, 1099.6, 1e-9);
    }
    FreePathRecordGroups(layer);
}

TEST(MetaCarve, SlopeFadesInFromTheEdgesAndTheScanStillLandsOnTheSquare)
{
    // Spacing 1 mm: pixels of 0.1 mm (one world unit); a slope of 1 mm is
    // 10 levels of grey step 25 and a 10-pixel margin, which the way back
    // takes off again.
    WORKLAYER* layer = ScanLayerOf({Square(1000, 2000, 100)});
    WorkParams params = Params(1.0);
    params.m_s_incline = 1.0;
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    const auto segs = Segs(layer->m_paths);
    // Rows every 10 pixels: the bottom and top edge rows are one pixel from
    // the background throughout (grey 25); the nine rows between give a
    // ramp up, the plateau and a ramp down to the first white pixel.
    ASSERT_EQ(segs.size(), 2u + 9u * 3u);
    for (const Seg& s : segs)
        EXPECT_EQ(s.mode, 1);
    const Seg& bottom = segs.front();
    EXPECT_NEAR(bottom.x0, 1000.0, 1e-9);
    EXPECT_NEAR(bottom.x1, 1100.0, 1e-9);
    EXPECT_NEAR(bottom.y0, 2000.0, 1e-9);
    EXPECT_EQ(bottom.g0, 25);
    EXPECT_EQ(bottom.g1, 25);
    for (int row = 0; row < 9; ++row) {
        SCOPED_TRACE(row);
        const double y = 2010.0 + 10.0 * row;
        const Seg& up = segs[1 + 3 * row];
        const Seg& plateau = segs[2 + 3 * row];
        const Seg& down = segs[3 + 3 * row];
        EXPECT_NEAR(up.y0, y, 1e-9);
        EXPECT_NEAR(up.x0, 1000.0, 1e-9);
        EXPECT_NEAR(up.x1, 1008.0, 1e-9);
        EXPECT_EQ(up.g0, 25);
        EXPECT_EQ(up.g1, 225);
        EXPECT_NEAR(plateau.x0, 1009.0, 1e-9);
        EXPECT_NEAR(plateau.x1, 1091.0, 1e-9);
        EXPECT_EQ(plateau.g0, 255);
        EXPECT_NEAR(down.x0, 1092.0, 1e-9);
        EXPECT_NEAR(down.x1, 1101.0, 1e-9); // the ramp runs on to its first zero
        EXPECT_EQ(down.g0, 225);
        EXPECT_EQ(down.g1, 0);
    }
    EXPECT_NEAR(segs.back().y0, 2100.0, 1e-9);
    EXPECT_EQ(segs.back().g0, 25);
    FreePathRecordGroups(layer);
}

TEST(MetaCarve, NegativeArrayPitchDoesNotShiftTheScan)
{
    // A square repeated 50 mm toward -x: the copies are not drawn, and the
    // scan must stay on the square itself.
    WORKLAYER* layer = ScanLayerOf({plat::MakeOpeningBracket(1, 2, 0.0, -500.0), Square(1000, 2000, 100),
                                    plat::MakeClosingBracket()});
    WorkParams params = Params(0.1);
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    const PATHREC* scan = layer->m_paths;
    ASSERT_NE(scan->m_pSegs, nullptr);
    EXPECT_NEAR(scan->m_xmin, 1000.0, 1e-9);
    EXPECT_NEAR(scan->m_xmax, 1100.0, 1e-9);
    EXPECT_NEAR(scan->m_ymin, 2000.0, 1e-9);
    EXPECT_EQ(Segs(scan).size(), 101u);
    FreePathRecordGroups(layer);
}

TEST(MetaCarve, BothModesDivideIntoCutAndScanLayersInTheAskedOrder)
{
    WorkParams params[2] = {Params(0.1), Params(0.1)};
    params[0].m_group_num = 4;
    params[0].m_pNext = &params[1];
    params[1].m_pPrev = &params[0];

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
    EXPECT_EQ(Segs(first->m_paths).size(), 101u);
    EXPECT_EQ(plat::SegmentPoints(cut->m_paths),
              (std::vector<plat::XY>{{1000, 2000}, {1100, 2000}, {1100, 2100}, {1000, 2100}, {1000, 2000}}));
    FreePathRecordGroups(first);

    // Scan after: the walk must not take the new layer up again.
    params[1].m_sweep_first = 0;
    first = ScanLayerOf({Square(1000, 2000, 100)}, 3);
    cut = first;
    CMetaCarve::Process(first, params, 1, 0);
    EXPECT_EQ(first, cut);
    EXPECT_EQ(cut->m_mode, 1);
    ASSERT_NE(cut->m_next, cut);
    EXPECT_EQ(cut->m_next->m_mode, 2);
    EXPECT_EQ(cut->m_next->m_next, cut);
    EXPECT_EQ(Segs(cut->m_next->m_paths).size(), 101u);
    FreePathRecordGroups(first);

    // A light-guide layer and a cut layer are left alone.
    first = ScanLayerOf({Square(1000, 2000, 100)}, 0x82);
    CMetaCarve::Process(first, params, 1, 0);
    EXPECT_EQ(first->m_paths->m_subkind, 0);
    FreePathRecordGroups(first);
}

TEST(MetaCarve, SpacingOfZeroKeepsTheOutlinesAlsoOnTheDividedScanLayer)
{
    WorkParams params = Params(0.0);
    WORKLAYER* layer = ScanLayerOf({Square(1000, 2000, 100)}, 3);
    WORKLAYER* scan = CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    ASSERT_NE(scan, nullptr);
    EXPECT_EQ(layer->m_mode, 1);
    EXPECT_EQ(scan->m_mode, 2);
    EXPECT_EQ(plat::SegmentPoints(scan->m_paths), plat::SegmentPoints(layer->m_paths));
    EXPECT_NE(scan->m_paths, layer->m_paths);
    FreePathRecordGroups(layer);

    params.m_s_precision = -1.0;
    layer = ScanLayerOf({Square(1000, 2000, 100)});
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    EXPECT_EQ(plat::SegmentPoints(layer->m_paths).size(), 5u);
    FreePathRecordGroups(layer);
}

TEST_F(CarveMessages, ImageAboveTheLimitIsRefusedWithTheMessageAndTheOutlinesStay)
{
    const std::uint64_t old = plat::SetMaxCarveImageBytesForTesting(1006081);
    WORKLAYER* layer = ScanLayerOf({Square(1000, 2000, 100)});
    WorkParams params = Params(0.1);
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    ASSERT_EQ(m_prompt.m_shown.size(), 1u);
    EXPECT_EQ(m_prompt.m_shown[0].text, u"The image is too large: there is not enough memory.");
    EXPECT_EQ(plat::SegmentPoints(layer->m_paths),
              (std::vector<plat::XY>{{1000, 2000}, {1100, 2000}, {1100, 2100}, {1000, 2100}, {1000, 2000}}));
    // One byte more and the same image is made.
    plat::SetMaxCarveImageBytesForTesting(1006082);
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    EXPECT_EQ(Segs(layer->m_paths).size(), 101u);
    plat::SetMaxCarveImageBytesForTesting(old);
    FreePathRecordGroups(layer);

    // Outlines a million kilometres wide, a huge slope and beam: sizes are
    // worked out without overflow and refused.
    layer = ScanLayerOf({Square(0, 0, 1e13)});
    params.m_s_incline = 1e300;
    params.m_s_diameter_use = 1;
    params.m_s_diameter = 1e300;
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    EXPECT_EQ(m_prompt.m_shown.size(), 2u);
    EXPECT_EQ(plat::SegmentPoints(layer->m_paths).size(), 5u);
    FreePathRecordGroups(layer);
}

TEST(MetaCarve, HugeSlopeAndBeamOnASmallSquareStopWhenNothingChanges)
{
    // The beam is wider than the square: everything is eroded, and the
    // layer is left with nothing to engrave.
    WORKLAYER* layer = ScanLayerOf({Square(1000, 2000, 100)});
    WorkParams params = Params(1.0);
    params.m_s_incline = 1e300;
    params.m_s_diameter_use = 1;
    params.m_s_diameter = 1e300;
    CMetaCarve::ConvertLayer(layer, &params, 1, 0);
    EXPECT_EQ(layer->m_paths, nullptr);
    FreePathRecordGroups(layer);
}

TEST(MetaCarve, AHoleInsideAnOutlineStaysWhiteButItsEdgeIsDrawn)
{
    // Pixel units: outer 0..20, inner 5..15; image 21 x 21.
    WORKLAYER* layer = ScanLayerOf({Square(0, 0, 20), Square(5, 5, 10)});
    std::vector<std::uint8_t> pixels(24 * 21, 255);
    CMetaCarve::FillOutlines(pixels.data(), 21, 21, layer);
    // World row y = 10 is stored row 10.
    const std::uint8_t* row = pixels.data() + 10 * 24;
    for (int x = 0; x <= 20; ++x) {
        SCOPED_TRACE(x);
        EXPECT_EQ(row[x], x > 5 && x < 15 ? 255 : 0);
    }
    // A traced diagonal walks its longer axis a pixel at a time.
    PATHREC* line = plat::MakePath({{0, 0}, {4, 2}});
    EXPECT_EQ(CMetaCarve::TraceEdges(line),
              (std::vector<CARVEPIXEL>{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    FreePathRecordList(line);
    FreePathRecordGroups(layer);
}

// The passes as they are described: each erosion pass darkens every 255
// pixel with a 0 among its 8 neighbours inside the image.
void LiteralErodeAndSlope(std::vector<std::uint8_t>& img, int w, int h, int passes, int levels)
{
    const int stride = static_cast<int>((w + 3) / 4 * 4);
    for (int k = 0; k < passes; ++k) {
        std::vector<int> marked;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (img[y * stride + x] != 255)
                    continue;
                bool near = false;
                for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, h - 1); ++ny)
                    for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, w - 1); ++nx)
                        near = near || img[ny * stride + nx] == 0;
                if (near)
                    marked.push_back(y * stride + x);
            }
        for (int i : marked)
            img[i] = 0;
    }
    MakeSlope(img.data(), w, h, levels);
}

TEST(MetaCarve, DistanceTransformGivesTheSameImageAsTheLiteralPasses)
{
    // Random blobs of 255 on 0, and an image without any background.
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
    const std::vector<std::pair<int, int>> cases = {{4, 0}, {0, 5}, {2, 7}, {1, 255}, {30, 240}, {0, 300}};
    for (const auto& [passes, levels] : cases) {
        SCOPED_TRACE(::testing::Message() << passes << " passes, " << levels << " levels");
        std::vector<std::uint8_t> literal = base, fast = base;
        LiteralErodeAndSlope(literal, w, h, passes, std::min(levels, 255));
        ASSERT_TRUE(CMetaCarve::ErodeAndSlope(fast.data(), w, h, static_cast<std::uint64_t>(passes), levels));
        EXPECT_EQ(fast, literal);
    }
    std::vector<std::uint8_t> full(static_cast<std::size_t>(stride) * h, 255), same = full;
    ASSERT_TRUE(CMetaCarve::ErodeAndSlope(full.data(), w, h, 1000, 9));
    EXPECT_EQ(full, same);
}

} // namespace
