// Node-list and output-path geometry, on small outlines worked out by hand.
#include "model/DocData.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "model/PathRecord.h"
#include "model/PolylineGeometry.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Pts = std::vector<std::pair<double, double>>;

// Owns a node list for the length of a test.
struct List {
    explicit List(const Pts& pts)
    {
        DOCNODE* last = nullptr;
        for (auto [x, y] : pts) {
            last = AppendNode(last, x, y);
            if (head == nullptr)
                head = last;
        }
    }
    ~List() { CDocState::FreeNodeList(head); }
    void CloseRing()
    {
        DOCNODE* last = LastNode(head);
        last->m_pNext = head;
        head->m_pPrev = last;
    }
    DOCNODE* head = nullptr;
};

const Pts kSquareCcw = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
const Pts kSquareCw = {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}};

} // namespace

TEST(PolylineLength, SumsSegmentsAndLeavesOutLeadLines)
{
    List sq(kSquareCcw);
    EXPECT_DOUBLE_EQ(PolylineLength(sq.head), 40.0);
    List led({{-5, 0}, {0, 0}, {3, 4}, {3, 10}});
    LEADINOUT lead;
    EXPECT_DOUBLE_EQ(PolylineLength(led.head, &lead), 16.0);
    lead.m_bLeadIn = 1;
    EXPECT_DOUBLE_EQ(PolylineLength(led.head, &lead), 11.0);
    lead.m_bLeadOut = 1;
    EXPECT_DOUBLE_EQ(PolylineLength(led.head, &lead), 5.0);
    lead.m_bLeadIn = 0;
    EXPECT_DOUBLE_EQ(PolylineLength(led.head, &lead), 10.0);
    EXPECT_EQ(PolylineLength(nullptr, &lead), 0.0);
}

TEST(PolylinePointAt, NodesInsideSegmentsAndBeyondTheEnd)
{
    List sq(kSquareCcw);
    double x = -1, y = -1;
    EXPECT_EQ(PolylinePointAt(sq.head, 40.0, x, y), 1);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(PolylinePointAt(sq.head, 10.0, x, y), 1);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(PolylinePointAt(sq.head, 15.0, x, y), 2);
    EXPECT_DOUBLE_EQ(x, 10);
    EXPECT_DOUBLE_EQ(y, 5);
    EXPECT_EQ(PolylinePointAt(sq.head, 5e-6, x, y), 1);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(PolylinePointAt(sq.head, 41.0, x, y), 0);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    List one({{3, 3}});
    EXPECT_EQ(PolylinePointAt(one.head, 1.0, x, y), 0);
}

TEST(PolylineContainsPoint, ConvexOutlineTest)
{
    List sq(kSquareCcw);
    EXPECT_TRUE(PolylineContainsPoint(sq.head, 5, 5));
    EXPECT_TRUE(PolylineContainsPoint(sq.head, 10, 5));
    EXPECT_FALSE(PolylineContainsPoint(sq.head, 15, 5));
    EXPECT_FALSE(PolylineContainsPoint(sq.head, 5, -1));
    List two({{0, 0}, {1, 1}});
    EXPECT_FALSE(PolylineContainsPoint(two.head, 0.5, 0.5));
}

TEST(PolylineClassifyPoint, InsideOutsideAndOnTheOutline)
{
    List sq(kSquareCcw);
    EXPECT_EQ(PolylineClassifyPoint(sq.head, 5, 5), 2);
    EXPECT_EQ(PolylineClassifyPoint(sq.head, 15, 5), 0);
    EXPECT_EQ(PolylineClassifyPoint(sq.head, 5, -5), 0);
    EXPECT_EQ(PolylineClassifyPoint(sq.head, 5, 15), 0);
    EXPECT_EQ(PolylineClassifyPoint(sq.head, 10, 10), 1);  // vertex
    EXPECT_EQ(PolylineClassifyPoint(sq.head, 10, 4), 1);   // vertical edge
    EXPECT_EQ(PolylineClassifyPoint(sq.head, 4, 0), 1);    // horizontal edge
    List cw(kSquareCw);
    EXPECT_EQ(PolylineClassifyPoint(cw.head, 5, 5), 2);
    List tri({{0, 0}, {10, 10}, {20, 0}, {0, 0}});
    EXPECT_EQ(PolylineClassifyPoint(tri.head, 5, 5), 1);   // sloped edge
    EXPECT_EQ(PolylineClassifyPoint(tri.head, 5, 4), 2);
}

TEST(PolylineClassifyPoint, RayThroughVerticesCountsTheOutlineOnce)
{
    // Diamond: the ray down from (5, 7) runs through the bottom vertex, the
    // one from (5, 20) through the top and the bottom vertex.
    List diamond({{5, 0}, {10, 5}, {5, 10}, {0, 5}, {5, 0}});
    EXPECT_EQ(PolylineClassifyPoint(diamond.head, 5, 7), 2);
    EXPECT_EQ(PolylineClassifyPoint(diamond.head, 5, 20), 0);
    EXPECT_EQ(PolylineClassifyPoint(diamond.head, 5, -3), 0);
    // Rightmost vertex touched by the ray from above: outside.
    List tri({{0, 0}, {10, 5}, {0, 10}, {0, 0}});
    EXPECT_EQ(PolylineClassifyPoint(tri.head, 10, 20), 0);
}

TEST(PolylineClassifyPoint, RayAlongAVerticalStepIsNotCountedTwice)
{
    // A step whose vertical edge lies under the point: counting the crossing
    // at both ends of the step would make the point above the outline look
    // inside.
    List step({{0, 0}, {10, 0}, {10, 5}, {20, 5}, {20, 20}, {0, 20}, {0, 0}});
    EXPECT_EQ(PolylineClassifyPoint(step.head, 10, 30), 0);
    EXPECT_EQ(PolylineClassifyPoint(step.head, 10, 10), 2);
    EXPECT_EQ(PolylineClassifyPoint(step.head, 15, 3), 0);
    EXPECT_EQ(PolylineClassifyPoint(step.head, 5, 3), 2);
}

TEST(PolylineClassifyPoint, TooFewNodesAndUnclosedLists)
{
    EXPECT_EQ(PolylineClassifyPoint(nullptr, 0, 0), 255);
    List two({{0, 0}, {10, 0}});
    EXPECT_EQ(PolylineClassifyPoint(two.head, 5, 5), 255);
    // Without the repeated first node the closing edge is still there.
    List open({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    EXPECT_EQ(PolylineClassifyPoint(open.head, 5, 5), 2);
    EXPECT_EQ(PolylineClassifyPoint(open.head, 0, 5), 1);
    EXPECT_EQ(PolylineClassifyPoint(open.head, -5, 5), 0);
}

TEST(PolylineOrientation, ClockwiseIsOneCounterClockwiseZero)
{
    List ccw(kSquareCcw);
    EXPECT_EQ(PolylineOrientation(ccw.head), 0u);
    List cw(kSquareCw);
    EXPECT_EQ(PolylineOrientation(cw.head), 1u);
    // A ring without the repeated node, and a duplicate next to the extreme.
    List ring({{0, 0}, {0, 10}, {10, 10}, {10, 0}});
    ring.CloseRing();
    EXPECT_EQ(PolylineOrientation(ring.head), 1u);
    List dup({{0, 10}, {0, 10}, {0, 0}, {10, 0}, {10, 10}, {0, 10}});
    EXPECT_EQ(PolylineOrientation(dup.head), 0u);
}

TEST(PolylineOrientation, ErrorValuesForMissingShortAndOpenLists)
{
    EXPECT_EQ(PolylineOrientation(nullptr), 0xFFFFFFFFu);
    List two({{0, 0}, {10, 0}});
    EXPECT_EQ(PolylineOrientation(two.head), 0xFFFFFFFEu);
    List open({{0, 0}, {10, 0}, {10, 10}});
    EXPECT_EQ(PolylineOrientation(open.head), 0xFFFFFFFDu);
}

TEST(PathRingOrientation, SameAnswerWhicheverVertexTheRingStartsAt)
{
    // Counter-clockwise ring with a reflex vertex at (6, 6): started there the
    // old rule took the reflex vertex and answered 1.
    List a({{6, 6}, {10, 0}, {10, 10}, {0, 10}, {6, 6}});
    List b({{0, 10}, {6, 6}, {10, 0}, {10, 10}, {0, 10}});
    PATHREC* pa = BuildPathRecord(a.head, 0);
    PATHREC* pb = BuildPathRecord(b.head, 0);
    EXPECT_EQ(PathRingOrientation(pa), 0u);
    EXPECT_EQ(PathRingOrientation(pb), 0u);
    ReverseRing(pa);
    EXPECT_EQ(PathRingOrientation(pa), 1u);
    FreePathRecordList(pa);
    FreePathRecordList(pb);
    EXPECT_EQ(PathRingOrientation(nullptr), 0xFFFFFFFFu);
    PATHREC bracket;
    EXPECT_EQ(PathRingOrientation(&bracket), 0xFFFFFFFFu);
}

TEST(ReverseRing, SwapsEndsGreyLevelsAndOrder)
{
    List sq(kSquareCcw);
    PATHREC* p = BuildPathRecord(sq.head, 0);
    p->m_pSegs->m_nGrey0 = 11;
    p->m_pSegs->m_nGrey1 = 22;
    p->m_pSegs->m_z1 = 3;
    ReverseRing(p);
    // Old last segment (0,10)->(0,0) comes first, reversed.
    const SEGNODE* s = p->m_pSegs;
    const double expect[4][4] = {{0, 0, 0, 10}, {0, 10, 10, 10}, {10, 10, 10, 0}, {10, 0, 0, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(s->m_x0, expect[i][0]) << i;
        EXPECT_EQ(s->m_y0, expect[i][1]) << i;
        EXPECT_EQ(s->m_x1, expect[i][2]) << i;
        EXPECT_EQ(s->m_y1, expect[i][3]) << i;
        EXPECT_EQ(s->m_pNext->m_pPrev, s);
        s = s->m_pNext;
    }
    EXPECT_EQ(s, p->m_pSegs);
    const SEGNODE* old = p->m_pSegs->m_pPrev;  // the old first segment
    EXPECT_EQ(old->m_nGrey0, 22);
    EXPECT_EQ(old->m_nGrey1, 11);
    EXPECT_EQ(old->m_z0, 3);
    EXPECT_EQ(old->m_z1, 0);
    FreePathRecordList(p);
}

TEST(OffsetPolyline, CornerCollinearAndMissingOut)
{
    DOCNODE p{0, 0}, q{10, 0}, r{10, 10}, out{};
    out.m_nKind = NODE_CONTROL_IN;
    EXPECT_EQ(OffsetPolyline(&out, &p, &q, &r, true, 1), &out);
    EXPECT_NEAR(out.m_x, 9, 1e-9);
    EXPECT_NEAR(out.m_y, 1, 1e-9);
    EXPECT_EQ(out.m_nKind, NODE_ANCHOR);
    OffsetPolyline(&out, &p, &q, &r, false, 1);
    EXPECT_NEAR(out.m_x, 11, 1e-9);
    EXPECT_NEAR(out.m_y, -1, 1e-9);

    DOCNODE r2{20, 0};
    OffsetPolyline(&out, &p, &q, &r2, true, 2);
    EXPECT_NEAR(out.m_x, 10, 1e-9);
    EXPECT_NEAR(out.m_y, 2, 1e-9);

    EXPECT_EQ(OffsetPolyline(nullptr, &p, &q, &r, true, 1), nullptr);
}

TEST(OffsetPolyline, ZeroLengthLegOffsetsAlongTheOtherLeg)
{
    DOCNODE p{10, 0}, q{10, 0}, r{10, 10}, out{};
    OffsetPolyline(&out, &p, &q, &r, true, 1);
    EXPECT_NEAR(out.m_x, 9, 1e-9);
    EXPECT_NEAR(out.m_y, 0, 1e-9);
}
