// Cut repair (the play taken up where the head reverses, between paths and
// within them) and the merging of short segments. Millimetres; values
// worked out by hand.
#include "ProcessingTestSupport.h"

#include "model/PathRecord.h"
#include "processing/JobRecords.h"
#include "processing/PathProc.h"
#include "settings/MachineTech.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

using plat::XY;

using Ends = std::array<double, 4>; // x0, y0, x1, y1

std::vector<Ends> EndsOf(const PATHREC* path)
{
    std::vector<Ends> out;
    ForEachInRing(path->m_pSegs, &SEGNODE::m_pNext,
                  [&](SEGNODE& s) { out.push_back({s.m_x0, s.m_y0, s.m_x1, s.m_y1}); });
    return out;
}

void ExpectEnds(const PATHREC* path, const std::vector<Ends>& want)
{
    const std::vector<Ends> got = EndsOf(path);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        for (std::size_t k = 0; k < 4; ++k)
            EXPECT_NEAR(got[i][k], want[i][k], 1e-12) << "segment " << i << ", value " << k;
}

WORKLAYER* Layer(std::uint8_t mode, float speed, std::initializer_list<PATHREC*> paths)
{
    WORKLAYER* layer = plat::MakeLayer(paths);
    layer->m_mode = mode;
    layer->m_speed = speed;
    return layer;
}

// 100 mm/s: 0.1 / 0.2; 200 mm/s: 0.3 / 0.4.
struct Table {
    Table()
    {
        rows[0] = {100.0, 0.1, 0.2, nullptr, &rows[1]};
        rows[1] = {200.0, 0.3, 0.4, &rows[0], nullptr};
    }
    std::array<CUTREPAIR, 2> rows;
};

TEST(CutRepair, ReversalsBetweenPathsShiftEverythingAfterByTheRowAboveTheSpeedFromTheLastEndOfAnyLayer)
{
    // At 100 mm/s the row is the first one faster: 200 mm/s (0.3 / 0.4).
    PATHREC* p1 = plat::MakePath({{10, 10}, {20, 10}});
    PATHREC* p2 = plat::MakePath({{5, 20}, {6, 20}});
    PATHREC* p3 = plat::MakePath({{8, 5}, {9, 5}});
    PATHREC* after = plat::MakePath({{0, 0}, {1, 0}});
    WORKLAYER* layers = plat::LinkLayers({Layer(1, 100.0f, {p1, p2, p3}), Layer(2, 100.0f, {after})});
    Table table;
    CPathProc::ApplyCutRepair(layers, table.rows.data());
    // Out to p1: +x, +y. Back to p2: -x, so p2 on moves by -0.3. On to p3:
    // +x again (+0.3, back to where it was) and -y (-0.4).
    ExpectEnds(p1, {{10, 10, 20, 10}});
    ExpectEnds(p2, {{4.7, 20, 5.7, 20}});
    ExpectEnds(p3, {{8, 4.6, 9, 4.6}});
    EXPECT_NEAR(p2->m_xmin, 4.7, 1e-12);
    // A later layer of another kind carries the shifts too.
    ExpectEnds(after, {{0, -0.4, 1, -0.4}});
    FreePathRecordGroups(layers);

    // A cut layer after a scan starts from the scan's end (50, 50): back
    // to (10, 10) sets -x and -y, unknown before; on to (30, 5) turns +x,
    // above every row's speed by the last row's 0.3.
    PATHREC* cut1 = plat::MakePath({{10, 10}, {11, 10}});
    PATHREC* cut2 = plat::MakePath({{30, 5}, {31, 5}});
    layers = plat::LinkLayers({Layer(2, 100.0f, {plat::MakePath({{0, 0}, {50, 50}})}), Layer(1, 300.0f, {cut1, cut2})});
    CPathProc::ApplyCutRepair(layers, table.rows.data());
    ExpectEnds(cut1, {{10, 10, 11, 10}});
    ExpectEnds(cut2, {{30.3, 5, 31.3, 5}});
    // Without a table nothing moves.
    CPathProc::ApplyCutRepair(layers, nullptr);
    ExpectEnds(cut2, {{30.3, 5, 31.3, 5}});
    FreePathRecordGroups(layers);
}

TEST(CutRepair, ReversalsWithinAPathShiftTheRestByOrientationAndRepeatedVerticesDoNotTurnIt)
{
    // Clockwise (y up) from the origin: the -y side and the -x side reverse.
    PATHREC* cw = plat::MakePath({{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}});
    CPathProc::CompensateInPath(cw, 0.1, 0.2);
    ExpectEnds(cw, {{0, 0, 0, 10}, {0, 10, 10, 10}, {10, 10, 10, -0.2}, {10, -0.2, -0.1, -0.2}});
    // Counter-clockwise: the amounts turn round.
    PATHREC* ccw = plat::MakePath({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
    CPathProc::CompensateInPath(ccw, 0.1, 0.2);
    ExpectEnds(ccw, {{0, 0, 10, 0}, {10, 0, 10, 10}, {10, 10, 0.1, 10}, {0.1, 10, 0.1, 0.2}});
    // Orientation: -1 with two segments, -3 open; a counter-clockwise path
    // with (0, 10) twice takes its turn there against the next distinct
    // point, not the repeated one.
    PATHREC* two = plat::MakePath({{0, 0}, {1, 0}, {0, 0}});
    PATHREC* open = plat::MakePath({{0, 0}, {1, 0}, {1, 1}, {2, 2}});
    PATHREC* repeated = plat::MakePath({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 10}, {0, 0}});
    EXPECT_EQ(CPathProc::PathOrientation(two->m_pSegs), -1);
    EXPECT_EQ(CPathProc::PathOrientation(open->m_pSegs), -3);
    EXPECT_EQ(CPathProc::PathOrientation(repeated->m_pSegs), 0);
    for (PATHREC* p : {cw, ccw, two, open, repeated})
        FreePathRecordList(p);
}

// The repair as it is described: every change shifts all later segments
// (or paths) at once.
void LiteralCompensate(PATHREC* path, double ax, double ay)
{
    std::vector<SEGNODE*> segs;
    ForEachSegment(*path, [&](SEGNODE& s) { segs.push_back(&s); });
    const int o = CPathProc::PathOrientation(path->m_pSegs);
    for (int axis = 0; axis < 2; ++axis) {
        auto at = [&](SEGNODE* s, bool start) -> double& {
            return axis == 0 ? (start ? s->m_x0 : s->m_x1) : (start ? s->m_y0 : s->m_y1);
        };
        const double amount = axis == 0 ? ax : ay;
        int dir = 0;
        for (std::size_t i = 0; i < segs.size(); ++i) {
            const double d = at(segs[i], false) - at(segs[i], true);
            const int nd = d > 1e-5 ? 1 : d < -1e-5 ? -1 : 0;
            if (nd == 0)
                continue;
            if (dir != 0 && nd != dir) {
                const double step = (nd > 0) == (o != 0) ? amount : -amount;
                for (std::size_t k = i; k < segs.size(); ++k) {
                    at(segs[k], true) += step;
                    at(segs[k], false) += step;
                }
                at(segs[i], true) = at(segs[i - 1], false);
            }
            dir = nd;
        }
    }
}

TEST(CutRepair, RunningOffsetStaysWithinAMicronOfTheLiteralShifts)
{
    // An 8,000-segment zigzag with irregular steps: thousands of reversals
    // along both axes, each shifting the rest of the path.
    std::mt19937 rng(5);
    std::vector<XY> pts{{0, 0}};
    for (int k = 0; k < 8000; ++k) {
        const double dx = (static_cast<int>(rng() % 7) - 3) * 0.37;
        const double dy = (static_cast<int>(rng() % 7) - 3) * 0.53;
        pts.emplace_back(pts.back().first + dx, pts.back().second + dy);
    }
    PATHREC* fast = plat::MakePath(pts);
    PATHREC* literal = plat::MakePath(pts);
    CPathProc::CompensateInPath(fast, 0.013, 0.021);
    LiteralCompensate(literal, 0.013, 0.021);
    const std::vector<Ends> a = EndsOf(fast), b = EndsOf(literal);
    ASSERT_EQ(a.size(), b.size());
    double worst = 0.0;
    std::size_t moved = 0; // and the repair did move most segments
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t k = 0; k < 4; ++k)
            worst = std::max(worst, std::fabs(a[i][k] - b[i][k]));
        moved += std::fabs(a[i][2] - pts[i + 1].first) > 1e-3 || std::fabs(a[i][3] - pts[i + 1].second) > 1e-3;
    }
    EXPECT_LT(worst, 1e-6);
    EXPECT_GT(moved, 2000u);
    FreePathRecordList(fast);
    FreePathRecordList(literal);
}

TEST(MergeShortSegments, StraightRunsOfQuarterMillimetresBecomeThreeQuarterSegments)
{
    // Eight segments of 0.25 mm, L = 0.8 mm, A = 10 degrees: each merged
    // segment takes three; the last two stay, since a run never wraps round
    // to the first segment.
    std::vector<XY> pts;
    for (int k = 0; k <= 8; ++k)
        pts.emplace_back(0.25 * k, 0.0);
    PATHREC* straight = plat::MakePath(pts);
    const double tenDegrees = 10.0 * std::numbers::pi / 180.0;
    CPathProc::MergeShortSegmentsInPath(straight, 0.8, tenDegrees);
    EXPECT_EQ(plat::SegmentPoints(straight), (std::vector<XY>{{0, 0}, {0.75, 0}, {1.5, 0}, {1.75, 0}, {2, 0}}));
    EXPECT_EQ(straight->m_pSegs->m_pPrev->m_pNext, straight->m_pSegs);

    // A right angle of two 0.1 mm segments stays: the turn exceeds A at once.
    PATHREC* corner = plat::MakePath({{0, 0}, {0.1, 0}, {0.1, 0.1}});
    CPathProc::MergeShortSegmentsInPath(corner, 0.8, tenDegrees);
    EXPECT_EQ(plat::SegmentPoints(corner), (std::vector<XY>{{0, 0}, {0.1, 0}, {0.1, 0.1}}));

    // Off the end of an open list the first segment takes the last end.
    PATHREC* open = plat::MakePath({{0, 0}, {0.1, 0}, {0.2, 0}, {0.3, 0}});
    SEGNODE* first = open->m_pSegs;
    first->m_pPrev->m_pNext = nullptr;
    first->m_pPrev = nullptr;
    CPathProc::MergeShortSegmentsInPath(open, 0.8, tenDegrees);
    EXPECT_EQ(first->m_pNext, nullptr);
    EXPECT_EQ(first->m_x1, 0.3);

    // Only cut layers are merged, and only for a length of 0.001 or more.
    PATHREC* onScan = plat::MakePath(pts);
    PATHREC* onCut = plat::MakePath(pts);
    WORKLAYER* layers = plat::LinkLayers({Layer(2, 0.0f, {onScan}), Layer(1, 0.0f, {onCut})});
    CPathProc::MergeShortSegments(layers, 0.0005, tenDegrees);
    EXPECT_EQ(plat::SegmentPoints(onCut).size(), 9u);
    CPathProc::MergeShortSegments(layers, 0.8, tenDegrees);
    EXPECT_EQ(plat::SegmentPoints(onScan).size(), 9u);
    EXPECT_EQ(plat::SegmentPoints(onCut).size(), 5u);
    FreePathRecordGroups(layers);
    for (PATHREC* p : {straight, corner, open})
        FreePathRecordList(p);
}

} // namespace
