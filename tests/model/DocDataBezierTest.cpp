// The Bezier path object. Every expected node list below is worked out from
// the control points given: straight cubics with controls at thirds run at
// constant speed, so their halving points and split points are read off a
// ruler.
#include "CurveObjectTestHelpers.h"
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocDataBezier.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/LeadInOut.h"
#include "model/PathRecord.h"
#include "platform/RecordingDC.h"

#include <gtest/gtest.h>

using plat::BezierNodes;
using plat::ExpectPoints;
using plat::KindsOf;
using plat::NodeAt;
using plat::PointList;
using plat::RecordingDC;
using plat::StatesOf;

namespace {

// Anchors (0,0) (30,0) (60,0) on the x axis, controls at thirds.
DOCNODE* TwoSegmentLine()
{
    return BezierNodes({{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}, {50, 0}, {60, 0}});
}

// A closed square path of side 100 with straight sides, anchors at the
// corners starting at (0, 0).
const PointList kSquare = {{0, 0},   {30, 0},   {70, 0},  {100, 0}, {100, 30}, {100, 70}, {100, 100},
                           {70, 100}, {30, 100}, {0, 100}, {0, 70},  {0, 30},   {0, 0}};

DOCNODE* SquarePath()
{
    return BezierNodes(kSquare);
}

int CountRecords(const PATHREC* p)
{
    int n = 0;
    for (; p != nullptr; p = p->m_pNext)
        ++n;
    return n;
}

// Segment ends of a path record, once round its ring.
PointList SegmentStarts(const PATHREC* p)
{
    PointList out;
    const SEGNODE* s = p->m_pSegs;
    do {
        out.emplace_back(s->m_x0, s->m_y0);
        s = s->m_pNext;
    } while (s != nullptr && s != p->m_pSegs);
    return out;
}

const SEGNODE* LastSegment(const PATHREC* p)
{
    return p->m_pSegs->m_pPrev;
}

} // namespace

TEST(BezierObject, EndsWithinAThousandthCloseThePathOnTheFirstAnchorExactly)
{
    CDocDataBezier closed(BezierNodes({{0, 0}, {10, 0}, {20, 10}, {30, 10}, {20, 20}, {10, 20}, {0.0005, 0.0005}}),
                          true, nullptr);
    EXPECT_EQ(closed.m_nType, MT_BEZIER);
    EXPECT_EQ(closed.m_bClosed, 1);
    const DOCNODE* last = LastNode(closed.m_pNodes);
    EXPECT_EQ(last->m_x, 0.0);
    EXPECT_EQ(last->m_y, 0.0);

    DOCNODE* source = BezierNodes({{0, 0}, {10, 0}, {20, 10}, {30, 10}, {20, 20}, {10, 20}, {0.002, 0}});
    CDocDataBezier open(source, false, nullptr);
    EXPECT_EQ(open.m_bClosed, 0);
    EXPECT_NE(open.m_pNodes, source); // a copy was taken
    EXPECT_EQ(LastNode(open.m_pNodes)->m_x, 0.002);
    CDocState::FreeNodeList(source);
}

TEST(BezierObject, BoxFollowsTheCurveNotItsControlPoints)
{
    // The arch's top is B(0.5) = 3/8 x 100 + 3/8 x 100 = 75, below the
    // controls at 100.
    CDocDataBezier arch(BezierNodes({{0, 0}, {0, 100}, {100, 100}, {100, 0}}), true, nullptr);
    EXPECT_DOUBLE_EQ(arch.m_rcBound.m_xmin, 0);
    EXPECT_DOUBLE_EQ(arch.m_rcBound.m_xmax, 100);
    EXPECT_DOUBLE_EQ(arch.m_rcBound.m_ymin, 0);
    EXPECT_DOUBLE_EQ(arch.m_rcBound.m_ymax, 75);
    const CGeoBox anchors = arch.GetAnchorRect();
    EXPECT_DOUBLE_EQ(anchors.m_ymax, 75);
}

TEST(BezierObject, CloseAppendsMirroredControlsAndTheClosingAnchorOnce)
{
    CDocDataBezier curve(BezierNodes({{0, 0}, {10, 0}, {20, 10}, {30, 10}}), true, nullptr);
    ASSERT_EQ(curve.m_bClosed, 0);
    ASSERT_TRUE(curve.Close());
    // Out control: (30,10) + ((30,10) - (20,10)); in control: (0,0) + ((0,0) - (10,0)).
    ExpectPoints(curve.m_pNodes, {{0, 0}, {10, 0}, {20, 10}, {30, 10}, {40, 10}, {-10, 0}, {0, 0}});
    EXPECT_EQ(KindsOf(curve.m_pNodes), (std::vector<int>{0, 2, 1, 0, 2, 1, 0}));
    EXPECT_EQ(curve.m_bClosed, 1);

    EXPECT_FALSE(curve.Close());
    EXPECT_EQ(CountNodes(curve.m_pNodes), 7);
}

TEST(BezierObject, CloseOfNearlyMeetingEndsOnlySnapsTheLastAnchor)
{
    CDocDataBezier curve;
    curve.m_pNodes = BezierNodes({{0, 0}, {10, 0}, {20, 10}, {0.0004, 0.0009}});
    ASSERT_TRUE(curve.Close());
    ExpectPoints(curve.m_pNodes, {{0, 0}, {10, 0}, {20, 10}, {0, 0}}, 0.0);
    EXPECT_EQ(curve.m_bClosed, 1);

    CDocDataBezier empty;
    EXPECT_FALSE(empty.Close());
}

TEST(BezierObject, OutlineCopyIsFlattenedAtTheOutputTolerance)
{
    // The first piece is always halved once: 3 apart gives two pieces of 1.5.
    CDocDataBezier shortCurve(BezierNodes({{0, 0}, {1, 0}, {2, 0}, {3, 0}}), true, nullptr);
    DOCNODE* flat = shortCurve.CopyNodes();
    ExpectPoints(flat, {{0, 0}, {1.5, 0}, {3, 0}});
    CDocState::FreeNodeList(flat);

    // 30 apart: halved down to pieces of 3.75, below 4.
    CDocDataBezier longCurve(BezierNodes({{0, 0}, {10, 0}, {20, 0}, {30, 0}}), true, nullptr);
    flat = longCurve.CopyNodes();
    ExpectPoints(flat, {{0, 0}, {3.75, 0}, {7.5, 0}, {11.25, 0}, {15, 0}, {18.75, 0}, {22.5, 0}, {26.25, 0}, {30, 0}});
    EXPECT_EQ(KindsOf(flat), std::vector<int>(9, NODE_ANCHOR));
    CDocState::FreeNodeList(flat);

    CDocDataBezier empty;
    EXPECT_EQ(empty.CopyNodes(), nullptr);
}

TEST(BezierObject, StartOfAClosedPathMovesToAnotherAnchorKeepingTheNodeCount)
{
    CDocDataBezier square(SquarePath(), true, nullptr);
    ASSERT_EQ(square.m_bClosed, 1);
    // A control point and the current start are no candidates.
    EXPECT_FALSE(square.SetStartPoint(30, 0, 0.5));
    EXPECT_FALSE(square.SetStartPoint(0, 0, 0.5));
    ExpectPoints(square.m_pNodes, kSquare, 0.0);

    ASSERT_TRUE(square.SetStartPoint(100.2, 99.8, 0.5));
    ExpectPoints(square.m_pNodes, {{100, 100}, {70, 100}, {30, 100}, {0, 100}, {0, 70}, {0, 30}, {0, 0}, {30, 0},
                                   {70, 0}, {100, 0}, {100, 30}, {100, 70}, {100, 100}});
    EXPECT_EQ(KindsOf(square.m_pNodes), (std::vector<int>{0, 2, 1, 0, 2, 1, 0, 2, 1, 0, 2, 1, 0}));
    EXPECT_EQ(square.m_pNodes->m_pPrev, nullptr);
    EXPECT_EQ(LastNode(square.m_pNodes)->m_pNext, nullptr);
}

TEST(BezierObject, StartOfAnOpenPathCanOnlyBeItsLastAnchorByReversing)
{
    CDocDataBezier curve(BezierNodes({{0, 0}, {10, 0}, {20, 10}, {30, 10}}), true, nullptr);
    EXPECT_FALSE(curve.SetStartPoint(0, 0, 0.5));
    ASSERT_TRUE(curve.SetStartPoint(30, 10, 0.5));
    ExpectPoints(curve.m_pNodes, {{30, 10}, {20, 10}, {10, 0}, {0, 0}});
    // Reversal turns incoming controls into outgoing ones.
    EXPECT_EQ(KindsOf(curve.m_pNodes), (std::vector<int>{0, 2, 1, 0}));
}

TEST(BezierObject, SelectNodeAtTellsTheKindHitAndPicksTheControlsAnchor)
{
    CDocDataBezier path(TwoSegmentLine(), true, nullptr);
    // Outgoing control of the first anchor: the anchor before it goes with it.
    EXPECT_EQ(path.SelectNodeAt(10, 0.5, 1, NODE_ACTIVE), 3);
    EXPECT_EQ(StatesOf(path.m_pNodes), (std::vector<int>{2, 2, 0, 1, 0, 0, 1}));

    // Incoming control of the middle anchor: the anchor after it keeps the
    // state it took.
    EXPECT_EQ(path.SelectNodeAt(20, 0, 1, NODE_ACTIVE), 2);
    EXPECT_EQ(StatesOf(path.m_pNodes), (std::vector<int>{1, 0, 2, 2, 0, 0, 1}));

    EXPECT_EQ(path.SelectNodeAt(30, 0, 1, NODE_ACTIVE), 1);
    EXPECT_EQ(StatesOf(path.m_pNodes), (std::vector<int>{1, 0, 0, 2, 0, 0, 1}));

    // State 255 only looks.
    EXPECT_EQ(path.SelectNodeAt(35, 0, 1, 255), 0);
    EXPECT_EQ(path.SelectNodeAt(60, 0, 1, 255), 1);
    EXPECT_EQ(StatesOf(path.m_pNodes), (std::vector<int>{1, 0, 0, 2, 0, 0, 1}));
}

TEST(BezierObject, SelectingTheStartOfAClosedPathSelectsItsClosingNodeToo)
{
    CDocDataBezier square(SquarePath(), true, nullptr);
    EXPECT_EQ(square.SelectNodeAt(0, 0, 1, NODE_ACTIVE), 1);
    EXPECT_EQ(square.m_pNodes->m_nSelect, NODE_ACTIVE);
    EXPECT_EQ(LastNode(square.m_pNodes)->m_nSelect, NODE_ACTIVE);
    EXPECT_EQ(NodeAt(square.m_pNodes, 3)->m_nSelect, NODE_SELECTED);
}

TEST(BezierObject, HitTestGrowsTheBoxesByTheTolerance)
{
    CDocDataBezier curve(BezierNodes({{0, 0}, {10, 0}, {20, 0}, {30, 0}}), true, nullptr);
    EXPECT_TRUE(curve.HitTest(15, 1, 2));
    EXPECT_FALSE(curve.HitTest(15, 1, 0.5));
    EXPECT_FALSE(curve.HitTest(33, 0, 2));
    EXPECT_TRUE(curve.HitTest(31.5, 0, 2));
}

TEST(BezierObject, SegmentHitSetsItsEndAnchorsAndKeepsTheClosingNodeInStep)
{
    CDocDataBezier path(TwoSegmentLine(), true, nullptr);
    EXPECT_FALSE(path.HitSegment(45, 3, 1, NODE_ACTIVE));
    EXPECT_TRUE(path.HitSegment(45, 0.5, 1, 255));
    EXPECT_EQ(StatesOf(path.m_pNodes), std::vector<int>(7, 0));
    EXPECT_TRUE(path.HitSegment(45, 0.5, 1, NODE_ACTIVE));
    EXPECT_EQ(StatesOf(path.m_pNodes), (std::vector<int>{0, 0, 0, 2, 0, 0, 2}));

    CDocDataBezier first(SquarePath(), true, nullptr);
    EXPECT_TRUE(first.HitSegment(50, 0.5, 1, NODE_ACTIVE));
    EXPECT_EQ(StatesOf(first.m_pNodes), (std::vector<int>{2, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 2}));

    CDocDataBezier last(SquarePath(), true, nullptr);
    EXPECT_TRUE(last.HitSegment(0.5, 50, 1, NODE_ACTIVE));
    EXPECT_EQ(StatesOf(last.m_pNodes), (std::vector<int>{2, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 2}));
}

TEST(BezierObject, InsertNodeOnANodeActivatesItInstead)
{
    CDocDataBezier path(TwoSegmentLine(), true, nullptr);
    EXPECT_FALSE(path.InsertNodeAt(30, 0, 1));
    EXPECT_EQ(CountNodes(path.m_pNodes), 7);
    EXPECT_EQ(NodeAt(path.m_pNodes, 3)->m_nSelect, NODE_ACTIVE);
}

TEST(BezierObject, InsertNodeSplitsTheSegmentUnderThePoint)
{
    CDocDataBezier curve(BezierNodes({{0, 0}, {10, 0}, {20, 0}, {30, 0}}), true, nullptr);
    ASSERT_TRUE(curve.InsertNodeAt(15, 0, 0.01));
    // Split near t = 0.5 (the first step of 0.0001 within 0.01 of x = 15).
    ExpectPoints(curve.m_pNodes, {{0, 0}, {5, 0}, {10, 0}, {15, 0}, {20, 0}, {25, 0}, {30, 0}}, 0.02);
    EXPECT_EQ(KindsOf(curve.m_pNodes), (std::vector<int>{0, 2, 1, 0, 2, 1, 0}));
    EXPECT_EQ(StatesOf(curve.m_pNodes), (std::vector<int>{1, 0, 0, 1, 0, 0, 1}));
    EXPECT_EQ(LastNode(curve.m_pNodes)->m_pNext, nullptr);
    EXPECT_FALSE(curve.InsertNodeAt(15, 5, 0.01));
}

TEST(BezierObject, DeletingAnInnerAnchorMergesItsTwoSegments)
{
    CDocDataBezier path(TwoSegmentLine(), true, nullptr);
    NodeAt(path.m_pNodes, 3)->m_nSelect = NODE_ACTIVE;
    EXPECT_FALSE(path.DeleteSelectedNodes()); // not in node mode
    path.m_bNodesSelected = 1;
    ASSERT_TRUE(path.DeleteSelectedNodes());
    ExpectPoints(path.m_pNodes, {{0, 0}, {10, 0}, {50, 0}, {60, 0}});
    EXPECT_EQ(KindsOf(path.m_pNodes), (std::vector<int>{0, 2, 1, 0}));

    // One segment left: deleting either end takes every node.
    LastNode(path.m_pNodes)->m_nSelect = NODE_ACTIVE;
    EXPECT_TRUE(path.DeleteSelectedNodes());
    EXPECT_EQ(path.m_pNodes, nullptr);
}

TEST(BezierObject, DeletingTheStartOfAClosedPathOpensItAtBothEnds)
{
    CDocDataBezier square(SquarePath(), true, nullptr);
    square.SelectAllNodes();
    square.SelectNodeAt(0, 0, 1, NODE_ACTIVE); // the closing node follows
    ASSERT_TRUE(square.DeleteSelectedNodes());
    ExpectPoints(square.m_pNodes, {{100, 0}, {100, 30}, {100, 70}, {100, 100}, {70, 100}, {30, 100}, {0, 100}});
    EXPECT_EQ(square.m_bClosed, 0);
    EXPECT_EQ(square.m_pNodes->m_pPrev, nullptr);
}

TEST(BezierObject, DraggingAControlTurnsTheOppositeControlTheOtherWay)
{
    CDocDataBezier path(TwoSegmentLine(), true, nullptr);
    NodeAt(path.m_pNodes, 4)->m_nSelect = NODE_ACTIVE; // outgoing control of (30, 0)
    path.MoveSelectedNodes(CGeoPoint(0, 0), CGeoPoint(5, 10), 2, nullptr);
    ExpectPoints(path.m_pNodes, {{0, 0}, {10, 0}, {15, -10}, {30, 0}, {45, 10}, {50, 0}, {60, 0}});
    EXPECT_EQ(NodeAt(path.m_pNodes, 4)->m_nSelect, NODE_UNSELECTED);
    EXPECT_GT(path.m_rcBound.m_ymax, 0.0); // the box follows the new curve

    // At the start of a closed path the opposite control is the one before
    // the closing node.
    CDocDataBezier square(SquarePath(), true, nullptr);
    NodeAt(square.m_pNodes, 1)->m_nSelect = NODE_ACTIVE;
    square.MoveSelectedNodes(CGeoPoint(0, 0), CGeoPoint(0, -10), 2, nullptr);
    EXPECT_DOUBLE_EQ(NodeAt(square.m_pNodes, 1)->m_y, -10);
    EXPECT_DOUBLE_EQ(NodeAt(square.m_pNodes, 11)->m_y, 40);
}

// Two segments (0,0) (10,10) (20,10) (30,0) (40,-10) (50,-10) (60,0) far
// out on the table. Picking the outgoing handle (40,-10) of the middle
// anchor and then the incoming handle (20,10) of the same anchor leaves only
// the second active; dragged by (0, 30) it goes to (20,40) and its opposite
// (40,-10) to (40,-40). A first handle still active would move the second
// one back as its own opposite, so (20,10) would not move at all.
TEST(BezierObject, SecondPickedHandleAloneIsDraggedAndItsOppositeTurnsOnce)
{
    const double o = 500000;
    const PointList nodes = {{o, o},          {o + 10, o + 10}, {o + 20, o + 10}, {o + 30, o},
                             {o + 40, o - 10}, {o + 50, o - 10}, {o + 60, o}};
    const PointList dragged = {{o, o},          {o + 10, o + 10}, {o + 20, o + 40}, {o + 30, o},
                               {o + 40, o - 40}, {o + 50, o - 10}, {o + 60, o}};
    CDocDataBezier path(BezierNodes(nodes), true, nullptr);
    EXPECT_EQ(path.SelectNodeAt(o + 40, o - 10, 1, NODE_ACTIVE), 3);
    EXPECT_EQ(path.SelectNodeAt(o + 20, o + 10, 1, NODE_ACTIVE), 2);
    EXPECT_EQ(StatesOf(path.m_pNodes), (std::vector<int>{1, 0, 2, 2, 0, 0, 1}));

    // The preview shows the same drag: handle squares at the moved handle and
    // at its opposite, and the curve through them.
    RecordingDC dc;
    path.DrawNodeMovePreview(nullptr, &dc, CGeoPoint(0, 0), CGeoPoint(0, 30), 2);
    std::vector<std::vector<int>> squares;
    for (const auto& call : dc.DrawCalls()) {
        if (call.op == RecordingDC::Op::Rectangle)
            squares.push_back(call.args);
    }
    const int x = static_cast<int>(o);
    EXPECT_EQ(squares, (std::vector<std::vector<int>>{{x + 18, x + 38, x + 22, x + 42},
                                                      {x + 38, x - 42, x + 42, x - 38}}));
    ExpectPoints(path.m_pNodes, nodes); // the preview works on a copy

    path.MoveSelectedNodes(CGeoPoint(0, 0), CGeoPoint(0, 30), 2, nullptr);
    ExpectPoints(path.m_pNodes, dragged);

    // Both handles of the anchor active (as a file may leave them): each
    // moves once, the first with the drag and the second the other way.
    CDocDataBezier both(BezierNodes(nodes), true, nullptr);
    NodeAt(both.m_pNodes, 2)->m_nSelect = NODE_ACTIVE;
    NodeAt(both.m_pNodes, 4)->m_nSelect = NODE_ACTIVE;
    both.MoveSelectedNodes(CGeoPoint(0, 0), CGeoPoint(0, 30), 2, nullptr);
    ExpectPoints(both.m_pNodes, dragged);
    EXPECT_EQ(NodeAt(both.m_pNodes, 4)->m_nSelect, NODE_UNSELECTED);
}

TEST(BezierObject, MirrorReflectsOnlyTheNodesAndCanReturnACopy)
{
    CDocDataBezier curve(BezierNodes({{10, 0}, {20, 0}, {30, 10}, {40, 10}}), true, nullptr);
    curve.m_pLeadInOut = new LEADINOUT;
    curve.m_pLeadInOut->m_bLeadIn = 1;
    curve.m_pLeadInOut->m_dInAngle = 30;
    curve.m_pLeadInOut->m_dInX = 5;
    curve.m_pLeadInOut->m_dInY = 5;
    curve.m_pEndGap = new ENDGAP;
    curve.m_pEndGap->m_dMarkX = 35;

    CDocData* copy = curve.MirrorAbout(0, 0, 0, 1, true, false, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(dynamic_cast<CDocDataBezier*>(copy), nullptr);
    ExpectPoints(copy->m_pNodes, {{-10, 0}, {-20, 0}, {-30, 10}, {-40, 10}});
    ExpectPoints(curve.m_pNodes, {{10, 0}, {20, 0}, {30, 10}, {40, 10}});
    delete copy;

    EXPECT_EQ(curve.MirrorAbout(0, 0, 0, 1, false, false, nullptr), nullptr);
    ExpectPoints(curve.m_pNodes, {{-10, 0}, {-20, 0}, {-30, 10}, {-40, 10}});
    EXPECT_EQ(curve.m_pLeadInOut->m_dInX, 5);
    EXPECT_EQ(curve.m_pLeadInOut->m_dInAngle, 30);
    EXPECT_EQ(curve.m_pEndGap->m_dMarkX, 35);
    EXPECT_NEAR(curve.m_rcBound.m_xmin, -40, 1e-9);
}

TEST(BezierObject, FlipFoldsLeadAnglesAndReflectsTheBoxCorners)
{
    CDocDataBezier curve(BezierNodes({{10, 0}, {20, 0}, {30, 10}, {40, 10}}), true, nullptr);
    curve.m_pLeadInOut = new LEADINOUT;
    curve.m_pLeadInOut->m_bLeadIn = 1;
    curve.m_pLeadInOut->m_dInAngle = 30;
    curve.m_pLeadInOut->m_bLeadOut = 1;
    curve.m_pLeadInOut->m_dOutAngle = 190;
    curve.m_pLeadInOut->m_dOutX = 50;
    curve.Flip(CGeoPoint(0, 0), true, false, nullptr);
    EXPECT_NEAR(curve.m_pLeadInOut->m_dInAngle, 150, 1e-9);
    EXPECT_NEAR(curve.m_pLeadInOut->m_dOutAngle, 350, 1e-9); // -10 + 360
    EXPECT_NEAR(curve.m_pLeadInOut->m_dOutX, -50, 1e-9);
    ExpectPoints(curve.m_pNodes, {{-10, 0}, {-20, 0}, {-30, 10}, {-40, 10}});
    EXPECT_NEAR(curve.m_rcBound.m_xmin, -40, 1e-9);
    EXPECT_NEAR(curve.m_rcBound.m_xmax, -10, 1e-9);

    curve.Flip(CGeoPoint(0, 20), false, true, nullptr);
    EXPECT_NEAR(curve.m_pLeadInOut->m_dInAngle, 210, 1e-9);
    ExpectPoints(curve.m_pNodes, {{-10, 40}, {-20, 40}, {-30, 30}, {-40, 30}});
    EXPECT_NEAR(curve.m_rcBound.m_ymin, 30, 1e-9);
    EXPECT_NEAR(curve.m_rcBound.m_ymax, 40, 1e-9);
}

TEST(BezierObject, OutputPathIsTheFlattenedCurveWithLeadsAndEndGap)
{
    CDocDataBezier curve(BezierNodes({{0, 0}, {10, 0}, {20, 0}, {30, 0}}), true, nullptr);
    curve.m_pLeadInOut = new LEADINOUT;
    curve.m_pLeadInOut->m_bLeadIn = 1;
    curve.m_pLeadInOut->m_dInLength = 10;
    curve.m_pLeadInOut->m_dInX = -10;
    curve.m_pLeadInOut->m_dInY = 5;
    curve.m_pEndGap = new ENDGAP;
    curve.m_pEndGap->m_bOn = 1;
    curve.m_pEndGap->m_dGap = 0.3; // 3 world units off the end

    PATHREC* chain = curve.MakeOutputPath();
    ASSERT_EQ(CountRecords(chain), 1);
    EXPECT_EQ(chain->m_kind, PATH_KIND_PATH);
    EXPECT_EQ(chain->m_subkind, 0);
    EXPECT_EQ(SegmentStarts(chain), (PointList{{-10, 5}, {0, 0}, {3.75, 0}, {7.5, 0}, {11.25, 0}, {15, 0},
                                               {18.75, 0}, {22.5, 0}, {26.25, 0}}));
    EXPECT_DOUBLE_EQ(LastSegment(chain)->m_x1, 27);
    FreePathRecordList(chain);

    CDocDataBezier empty;
    EXPECT_EQ(empty.MakeOutputPath(), nullptr);
}

TEST(BezierObject, ArrayOfSeveralRowsInOneColumnIsBracketedAndASingleCopyIsNot)
{
    CDocDataBezier curve(BezierNodes({{0, 0}, {10, 0}, {20, 0}, {30, 0}}), true, nullptr);
    curve.m_pArray = new ARRAYREC;
    PATHREC* chain = curve.MakeOutputPath();
    EXPECT_EQ(CountRecords(chain), 1);
    FreePathRecordList(chain);

    curve.m_pArray->m_nRows = 2;
    curve.m_pArray->m_dDy = 50;
    chain = curve.MakeOutputPath();
    ASSERT_EQ(CountRecords(chain), 3);
    const PATHREC* open = chain;
    const PATHREC* close = chain->m_pNext->m_pNext;
    EXPECT_EQ(open->m_kind, PATH_KIND_GROUP);
    ASSERT_NE(open->m_pArray, nullptr);
    EXPECT_EQ(open->m_pArray->m_nRows, 2);
    EXPECT_NE(open->m_pArray, curve.m_pArray);
    EXPECT_EQ(chain->m_pNext->m_kind, PATH_KIND_PATH);
    EXPECT_EQ(close->m_kind, PATH_KIND_GROUP);
    EXPECT_EQ(close->m_pArray, nullptr);
    // Group bounds: the path's x 0..30, y 0..0 widened by one row of 50.
    EXPECT_DOUBLE_EQ(open->m_xmin, 0);
    EXPECT_DOUBLE_EQ(open->m_xmax, 30);
    EXPECT_DOUBLE_EQ(open->m_ymin, 0);
    EXPECT_DOUBLE_EQ(open->m_ymax, 50);
    FreePathRecordList(chain);
}

TEST(BezierObject, LightGuideCurveGivesALightGuidePath)
{
    CDocDataBezier curve(BezierNodes({{0, 0}, {10, 0}, {20, 0}, {30, 0}}), true, nullptr);
    curve.m_bOutput = 0x81;
    PATHREC* chain = curve.MakeOutputPath();
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->m_subkind, 3);
    FreePathRecordList(chain);
}

TEST(BezierObject, DrawShowsLeadInCurveLeadOutAndEndGapCrossInOrder)
{
    DOCCONTEXT ctx;
    RecordingDC dc;
    CDocDataBezier curve(BezierNodes({{100, 100}, {110, 100}, {120, 100}, {130, 100}}), true, nullptr);
    curve.m_nColor = 0x0000FF;
    curve.m_pLeadInOut = new LEADINOUT;
    curve.m_pLeadInOut->m_bLeadIn = 1;
    curve.m_pLeadInOut->m_dInLength = 20;
    curve.m_pLeadInOut->m_dInX = 80;
    curve.m_pLeadInOut->m_dInY = 100;
    curve.m_pLeadInOut->m_bLeadOut = 1;
    curve.m_pLeadInOut->m_dOutLength = 0.001; // too short to count
    curve.m_pEndGap = new ENDGAP;
    curve.m_pEndGap->m_bOn = 1;
    curve.m_pEndGap->m_dMarkX = 125;
    curve.m_pEndGap->m_dMarkY = 100;
    curve.Draw(&dc, &ctx);

    using Op = RecordingDC::Op;
    const auto calls = dc.DrawCalls();
    ASSERT_EQ(calls.size(), 10u);
    // Arrow head (wing, middle, wing), then the lead-in line.
    EXPECT_EQ(calls[0].op, Op::MoveTo);
    EXPECT_EQ(calls[1].args, (std::vector<int>{90, 100}));
    EXPECT_EQ(calls[3].args, (std::vector<int>{80, 100}));
    EXPECT_EQ(calls[4].args, (std::vector<int>{100, 100}));
    EXPECT_EQ(calls[5].op, Op::PolyBezier);
    EXPECT_EQ(calls[5].args, (std::vector<int>{100, 100, 110, 100, 120, 100, 130, 100}));
    EXPECT_EQ(calls[6].args, (std::vector<int>{121, 96}));
    EXPECT_EQ(calls[7].args, (std::vector<int>{130, 105}));
    EXPECT_EQ(calls[8].args, (std::vector<int>{129, 96}));
    EXPECT_EQ(calls[9].args, (std::vector<int>{120, 105}));
    for (const auto& c : calls) {
        EXPECT_EQ(c.pen, (plat::Pen{plat::PS_SOLID, 0, 0x0000FF}));
        EXPECT_EQ(c.rop, plat::R2_COPYPEN);
    }
    EXPECT_EQ(dc.CurrentPen(), plat::Pen{});

    RecordingDC none;
    CDocDataBezier empty;
    empty.Draw(&none, &ctx);
    EXPECT_TRUE(none.Calls().empty());
}

TEST(BezierObject, DocumentArrayOfOneColumnIsDrawnToo)
{
    CDocListNode snapshot;
    snapshot.m_pArray = new ARRAYREC;
    snapshot.m_pArray->m_nRows = 2;
    snapshot.m_pArray->m_dDy = 50;
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &snapshot;
    plat::ScopedMachine noMachine;
    CDocDataBezier curve(BezierNodes({{100, 100}, {110, 100}, {120, 100}, {130, 100}}), true, nullptr);

    RecordingDC dc;
    curve.DrawArrayCopies(&dc, &ctx);
    const auto calls = dc.DrawCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (std::vector<int>{100, 150, 110, 150, 120, 150, 130, 150}));
    EXPECT_EQ(calls[0].pen.style, plat::PS_SOLID);

    snapshot.m_pArray->m_nRows = 1;
    dc.Clear();
    curve.DrawArrayCopies(&dc, &ctx);
    EXPECT_TRUE(dc.DrawCalls().empty());
}

TEST(BezierObject, NodeMarksShowHandlesOnlyAroundTheActiveAnchor)
{
    DOCCONTEXT ctx;
    RecordingDC dc;
    CDocDataBezier path(BezierNodes({{100, 100}, {110, 100}, {120, 100}, {130, 100}, {140, 100}, {150, 100}, {160, 100}}),
                        true, nullptr);
    path.DrawNodes(&dc, &ctx);
    EXPECT_TRUE(dc.Calls().empty()); // not in node mode

    path.SelectAllNodes();
    NodeAt(path.m_pNodes, 3)->m_nSelect = NODE_ACTIVE;
    path.DrawNodes(&dc, &ctx);
    using Op = RecordingDC::Op;
    // Two small squares, one large square and four handles with a filled
    // square at each control.
    EXPECT_EQ(dc.Count(Op::FillRect), 4u);
    EXPECT_EQ(dc.Count(Op::MoveTo), 2u + 1u + 4u);
    const auto calls = dc.DrawCalls();
    // The large square's closing stroke ends one pixel above its start.
    EXPECT_EQ(calls[5].args, (std::vector<int>{127, 97}));
    EXPECT_EQ(calls[9].args, (std::vector<int>{127, 96}));
    EXPECT_EQ(calls[9].pen.width, 2);
    // The handle into the active anchor, dotted, with its control filled.
    EXPECT_EQ(calls[10].args, (std::vector<int>{120, 100}));
    EXPECT_EQ(calls[11].args, (std::vector<int>{130, 100}));
    EXPECT_EQ(calls[11].pen.style, plat::PS_DOT);
    EXPECT_EQ(calls[12].args, (std::vector<int>{118, 98, 122, 102, 0}));
}

TEST(BezierObject, LeadsOnAClosedCurveStartAtTheMiddleOfItsLongestFlatPiece)
{
    // A 100 x 40 rectangle of straight cubics flattens into pieces of 3.125
    // along x and 2.5 along y; both leads together are 2 long, so the start
    // goes to the middle of the first longest piece, (1.5625, 0), put on the
    // curve by a split within 0.1 of it.
    const double a = 100.0 / 3, b = 40.0 / 3;
    CDocDataBezier rect(BezierNodes({{0, 0}, {a, 0}, {2 * a, 0}, {100, 0}, {100, b}, {100, 2 * b}, {100, 40},
                                     {2 * a, 40}, {a, 40}, {0, 40}, {0, 2 * b}, {0, b}, {0, 0}}),
                        true, nullptr);
    rect.m_pLeadInOut = new LEADINOUT;
    rect.m_pLeadInOut->m_bLeadIn = 1;
    rect.m_pLeadInOut->m_dInLength = 1;
    rect.m_pLeadInOut->m_bLeadOut = 1;
    rect.m_pLeadInOut->m_dOutLength = 1;
    DOCCONTEXT ctx;
    PlaceStartForLeads(&ctx, &rect);
    EXPECT_NEAR(rect.m_pNodes->m_x, 1.5625, 0.1);
    EXPECT_DOUBLE_EQ(rect.m_pNodes->m_y, 0);
    EXPECT_EQ(CountNodes(rect.m_pNodes), 16);
    const DOCNODE* last = LastNode(rect.m_pNodes);
    EXPECT_EQ(last->m_x, rect.m_pNodes->m_x);
    EXPECT_EQ(last->m_y, rect.m_pNodes->m_y);
    // The old corner start is now an inner anchor of the outline.
    EXPECT_EQ(NodeAt(rect.m_pNodes, 12)->m_x, 0);
    EXPECT_EQ(NodeAt(rect.m_pNodes, 12)->m_y, 0);
}
