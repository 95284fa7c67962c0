// The zoom, pan and node tools in a shown main frame, driven by mouse and
// key events on the view: zoom 1, scroll (499950, 499950), so world
// (500000, 500000) is client (50, 50). Where feedback must be gone, the
// screen image is compared with a repaint of the whole view.
#include "ShownDocumentTest.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDoc.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "app/RecentFileList.h"
#include "app/tools/DocStateEditNode.h"
#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "processing/PathProc.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"
#include "ui/ParamFontType.h"

#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

#include <memory>

namespace {

constexpr plat::UINT kNodeTool = 32791;
constexpr plat::UINT kZoomTool = 32788;
constexpr plat::UINT kPanTool = 32937;
constexpr plat::UINT kTextTool = 32882;

class ViewToolsInputTest : public plat::ShownDocumentTest {
protected:
    ViewToolsInputTest() : ShownDocumentTest(QStringLiteral("BrenvikViewToolsInputTest")) {}

    void SetUp() override
    {
        ShownDocumentTest::SetUp();
        if (HasFatalFailure())
            return;
        // The unit view: one pixel per world unit.
        Ctx().m_dZoom = 1.0;
        for (plat::ScrollBar bar : {plat::SB_HORZ, plat::SB_VERT})
            m_view->SetScrollInfo(bar, plat::ScrollInfo{0, 999999, 100, 499950, 499950});
        Ctx().m_ptScroll = {499950, 499950};
    }
    CDocStateEditNode& NodeTool() { return *dynamic_cast<CDocStateEditNode*>(Ctx().m_pTools[TOOL_EDIT_NODE]); }

    // The polyline (500000, 500000)-(500100, 500000)-(500100, 500100), blue.
    CDocData* AddCorner()
    {
        DOCNODE* nodes = AppendNode(nullptr, 500000, 500000);
        AppendNode(AppendNode(nodes, 500100, 500000), 500100, 500100);
        auto* line = new CDocDataLine(nodes, 1, nullptr);
        line->m_nColor = 0xFF0000;
        line->RecalcBoundRect(nullptr);
        Ctx().m_pCurrent->m_pFirst = line;
        m_view->InvalidateRect(nullptr, true);
        m_view->UpdateWindow();
        return line;
    }
};

} // namespace

// A band the view turns down (one unit wide, none high) must not stay on
// screen: the release draws it away before asking.
TEST_F(ViewToolsInputTest, ZoomBandTurnedDownByTheViewLeavesNoTrace)
{
    AddCorner();
    ASSERT_TRUE(Run(kZoomTool));
    const QImage before = Settled();
    Press(QPoint(100, 100));
    Drag(QPoint(200, 160));
    EXPECT_NE(Settled(), before) << "the band shows while dragging";
    Release(QPoint(101, 100));
    EXPECT_EQ(Ctx().m_dZoom, 1.0);
    const QImage after = Settled();
    EXPECT_EQ(after, Fresh());
    EXPECT_EQ(after, before);
}

// The pan scrolls by the mouse move, the stored scroll point and the bars
// agree, and the hand cursor is the tool's own image.
TEST_F(ViewToolsInputTest, PanDragScrollsTheBars)
{
    AddCorner();
    ASSERT_TRUE(Run(kPanTool));
    Press(QPoint(100, 100));
    Drag(QPoint(130, 90));
    EXPECT_EQ(m_view->horizontalScrollBar()->value(), 499920);
    EXPECT_EQ(m_view->verticalScrollBar()->value(), 499960);
    EXPECT_EQ(Ctx().m_ptScroll, (plat::POINT{499920, 499960}));
    EXPECT_EQ(m_view->viewport()->cursor().shape(), Qt::BitmapCursor);
    Release(QPoint(130, 90));
    // The outline's corner (500100, 500000) is now at client (180, 40).
    const QImage shown = Settled();
    EXPECT_EQ(shown.pixel(180, 40) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(shown, Fresh());
}

// Esc in the middle of a band or of a node drag leaves nothing of either.
TEST_F(ViewToolsInputTest, EscDuringBandOrNodeDragLeavesACleanScreen)
{
    AddCorner();
    ASSERT_TRUE(Run(kNodeTool));
    Press(QPoint(300, 300));
    Drag(QPoint(400, 380));
    QTest::keyClick(m_view, Qt::Key_Escape);
    EXPECT_EQ(Settled(), Fresh());

    ASSERT_TRUE(Run(kNodeTool));
    Click(QPoint(100, 50)); // picks the outline
    ASSERT_EQ(NodeTool().m_nMode, 1u);
    Press(QPoint(150, 50)); // its corner
    ASSERT_EQ(NodeTool().m_nDragKind, 1u);
    Drag(QPoint(190, 90));
    Drag(QPoint(220, 120));
    QTest::keyClick(m_view, Qt::Key_Escape);
    EXPECT_EQ(NodeTool().m_nMode, 0u);
    EXPECT_EQ(Settled(), Fresh());
}

// Undo lets the tool go of the object it held; the next drag works on the
// object now in the drawing and its push frees the old one unread.
TEST_F(ViewToolsInputTest, NodeDragAfterUndoWorksOnTheLiveObject)
{
    AddCorner();
    ASSERT_TRUE(Run(kNodeTool));
    Click(QPoint(100, 50));
    Press(QPoint(150, 50));
    Drag(QPoint(160, 60));
    Release(QPoint(160, 60));
    ASSERT_EQ(Ctx().m_pCurrent->m_pOlder != nullptr, true);
    QTest::keyClick(m_view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(NodeTool().m_pObject, nullptr);
    Click(QPoint(100, 50));
    Press(QPoint(150, 50));
    Drag(QPoint(170, 40));
    Release(QPoint(170, 40));
    const DOCNODE* corner = Ctx().m_pCurrent->m_pFirst->m_pNodes->m_pNext;
    EXPECT_EQ(corner->m_x, 500120.0);
    EXPECT_EQ(corner->m_y, 499990.0);
    EXPECT_EQ(Settled(), Fresh());
}

// Pasted objects stay selected: cutting the one the node tool holds takes
// it out of the drawing, and the next move finds the tool empty-handed.
TEST_F(ViewToolsInputTest, CutOfTheHeldObjectDropsItBeforeTheNextEvent)
{
    CDocData* original = AddCorner();
    original->SetSelected(1);
    QTest::keyClick(m_view, Qt::Key_C, Qt::ControlModifier);
    ASSERT_NE(g_settings.m_pClipboard, nullptr);
    original->Move(CGeoPoint(0, 0), CGeoPoint(0, 300), &Ctx());
    ASSERT_TRUE(Run(kNodeTool));
    QTest::keyClick(m_view, Qt::Key_V, Qt::ControlModifier);
    ASSERT_NE(original->m_pNext, nullptr);
    CDocData* pasted = original->m_pNext;
    Click(QPoint(100, 50));
    ASSERT_EQ(NodeTool().m_pObject, pasted);
    QTest::keyClick(m_view, Qt::Key_X, Qt::ControlModifier);
    ASSERT_EQ(original->m_pNext, nullptr);
    Hover(QPoint(100, 50));
    EXPECT_EQ(NodeTool().m_nMode, 0u);
    EXPECT_EQ(NodeTool().m_pObject, nullptr);
}

// The screen image is never replaced under a device context: a resize while
// one is open takes effect when it closes. A context menu and the text font
// dialog run their loops after the press has let go of the screen, so a
// resize meanwhile leaves the image the client's size, and closing the
// document window under the dialog waits for it to end.
TEST_F(ViewToolsInputTest, MenuAndFontDialogOutliveAResizeAndACloseOfTheirWindow)
{
    AddCorner();
    const QSize before = m_view->ClientSize();
    {
        const COrvelView::EventDC dc(*m_view);
        m_frame->resize(900, 700);
        ASSERT_TRUE(plat::WaitFor([&] { return m_view->ClientSize() != before; }));
        EXPECT_EQ(m_view->ScreenImage().size(), before);
    }
    EXPECT_EQ(m_view->ScreenImage().size(), m_view->ClientSize());

    QSize resized;
    bool menuShown = false;
    plat::EventSteps menu({
        [&] { return menuShown = QApplication::activePopupWidget() != nullptr; },
        [&] {
            resized = m_view->ClientSize();
            m_frame->resize(800, 600);
            return true;
        },
        [&] { return m_view->ClientSize() != resized; },
        [&] {
            QApplication::activePopupWidget()->close();
            return true;
        },
    });
    Mouse(QEvent::MouseButtonPress, QPoint(100, 50), Qt::RightButton, Qt::RightButton);
    Mouse(QEvent::MouseButtonRelease, QPoint(100, 50), Qt::RightButton, Qt::NoButton);
    ASSERT_TRUE(plat::WaitFor([&] { return menu.Done(); })) << menu.Taken();
    EXPECT_TRUE(menuShown);
    EXPECT_EQ(m_view->ScreenImage().size(), m_view->ClientSize());
    EXPECT_EQ(Settled(), Fresh());

    ASSERT_TRUE(Run(kTextTool));
    QPointer<CChildFrame> window = m_manager->Frames()[0];
    bool openUnderDialog = false;
    plat::EventSteps font({
        [&] { return dynamic_cast<CParamFontType*>(QApplication::activeModalWidget()) != nullptr; },
        [&] {
            resized = m_view->ClientSize();
            m_frame->resize(1000, 800);
            return true;
        },
        [&] { return m_view->ClientSize() != resized && m_view->ScreenImage().size() == m_view->ClientSize(); },
        [&] {
            window->CloseWithoutAsking();
            return true;
        },
        [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            openUnderDialog = window != nullptr && window->isVisible();
            static_cast<QDialog*>(QApplication::activeModalWidget())->reject();
            return true;
        },
    });
    Click(QPoint(100, 50));
    ASSERT_TRUE(plat::WaitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return font.Done() && window == nullptr;
    })) << font.Taken();
    EXPECT_TRUE(openUnderDialog);
    EXPECT_TRUE(m_manager->Frames().empty());
    m_view = nullptr;
}
