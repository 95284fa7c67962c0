// Curve smoothing and fitting. Smoothing samples a cubic Hermite curve on
// every segment; fitting splines the runs of gentle turns and keeps corners.
// Expected points are worked out from the curve formulas by hand.
#include "ProcessingTestSupport.h"
#include "processing/PathProc.h"

#include "model/DocContext.h"
#include "model/DocDataGroup.h"
#include "model/DocDataPoint.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "platform/Progress.h"

#include <gtest/gtest.h>

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

// Segment by segment for (0,0), (10,0), (20,5), (30,0), t = 0, 0.5, 1:
//   first:  T0 = (10,-1.25), T1 = (10,2.5): Q = (10t, 1.25t^3 - 1.25t),
//           middle (5,-0.46875), 0.46875 from the segment;
//   inner:  T1 = (10,2.5), T2 = (10,0): Q = (10+10t, -7.5t^3 + 10t^2 + 2.5t),
//           middle (15,2.8125), 3.125 / sqrt(125) = 0.2795 from it;
//   last:   T2 = (10,0), T3 = (10,-7.5): Q = (20+10t, 2.5t^3 - 7.5t^2 + 5),
//           middle (25,3.4375), 9.375 / sqrt(125) = 0.8385 from it.
// Tolerance 1.0 keeps every middle, 0.1 none; the joints come twice.
TEST(SmoothPolyline, HermiteSamplesWithinTheToleranceAndJointsTwice)
{
    const std::vector<XY> input{{0, 0}, {10, 0}, {20, 5}, {30, 0}};
    DOCNODE* nodes = MakeNodes(input);

    DOCNODE* wide = CPathProc::SmoothPolyline(nodes, 2, 1.0);
    ExpectPoints(wide, {{0, 0}, {5, -0.46875}, {10, 0}, {10, 0}, {15, 2.8125}, {20, 5}, {20, 5}, {25, 3.4375},
                        {30, 0}});
    for (const DOCNODE* n = wide; n != nullptr; n = n->m_pNext) {
        EXPECT_EQ(n->m_nKind, NODE_ANCHOR);
        EXPECT_EQ(n->m_nSelect, NODE_UNSELECTED);
    }
    DOCNODE* tight = CPathProc::SmoothPolyline(nodes, 2, 0.1);
    ExpectPoints(tight, {{0, 0}, {10, 0}, {10, 0}, {20, 5}, {20, 5}, {30, 0}});
    // The input keeps its nodes.
    EXPECT_EQ(NodePositions(nodes), input);

    CDocState::FreeNodeList(wide);
    CDocState::FreeNodeList(tight);
    CDocState::FreeNodeList(nodes);
}

// A repeated node would make a zero-length segment whose tangents are taken
// from the wrong neighbours; it is merged first, in the input too.
TEST(SmoothPolyline, RepeatedNodeIsMergedFirstAndBadArgumentsGiveNothing)
{
    DOCNODE* nodes = MakeNodes({{0, 0}, {10, 0}, {10.000001, 0}, {20, 5}, {30, 0}});
    DOCNODE* smooth = CPathProc::SmoothPolyline(nodes, 2, 0.1);
    ExpectPoints(smooth, {{0, 0}, {10, 0}, {10, 0}, {20, 5}, {20, 5}, {30, 0}});
    EXPECT_EQ(CountNodes(nodes), 4);
    CDocState::FreeNodeList(smooth);

    EXPECT_EQ(CPathProc::SmoothPolyline(nodes, 0, 1.0), nullptr);
    EXPECT_EQ(CPathProc::SmoothPolyline(nodes, -3, 1.0), nullptr);
    EXPECT_EQ(CPathProc::SmoothPolyline(nodes, 2, std::numeric_limits<double>::quiet_NaN()), nullptr);
    CDocState::FreeNodeList(nodes);

    DOCNODE* two = MakeNodes({{0, 0}, {10, 0}, {10, 0.000001}});
    EXPECT_EQ(CPathProc::SmoothPolyline(two, 2, 1.0), nullptr);
    CDocState::FreeNodeList(two);
}

class CurveEditDocument : public testing::Test {
protected:
    void SetUp() override
    {
        m_doc = new CDocListNode;
        m_ctx.m_pCurrent = m_doc;
        SetProgressSink(&m_progress);
    }
    void TearDown() override
    {
        SetProgressSink(nullptr);
        delete m_doc;
    }

    DOCCONTEXT m_ctx;
    CDocListNode* m_doc = nullptr;
    RecordingProgress m_progress;
};

TEST_F(CurveEditDocument, SmoothingChangesSelectedTopLevelPolylinesOnly)
{
    const std::vector<XY> wave{{0, 0}, {10, 0}, {20, 5}, {30, 0}};
    CDocData* line = MakeLine(wave);
    CDocData* twoNodes = MakeLine({{100, 100}, {110, 100}});
    CDocData* unselected = MakeLine(wave);
    unselected->m_bSelected = 0;
    CDocData* child = MakeLine(wave);
    CDocData* group = new CDocDataGroup(LinkObjects({child}), &m_ctx);
    m_doc->m_pFirst = LinkObjects({line, twoNodes, unselected, group});
    m_ctx.m_rcSelect = CGeoBox(-50, 500, -50, 500);

    EXPECT_TRUE(CPathProc::SmoothCurves(&m_ctx, 2, 1.0));
    EXPECT_EQ(CountNodes(line->m_pNodes), 9);
    EXPECT_EQ(line->m_bClosed, 0);
    EXPECT_EQ(NodePositions(twoNodes->m_pNodes), (std::vector<XY>{{100, 100}, {110, 100}}));
    EXPECT_EQ(NodePositions(unselected->m_pNodes), wave);
    EXPECT_EQ(NodePositions(child->m_pNodes), wave);
    // Only the changed polyline's box, which now dips to the first middle.
    EXPECT_DOUBLE_EQ(m_ctx.m_rcSelect.m_xmin, 0.0);
    EXPECT_DOUBLE_EQ(m_ctx.m_rcSelect.m_xmax, 30.0);
    EXPECT_DOUBLE_EQ(m_ctx.m_rcSelect.m_ymin, -0.46875);
    EXPECT_DOUBLE_EQ(m_ctx.m_rcSelect.m_ymax, 5.0);
    EXPECT_EQ(line->m_rcBound.m_ymin, -0.46875);

    // Nothing left that smoothing could change: false, empty box.
    line->m_bSelected = 0;
    EXPECT_FALSE(CPathProc::SmoothCurves(&m_ctx, 2, 1.0));
    EXPECT_TRUE(m_ctx.m_rcSelect.IsEmpty());
}

TEST(TakeSmoothRun, RunEndsBeforeTheCornerWithItsEndsTripledAndTheRestStartsThere)
{
    // Turns: 5.7 degrees at (10,0), 5.6 at (20,1), 78.7 at (30,3).
    DOCNODE* list = MakeNodes({{0, 0}, {10, 0}, {20, 1}, {30, 3}, {30, 20}});
    bool found = false;
    DOCNODE* run = CPathProc::TakeSmoothRun(list, 2.0, found);
    EXPECT_TRUE(found);
    EXPECT_EQ(NodePositions(run),
              (std::vector<XY>{{0, 0}, {0, 0}, {0, 0}, {10, 0}, {20, 1}, {30, 3}, {30, 3}, {30, 3}}));
    EXPECT_EQ(NodePositions(list), (std::vector<XY>{{30, 3}, {30, 20}}));
    EXPECT_EQ(list->m_pPrev, nullptr);
    CDocState::FreeNodeList(run);

    // The two nodes left are smooth to the end: the whole rest, ends tripled.
    run = CPathProc::TakeSmoothRun(list, 2.0, found);
    EXPECT_TRUE(found);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(NodePositions(run), (std::vector<XY>{{30, 3}, {30, 3}, {30, 3}, {30, 20}, {30, 20}, {30, 20}}));
    CDocState::FreeNodeList(run);
}

TEST(TakeSmoothRun, StopAtTheFirstOrSecondNodeIsNoRun)
{
    const std::vector<std::vector<XY>> cases{
        {{0, 0}, {10, 0}, {20, 1}, {20, 20}},       // corner at the third node: stops at N1
        {{0, 0}, {10, 0}, {20, 0}, {30, 1}},        // straight on at N1: stops at N0
        {{0, 0}, {1.5, 0}, {2.5, 0.2}, {4, 0.5}},   // first segment shorter than 2
    };
    for (const auto& points : cases) {
        DOCNODE* list = MakeNodes(points);
        bool found = true;
        EXPECT_EQ(CPathProc::TakeSmoothRun(list, 2.0, found), nullptr);
        EXPECT_FALSE(found);
        EXPECT_EQ(NodePositions(list), points);
        CDocState::FreeNodeList(list);
    }
}

// The last segment of a zig-zag is a two-node run: the order-5 spline over
// A, A, A, B, B, B has knots 0 x5 and 0.5 x6, so below 0.5 it is the quartic
// Bezier of A, A, A, B, B at s = 2t: A + (B - A)(4s^3 - 3s^4). Along the
// 10-unit side that puts the samples at 0, 0.037, 0.272, 0.837, 1.792,
// 3.125, 4.752, 6.517, 8.192, 9.477 and the end at 10. Thinning with 2.0
// joins 0.037 .. 1.792 into one node at 1.792; from 8.192 the rest is 1.808
// long, so 9.477 goes and the node after 8.192 is the end.
TEST(FitPolyline, ZigZagKeepsItsCornersAndItsLastSideIsSplinedAndThinned)
{
    CDocData* line = MakeLine({{0, 0}, {10, 10}, {10, 0}, {20, 10}, {20, 0}});
    CPathProc::FitPolyline(line);
    ExpectPoints(line->m_pNodes, {{0, 0}, {10, 10}, {10, 0}, {20, 10}, {20, 8.208}, {20, 6.875}, {20, 5.248},
                                  {20, 3.483}, {20, 1.808}, {20, 0}},
                 1e-9);
    delete line;
}

TEST(FitPolyline, PolygonOfGentleTurnsBecomesOneSplineSquareKeepsItsSides)
{
    // 100 sides of 6.28 turning 3.6 degrees each: one run from start to end.
    // The spline starts and ends on the first node; in between it keeps
    // inside the sides' inscribed circle (radius 100 cos(pi/100) = 99.9507),
    // so no corner of the polygon is left, and close to it.
    std::vector<XY> polygon;
    for (int i = 0; i <= 100; ++i) {
        const double a = 2.0 * std::numbers::pi * (i % 100) / 100.0;
        polygon.emplace_back(100.0 * std::cos(a), 100.0 * std::sin(a));
    }
    CDocData* round = MakeLine(polygon);
    CPathProc::FitPolyline(round);
    const std::vector<XY> fitted = NodePositions(round->m_pNodes);
    ASSERT_GT(fitted.size(), 200u);
    EXPECT_NEAR(fitted.front().first, 100.0, 1e-9);
    EXPECT_NEAR(fitted.front().second, 0.0, 1e-9);
    EXPECT_NEAR(fitted.back().first, 100.0, 1e-9);
    EXPECT_NEAR(fitted.back().second, 0.0, 1e-9);
    for (std::size_t i = 1; i + 1 < fitted.size(); ++i) {
        const double r = std::hypot(fitted[i].first, fitted[i].second);
        EXPECT_LT(r, 99.9507);
        EXPECT_GT(r, 99.8);
    }
    delete round;

    // Corners of 90 degrees: sides one at a time; the last side is the
    // two-node run above, scaled to 100.
    CDocData* square = MakeLine({{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}});
    CPathProc::FitPolyline(square);
    ExpectPoints(square->m_pNodes, {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 99.63}, {0, 97.28}, {0, 91.63},
                                    {0, 82.08}, {0, 68.75}, {0, 52.48}, {0, 34.83}, {0, 18.08}, {0, 5.23}, {0, 0}},
                 1e-9);
    delete square;
}

TEST_F(CurveEditDocument, FittingEntersGroupsPassesOverOtherKindsAndStepsPerSelectedObject)
{
    const std::vector<XY> zigzag{{0, 0}, {10, 10}, {10, 0}, {20, 10}, {20, 0}};
    CDocData* child = MakeLine(zigzag);
    CDocData* point = new CDocDataPoint(5.0, 5.0, &m_ctx);
    CDocData* inner = MakeLine(zigzag);
    CDocData* nested = new CDocDataGroup(LinkObjects({inner}), &m_ctx);
    CDocData* group = new CDocDataGroup(LinkObjects({child, point, nested}), &m_ctx);
    CDocData* rect = new CDocDataRect(CGeoBox(0, 50, 0, 50), nullptr, 255);
    rect->m_bSelected = 1;
    CDocData* unselected = MakeLine(zigzag);
    unselected->m_bSelected = 0;
    CDocData* top = MakeLine({{0, 0}, {0, 10}});
    top->Move(CGeoPoint(0, 0), CGeoPoint(200, 0), &m_ctx);
    m_doc->m_pFirst = LinkObjects({group, rect, unselected, top});
    const std::vector<XY> rectNodes = NodePositions(rect->m_pNodes);

    CPathProc::FitCurves(&m_ctx);

    EXPECT_EQ(CountNodes(child->m_pNodes), 10);
    EXPECT_EQ(CountNodes(inner->m_pNodes), 10);
    EXPECT_EQ(NodePositions(point->m_pNodes), (std::vector<XY>{{5, 5}}));
    EXPECT_EQ(NodePositions(rect->m_pNodes), rectNodes);
    EXPECT_EQ(NodePositions(unselected->m_pNodes), zigzag);
    // The two-node polyline at x = 200 is a run of its own, splined
    // straight and thinned as the zig-zag's last side: seven nodes.
    EXPECT_EQ(CountNodes(top->m_pNodes), 7);
    // Selection box over group, rectangle and the polyline at x = 200.
    EXPECT_DOUBLE_EQ(m_ctx.m_rcSelect.m_xmin, 0.0);
    EXPECT_DOUBLE_EQ(m_ctx.m_rcSelect.m_xmax, 200.0);
    EXPECT_DOUBLE_EQ(m_ctx.m_rcSelect.m_ymax, 50.0);
    EXPECT_EQ(m_progress.m_upper, 3);
    EXPECT_EQ(m_progress.m_history, (std::vector<int>{0, 1, 2, 3, 0}));
}

} // namespace
} // namespace plat
