// The polyline and rectangle tools on a recording view: zoom 1, scroll
// (499950, 499950), so world (500000, 500000) is client (50, 50). Layer 3
// is current and cut; expected points and boxes are worked out by hand.
#include "app/tools/DocStateDrawNode.h"
#include "app/tools/DocStateDrawRect.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "platform/ViewWindow.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"

#include "ToolContextTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kX = 500000.0;
constexpr double kY = 500000.0;

class DrawToolsTest : public plat::ToolContextTest {
protected:
    DrawToolsTest()
    {
        m_settings.m_nCurLayer = 3;
        m_settings.m_pLayers = new WorkParams;
        m_settings.m_pLayers->m_group_num = 3;
        m_settings.m_pLayers->m_border = 1;
        UseTool(m_line);
    }

    template <class Call> void Event(double x, double y, Call call)
    {
        m_ctx.m_ptMouse = CGeoPoint(x, y);
        m_ctx.m_pDC = &m_dc;
        call();
        m_ctx.m_pDC = nullptr;
    }
    void Press(CDocState& tool, double x, double y) { Event(x, y, [&] { tool.OnLButtonDown(&m_ctx); }); }
    void Move(CDocState& tool, double x, double y) { Event(x, y, [&] { tool.OnMouseMove(&m_ctx); }); }
    void Drag(double dx, double dy, bool ctrl)
    {
        m_ctx.m_bCtrl = ctrl ? 1 : 0;
        Press(m_rect, kX, kY);
        Move(m_rect, kX + dx, kY + dy);
        Event(kX + dx, kY + dy, [&] { m_rect.OnLButtonUp(&m_ctx); });
        m_ctx.m_bCtrl = 0;
    }
    void Key(CDocState& tool, std::uint32_t key) { Event(0, 0, [&] { tool.OnKeyDown(&m_ctx, key); }); }
    CDocData* First() { return m_ctx.m_pCurrent->m_pFirst; }
    int Steps() const
    {
        int n = 0;
        for (CDocListNode* s = m_ctx.m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }
    std::vector<CGeoPoint> Nodes(const CDocData* obj)
    {
        std::vector<CGeoPoint> out;
        ForEachNode(obj->m_pNodes, [&](DOCNODE& n) { out.emplace_back(n.m_x, n.m_y); });
        return out;
    }
    // The one new object: selected, on the current layer in its colour,
    // cut because its layer is, and gone again with one undo.
    void ExpectNewObjectAndUndo(std::uint8_t type)
    {
        ASSERT_NE(First(), nullptr);
        EXPECT_EQ(First()->m_pNext, nullptr);
        EXPECT_EQ(First()->m_nType, type);
        EXPECT_EQ(First()->IsSelected(), 1);
        EXPECT_EQ(First()->m_nLayer, 3);
        EXPECT_EQ(First()->m_nColor, m_settings.PaletteColor(3));
        EXPECT_EQ(First()->m_bOutput, 1);
        EXPECT_EQ(Steps(), 1);
        ASSERT_TRUE(CDocState::Undo(&m_ctx));
        EXPECT_EQ(First(), nullptr);
    }

    CDocStateDrawNode m_line;
    CDocStateDrawRect m_rect;
};

void ExpectPoint(const CGeoPoint& p, double x, double y)
{
    EXPECT_NEAR(p.m_x, x, 1e-4);
    EXPECT_NEAR(p.m_y, y, 1e-4);
}

} // namespace

// One corner makes a point, not a one-node polyline; closing adds the first
// corner again only from three corners on; the finishing keys and items do
// nothing without a chain.
TEST_F(DrawToolsTest, FinishingMakesAPointAnOpenPairOrAClosedOutline)
{
    for (std::uint32_t key : {13u, 27u, 32u, 3u})
        Key(m_line, key);
    m_line.EndPathOpen(&m_ctx);
    m_line.EndPathClosed(&m_ctx);
    EXPECT_EQ(First(), nullptr);
    EXPECT_EQ(Steps(), 0);

    Press(m_line, kX, kY);
    Key(m_line, 13);
    ExpectPoint(Nodes(First()).at(0), kX, kY);
    ExpectNewObjectAndUndo(MT_POINT);

    Press(m_line, kX, kY);
    Press(m_line, kX + 100, kY);
    Press(m_line, kX + 100, kY + 100);
    m_line.EndPathClosed(&m_ctx);
    const std::vector<CGeoPoint> closed = Nodes(First());
    ASSERT_EQ(closed.size(), 4u);
    ExpectPoint(closed[3], kX, kY);
    EXPECT_EQ(First()->m_bClosed, 1);
    EXPECT_EQ(m_line.m_pNodes, nullptr);
    ExpectNewObjectAndUndo(MT_LINE);

    Press(m_line, kX, kY);
    Press(m_line, kX + 100, kY);
    m_line.EndPathClosed(&m_ctx);
    EXPECT_EQ(Nodes(First()).size(), 2u);
}

// The segment keeps its length and turns to the nearest 15 degrees: 50 to
// 45, 53 to 60, 356 to 360. The first press has nothing to snap to.
TEST_F(DrawToolsTest, CtrlSnapsEachNewSegmentButNotTheFirstPress)
{
    m_ctx.m_bCtrl = 1;
    const auto polar = [](double degrees) {
        const double a = degrees * 3.14159265358979323846 / 180.0;
        return CGeoPoint(kX + 100.0 * std::cos(a), kY + 100.0 * std::sin(a));
    };
    ExpectPoint(m_line.SnapAngle(polar(50)), polar(50).m_x, polar(50).m_y);
    Press(m_line, kX, kY);
    ASSERT_NE(m_line.m_pNodes, nullptr);
    ExpectPoint(CGeoPoint(m_line.m_pNodes->m_x, m_line.m_pNodes->m_y), kX, kY);
    ExpectPoint(m_line.SnapAngle(polar(53)), 500050.0, 500086.6025);
    ExpectPoint(m_line.SnapAngle(polar(356)), 500100.0, 500000.0);
    const CGeoPoint at50 = polar(50);
    Press(m_line, at50.m_x, at50.m_y);
    ExpectPoint(CGeoPoint(m_line.m_pNodes->m_pNext->m_x, m_line.m_pNodes->m_pNext->m_y), 500070.7107, 500070.7107);
}

// Ctrl+Break drops the chain without a trace in the history; a reset
// mid-chain or mid-drag repaints what the feedback covered (client box
// grown by 15 pixels), since nothing can draw it again to erase it.
TEST_F(DrawToolsTest, CancelDropsTheChainAndResetRepaintsLeftoverFeedback)
{
    Press(m_line, kX, kY);
    Press(m_line, kX + 100, kY);
    Key(m_line, 3);
    EXPECT_EQ(m_line.m_pNodes, nullptr);
    EXPECT_EQ(m_line.m_bButtonDown, 0);
    EXPECT_EQ(First(), nullptr);
    EXPECT_EQ(Steps(), 0);
    EXPECT_EQ(m_view.m_invalidated, std::vector<plat::RECT>{(plat::RECT{35, 35, 165, 65})});

    m_view.m_invalidated.clear();
    m_line.Reset(0, &m_ctx);
    EXPECT_TRUE(m_view.m_invalidated.empty()) << "nothing shown, nothing to repaint";
    Press(m_line, kX, kY);
    Press(m_line, kX + 100, kY);
    Move(m_line, kX + 100, kY + 100);
    m_line.Reset(0, &m_ctx);
    EXPECT_EQ(m_view.m_invalidated, std::vector<plat::RECT>{(plat::RECT{35, 35, 165, 165})});
    EXPECT_EQ(m_line.m_pNodes, nullptr);

    m_view.m_invalidated.clear();
    Press(m_rect, kX, kY);
    Move(m_rect, kX + 30, kY + 40);
    m_rect.Reset(0, &m_ctx);
    EXPECT_EQ(m_view.m_invalidated, std::vector<plat::RECT>{(plat::RECT{35, 35, 95, 105})});
    EXPECT_EQ(m_rect.m_bDragging, 0);
    Event(kX + 30, kY + 40, [&] { m_rect.OnLButtonUp(&m_ctx); });
    EXPECT_EQ(First(), nullptr) << "a release after the reset makes nothing";
}

// Ctrl squares the drag before the points are compared: a drag along one
// axis ends on the press point and makes nothing, with no undo step. A
// plain vertical drag still makes a rectangle of zero width.
TEST_F(DrawToolsTest, RectangleSquaresBeforeItTestsForAClick)
{
    Drag(0, 0, false);
    Drag(30, 0, true);
    EXPECT_EQ(First(), nullptr);
    EXPECT_EQ(Steps(), 0);

    Drag(-20, 50, true);
    const CGeoBox& box = First()->m_rcBound;
    EXPECT_EQ(box.m_xmin, kX - 20);
    EXPECT_EQ(box.m_xmax, kX);
    EXPECT_EQ(box.m_ymin, kY);
    EXPECT_EQ(box.m_ymax, kY + 20);
    ExpectNewObjectAndUndo(MT_RECT);

    Drag(0, 40, false);
    EXPECT_EQ(First()->m_rcBound.Width(), 0.0);
    EXPECT_EQ(First()->m_rcBound.Height(), 40.0);
}

// The first node sits on the machine's positioning corner: the maximum
// corner for point 8, the minimum corner without a machine.
TEST_F(DrawToolsTest, RectangleStartsAtTheMachinesPositioningCorner)
{
    Drag(30, 40, false);
    ExpectPoint(Nodes(First()).at(0), kX, kY);
    m_settings.m_pMachines = new MachineNode;
    m_settings.m_pMachines->m_dot = 8;
    Drag(30, 40, false);
    ExpectPoint(Nodes(First()->m_pNext).at(0), kX + 30, kY + 40);
}

// Delete removes the selection in one step and does nothing without one.
TEST_F(DrawToolsTest, DeleteStepsOnlyWithASelection)
{
    for (CDocState* tool : {static_cast<CDocState*>(&m_line), static_cast<CDocState*>(&m_rect)}) {
        Key(*tool, 46);
        EXPECT_EQ(Steps(), 0);
    }
    Drag(30, 40, false);
    Key(m_line, 46);
    EXPECT_EQ(First(), nullptr);
    EXPECT_EQ(Steps(), 2);
}
