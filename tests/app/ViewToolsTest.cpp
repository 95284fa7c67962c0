// The zoom, pan and node tools on a recording view: zoom 1, scroll
// (499950, 499950), so world (500000, 500000) is client (50, 50). Expected
// rectangles and positions are worked out by hand.
#include "app/tools/DocStateEditNode.h"
#include "app/tools/DocStateZoomInOut.h"
#include "app/tools/DocStateZoomMove.h"
#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "platform/RecordingDC.h"
#include "platform/ViewWindow.h"
#include "settings/SoftwareSettings.h"

#include "ToolContextTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {

constexpr plat::UINT kZoomIn = 0x467;
constexpr plat::UINT kZoomOut = 0x468;
constexpr plat::UINT kZoomRect = 0x469;

class ViewToolsTest : public plat::ToolContextTest {
protected:

    CDocData* AddLine(std::initializer_list<std::pair<double, double>> points)
    {
        DOCNODE* head = nullptr;
        DOCNODE* tail = nullptr;
        for (const auto& [x, y] : points) {
            tail = AppendNode(tail, x, y);
            if (head == nullptr)
                head = tail;
        }
        auto* line = new CDocDataLine(head, 1, nullptr);
        line->RecalcBoundRect(nullptr);
        CDocData* last = m_ctx.m_pCurrent->m_pFirst;
        while (last != nullptr && last->m_pNext != nullptr)
            last = last->m_pNext;
        line->m_pPrev = last;
        (last != nullptr ? last->m_pNext : m_ctx.m_pCurrent->m_pFirst) = line;
        return line;
    }
    // The polyline (500000, 500000)-(500100, 500000)-(500100, 500100).
    CDocData* AddCorner() { return AddLine({{500000, 500000}, {500100, 500000}, {500100, 500100}}); }

    template <typename Event>
    void At(CDocState& tool, double x, double y, Event event)
    {
        m_ctx.m_ptMouse = CGeoPoint(x, y);
        m_ctx.m_pDC = &m_dc;
        (tool.*event)(&m_ctx);
        m_ctx.m_pDC = nullptr;
    }
    void Press(CDocState& t, double x, double y) { At(t, x, y, &CDocState::OnLButtonDown); }
    void Move(CDocState& t, double x, double y) { At(t, x, y, &CDocState::OnMouseMove); }
    void Release(CDocState& t, double x, double y) { At(t, x, y, &CDocState::OnLButtonUp); }
    void Drag(CDocState& t, double x0, double y0, double x1, double y1)
    {
        Press(t, x0, y0);
        Move(t, x1, y1);
        Release(t, x1, y1);
    }
    void Click(CDocState& t, double x, double y) { Drag(t, x, y, x, y); }
    void Cursor(CDocState& t, double x, double y, int expected)
    {
        Move(t, x, y);
        t.OnSetCursor(&m_ctx);
        EXPECT_EQ(m_view.m_cursors.back(), expected) << x << ", " << y;
    }
    int Steps() const
    {
        int n = 0;
        for (CDocListNode* s = m_ctx.m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }
    int Nodes(const CDocData* obj) const
    {
        int n = 0;
        for (const DOCNODE* p = obj->m_pNodes; p != nullptr; p = p->m_pNext)
            ++n;
        return n;
    }
    // Exclusive-or drawing is gone when every call was made twice.
    void ExpectEverythingErased() const
    {
        const std::vector<plat::RecordingDC::Call> calls = m_dc.DrawCalls();
        ASSERT_FALSE(calls.empty());
        for (const auto& c : calls) {
            EXPECT_EQ(c.rop, plat::R2_XORPEN);
            EXPECT_EQ(std::count(calls.begin(), calls.end(), c) % 2, 0);
        }
    }

};

} // namespace

// ---- Zoom -------------------------------------------------------------------

// The rectangle rounds each bound half up, whichever way it is dragged; the
// band is drawn away before the view is asked.
TEST_F(ViewToolsTest, ZoomDragSendsTheRoundedRectangleEitherWay)
{
    CDocStateZoomInOut zoom;
    Drag(zoom, 500100.4, 500200.6, 500050, 500100);
    Drag(zoom, 500050, 500100, 500100.4, 500200.6);
    const plat::RECT expected{500050, 500100, 500100, 500201};
    EXPECT_EQ(m_view.m_messages, (std::vector<plat::UINT>{kZoomRect, kZoomRect}));
    EXPECT_EQ(m_view.m_zoomRects, (std::vector<plat::RECT>{expected, expected}));
    EXPECT_EQ(m_view.m_cursors.back(), 159);
}

// Under one world unit on both axes is a click, at any zoom; one unit on
// either axis is a rectangle (which the view may turn down).
TEST_F(ViewToolsTest, ZoomClickWithinOneUnitZoomsInAndRightButtonZoomsOut)
{
    CDocStateZoomInOut zoom;
    m_ctx.m_dZoom = 40.0;
    Drag(zoom, 500000.0, 500000.0, 500000.5, 500000.9);
    Drag(zoom, 500000.0, 500000.0, 500001.0, 500000.0);
    m_ctx.m_ptMouse = CGeoPoint(500010, 500010);
    EXPECT_FALSE(zoom.OnRButtonDown(&m_ctx));
    EXPECT_EQ(m_view.m_messages, (std::vector<plat::UINT>{kZoomIn, kZoomRect, kZoomOut}));
    EXPECT_EQ(m_view.m_zoomRects, (std::vector<plat::RECT>{{500000, 500000, 500001, 500000}}));
}

// A switch mid-band repaints the band's box grown by 15 pixels; the release
// that follows asks nothing.
TEST_F(ViewToolsTest, ZoomResetDuringBandRepaintsItAndForgetsThePress)
{
    CDocStateZoomInOut zoom;
    Press(zoom, 500000, 500000);
    Move(zoom, 500100, 500050);
    zoom.Reset(0, &m_ctx);
    EXPECT_EQ(m_view.m_invalidated, (std::vector<plat::RECT>{{35, 35, 165, 115}}));
    Release(zoom, 500100, 500050);
    EXPECT_TRUE(m_view.m_messages.empty());
}

// ---- Pan --------------------------------------------------------------------

TEST_F(ViewToolsTest, PanScrollsByTheMouseMoveOnceAndTellsTheRulers)
{
    CDocStateZoomMove pan;
    Press(pan, 499950 + 100, 499950 + 100);
    Move(pan, 499950 + 130, 499950 + 90);
    EXPECT_EQ(m_view.m_scrolls, (std::vector<plat::POINT>{{-30, 10}}));
    EXPECT_EQ(m_view.m_scroll, (plat::POINT{499920, 499960}));
    EXPECT_EQ(m_ctx.m_ptScroll, (plat::POINT{499920, 499960}));
    EXPECT_EQ(m_view.m_rulers, (std::vector<plat::POINT>{{499920, 499960}}));
    EXPECT_EQ(m_view.m_bars[plat::SB_HORZ].nPos, 499920);
    EXPECT_EQ(m_view.m_cursors.back(), 261);
    Release(pan, 499950 + 130, 499950 + 90);
    Move(pan, 499950 + 200, 499950 + 200);
    EXPECT_EQ(m_view.m_scrolls.size(), 1u);
}

// Fractions of a pixel add up from the last applied point; the stored
// scroll point is in world units at the zoom.
TEST_F(ViewToolsTest, PanAddsUpPartPixelsAndStoresWorldUnits)
{
    CDocStateZoomMove pan;
    m_ctx.m_dZoom = 2.0;
    m_view.m_scroll = {1000004, 1000001};
    m_view.m_bars[0].nMax = m_view.m_bars[1].nMax = 1999999;
    // Client (100, 100) is world ((1000004 + 100) / 2, (1000001 + 100) / 2).
    const double x0 = (1000004 + 100) / 2.0, y0 = (1000001 + 100) / 2.0;
    Press(pan, x0, y0);
    Move(pan, x0 + 0.3, y0); // 0.6 pixel
    EXPECT_TRUE(m_view.m_scrolls.empty());
    EXPECT_DOUBLE_EQ(pan.m_ptPress.m_x, 100.0);
    Move(pan, x0 + 0.6, y0); // 1.2 pixels from the press
    EXPECT_EQ(m_view.m_scrolls, (std::vector<plat::POINT>{{-1, 0}}));
    EXPECT_EQ(m_ctx.m_ptScroll, (plat::POINT{500002, 500001})); // 1000003 / 2 and 1000001 / 2, rounded
}

// Past the end of the range the position stays at the maximum (the
// maximum itself, not less a page) and the minimum.
TEST_F(ViewToolsTest, PanStopsAtTheRangeEnds)
{
    CDocStateZoomMove pan;
    m_view.m_bars[plat::SB_HORZ] = plat::ScrollInfo{0, 499960, 500, 0, 0};
    m_view.m_scroll = {499950, 20};
    Press(pan, 499950 + 100, 20 + 100);
    Move(pan, 499950 + 70, 20 + 150);
    EXPECT_EQ(m_view.m_scroll, (plat::POINT{499960, 0}));
    EXPECT_EQ(m_view.m_rulers.back(), (plat::POINT{499960, 0}));
    Move(pan, 499960 + 10, 0 + 170); // further out on both axes
    EXPECT_EQ(m_view.m_scrolls.size(), 1u);
    EXPECT_EQ(m_view.m_scroll, (plat::POINT{499960, 0}));
}

// ---- Node tool --------------------------------------------------------------

// A click picks the object; the cursor tells a segment from an anchor; a
// press on an anchor selects it for a drag.
TEST_F(ViewToolsTest, NodeToolPicksHoversAndTakesAnAnchor)
{
    CDocStateEditNode tool;
    CDocData* line = AddCorner();
    Click(tool, 500050, 500000);
    EXPECT_EQ(tool.m_nMode, 1u);
    EXPECT_EQ(tool.m_pObject, line);
    Cursor(tool, 500050, 500001, 250);
    Cursor(tool, 500101, 500000, 251);
    Cursor(tool, 500050, 500050, 249);
    Press(tool, 500100, 500000);
    EXPECT_EQ(tool.m_nMode, 2u);
    EXPECT_EQ(tool.m_nDragKind, 1u);
    EXPECT_EQ(line->m_pNodes->m_pNext->m_nSelect, NODE_ACTIVE);
    Release(tool, 500100, 500000);
    EXPECT_EQ(Steps(), 0); // a click moves nothing
    EXPECT_EQ(tool.m_nDragKind, 0u);
}

// One step per drag; the repaint is the nodes' box before and after,
// grown by 10 pixels, and the preview is drawn away.
TEST_F(ViewToolsTest, NodeDragMovesTheNodeInOneStepAndRepaintsItsBox)
{
    CDocStateEditNode tool;
    CDocData* line = AddCorner();
    Click(tool, 500050, 500000);
    Press(tool, 500100, 500000);
    m_view.m_invalidated.clear();
    m_dc.Clear();
    Move(tool, 500110, 500005);
    Move(tool, 500120, 500010);
    Release(tool, 500120, 500010);
    EXPECT_EQ(Steps(), 1);
    EXPECT_DOUBLE_EQ(line->m_pNodes->m_pNext->m_x, 500120);
    EXPECT_DOUBLE_EQ(line->m_pNodes->m_pNext->m_y, 500010);
    const CGeoBox& b = line->m_rcBound;
    EXPECT_EQ((std::vector<double>{b.m_xmin, b.m_ymin, b.m_xmax, b.m_ymax}),
              (std::vector<double>{500000, 500000, 500120, 500100}));
    EXPECT_EQ(m_view.m_invalidated, (std::vector<plat::RECT>{{40, 40, 180, 160}}));
    ExpectEverythingErased();
}

// With travel lines shown the repaint reaches the previous object's end.
TEST_F(ViewToolsTest, NodeDragWithTravelLinesRepaintsToThePreviousEnd)
{
    CDocStateEditNode tool;
    AddLine({{499000, 499500}, {499100, 499600}});
    AddCorner();
    m_settings.m_bShowTravel = 1;
    Click(tool, 500050, 500000);
    Press(tool, 500000, 500000);
    m_view.m_invalidated.clear();
    Move(tool, 500010, 500010);
    Release(tool, 500010, 500010);
    ASSERT_EQ(m_view.m_invalidated.size(), 1u);
    const plat::RECT r = m_view.m_invalidated[0];
    // The previous end (499100, 499600) is client (-850, -350).
    EXPECT_LE(r.left, -850);
    EXPECT_LE(r.top, -350);
}

// Only an insertion or a deletion takes a step, so the redo side is kept
// when nothing happens.
TEST_F(ViewToolsTest, NodeInsertAndDeleteTakeStepsOnlyWhenNodesChange)
{
    CDocStateEditNode tool;
    CDocData* line = AddCorner();
    Click(tool, 500050, 500000);
    At(tool, 500050, 500001, &CDocState::OnLButtonDblClk);
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(Nodes(line), 4);
    At(tool, 500050, 500050, &CDocState::OnLButtonDblClk); // off the outline
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(Nodes(line), 4);

    tool.Reset(0, &m_ctx);
    Click(tool, 500050, 500000);
    ASSERT_EQ(tool.m_nMode, 1u);
    tool.OnKeyDown(&m_ctx, 46); // nothing selected in mode 1
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(Nodes(line), 4);
    tool.OnKeyDown(&m_ctx, 'A');
    EXPECT_EQ(Steps(), 1);
}

// A band round every node selects them all; Delete then takes the object
// out of the drawing in one step and leaves the tool empty-handed.
TEST_F(ViewToolsTest, NodeDeleteOfEveryNodeRemovesTheObject)
{
    CDocStateEditNode tool;
    AddCorner();
    CDocData* other = AddLine({{501000, 501000}, {501100, 501000}});
    Click(tool, 500050, 500000);
    Click(tool, 500100, 500000); // an anchor: nodes are being selected
    Drag(tool, 499990, 499990, 500110, 500110);
    ASSERT_EQ(tool.m_nMode, 2u);
    EXPECT_EQ(Steps(), 0);
    tool.OnKeyDown(&m_ctx, 46);
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(tool.m_nMode, 0u);
    EXPECT_EQ(tool.m_pObject, nullptr);
    EXPECT_EQ(m_ctx.m_pCurrent->m_pFirst, other);
    EXPECT_EQ(other->m_pPrev, nullptr);
    EXPECT_GE(m_view.m_layerListRefreshes, 1);
}

// An object another command took out of the list is let go untouched (it
// may be freed); a press with nothing held resets; a right click with
// nothing held sends the view back to the select tool.
TEST_F(ViewToolsTest, NodeToolLetsGoOfAnObjectNoLongerInTheDrawing)
{
    CDocStateEditNode tool;
    CDocData* line = AddCorner();
    Click(tool, 500050, 500000);
    ASSERT_EQ(tool.m_pObject, line);
    m_ctx.m_pCurrent->m_pFirst = nullptr;
    delete line; // as a cut does
    Move(tool, 500050, 500000);
    EXPECT_EQ(tool.m_nMode, 0u);
    EXPECT_EQ(tool.m_pObject, nullptr);

    m_ctx.m_ptMouse = CGeoPoint(500050, 500000);
    EXPECT_TRUE(tool.OnRButtonDown(&m_ctx));
    tool.m_nMode = 2;
    Press(tool, 500050, 500000);
    EXPECT_EQ(tool.m_nMode, 0u);
    EXPECT_EQ(tool.m_bButtonDown, 0);
}

// The context menu comes up at the mouse; Reset always ends in mode 0 and
// repaints a band or a node preview cut short.
TEST_F(ViewToolsTest, NodeMenuAndResetFromEveryMode)
{
    CDocStateEditNode tool;
    AddCorner();
    Click(tool, 500050, 500000);
    m_ctx.m_ptMouse = CGeoPoint(500050, 500000);
    EXPECT_FALSE(tool.OnRButtonDown(&m_ctx));
    ASSERT_EQ(m_view.m_popups.size(), 1u);
    EXPECT_EQ(m_view.m_popups[0].menuId, 171);
    EXPECT_EQ(m_view.m_popups[0].client, (plat::POINT{100, 50}));

    tool.Reset(1, &m_ctx);
    EXPECT_EQ(tool.m_nMode, 0u);
    EXPECT_EQ(tool.m_pObject, nullptr);
    EXPECT_EQ(m_ctx.m_pCurrent->m_pFirst->m_bNodesSelected, 0);

    Press(tool, 500200, 500200);
    Move(tool, 500300, 500250);
    m_view.m_invalidated.clear();
    tool.Reset(0, &m_ctx);
    EXPECT_EQ(m_view.m_invalidated, (std::vector<plat::RECT>{{235, 235, 365, 315}}));

    // A node preview runs to the neighbours: the whole view.
    Click(tool, 500050, 500000);
    Press(tool, 500100, 500000);
    Move(tool, 500300, 500300);
    m_view.m_invalidated.clear();
    tool.Reset(0, &m_ctx);
    EXPECT_EQ(m_view.m_invalidated.front(), (plat::RECT{0, 0, -1, -1}));
    EXPECT_EQ(tool.m_nMode, 0u);
}
