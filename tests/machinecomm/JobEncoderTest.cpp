// The job encoder: every block of the job body against bytes worked out by
// hand (numbers of five groups are written out, 14-bit offsets as two's
// complement), the closing overlap of closed paths, speed caps from the
// technology table, the size estimate and a buffer that is too small.
#include "ByteLanguage.h"
#include "JobEncoder.h"
#include "JobTestSupport.h"
#include "Vantrel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace plat {
namespace {

// An all-zero cut layer's header: type 00, speed 0, travel 0, four powers
// 0, flags, delays and laser delay 0.
constexpr std::size_t kZeroLayerHeader = 45;

Bytes Encode(TestJob& job, bool header, bool end, const SpeedLimitTable& limits = {})
{
    Bytes out(1 << 16);
    CJobEncoder encoder;
    const std::int64_t n = encoder.Encode(job.head, out.data(), header, end, 1 << 16, limits);
    EXPECT_GE(n, 0);
    out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return out;
}

// The bytes of the paths of a one-layer job on an all-zero layer.
Bytes PathBytes(TestJob& job, const SpeedLimitTable& limits = {})
{
    const Bytes body = Encode(job, false, false, limits);
    EXPECT_GE(body.size(), kZeroLayerHeader + 2);
    EXPECT_EQ(Bytes(body.end() - 2, body.end()), (Bytes{0xE0, 0x00}));
    return Bytes(body.begin() + kZeroLayerHeader, body.end() - 2);
}

TEST(FrameTrace, TwoByTwoJobAtCorner1AndNullPointers)
{
    TestJob job;
    MakeSquareJob(job);
    Bytes out(40, 0xAA);
    std::uint32_t length = 0;
    EXPECT_EQ(GetWidthAndHigh(&job.head, &length, out.data()), 35);
    EXPECT_EQ(length, 35u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 35), SquareFrameTrace());
    EXPECT_EQ(out[35], 0xAA);

    EXPECT_EQ(GetWidthAndHigh(nullptr, &length, out.data()), 0);
    EXPECT_EQ(GetWidthAndHigh(&job.head, nullptr, out.data()), 0);
    EXPECT_EQ(GetWidthAndHigh(&job.head, &length, nullptr), 0);

    // A corner above 3 goes as corner 0: +W, +H, -W, -H.
    job.head.m_originCorner = 9;
    GetWidthAndHigh(&job.head, &length, out.data());
    EXPECT_EQ(Bytes(out.begin() + 6, out.begin() + 11), (Bytes{0, 0, 0, 0x0F, 0x50}));
    EXPECT_EQ(Bytes(out.begin() + 30, out.begin() + 35), (Bytes{0x7F, 0x7F, 0x7F, 0x70, 0x30}));
}

TEST(Micrometres, HalvesRoundUpOrAwayAndHostileValuesClampTo32Bits)
{
    EXPECT_EQ(RoundHalfUp(-0.0005), 0);
    EXPECT_EQ(RoundHalfAway(-0.0005), -1);
    EXPECT_EQ(RoundHalfUp(0.0005), 1);
    EXPECT_EQ(RoundHalfUp(-1.2346), -1234);
    EXPECT_EQ(RoundHalfAway(-1.2346), -1235);
    const double inf = std::numeric_limits<double>::infinity();
    for (double big : {inf, 1e300, 2147484.0}) {
        EXPECT_EQ(RoundHalfUp(big), 2147483647);
        EXPECT_EQ(RoundHalfAway(-big), -2147483647 - 1);
    }
    EXPECT_EQ(RoundHalfUp(std::nan("")), 0);
    EXPECT_EQ(RoundHalfAway(std::nan("")), 0);
}

TEST(JobBody, HeaderLayerKindsBandOffsetAndArrayBracketsByHand)
{
    TestJob job;
    WORKHEAD& h = job.head;
    h.m_workMode = 2;
    h.m_hasObjectArrays = 1;
    h.m_feedCount = 2;
    h.m_feedLength = 1.5;
    h.m_feedDelay = 3;
    h.m_arrayUse = 1;
    h.m_arrayCountX = 3;
    h.m_arrayCountY = 2;
    h.m_pitchX = -5.0;
    h.m_pitchY = 4.0;
    h.m_maxX = 10.0;
    h.m_maxY = 8.0;
    h.m_banded = 1;
    const double firstExtents[4] = {12.0, 1.0, 9.0, 2.0}; // max x, min x, max y, min y
    std::copy(firstExtents, firstExtents + 4, h.m_firstExtents);
    h.m_originCorner = 2;
    h.m_posPoint = 7;

    WORKLAYER* light = job.AddLayer(0x81); // light-guide lines of a cut layer
    light->m_speed = 10.0f;
    light->m_lightDef = 1;
    light->m_flags = 3;
    light->m_startDelay = 20000; // beyond 14 bits
    light->m_endDelay = 1;
    light->m_laserDelay = 5000;
    light->m_hitTime = 0.000004f; // 4 us, sent as the 10 us least
    PATHREC* dots = job.AddPath(light, PATH_KIND_DOT);
    job.AddSegment(dots, 1, 1, 1, 1);
    job.AddSegment(dots, 2, 2, 2, 2);
    WORKLAYER* silent = job.AddLayer(0); // starts band 1 without output
    silent->m_bandIndex = 1;
    silent->m_bandGap = 3.0;
    WORKLAYER* scan = job.AddLayer(2);
    scan->m_bandIndex = 1;
    scan->m_bandGap = 3.0;
    scan->m_style = 2;
    scan->m_minPower1 = 2000;
    scan->m_maxPower1 = 1000; // below its minimum: raised to it
    scan->m_delayAfter = 1.5;
    PATHREC* open = job.AddPath(scan, PATH_KIND_GROUP);
    open->m_pArray = job.Own(ARRAYREC{2, 3, -4.0, 6.0, 0, 0.0, 0.0});
    job.AddSegment(job.AddPath(scan), 1, 2, 3, 2);
    job.AddPath(scan, PATH_KIND_GROUP);

    const Bytes expected = Cat({
        {0xE3, 0x03, 0x00, 0x00, 0xDD, 0x00, 0x00, 0xD1, 0x10, 0xD1, 0x00, 0xE0, 0x0D},
        {0xE0, 0x05, 0, 0, 0, 0, 0x02, 0, 0, 0, 0x0B, 0x5C}, // 2 feeds of 1500 um
        {0xE0, 0x0C, 0, 0, 0, 0, 0x03, 0xE0, 0x0E, 0x01},    // x pitch below 0
        {0xE0, 0x04, 0x00, 0x03, 0x00, 0x02, 0, 0, 0, 0x27, 0x08, 0, 0, 0, 0x1F, 0x20},
        {0xE0, 0x06, 0, 0, 0, 0, 0, 0xE0, 0x07, 0, 0, 0, 0x4E, 0x10},
        {0xE0, 0x08, 0, 0, 0, 0, 0, 0xE0, 0x09, 0, 0, 0, 0x3E, 0x40},
        {0xE0, 0x0F, 0, 0, 0, 0x07, 0x68, 0, 0, 0, 0x5D, 0x60,  // min x 1, max x 12
         0, 0, 0, 0x0F, 0x50, 0, 0, 0, 0x46, 0x28},             // min y 2, max y 9
        {0xE0, 0x0A, 0x02, 0xE0, 0x0B, 0x07},
        // Light-guide cut layer: type 00, powers by default, 16383 start delay.
        {0xCD, 0x01, 0x00, 0xC5, 0x02, 0, 0, 0, 0x4E, 0x10, 0xC5, 0x04, 0, 0, 0, 0, 0},
        {0xC0, 0x00, 0x00, 0x00, 0xC0, 0x04, 0x03, 0x00, 0xC0, 0x05, 0x7F, 0x7F},
        {0xC0, 0x06, 0x00, 0x01, 0xC0, 0x09, 0x40, 0x00},
        {0x80, 0, 0, 0, 0x07, 0x68, 0, 0, 0, 0x07, 0x68},      // dots: to (1, 1), two dwells
        {0xC0, 0x10, 0, 0, 0, 0, 0x0A, 0xC0, 0x10, 0, 0, 0, 0, 0x0A, 0xE0, 0x00},
        // The silent layer changed the band: its 3 mm gap opens the scan layer.
        {0x9F, 0x7F, 0, 0, 0, 0x17, 0x38},
        {0xCD, 0x01, 0x04, 0xC5, 0x00, 0x00, 0xC5, 0x04, 0, 0, 0, 0, 0},
        {0xC0, 0x01, 0x19, 0x4C, 0xC0, 0x02, 0x19, 0x4C, 0xC0, 0x08, 0, 0, 0xC0, 0x03, 0, 0},
        {0xC0, 0x04, 0, 0, 0xC0, 0x05, 0, 0, 0xC0, 0x06, 0, 0, 0xC0, 0x09, 0, 0},
        {0xE5, 0x00, 0x02, 0x00, 0x03, 0, 0, 0, 0x1F, 0x20, 0, 0, 0, 0x2E, 0x70}, // 2 x 3, 4, 6
        {0, 0, 0, 0x07, 0x68, 0, 0, 0, 0x17, 0x38, 0, 0, 0, 0x0F, 0x50, 0, 0, 0, 0x0F, 0x50, 0x02},
        {0x80, 0, 0, 0, 0x07, 0x68, 0, 0, 0, 0x0F, 0x50, 0x82, 0x00, 0x00, 0xA2, 0x0F, 0x50},
        {0xE6, 0xE0, 0x00, 0xC0, 0x11, 0, 0, 0x5B, 0x46, 0x60}, // 1,500,000 us
        {0xD0, 0xE3, 0x02, 0x00, 0x00},
    });
    EXPECT_EQ(Encode(job, true, true), expected);
}

TEST(Segments, ZeroLengthCutsVanishTravelsStayAndLongStepsGoAbsolute)
{
    TestJob job;
    PATHREC* path = job.AddPath(job.AddLayer(1));
    job.AddSegment(path, 1, 1, 1, 1);          // zero length: nothing at all
    job.AddSegment(path, 1, 1, 1.0 + 8.191, 1); // 8191 um: still relative
    job.AddSegment(path, 9.191, 1, 17.383, 1);  // 8192 um: absolute
    job.AddSegment(path, 17.383, 1, 17.383, -1);
    const Bytes expected = {
        0x80, 0, 0, 0, 0x07, 0x68, 0, 0, 0, 0x07, 0x68, // to (1, 1)
        0x82, 0x00, 0x00,                                // the travel to the start, 0 long
        0xA2, 0x3F, 0x7F,                                // +8191
        0xA0, 0, 0, 0x01, 0x07, 0x67, 0, 0, 0, 0x07, 0x68, // (17383, 1000)
        0xA3, 0x70, 0x30,                                // -2000
    };
    EXPECT_EQ(PathBytes(job), expected);
}

TEST(Segments, PowerBlocksFollowTheGreyModesAndGreysAreCappedInTheRecord)
{
    TestJob job;
    PATHREC* path = job.AddPath(job.AddLayer(1));
    SEGNODE* first = job.AddSegment(path, 0, 0, 1, 0, 1, 300, 10);
    job.AddSegment(path, 1, 0, 2, 0, 1, 10, 20); // starts at the power in force: no C1
    job.AddSegment(path, 2, 0, 3, 0, 2, 5, 0);   // C1 only, the power in force stays
    job.AddSegment(path, 3, 0, 4, 0, 1, 20, 20);
    const Bytes expected = {
        0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0xC1, 0x7F, 0x40, 0xC2, 0x05, 0x00, 0x82, 0x00, 0x00, // 255 x 64, 10 x 64
        0xC1, 0x7F, 0x40, 0xC2, 0x05, 0x00, 0xA2, 0x07, 0x68,
        0xC2, 0x0A, 0x00, 0xA2, 0x07, 0x68,
        0xC1, 0x02, 0x40, 0xA2, 0x07, 0x68,
        0xC2, 0x0A, 0x00, 0xA2, 0x07, 0x68, // 20 x 64 is still in force
    };
    EXPECT_EQ(PathBytes(job), expected);
    EXPECT_EQ(first->m_nGrey0, 255);
}

TEST(ClosedPaths, NegativeOverlapKeepsTheStartAndStopsShortOfTheCorner)
{
    TestJob job;
    MakeSquareJob(job);
    job.head.m_closeRepay = -0.2;
    PATHREC* square = job.head.m_layers->m_paths;
    const Bytes body = Encode(job, false, false);
    // After the travel to (10, 20): no step back, and the last side ends at
    // (10, 20.1), -1900 = 71 14; then E0 00 and the 0.5 s delay (9 bytes).
    const Bytes sides = {0x82, 0, 0, 0xA2, 0x0F, 0x50, 0xA3, 0x0F, 0x50,
                         0xA2, 0x70, 0x30, 0xA3, 0x71, 0x14};
    EXPECT_EQ(Bytes(body.end() - 9 - sides.size(), body.end() - 9), sides);
    EXPECT_EQ(square->m_closed, 1u);
    EXPECT_DOUBLE_EQ(square->m_pSegs->m_x0, 10.0);
}

TEST(SpeedLimit, CapInterpolatedIn64BitsNeverRaisingTheSpeed)
{
    const std::vector<SpeedLimitRow> one = {{10000, 20000}};
    EXPECT_FALSE(LookupSpeedLimit(one, 5000, 5000, 100000).apply);

    // 20000 x 480000 overflows 32 bits: the limit is 240000 + 20000.
    const std::vector<SpeedLimitRow> rows = {{10000, 20000}, {50000, 500000}};
    const SpeedLimit cap = LookupSpeedLimit(rows, 30000, 30000, 300000);
    EXPECT_TRUE(cap.apply);
    EXPECT_EQ(cap.limit, 260000);
    EXPECT_FALSE(LookupSpeedLimit(rows, 30000, 30000, 200000).apply) << "already slower";
    EXPECT_EQ(LookupSpeedLimit(rows, 5000, 9000, 300000).limit, 20000); // the first row

    // Beyond the last frame, extrapolated to 197,998,040,000: no cap.
    const std::vector<SpeedLimitRow> steep = {{10000, 20000}, {20000, 2000000000}};
    EXPECT_FALSE(LookupSpeedLimit(steep, 1000000, 1000000, 300000).apply);

    const std::vector<SpeedLimitRow> equal = {{10000, 20000}, {10000, 30000}};
    EXPECT_FALSE(LookupSpeedLimit(equal, 20000, 0, 300000).apply);

    // (5000 - 10000) x 99000 / 10000 + 1000 is negative: no cap either.
    const std::vector<SpeedLimitRow> falling = {{10000, 1000}, {20000, 100000}};
    EXPECT_FALSE(LookupSpeedLimit(falling, 10001, 0, 300000).apply);
}

TEST(SpeedLimit, CappedPathWritesC503AndTheNextUncappedPathLiftsIt)
{
    TestJob job;
    WORKLAYER* layer = job.AddLayer(1);
    job.AddPolyline(layer, {{0, 0}, {5, 0}});  // frame 5 mm: the first row's 20 mm/s
    job.AddPolyline(layer, {{0, 0}, {60, 0}}); // 50 mm/s, not below 40
    SpeedLimitTable table;
    table.enable = 1;
    table.rows = {{10000, 20000}, {50000, 80000}};
    layer->m_speed = 40.0f;
    const Bytes paths = Cat({
        {0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC5, 0x03, 0, 0, 0x01, 0x1C, 0x20},
        {0x82, 0, 0, 0xA2, 0x27, 0x08},
        {0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC5, 0x03, 0, 0, 0, 0, 0},
        {0x82, 0, 0, 0xA0, 0, 0, 0x03, 0x54, 0x60, 0, 0, 0, 0, 0},
        {0xE0, 0x00},
    });
    const Bytes capped = Encode(job, false, false, table);
    EXPECT_EQ(Bytes(capped.end() - paths.size(), capped.end()), paths);
}

TEST(Overflow, NothingPastTheCapacityAndOnlyAWholeEncodingMovesTheStart)
{
    TestJob job;
    MakeSquareJob(job);
    CJobEncoder encoder;
    Bytes out(64, 0xAA);
    EXPECT_EQ(encoder.Encode(job.head, out.data(), true, true, 20, {}), kEncodeOverflow);
    EXPECT_EQ(Bytes(out.begin() + 20, out.end()), Bytes(44, 0xAA));

    // The square fits, but leaves less than the 10,240-byte reserve.
    Bytes big(20000);
    EXPECT_EQ(encoder.Encode(job.head, big.data(), true, true, 10240 + 100, {}), kEncodeOverflow);
    EXPECT_DOUBLE_EQ(job.head.m_layers->m_paths->m_pSegs->m_x0, 10.0);
    const Bytes stream = SquareJobStream();
    EXPECT_EQ(Encode(job, true, true),
              Cat({Bytes(stream.begin() + 65, stream.end() - 2), {0x00, 0x00}}));
    // Now the moved start stays written back; the extended end is restored.
    const SEGNODE* first = job.head.m_layers->m_paths->m_pSegs;
    const SEGNODE* last = first->m_pNext->m_pNext->m_pNext;
    EXPECT_DOUBLE_EQ(first->m_x0, 9.9);
    EXPECT_DOUBLE_EQ(last->m_x1, 10.0);
    EXPECT_DOUBLE_EQ(last->m_y1, 20.0);
}

TEST(SizeEstimate, CountsByTheByteRulesAndClosesEveryList)
{
    TestJob job;
    MakeSquareJob(job);
    WORKLAYER* scan = job.AddLayer(2);
    PATHREC* lines = job.AddPath(scan);
    job.AddSegment(lines, 0, 0, 10, 0, 1);  // 11 (travel) + 11 (10000 um) + 3 (power)
    job.AddSegment(lines, 10, 1, 0, 1);     // travel 3 (dy 1000) + 11
    job.AddLayer(0);                        // no output: not counted
    // 400 + 2 layers x 50 + square 11 + 4 x 3 + lines 11 + 11 + 3 + 3 + 11.
    EXPECT_EQ(CalcJobSize(job.head), 400u + 100 + 23 + 39);
    EXPECT_EQ(job.head.m_layers->m_paths->m_closed, 1u);
    EXPECT_EQ(lines->m_closed, 0u);
    SEGNODE* first = lines->m_pSegs;
    EXPECT_EQ(first->m_pNext->m_pNext, first);
    EXPECT_EQ(first->m_pPrev, first->m_pNext);
    EXPECT_EQ(lines->m_pNext, lines);
    EXPECT_EQ(scan->m_next->m_next, job.head.m_layers);
    EXPECT_EQ(job.head.m_layers->m_prev, scan->m_next);
}

} // namespace
} // namespace plat
