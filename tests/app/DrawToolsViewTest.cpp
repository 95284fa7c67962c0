// The polyline and rectangle tools in the drawing view of a shown main
// frame at zoom 1: mouse events on the viewport, keys through the key
// router, the path menu's items through the frame's command router. The
// screen image must equal a fresh repaint wherever a rubber band went.
#include "ShownDocumentTest.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDoc.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "app/RecentFileList.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "processing/PathProc.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <QTest>

namespace {

class DrawToolsViewTest : public plat::ShownDocumentTest {
protected:
    DrawToolsViewTest() : ShownDocumentTest(QStringLiteral("BrenvikDrawToolsViewTest")) {}

    void SetUp() override
    {
        ShownDocumentTest::SetUp();
        if (HasFatalFailure())
            return;
        Ctx().m_pSettings->m_nCurLayer = 2;
        // Zoom 1 on the present scroll position: a world unit is a pixel.
        Ctx().m_dZoom = 1.0;
        m_view->InvalidateRect(nullptr, true);
        ASSERT_EQ(Ctx().m_dZoom, 1.0);
        Repaint();
    }
    void Repaint() { m_view->UpdateWindow(); }
    QWidget* Port() { return m_view->viewport(); }
    void Click(int x, int y) { QTest::mouseClick(Port(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y)); }
    void Move(int x, int y) { QTest::mouseMove(Port(), QPoint(x, y)); }
    // After the pending repaints, the screen shows what a whole repaint
    // would: no rubber band is left behind.
    void ExpectScreenIsFresh()
    {
        Repaint();
        const QImage shown = m_view->ScreenImage();
        m_view->InvalidateRect(nullptr, true);
        Repaint();
        EXPECT_EQ(shown, m_view->ScreenImage());
    }
    CDocData* First() { return Ctx().m_pCurrent->m_pFirst; }
    int Steps()
    {
        int n = 0;
        for (CDocListNode* s = Ctx().m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }
};

} // namespace

// Esc finishes the polyline and hands over to the select tool; F3 zooms
// out and keeps the chain for Enter; the close item of the path menu
// closes; a right click with nothing drawn is back to the select tool.
TEST_F(DrawToolsViewTest, PolylineFinishesByEscEnterAndMenuAndRightClickLeaves)
{
    ASSERT_TRUE(Run(32792));
    Click(100, 100);
    Click(200, 100);
    Move(250, 180);
    QTest::keyClick(m_view, Qt::Key_Escape);
    ASSERT_NE(First(), nullptr);
    EXPECT_EQ(First()->m_nType, MT_LINE);
    EXPECT_EQ(First()->m_rcBound.Width(), 100.0);
    EXPECT_EQ(Ctx().m_nTool, TOOL_SELECT);
    ExpectScreenIsFresh();

    ASSERT_TRUE(Run(32792));
    Click(100, 300);
    Click(200, 300);
    Click(200, 400);
    QTest::keyClick(m_view, Qt::Key_F3);
    EXPECT_DOUBLE_EQ(Ctx().m_dZoom, 1.0 / 1.2);
    QTest::keyClick(m_view, Qt::Key_Return);
    ASSERT_NE(First()->m_pNext, nullptr);
    EXPECT_EQ(First()->m_pNext->m_rcBound.Height(), 100.0);
    EXPECT_EQ(Steps(), 2);
    ExpectScreenIsFresh();
    // Undo takes the new polyline away, and its frame with it: nothing is
    // selected in the older state.
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(First()->m_pNext, nullptr);
    EXPECT_TRUE(Ctx().m_rcSelect.IsEmpty());
    ASSERT_TRUE(Run(32906));

    Click(100, 100);
    Click(150, 100);
    Click(150, 150);
    ASSERT_TRUE(Run(32881));
    EXPECT_EQ(First()->m_pNext->m_pNext->m_bClosed, 1);
    EXPECT_EQ(Ctx().m_nTool, TOOL_POLYLINE);
    QTest::mouseClick(Port(), Qt::RightButton, Qt::NoModifier, QPoint(300, 300));
    EXPECT_EQ(Ctx().m_nTool, TOOL_SELECT);
}

// Ctrl+Pause is the cancel key: the chain goes, nothing is made or undoable,
// and its lines are gone from the screen.
TEST_F(DrawToolsViewTest, CtrlPauseDropsTheChainAndItsLines)
{
    ASSERT_TRUE(Run(32792));
    const QImage before = m_view->ScreenImage();
    Click(100, 100);
    Click(200, 150);
    Move(120, 260);
    EXPECT_NE(m_view->ScreenImage(), before);
    QTest::keyClick(m_view, Qt::Key_Pause, Qt::ControlModifier);
    EXPECT_EQ(First(), nullptr);
    EXPECT_EQ(Steps(), 0);
    EXPECT_EQ(m_view->ScreenImage(), before);
    ExpectScreenIsFresh();
}

// A dragged rectangle shows in the layer colour on its edge; Esc in the
// middle of a drag leaves no band behind and makes nothing.
TEST_F(DrawToolsViewTest, RectangleDrawsInTheLayerColourAndEscLeavesNoBand)
{
    ASSERT_TRUE(Run(32793));
    QTest::mousePress(Port(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    Move(200, 180);
    QTest::mouseRelease(Port(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 180));
    ASSERT_NE(First(), nullptr);
    EXPECT_EQ(First()->m_nType, MT_RECT);
    Repaint();
    const plat::POINT edge = Ctx().WorldToClientPixel(First()->m_rcBound.m_xmin, First()->m_rcBound.m_ymin + 20);
    const COLORREF c = Ctx().m_pSettings->PaletteColor(2);
    const QRgb rgb = ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
    EXPECT_EQ(m_view->ScreenImage().pixel(edge.x, edge.y) & 0xFFFFFFu, rgb);

    QTest::mousePress(Port(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    Move(400, 420);
    QTest::keyClick(m_view, Qt::Key_Escape);
    QTest::mouseRelease(Port(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 420));
    EXPECT_EQ(First()->m_pNext, nullptr);
    EXPECT_EQ(Steps(), 1);
    ExpectScreenIsFresh();
}
