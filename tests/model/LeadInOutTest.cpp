// Lead lines, start placement, clipping at crossings and the end gap, with
// values worked out by hand on squares and straight lines.
#include "LineTestSupport.h"
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocDataChar.h"
#include "model/DocDataGroup.h"
#include "model/DocDataLine.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/LeadInOut.h"
#include "model/PathRecord.h"
#include "platform/RecordingDC.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

using plat::AddLead;
using plat::MakeLine;
using plat::MakeNodes;
using plat::PointList;
using plat::PointsOf;
using plat::TestDocData;

namespace {

using plat::kTol;

// A document whose live snapshot holds the given list (owned by it).
struct Document {
    CDocListNode snapshot;
    DOCCONTEXT ctx;
    explicit Document(CDocData* first)
    {
        snapshot.m_pFirst = first;
        ctx.m_pCurrent = &snapshot;
    }
};

// Counter-clockwise (y up) square from (0, 0), side 100.
CDocDataLine* CcwSquare()
{
    return MakeLine({{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}});
}

// The same square clockwise.
CDocDataLine* CwSquare()
{
    return MakeLine({{0, 0}, {0, 100}, {100, 100}, {100, 0}, {0, 0}});
}

// Closed square of the given corners, counter-clockwise.
CDocDataLine* Square(double x0, double y0, double x1, double y1)
{
    return MakeLine({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}});
}

} // namespace

TEST(LeadBuild, StraightLeadsExtendTheEndSegmentsBackwardsAndForwards)
{
    std::unique_ptr<CDocDataLine> line(MakeLine({{0, 0}, {100, 0}}));
    AddLead(*line, 1, 0, 10, 0, 10);
    EXPECT_TRUE(ApplyLeadInOut(nullptr, line.get()));
    EXPECT_NEAR(line->m_pLeadInOut->m_dInX, -10, kTol);
    EXPECT_NEAR(line->m_pLeadInOut->m_dInY, 0, kTol);
    EXPECT_NEAR(line->m_pLeadInOut->m_dOutX, 110, kTol);
    EXPECT_NEAR(line->m_pLeadInOut->m_dOutY, 0, kTol);
    EXPECT_EQ(line->m_pLeadInOut->m_bDone, 1);
}

TEST(LeadBuild, OuterLeadAnglesTurnAwayFromTheOutlineOnEitherOrientation)
{
    // Counter-clockwise: the lead-in turns by +90 and lands below the start;
    // the lead-out turns by -90 and lands left of the closing node.
    std::unique_ptr<CDocDataLine> ccw(CcwSquare());
    AddLead(*ccw, 1, 90, 10, 90, 10)->m_bDone = 1;
    ApplyLeadInOut(nullptr, ccw.get());
    EXPECT_NEAR(ccw->m_pLeadInOut->m_dInX, 0, kTol);
    EXPECT_NEAR(ccw->m_pLeadInOut->m_dInY, -10, kTol);
    EXPECT_NEAR(ccw->m_pLeadInOut->m_dOutX, -10, kTol);
    EXPECT_NEAR(ccw->m_pLeadInOut->m_dOutY, 0, kTol);

    // Clockwise: the signs swap, and the leads still lie outside.
    std::unique_ptr<CDocDataLine> cw(CwSquare());
    AddLead(*cw, 1, 90, 10, 90, 10)->m_bDone = 1;
    ApplyLeadInOut(nullptr, cw.get());
    EXPECT_NEAR(cw->m_pLeadInOut->m_dInX, -10, kTol);
    EXPECT_NEAR(cw->m_pLeadInOut->m_dInY, 0, kTol);
    EXPECT_NEAR(cw->m_pLeadInOut->m_dOutX, 0, kTol);
    EXPECT_NEAR(cw->m_pLeadInOut->m_dOutY, -10, kTol);
}

TEST(LeadBuild, InnerLeadsLieInsideTheOutline)
{
    std::unique_ptr<CDocDataLine> ccw(CcwSquare());
    AddLead(*ccw, 0, 90, 10, 90, 10)->m_bDone = 1;
    ApplyLeadInOut(nullptr, ccw.get());
    EXPECT_NEAR(ccw->m_pLeadInOut->m_dInX, 0, kTol);
    EXPECT_NEAR(ccw->m_pLeadInOut->m_dInY, 10, kTol);
    EXPECT_NEAR(ccw->m_pLeadInOut->m_dOutX, 10, kTol);
    EXPECT_NEAR(ccw->m_pLeadInOut->m_dOutY, 0, kTol);
}

TEST(LeadBuild, AutomaticSideCountsTheSelectedOutlinesAroundTheStart)
{
    // Alone: an outer contour.
    {
        CDocDataLine* square = Square(10, 10, 20, 20);
        AddLead(*square, 2, 90, 5, 0, 0)->m_bDone = 1;
        Document doc(square);
        ApplyLeadInOut(&doc.ctx, square);
        EXPECT_EQ(square->m_pLeadInOut->m_nKind, 1);
        EXPECT_NEAR(square->m_pLeadInOut->m_dInX, 10, kTol);
        EXPECT_NEAR(square->m_pLeadInOut->m_dInY, 5, kTol);
    }
    // Inside one selected square: a hole, whose lead-in turns inwards.
    {
        CDocDataLine* outer = Square(0, 0, 100, 100);
        CDocDataLine* hole = Square(10, 10, 20, 20);
        AddLead(*hole, 2, 90, 5, 0, 0)->m_bDone = 1;
        Document doc(plat::LinkObjects({outer, hole}));
        ApplyLeadInOut(&doc.ctx, hole);
        EXPECT_EQ(hole->m_pLeadInOut->m_nKind, 0);
        EXPECT_NEAR(hole->m_pLeadInOut->m_dInX, 10, kTol);
        EXPECT_NEAR(hole->m_pLeadInOut->m_dInY, 15, kTol);

        // An outline that is not selected does not count.
        outer->SetSelected(0);
        hole->m_pLeadInOut->m_nKind = 2;
        ApplyLeadInOut(&doc.ctx, hole);
        EXPECT_EQ(hole->m_pLeadInOut->m_nKind, 1);
    }
    // Open outlines take +angle in and -angle out, and keep the kind that
    // gives those signs again on their orientation.
    {
        std::unique_ptr<CDocDataLine> open(MakeLine({{0, 0}, {100, 0}}));
        AddLead(*open, 2, 90, 10, 30, 0);
        double in = 0.0, out = 0.0;
        EXPECT_FALSE(ResolveAutoLeadSide(nullptr, open.get(), in, out, 1));
        EXPECT_EQ(open->m_pLeadInOut->m_nKind, 0);
        EXPECT_EQ(in, 90.0);
        EXPECT_EQ(out, -30.0);
        open->m_pLeadInOut->m_nKind = 2;
        EXPECT_FALSE(ResolveAutoLeadSide(nullptr, open.get(), in, out, 0));
        EXPECT_EQ(open->m_pLeadInOut->m_nKind, 1);
    }
}

// Line (0, 0)-(100, 0), automatic leads of 10 at 90 degrees: the lead-in
// turns by +90 from (-10, 0) to (0, -10), the lead-out by -90 from (110, 0)
// to (100, -10). Moved by (5, 0) and built again they must stay below the
// line; a record that turned into the outer kind would put them above.
TEST(LeadBuild, AutomaticLeadsOfAnOpenOutlineKeepTheirSideOnEveryLaterBuild)
{
    auto expectBelow = [](const CDocData& line, double shift) {
        const LEADINOUT& lead = *line.m_pLeadInOut;
        EXPECT_NEAR(lead.m_dInX, shift, kTol);
        EXPECT_NEAR(lead.m_dInY, -10, kTol);
        EXPECT_NEAR(lead.m_dOutX, 100 + shift, kTol);
        EXPECT_NEAR(lead.m_dOutY, -10, kTol);
    };
    const CGeoPoint origin(0, 0), shifted(5, 0);
    {
        CDocDataLine* line = MakeLine({{0, 0}, {100, 0}});
        AddLead(*line, 2, 90, 10, 90, 10);
        Document doc(line);
        ApplyLeadInOut(&doc.ctx, line);
        expectBelow(*line, 0);
        line->Move(origin, shifted, &doc.ctx);
        ApplyLeadInOut(&doc.ctx, line);
        expectBelow(*line, 5);
        ApplyLeadInOut(&doc.ctx, line);
        expectBelow(*line, 5);
    }
    // The composite's automatic record reaches the line as a template.
    for (int text = 0; text < 2; ++text) {
        CDocDataLine* line = MakeLine({{0, 0}, {100, 0}});
        CDocData* composite = text != 0 ? static_cast<CDocData*>(new CDocDataChar(line, true, nullptr))
                                        : new CDocDataGroup(line, nullptr);
        AddLead(*composite, 2, 90, 10, 90, 10);
        Document doc(composite);
        EXPECT_TRUE(ApplyLeadInOut(&doc.ctx, composite));
        ASSERT_NE(line->m_pLeadInOut, nullptr);
        expectBelow(*line, 0);
        composite->Move(origin, shifted, &doc.ctx);
        ApplyLeadInOut(&doc.ctx, composite);
        expectBelow(*line, 5);
    }
}

TEST(LeadBuild, ObjectsWithoutLeadsNodesOrOutlineClassGetNone)
{
    EXPECT_FALSE(ApplyLeadInOut(nullptr, nullptr));
    TestDocData point(MT_POINT);
    point.WithNodes({{0, 0}});
    AddLead(point, 1, 0, 10, 0, 0);
    EXPECT_FALSE(ApplyLeadInOut(nullptr, &point));
    EXPECT_EQ(point.m_pLeadInOut->m_dInX, 0.0);
    std::unique_ptr<CDocDataLine> bare(MakeLine({{0, 0}, {100, 0}}));
    EXPECT_FALSE(ApplyLeadInOut(nullptr, bare.get()));
    // All nodes on one spot: no direction, so the point stays, the lead is
    // not reported and the record is not built.
    std::unique_ptr<CDocDataLine> dot(MakeLine({{5, 5}, {5, 5}, {5, 5}}));
    AddLead(*dot, 1, 0, 10, 0, 0)->m_dInX = 77;
    EXPECT_FALSE(ApplyLeadInOut(nullptr, dot.get()));
    EXPECT_EQ(dot->m_pLeadInOut->m_dInX, 77.0);
    EXPECT_EQ(dot->m_pLeadInOut->m_bDone, 0);
}

// A zero-length line and a one-node polyline have no direction at either
// end: a lead there would run from the fresh record's (0, 0) across the
// whole table to the outline. Neither the lead-in nor the lead-out is built,
// drawn or output, and the record stays unbuilt.
TEST(LeadBuild, OutlineWithoutDirectionGetsNoLeadFromTheOrigin)
{
    for (int onlyNode = 0; onlyNode < 2; ++onlyNode) {
        for (int in = 0; in < 2; ++in) {
            std::unique_ptr<CDocDataLine> line(onlyNode != 0 ? MakeLine({{500100, 500200}})
                                                             : MakeLine({{500100, 500200}, {500100, 500200}}));
            AddLead(*line, 1, 0, in != 0 ? 20 : 0, 0, in != 0 ? 0 : 20);
            EXPECT_FALSE(ApplyLeadInOut(nullptr, line.get())) << onlyNode << in;
            EXPECT_EQ(line->m_pLeadInOut->m_bDone, 0) << onlyNode << in;

            PATHREC* path = line->MakeOutputPath();
            ASSERT_NE(path, nullptr);
            for (const auto& seg : plat::SegmentsOf(path))
                EXPECT_EQ(seg, (std::vector<double>{500100, 500200, 500100, 500200})) << onlyNode << in;
            FreePathRecordList(path);
            // Drawn, it is only the outline's own spot.
            plat::RecordingDC dc;
            DOCCONTEXT ctx;
            const plat::POINT at = ctx.WorldToClientPixel(500100, 500200);
            line->Draw(&dc, &ctx);
            for (const auto& call : dc.DrawCalls()) {
                if (call.op == plat::RecordingDC::Op::MoveTo || call.op == plat::RecordingDC::Op::LineTo) {
                    EXPECT_EQ(call.args, (std::vector<int>{at.x, at.y})) << onlyNode << in;
                }
            }
        }
    }
}

TEST(LeadBuild, GroupHandsItsRecordToChildrenWithoutOneAndReportsAnyChildLead)
{
    TestDocData group(MT_GROUP);
    CDocDataLine* a = MakeLine({{0, 0}, {100, 0}});
    CDocDataLine* b = MakeLine({{0, 50}, {100, 50}});
    AddLead(*b, 1, 0, 20, 0, 0);
    group.WithChild(a).WithChild(b);
    AddLead(group, 1, 0, 10, 0, 0)->m_bDone = 1;
    EXPECT_TRUE(ApplyLeadInOut(nullptr, &group));
    ASSERT_NE(a->m_pLeadInOut, nullptr);
    EXPECT_NEAR(a->m_pLeadInOut->m_dInX, -10, kTol);
    EXPECT_NEAR(b->m_pLeadInOut->m_dInX, -20, kTol); // keeps its own record
    EXPECT_EQ(group.m_pLeadInOut->m_bDone, 1);
}

TEST(LeadBuild, BuildingLeadsRecomputesTheEndGapMarker)
{
    std::unique_ptr<CDocDataLine> line(MakeLine({{0, 0}, {1000, 0}}));
    AddLead(*line, 1, 0, 10, 0, 0);
    line->m_pEndGap = new ENDGAP;
    line->m_pEndGap->m_bOn = 1;
    ApplyLeadInOut(nullptr, line.get());
    EXPECT_NEAR(line->m_pEndGap->m_dMarkX, 950, kTol);
}

TEST(LeadStart, ClosedRectangleStartsMidLongestSideOnTheFirstBuildOnly)
{
    std::unique_ptr<CDocDataRect> rect(new CDocDataRect(CGeoBox(0, 100, 0, 50), nullptr, 255));
    AddLead(*rect, 1, 0, 10, 0, 10);
    ApplyLeadInOut(nullptr, rect.get());
    // Sides 100, 50, 100, 50: the first of the two longest wins.
    EXPECT_EQ(PointsOf(*rect), (PointList{{50, 0}, {100, 0}, {100, 50}, {0, 50}, {0, 0}, {50, 0}}));
    EXPECT_NEAR(rect->m_pLeadInOut->m_dInX, 40, kTol);

    rect->Move(CGeoPoint(0, 0), CGeoPoint(0, 10), nullptr);
    ApplyLeadInOut(nullptr, rect.get());
    EXPECT_EQ(PointsOf(*rect), (PointList{{50, 10}, {100, 10}, {100, 60}, {0, 60}, {0, 10}, {50, 10}}));
}

TEST(LeadStart, PolylineWithASideLongerThanTheLeadsStartsInItsMiddle)
{
    std::unique_ptr<CDocDataLine> poly(MakeLine({{0, 0}, {10, 0}, {10, 40}, {0, 40}, {0, 0}}));
    AddLead(*poly, 1, 0, 10, 0, 10);
    ApplyLeadInOut(nullptr, poly.get());
    EXPECT_EQ(PointsOf(*poly), (PointList{{10, 20}, {10, 40}, {0, 40}, {0, 0}, {10, 0}, {10, 20}}));
}

TEST(LeadStart, ShortSidesStartInTheFirstStraightStretchLongerThanTheLeads)
{
    // Leads 15 + 15 = 30, angles 30 + 30 = 60 degrees; the bottom is a
    // straight chain of 7-unit sides, the first window over 30 units ends at
    // x = 35, so the start goes 17.5 along it.
    std::unique_ptr<CDocDataLine> poly(MakeLine(
        {{0, 0}, {7, 0}, {14, 0}, {21, 0}, {28, 0}, {35, 0}, {35, 8}, {25, 8}, {15, 8}, {5, 8}, {0, 8}, {0, 0}}));
    AddLead(*poly, 1, 30, 15, 30, 15);
    ApplyLeadInOut(nullptr, poly.get());
    const PointList pts = PointsOf(*poly);
    ASSERT_EQ(pts.size(), 13u);
    EXPECT_EQ(pts.front(), (std::pair<double, double>{17.5, 0}));
    EXPECT_EQ(pts[1], (std::pair<double, double>{21, 0}));
    EXPECT_EQ(pts.back(), (std::pair<double, double>{17.5, 0}));
}

TEST(LeadStart, FallbackPlaceOnANodeAddsNoZeroLengthSegment)
{
    // Every corner turns by 90 degrees against no allowed turn: the longest
    // window is the first one, 20 long from (0, 0), whose middle is the
    // corner (10, 0).
    std::unique_ptr<CDocDataLine> poly(MakeLine({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}));
    AddLead(*poly, 1, 0, 15, 0, 15);
    ApplyLeadInOut(nullptr, poly.get());
    EXPECT_EQ(PointsOf(*poly), (PointList{{10, 0}, {10, 10}, {0, 10}, {0, 0}, {10, 0}}));
}

TEST(LeadStart, EllipsesKeepTheirStartAndCurvesGoToTheRegisteredPlacer)
{
    static int calls = 0;
    calls = 0;
    const plat::CurveStartPlacer old = plat::SetCurveStartPlacer([](DOCCONTEXT*, CDocData*) { ++calls; });
    TestDocData curve(MT_BEZIER);
    curve.WithNodes({{0, 0}, {10, 0}, {10, 10}, {0, 0}});
    curve.m_bClosed = 1;
    AddLead(curve, 1, 0, 5, 0, 0);
    ApplyLeadInOut(nullptr, &curve);
    ApplyLeadInOut(nullptr, &curve); // done: no second placement
    TestDocData ellipse(MT_ELLIPSE);
    ellipse.WithNodes({{0, 0}, {10, 0}, {10, 10}, {0, 0}});
    ellipse.m_bClosed = 1;
    AddLead(ellipse, 1, 0, 5, 0, 0);
    ApplyLeadInOut(nullptr, &ellipse);
    plat::SetCurveStartPlacer(old);
    EXPECT_EQ(calls, 1);
}

TEST(LeadClip, CrossingAnotherOutlineShortensTheLeadToSevenTenths)
{
    CDocDataLine* obj = CcwSquare();
    LEADINOUT* lead = AddLead(*obj, 1, 0, 50, 0, 0);
    lead->m_dInX = -50;
    CDocDataLine* far = Square(-30, -10, -20, 10);  // its right side crosses at x = -20
    CDocDataLine* near = Square(-15, -10, -10, 10); // its right side crosses at x = -10
    CDocData* list = plat::LinkObjects({obj, far, near});
    ClipLeadsAtCrossings(list, obj);
    EXPECT_NEAR(lead->m_dInX, -7, kTol);
    EXPECT_NEAR(lead->m_dInY, 0, kTol);
    DeleteObjectList(list);
}

TEST(LeadClip, OnlyMiddleSegmentsOfSelectedOutlinesCount)
{
    CDocDataLine* obj = CcwSquare();
    LEADINOUT* lead = AddLead(*obj, 1, 0, 50, 0, 50);
    lead->m_dInX = -50;
    lead->m_dOutX = 0;
    lead->m_dOutY = -50;
    // Three nodes: first and last segment only, both across the lead-in.
    CDocDataLine* three = MakeLine({{-20, -10}, {-20, 10}, {-25, -10}});
    // Not selected, though it crosses the lead-out.
    CDocDataLine* hidden = Square(-10, -30, 10, -20);
    hidden->SetSelected(0);
    CDocData* list = plat::LinkObjects({obj, three, hidden});
    ClipLeadsAtCrossings(list, obj);
    EXPECT_EQ(lead->m_dInX, -50.0);
    EXPECT_EQ(lead->m_dOutY, -50.0);
    DeleteObjectList(list);
}

TEST(LeadClip, NearerCrossingInsideAGroupIsNotReplacedByAFartherOneOutside)
{
    CDocDataLine* obj = CcwSquare();
    LEADINOUT* lead = AddLead(*obj, 1, 0, 50, 0, 0);
    lead->m_dInX = -50;
    auto* group = new TestDocData(MT_GROUP);
    group->WithChild(Square(-15, -10, -10, 10));
    CDocData* list = plat::LinkObjects({obj, group, Square(-30, -10, -20, 10)});
    ClipLeadsAtCrossings(list, obj);
    EXPECT_NEAR(lead->m_dInX, -7, kTol);
    DeleteObjectList(list);
}

TEST(LeadRecords, SetLeadInOutCopiesEverythingButTheDoneFlagDownTheTree)
{
    LEADINOUT tmpl;
    tmpl.m_nKind = 0;
    tmpl.m_bDone = 1;
    tmpl.m_bLeadIn = 1;
    tmpl.m_dInLength = 12;
    TestDocData group(MT_GROUP);
    auto* child = new TestDocData(MT_LINE);
    AddLead(*child, 1, 0, 3, 0, 0)->m_bDone = 1;
    group.WithChild(child);
    SetLeadInOut(&group, &tmpl);
    ASSERT_NE(group.m_pLeadInOut, nullptr);
    EXPECT_EQ(group.m_pLeadInOut->m_bDone, 0);
    EXPECT_EQ(group.m_pLeadInOut->m_nKind, 0);
    EXPECT_EQ(group.m_pLeadInOut->m_dInLength, 12.0);
    EXPECT_EQ(child->m_pLeadInOut->m_dInLength, 12.0);
    EXPECT_EQ(child->m_pLeadInOut->m_bDone, 1);
    // Its own record as template changes nothing.
    group.m_pLeadInOut->m_dInLength = 4;
    SetLeadInOut(&group, group.m_pLeadInOut);
    EXPECT_EQ(group.m_pLeadInOut->m_dInLength, 4.0);
}

TEST(LeadRecords, GroupInheritsTheLongestChildLeadNotDone)
{
    TestDocData group(MT_GROUP);
    auto* a = new TestDocData(MT_LINE);
    auto* b = new TestDocData(MT_LINE);
    auto* c = new TestDocData(MT_LINE);
    AddLead(*a, 1, 0, 20, 0, 0);
    AddLead(*b, 0, 0, 0, 0, 35)->m_bDone = 1;
    AddLead(*c, 1, 45, 35, 0, 0);
    group.WithChild(a).WithChild(b).WithChild(c);
    InheritGroupLead(&group);
    ASSERT_NE(group.m_pLeadInOut, nullptr);
    EXPECT_EQ(group.m_pLeadInOut->m_dOutLength, 35.0); // b: the first of the tie
    EXPECT_EQ(group.m_pLeadInOut->m_nKind, 0);
    EXPECT_EQ(group.m_pLeadInOut->m_bDone, 0);

    TestDocData plain(MT_GROUP);
    plain.WithChild(new TestDocData(MT_LINE));
    InheritGroupLead(&plain);
    EXPECT_EQ(plain.m_pLeadInOut, nullptr);
}

TEST(LeadRecords, InnerGroupsInheritFirstAndThenCountAsChildren)
{
    TestDocData outer(MT_GROUP);
    auto* inner = new TestDocData(MT_GROUP);
    auto* leaf = new TestDocData(MT_LINE);
    AddLead(*leaf, 1, 0, 8, 0, 0);
    inner->WithChild(leaf);
    outer.WithChild(inner);
    InheritGroupLead(&outer);
    ASSERT_NE(inner->m_pLeadInOut, nullptr);
    ASSERT_NE(outer.m_pLeadInOut, nullptr);
    EXPECT_EQ(outer.m_pLeadInOut->m_dInLength, 8.0);
}

TEST(LeadRecords, BoundsOfTheSelectionTakeInTheEnabledLeadPoints)
{
    CDocDataLine* a = Square(0, 0, 10, 10);
    LEADINOUT* lead = AddLead(*a, 1, 0, 5, 0, 5);
    lead->m_dInX = -5;
    lead->m_dOutX = 30;
    lead->m_bLeadOut = 0; // disabled: its point does not count
    CDocDataLine* b = Square(100, 100, 110, 110);
    b->SetSelected(0);
    CDocData* list = plat::LinkObjects({a, b});
    const CGeoBox box = GetObjectsBounds(list);
    EXPECT_EQ(box.m_xmin, -5.0);
    EXPECT_EQ(box.m_xmax, 10.0);
    EXPECT_EQ(box.m_ymax, 10.0);
    a->SetSelected(0);
    EXPECT_TRUE(GetObjectsBounds(list).IsEmpty());
    DeleteObjectList(list);
}

TEST(LeadGeometry, EndTangentSkipsNodesOnTheEndPoint)
{
    DOCNODE* nodes = MakeNodes({{0, 0}, {0, 0}, {5, 0}, {9, 9}, {9, 9}});
    CGeoPoint end, dir;
    ASSERT_TRUE(GetEndTangent(nodes, true, end, dir));
    EXPECT_EQ(dir.m_x, 5.0);
    ASSERT_TRUE(GetEndTangent(nodes, false, end, dir));
    EXPECT_EQ(end.m_x, 9.0);
    EXPECT_EQ(dir.m_x, 5.0);
    CDocState::FreeNodeList(nodes);
    DOCNODE* same = MakeNodes({{3, 3}, {3, 3}});
    EXPECT_FALSE(GetEndTangent(same, true, end, dir));
    EXPECT_FALSE(GetEndTangent(same, false, end, dir));
    CDocState::FreeNodeList(same);
    EXPECT_FALSE(GetEndTangent(nullptr, true, end, dir));
}

TEST(LeadGeometry, EnclosingCountTakesInsideAndOnTheOutlineButNotTheObjectItself)
{
    CDocDataLine* obj = Square(10, 10, 20, 20);
    CDocDataLine* around = Square(0, 0, 100, 100);
    CDocDataLine* touching = Square(10, 0, 50, 10); // the start lies on its top side
    CDocDataLine* apart = Square(200, 200, 300, 300);
    auto* group = new TestDocData(MT_GROUP);
    group->WithChild(Square(5, 5, 50, 50));
    CDocData* list = plat::LinkObjects({obj, around, touching, apart, group});
    EXPECT_EQ(CountEnclosingObjects(list, obj), 3);
    DeleteObjectList(list);
}

TEST(EndGap, MarkerSitsFivePercentBeforeTheEndAtLeastFiftyOnLongOutlines)
{
    const std::pair<double, double> cases[] = {{1000, 950}, {2000, 1900}, {150, 142.5}, {250, 200}};
    for (const auto& [length, mark] : cases) {
        std::unique_ptr<CDocDataLine> line(MakeLine({{0, 0}, {length, 0}}));
        SetEndGap(line.get(), 0.5, 1);
        ASSERT_NE(line->m_pEndGap, nullptr);
        EXPECT_NEAR(line->m_pEndGap->m_dMarkX, mark, kTol) << length;
        EXPECT_EQ(line->m_pEndGap->m_dGap, 0.5);
    }
}

TEST(EndGap, SwitchingOffCreatesNoRecordAndKeepsTheMarker)
{
    std::unique_ptr<CDocDataLine> line(MakeLine({{0, 0}, {1000, 0}}));
    SetEndGap(line.get(), 0.3, 0);
    EXPECT_EQ(line->m_pEndGap, nullptr);
    SetEndGap(line.get(), 0.3, 1);
    line->Move(CGeoPoint(0, 0), CGeoPoint(10, 0), nullptr);
    SetEndGap(line.get(), 0.7, 0);
    EXPECT_EQ(line->m_pEndGap->m_bOn, 0);
    EXPECT_EQ(line->m_pEndGap->m_dGap, 0.7);
    EXPECT_NEAR(line->m_pEndGap->m_dMarkX, 960, kTol);
}

TEST(EndGap, GroupPassesGapAndFlagToEveryChild)
{
    TestDocData group(MT_GROUP);
    CDocDataLine* a = MakeLine({{0, 0}, {1000, 0}});
    group.WithChild(a);
    SetEndGap(&group, 0.4, 1);
    ASSERT_NE(a->m_pEndGap, nullptr);
    EXPECT_EQ(a->m_pEndGap->m_dGap, 0.4);
    EXPECT_NEAR(a->m_pEndGap->m_dMarkX, 950, kTol);
}

TEST(EndGap, CutRemovesTheGapInWorldUnitsFromTheEnd)
{
    ENDGAP gap;
    gap.m_bOn = 1;
    gap.m_dGap = 0.3; // 3 world units

    DOCNODE* line = MakeNodes({{0, 0}, {100, 0}});
    CutEndGap(line, &gap);
    EXPECT_EQ(PointsOf(line), (PointList{{0, 0}, {97, 0}}));
    CDocState::FreeNodeList(line);

    // The cut reaches back over a short last segment.
    DOCNODE* bent = MakeNodes({{0, 0}, {100, 0}, {100, 2}});
    CutEndGap(bent, &gap);
    EXPECT_EQ(PointsOf(bent), (PointList{{0, 0}, {99, 0}}));
    CDocState::FreeNodeList(bent);

    // Ending exactly on a node: that node becomes the end.
    DOCNODE* exact = MakeNodes({{0, 0}, {50, 0}, {97, 0}, {100, 0}});
    CutEndGap(exact, &gap);
    EXPECT_EQ(PointsOf(exact), (PointList{{0, 0}, {50, 0}, {97, 0}}));
    CDocState::FreeNodeList(exact);

    // Shorter than the cut: unchanged.
    DOCNODE* shorter = MakeNodes({{0, 0}, {1, 0}, {2, 0}});
    CutEndGap(shorter, &gap);
    EXPECT_EQ(PointsOf(shorter), (PointList{{0, 0}, {1, 0}, {2, 0}}));
    gap.m_dGap = 0.0005;
    CutEndGap(shorter, &gap);
    EXPECT_EQ(PointsOf(shorter), (PointList{{0, 0}, {1, 0}, {2, 0}}));
    CDocState::FreeNodeList(shorter);
    CutEndGap(nullptr, &gap);
}

TEST(EndGap, GapThatIsNotANumberCutsNothing)
{
    // A gap read from a damaged file: no length to cut, so the output keeps
    // its end instead of getting a last point of NaN.
    ENDGAP gap;
    gap.m_bOn = 1;
    gap.m_dGap = std::numeric_limits<double>::quiet_NaN();
    DOCNODE* line = MakeNodes({{0, 0}, {100, 0}});
    CutEndGap(line, &gap);
    EXPECT_EQ(PointsOf(line), (PointList{{0, 0}, {100, 0}}));
    CDocState::FreeNodeList(line);
}
