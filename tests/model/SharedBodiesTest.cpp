// The operation bodies that several object classes share, driven through the
// test object, and the rotation-angle and shear helpers with their guards.
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataNurbs.h"
#include "model/DocState.h"
#include "platform/RecordingDC.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using plat::RecordingDC;
using plat::TestDocData;

namespace {

constexpr double kPi = std::numbers::pi;

std::vector<std::pair<double, double>> Points(const CDocData& obj)
{
    std::vector<std::pair<double, double>> out;
    for (const DOCNODE* n = obj.m_pNodes; n != nullptr; n = n->m_pNext)
        out.emplace_back(n->m_x, n->m_y);
    return out;
}

std::vector<int> States(const CDocData& obj)
{
    std::vector<int> out;
    for (const DOCNODE* n = obj.m_pNodes; n != nullptr; n = n->m_pNext)
        out.push_back(n->m_nSelect);
    return out;
}

// An object with lead and end-gap records whose points are set apart from the
// outline, so that changes to them show.
void AddMarks(CDocData& obj)
{
    obj.m_pLeadInOut = new LEADINOUT;
    obj.m_pLeadInOut->m_bLeadIn = 1;
    obj.m_pLeadInOut->m_dInAngle = 30;
    obj.m_pLeadInOut->m_dInX = -10;
    obj.m_pLeadInOut->m_dInY = 0;
    obj.m_pLeadInOut->m_bLeadOut = 1;
    obj.m_pLeadInOut->m_dOutAngle = 60;
    obj.m_pLeadInOut->m_dOutX = 110;
    obj.m_pLeadInOut->m_dOutY = 0;
    obj.m_pEndGap = new ENDGAP;
    obj.m_pEndGap->m_bOn = 1;
    obj.m_pEndGap->m_dMarkX = 90;
    obj.m_pEndGap->m_dMarkY = 5;
}

void ExpectMarks(const CDocData& obj, double inX, double inY, double outX, double outY, double gapX, double gapY)
{
    EXPECT_NEAR(obj.m_pLeadInOut->m_dInX, inX, 1e-9);
    EXPECT_NEAR(obj.m_pLeadInOut->m_dInY, inY, 1e-9);
    EXPECT_NEAR(obj.m_pLeadInOut->m_dOutX, outX, 1e-9);
    EXPECT_NEAR(obj.m_pLeadInOut->m_dOutY, outY, 1e-9);
    EXPECT_NEAR(obj.m_pEndGap->m_dMarkX, gapX, 1e-9);
    EXPECT_NEAR(obj.m_pEndGap->m_dMarkY, gapY, 1e-9);
}

} // namespace

TEST(SharedBodies, SelectAllNodesSelectsAnchorsOnlyAndStartsNodeModeEvenWithoutNodes)
{
    TestDocData obj;
    obj.WithNodes({{0, 0}, {1, 1}, {2, 2}});
    obj.m_pNodes->m_pNext->m_nKind = NODE_CONTROL_OUT;
    obj.m_pNodes->m_pNext->m_nSelect = NODE_ACTIVE;
    EXPECT_TRUE(obj.SelectAllNodes());
    EXPECT_EQ(States(obj), (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(obj.m_bNodesSelected, 1);

    TestDocData empty;
    EXPECT_TRUE(empty.SelectAllNodes());
    EXPECT_EQ(empty.m_bNodesSelected, 1);
}

TEST(SharedBodies, DeselectNodesReportsWhetherAnyNodeWasSelected)
{
    TestDocData obj;
    obj.WithNodes({{0, 0}, {1, 1}, {2, 2}});
    obj.m_bNodesSelected = 1;
    EXPECT_FALSE(obj.DeselectNodes());
    EXPECT_EQ(obj.m_bNodesSelected, 0);

    obj.m_pNodes->m_pNext->m_pNext->m_nSelect = NODE_ACTIVE;
    obj.m_bNodesSelected = 1;
    EXPECT_TRUE(obj.DeselectNodes());
    EXPECT_EQ(States(obj), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(obj.m_bNodesSelected, 0);
}

TEST(SharedBodies, StartAndEndPointOfAClosedOutlineAreTheFirstAndTheClosingNode)
{
    TestDocData obj;
    CGeoPoint p;
    EXPECT_FALSE(obj.GetStartPoint(p));
    EXPECT_FALSE(obj.GetEndPoint(p));
    obj.WithNodes({{10, 20}, {30, 20}, {30, 40}, {10, 20}});
    obj.m_bClosed = 1;
    // The closing node is a node of its own, equal to the first.
    LastNode(obj.m_pNodes)->m_x = 10.0004;
    ASSERT_TRUE(obj.GetStartPoint(p));
    EXPECT_EQ(p.m_x, 10);
    EXPECT_EQ(p.m_y, 20);
    ASSERT_TRUE(obj.GetEndPoint(p));
    EXPECT_EQ(p.m_x, 10.0004);
    EXPECT_EQ(p.m_y, 20);
}

TEST(SharedBodies, CopyNodesGivesAnIndependentList)
{
    TestDocData obj;
    obj.WithNodes({{1, 2}, {3, 4}});
    DOCNODE* copy = obj.CopyNodes();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, obj.m_pNodes);
    copy->m_x = 99;
    EXPECT_EQ(obj.m_pNodes->m_x, 1);
    EXPECT_EQ(CountNodes(copy), 2);
    CDocState::FreeNodeList(copy);
}

TEST(SharedBodies, StartMarkAndOrderNumberSitAtTheFirstNodesClientPixel)
{
    DOCCONTEXT ctx;
    ctx.m_dZoom = 0.5;
    ctx.m_ptScroll = {10, 20};
    RecordingDC dc;
    TestDocData empty;
    empty.DrawStartPoint(&dc, &ctx);
    empty.DrawIndex(&dc, &ctx, 3);
    EXPECT_TRUE(dc.Calls().empty());

    TestDocData obj;
    // (101, 201) at zoom 0.5 less the scroll is (40.5, 80.5): pixel (41, 81).
    obj.WithNodes({{101, 201}, {300, 300}});
    obj.DrawStartPoint(&dc, &ctx);
    obj.DrawIndex(&dc, &ctx, -12);
    const auto calls = dc.DrawCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].op, RecordingDC::Op::FillRect);
    EXPECT_EQ(calls[0].args, (std::vector<int>{39, 79, 43, 83, 0}));
    EXPECT_EQ(calls[1].op, RecordingDC::Op::TextOut);
    EXPECT_EQ(calls[1].args, (std::vector<int>{41, 81}));
    EXPECT_EQ(calls[1].text, u"-12");
}

TEST(SharedBodies, MoveShiftsNodesLeadPointsAndEndGapMarkAndTheBox)
{
    TestDocData obj;
    obj.WithNodes({{0, 0}, {100, 0}});
    AddMarks(obj);
    obj.Move(CGeoPoint(5, 5), CGeoPoint(15, 25), nullptr);
    EXPECT_EQ(Points(obj), (std::vector<std::pair<double, double>>{{10, 20}, {110, 20}}));
    ExpectMarks(obj, 0, 20, 120, 20, 100, 25);
    EXPECT_EQ(obj.m_rcBound.m_xmin, 10);
    EXPECT_EQ(obj.m_rcBound.m_xmax, 110);
    EXPECT_EQ(obj.m_rcBound.m_ymin, 20);
}

TEST(SharedBodies, MovePreviewDrawsTheMovedOutlineDottedInXorAndRestoresTheDC)
{
    SoftwareSettings settings;
    settings.m_crBackground = 0xFFFFFF;
    DOCCONTEXT ctx;
    ctx.m_pSettings = &settings;
    ctx.m_dZoom = 2.0;
    ctx.m_ptScroll = {1000, 1000}; // previews ignore the scroll position
    TestDocData obj;
    obj.m_nColor = 0x0000FF;
    obj.WithNodes({{0, 0}, {10, 0}, {10, 10.3}});
    RecordingDC dc;
    const plat::Pen before = dc.CurrentPen();
    obj.DrawMovePreview(&ctx, &dc, CGeoPoint(0, 0), CGeoPoint(1, 2));
    const auto calls = dc.DrawCalls();
    ASSERT_EQ(calls.size(), 3u);
    const plat::Pen xorPen{plat::PS_DOT, 1, 0xFFFF00};
    EXPECT_EQ(calls[0].op, RecordingDC::Op::MoveTo);
    EXPECT_EQ(calls[0].args, (std::vector<int>{2, 4}));
    EXPECT_EQ(calls[1].args, (std::vector<int>{22, 4}));
    // (10.3 + 2) x 2 = 24.6 rounds to 25.
    EXPECT_EQ(calls[2].args, (std::vector<int>{22, 25}));
    for (const auto& c : calls) {
        EXPECT_EQ(c.pen, xorPen);
        EXPECT_EQ(c.rop, plat::R2_XORPEN);
    }
    EXPECT_EQ(dc.CurrentPen(), before);
    EXPECT_EQ(dc.GetROP2(), plat::R2_COPYPEN);
}

TEST(SharedBodies, SkewShearsNodesOnlyAndLeavesLeadAndEndGapPoints)
{
    TestDocData obj;
    obj.WithNodes({{0, 50}, {100, 50}});
    AddMarks(obj);
    // Direction 1, factor 10 over 0..100: x grows by y x 10 / 100.
    obj.Skew(10, 0, 100, 1, nullptr);
    EXPECT_EQ(Points(obj), (std::vector<std::pair<double, double>>{{5, 50}, {105, 50}}));
    ExpectMarks(obj, -10, 0, 110, 0, 90, 5);
    EXPECT_EQ(obj.m_rcBound.m_xmin, 5);
    EXPECT_EQ(obj.m_rcBound.m_xmax, 105);

    // Direction 0: y grows by (x - from) x factor / (to - from).
    obj.Skew(20, 5, 105, 0, nullptr);
    EXPECT_EQ(Points(obj), (std::vector<std::pair<double, double>>{{5, 50}, {105, 70}}));
    EXPECT_EQ(obj.m_rcBound.m_ymax, 70);
    ExpectMarks(obj, -10, 0, 110, 0, 90, 5);
}

TEST(SharedBodies, SkewWithAZeroExtentReferenceLeavesTheObjectFinite)
{
    TestDocData obj;
    obj.WithNodes({{0, 50}, {100, 60}});
    obj.Skew(10, 30, 30, 0, nullptr);
    obj.Skew(10, 30, 30, 1, nullptr);
    EXPECT_EQ(Points(obj), (std::vector<std::pair<double, double>>{{0, 50}, {100, 60}}));
    EXPECT_EQ(obj.m_rcBound.m_ymax, 60);

    // The previews shear a copy through the same helper.
    DOCNODE* copy = CopyPointList(obj.m_pNodes);
    CDocData::SkewNodeList(copy, 10, 30, 30, 0);
    EXPECT_EQ(copy->m_pNext->m_y, 60);
    CDocData::SkewNodeList(copy, 10, 0, 100, 0);
    EXPECT_EQ(copy->m_pNext->m_y, 70);
    CDocState::FreeNodeList(copy);

    double x = 3, y = 4;
    EXPECT_FALSE(CDocData::SkewPoint(x, y, 1, 7, 7, 1));
    EXPECT_EQ(x, 3);
    EXPECT_TRUE(CDocData::SkewPoint(x, y, 1, 0, 8, 1));
    EXPECT_EQ(x, 3.5);
}

TEST(SharedBodies, RotateTurnsNodesBoxLeadPointsAndEndGapButNotLeadAngles)
{
    TestDocData obj;
    obj.WithNodes({{0, 0}, {100, 0}});
    AddMarks(obj);
    obj.Rotate(CGeoPoint(0, 0), kPi / 2, nullptr);
    const auto pts = Points(obj);
    EXPECT_NEAR(pts[1].first, 0, 1e-9);
    EXPECT_NEAR(pts[1].second, 100, 1e-9);
    EXPECT_NEAR(obj.m_rcBound.m_ymax, 100, 1e-9);
    EXPECT_NEAR(obj.m_rcBound.m_xmax, 0, 1e-9);
    ExpectMarks(obj, 0, -10, 0, 110, -5, 90);
    EXPECT_EQ(obj.m_pLeadInOut->m_dInAngle, 30);
    EXPECT_EQ(obj.m_pLeadInOut->m_dOutAngle, 60);
}

TEST(SharedBodies, RotateBy3PointsTurnsByTheDragAngleWithItsSign)
{
    const CGeoPoint c(0, 0), p(10, 0);
    EXPECT_NEAR(CDocData::RotationAngleOf3Points(c, p, CGeoPoint(0, 10)), kPi / 2, 1e-12);
    EXPECT_NEAR(CDocData::RotationAngleOf3Points(c, p, CGeoPoint(0, -10)), -kPi / 2, 1e-12);
    EXPECT_NEAR(CDocData::RotationAngleOf3Points(c, p, CGeoPoint(-5, 5)), 3 * kPi / 4, 1e-12);

    TestDocData obj;
    obj.WithNodes({{20, 0}});
    AddMarks(obj);
    obj.RotateBy3Points(c, p, CGeoPoint(0, -10), nullptr);
    EXPECT_NEAR(obj.m_pNodes->m_x, 0, 1e-9);
    EXPECT_NEAR(obj.m_pNodes->m_y, -20, 1e-9);
    ExpectMarks(obj, 0, 10, 0, -110, 5, -90);
}

TEST(SharedBodies, DegenerateRotationDragsTurnByZeroWithoutNaN)
{
    const CGeoPoint c(500, 500), p(510, 500);
    EXPECT_EQ(CDocData::RotationAngleOf3Points(c, p, p), 0.0);       // no drag
    EXPECT_EQ(CDocData::RotationAngleOf3Points(c, c, p), 0.0);       // drag from the centre
    EXPECT_EQ(CDocData::RotationAngleOf3Points(c, p, c), 0.0);       // drag onto the centre

    TestDocData obj;
    obj.WithNodes({{600, 500}, {600, 700}});
    AddMarks(obj);
    obj.RotateBy3Points(c, p, c, nullptr);
    obj.RotateBy3Points(c, c, p, nullptr);
    obj.RotateBy3Points(c, p, p, nullptr);
    EXPECT_EQ(Points(obj), (std::vector<std::pair<double, double>>{{600, 500}, {600, 700}}));
    ExpectMarks(obj, -10, 0, 110, 0, 90, 5);
    EXPECT_EQ(obj.m_rcBound.m_ymax, 700);
}

TEST(SharedBodies, CollinearDragsWhoseCosineRoundsPastOneGiveFiniteAngles)
{
    // In doubles these law-of-cosines quotients come out as 1 + 2^-52 and
    // -1 - 2^-52; acos of either is NaN.
    const CGeoPoint c(500000.0, 500000.0);
    const CGeoPoint p(500000.0 + 0.1, 500000.0 + 0.2);
    const CGeoPoint ahead(500000.0 + 2 * 0.1, 500000.0 + 2 * 0.2);
    const CGeoPoint q(500000.0 + 0.1, 500000.0 + 0.1);
    const CGeoPoint behind(500000.0 - 2 * 0.1, 500000.0 - 2 * 0.1);
    const double straight = CDocData::RotationAngleOf3Points(c, p, ahead);
    const double reversed = CDocData::RotationAngleOf3Points(c, q, behind);
    EXPECT_NEAR(straight, 0.0, 1e-6);
    EXPECT_NEAR(std::fabs(reversed), kPi, 1e-6);

    TestDocData obj;
    obj.WithNodes({{500010, 500000}});
    obj.RotateBy3Points(c, q, behind, nullptr);
    EXPECT_TRUE(std::isfinite(obj.m_pNodes->m_x));
    EXPECT_NEAR(obj.m_pNodes->m_x, 499990, 1e-3);
    EXPECT_NEAR(obj.m_pNodes->m_y, 500000, 1e-3);
}

TEST(SharedBodies, LineFamilyNodeHitSetsTheStateAndResetsTheOthers)
{
    TestDocData obj;
    obj.WithNodes({{0, 0}, {10, 0}, {10, 10}, {0, 0}});
    obj.m_bClosed = 1;
    for (DOCNODE* n = obj.m_pNodes; n != nullptr; n = n->m_pNext)
        n->m_nSelect = NODE_ACTIVE;

    // Only finding changes nothing.
    EXPECT_EQ(obj.SelectNodeAt(10, 0.5, 1, 255), 1);
    EXPECT_EQ(States(obj), (std::vector<int>{2, 2, 2, 2}));

    EXPECT_EQ(obj.SelectNodeAt(10.5, 0, 1, NODE_ACTIVE), 1);
    EXPECT_EQ(States(obj), (std::vector<int>{1, 2, 1, 1}));

    // On a closed outline the closing node follows the first.
    EXPECT_EQ(obj.SelectNodeAt(0.2, 0.2, 1, NODE_ACTIVE), 1);
    EXPECT_EQ(States(obj), (std::vector<int>{2, 1, 1, 2}));

    EXPECT_EQ(obj.SelectNodeAt(5, 5, 1, NODE_SELECTED), 0);
    EXPECT_EQ(States(obj), (std::vector<int>{0, 0, 0, 0}));

    // The tolerance is strict.
    EXPECT_EQ(obj.SelectNodeAt(11, 0, 1, 255), 0);
}

TEST(SharedBodies, LineFamilySelectedAnchorBoxUsesAnchorsAndHonoursReset)
{
    TestDocData obj;
    obj.WithNodes({{0, 0}, {10, 5}, {20, -5}});
    CGeoBox box(100, 200, 100, 200);
    EXPECT_FALSE(obj.UnionSelectedNodesRect(box, false, true));
    EXPECT_TRUE(box.IsEmpty());

    obj.m_pNodes->m_pNext->m_nSelect = NODE_SELECTED;
    obj.m_pNodes->m_pNext->m_pNext->m_nSelect = NODE_ACTIVE;
    box = CGeoBox(100, 200, 100, 200);
    EXPECT_TRUE(obj.UnionSelectedNodesRect(box, true, false));
    EXPECT_EQ(box.m_xmin, 10);
    EXPECT_EQ(box.m_xmax, 200);
    EXPECT_EQ(box.m_ymin, -5);
    EXPECT_TRUE(obj.UnionSelectedNodesRect(box, false, true));
    EXPECT_EQ(box.m_xmin, 10);
    EXPECT_EQ(box.m_xmax, 20);
    EXPECT_EQ(box.m_ymin, -5);
    EXPECT_EQ(box.m_ymax, 5);
}

TEST(SharedBodies, CurveMirrorReflectsNodesOnlyAndLeavesLeadAndEndGapPoints)
{
    TestDocData obj;
    obj.WithNodes({{10, 20}, {30, 40}});
    AddMarks(obj);
    // About the line x = 50.
    EXPECT_EQ(obj.MirrorAbout(50, 0, 50, 100, false, false, nullptr), nullptr);
    const auto pts = Points(obj);
    EXPECT_NEAR(pts[0].first, 90, 1e-9);
    EXPECT_NEAR(pts[0].second, 20, 1e-9);
    EXPECT_NEAR(pts[1].first, 70, 1e-9);
    EXPECT_NEAR(pts[1].second, 40, 1e-9);
    EXPECT_NEAR(obj.m_rcBound.m_xmin, 70, 1e-9);
    EXPECT_NEAR(obj.m_rcBound.m_xmax, 90, 1e-9);
    ExpectMarks(obj, -10, 0, 110, 0, 90, 5);
    EXPECT_EQ(obj.m_pLeadInOut->m_dInAngle, 30);
}

TEST(SharedBodies, CurveMirrorAsCopyLeavesTheSourceAndReversesTheCopyFirst)
{
    plat::ScopedTestCopiers copiers({MT_BEZIER});
    TestDocData obj(MT_BEZIER);
    obj.WithNodes({{10, 20}, {30, 40}});
    CDocData* copy = obj.MirrorAbout(0, 0, 100, 0, true, true, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Points(obj), (std::vector<std::pair<double, double>>{{10, 20}, {30, 40}}));
    // Reversed, then reflected about the x axis.
    const auto pts = Points(*copy);
    ASSERT_EQ(pts.size(), 2u);
    EXPECT_NEAR(pts[0].first, 30, 1e-9);
    EXPECT_NEAR(pts[0].second, -40, 1e-9);
    EXPECT_NEAR(pts[1].first, 10, 1e-9);
    EXPECT_NEAR(pts[1].second, -20, 1e-9);
    EXPECT_NEAR(copy->m_rcBound.m_ymin, -40, 1e-9);
    delete copy;
}

TEST(SharedBodies, CopyStepSharesNothingAndTakesTheSelection)
{
    plat::ScopedTestCopiers copiers({MT_LINE, MT_POINT});
    TestDocData src;
    src.WithNodes({{1, 2}, {3, 4}, {1, 2}});
    src.m_bClosed = 1;
    src.m_nLayer = 5;
    src.m_nColor = 0xABCDEF;
    src.m_bOutput = 0x81;
    src.m_bSelected = 1;
    src.m_bNodesSelected = 1;
    AddMarks(src);
    src.m_pLeadInOut->m_bDone = 1;
    src.m_pArray = new ARRAYREC;
    src.m_pArray->m_nRows = 4;
    src.m_pArray->m_dDx = 12.5;
    src.m_pAttached = &(new TestDocData(MT_POINT))->WithNodes({{7, 7}});
    auto dummy = TestDocData();
    src.m_pPrev = &dummy;
    src.m_pNext = &dummy;

    TestDocData copy(src);
    src.m_pPrev = src.m_pNext = nullptr;
    EXPECT_EQ(copy.m_nType, MT_LINE);
    EXPECT_EQ(copy.m_bClosed, 1);
    EXPECT_EQ(copy.m_nLayer, 5);
    EXPECT_EQ(copy.m_nColor, 0xABCDEFu);
    EXPECT_EQ(copy.m_bOutput, 0x81);
    EXPECT_EQ(copy.m_bSelected, 1);
    EXPECT_EQ(copy.m_bNodesSelected, 1);
    EXPECT_EQ(copy.m_pPrev, nullptr);
    EXPECT_EQ(copy.m_pNext, nullptr);
    EXPECT_FALSE(copy.m_rcBound.IsDifferent(src.m_rcBound));
    EXPECT_EQ(Points(copy), Points(src));

    ASSERT_NE(copy.m_pNodes, src.m_pNodes);
    ASSERT_NE(copy.m_pLeadInOut, src.m_pLeadInOut);
    ASSERT_NE(copy.m_pEndGap, src.m_pEndGap);
    ASSERT_NE(copy.m_pArray, src.m_pArray);
    ASSERT_NE(copy.m_pAttached, nullptr);
    ASSERT_NE(copy.m_pAttached, src.m_pAttached);
    EXPECT_EQ(copy.m_pLeadInOut->m_bDone, 1);
    EXPECT_EQ(copy.m_pLeadInOut->m_dOutX, 110);
    EXPECT_EQ(copy.m_pEndGap->m_dMarkY, 5);
    EXPECT_EQ(copy.m_pArray->m_nRows, 4);
    EXPECT_EQ(copy.m_pArray->m_dDx, 12.5);
    EXPECT_EQ(copy.m_pAttached->m_nType, MT_POINT);
    EXPECT_EQ(copy.m_pAttached->m_pNodes->m_x, 7);

    // Edits of the source do not reach the copy.
    src.Move(CGeoPoint(0, 0), CGeoPoint(100, 100), nullptr);
    src.m_pArray->m_nRows = 1;
    src.m_pAttached->m_pNodes->m_x = 0;
    EXPECT_EQ(copy.m_pNodes->m_x, 1);
    EXPECT_EQ(copy.m_pLeadInOut->m_dInX, -10);
    EXPECT_EQ(copy.m_pEndGap->m_dMarkX, 90);
    EXPECT_EQ(copy.m_pArray->m_nRows, 4);
    EXPECT_EQ(copy.m_pAttached->m_pNodes->m_x, 7);

    src.m_bSelected = 0;
    TestDocData unselected(src);
    EXPECT_EQ(unselected.m_bSelected, 0);
}

TEST(NurbsObject, StartsWithTypeZeroAndKeepsItsBoxThroughRecalcAndScale)
{
    CDocDataNurbs nurbs;
    EXPECT_EQ(nurbs.m_nType, MT_UNKNOWN);
    nurbs.m_pNodes = AppendNode(nullptr, 0, 0);
    AppendNode(nurbs.m_pNodes, 10, 10);
    nurbs.m_rcBound = CGeoBox(1, 2, 3, 4);
    nurbs.RecalcBoundRect(nullptr);
    nurbs.Scale(0, 0, 2, 2, nullptr);
    EXPECT_EQ(nurbs.m_pNodes->m_pNext->m_x, 10);
    const CGeoBox anchors = nurbs.GetAnchorRect();
    EXPECT_EQ(anchors.m_xmin, 1);
    EXPECT_EQ(anchors.m_ymax, 4);
    EXPECT_TRUE(nurbs.SelectAllNodes());
    EXPECT_EQ(nurbs.m_pNodes->m_nSelect, NODE_SELECTED);
    EXPECT_EQ(nurbs.SelectNodeAt(10, 10, 0.5, NODE_SELECTED), 1);
    EXPECT_EQ(nurbs.m_pNodes->m_nSelect, NODE_UNSELECTED);
    CGeoBox box;
    EXPECT_TRUE(nurbs.UnionSelectedNodesRect(box, false, true));
    EXPECT_EQ(box.m_xmin, 10);
    EXPECT_EQ(nurbs.MakeOutputPath(), nullptr);
}
