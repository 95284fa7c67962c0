// The Bezier and ellipse tools on a recording view: zoom 1, scroll
// (499950, 499950), so world (500000, 500000) is client (50, 50). The
// current layer is 2 (COLORREF 0x6F1628 by default). Expected nodes,
// boxes and repaint rectangles are worked out by hand.
#include "app/tools/DocStateDrawBezier.h"
#include "app/tools/DocStateDrawEllipse.h"
#include "app/tools/DocTools.h"
#include "model/DocContext.h"
#include "model/DocDataBezier.h"
#include "model/DocDataEllipse.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "platform/RecordingDC.h"
#include "platform/ViewWindow.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

using Nodes = std::vector<std::pair<double, double>>;
constexpr double P = 500000.0;

Nodes NodesOf(const DOCNODE* head)
{
    Nodes out;
    for (const DOCNODE* n = head; n != nullptr; n = n->m_pNext)
        out.emplace_back(n->m_x, n->m_y);
    return out;
}

bool SameRect(const plat::RECT& r, int l, int t, int rt, int b)
{
    return r.left == l && r.top == t && r.right == rt && r.bottom == b;
}

template <typename Tool>
class DrawToolTest : public ::testing::Test {
protected:
    DrawToolTest()
    {
        m_settings.SetPaletteAndInterfaceDefaults();
        m_settings.m_nCurLayer = 2;
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_pCurrent = new CDocListNode;
        m_ctx.m_pView = &m_view;
        m_ctx.m_dZoom = 1.0;
        m_view.m_scroll = {499950, 499950};
        for (CDocState*& tool : m_ctx.m_pTools)
            tool = &m_tool;
    }
    ~DrawToolTest() override
    {
        CDocListNode* oldest = m_ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
    }

    template <typename F>
    void Event(double x, double y, F call)
    {
        m_ctx.m_ptMouse = CGeoPoint(x, y);
        m_ctx.m_pDC = &m_dc;
        call();
        m_ctx.m_pDC = nullptr;
    }
    void Press(double x, double y) { Event(x, y, [this] { m_tool.OnLButtonDown(&m_ctx); }); }
    void Move(double x, double y) { Event(x, y, [this] { m_tool.OnMouseMove(&m_ctx); }); }
    void Release(double x, double y) { Event(x, y, [this] { m_tool.OnLButtonUp(&m_ctx); }); }
    void Drag(double x0, double y0, double x1, double y1)
    {
        Press(x0, y0);
        Move(x1, y1);
        Release(x1, y1);
    }
    void Click(double x, double y) { Drag(x, y, x, y); }
    void Key(std::uint32_t key)
    {
        m_ctx.m_pDC = &m_dc;
        m_tool.OnKeyDown(&m_ctx, key);
        m_ctx.m_pDC = nullptr;
    }
    int Steps() const
    {
        int n = 0;
        for (CDocListNode* s = m_ctx.m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }
    int Objects() const
    {
        int n = 0;
        for (CDocData* o = m_ctx.m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
            ++n;
        return n;
    }
    CDocData* Last() const
    {
        CDocData* o = m_ctx.m_pCurrent->m_pFirst;
        while (o != nullptr && o->m_pNext != nullptr)
            o = o->m_pNext;
        return o;
    }
    const plat::RECT& LastRepaint() const { return m_view.m_invalidated.back(); }

    SoftwareSettings m_settings;
    DOCCONTEXT m_ctx;
    plat::RecordingView m_view;
    plat::RecordingDC m_dc;
    Tool m_tool;
};

class BezierToolTest : public DrawToolTest<CDocStateDrawBezier> {
protected:
    // Anchor P dragged 10 right, then a click at P + (100, 0).
    void PlaceTwo()
    {
        Drag(P, P, P + 10, P);
        Click(P + 100, P);
    }
};
using EllipseToolTest = DrawToolTest<CDocStateDrawEllipse>;

} // namespace

TEST(CurveToolTable, SlotsThreeAndFiveAreTheBezierAndEllipseTools)
{
    std::unique_ptr<CDocState> bezier(CreateDocTool(TOOL_BEZIER));
    std::unique_ptr<CDocState> ellipse(CreateDocTool(TOOL_ELLIPSE));
    EXPECT_NE(dynamic_cast<CDocStateDrawBezier*>(bezier.get()), nullptr);
    EXPECT_NE(dynamic_cast<CDocStateDrawEllipse*>(ellipse.get()), nullptr);
    EXPECT_EQ(ToolCommand(TOOL_BEZIER), 32909u);
    EXPECT_EQ(ToolCommand(TOOL_ELLIPSE), 32794u);
}

// ---- Bezier -----------------------------------------------------------------

// The drag pulls the outgoing control onto the mouse and the incoming one
// the same distance the other way; Enter then makes an open curve of the
// two anchors in one step, in the current layer's colour.
TEST_F(BezierToolTest, DragMirrorsTheControlsAndEnterFinishesOpenInOneStep)
{
    Drag(P, P, P + 10, P);
    EXPECT_EQ(NodesOf(m_tool.m_pNodes), (Nodes{{P - 10, P}, {P, P}, {P + 10, P}}));
    EXPECT_EQ(m_tool.m_pPending, nullptr);
    Click(P + 100, P);
    Key(13);
    ASSERT_EQ(Objects(), 1);
    auto* curve = dynamic_cast<CDocDataBezier*>(Last());
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(curve->m_nType, MT_BEZIER);
    EXPECT_EQ(NodesOf(curve->m_pNodes), (Nodes{{P, P}, {P + 10, P}, {P + 100, P}, {P + 100, P}}));
    EXPECT_EQ(curve->m_bClosed, 0);
    EXPECT_EQ(curve->m_nLayer, 2);
    EXPECT_EQ(curve->m_nColor, m_settings.PaletteColor(2));
    EXPECT_EQ(curve->IsSelected(), 1);
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(m_tool.m_pNodes, nullptr);
    EXPECT_FALSE(m_tool.ClaimsKey(&m_ctx, 'Z', true, false, false)) << "nothing left to take back";
}

// "close" adds a segment back to the first anchor that leaves it the way
// the curve started: 7 nodes ending at the mirrored first control.
TEST_F(BezierToolTest, CloseAddsTheMirroredClosingSegment)
{
    PlaceTwo();
    m_tool.EndPathClosed(&m_ctx);
    ASSERT_EQ(Objects(), 1);
    const Nodes nodes = NodesOf(Last()->m_pNodes);
    ASSERT_EQ(nodes.size(), 7u);
    EXPECT_EQ(Nodes(nodes.end() - 3, nodes.end()), (Nodes{{P + 100, P}, {P - 10, P}, {P, P}}));
    EXPECT_EQ(Last()->m_bClosed, 1);
    EXPECT_EQ(Steps(), 1);
}

// A last anchor 0.005 off the first: "end" closes the curve with the end
// exactly on the start, Enter never closes it.
TEST_F(BezierToolTest, EndClosesNearlyMeetingEndsButEnterNeverCloses)
{
    PlaceTwo();
    Click(P + 0.005, P + 0.005);
    m_tool.EndPathOpen(&m_ctx);
    ASSERT_EQ(Objects(), 1);
    EXPECT_EQ(Last()->m_bClosed, 1);
    EXPECT_EQ(NodesOf(Last()->m_pNodes).back(), std::make_pair(P, P));

    PlaceTwo();
    Click(P + 0.005, P + 0.005);
    Key(13);
    ASSERT_EQ(Objects(), 2);
    EXPECT_EQ(Last()->m_bClosed, 0);
    EXPECT_EQ(NodesOf(Last()->m_pNodes).back(), std::make_pair(P + 0.005, P + 0.005));
    EXPECT_EQ(Steps(), 2);
}

// Z during a press cancels that press only, Z after a release takes the
// last anchor; with nothing left Z does nothing; F11 (122) is no Z.
TEST_F(BezierToolTest, ZTakesBackThePressOrTheLastAnchorAndF11DoesNothing)
{
    PlaceTwo();
    Press(P + 200, P);
    Move(P + 220, P);
    EXPECT_TRUE(m_tool.ClaimsKey(&m_ctx, 'Z', true, false, false));
    Key('Z');
    EXPECT_EQ(m_tool.m_pPending, nullptr);
    EXPECT_EQ(m_tool.m_bButtonDown, 0);
    Release(P + 220, P);
    EXPECT_EQ(NodesOf(m_tool.m_pNodes).size(), 6u) << "the cancelled press adds nothing";

    Key(122);
    EXPECT_EQ(NodesOf(m_tool.m_pNodes).size(), 6u);
    Key('Z');
    EXPECT_EQ(NodesOf(m_tool.m_pNodes), (Nodes{{P - 10, P}, {P, P}, {P + 10, P}}));
    // The dropped segment and the handles of P, client x 40 to 150 on row
    // 50, grown by 10.
    EXPECT_TRUE(SameRect(LastRepaint(), 30, 40, 160, 60));
    Key('Z');
    EXPECT_EQ(m_tool.m_pNodes, nullptr) << "past the head the chain is freed";
    EXPECT_FALSE(m_tool.ClaimsKey(&m_ctx, 'Z', true, false, false));
    const std::size_t repaints = m_view.m_invalidated.size();
    Key('Z');
    EXPECT_EQ(m_view.m_invalidated.size(), repaints);
    EXPECT_EQ(Steps(), 0);
}

// A finish that leaves one anchor makes nothing, pushes nothing and repaints
// the anchor's marks; the next presses start a new curve of their own.
TEST_F(BezierToolTest, LoneAnchorMakesNoObjectAndIsNotCarriedIntoTheNextCurve)
{
    Click(P, P);
    Key(13);
    EXPECT_EQ(Objects(), 0);
    EXPECT_EQ(Steps(), 0);
    EXPECT_EQ(m_tool.m_pNodes, nullptr);
    EXPECT_TRUE(SameRect(LastRepaint(), 40, 40, 60, 60));

    Click(P + 100, P + 50);
    Click(P + 200, P + 50);
    Key(13);
    ASSERT_EQ(Objects(), 1);
    EXPECT_EQ(NodesOf(Last()->m_pNodes), (Nodes{{P + 100, P + 50}, {P + 100, P + 50}, {P + 200, P + 50}, {P + 200, P + 50}}));

    for (auto finish : {&CDocState::EndPathClosed, &CDocState::EndPathOpen}) {
        Click(P, P);
        (m_tool.*finish)(&m_ctx);
        EXPECT_EQ(m_tool.m_pNodes, nullptr);
    }
    for (std::uint32_t key : {13u, 27u, 32u})
        Key(key);
    m_tool.EndPathOpen(&m_ctx);
    m_tool.EndPathClosed(&m_ctx);
    EXPECT_EQ(Objects(), 1);
    EXPECT_EQ(Steps(), 1);
}

// A move during a press redraws the pending segment and its handles in XOR
// (erase and draw), whatever the chain's length; the release draws the
// anchor marks plainly in the layer colour.
TEST_F(BezierToolTest, MoveRedrawsOnlyThePendingSegmentInXorAndMarksArePlain)
{
    for (int k = 0; k < 50; ++k)
        Click(P + 10 * k, P);
    Press(P + 600, P);
    m_dc.Clear();
    Move(P + 610, P + 5);
    const COLORREF xorPen = 0x6F1628 ^ 0xFFFFFF;
    EXPECT_EQ(m_dc.Count(plat::RecordingDC::Op::PolyBezier), 2u);
    for (const auto& call : m_dc.DrawCalls()) {
        EXPECT_EQ(call.rop, plat::R2_XORPEN);
        EXPECT_EQ(call.pen.color, xorPen);
    }
    ASSERT_FALSE(m_view.m_sizesShown.empty());
    EXPECT_EQ(m_view.m_sizesShown.back(), (std::vector<double>{P + 600, P + 610, P, P + 5}));

    m_dc.Clear();
    Release(P + 610, P + 5);
    std::size_t plain = 0;
    for (const auto& call : m_dc.DrawCalls()) {
        if (call.rop == plat::R2_COPYPEN && call.op == plat::RecordingDC::Op::Rectangle) {
            EXPECT_EQ(call.pen.color, 0x6F1628u);
            ++plain;
        }
    }
    EXPECT_EQ(plain, 50u) << "one mark per placed anchor";
}

// Reset drops both chains and repaints where they were; Delete with
// nothing selected takes no step; a right click with nothing drawn goes
// back to the select tool, with a curve it opens the path menu.
TEST_F(BezierToolTest, ResetRepaintsDeleteNeedsASelectionRightClickMenu)
{
    EXPECT_TRUE(m_tool.OnRButtonDown(&m_ctx));
    PlaceTwo();
    Press(P + 100, P + 100);
    EXPECT_FALSE(m_tool.OnRButtonDown(&m_ctx));
    ASSERT_EQ(m_view.m_popups.size(), 1u);
    EXPECT_EQ(m_view.m_popups[0].menuId, 214);
    m_tool.Reset(0, &m_ctx);
    EXPECT_EQ(m_tool.m_pNodes, nullptr);
    EXPECT_EQ(m_tool.m_pPending, nullptr);
    EXPECT_EQ(m_tool.m_bButtonDown, 0);
    EXPECT_TRUE(SameRect(LastRepaint(), 30, 40, 160, 160));
    Key(46);
    EXPECT_EQ(Steps(), 0);
}

// ---- Ellipse ----------------------------------------------------------------

// Ctrl cuts the drag (+30, -10) to a square: a circle of diameter 10 from
// the press point up and right, in one step and the layer's colour.
TEST_F(EllipseToolTest, CtrlDragMakesACircleOfTheShorterSide)
{
    m_ctx.m_bCtrl = 1;
    Drag(P, P, P + 30, P - 10);
    ASSERT_EQ(Objects(), 1);
    auto* ellipse = dynamic_cast<CDocDataEllipse*>(Last());
    ASSERT_NE(ellipse, nullptr);
    EXPECT_EQ(ellipse->m_rcBound.m_xmin, P);
    EXPECT_EQ(ellipse->m_rcBound.m_ymin, P - 10);
    EXPECT_EQ(ellipse->m_rcBound.m_xmax, P + 10);
    EXPECT_EQ(ellipse->m_rcBound.m_ymax, P);
    EXPECT_EQ(ellipse->m_nLayer, 2);
    EXPECT_EQ(ellipse->m_nColor, m_settings.PaletteColor(2));
    EXPECT_EQ(Steps(), 1);
}

// The box is ordered first: a drag up and left gives exactly the object of
// the drag from its end back to its start; a flat drag still makes one.
TEST_F(EllipseToolTest, BoxIsOrderedAndAFlatDragStillMakesAnEllipse)
{
    Drag(P, P, P - 40, P - 20);
    Drag(P - 40, P - 20, P, P);
    ASSERT_EQ(Objects(), 2);
    CDocData* first = m_ctx.m_pCurrent->m_pFirst;
    EXPECT_EQ(NodesOf(first->m_pNodes), NodesOf(first->m_pNext->m_pNodes));
    EXPECT_FALSE(first->m_rcBound.IsDifferent(first->m_pNext->m_rcBound));
    EXPECT_EQ(first->m_rcBound.m_xmin, P - 40);
    EXPECT_EQ(first->m_rcBound.m_ymax, P);

    Drag(P, P, P + 50, P);
    ASSERT_EQ(Objects(), 3);
    EXPECT_EQ(Last()->m_rcBound.m_ymin, P);
    EXPECT_EQ(Last()->m_rcBound.m_ymax, P);
    EXPECT_EQ(Steps(), 3);
}

// A click makes nothing; the band is one XOR arc whose start and end meet;
// Reset mid-drag repaints the band's box grown by 10; Delete without a
// selection takes no step.
TEST_F(EllipseToolTest, ClickMakesNothingBandIsAClosedXorArcResetRepaintsIt)
{
    Click(P, P);
    EXPECT_EQ(Objects(), 0);
    EXPECT_EQ(Steps(), 0);

    Press(P, P);
    m_dc.Clear();
    Move(P + 40, P + 20);
    ASSERT_EQ(m_dc.Count(plat::RecordingDC::Op::Arc), 1u) << "nothing to erase at the press point";
    const auto arc = m_dc.DrawCalls().back();
    EXPECT_EQ(arc.args, (std::vector<int>{500000, 500000, 500040, 500020, 500040, 500010, 500040, 500010}));
    EXPECT_EQ(arc.rop, plat::R2_XORPEN);
    EXPECT_EQ(arc.pen.color, 0x6F1628u ^ 0xFFFFFFu);
    m_tool.Reset(0, &m_ctx);
    EXPECT_EQ(m_tool.m_bButtonDown, 0);
    EXPECT_TRUE(SameRect(LastRepaint(), 40, 40, 100, 80));
    Release(P + 40, P + 20);
    EXPECT_EQ(Objects(), 0) << "the reset drag makes nothing";
    Key(46);
    EXPECT_EQ(Steps(), 0);
}
