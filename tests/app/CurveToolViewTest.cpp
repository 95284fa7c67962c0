// The Bezier and ellipse tools in the drawing view of a shown main frame, at
// zoom 1 with world (500000, 500000) at client (300, 200): mouse events on
// the viewport, keys through the key router, undo through the frame's
// command router. The screen image is compared with a repaint of the whole
// view where feedback must have gone or stayed.
#include "ShownDocumentTest.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDoc.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "app/RecentFileList.h"
#include "qtplatform/Resources.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "processing/PathProc.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

#include <memory>

namespace {

constexpr int kLayer = 2;
// Palette entry 2 (COLORREF 0x6F1628) as the screen image holds it.
constexpr QRgb kLayerRgb = 0x28166F;

class CurveToolViewTest : public plat::ShownDocumentTest {
protected:
    CurveToolViewTest() : ShownDocumentTest(QStringLiteral("BrenvikCurveToolViewTest")) {}

    void SetUp() override
    {
        ShownDocumentTest::SetUp();
        if (HasFatalFailure())
            return;
        m_view->SendMessage(COrvelView::kMsgPaletteIndex, 0, kLayer);

        // Zoom exactly 1: a step out from 1.2 about a world point placed
        // at client (300, 200).
        m_view->OnZoomRect(plat::RECT{499500, 499500, 500500, 500300});
        Ctx().m_dZoom = 1.2;
        m_view->horizontalScrollBar()->setValue(600000 - 300);
        m_view->verticalScrollBar()->setValue(600000 - 200);
        Ctx().m_ptMouse = CGeoPoint(500000, 500000);
        m_view->SendMessage(COrvelView::kMsgZoomOut, 0, 0);
        ASSERT_EQ(Ctx().m_dZoom, 1.0);
        ASSERT_EQ(Ctx().WorldToClientPixel(500000, 500000), (plat::POINT{300, 200}));
        m_view->UpdateWindow();
    }
    CDocState* Tool() { return m_view->CurrentTool(); }

    // Sent straight to the viewport: two quick presses stay two presses.
    void Mouse(QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        const QPointF at(x, y);
        QMouseEvent event(type, at, m_view->viewport()->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(m_view->viewport(), &event);
    }
    void Press(int x, int y) { Mouse(QEvent::MouseButtonPress, x, y, Qt::LeftButton, Qt::LeftButton); }
    void Move(int x, int y) { Mouse(QEvent::MouseMove, x, y, Qt::NoButton, Qt::LeftButton); }
    void Release(int x, int y) { Mouse(QEvent::MouseButtonRelease, x, y, Qt::LeftButton, Qt::NoButton); }
    // A press dragged 10 pixels right, then a click 100 pixels right.
    void TwoAnchors(int x, int y)
    {
        Press(x, y), Move(x + 10, y), Release(x + 10, y);
        Press(x + 100, y), Release(x + 100, y);
    }

    std::uint32_t Objects() { return Tool()->CountObjectsInList(Ctx().m_pCurrent->m_pFirst); }
};

} // namespace

// Enter makes the curve in one step and keeps the tool; the curve shows in
// the layer colour. Mid-curve Ctrl+Z is the tool's Z: it takes the last
// anchor, leaves the history and the screen as a repaint draws it; with no
// curve left Ctrl+Z undoes the curve.
TEST_F(CurveToolViewTest, EnterDrawsTheCurveAndCtrlZTakesAnchorsBeforeItUndoes)
{
    ASSERT_TRUE(Run(32909));
    TwoAnchors(300, 200);
    QTest::keyClick(m_view, Qt::Key_Return);
    EXPECT_EQ(Objects(), 1u);
    EXPECT_EQ(Ctx().m_nChangeCount, 1u);
    EXPECT_EQ(Ctx().m_nTool, TOOL_BEZIER);
    const plat::POINT on = Ctx().WorldToClientPixel(500030, 500000);
    EXPECT_EQ(Settled().pixel(on.x, on.y) & 0xFFFFFF, kLayerRgb);

    TwoAnchors(300, 300);
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(CountNodes(Tool()->m_pNodes), 3);
    EXPECT_EQ(Ctx().m_nChangeCount, 1u);
    EXPECT_EQ(Settled(), Fresh());
    QTest::keyClick(m_view, Qt::Key_Z);
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Objects(), 0u) << "no curve: Ctrl+Z is Undo";
}

// Undo from the menu mid-curve drops the curve and undoes the edit before
// it, leaving nothing of the curve on screen; Esc finishes like Enter and
// returns to the select tool.
TEST_F(CurveToolViewTest, UndoMidCurveDropsItAndEscFinishesToTheSelectTool)
{
    ASSERT_TRUE(Run(32909));
    TwoAnchors(300, 200);
    QTest::keyClick(m_view, Qt::Key_Return);
    TwoAnchors(300, 300);
    Settled();
    ASSERT_TRUE(Run(cmd::EditUndo));
    EXPECT_EQ(Tool()->m_pNodes, nullptr);
    EXPECT_EQ(Objects(), 0u);
    EXPECT_EQ(Settled(), Fresh());

    TwoAnchors(300, 200);
    QTest::keyClick(m_view, Qt::Key_Escape);
    EXPECT_EQ(Objects(), 1u);
    EXPECT_EQ(Ctx().m_nTool, TOOL_SELECT);
}

// The ellipse band shows while dragging and is gone once Esc has switched
// to the select tool mid-drag; no object is made.
TEST_F(CurveToolViewTest, EscDuringAnEllipseDragLeavesNoBand)
{
    ASSERT_TRUE(Run(32794));
    const QImage before = Settled();
    Press(300, 200);
    Move(360, 240);
    EXPECT_NE(Settled(), before);
    QTest::keyClick(m_view, Qt::Key_Escape);
    EXPECT_EQ(Ctx().m_nTool, TOOL_SELECT);
    EXPECT_EQ(Settled(), before);
    EXPECT_EQ(Fresh(), before);
    Release(360, 240);
    EXPECT_EQ(Objects(), 0u);
}
