// Contour offset: squares out and in (and in past their middle), outlines
// whose offset meets itself (a neck, a slot), the open corner path on both
// sides, the cut mitre of a one-degree spike on a closed and an open
// outline, spikes turning either way, and the selection command.
#include "ProcessingTestSupport.h"
#include "processing/PathProc.h"

#include "model/CurveGeometry.h"
#include "model/DocContext.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace plat {
namespace {

void ExpectPoints(const DOCNODE* head, const std::vector<XY>& expected, double tol = 1e-9)
{
    const std::vector<XY> got = NodePositions(head);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].first, expected[i].first, tol) << "node " << i;
        EXPECT_NEAR(got[i].second, expected[i].second, tol) << "node " << i;
    }
}

CDocData* ClosedSquare(double side)
{
    return MakeLine({{0, 0}, {side, 0}, {side, side}, {0, side}, {0, 0}});
}

TEST(OffsetContour, SquareMovesOutAndInAndAnOffsetPastItsMiddleGivesNothing)
{
    CDocData* square = ClosedSquare(100);
    ASSERT_EQ(square->m_bClosed, 1);
    CDocData* out = CPathProc::OffsetContour(square, 10, 1, nullptr);
    ASSERT_NE(out, nullptr);
    ExpectPoints(out->m_pNodes, {{-10, -10}, {110, -10}, {110, 110}, {-10, 110}, {-10, -10}});
    EXPECT_NEAR(out->m_rcBound.m_xmax, 110.0, 1e-9);
    CDocData* in = CPathProc::OffsetContour(square, 10, 0, nullptr);
    ASSERT_NE(in, nullptr);
    ExpectPoints(in->m_pNodes, {{10, 10}, {90, 10}, {90, 90}, {10, 90}, {10, 10}});
    // 60 inwards would give the square (60,60)-(40,40) run the other way
    // round: the outline has collapsed.
    EXPECT_EQ(CPathProc::OffsetContour(square, 60, 0, nullptr), nullptr);
    // An open outline has no inside.
    square->m_bClosed = 0;
    EXPECT_EQ(CPathProc::OffsetContour(square, 10, 1, nullptr), nullptr);
    delete out;
    delete in;
    delete square;
}

// The shortest distance from (x, y) to the closed outline through `pts`.
double DistanceToOutline(const std::vector<XY>& pts, double x, double y)
{
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        const auto [ax, ay] = pts[i];
        const auto [bx, by] = pts[i + 1];
        const double dx = bx - ax, dy = by - ay;
        const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        best = std::min(best, std::hypot(x - ax - t * dx, y - ay - t * dy));
    }
    return best;
}

// Every node, and every hundredth of every edge, of the outline lies at
// least `d` (less the tolerance) from the source.
void ExpectKeepsDistance(const DOCNODE* nodes, const std::vector<XY>& source, double d)
{
    const std::vector<XY> pts = NodePositions(nodes);
    for (std::size_t i = 0; i + 1 < pts.size(); ++i)
        for (int k = 0; k <= 100; ++k) {
            const double x = pts[i].first + (pts[i + 1].first - pts[i].first) * k / 100.0;
            const double y = pts[i].second + (pts[i + 1].second - pts[i].second) * k / 100.0;
            EXPECT_GE(DistanceToOutline(source, x, y), d - 0.001) << "edge " << i << " at " << k;
        }
}

TEST(OffsetContour, AnOffsetThatMeetsItselfKeepsOnlyTheOutlinesAtTheDistance)
{
    // Two 100 x 100 pads joined by a neck 20 wide, 15 inwards: the neck's
    // offset edges cross and would turn it inside out. What is left is the
    // inner square of each pad (the nodes where the neck met them stay on
    // their edges).
    const std::vector<XY> pads{{0, 0},    {100, 0},  {100, 40},  {150, 40}, {150, 0}, {250, 0}, {250, 100},
                               {150, 100}, {150, 60}, {100, 60}, {100, 100}, {0, 100}, {0, 0}};
    CDocListNode document;
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &document;
    CDocData* source = MakeLine(pads);
    source->m_nLayer = 6;
    source->SetSelected(1);
    document.m_pFirst = source;
    CPathProc::OffsetSelection(&ctx, 15, 0, 1);
    ASSERT_EQ(CountObjects(document.m_pFirst), 2);
    const CDocData* a = document.m_pFirst;
    const CDocData* b = a->m_pNext;
    ExpectPoints(a->m_pNodes, {{15, 15}, {85, 15}, {85, 45}, {85, 55}, {85, 85}, {15, 85}, {15, 15}});
    ExpectPoints(b->m_pNodes, {{165, 55}, {165, 45}, {165, 15}, {235, 15}, {235, 85}, {165, 85}, {165, 55}});
    for (const CDocData* o : {a, b}) {
        EXPECT_EQ(o->m_nLayer, 6);
        EXPECT_EQ(o->IsSelected(), 1);
        ExpectKeepsDistance(o->m_pNodes, pads, 15);
    }

    // A 100 x 100 part with a slot 20 wide and 50 deep from its top, 15
    // outwards: the offset walls cross inside the slot and its bottom would
    // cut into the part. The offset bridges the slot instead.
    const std::vector<XY> slotted{{0, 0},   {100, 0}, {100, 100}, {60, 100}, {60, 50},
                                  {40, 50}, {40, 100}, {0, 100},   {0, 0}};
    CDocData* part = MakeLine(slotted);
    CDocData* out = CPathProc::OffsetContour(part, 15, 1, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->m_pNext, nullptr);
    ExpectPoints(out->m_pNodes, {{-15, -15}, {115, -15}, {115, 115}, {55, 115}, {45, 115}, {-15, 115}, {-15, -15}});
    ExpectKeepsDistance(out->m_pNodes, slotted, 15);
    delete out;
    delete part;
}

TEST(OffsetContour, ACurveWhoseOffsetMeetsItselfIsOffsetAsTheOutlineItIsCutAs)
{
    // The pads of the neck drawn as a Bezier path of straight pieces (each
    // piece's controls on it at a third and two thirds): offsetting its
    // nodes crosses the neck's edges as before, so the outline is offset as
    // the polyline it is cut as, and the two pads' outlines are polylines.
    const std::vector<XY> pads{{0, 0},    {100, 0},  {100, 40},  {150, 40}, {150, 0}, {250, 0}, {250, 100},
                               {150, 100}, {150, 60}, {100, 60}, {100, 100}, {0, 100}, {0, 0}};
    std::vector<XY> pieces;
    for (std::size_t i = 0; i + 1 < pads.size(); ++i) {
        const auto [ax, ay] = pads[i];
        const auto [bx, by] = pads[i + 1];
        pieces.insert(pieces.end(), {{ax, ay}, {ax + (bx - ax) / 3, ay + (by - ay) / 3},
                                     {ax + 2 * (bx - ax) / 3, ay + 2 * (by - ay) / 3}});
    }
    pieces.push_back(pads.front());
    CDocData* curve = MakeBezier(pieces);
    ASSERT_EQ(curve->m_bClosed, 1);
    CDocData* in = CPathProc::OffsetContour(curve, 15, 0, nullptr);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(in->m_pNext, nullptr);
    EXPECT_EQ(in->m_pNext->m_pNext, nullptr);
    for (CDocData* o = in; o != nullptr; o = o->m_pNext) {
        EXPECT_EQ(o->GetType(), static_cast<std::uint32_t>(MT_LINE));
        ExpectKeepsDistance(o->m_pNodes, pads, 15);
    }
    delete in->m_pNext;
    delete in;
    delete curve;

    // A circle of four quarter arcs, 10 outwards, keeps its curve nodes.
    const double r = 100, c = r * kBezierQuarterFactor;
    CDocData* circle = MakeBezier({{r, 0}, {r, c}, {c, r}, {0, r}, {-c, r}, {-r, c}, {-r, 0}, {-r, -c}, {-c, -r},
                                   {0, -r}, {c, -r}, {r, -c}, {r, 0}});
    CDocData* out = CPathProc::OffsetContour(circle, 10, 1, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->m_pNext, nullptr);
    EXPECT_EQ(out->GetType(), static_cast<std::uint32_t>(MT_BEZIER));
    EXPECT_EQ(NodePositions(out->m_pNodes).size(), 13u);
    delete out;
    delete circle;
}

TEST(OffsetOpenPath, CornerPathOnBothSides)
{
    // (0,0)-(100,0)-(100,50) by 10. The ends are lengthened by 10 for the
    // offset and shortened again after it: left (the inside of the turn)
    // (0,10)-(90,10)-(90,50), right (0,-10)-(110,-10)-(110,50).
    CDocData* path = MakeLine({{0, 0}, {100, 0}, {100, 50}});
    EXPECT_TRUE(CPathProc::IsOpenPathLeft(path));
    CDocData* left = CPathProc::OffsetOpenPath(path, 10, 1, 100, nullptr);
    ExpectPoints(left->m_pNodes, {{0, 10}, {90, 10}, {90, 50}});
    CDocData* right = CPathProc::OffsetOpenPath(path, 10, 0, 100, nullptr);
    ExpectPoints(right->m_pNodes, {{0, -10}, {110, -10}, {110, 50}});
    EXPECT_EQ(NodePositions(path->m_pNodes), (std::vector<XY>{{0, 0}, {100, 0}, {100, 50}}));
    delete left;
    delete right;
    delete path;
}

// A spike with a one-degree tip at (100, 0), symmetric about the x axis.
const double kHalf = 0.5 * std::numbers::pi / 180.0;
const double kA = 100.0 * std::tan(kHalf);
const double kC = 10.0 / std::cos(kHalf); // how far the offset lines lie off the legs along y

TEST(OffsetContour, OneDegreeSpikeIsCutSquareFourDistancesBeyondItsTip)
{
    // The crossing of the two offset lines lies 10 / sin(0.5 deg) = 1146
    // beyond the tip. It is cut at x = 100 + 4 x 10 by two nodes on the
    // offset lines y = -a + a x / 100 -/+ c. The base corners keep their
    // crossings with x = -10.
    CDocData* spike = MakeLine({{0, -kA}, {100, 0}, {0, kA}, {0, -kA}});
    CDocData* out = CPathProc::OffsetContour(spike, 10, 1, nullptr);
    ASSERT_NE(out, nullptr);
    ExpectPoints(out->m_pNodes, {{-10, -1.1 * kA - kC},
                                 {140, 0.4 * kA - kC},
                                 {140, kC - 0.4 * kA},
                                 {-10, 1.1 * kA + kC},
                                 {-10, -1.1 * kA - kC}},
                 1e-9);
    delete out;
    delete spike;
}

TEST(OffsetOpenPath, OneDegreeSpikeKeepsItsTipWithinFourDistances)
{
    CDocData* spike = MakeLine({{0, -kA}, {100, 0}, {0, kA}});
    // Outside (right of the way in): the ends sit on the normals at the
    // ends, the tip is cut square at x = 140.
    CDocData* outside = CPathProc::OffsetOpenPath(spike, 10, 0, 100, nullptr);
    const double s = std::sin(kHalf), c = std::cos(kHalf);
    ExpectPoints(outside->m_pNodes,
                 {{10 * s, -kA - 10 * c}, {140, 0.4 * kA - kC}, {140, kC - 0.4 * kA}, {10 * s, kA + 10 * c}});
    delete outside;
    delete spike;
}

TEST(OffsetOpenPath, OneDegreeVOnItsInnerSideHasNoNodeBeyondFourDistances)
{
    // Legs of 10 mm (100) meeting at one degree, 1 mm (10) inside: the
    // offset lines of the legs cross 10 / sin(0.5 deg) = 1146 beyond the
    // tip; cut square 40 from the tip, every node stays within 40 of the V.
    const std::vector<XY> v{{0, -kA}, {100, 0}, {0, kA}};
    CDocData* spike = MakeLine(v);
    CDocData* inside = CPathProc::OffsetOpenPath(spike, 10, 1, 100, nullptr);
    const std::vector<XY> nodes = NodePositions(inside->m_pNodes);
    ASSERT_GE(nodes.size(), 2u);
    for (const auto& [x, y] : nodes) {
        double nearest = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i + 1 < v.size(); ++i) {
            const double dx = v[i + 1].first - v[i].first, dy = v[i + 1].second - v[i].second;
            const double t = std::clamp(((x - v[i].first) * dx + (y - v[i].second) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
            nearest = std::min(nearest, std::hypot(x - v[i].first - t * dx, y - v[i].second - t * dy));
        }
        EXPECT_LE(nearest, 40.0 + 1e-9) << x << ", " << y;
    }
    delete inside;
    delete spike;
}

TEST(OffsetOpenPath, SpikesTurningEitherWayAreRemoved)
{
    // The turn at the middle node is a hair short of pi, once clockwise and
    // once counter-clockwise; both are spikes.
    for (bool flip : {false, true}) {
        DOCNODE* nodes = flip ? MakeNodes({{0, 0.02}, {100, 0.01}, {0, 0}}) : MakeNodes({{0, 0}, {100, 0.01}, {0, 0.02}});
        CPathProc::RemoveSpikes(nodes, 0.2);
        EXPECT_EQ(NodePositions(nodes).size(), 2u) << flip;
        CDocState::FreeNodeList(nodes);
    }
    // A right angle stays.
    DOCNODE* corner = MakeNodes({{0, 0}, {10, 0}, {10, 10}});
    CPathProc::RemoveSpikes(corner, 0.2);
    EXPECT_EQ(NodePositions(corner).size(), 3u);
    CDocState::FreeNodeList(corner);
}

TEST(OffsetSelection, SquareGetsItsOffsetRightAfterItAndTextsAndGroupsStay)
{
    CDocListNode document;
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &document;
    CDocData* square = ClosedSquare(100);
    square->m_nLayer = 4;
    square->m_nColor = 0x00FF00;
    square->m_bOutput = 1;
    CDocData* group = new CDocDataGroup(LinkObjects({MakeLine({{200, 0}, {300, 0}})}), nullptr);
    CDocData* other = MakeLine({{0, 500}, {10, 500}});
    square->SetSelected(1);
    group->SetSelected(1);
    other->SetSelected(0);
    document.m_pFirst = LinkObjects({square, group, other});
    CPathProc::OffsetSelection(&ctx, 10, 1, 0);
    ASSERT_EQ(CountObjects(document.m_pFirst), 4);
    EXPECT_EQ(document.m_pFirst, square);
    CDocData* added = square->m_pNext;
    EXPECT_EQ(added->m_pNext, group);
    EXPECT_EQ(group->m_pNext, other);
    EXPECT_EQ(added->m_pPrev, square);
    EXPECT_EQ(square->IsSelected(), 0);
    EXPECT_EQ(added->IsSelected(), 1);
    EXPECT_EQ(added->m_nLayer, 4);
    EXPECT_EQ(added->m_nColor, 0x00FF00u);
    ExpectPoints(added->m_pNodes, {{-10, -10}, {110, -10}, {110, 110}, {-10, 110}, {-10, -10}});
    EXPECT_NEAR(ctx.m_rcSelect.m_xmin, -10.0, 1e-9);
    EXPECT_NEAR(ctx.m_rcSelect.m_ymax, 110.0, 1e-9);

    // Deleting the source: the offset takes its place.
    added->SetSelected(0);
    square->SetSelected(1);
    CPathProc::OffsetSelection(&ctx, 5, 0, 1);
    ASSERT_EQ(CountObjects(document.m_pFirst), 4);
    ExpectPoints(document.m_pFirst->m_pNodes, {{5, 5}, {95, 5}, {95, 95}, {5, 95}, {5, 5}});
    EXPECT_EQ(document.m_pFirst->m_pNext, added);
}

} // namespace
} // namespace plat
