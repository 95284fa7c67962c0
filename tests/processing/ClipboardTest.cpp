// Internal clipboard: copying by layer, cutting the list head with an undo
// step and the repaint rectangle, pasting twice, with clearing and into an
// empty document, geometry, classes and layers kept, and the list helpers.
#include "ProcessingTestSupport.h"
#include "processing/PathProc.h"

#include "model/DocContext.h"
#include "model/DocDataBitmap.h"
#include "model/DocDataEllipse.h"
#include "model/DocDataGroup.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

class Clipboard : public testing::Test {
protected:
    void SetUp() override
    {
        m_ctx.m_pCurrent = new CDocListNode;
        m_ctx.m_pSettings = &m_settings;
        m_ctx.m_pView = &m_view;
    }
    void TearDown() override
    {
        CDocListNode* oldest = m_ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
        DeleteObjectList(m_settings.m_pClipboard);
    }

    CDocData*& Doc() { return m_ctx.m_pCurrent->m_pFirst; }

    SoftwareSettings m_settings;
    RecordingView m_view;
    DOCCONTEXT m_ctx;
};

CDocData* Box(double x0, double y0, double x1, double y1, std::int32_t layer, std::uint8_t selected)
{
    auto* r = new CDocDataRect(CGeoBox(x0, x1, y0, y1), nullptr, 255);
    r->m_nLayer = layer;
    r->m_bSelected = selected;
    return r;
}

TEST_F(Clipboard, CopyTakesSelectedObjectsOfTheLayerOrOfAllLayersAsSelectedClones)
{
    CDocData* line = MakeLine({{0, 0}, {10, 5}}, 3);
    CDocData* other = Box(0, 0, 10, 10, 2, 1);
    CDocData* unselected = Box(0, 0, 10, 10, 3, 0);
    auto* ellipse = new CDocDataEllipse(20, 20, 60, 40);
    ellipse->m_nLayer = 3;
    ellipse->m_bSelected = 1;
    auto* image = new CDocDataBitmap();
    image->m_strPath = "/nowhere/picture.bmp";
    image->m_bSelected = 1;
    image->m_nLayer = 3;
    line->m_bSelected = 2; // node editing counts as selected
    Doc() = LinkObjects({line, other, unselected, ellipse, image});

    CPathProc::CopySelection(&m_ctx, 3);
    CDocData* held = m_settings.m_pClipboard;
    ASSERT_EQ(CountObjects(held), 3);
    EXPECT_NE(held, line);
    EXPECT_EQ(held->m_nType, static_cast<std::uint32_t>(MT_LINE));
    EXPECT_EQ(held->m_bSelected, 1);
    EXPECT_EQ(NodePositions(held->m_pNodes), NodePositions(line->m_pNodes));
    EXPECT_NE(held->m_pNodes, line->m_pNodes);
    EXPECT_EQ(held->m_pNext->m_nType, static_cast<std::uint32_t>(MT_ELLIPSE));
    EXPECT_EQ(NodePositions(held->m_pNext->m_pNodes), NodePositions(ellipse->m_pNodes));
    ASSERT_EQ(held->m_pNext->m_pNext->m_nType, static_cast<std::uint32_t>(MT_BITMAP));
    EXPECT_EQ(static_cast<CDocDataBitmap*>(held->m_pNext->m_pNext)->m_strPath, "/nowhere/picture.bmp");

    // Every layer: the old held list goes, four selected objects come.
    CPathProc::CopySelection(&m_ctx, -1);
    ASSERT_EQ(CountObjects(m_settings.m_pClipboard), 4);
    EXPECT_EQ(m_settings.m_pClipboard->m_pNext->m_nLayer, 2);
    // Copying changes nothing in the document and pushes no undo step.
    EXPECT_EQ(CountObjects(Doc()), 5);
    EXPECT_EQ(m_ctx.m_pCurrent->m_pOlder, nullptr);
}

TEST_F(Clipboard, CutMovesTheSelectionOutWithAnUndoStepAndRepaintsWhereItWas)
{
    CDocData* a = Box(1000, 1000, 1100, 1050, 0, 1);
    CDocData* b = Box(1200, 1000, 1300, 1050, 0, 0);
    CDocData* c = Box(1400, 1000, 1500, 1050, 1, 1);
    Doc() = LinkObjects({a, b, c});
    m_ctx.m_rcSelect = CGeoBox(1000, 1500, 1000, 1050);
    m_settings.m_bShowTravel = 1;
    m_settings.m_pClipboard = MakeLine({{0, 0}, {1, 1}});
    m_ctx.m_pCurrent->m_pArray = new ARRAYREC;
    m_ctx.m_pCurrent->m_pArray->m_nCols = 3;
    m_ctx.m_pCurrent->m_pArray->m_dDx = 200;

    CPathProc::CutSelection(&m_ctx);
    // The first object went: the next one heads the document.
    EXPECT_EQ(Doc(), b);
    EXPECT_EQ(b->m_pPrev, nullptr);
    EXPECT_EQ(b->m_pNext, nullptr);
    ASSERT_EQ(CountObjects(m_settings.m_pClipboard), 2);
    EXPECT_EQ(m_settings.m_pClipboard, a);
    EXPECT_EQ(a->m_pNext, c);
    EXPECT_TRUE(m_ctx.m_rcSelect.IsEmpty());
    // The snapshot before the cut still holds all three.
    ASSERT_NE(m_ctx.m_pCurrent->m_pOlder, nullptr);
    EXPECT_EQ(CountObjects(m_ctx.m_pCurrent->m_pOlder->m_pFirst), 3);
    // The selection box with the neighbours' boxes, two further columns of
    // 200 to the right, grown by 15: (985, 985) to (1915, 1065).
    ASSERT_EQ(m_view.m_invalidated.size(), 1u);
    EXPECT_EQ(m_view.m_invalidated[0], (RECT{985, 985, 1915, 1065}));

    // With order numbers shown the whole view is repainted.
    m_settings.m_bShowOrder = 1;
    b->m_bSelected = 1;
    m_ctx.m_rcSelect = b->m_rcBound;
    CPathProc::CutSelection(&m_ctx);
    EXPECT_EQ(Doc(), nullptr);
    EXPECT_EQ(m_settings.m_pClipboard, b);
    EXPECT_EQ(m_view.m_invalidated.back(), (RECT{0, 0, -1, -1}));
}

TEST_F(Clipboard, PasteClonesTheHeldListOverTheOriginalsAndClearEmptiesIt)
{
    // Into an empty document the clones are the whole list.
    CDocData* child = MakeLine({{0, 0}, {5, 5}}, 4);
    CDocData* group = CPathProc::WrapInGroup(child, &m_ctx);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->m_nType, static_cast<std::uint32_t>(MT_GROUP));
    EXPECT_EQ(group->m_nLayer, 4);
    m_settings.m_pClipboard = LinkObjects({Box(10, 20, 30, 40, 7, 1), group});
    CPathProc::PasteSelection(&m_ctx, 0);
    ASSERT_EQ(CountObjects(Doc()), 2);
    EXPECT_NE(Doc(), m_settings.m_pClipboard);
    EXPECT_EQ(Doc()->m_nType, static_cast<std::uint32_t>(MT_RECT));
    EXPECT_EQ(Doc()->m_nLayer, 7);
    EXPECT_EQ(NodePositions(Doc()->m_pNodes), NodePositions(m_settings.m_pClipboard->m_pNodes));
    EXPECT_EQ(Doc()->m_bSelected, 1);
    const CDocData* pastedChild = *Doc()->m_pNext->ChildList();
    EXPECT_EQ(NodePositions(pastedChild->m_pNodes), (std::vector<XY>{{0, 0}, {5, 5}}));
    EXPECT_EQ(pastedChild->m_nLayer, 4);
    // The selection box is the held list's box.
    EXPECT_EQ(m_ctx.m_rcSelect.m_xmin, 0.0);
    EXPECT_EQ(m_ctx.m_rcSelect.m_xmax, 30.0);
    EXPECT_EQ(m_ctx.m_rcSelect.m_ymax, 40.0);

    // A second paste adds a second set behind the first, one undo step each.
    CPathProc::PasteSelection(&m_ctx, 0);
    EXPECT_EQ(CountObjects(Doc()), 4);
    ASSERT_NE(m_ctx.m_pCurrent->m_pOlder, nullptr);
    EXPECT_EQ(CountObjects(m_ctx.m_pCurrent->m_pOlder->m_pFirst), 2);
    CPathProc::PasteSelection(&m_ctx, 1);
    EXPECT_EQ(CountObjects(Doc()), 6);
    EXPECT_EQ(m_settings.m_pClipboard, nullptr);
    // Nothing held: nothing happens, no undo step.
    CDocListNode* before = m_ctx.m_pCurrent->m_pOlder;
    CPathProc::PasteSelection(&m_ctx, 0);
    EXPECT_EQ(CountObjects(Doc()), 6);
    EXPECT_EQ(m_ctx.m_pCurrent->m_pOlder, before);

    // The list helpers.
    CPathProc::SetObjectsSelected(Doc(), 0);
    for (const CDocData* o = Doc(); o != nullptr; o = o->m_pNext)
        EXPECT_EQ(o->m_bSelected, 0);
    CGeoBox box(1, 2, 3, 4);
    CPathProc::GetListBox(nullptr, box);
    EXPECT_TRUE(box.IsEmpty());
    CPathProc::DeleteObjects(Doc());
    EXPECT_EQ(Doc(), nullptr);
}

} // namespace
} // namespace plat
