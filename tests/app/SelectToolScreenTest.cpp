// The select tool in a real document window: what a move drag leaves on the
// screen image must be what a fresh repaint draws.
#include "ShownDocumentTest.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/OrvelDocManager.h"
#include "app/OrvelView.h"
#include "app/RecentFileList.h"
#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class SelectToolScreenTest : public plat::ShownDocumentTest {
protected:
    SelectToolScreenTest() : ShownDocumentTest(QStringLiteral("BrenvikSelectToolScreenTest")) {}
};

} // namespace

TEST_F(SelectToolScreenTest, AMoveDragLeavesWhatAFreshRepaintDraws)
{
    DOCCONTEXT& ctx = Ctx();
    // Two lines, so the fitted view has height: the upper one is dragged.
    DOCNODE* upper = AppendNode(nullptr, 503000.0, 503000.0);
    AppendNode(upper, 505000.0, 503000.0);
    DOCNODE* lower = AppendNode(nullptr, 503000.0, 504000.0);
    AppendNode(lower, 505000.0, 504000.0);
    auto* first = new CDocDataLine(upper, 1, nullptr);
    auto* second = new CDocDataLine(lower, 1, nullptr);
    for (CDocData* line : {static_cast<CDocData*>(first), static_cast<CDocData*>(second)}) {
        line->m_nLayer = 2;
        line->m_nColor = 0xFF0000;
        line->RecalcBoundRect(nullptr);
    }
    first->m_pNext = second;
    second->m_pPrev = first;
    ctx.m_pCurrent->m_pFirst = first;
    ASSERT_TRUE(Run(32790));
    m_view->UpdateWindow();

    const plat::POINT from = ctx.WorldToClientPixel(504000.0, 503000.0);
    ASSERT_EQ(Pixel(from), 0x0000FFu) << "the line in its colour (COLORREF 0xFF0000)";
    const QPoint press(from.x, from.y);
    const QPoint release = press + QPoint(0, 40);
    QWidget* viewport = m_view->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, press);
    ASSERT_TRUE(first->IsSelected());
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, press);
    QTest::mouseMove(viewport, press + QPoint(0, 20));
    QTest::mouseMove(viewport, release);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, release);
    m_view->UpdateWindow();

    const CGeoBox moved = first->GetBoundRect();
    ASSERT_GT(moved.m_ymin, 503000.0) << "the line was moved down the screen";
    const QImage afterDrag = m_view->ScreenImage();
    m_view->InvalidateRect(nullptr, false);
    m_view->UpdateWindow();
    EXPECT_EQ(m_view->ScreenImage(), afterDrag);

    const plat::POINT to = ctx.WorldToClientPixel(504000.0, moved.m_ymin);
    EXPECT_EQ(Pixel(to), 0x0000FFu);
    EXPECT_EQ(Pixel(from), 0xFFFFFFu) << "the old place is white again";
}
