// The ellipse object. Node values follow from the centre, the radii and the
// quarter-circle factor k = 0.551784: with radii 10 and 5 the controls sit
// 5.51784 and 2.75892 from their anchors.
#include "CurveObjectTestHelpers.h"
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocDataBezier.h"
#include "model/DocDataEllipse.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/PathRecord.h"
#include "platform/RecordingDC.h"

#include <gtest/gtest.h>

using plat::ExpectPoints;
using plat::KindsOf;
using plat::NodeAt;
using plat::PointList;
using plat::RecordingDC;
using plat::ScopedMachine;
using plat::StatesOf;

namespace {

using plat::kTol;
constexpr std::uint8_t kCorner = 1;

// Selects the anchor at (x, y) as the only active node and deletes it.
bool DeleteAnchorAt(CDocDataEllipse& e, double x, double y)
{
    e.SelectAllNodes();
    EXPECT_EQ(e.SelectNodeAt(x, y, 0.5, NODE_ACTIVE), 1);
    return e.DeleteSelectedNodes();
}

} // namespace

TEST(EllipseObject, PositioningPointEightStartsAtTheMiddleOfTheTopSide)
{
    ScopedMachine machine(kCorner, 8);
    CDocDataEllipse e(0, 0, 20, 10);
    EXPECT_EQ(e.m_nType, MT_ELLIPSE);
    EXPECT_EQ(e.m_bClosed, 1);
    ExpectPoints(e.m_pNodes, {{10, 10}, {4.48216, 10}, {0, 7.75892}, {0, 5}, {0, 2.24108}, {4.48216, 0}, {10, 0},
                              {15.51784, 0}, {20, 2.24108}, {20, 5}, {20, 7.75892}, {15.51784, 10}, {10, 10}},
                 kTol);
    EXPECT_EQ(KindsOf(e.m_pNodes), (std::vector<int>{0, 2, 1, 0, 2, 1, 0, 2, 1, 0, 2, 1, 0}));
    EXPECT_EQ(e.m_rcBound.m_xmin, 0);
    EXPECT_EQ(e.m_rcBound.m_xmax, 20);
    EXPECT_EQ(e.m_rcBound.m_ymin, 0);
    EXPECT_EQ(e.m_rcBound.m_ymax, 10);
    // Placing the start leaves no node selected and node mode off.
    EXPECT_EQ(StatesOf(e.m_pNodes), std::vector<int>(13, 0));
    EXPECT_EQ(e.m_bNodesSelected, 0);
}

TEST(EllipseObject, CentrePositionStartsLikeTheBottomMiddleAndTheLeftSideAsksForNothing)
{
    {
        ScopedMachine centre(kCorner, 4);
        CDocDataEllipse e(0, 0, 20, 10);
        EXPECT_NEAR(e.m_pNodes->m_x, 10, kTol);
        EXPECT_NEAR(e.m_pNodes->m_y, 0, kTol);
        EXPECT_EQ(CountNodes(e.m_pNodes), 13);
    }
    {
        ScopedMachine left(kCorner, 3);
        CDocDataEllipse e(0, 0, 20, 10);
        EXPECT_EQ(e.m_pNodes->m_x, 0);
        EXPECT_EQ(e.m_pNodes->m_y, 5);
        EXPECT_FALSE(e.ApplyStartPosition(3));
        EXPECT_FALSE(e.ApplyStartPosition(9));
        EXPECT_FALSE(e.ApplyStartPosition(-1));
        EXPECT_TRUE(e.ApplyStartPosition(5));
        EXPECT_NEAR(e.m_pNodes->m_x, 20, kTol);
        EXPECT_NEAR(e.m_pNodes->m_y, 5, kTol);
        EXPECT_FALSE(e.Close());
    }
    {
        ScopedMachine none;
        CDocDataEllipse e(0, 0, 20, 10);
        EXPECT_EQ(e.m_pNodes->m_x, 0);
        EXPECT_EQ(e.m_pNodes->m_y, 5);
        EXPECT_EQ(CountNodes(e.m_pNodes), 13);
    }
}

TEST(EllipseObject, ReversedBoxIsKeptAsGivenAndTheNodesRunTheOtherWay)
{
    ScopedMachine none;
    CDocDataEllipse e(20, 10, 0, 0);
    EXPECT_EQ(e.m_rcBound.m_xmin, 20);
    EXPECT_EQ(e.m_rcBound.m_xmax, 0);
    EXPECT_EQ(e.m_rcBound.m_ymin, 10);
    EXPECT_EQ(e.m_rcBound.m_ymax, 0);
    // cx 10, cy 5, rx -10, ry -5: from (20, 5) over (10, 10) to (0, 5).
    EXPECT_NEAR(NodeAt(e.m_pNodes, 0)->m_x, 20, kTol);
    EXPECT_NEAR(NodeAt(e.m_pNodes, 3)->m_y, 10, kTol);
    EXPECT_NEAR(NodeAt(e.m_pNodes, 6)->m_x, 0, kTol);
}

TEST(EllipseObject, DeletingTheFirstAnchorLeavesAClosedThreeSegmentPath)
{
    ScopedMachine none;
    CDocDataEllipse e(-10, -5, 10, 5);
    ASSERT_TRUE(DeleteAnchorAt(e, -10, 0));
    ExpectPoints(e.m_pNodes, {{0, -5}, {5.51784, -5}, {10, -2.75892}, {10, 0}, {10, 2.75892}, {5.51784, 5}, {0, 5},
                              {-5.51784, 5}, {-5.51784, -5}, {0, -5}},
                 kTol);
    EXPECT_EQ(KindsOf(e.m_pNodes), (std::vector<int>{0, 2, 1, 0, 2, 1, 0, 2, 1, 0}));
    EXPECT_EQ(e.m_bClosed, 1);
    EXPECT_EQ(LastNode(e.m_pNodes)->m_nSelect, NODE_SELECTED);
}

TEST(EllipseObject, DeletingTheFirstAnchorOfABottomStartEllipseRunsTheClosingSegmentIntoTheRightSide)
{
    ScopedMachine machine(kCorner, 0);
    CDocDataEllipse e(-10, -5, 10, 5);
    ASSERT_NEAR(e.m_pNodes->m_y, -5, kTol);
    ASSERT_TRUE(DeleteAnchorAt(e, 0, -5));
    ExpectPoints(e.m_pNodes, {{10, 0}, {10, 2.75892}, {5.51784, 5}, {0, 5}, {-5.51784, 5}, {-10, 2.75892}, {-10, 0},
                              {-10, -2.75892}, {10, -2.75892}, {10, 0}},
                 kTol);
}

TEST(EllipseObject, DeletingTheLastSegmentsEndsAndInnerAnchors)
{
    ScopedMachine none;
    CDocDataEllipse e(0, 0, 20, 10);
    e.m_bNodesSelected = 1;
    NodeAt(e.m_pNodes, 6)->m_nSelect = NODE_ACTIVE;
    ASSERT_TRUE(e.DeleteSelectedNodes());
    // The two segments that met at (20, 5) are one now.
    ExpectPoints(e.m_pNodes, {{0, 5}, {0, 2.24108}, {4.48216, 0}, {10, 0}, {15.51784, 0}, {15.51784, 10}, {10, 10},
                              {4.48216, 10}, {0, 7.75892}, {0, 5}},
                 kTol);

    // The closing anchor alone: the last segment goes.
    LastNode(e.m_pNodes)->m_nSelect = NODE_ACTIVE;
    ASSERT_TRUE(e.DeleteSelectedNodes());
    EXPECT_EQ(CountNodes(e.m_pNodes), 7);
    EXPECT_NEAR(LastNode(e.m_pNodes)->m_x, 10, kTol);
    EXPECT_NEAR(LastNode(e.m_pNodes)->m_y, 10, kTol);

    LastNode(e.m_pNodes)->m_nSelect = NODE_ACTIVE;
    ASSERT_TRUE(e.DeleteSelectedNodes());
    EXPECT_EQ(CountNodes(e.m_pNodes), 4);
    // One segment left: deleting its end takes every node.
    LastNode(e.m_pNodes)->m_nSelect = NODE_ACTIVE;
    ASSERT_TRUE(e.DeleteSelectedNodes());
    EXPECT_EQ(e.m_pNodes, nullptr);
    EXPECT_FALSE(e.DeleteSelectedNodes());
}

TEST(EllipseObject, SelectNodeAtFindsAnchorsOnlyAndKeepsTheClosingNodeInStep)
{
    ScopedMachine none;
    CDocDataEllipse e(0, 0, 20, 10);
    // (0, 2.24108) is a control point.
    EXPECT_EQ(e.SelectNodeAt(0, 2.24, 0.1, NODE_ACTIVE), 0);
    EXPECT_EQ(StatesOf(e.m_pNodes), std::vector<int>(13, 1));
    EXPECT_EQ(e.SelectNodeAt(0, 5, 0.1, NODE_ACTIVE), 1);
    EXPECT_EQ(e.m_pNodes->m_nSelect, NODE_ACTIVE);
    EXPECT_EQ(LastNode(e.m_pNodes)->m_nSelect, NODE_ACTIVE);
    EXPECT_EQ(NodeAt(e.m_pNodes, 3)->m_nSelect, NODE_SELECTED);
    EXPECT_EQ(e.SelectNodeAt(10, 0, 0.1, 0), 1);
    EXPECT_EQ(StatesOf(e.m_pNodes), std::vector<int>(13, 0));
}

TEST(EllipseObject, HitTestDoesNotGrowTheBoxesByTheTolerance)
{
    ScopedMachine none;
    CDocDataEllipse e(0, 0, 20, 10);
    // (10.5, 0.5) is half a unit inside the bottom of the outline, but above
    // the nearly flat chords there: the ellipse misses it where the Bezier
    // path with the very same nodes hits it.
    EXPECT_FALSE(e.HitTest(10.5, 0.5, 2));
    CDocDataBezier sameNodes(e.m_pNodes, false, nullptr);
    EXPECT_TRUE(sameNodes.HitTest(10.5, 0.5, 2));
    // Just outside the bottom is outside every node box.
    EXPECT_FALSE(e.HitTest(10, -0.5, 2));
    EXPECT_TRUE(e.HitTest(10, 0, 0.5));
    EXPECT_TRUE(e.HitTest(0, 5, 0.5));
}

// A circle of radius 10 about (5, 7): its flattened outline passes the four
// vertices, which bound it; an array of two columns 30 apart adds 30 to the
// right.
TEST(EllipseObject, TheBoxIsTheFlattenedOutlinesWithItsArrayCopies)
{
    ScopedMachine none;
    CDocDataEllipse circle(-5, -3, 15, 17);
    circle.RecalcBoundRect(nullptr);
    EXPECT_EQ(circle.m_rcBound.m_xmin, -5.0);
    EXPECT_EQ(circle.m_rcBound.m_ymin, -3.0);
    EXPECT_EQ(circle.m_rcBound.m_xmax, 15.0);
    EXPECT_EQ(circle.m_rcBound.m_ymax, 17.0);
    circle.m_pArray = new ARRAYREC;
    circle.m_pArray->m_nCols = 2;
    circle.m_pArray->m_dDx = 30.0;
    circle.RecalcBoundRect(nullptr);
    EXPECT_EQ(circle.m_rcBound.m_xmin, -5.0);
    EXPECT_EQ(circle.m_rcBound.m_xmax, 45.0);
    CDocDataEllipse none2;
    none2.RecalcBoundRect(nullptr);
    EXPECT_TRUE(none2.m_rcBound.IsEmpty());
}

TEST(EllipseObject, DirectionArrowSitsOnTheSecondAnchorAndNeedsTwoSegments)
{
    ScopedMachine none;
    DOCCONTEXT ctx;
    RecordingDC dc;
    CDocDataEllipse e(100, 100, 120, 110);
    e.DrawDirection(&dc, &ctx);
    // Tip 1 pixel from (110, 100) towards its outgoing control; wings 8
    // pixels back at 30 degrees.
    const auto calls = dc.DrawCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].args, (std::vector<int>{104, 96}));
    EXPECT_EQ(calls[1].args, (std::vector<int>{111, 100}));
    EXPECT_EQ(calls[2].args, (std::vector<int>{104, 104}));

    // Inner anchors deleted down to one segment: nothing to point along.
    e.m_bNodesSelected = 1;
    NodeAt(e.m_pNodes, 3)->m_nSelect = NODE_ACTIVE;
    NodeAt(e.m_pNodes, 6)->m_nSelect = NODE_ACTIVE;
    NodeAt(e.m_pNodes, 9)->m_nSelect = NODE_ACTIVE;
    ASSERT_TRUE(e.DeleteSelectedNodes());
    ASSERT_EQ(CountNodes(e.m_pNodes), 4);
    dc.Clear();
    e.DrawDirection(&dc, &ctx);
    EXPECT_TRUE(dc.Calls().empty());

    CDocDataEllipse empty;
    empty.DrawDirection(&dc, &ctx);
    EXPECT_TRUE(dc.Calls().empty());
}

TEST(EllipseObject, DrawNeedsABoxAndDrawsFourPieces)
{
    ScopedMachine none;
    DOCCONTEXT ctx;
    RecordingDC dc;
    CDocDataEllipse e(100, 100, 120, 110);
    e.Draw(&dc, &ctx);
    EXPECT_EQ(dc.Count(RecordingDC::Op::PolyBezier), 4u);
    dc.Clear();
    e.m_rcBound.SetEmpty();
    e.Draw(&dc, &ctx);
    EXPECT_TRUE(dc.Calls().empty());
}

TEST(EllipseObject, NodeMarksAreAnchorSquaresWithoutHandles)
{
    ScopedMachine none;
    DOCCONTEXT ctx;
    RecordingDC dc;
    CDocDataEllipse e(100, 100, 120, 110);
    e.SelectAllNodes();
    e.SelectNodeAt(110, 100, 0.5, NODE_ACTIVE);
    e.DrawNodes(&dc, &ctx);
    // Five anchors, one of them active: five squares, no handle fills.
    EXPECT_EQ(dc.Count(RecordingDC::Op::MoveTo), 5u);
    EXPECT_EQ(dc.Count(RecordingDC::Op::FillRect), 0u);
    const auto calls = dc.DrawCalls();
    EXPECT_EQ(calls[5].args, (std::vector<int>{107, 97}));
    EXPECT_EQ(calls[5].pen.width, 2);
}

TEST(EllipseObject, ArrayExplodesIntoCopiesInReadingOrder)
{
    ScopedMachine none;
    DOCCONTEXT ctx;
    auto* e = new CDocDataEllipse(0, 0, 20, 10);
    auto* after = new plat::TestDocData;
    CDocData* list = plat::LinkObjects({e, after});
    e->m_pArray = new ARRAYREC;
    e->m_pArray->m_nRows = 2;
    e->m_pArray->m_nCols = 3;
    e->m_pArray->m_dDx = 30;
    e->m_pArray->m_dDy = 20;
    e->ExplodeArray(&ctx);
    EXPECT_EQ(e->m_pArray, nullptr);
    const PointList starts = {{30, 5}, {60, 5}, {0, 25}, {30, 25}, {60, 25}};
    CDocData* obj = e->m_pNext;
    for (const auto& [x, y] : starts) {
        ASSERT_NE(obj, after);
        ASSERT_NE(dynamic_cast<CDocDataEllipse*>(obj), nullptr);
        EXPECT_EQ(obj->m_pArray, nullptr);
        EXPECT_NEAR(obj->m_pNodes->m_x, x, kTol);
        EXPECT_NEAR(obj->m_pNodes->m_y, y, kTol);
        EXPECT_EQ(obj->m_pNext->m_pPrev, obj);
        obj = obj->m_pNext;
    }
    EXPECT_EQ(obj, after);
    DeleteObjectList(list);
}

TEST(EllipseObject, SingleCopyArrayIsOnlyRemovedAndNoContextExplodesNothing)
{
    ScopedMachine none;
    DOCCONTEXT ctx;
    CDocDataEllipse e(0, 0, 20, 10);
    e.m_pArray = new ARRAYREC;
    e.ExplodeArray(nullptr);
    EXPECT_NE(e.m_pArray, nullptr);
    e.ExplodeArray(&ctx);
    EXPECT_EQ(e.m_pArray, nullptr);
    EXPECT_EQ(e.m_pNext, nullptr);
}

TEST(EllipseObject, MirrorReflectsLeadPointsAnglesAndEndGapMark)
{
    ScopedMachine none;
    CDocDataEllipse e(10, 0, 30, 10);
    e.m_pLeadInOut = new LEADINOUT;
    e.m_pLeadInOut->m_bLeadIn = 1;
    e.m_pLeadInOut->m_dInAngle = 30;
    e.m_pLeadInOut->m_dInX = 5;
    e.m_pLeadInOut->m_dInY = 5;
    e.m_pLeadInOut->m_dOutAngle = 45; // lead-out off: left alone
    e.m_pLeadInOut->m_dOutX = 7;
    e.m_pEndGap = new ENDGAP;
    e.m_pEndGap->m_dMarkX = 3;
    e.m_pEndGap->m_dMarkY = 4;

    CDocData* copy = e.MirrorAbout(0, 0, 0, 1, true, false, nullptr);
    ASSERT_NE(dynamic_cast<CDocDataEllipse*>(copy), nullptr);
    EXPECT_NEAR(copy->m_pLeadInOut->m_dInX, -5, kTol);
    EXPECT_EQ(e.m_pLeadInOut->m_dInX, 5);
    delete copy;

    EXPECT_EQ(e.MirrorAbout(0, 0, 0, 1, false, false, nullptr), nullptr);
    EXPECT_NEAR(e.m_pNodes->m_x, -10, kTol);
    EXPECT_NEAR(e.m_pLeadInOut->m_dInX, -5, kTol);
    EXPECT_NEAR(e.m_pLeadInOut->m_dInY, 5, kTol);
    EXPECT_EQ(e.m_pLeadInOut->m_dInAngle, 330);
    EXPECT_EQ(e.m_pLeadInOut->m_dOutX, 7);
    EXPECT_EQ(e.m_pLeadInOut->m_dOutAngle, 45);
    EXPECT_NEAR(e.m_pEndGap->m_dMarkX, -3, kTol);
    EXPECT_NEAR(e.m_pEndGap->m_dMarkY, 4, kTol);
    EXPECT_NEAR(e.m_rcBound.m_xmin, -30, kTol);
    EXPECT_NEAR(e.m_rcBound.m_xmax, -10, kTol);
}

TEST(EllipseObject, MovingAnActiveAnchorTakesItsControlsWhateverTheMode)
{
    ScopedMachine none;
    CDocDataEllipse e(0, 0, 20, 10);
    NodeAt(e.m_pNodes, 6)->m_nSelect = NODE_ACTIVE;
    NodeAt(e.m_pNodes, 7)->m_nSelect = NODE_ACTIVE; // a control: not moved by itself
    e.MoveSelectedNodes(CGeoPoint(0, 0), CGeoPoint(5, 0), 2, nullptr);
    EXPECT_NEAR(NodeAt(e.m_pNodes, 5)->m_x, 25, kTol);
    EXPECT_NEAR(NodeAt(e.m_pNodes, 6)->m_x, 25, kTol);
    EXPECT_NEAR(NodeAt(e.m_pNodes, 7)->m_x, 25, kTol);
    EXPECT_NEAR(NodeAt(e.m_pNodes, 8)->m_x, 15.51784, kTol);
}

TEST(EllipseObject, LightGuideEllipseGivesALightGuidePath)
{
    ScopedMachine none;
    CDocDataEllipse e(0, 0, 20, 10);
    PATHREC* plain = e.MakeOutputPath();
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->m_subkind, 0);
    EXPECT_EQ(plain->m_closed, 1u);
    FreePathRecordList(plain);

    e.m_bOutput = 0x81;
    PATHREC* guide = e.MakeOutputPath();
    ASSERT_NE(guide, nullptr);
    EXPECT_EQ(guide->m_subkind, 3);
    FreePathRecordList(guide);
}

TEST(EllipseObject, CloneCopiesEachCurveClassAsItself)
{
    ScopedMachine none;
    auto* e = new CDocDataEllipse(0, 0, 20, 10);
    e->m_pEndGap = new ENDGAP;
    auto* b = new CDocDataBezier(e->m_pNodes, false, nullptr);
    CDocData* list = plat::LinkObjects({e, b});
    CDocData* copy = CloneDocData(list, true);
    ASSERT_NE(dynamic_cast<CDocDataEllipse*>(copy), nullptr);
    EXPECT_EQ(copy->m_nType, MT_ELLIPSE);
    EXPECT_EQ(copy->m_bClosed, 1);
    EXPECT_NE(copy->m_pNodes, e->m_pNodes);
    EXPECT_NE(copy->m_pEndGap, e->m_pEndGap);
    ExpectPoints(copy->m_pNodes, plat::PointsOf(e->m_pNodes), 0.0);
    ASSERT_NE(copy->m_pNext, nullptr);
    EXPECT_EQ(dynamic_cast<CDocDataEllipse*>(copy->m_pNext), nullptr);
    EXPECT_EQ(copy->m_pNext->m_nType, MT_BEZIER);
    DeleteObjectList(copy);
    DeleteObjectList(list);
}
