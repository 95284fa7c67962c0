// Raster scans: runs of constant grey or steady ramps, the order of rows and
// columns by style and positioning point, one-pixel runs lengthened in the
// scan direction, edge shading, and the refusals (unsafe files, scans too
// large to hold). Pixel values in the run and order tests are already
// inverted: non-zero is dark.
#include "BmpTestFiles.h"

#include "model/BitmapScan.h"
#include "model/PathRecord.h"
#include "platform/PhysicalMemory.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"
#include "settings/WorkParams.h"
#include "tests/settings/ScratchProgramFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <ostream>
#include <random>
#include <vector>

using plat::BmpForm;
using plat::MakeBmp;

namespace {

struct Seg {
    double x0, y0, x1, y1;
    int g0, g1;
    friend bool operator==(const Seg&, const Seg&) = default;
};

std::ostream& operator<<(std::ostream& os, const Seg& s)
{
    return os << "(" << s.x0 << "," << s.y0 << ")-(" << s.x1 << "," << s.y1 << ") " << s.g0 << ">" << s.g1;
}

// Segments of a chain, or of a path's ring, with coordinates rounded to
// 1e-9 so that scaled values compare exactly.
std::vector<Seg> Segs(const SEGNODE* first)
{
    auto r = [](double v) { return std::round(v * 1e9) / 1e9; };
    std::vector<Seg> out;
    for (const SEGNODE* s = first; s != nullptr;) {
        out.push_back({r(s->m_x0), r(s->m_y0), r(s->m_x1), r(s->m_y1), s->m_nGrey0, s->m_nGrey1});
        s = s->m_pNext;
        if (s == first)
            break;
    }
    return out;
}

std::vector<Seg> Take(SegmentChain chain)
{
    std::vector<Seg> out = Segs(chain.m_pFirst);
    EXPECT_EQ(out.size(), chain.m_nCount);
    chain.Free();
    return out;
}

std::vector<Seg> TakePath(PATHREC* path)
{
    if (path == nullptr)
        return {};
    std::vector<Seg> out = Segs(path->m_pSegs);
    FreePathRecordList(path);
    return out;
}

std::vector<Seg> Forward(std::vector<std::uint8_t> row)
{
    return Take(ScanRowForward(row.data(), row.size(), 7, 0));
}

std::vector<Seg> Backward(std::vector<std::uint8_t> row)
{
    return Take(ScanRowBackward(row.data(), row.size(), 7, 0));
}

// Rows given bottom-up, 10,000 pixels per metre: one pixel is 0.1 mm and a
// one-pixel run grows by 0.1 pixel.
std::string Image(std::int32_t width, const std::vector<std::vector<std::uint8_t>>& rows, std::int32_t yPels = 10000)
{
    BmpForm form;
    form.width = width;
    form.height = static_cast<std::int32_t>(rows.size());
    form.yPels = yPels;
    return MakeBmp(form, rows);
}

PATHREC* Scan(const std::string& bmp, double spacing, int style, int point)
{
    return ScanBitmap(reinterpret_cast<const std::uint8_t*>(bmp.data()), bmp.size(), spacing, style, 0, point);
}

WorkParams Params(double precision, int method, double incline)
{
    WorkParams p;
    p.m_s_precision = precision;
    p.m_s_method = static_cast<std::uint8_t>(method);
    p.m_s_incline = incline;
    return p;
}

} // namespace

TEST(ScanRuns, ConstantGreyAndSteadyRampsMakeOneRunAndTheLastPixelIsNotLost)
{
    EXPECT_EQ(Forward({0, 0, 255, 255, 255, 0}), (std::vector<Seg>{{2, 7, 4, 7, 255, 255}}));
    // 10 20 30 is a ramp of step 10; 25 breaks it and opens a run on the
    // row's last pixel, which is engraved too.
    EXPECT_EQ(Forward({10, 20, 30, 25}), (std::vector<Seg>{{0, 7, 2, 7, 10, 30}, {3, 7, 3, 7, 25, 25}}));
    // Backward: 25 30 is a ramp of +5, 20 breaks it, 20 10 is a ramp of -10.
    EXPECT_EQ(Backward({10, 20, 30, 25}), (std::vector<Seg>{{3, 7, 2, 7, 25, 30}, {1, 7, 0, 7, 20, 10}}));
    // A ramp runs down onto the zero that continues it; a lone pixel before a
    // zero is a run of one.
    EXPECT_EQ(Forward({20, 10, 0, 0, 5, 0, 5}),
              (std::vector<Seg>{{0, 7, 2, 7, 20, 0}, {4, 7, 4, 7, 5, 5}, {6, 7, 6, 7, 5, 5}}));
    EXPECT_TRUE(Forward({0, 0, 0}).empty());

    SegmentChain chain = ScanRowForward(std::vector<std::uint8_t>{9, 9}.data(), 2, 3, 1);
    ASSERT_EQ(chain.m_nCount, 1u);
    EXPECT_EQ(chain.m_pFirst->m_nMode, 1);
    EXPECT_EQ(chain.m_pFirst->m_z0, 0.0);
    chain.Free();
}

TEST(ScanRuns, OnePixelRunsGrowWithTheScanDirectionOrGo)
{
    const std::array<std::uint8_t, 4> row = {8, 0, 6, 6};
    auto fixed = [&](bool remove, double length, bool rowMode, bool forward) {
        SegmentChain c = ScanRowForward(row.data(), row.size(), 0, 0);
        FixSinglePixels(c, remove, length, rowMode, forward);
        return Take(c);
    };
    const Seg run{2, 0, 3, 0, 6, 6};
    EXPECT_EQ(fixed(false, 0.25, true, true), (std::vector<Seg>{{0, 0, 0.25, 0, 8, 8}, run}));
    EXPECT_EQ(fixed(false, 0.25, true, false), (std::vector<Seg>{{0, 0, -0.25, 0, 8, 8}, run}));
    EXPECT_EQ(fixed(false, 0.25, false, true), (std::vector<Seg>{{0, 0, 0, 0.25, 8, 8}, run}));
    EXPECT_EQ(fixed(true, 0.25, true, true), (std::vector<Seg>{run}));
    EXPECT_EQ(fixed(false, 1e-6, true, true), (std::vector<Seg>{run}));
}

TEST(ScanBitmapFile, FourByTwoImageGivesARampRowThenABackwardSinglePixelInMillimetres)
{
    ScratchProgramFolder scratch;
    // File rows bottom-up: FF FF 37 FF and F5 EB E1 FF. Inverted: 0 0 200 0
    // and 10 20 30 0. Style 1 from point 0 starts on the last stored row
    // toward +x (the ramp 10..30 at y 1), then turns: row 0 backward finds
    // the single 200 at x 2, lengthened by 0.1 pixel toward -x. Pixels are
    // 0.1 mm.
    scratch.Write("img.bmp", Image(4, {{0xFF, 0xFF, 0x37, 0xFF}, {0xF5, 0xEB, 0xE1, 0xFF}}));
    PATHREC* path = ScanBitmapFile(scratch.Root() + "img.bmp", Params(0.1, 1, 0.0), 0, 0, 0);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->m_kind, PATH_KIND_PATH);
    EXPECT_EQ(path->m_subkind, 2);
    EXPECT_EQ(path->m_closed, 0u);
    EXPECT_EQ(path->m_pSegs->m_nMode, 0);
    EXPECT_EQ(path->m_pSegs->m_pNext->m_pNext, path->m_pSegs); // a ring of two
    EXPECT_EQ(TakePath(path), (std::vector<Seg>{{0, 0.1, 0.2, 0.1, 10, 30}, {0.2, 0, 0.19, 0, 200, 200}}));

    // The vertical resolution sets y: at 5000 pixels per metre a row is
    // 0.2 mm high, as the image object shows it.
    scratch.Write("tall.bmp", Image(4, {{0xFF, 0xFF, 0x37, 0xFF}, {0xF5, 0xEB, 0xE1, 0xFF}}, 5000));
    EXPECT_EQ(TakePath(ScanBitmapFile(scratch.Root() + "tall.bmp", Params(0.1, 1, 0.0), 0, 0, 0)),
              (std::vector<Seg>{{0, 0.2, 0.2, 0.2, 10, 30}, {0.2, 0, 0.19, 0, 200, 200}}));
}

TEST(ScanBitmap, RowOrderAndFirstDirectionFollowThePositioningPoint)
{
    // Three rows, each one run: x 0..1 with greys telling the rows apart.
    const std::string img = Image(2, {{1, 1}, {2, 2}, {3, 3}});
    auto starts = [&](int style, int point, double spacing = 0.1) {
        std::vector<std::pair<double, double>> out; // (y, x0) per segment
        for (const Seg& s : TakePath(Scan(img, spacing, style, point)))
            out.emplace_back(s.y0, s.x0);
        return out;
    };
    using V = std::vector<std::pair<double, double>>;
    EXPECT_EQ(starts(0, 0), (V{{2, 0}, {1, 0}, {0, 0}}));
    EXPECT_EQ(starts(0, 2), (V{{2, 1}, {1, 1}, {0, 1}}));
    EXPECT_EQ(starts(0, 6), (V{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(starts(0, 8), (V{{0, 1}, {1, 1}, {2, 1}}));
    EXPECT_EQ(starts(1, 0), (V{{2, 0}, {1, 1}, {0, 0}}));
    // A spacing of two pixels scans every other row.
    EXPECT_EQ(starts(1, 6, 0.2), (V{{0, 0}, {2, 1}}));

    // Both ways: an empty row does not turn the direction.
    const std::string gap = Image(2, {{1, 1}, {0, 0}, {3, 3}});
    std::vector<double> x0;
    for (const Seg& s : TakePath(Scan(gap, 0.1, 1, 0)))
        x0.push_back(s.x0);
    EXPECT_EQ(x0, (std::vector<double>{0, 1}));
}

TEST(ScanBitmap, ColumnsRunUpFirstAndTurnOnlyAfterAColumnWithRuns)
{
    // Columns 0 and 2 dark over both rows, column 1 white.
    const std::string img = Image(3, {{5, 0, 6}, {5, 0, 6}});
    EXPECT_EQ(TakePath(Scan(img, 0.1, 3, 0)), (std::vector<Seg>{{0, 0, 0, 1, 5, 5}, {2, 1, 2, 0, 6, 6}}));
    EXPECT_EQ(TakePath(Scan(img, 0.1, 2, 0)), (std::vector<Seg>{{0, 0, 0, 1, 5, 5}, {2, 0, 2, 1, 6, 6}}));
    // Every other column.
    EXPECT_EQ(TakePath(Scan(img, 0.2, 3, 0)), (std::vector<Seg>{{0, 0, 0, 1, 5, 5}, {2, 1, 2, 0, 6, 6}}));
    EXPECT_EQ(TakePath(Scan(img, 0.3, 3, 0)), (std::vector<Seg>{{0, 0, 0, 1, 5, 5}}));
}

TEST(ScanPixels, InvertAndSlopeLeaveThePaddingAndFadeDarkAreasFromTheirEdges)
{
    // 6 wide: stride 8, two padding bytes.
    std::array<std::uint8_t, 8> row = {255, 0, 0, 0, 0, 255, 0x11, 0x22};
    InvertPixels(row.data(), 6, 1);
    EXPECT_EQ(row, (std::array<std::uint8_t, 8>{0, 255, 255, 255, 255, 0, 0x11, 0x22}));

    // Three levels: step 85; the edge pixels take 85, the next ones 170.
    auto slope = row;
    MakeSlope(slope.data(), 6, 1, 3);
    EXPECT_EQ(slope, (std::array<std::uint8_t, 8>{0, 85, 170, 170, 85, 0, 0x11, 0x22}));
    // Over 255 levels the step would be 0 and erase the dark area; capped at
    // 255 levels the step is 1.
    slope = row;
    MakeSlope(slope.data(), 6, 1, 1000);
    EXPECT_EQ(slope, (std::array<std::uint8_t, 8>{0, 1, 2, 2, 1, 0, 0x11, 0x22}));
    slope = row;
    MakeSlope(slope.data(), 6, 1, 0);
    EXPECT_EQ(slope, row);

    // Diagonal neighbours count: a white corner fades its three neighbours.
    std::array<std::uint8_t, 12> square = {0, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0};
    MakeSlope(square.data(), 3, 3, 2);
    EXPECT_EQ(square, (std::array<std::uint8_t, 12>{0, 127, 255, 0, 127, 127, 255, 0, 255, 255, 255, 0}));
}

// The slope as its rule reads, one pass per level over the whole image.
void SlopeLevelByLevel(std::vector<std::uint8_t>& px, int w, int h, int stride, int levels)
{
    const int step = 255 / levels;
    for (int k = 1, previous = 0; k <= levels; ++k) {
        const int level = k == levels ? 255 : k * step;
        std::vector<int> set;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                bool next = false;
                for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, h - 1); ++ny)
                    for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, w - 1); ++nx)
                        next = next || ((nx != x || ny != y) && px[ny * stride + nx] == previous);
                if (px[y * stride + x] == 255 && next)
                    set.push_back(y * stride + x);
            }
        for (int i : set)
            px[i] = static_cast<std::uint8_t>(level);
        previous = level;
    }
}

TEST(ScanPixels, SlopeFromDistancesEqualsThePassesLevelByLevel)
{
    // Dark blocks on white, sprinkled with greys: some at a level's grey
    // (they start the fade from their level), the others stop it. On the
    // left a serpentine of stopping greys whose only background lies at its
    // far end: the fade winds down and up its channels, which one pair of
    // raster passes does not follow.
    const int w = 61, h = 47, stride = 64;
    std::mt19937 rng(11);
    for (int levels : {2, 3, 7, 40, 200, 255}) {
        SCOPED_TRACE(levels);
        const int step = 255 / levels;
        const std::uint8_t stop = 254 % step == 0 ? 253 : 254;
        std::vector<std::uint8_t> base(static_cast<std::size_t>(stride) * h, 0);
        for (int b = 0; b < 6; ++b) {
            const int x0 = static_cast<int>(rng() % w), y0 = static_cast<int>(rng() % h);
            for (int y = y0; y < std::min(h, y0 + 5 + static_cast<int>(rng() % 30)); ++y)
                for (int x = x0; x < std::min(w, x0 + 5 + static_cast<int>(rng() % 40)); ++x)
                    base[y * stride + x] = 255;
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < 43; ++x)
                base[y * stride + x] = x % 4 == 3 && (x % 8 == 3 ? y < h - 3 : y >= 3) ? stop : 255;
        base[42] = 0;
        for (int i = 0; i < 150; ++i) {
            const int k = static_cast<int>(rng() % static_cast<unsigned>(levels));
            base[(rng() % h) * stride + rng() % w] = rng() % 2 ? static_cast<std::uint8_t>(k * step)
                                                               : static_cast<std::uint8_t>(1 + rng() % 254);
        }
        std::vector<std::uint8_t> passes = base, fast = base;
        SlopeLevelByLevel(passes, w, h, stride, levels);
        ASSERT_TRUE(MakeSlope(fast.data(), w, h, levels));
        EXPECT_EQ(fast, passes);
    }
}

TEST(ScanBitmapFile, SlopeNeedsAtLeastOneLevelAndIsSkippedForFlaggedImages)
{
    ScratchProgramFolder scratch;
    // 4 black pixels in a row between white ones.
    scratch.Write("bar.bmp", Image(6, {{255, 0, 0, 0, 0, 255}}));
    const std::string path = scratch.Root() + "bar.bmp";
    // 0.01 mm at 10,000 pixels per metre is 0.1 level: no slope and no
    // shading flag (a level count of 0 must not be divided by).
    PATHREC* flat = ScanBitmapFile(path, Params(0.1, 0, 0.01), 0, 0, 0);
    ASSERT_NE(flat, nullptr);
    EXPECT_EQ(flat->m_pSegs->m_nMode, 0);
    EXPECT_EQ(TakePath(flat), (std::vector<Seg>{{0.1, 0, 0.4, 0, 255, 255}}));
    // 0.3 mm is 3 levels: 0 85 170 170 85 0 is a ramp up, then a ramp down
    // that runs on onto the white pixel continuing it, all shaded.
    PATHREC* shaded = ScanBitmapFile(path, Params(0.1, 0, 0.3), 0, 0, 0);
    ASSERT_NE(shaded, nullptr);
    EXPECT_EQ(shaded->m_pSegs->m_nMode, 1);
    EXPECT_EQ(TakePath(shaded), (std::vector<Seg>{{0.1, 0, 0.2, 0, 85, 170}, {0.3, 0, 0.5, 0, 170, 0}}));
    // The image flag turns the slope off.
    PATHREC* flagged = ScanBitmapFile(path, Params(0.1, 0, 0.3), 0, 0, 1);
    ASSERT_NE(flagged, nullptr);
    EXPECT_EQ(flagged->m_pSegs->m_nMode, 0);
    EXPECT_EQ(TakePath(flagged).size(), 1u);
}

TEST(ScanBitmap, RefusesFilesItCannotReadSafelyAndImagesWithNothingToEngrave)
{
    const std::string good = Image(4, {{1, 0, 0, 0}});
    ASSERT_EQ(TakePath(Scan(good, 0.1, 0, 0)).size(), 1u);
    std::string cut = good;
    cut.pop_back();
    EXPECT_EQ(Scan(cut, 0.1, 0, 0), nullptr);
    BmpForm rgb;
    rgb.width = 1;
    rgb.height = 1;
    rgb.bits = 24;
    EXPECT_EQ(Scan(MakeBmp(rgb, {{1, 2, 3}}), 0.1, 0, 0), nullptr);
    BmpForm topDown;
    topDown.width = 4;
    topDown.height = -1;
    EXPECT_EQ(Scan(MakeBmp(topDown, {{1, 0, 0, 0}}), 0.1, 0, 0), nullptr);
    EXPECT_EQ(Scan(Image(4, {{0, 0, 0, 0}}), 0.1, 0, 0), nullptr);
    EXPECT_EQ(ScanBitmapFile("/nonexistent/img.bmp", Params(0.1, 0, 0), 0, 0, 0), nullptr);
}

TEST(ScanBitmap, AScanOfTooManySegmentsIsRefusedWithTheImageTooLargeText)
{
    plat::RecordingPrompt prompt;
    plat::SetPrompt(&prompt);
    std::array<std::u16string, kLanguageTableSize> table{};
    table[40] = u"phase15:error-hint";
    table[48] = u"The image is too large: there is not enough memory.";
    SetLanguageTable(table);
    const std::size_t old = plat::SetMaxScanSegmentsForTesting(5);

    // A checkerboard: every dark pixel is a run of its own, 3 + 3 runs.
    const std::string board = Image(6, {{9, 0, 9, 0, 9, 0}, {0, 9, 0, 9, 0, 9}});
    EXPECT_EQ(Scan(board, 0.1, 1, 0), nullptr);
    ASSERT_EQ(prompt.m_shown.size(), 1u);
    EXPECT_EQ(prompt.m_shown[0].text, u"The image is too large: there is not enough memory.");
    EXPECT_EQ(prompt.m_shown[0].caption, u"");
    plat::SetMaxScanSegmentsForTesting(6);
    EXPECT_EQ(TakePath(Scan(board, 0.1, 1, 0)).size(), 6u);
    EXPECT_EQ(prompt.m_shown.size(), 1u);

    plat::SetMaxScanSegmentsForTesting(old);
    SetLanguageTable({});
    plat::SetPrompt(nullptr);
}

// What the controller takes in one job (2^28 - 1 stream bytes, at least 6
// per run: 44,739,242 runs) and a quarter of the memory in 72-byte records
// (1 GiB: 268,435,456 / 72; 8 GiB: 2,147,483,648 / 72), whichever is less.
TEST(ScanBitmap, TheLimitIsWhatTheControllerTakesAndAQuarterOfTheMemoryHolds)
{
    EXPECT_EQ(ScanSegmentLimit(0), 16'000'000u);
    EXPECT_EQ(ScanSegmentLimit(std::uint64_t{1} << 30), 3'728'270u);
    EXPECT_EQ(ScanSegmentLimit(std::uint64_t{8} << 30), 29'826'161u);
    EXPECT_EQ(ScanSegmentLimit(std::uint64_t{64} << 30), 44'739'242u);
    const std::size_t old = plat::SetMaxScanSegmentsForTesting(0);
    EXPECT_EQ(MaxScanSegments(), ScanSegmentLimit(plat::PhysicalMemoryBytes()));
    plat::SetMaxScanSegmentsForTesting(old);
}

// Grey like a photograph's: ramps broken by noise. The top row gives
// 10-12-14 (step 2), 13-13, 200-201; the bottom row 50-50-50 and a lone 7
// lengthened by 0.1 pixel. Five runs pass a limit of five, not of four.
TEST(ScanBitmap, NoisyGreyRunsUpToTheLimitAreAllKept)
{
    plat::RecordingPrompt prompt;
    plat::SetPrompt(&prompt);
    const std::string photo = Image(8, {{0, 50, 50, 50, 0, 7, 0, 0}, {10, 12, 14, 13, 13, 0, 200, 201}});
    const std::size_t old = plat::SetMaxScanSegmentsForTesting(5);
    EXPECT_EQ(TakePath(Scan(photo, 0.1, 0, 0)), (std::vector<Seg>{{0, 1, 2, 1, 10, 14},
                                                                  {3, 1, 4, 1, 13, 13},
                                                                  {6, 1, 7, 1, 200, 201},
                                                                  {1, 0, 3, 0, 50, 50},
                                                                  {5, 0, 5.1, 0, 7, 7}}));
    EXPECT_TRUE(prompt.m_shown.empty());
    plat::SetMaxScanSegmentsForTesting(4);
    EXPECT_EQ(Scan(photo, 0.1, 0, 0), nullptr);
    EXPECT_EQ(prompt.m_shown.size(), 1u);
    plat::SetMaxScanSegmentsForTesting(old);
    plat::SetPrompt(nullptr);
}
