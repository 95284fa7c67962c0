// The polyline object: construction and closing, start points, node
// editing, hit tests, transformations with their lead and end-gap records,
// output paths and drawing, with values worked out by hand.
#include "LineTestSupport.h"
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/GeoFunctions.h"
#include "model/LeadInOut.h"
#include "model/PathRecord.h"
#include "platform/RecordingDC.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using plat::AddLead;
using plat::MakeLine;
using plat::MakeNodes;
using plat::PointList;
using plat::PointsOf;
using plat::RecordingDC;
using plat::StatesOf;

namespace {

using plat::kTol;

using LinePtr = std::unique_ptr<CDocDataLine>;

LinePtr Line(std::initializer_list<std::pair<double, double>> points)
{
    return LinePtr(MakeLine(points));
}

// Drawing calls as short text: "M x,y", "L x,y", "R l,t,r,b".
std::vector<std::string> Trace(const RecordingDC& dc)
{
    std::vector<std::string> out;
    for (const RecordingDC::Call& c : dc.DrawCalls()) {
        std::string s;
        switch (c.op) {
        case RecordingDC::Op::MoveTo:
            s = "M";
            break;
        case RecordingDC::Op::LineTo:
            s = "L";
            break;
        case RecordingDC::Op::Rectangle:
            s = "R";
            break;
        default:
            s = "?";
            break;
        }
        for (std::size_t i = 0; i < c.args.size(); ++i)
            s += (i == 0 ? " " : ",") + std::to_string(c.args[i]);
        out.push_back(s);
    }
    return out;
}

void SelectNodes(CDocData& obj, std::initializer_list<int> active)
{
    obj.m_bNodesSelected = 1;
    int i = 0;
    for (DOCNODE* n = obj.m_pNodes; n != nullptr; n = n->m_pNext, ++i) {
        n->m_nSelect = NODE_SELECTED;
        for (int a : active)
            if (a == i)
                n->m_nSelect = NODE_ACTIVE;
    }
}

} // namespace

TEST(LineConstruct, EndsWithinOneThousandthCloseOntoTheFirstNodeExactly)
{
    LinePtr closed = Line({{0, 0}, {10, 0}, {10, 10}, {0.0005, -0.0005}});
    EXPECT_EQ(closed->m_bClosed, 1);
    EXPECT_EQ(PointsOf(*closed).back(), (std::pair<double, double>{0, 0}));
    EXPECT_EQ(closed->m_bSelected, 1);
    EXPECT_EQ(closed->m_nType, MT_LINE);
    EXPECT_EQ(closed->m_rcBound.m_xmax, 10.0);
    EXPECT_EQ(closed->m_rcBound.m_ymin, -0.0005);

    LinePtr open = Line({{0, 0}, {10, 0}, {10, 10}, {0.002, 0.002}});
    EXPECT_EQ(open->m_bClosed, 0);
    EXPECT_EQ(PointsOf(*open).back(), (std::pair<double, double>{0.002, 0.002}));
}

TEST(LineConstruct, CopiesUnlessAskedToAdoptAndStaysUnselectedWithoutNodes)
{
    DOCNODE* nodes = MakeNodes({{1, 2}, {3, 4}});
    CDocDataLine copy(nodes, 0, nullptr);
    EXPECT_NE(copy.m_pNodes, nodes);
    EXPECT_EQ(PointsOf(copy), (PointList{{1, 2}, {3, 4}}));
    CDocDataLine adopted(nodes, 1, nullptr);
    EXPECT_EQ(adopted.m_pNodes, nodes);

    CDocDataLine empty(nullptr, 1, nullptr);
    EXPECT_EQ(empty.m_bSelected, 0);
    EXPECT_TRUE(empty.m_rcBound.IsEmpty());
    EXPECT_EQ(empty.MakeOutputPath(), nullptr);
    EXPECT_FALSE(empty.Reverse());
    EXPECT_FALSE(empty.SetStartPoint(0, 0, 1));
}

TEST(LineConstruct, CopySharesNothingAndSnapshotsCopyPolylines)
{
    LinePtr src = Line({{0, 0}, {10, 0}});
    AddLead(*src, 1, 30, 5, 0, 0);
    src->m_pArray = new ARRAYREC;
    CDocData* copy = CloneDocData(src.get(), false);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(dynamic_cast<CDocDataLine*>(copy), nullptr);
    EXPECT_NE(copy->m_pNodes, src->m_pNodes);
    EXPECT_NE(copy->m_pLeadInOut, src->m_pLeadInOut);
    EXPECT_EQ(copy->m_pLeadInOut->m_dInAngle, 30.0);
    EXPECT_NE(copy->m_pArray, src->m_pArray);
    EXPECT_EQ(PointsOf(*copy), PointsOf(*src));
    delete copy;

    // A type id set on an object of another class is not copied as a
    // polyline.
    plat::TestDocData impostor(MT_LINE);
    EXPECT_EQ(CloneDocData(&impostor, false), nullptr);
}

TEST(LineStart, OpenPolylineStartsOnlyAtItsLastNodeByReversing)
{
    LinePtr line = Line({{0, 0}, {10, 0}, {20, 5}});
    EXPECT_FALSE(line->SetStartPoint(0, 0, 0.1));
    EXPECT_EQ(PointsOf(*line), (PointList{{0, 0}, {10, 0}, {20, 5}}));
    EXPECT_FALSE(line->SetStartPoint(10, 0, 0.1));
    EXPECT_TRUE(line->SetStartPoint(20.05, 4.95, 0.1));
    EXPECT_EQ(PointsOf(*line), (PointList{{20, 5}, {10, 0}, {0, 0}}));
    // The reversed list is consistent backwards too.
    EXPECT_EQ(line->m_pNodes->m_pPrev, nullptr);
    EXPECT_EQ(LastNode(line->m_pNodes)->m_pPrev->m_x, 10.0);
}

TEST(LineStart, ClosedSquareStartsAtAnyCornerAndKeepsItsNodeCount)
{
    LinePtr square = Line({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
    square->m_pNodes->m_nSelect = NODE_ACTIVE;
    EXPECT_TRUE(square->SetStartPoint(10, 10, 0.1));
    EXPECT_EQ(PointsOf(*square), (PointList{{10, 10}, {0, 10}, {0, 0}, {10, 0}, {10, 10}}));
    // The old start's selection is folded to state 1; the new closing node
    // starts unselected.
    EXPECT_EQ(StatesOf(*square), (std::vector<int>{0, 0, 1, 0, 0}));
    EXPECT_FALSE(square->SetStartPoint(5, 5, 0.1));
    EXPECT_EQ(PointsOf(*square), (PointList{{10, 10}, {0, 10}, {0, 0}, {10, 0}, {10, 10}}));
}

TEST(LineEdit, CloseAppendsAClosingNodeOnlyWhenTheEndsApart)
{
    LinePtr line = Line({{0, 0}, {10, 0}, {10, 10}});
    EXPECT_TRUE(line->Close());
    EXPECT_EQ(line->m_bClosed, 1);
    EXPECT_EQ(PointsOf(*line), (PointList{{0, 0}, {10, 0}, {10, 10}, {0, 0}}));
    // Closed already: the ends meet, so only the flag is set again.
    EXPECT_TRUE(line->Close());
    EXPECT_EQ(PointsOf(*line), (PointList{{0, 0}, {10, 0}, {10, 10}, {0, 0}}));

    // Ends within 0.001 but not on each other: no new node.
    DOCNODE* near = MakeNodes({{0, 0}, {10, 0}, {0.0005, 0.0005}});
    CDocDataLine almost;
    almost.m_pNodes = near;
    EXPECT_TRUE(almost.Close());
    EXPECT_EQ(PointsOf(almost).size(), 3u);
    EXPECT_EQ(almost.m_bClosed, 1);

    LinePtr single = Line({{3, 3}});
    EXPECT_FALSE(single->Close());
}

TEST(LineEdit, InsertNodePutsTheFootOfThePerpendicularOnTheHitSegment)
{
    LinePtr line = Line({{0, 0}, {100, 0}, {100, 100}});
    EXPECT_TRUE(line->InsertNodeAt(40, 0.5, 1));
    EXPECT_EQ(PointsOf(*line), (PointList{{0, 0}, {40, 0}, {100, 0}, {100, 100}}));
    EXPECT_EQ(StatesOf(*line), (std::vector<int>{1, 1, 1, 1}));
    EXPECT_FALSE(line->InsertNodeAt(50, 50, 1));
    EXPECT_EQ(PointsOf(*line).size(), 4u);
}

TEST(LineEdit, MovingSelectedNodesMovesOnlyActiveAnchorsAndRebuildsLeads)
{
    LinePtr line = Line({{0, 0}, {100, 0}, {100, 100}});
    AddLead(*line, 1, 0, 10, 0, 0);
    SelectNodes(*line, {0});
    line->MoveSelectedNodes(CGeoPoint(0, 0), CGeoPoint(0, 50), 0, nullptr);
    EXPECT_EQ(PointsOf(*line), (PointList{{0, 50}, {100, 0}, {100, 100}}));
    // The lead-in now runs backwards along the new first segment.
    const double k = 10.0 / std::hypot(100.0, 50.0);
    EXPECT_NEAR(line->m_pLeadInOut->m_dInX, -100 * k, kTol);
    EXPECT_NEAR(line->m_pLeadInOut->m_dInY, 50 + 50 * k, kTol);
}

TEST(LineEdit, DeleteSelectedNodesReportsWhetherAnythingWentAway)
{
    LinePtr line = Line({{0, 0}, {10, 0}, {20, 0}, {30, 0}});
    // Not in node editing.
    line->m_pNodes->m_pNext->m_nSelect = NODE_ACTIVE;
    EXPECT_FALSE(line->DeleteSelectedNodes());
    // In node editing, nothing active: false, so that a group goes on to
    // the child that really has the selection.
    SelectNodes(*line, {});
    EXPECT_FALSE(line->DeleteSelectedNodes());
    EXPECT_EQ(PointsOf(*line).size(), 4u);
    // A middle node and the last node of an open outline.
    SelectNodes(*line, {1, 3});
    EXPECT_TRUE(line->DeleteSelectedNodes());
    EXPECT_EQ(PointsOf(*line), (PointList{{0, 0}, {20, 0}}));
    EXPECT_EQ(LastNode(line->m_pNodes)->m_pNext, nullptr);
    SelectNodes(*line, {0});
    EXPECT_TRUE(line->DeleteSelectedNodes());
    EXPECT_EQ(PointsOf(*line), (PointList{{20, 0}}));
    EXPECT_EQ(line->m_pNodes->m_pPrev, nullptr);
}

TEST(LineEdit, DeletingTheFirstNodeOfAClosedTriangleKeepsItClosed)
{
    LinePtr tri = Line({{0, 0}, {10, 0}, {5, 8}, {0, 0}});
    tri->m_bNodesSelected = 1;
    tri->SelectNodeAt(0, 0, 0.5, NODE_ACTIVE); // the closing node follows the first
    EXPECT_TRUE(tri->DeleteSelectedNodes());
    EXPECT_EQ(PointsOf(*tri), (PointList{{10, 0}, {5, 8}, {10, 0}}));
    EXPECT_EQ(StatesOf(*tri).back(), NODE_SELECTED);
    EXPECT_EQ(tri->m_bClosed, 1);
}

TEST(LineEdit, DeletingOnlyTheClosingNodeDropsTheFirstInstead)
{
    LinePtr tri = Line({{0, 0}, {10, 0}, {5, 8}, {0, 0}});
    SelectNodes(*tri, {3});
    EXPECT_TRUE(tri->DeleteSelectedNodes());
    EXPECT_EQ(PointsOf(*tri), (PointList{{10, 0}, {5, 8}, {10, 0}}));

    // With only the first and the closing node left the outline goes.
    LinePtr pair = Line({{4, 4}, {4, 4}});
    SelectNodes(*pair, {1});
    EXPECT_TRUE(pair->DeleteSelectedNodes());
    EXPECT_EQ(pair->m_pNodes, nullptr);
}

TEST(LineHit, ToleranceOfThreePixelsAtTheZoomDecidesHits)
{
    // Zoom 2: three pixels are 1.5 world units.
    const double tol = 3.0 / 2.0;
    LinePtr line = Line({{0, 0}, {100, 0}});
    EXPECT_TRUE(line->HitTest(50, 1.4, tol));
    EXPECT_FALSE(line->HitTest(50, 1.6, tol));
    EXPECT_TRUE(line->HitTest(101.4, 0, tol));
    EXPECT_FALSE(line->HitTest(101.6, 0, tol));
    // On the line's extension but outside the grown box.
    EXPECT_FALSE(line->HitTest(-1.5, 0, tol));
}

TEST(LineHit, SegmentHitMarksBothEndsAndTheClosingNodeOfAClosedOutline)
{
    LinePtr square = Line({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
    EXPECT_TRUE(square->HitSegment(5, 0.2, 0.5, 255));
    EXPECT_EQ(StatesOf(*square), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_TRUE(square->HitSegment(5, 0.2, 0.5, NODE_ACTIVE));
    EXPECT_EQ(StatesOf(*square), (std::vector<int>{2, 2, 0, 0, 2}));
    square->DeselectNodes();
    EXPECT_TRUE(square->HitSegment(0.2, 5, 0.5, NODE_SELECTED));
    EXPECT_EQ(StatesOf(*square), (std::vector<int>{1, 0, 0, 1, 1}));
    EXPECT_FALSE(square->HitSegment(5, 5, 0.5, NODE_SELECTED));
}

TEST(LineSelect, RubberBandStartsNodeEditingThenPicksNodesInside)
{
    LinePtr line = Line({{0, 0}, {10, 0}, {10, 10}});
    EXPECT_FALSE(line->SelectInRect(CGeoBox(1, 20, -1, 20)));
    EXPECT_TRUE(line->SelectInRect(CGeoBox(0, 10, 0, 10)));
    EXPECT_EQ(line->m_bNodesSelected, 1);
    EXPECT_EQ(StatesOf(*line), (std::vector<int>{1, 1, 1}));
    EXPECT_TRUE(line->SelectInRect(CGeoBox(5, 20, -1, 5)));
    EXPECT_EQ(StatesOf(*line), (std::vector<int>{1, 2, 1}));
    EXPECT_FALSE(line->SelectInRect(CGeoBox(50, 60, 50, 60)));
    EXPECT_EQ(StatesOf(*line), (std::vector<int>{1, 1, 1}));
}

TEST(LineTransform, FlipTurnsLeadAnglesAndMirrorsTheLeadPoints)
{
    LinePtr line = Line({{10, 10}, {40, 10}});
    LEADINOUT* lead = AddLead(*line, 1, 30, 5, 190, 5);
    lead->m_dInX = 5;
    lead->m_dInY = 20;
    line->Flip(CGeoPoint(50, 50), true, false, nullptr);
    EXPECT_NEAR(lead->m_dInAngle, 150, kTol);
    EXPECT_NEAR(lead->m_dOutAngle, 350, kTol);
    EXPECT_NEAR(lead->m_dInX, 95, kTol);
    EXPECT_NEAR(lead->m_dInY, 20, kTol);
    EXPECT_EQ(PointsOf(*line).size(), 2u);
    EXPECT_NEAR(line->m_pNodes->m_x, 90, kTol);
    EXPECT_NEAR(line->m_rcBound.m_xmin, 60, kTol);

    LinePtr other = Line({{10, 10}, {40, 10}});
    LEADINOUT* lead2 = AddLead(*other, 1, 30, 5, 0, 0);
    lead2->m_dOutAngle = 45; // lead-out off: its angle stays
    other->Flip(CGeoPoint(50, 50), false, true, nullptr);
    EXPECT_NEAR(lead2->m_dInAngle, 330, kTol);
    EXPECT_EQ(lead2->m_dOutAngle, 45.0);
    EXPECT_NEAR(other->m_pNodes->m_y, 90, kTol);

    // Just past 180 the polyline keeps a tiny negative angle.
    lead2->m_dInAngle = 180.000001;
    other->Flip(CGeoPoint(50, 50), true, false, nullptr);
    EXPECT_NEAR(lead2->m_dInAngle, -0.000001, 1e-9);
}

TEST(LineTransform, FlipMovesEveryNodeBitForBitAsTheMirrorFunction)
{
    // Each way about an ordinary centre, and about one so far out that
    // centre + 50 rounds back onto it (the mirror line then counts as level
    // whichever way is asked): the nodes land exactly where GeoMirrorPoint
    // puts them, and the box follows.
    struct Case {
        double cx, cy;
        bool horizontal;
    } cases[] = {{3.5, -2.25, true}, {3.5, -2.25, false}, {0.1, 1e19, true}, {1e19, 0.3, false}};
    for (const Case& c : cases) {
        LinePtr line = Line({{0.1, 0.7}, {-12.3, 5e18}, {1.0 / 3.0, -2e-9}});
        std::vector<std::pair<double, double>> want;
        for (const auto& p : PointsOf(*line)) {
            double x = p.first, y = p.second;
            const double x2 = c.horizontal ? c.cx : c.cx + 50.0, y2 = c.horizontal ? c.cy + 50.0 : c.cy;
            GeoMirrorPoint(p.first, p.second, c.cx, c.cy, x2, y2, x, y);
            want.emplace_back(x, y);
        }
        line->Flip(CGeoPoint(c.cx, c.cy), c.horizontal, !c.horizontal, nullptr);
        EXPECT_EQ(PointsOf(*line), want);
        EXPECT_EQ(line->m_rcBound.m_ymax, std::max({want[0].second, want[1].second, want[2].second}));
    }
}

TEST(LineTransform, MirrorCopyLeavesTheSourceAndReflectsLeadsAndMarker)
{
    LinePtr line = Line({{10, 0}, {20, 0}});
    LEADINOUT* lead = AddLead(*line, 1, 40, 5, 0, 0);
    lead->m_dInX = 5;
    line->m_pEndGap = new ENDGAP;
    line->m_pEndGap->m_dMarkX = 18;
    // Mirror line x = 0.
    std::unique_ptr<CDocData> copy(line->MirrorAbout(0, 0, 0, 10, true, true, nullptr));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(PointsOf(*line), (PointList{{10, 0}, {20, 0}}));
    EXPECT_EQ(lead->m_dInAngle, 40.0);
    const PointList pts = PointsOf(*copy);
    EXPECT_NEAR(pts[0].first, -20, kTol); // reversed first
    EXPECT_NEAR(pts[1].first, -10, kTol);
    EXPECT_NEAR(copy->m_pLeadInOut->m_dInX, -5, kTol);
    EXPECT_NEAR(copy->m_pLeadInOut->m_dInAngle, 320, kTol);
    EXPECT_NEAR(copy->m_pEndGap->m_dMarkX, -18, kTol);
    EXPECT_NEAR(copy->m_rcBound.m_xmin, -20, kTol);
}

TEST(LineTransform, ScalingAboutTheFirstNodeLeavesTheLeadPoints)
{
    LinePtr line = Line({{10, 10}, {20, 10}, {20, 20}});
    LEADINOUT* lead = AddLead(*line, 1, 0, 5, 0, 5);
    lead->m_dInX = 5;
    lead->m_dInY = 10;
    lead->m_dOutX = 20;
    lead->m_dOutY = 25;
    line->Scale(10, 10, 2, 2, nullptr);
    EXPECT_EQ(PointsOf(*line), (PointList{{10, 10}, {30, 10}, {30, 30}}));
    EXPECT_EQ(lead->m_dInX, 5.0);
    EXPECT_EQ(lead->m_dOutY, 25.0);
    EXPECT_EQ(line->m_rcBound.m_xmax, 30.0);

    // About another point the leads follow the first node.
    line->ScaleNodes(0, 0, 0.5, 0.5, nullptr);
    EXPECT_EQ(lead->m_dInX, 0.0);
    EXPECT_EQ(lead->m_dInY, 5.0);
}

TEST(LineTransform, ScalingKeepsTheGapsBetweenArrayCopiesAndMovesTheMarker)
{
    plat::ScopedMachine noMachine;
    LinePtr line = Line({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
    line->m_pArray = new ARRAYREC;
    line->m_pArray->m_nCols = 2;
    line->m_pArray->m_dDx = 15; // gap 5
    line->m_pArray->m_dDy = 12; // gap 2
    line->RecalcBoundRect(nullptr);
    SetEndGap(line.get(), 0.3, 1);
    EXPECT_NEAR(line->m_pEndGap->m_dMarkX, 0, kTol);
    EXPECT_NEAR(line->m_pEndGap->m_dMarkY, 2, kTol);
    line->ScaleNodes(0, 0, 2, 3, nullptr);
    EXPECT_NEAR(line->m_pArray->m_dDx, 25, kTol);
    EXPECT_NEAR(line->m_pArray->m_dDy, 32, kTol);
    EXPECT_NEAR(line->m_rcBound.m_xmax, 45, kTol); // copy 20 wide, the next 25 on
    // Outline 100 long: marker 5 before the end, on the left side.
    EXPECT_NEAR(line->m_pEndGap->m_dMarkX, 0, kTol);
    EXPECT_NEAR(line->m_pEndGap->m_dMarkY, 5, kTol);
}

TEST(LineArray, ExplodeLinksFiveCopiesBehindTheObjectInRowOrder)
{
    plat::ScopedMachine noMachine;
    DOCCONTEXT ctx;
    CDocData* obj = MakeLine({{0, 0}, {10, 0}});
    CDocData* after = MakeLine({{900, 900}, {901, 900}});
    CDocData* list = plat::LinkObjects({obj, after});
    obj->m_pArray = new ARRAYREC;
    obj->m_pArray->m_nRows = 2;
    obj->m_pArray->m_nCols = 3;
    obj->m_pArray->m_dDx = 20;
    obj->m_pArray->m_dDy = 30;
    obj->ExplodeArray(&ctx);
    EXPECT_EQ(obj->m_pArray, nullptr);
    EXPECT_EQ(obj->m_rcBound.m_xmax, 10.0);
    PointList starts;
    for (CDocData* o = list; o != nullptr; o = o->m_pNext) {
        starts.emplace_back(o->m_pNodes->m_x, o->m_pNodes->m_y);
        if (o->m_pNext != nullptr) {
            EXPECT_EQ(o->m_pNext->m_pPrev, o);
        }
    }
    EXPECT_EQ(starts, (PointList{{0, 0}, {20, 0}, {40, 0}, {0, 30}, {20, 30}, {40, 30}, {900, 900}}));
    EXPECT_EQ(list->m_pNext->m_nType, MT_LINE);
    DeleteObjectList(list);
}

TEST(LineOutput, SquareWithLeadInAndLeadOutGivesOneOpenPath)
{
    LinePtr square = Line({{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}});
    AddLead(*square, 1, 0, 10, 0, 10)->m_bDone = 1;
    ApplyLeadInOut(nullptr, square.get());
    PATHREC* path = square->MakeOutputPath();
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->m_pNext, nullptr);
    EXPECT_EQ(path->m_kind, PATH_KIND_PATH);
    EXPECT_EQ(path->m_subkind, 0);
    EXPECT_EQ(path->m_closed, 0u);
    const std::vector<std::vector<double>> expected{{-10, 0, 0, 0},   {0, 0, 100, 0},   {100, 0, 100, 100},
                                                    {100, 100, 0, 100}, {0, 100, 0, 0}, {0, 0, 0, -10}};
    const auto segs = plat::SegmentsOf(path);
    ASSERT_EQ(segs.size(), expected.size());
    for (std::size_t i = 0; i < segs.size(); ++i)
        for (std::size_t k = 0; k < 4; ++k)
            EXPECT_NEAR(segs[i][k], expected[i][k], kTol) << i << "," << k;
    // Lead lines do not widen the path's bounds.
    EXPECT_EQ(path->m_xmin, 0.0);
    EXPECT_EQ(path->m_ymin, 0.0);
    FreePathRecordList(path);
}

// The output path reads the nodes where they lie: a node list linked into a
// ring must end the walk back at its head, as its open copy ends at null.
TEST(LineOutput, NodesLinkedIntoARingGiveThePathOfTheOpenList)
{
    LinePtr line = Line({{0, 0}, {100, 0}, {100, 100}, {0, 100}});
    PATHREC* open = line->MakeOutputPath();
    DOCNODE* head = line->m_pNodes;
    DOCNODE* last = head->m_pNext->m_pNext->m_pNext;
    last->m_pNext = head;
    head->m_pPrev = last;
    PATHREC* ring = line->MakeOutputPath();
    last->m_pNext = nullptr;
    head->m_pPrev = nullptr;
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(plat::SegmentsOf(ring), plat::SegmentsOf(open));
    EXPECT_EQ(plat::SegmentsOf(ring).size(), 3u);
    EXPECT_EQ(ring->m_closed, 0u);
    FreePathRecordList(open);
    FreePathRecordList(ring);
}

TEST(LineOutput, EndGapIsCutOffTheOutputCopyOnly)
{
    LinePtr square = Line({{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}});
    SetEndGap(square.get(), 0.3, 1);
    PATHREC* path = square->MakeOutputPath();
    const auto segs = plat::SegmentsOf(path);
    ASSERT_EQ(segs.size(), 4u);
    EXPECT_EQ(segs.back(), (std::vector<double>{0, 100, 0, 3}));
    EXPECT_EQ(path->m_closed, 0u);
    EXPECT_EQ(PointsOf(*square).back(), (std::pair<double, double>{0, 0}));
    FreePathRecordList(path);
}

TEST(LineOutput, ArrayCopiesComeBetweenBracketsAndLightGuideLinesKeepTheirSubkind)
{
    plat::ScopedMachine noMachine;
    LinePtr line = Line({{0, 0}, {100, 0}, {100, 50}});
    line->m_bOutput = 0x81;
    line->m_pArray = new ARRAYREC;
    line->m_pArray->m_nRows = 2;
    line->m_pArray->m_dDy = 150;
    PATHREC* chain = line->MakeOutputPath();
    ASSERT_NE(chain, nullptr);
    PATHREC* path = chain->m_pNext;
    ASSERT_NE(path, nullptr);
    PATHREC* close = path->m_pNext;
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->m_pNext, nullptr);
    EXPECT_EQ(chain->m_kind, PATH_KIND_GROUP);
    EXPECT_EQ(chain->m_subkind, 3);
    ASSERT_NE(chain->m_pArray, nullptr);
    EXPECT_NE(chain->m_pArray, line->m_pArray);
    EXPECT_EQ(chain->m_pArray->m_nRows, 2);
    EXPECT_EQ(chain->m_ymin, 0.0);
    EXPECT_EQ(chain->m_ymax, 200.0);
    EXPECT_EQ(chain->m_xmax, 100.0);
    EXPECT_EQ(path->m_subkind, 3);
    EXPECT_EQ(close->m_kind, PATH_KIND_GROUP);
    EXPECT_EQ(close->m_subkind, 3);
    EXPECT_EQ(close->m_pArray, nullptr);
    EXPECT_EQ(close->m_ymin, 1e9);
    FreePathRecordList(chain);

    // One row and one column: no brackets, and an ordinary line has
    // sub-kind 0.
    line->m_bOutput = 1;
    line->m_pArray->m_nRows = 1;
    PATHREC* single = line->MakeOutputPath();
    EXPECT_EQ(single->m_pNext, nullptr);
    EXPECT_EQ(single->m_kind, PATH_KIND_PATH);
    EXPECT_EQ(single->m_subkind, 0);
    FreePathRecordList(single);
}

TEST(LineDraw, OutlineWithLeadsArrowsAndEndGapCross)
{
    DOCCONTEXT ctx;
    RecordingDC dc;
    LinePtr line = Line({{110, 100}, {150, 100}});
    line->SetColor(3, 0x0000FF);
    LEADINOUT* lead = AddLead(*line, 1, 0, 10, 0, 10);
    lead->m_dInX = 100;
    lead->m_dInY = 100;
    lead->m_dOutX = 160;
    lead->m_dOutY = 100;
    line->m_pEndGap = new ENDGAP;
    line->m_pEndGap->m_bOn = 1;
    line->m_pEndGap->m_dMarkX = 140;
    line->m_pEndGap->m_dMarkY = 100;
    line->Draw(&dc, &ctx);
    EXPECT_EQ(Trace(dc), (std::vector<std::string>{"M 98,96", "L 105,100", "L 98,104", // lead-in arrow
                                                   "M 100,100", "L 110,100", "L 150,100", "L 160,100",
                                                   "M 148,96", "L 155,100", "L 148,104", // lead-out arrow
                                                   "M 136,96", "L 145,105", "M 144,96", "L 135,105"}));
    for (const auto& c : dc.DrawCalls()) {
        EXPECT_EQ(c.pen, (plat::Pen{plat::PS_SOLID, 0, 0x0000FF}));
        EXPECT_EQ(c.rop, plat::R2_COPYPEN);
    }
    EXPECT_EQ(dc.CurrentPen(), plat::Pen{});
}

TEST(LineDraw, ArrayCopiesShowForOneColumnOfSeveralRows)
{
    plat::ScopedMachine noMachine;
    CDocListNode snapshot;
    snapshot.m_pArray = new ARRAYREC;
    snapshot.m_pArray->m_nRows = 2;
    snapshot.m_pArray->m_nCols = 1;
    snapshot.m_pArray->m_dDy = 50;
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &snapshot;
    LinePtr line = Line({{10, 10}, {20, 10}});
    RecordingDC dc;
    line->DrawArrayCopies(&dc, &ctx);
    EXPECT_EQ(Trace(dc), (std::vector<std::string>{"M 10,60", "L 20,60"}));
    snapshot.m_pArray->m_nRows = 1;
    dc.Clear();
    line->DrawArrayCopies(&dc, &ctx);
    EXPECT_TRUE(dc.DrawCalls().empty());
}

TEST(LineDraw, NodeMarksSmallForShownAndBoldForSelectedNodes)
{
    LinePtr line = Line({{10, 10}, {20, 10}, {30, 10}});
    DOCCONTEXT ctx;
    RecordingDC dc;
    line->DrawNodes(&dc, &ctx);
    EXPECT_TRUE(dc.Calls().empty());
    SelectNodes(*line, {1});
    line->m_pNodes->m_nSelect = NODE_UNSELECTED;
    line->DrawNodes(&dc, &ctx);
    EXPECT_EQ(Trace(dc), (std::vector<std::string>{"M 17,7", "L 23,7", "L 23,13", "L 17,13", "L 17,6", //
                                                   "M 28,8", "L 32,8", "L 32,12", "L 28,12", "L 28,8"}));
    const auto calls = dc.DrawCalls();
    EXPECT_EQ(calls.front().pen.width, 2);
    EXPECT_EQ(calls.back().pen.width, 0);
}

TEST(LineDraw, DirectionArrowStandsOnTheSegmentReachingAQuarterOfTheLength)
{
    // Segments 10, 100, 10: a quarter of 120 is reached on the second one,
    // whose tip lies 66 units from (110, 100).
    LinePtr line = Line({{100, 100}, {110, 100}, {110, 200}, {120, 200}});
    DOCCONTEXT ctx;
    RecordingDC dc;
    line->DrawDirection(&dc, &ctx);
    // Base 8 back from the tip (110, 166); wings turned 30 degrees about it.
    EXPECT_EQ(Trace(dc), (std::vector<std::string>{"M 114,159", "L 110,166", "L 106,159"}));
}

TEST(LinePreview, XorPreviewDrawnTwiceRepeatsItselfAndRestoresTheMode)
{
    SoftwareSettings settings;
    settings.m_crBackground = 0xFFFFFF;
    DOCCONTEXT ctx;
    ctx.m_pSettings = &settings;
    ctx.m_dZoom = 2.0;
    LinePtr line = Line({{10, 10}, {20, 10}, {20, 30}});
    line->SetColor(1, 0x00FF00);
    RecordingDC dc;
    line->DrawScalePreview(&ctx, &dc, 10, 10, 2, 1);
    const std::vector<RecordingDC::Call> first = dc.Calls();
    EXPECT_EQ(Trace(dc), (std::vector<std::string>{"M 20,20", "L 60,20", "L 60,60"}));
    line->DrawScalePreview(&ctx, &dc, 10, 10, 2, 1);
    const std::vector<RecordingDC::Call> both = dc.Calls();
    ASSERT_EQ(both.size(), 2 * first.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), both.begin() + first.size()));
    for (const auto& c : dc.DrawCalls()) {
        EXPECT_EQ(c.rop, plat::R2_XORPEN);
        EXPECT_EQ(c.pen, (plat::Pen{plat::PS_DOT, 1, 0xFFFFFF ^ 0x00FF00}));
    }
    EXPECT_EQ(first.back().op, RecordingDC::Op::SelectPen);
    EXPECT_EQ(dc.GetROP2(), plat::R2_COPYPEN);
    // The object is not changed by its preview.
    EXPECT_EQ(PointsOf(*line), (PointList{{10, 10}, {20, 10}, {20, 30}}));
}

TEST(LinePreview, NodeMovePreviewDrawsTheSidesOfMovedNodesAndMarksTheirNeighbours)
{
    DOCCONTEXT ctx;
    LinePtr line = Line({{10, 10}, {20, 10}, {30, 10}, {40, 10}});
    line->SetColor(1, 0x123456);
    SelectNodes(*line, {1});
    RecordingDC dc;
    line->DrawNodeMovePreview(&ctx, &dc, CGeoPoint(0, 0), CGeoPoint(0, 5), 0);
    EXPECT_EQ(Trace(dc), (std::vector<std::string>{"M 10,10", "L 20,15", "M 20,15", "L 30,10", //
                                                   "R 8,8,12,12", "R 28,8,32,12"}));
    EXPECT_EQ(dc.DrawCalls().front().pen.color, 0x123456u);
    EXPECT_EQ(dc.DrawCalls().front().rop, plat::R2_XORPEN);
}
