// The point object: selection rules that differ from the outlines, the dot
// record, transformations of its single node, its 2 x 2 pixel drawing, and a
// point whose node was deleted.
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocDataPoint.h"
#include "model/DocListNode.h"
#include "model/PathRecord.h"
#include "platform/RecordingDC.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

#include <numbers>
#include <vector>

using plat::RecordingDC;
using plat::ScopedMachine;

namespace {

using Op = RecordingDC::Op;

void ExpectAt(const CDocData& p, double x, double y)
{
    ASSERT_NE(p.m_pNodes, nullptr);
    EXPECT_NEAR(p.m_pNodes->m_x, x, 1e-9);
    EXPECT_NEAR(p.m_pNodes->m_y, y, 1e-9);
    EXPECT_NEAR(p.m_rcBound.m_xmin, x, 1e-9);
    EXPECT_NEAR(p.m_rcBound.m_xmax, x, 1e-9);
    EXPECT_NEAR(p.m_rcBound.m_ymin, y, 1e-9);
    EXPECT_NEAR(p.m_rcBound.m_ymax, y, 1e-9);
}

std::vector<std::vector<int>> FillRects(const RecordingDC& dc)
{
    std::vector<std::vector<int>> out;
    for (const auto& c : dc.Calls()) {
        if (c.op == Op::FillRect)
            out.push_back(c.args);
    }
    return out;
}

// A point whose node DeleteSelectedNodes removed.
CDocDataPoint* NodelessPoint()
{
    auto* p = new CDocDataPoint(40, 60, nullptr);
    p->m_pNodes->m_nSelect = NODE_ACTIVE;
    EXPECT_TRUE(p->DeleteSelectedNodes());
    EXPECT_EQ(p->m_pNodes, nullptr);
    return p;
}

} // namespace

TEST(DocDataPoint, ConstructorsMakeOneOwnNodeOrAdoptTheGivenOne)
{
    DOCCONTEXT ctx;
    CDocDataPoint at(12, 34, &ctx);
    EXPECT_EQ(at.m_nType, MT_POINT);
    ExpectAt(at, 12, 34);
    EXPECT_EQ(at.m_pNodes->m_pNext, nullptr);

    DOCNODE* given = AppendNode(nullptr, 5, 6, NODE_ANCHOR, NODE_ACTIVE);
    CDocDataPoint copied(given, false, &ctx);
    EXPECT_NE(copied.m_pNodes, given);
    EXPECT_EQ(copied.m_pNodes->m_nSelect, NODE_UNSELECTED);
    ExpectAt(copied, 5, 6);
    CDocDataPoint adopted(given, true, &ctx); // frees it
    EXPECT_EQ(adopted.m_pNodes, given);
    ExpectAt(adopted, 5, 6);

    CDocDataPoint none(nullptr, true, &ctx);
    EXPECT_EQ(none.m_pNodes, nullptr);
    EXPECT_TRUE(none.m_rcBound.IsEmpty());
}

TEST(DocDataPoint, CopySharesNothingAndLeavesTheEndGapBehind)
{
    CDocDataPoint src(10, 20, nullptr);
    src.m_pLeadInOut = new LEADINOUT;
    src.m_pLeadInOut->m_bDone = 1;
    src.m_pArray = new ARRAYREC;
    src.m_pArray->m_nCols = 4;
    src.m_pEndGap = new ENDGAP;
    src.m_nLayer = 3;
    src.m_nColor = 0xABCDEF;
    src.m_bClosed = 1;
    src.m_bSelected = 1;
    src.m_bNodesSelected = 1;

    CDocData* copy = CloneDocData(&src, false);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_nType, MT_POINT);
    EXPECT_NE(copy->m_pNodes, src.m_pNodes);
    ExpectAt(*copy, 10, 20);
    ASSERT_NE(copy->m_pLeadInOut, nullptr);
    EXPECT_NE(copy->m_pLeadInOut, src.m_pLeadInOut);
    EXPECT_EQ(copy->m_pLeadInOut->m_bDone, 1);
    ASSERT_NE(copy->m_pArray, nullptr);
    EXPECT_NE(copy->m_pArray, src.m_pArray);
    EXPECT_EQ(copy->m_pArray->m_nCols, 4);
    EXPECT_EQ(copy->m_pEndGap, nullptr);
    EXPECT_EQ(copy->m_nLayer, 3);
    EXPECT_EQ(copy->m_nColor, 0xABCDEFu);
    EXPECT_EQ(copy->m_bClosed, 1);
    EXPECT_EQ(copy->m_bSelected, 1);
    EXPECT_EQ(copy->m_bNodesSelected, 1);
    DeleteObjectList(copy);
}

TEST(DocDataPoint, SelectInRectMarksButAnswersTrueOnlyInNodeMode)
{
    CDocDataPoint p(100, 100, nullptr);
    // A point on the box edge is inside.
    EXPECT_FALSE(p.SelectInRect(CGeoBox(50, 100, 50, 150)));
    EXPECT_EQ(p.m_pNodes->m_nSelect, NODE_SELECTED);

    p.m_bNodesSelected = 1;
    EXPECT_TRUE(p.SelectInRect(CGeoBox(50, 150, 100, 150)));
    EXPECT_EQ(p.m_pNodes->m_nSelect, NODE_ACTIVE);

    // Outside: nothing changes.
    EXPECT_FALSE(p.SelectInRect(CGeoBox(0, 99, 0, 99)));
    EXPECT_EQ(p.m_pNodes->m_nSelect, NODE_ACTIVE);
}

TEST(DocDataPoint, SelectNodeAtMissKeepsStateOneAndStateTwoFallsBackToOne)
{
    CDocDataPoint p(100, 100, nullptr);
    EXPECT_EQ(p.SelectNodeAt(103, 97, 5, NODE_ACTIVE), 1);
    EXPECT_EQ(p.m_pNodes->m_nSelect, NODE_ACTIVE);

    // 255 only looks.
    EXPECT_EQ(p.SelectNodeAt(200, 200, 5, 255), 0);
    EXPECT_EQ(p.SelectNodeAt(101, 101, 5, 255), 1);
    EXPECT_EQ(p.m_pNodes->m_nSelect, NODE_ACTIVE);

    // A miss leaves the shown point in state 1 for any non-zero state ...
    EXPECT_EQ(p.SelectNodeAt(200, 200, 5, NODE_ACTIVE), 0);
    EXPECT_EQ(p.m_pNodes->m_nSelect, NODE_SELECTED);
    EXPECT_EQ(p.SelectNodeAt(200, 200, 5, NODE_SELECTED), 0);
    EXPECT_EQ(p.m_pNodes->m_nSelect, NODE_SELECTED);
    // ... and clears it for state 0; the tolerance is strict.
    EXPECT_EQ(p.SelectNodeAt(105, 100, 5, NODE_UNSELECTED), 0);
    EXPECT_EQ(p.m_pNodes->m_nSelect, NODE_UNSELECTED);
}

TEST(DocDataPoint, HitTestIsACircleAndHitSegmentASquare)
{
    CDocDataPoint p(100, 100, nullptr);
    // (7, 7) off: 9.9 away, inside both.
    EXPECT_TRUE(p.HitTest(107, 107, 10));
    // (8, 8) off: 11.3 away, outside the circle, inside the square.
    EXPECT_FALSE(p.HitTest(108, 108, 10));
    EXPECT_TRUE(p.HitSegment(108, 108, 10, NODE_ACTIVE));
    EXPECT_EQ(p.m_pNodes->m_nSelect, NODE_ACTIVE);
    // On the square's edge, and exactly tol away: neither.
    EXPECT_FALSE(p.HitSegment(110, 100, 10, NODE_SELECTED));
    EXPECT_FALSE(p.HitTest(110, 100, 10));
    EXPECT_EQ(p.m_pNodes->m_nSelect, NODE_ACTIVE);
}

TEST(DocDataPoint, DeleteSelectedNodesSparesAPointLeftInStateOneByAMissedClick)
{
    CDocDataPoint p(10, 10, nullptr);
    p.SelectAllNodes();
    p.SelectNodeAt(500, 500, 2, NODE_ACTIVE); // missed: state 1
    EXPECT_FALSE(p.DeleteSelectedNodes());
    ASSERT_NE(p.m_pNodes, nullptr);

    p.SelectNodeAt(10, 10, 2, NODE_ACTIVE);
    EXPECT_TRUE(p.DeleteSelectedNodes());
    EXPECT_EQ(p.m_pNodes, nullptr);
    EXPECT_FALSE(p.DeleteSelectedNodes());
}

TEST(DocDataPoint, PointWithoutNodeAnswersFalseDrawsNothingAndYieldsNoRecord)
{
    ScopedMachine machine(1, 4);
    CDocDataPoint* p = NodelessPoint();
    p->m_pArray = new ARRAYREC;
    p->m_pArray->m_nCols = 3;
    p->m_pArray->m_dDx = 20;
    p->m_bNodesSelected = 1;
    CDocListNode snapshot;
    snapshot.m_pArray = new ARRAYREC;
    snapshot.m_pArray->m_nRows = 2;
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &snapshot;
    RecordingDC dc;
    CGeoPoint pt(-7, -7);
    CGeoBox box;

    EXPECT_TRUE(p->SelectAllNodes());
    EXPECT_FALSE(p->DeselectNodes());
    EXPECT_FALSE(p->SelectInRect(CGeoBox(0, 1000, 0, 1000)));
    EXPECT_EQ(p->SelectNodeAt(40, 60, 5, NODE_ACTIVE), 0);
    EXPECT_FALSE(p->HitSegment(40, 60, 5, NODE_ACTIVE));
    EXPECT_FALSE(p->HitTest(40, 60, 5));
    EXPECT_FALSE(p->UnionSelectedNodesRect(box, false, true));
    EXPECT_FALSE(p->GetStartPoint(pt));
    EXPECT_FALSE(p->GetEndPoint(pt));
    EXPECT_EQ(pt.m_x, -7.0);
    EXPECT_EQ(p->CopyNodes(), nullptr);
    EXPECT_EQ(p->MakeOutputPath(), nullptr);

    p->Move(CGeoPoint(0, 0), CGeoPoint(5, 5), &ctx);
    p->Scale(0, 0, 2, 2, &ctx);
    p->Skew(10, 0, 100, 1, &ctx);
    p->Rotate(CGeoPoint(0, 0), 1.0, &ctx);
    p->RotateBy3Points(CGeoPoint(0, 0), CGeoPoint(1, 0), CGeoPoint(0, 1), &ctx);
    p->Flip(CGeoPoint(0, 0), true, true, &ctx);
    EXPECT_EQ(p->MirrorAbout(0, 0, 1, 1, false, true, &ctx), nullptr);
    CDocData* mirrored = p->MirrorAbout(0, 0, 1, 1, true, false, &ctx);
    ASSERT_NE(mirrored, nullptr);
    EXPECT_EQ(mirrored->m_pNodes, nullptr);
    delete mirrored;
    EXPECT_TRUE(p->m_rcBound.IsEmpty());
    EXPECT_EQ(p->m_pArray->m_dDx, 20.0);

    p->Draw(&dc, &ctx);
    p->DrawArrayPreview(&dc, &ctx, p->m_pArray);
    p->DrawArrayCopies(&dc, &ctx);
    p->DrawNodes(&dc, &ctx);
    p->DrawStartPoint(&dc, &ctx);
    p->DrawIndex(&dc, &ctx, 1);
    p->DrawMovePreview(&ctx, &dc, CGeoPoint(0, 0), CGeoPoint(1, 1));
    p->DrawScalePreview(&ctx, &dc, 0, 0, 2, 2);
    p->DrawSkewPreview(&ctx, &dc, 1, 0, 10, 0);
    p->DrawRotatePreview(&ctx, &dc, CGeoPoint(0, 0), CGeoPoint(1, 0), CGeoPoint(0, 1));
    p->DrawMirrorPreview(&ctx, &dc, 0, 0, 1, 1);
    EXPECT_TRUE(dc.DrawCalls().empty());

    // Exploding leaves copies without nodes too; the list is then cleaned.
    CDocData* head = p;
    p->ExplodeArray(&ctx);
    DeleteEmptyObjects(head);
    EXPECT_EQ(head, nullptr);
}

TEST(DocDataPoint, OutputIsOneDotAndArrayCopiesAddABracketPair)
{
    ScopedMachine machine(1, 4);
    CDocDataPoint p(100, 40, nullptr);
    PATHREC* dot = p.MakeOutputPath();
    ASSERT_NE(dot, nullptr);
    EXPECT_EQ(dot->m_kind, PATH_KIND_DOT);
    EXPECT_EQ(dot->m_pNext, nullptr);
    ASSERT_NE(dot->m_pSegs, nullptr);
    EXPECT_EQ(dot->m_pSegs->m_x0, 100.0);
    EXPECT_EQ(dot->m_pSegs->m_y1, 40.0);
    EXPECT_EQ(dot->m_pSegs->m_pNext, dot->m_pSegs);
    FreePathRecordList(dot);

    p.m_pArray = new ARRAYREC;
    p.m_pArray->m_nCols = 3;
    p.m_pArray->m_dDx = 50;
    p.m_pArray->m_dAreaW = 9000;
    PATHREC* open = p.MakeOutputPath();
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->m_kind, PATH_KIND_GROUP);
    ASSERT_NE(open->m_pArray, nullptr);
    EXPECT_NE(open->m_pArray, p.m_pArray);
    EXPECT_EQ(open->m_pArray->m_nCols, 3);
    EXPECT_EQ(open->m_pArray->m_dAreaW, 9000.0);
    // Three copies 50 apart from x = 100: 100..200; one row: y stays.
    EXPECT_EQ(open->m_xmin, 100.0);
    EXPECT_EQ(open->m_xmax, 200.0);
    EXPECT_EQ(open->m_ymin, 40.0);
    EXPECT_EQ(open->m_ymax, 40.0);
    PATHREC* mid = open->m_pNext;
    ASSERT_NE(mid, nullptr);
    EXPECT_EQ(mid->m_kind, PATH_KIND_DOT);
    EXPECT_EQ(mid->m_pPrev, open);
    PATHREC* close = mid->m_pNext;
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->m_kind, PATH_KIND_GROUP);
    EXPECT_EQ(close->m_pArray, nullptr);
    EXPECT_EQ(close->m_pPrev, mid);
    EXPECT_EQ(close->m_pNext, nullptr);
    FreePathRecordList(open);
}

TEST(DocDataPoint, TransformationsMoveTheNodeAndTheBox)
{
    constexpr double kPi = std::numbers::pi;
    DOCCONTEXT ctx;
    CDocDataPoint p(100, 0, &ctx);
    p.Move(CGeoPoint(10, 10), CGeoPoint(20, 5), &ctx);
    ExpectAt(p, 110, -5);

    CDocDataPoint r(100, 0, &ctx);
    r.Rotate(CGeoPoint(0, 0), kPi / 2, &ctx);
    ExpectAt(r, 0, 100);
    r.RotateBy3Points(CGeoPoint(0, 0), CGeoPoint(10, 0), CGeoPoint(0, -10), &ctx);
    ExpectAt(r, 100, 0);

    CDocDataPoint f(100, 20, &ctx);
    f.Flip(CGeoPoint(50, 0), true, false, &ctx);
    ExpectAt(f, 0, 20);
    f.Flip(CGeoPoint(0, 50), false, true, &ctx);
    ExpectAt(f, 0, 80);
    f.Flip(CGeoPoint(10, 10), true, true, &ctx);
    ExpectAt(f, 20, -60);

    CDocDataPoint m(100, 20, &ctx);
    CDocData* copy = m.MirrorAbout(0, 0, 1, 1, true, true, &ctx);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_nType, MT_POINT);
    ExpectAt(*copy, 20, 100);
    ExpectAt(m, 100, 20);
    delete copy;
    EXPECT_EQ(m.MirrorAbout(0, 0, 1, 1, false, false, &ctx), nullptr);
    ExpectAt(m, 20, 100);

    // x += (y - from) * factor / (to - from): 50 * 10 / 100.
    CDocDataPoint s(0.0, 50.0, &ctx);
    s.Skew(10, 0, 100, 1, &ctx);
    ExpectAt(s, 5, 50);
    s.Skew(10, 0, 100, 0, &ctx);
    ExpectAt(s, 5, 50.5);

    CDocDataPoint z(100, 40, &ctx);
    z.Scale(50, 0, -2, 0.5, &ctx);
    ExpectAt(z, -50, 20);
}

TEST(DocDataPoint, ScaleNodesKeepsTheGapBetweenArrayCopies)
{
    ScopedMachine machine(1, 4);
    CDocDataPoint p(100, 100, nullptr);
    p.m_pArray = new ARRAYREC;
    p.m_pArray->m_nCols = 3;
    p.m_pArray->m_dDx = 50;
    p.RecalcBoundRect(nullptr);
    ASSERT_EQ(p.m_rcBound.m_xmax, 200.0);

    p.ScaleNodes(0, 0, 2, 3, nullptr);
    EXPECT_EQ(p.m_pNodes->m_x, 200.0);
    EXPECT_EQ(p.m_pNodes->m_y, 300.0);
    // A copy of no width keeps its 50 gap as pitch; the box is that of the
    // copies, not the old box scaled (which would end at 400).
    EXPECT_EQ(p.m_rcBound.m_xmin, 200.0);
    EXPECT_EQ(p.m_rcBound.m_xmax, 300.0);
    EXPECT_EQ(p.m_rcBound.m_ymin, 300.0);
    EXPECT_EQ(p.m_rcBound.m_ymax, 300.0);
    EXPECT_EQ(p.m_pArray->m_dDx, 50.0);
    EXPECT_EQ(p.m_pArray->m_dDy, 0.0);
}

TEST(DocDataPoint, ExplodeArraySplicesPointCopiesInRowOrder)
{
    ScopedMachine machine(0, 4); // corner 0 runs columns towards -x
    DOCCONTEXT ctx;
    auto* p = new CDocDataPoint(0.0, 0.0, &ctx);
    CDocData* after = new CDocDataPoint(999, 999, &ctx);
    CDocData* head = plat::LinkObjects({p, after});
    p->m_pArray = new ARRAYREC;
    p->m_pArray->m_nRows = 2;
    p->m_pArray->m_nCols = 2;
    p->m_pArray->m_dDx = 100;
    p->m_pArray->m_dDy = 50;
    p->ExplodeArray(&ctx);

    EXPECT_EQ(p->m_pArray, nullptr);
    const double expected[][2] = {{0, 0}, {-100, 0}, {0, 50}, {-100, 50}, {999, 999}};
    CDocData* o = head;
    for (const auto& xy : expected) {
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->m_nType, MT_POINT);
        ExpectAt(*o, xy[0], xy[1]);
        if (o->m_pNext != nullptr) {
            EXPECT_EQ(o->m_pNext->m_pPrev, o);
        }
        o = o->m_pNext;
    }
    EXPECT_EQ(o, nullptr);
    DeleteObjectList(head);
}

TEST(DocDataPoint, DrawFillsATwoPixelSquareWithArrayPreviewAndOneColumnCopies)
{
    ScopedMachine machine(1, 4);
    CDocListNode snapshot;
    snapshot.m_pArray = new ARRAYREC;
    snapshot.m_pArray->m_nRows = 3; // one column, three rows
    snapshot.m_pArray->m_dDy = 10;
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &snapshot;
    ctx.m_ptScroll = plat::POINT{2, 0};
    CDocDataPoint p(12, 20, &ctx);
    p.m_nColor = 0x0000FF;
    p.m_pArray = new ARRAYREC;
    p.m_pArray->m_nCols = 2;
    p.m_pArray->m_dDx = 5;

    RecordingDC dc;
    p.Draw(&dc, &ctx);
    const std::vector<std::vector<int>> expected = {
        {14, 19, 16, 21, 0xFF}, // own array copy at x + 5
        {9, 19, 11, 21, 0xFF},  // the point, client x 10
        {9, 29, 11, 31, 0xFF},  // document copies, rows 1 and 2
        {9, 39, 11, 41, 0xFF},
    };
    EXPECT_EQ(FillRects(dc), expected);
}

TEST(DocDataPoint, NodeMarksAndPreviewsDrawOnlyTheirSquares)
{
    SoftwareSettings settings;
    settings.m_crBackground = 0xFFFFFF;
    DOCCONTEXT ctx;
    ctx.m_pSettings = &settings;
    ctx.m_dZoom = 2.0;
    ctx.m_ptScroll = plat::POINT{10, 10};
    CDocDataPoint p(10, 20, &ctx);
    p.m_nColor = 0x00FF00;
    RecordingDC dc;

    p.DrawNodes(&dc, &ctx);
    EXPECT_TRUE(dc.Calls().empty()); // nodes not shown
    p.m_bNodesSelected = 1;
    p.DrawNodes(&dc, &ctx);
    const std::vector<std::vector<int>> square = {{8, 28}, {12, 28}, {12, 32}, {8, 32}, {8, 28}};
    std::vector<std::vector<int>> lines;
    for (const auto& c : dc.DrawCalls()) {
        EXPECT_EQ(c.pen, (plat::Pen{plat::PS_SOLID, 0, 0x00FF00}));
        lines.push_back(c.args);
    }
    EXPECT_EQ(lines, square);

    // Previews: zoom x world without the scroll, XOR brush, mode restored.
    dc.Clear();
    p.DrawMovePreview(&ctx, &dc, CGeoPoint(0, 0), CGeoPoint(5, 0));
    p.DrawScalePreview(&ctx, &dc, 0, 0, 2, 1);
    p.DrawRotatePreview(&ctx, &dc, CGeoPoint(30, 20), CGeoPoint(40, 20), CGeoPoint(30, 30));
    p.DrawMirrorPreview(&ctx, &dc, 0, 0, 1, 1);
    p.DrawSkewPreview(&ctx, &dc, 10, 0, 20, 0);
    const std::vector<std::vector<int>> dots = {
        {29, 39, 31, 41, 0xFF00FF},   // (15, 20)
        {39, 39, 41, 41, 0xFF00FF},   // (20, 20)
        {59, -1, 61, 1, 0xFF00FF},   // (30, 0)
        {39, 19, 41, 21, 0xFF00FF},   // (20, 10)
        {19, 49, 21, 51, 0xFF00FF},   // (10, 25)
    };
    EXPECT_EQ(FillRects(dc), dots);
    for (const auto& c : dc.DrawCalls())
        EXPECT_EQ(c.rop, plat::R2_XORPEN);
    EXPECT_EQ(dc.GetROP2(), plat::R2_COPYPEN);
}
