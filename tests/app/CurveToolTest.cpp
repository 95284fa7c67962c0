// The Bezier and ellipse tools on a recording view: zoom 1, scroll
// (499950, 499950), so world P = 500000 is client 50. The current layer is 2
// (COLORREF 0x6F1628). Nodes, boxes and repaint rectangles are worked out by
// hand; every undo step raises the change count by one.
#include "app/tools/DocStateDrawBezier.h"
#include "app/tools/DocStateDrawEllipse.h"
#include "app/tools/DocTools.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "platform/RecordingDC.h"
#include "platform/ViewWindow.h"
#include "settings/SoftwareSettings.h"

#include "ToolContextTest.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

using Nodes = std::vector<std::pair<double, double>>;
constexpr double P = 500000.0;
constexpr COLORREF kLayerColour = 0x6F1628;

Nodes NodesOf(const DOCNODE* n)
{
    Nodes out;
    for (; n != nullptr; n = n->m_pNext)
        out.emplace_back(n->m_x, n->m_y);
    return out;
}

template <typename Tool>
class DrawToolTest : public plat::ToolContextTest {
protected:
    DrawToolTest()
    {
        m_settings.m_nCurLayer = 2;
        m_ctx.m_pDC = &m_dc;
        UseTool(m_tool);
    }
    void At(double x, double y) { m_ctx.m_ptMouse = CGeoPoint(x, y); }
    void Press(double x, double y) { At(x, y), m_tool.OnLButtonDown(&m_ctx); }
    void Move(double x, double y) { At(x, y), m_tool.OnMouseMove(&m_ctx); }
    void Release(double x, double y) { At(x, y), m_tool.OnLButtonUp(&m_ctx); }
    void Drag(double x0, double y0, double x1, double y1) { Press(x0, y0), Move(x1, y1), Release(x1, y1); }
    void Click(double x, double y) { Drag(x, y, x, y); }
    void Key(std::uint32_t key) { m_tool.OnKeyDown(&m_ctx, key); }
    std::uint32_t Objects() { return m_tool.CountObjectsInList(m_ctx.m_pCurrent->m_pFirst); }
    CDocData* Last()
    {
        CDocData* o = m_ctx.m_pCurrent->m_pFirst;
        while (o != nullptr && o->m_pNext != nullptr)
            o = o->m_pNext;
        return o;
    }
    void ExpectRepaint(int l, int t, int r, int b)
    {
        ASSERT_FALSE(m_view.m_invalidated.empty());
        const plat::RECT& rect = m_view.m_invalidated.back();
        EXPECT_EQ((std::vector<int>{rect.left, rect.top, rect.right, rect.bottom}), (std::vector<int>{l, t, r, b}));
    }

    Tool m_tool;
};

class BezierToolTest : public DrawToolTest<CDocStateDrawBezier> {
protected:
    // P dragged 10 right, then a click at P + 100.
    void PlaceTwo() { Drag(P, P, P + 10, P), Click(P + 100, P); }
};
using EllipseToolTest = DrawToolTest<CDocStateDrawEllipse>;

} // namespace

TEST(CurveToolTable, SlotsThreeAndFiveAreTheBezierAndEllipseTools)
{
    std::unique_ptr<CDocState> bezier(CreateDocTool(TOOL_BEZIER)), ellipse(CreateDocTool(TOOL_ELLIPSE));
    EXPECT_NE(dynamic_cast<CDocStateDrawBezier*>(bezier.get()), nullptr);
    EXPECT_NE(dynamic_cast<CDocStateDrawEllipse*>(ellipse.get()), nullptr);
    EXPECT_EQ(ToolCommand(TOOL_BEZIER), 32909u);
    EXPECT_EQ(ToolCommand(TOOL_ELLIPSE), 32794u);
}

// The drag mirrors the controls about the anchor. Enter makes an open curve
// of the anchors in one step; "close" adds the mirrored closing segment;
// "end" closes ends 0.005 apart exactly, where Enter leaves them open.
TEST_F(BezierToolTest, FinishesOpenClosedAndByTheEndTolerance)
{
    Drag(P, P, P + 10, P);
    EXPECT_EQ(NodesOf(m_tool.m_pNodes), (Nodes{{P - 10, P}, {P, P}, {P + 10, P}}));
    Click(P + 100, P);
    Key(13);
    ASSERT_EQ(Objects(), 1u);
    EXPECT_EQ(Last()->m_nType, MT_BEZIER);
    EXPECT_EQ(NodesOf(Last()->m_pNodes), (Nodes{{P, P}, {P + 10, P}, {P + 100, P}, {P + 100, P}}));
    EXPECT_EQ(Last()->m_bClosed, 0);
    EXPECT_EQ(Last()->m_nLayer, 2);
    EXPECT_EQ(Last()->m_nColor, kLayerColour);
    EXPECT_EQ(m_ctx.m_nChangeCount, 1u);

    PlaceTwo();
    m_tool.EndPathClosed(&m_ctx);
    const Nodes closed = NodesOf(Last()->m_pNodes);
    ASSERT_EQ(closed.size(), 7u);
    EXPECT_EQ(Nodes(closed.end() - 3, closed.end()), (Nodes{{P + 100, P}, {P - 10, P}, {P, P}}));
    EXPECT_EQ(Last()->m_bClosed, 1);

    for (bool end : {true, false}) {
        PlaceTwo();
        Click(P + 0.005, P + 0.005);
        end ? m_tool.EndPathOpen(&m_ctx) : Key(13);
        EXPECT_EQ(Last()->m_bClosed, end ? 1 : 0);
        EXPECT_EQ(NodesOf(Last()->m_pNodes).back(), end ? std::pair(P, P) : std::pair(P + 0.005, P + 0.005));
    }
    EXPECT_EQ(m_ctx.m_nChangeCount, 4u);
}

// Z during a press cancels only it; Z after a release takes the last anchor
// and repaints the dropped segment with the handles of P (client x 40 to
// 150 on row 50, grown by 10); past the head the chain goes; F11 (122) is
// no Z, and Delete with nothing selected takes no step. Ctrl+Z is claimed
// only while something is drawn.
TEST_F(BezierToolTest, ZTakesBackThePressThenAnchorsAndRepaintsWhatItDrops)
{
    PlaceTwo();
    Press(P + 200, P), Move(P + 220, P);
    EXPECT_TRUE(m_tool.ClaimsKey(&m_ctx, 'Z', true, false, false));
    Key('Z');
    Release(P + 220, P);
    Key(122);
    EXPECT_EQ(NodesOf(m_tool.m_pNodes).size(), 6u);
    Key('Z');
    EXPECT_EQ(NodesOf(m_tool.m_pNodes), (Nodes{{P - 10, P}, {P, P}, {P + 10, P}}));
    ExpectRepaint(30, 40, 160, 60);
    Key('Z');
    EXPECT_EQ(m_tool.m_pNodes, nullptr);
    EXPECT_FALSE(m_tool.ClaimsKey(&m_ctx, 'Z', true, false, false));
    Key('Z'), Key(46);
    EXPECT_EQ(m_ctx.m_nChangeCount, 0u) << "Delete with nothing selected";
}

// A finish that leaves one anchor makes nothing, pushes nothing and repaints
// its marks; the next presses make a curve of their own anchors only.
// Finishing or deleting with nothing there does nothing.
TEST_F(BezierToolTest, LoneAnchorMakesNoObjectAndIsNotCarriedOn)
{
    for (auto finish : {&CDocState::EndPathClosed, &CDocState::EndPathOpen}) {
        Click(P, P);
        (m_tool.*finish)(&m_ctx);
    }
    Click(P, P);
    Key(13);
    ExpectRepaint(40, 40, 60, 60);
    Click(P + 100, P + 50), Click(P + 200, P + 50);
    Key(32);
    EXPECT_EQ(NodesOf(Last()->m_pNodes),
              (Nodes{{P + 100, P + 50}, {P + 100, P + 50}, {P + 200, P + 50}, {P + 200, P + 50}}));
    for (std::uint32_t key : {13u, 27u, 32u})
        Key(key);
    m_tool.EndPathOpen(&m_ctx), m_tool.EndPathClosed(&m_ctx);
    EXPECT_EQ(Objects(), 1u);
    EXPECT_EQ(m_ctx.m_nChangeCount, 1u);
}

// Whatever the chain's length, a move during a press erases and redraws one
// segment, all in XOR; the release draws the marks plainly. Reset repaints
// where both chains were.
TEST_F(BezierToolTest, MoveRedrawsOneSegmentInXorMarksArePlainResetRepaints)
{
    for (int k = 0; k < 50; ++k)
        Click(P + 10 * k, P);
    Press(P + 600, P + 100);
    m_dc.Clear();
    Move(P + 610, P + 105);
    EXPECT_EQ(m_dc.Count(plat::RecordingDC::Op::PolyBezier), 2u);
    for (const auto& call : m_dc.DrawCalls())
        EXPECT_TRUE(call.rop == plat::R2_XORPEN && call.pen.color == (kLayerColour ^ 0xFFFFFF));
    m_dc.Clear();
    Release(P + 610, P + 105);
    std::size_t plain = 0;
    for (const auto& call : m_dc.DrawCalls())
        plain += call.rop == plat::R2_COPYPEN && call.pen.color == kLayerColour ? 1 : 0;
    EXPECT_EQ(plain, 50u);
    Press(P + 700, P);
    m_tool.Reset(0, &m_ctx);
    EXPECT_TRUE(m_tool.m_pNodes == nullptr && m_tool.m_pPending == nullptr);
    ExpectRepaint(40, 40, 760, 165);
}

// Ctrl cuts (+30, -10) to a circle of diameter 10 up and right of the press;
// a drag up and left equals the drag back; a flat drag makes a flat
// ellipse; a click makes nothing.
TEST_F(EllipseToolTest, CircleOrderedBoxFlatDragAndClick)
{
    m_ctx.m_bCtrl = 1;
    Drag(P, P, P + 30, P - 10);
    ASSERT_EQ(Objects(), 1u);
    EXPECT_FALSE(Last()->m_rcBound.IsDifferent(CGeoBox(P, P + 10, P - 10, P)));
    EXPECT_EQ(Last()->m_nType, MT_ELLIPSE);
    EXPECT_EQ(Last()->m_nColor, kLayerColour);
    m_ctx.m_bCtrl = 0;
    Drag(P, P, P - 40, P - 20);
    const Nodes upLeft = NodesOf(Last()->m_pNodes);
    Drag(P - 40, P - 20, P, P);
    EXPECT_EQ(NodesOf(Last()->m_pNodes), upLeft);
    EXPECT_FALSE(Last()->m_rcBound.IsDifferent(CGeoBox(P - 40, P, P - 20, P)));
    Drag(P, P, P + 50, P);
    EXPECT_FALSE(Last()->m_rcBound.IsDifferent(CGeoBox(P, P + 50, P, P)));
    Click(P, P);
    EXPECT_EQ(Objects(), 4u);
    EXPECT_EQ(m_ctx.m_nChangeCount, 4u);
}

// The band is one XOR arc whose start and end meet (none at the press
// point); Reset mid-drag repaints its box grown by 10 and the release then
// makes nothing.
TEST_F(EllipseToolTest, BandIsAClosedXorArcAndResetRepaintsIt)
{
    Press(P, P);
    m_dc.Clear();
    Move(P + 40, P + 20);
    ASSERT_EQ(m_dc.DrawCalls().size(), 1u);
    const auto arc = m_dc.DrawCalls()[0];
    EXPECT_EQ(arc.args, (std::vector<int>{500000, 500000, 500040, 500020, 500040, 500010, 500040, 500010}));
    EXPECT_EQ(arc.rop, plat::R2_XORPEN);
    m_tool.Reset(0, &m_ctx);
    ExpectRepaint(40, 40, 100, 80);
    Release(P + 40, P + 20);
    EXPECT_EQ(Objects(), 0u);
}
