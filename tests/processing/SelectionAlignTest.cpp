// Aligning and mirroring whole selected objects against the selection box
// as it was: positions worked out by hand, one undo step, none for too small
// a selection.
#include "ProcessingTestSupport.h"
#include "processing/SelectionAlign.h"

#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

class SelectionAlign : public testing::Test {
protected:
    void SetUp() override
    {
        m_ctx.m_pCurrent = new CDocListNode;
        m_ctx.m_pSettings = &m_settings;
    }
    void TearDown() override
    {
        CDocListNode* oldest = m_ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
    }
    // A closed rectangle outline, selected.
    CDocData* Box(double x0, double x1, double y0, double y1)
    {
        CDocData* line = MakeLine({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}});
        line->SetSelected(1);
        line->RecalcBoundRect(&m_ctx);
        m_ctx.m_rcSelect.Union(line->GetBoundRect());
        return line;
    }
    CDocData*& Doc() { return m_ctx.m_pCurrent->m_pFirst; }
    static std::vector<double> Edges(const CGeoBox& b) { return {b.m_xmin, b.m_xmax, b.m_ymin, b.m_ymax}; }
    static std::vector<double> Edges(const CDocData* o) { return Edges(o->GetBoundRect()); }

    SoftwareSettings m_settings;
    DOCCONTEXT m_ctx;
};

TEST_F(SelectionAlign, EdgesMeetTheOldSelectionBoxAndTooSmallASelectionTakesNoStep)
{
    CDocData* a = Box(0, 50, 0, 20);
    CDocData* b = Box(100, 130, 40, 70);
    Doc() = LinkObjects({a, b});
    const std::vector<XY> aNodes = NodePositions(a->m_pNodes);

    // Left edges: the object already at 0 is moved by zero.
    ASSERT_TRUE(CSelectionAlign::AlignSelection(&m_ctx, 1, 0));
    EXPECT_EQ(NodePositions(a->m_pNodes), aNodes);
    EXPECT_EQ(Edges(b), (std::vector<double>{0, 30, 40, 70}));
    EXPECT_EQ(Edges(m_ctx.m_rcSelect), (std::vector<double>{0, 50, 0, 70}));
    // Vertical middles (35) move only in y.
    ASSERT_TRUE(CSelectionAlign::AlignSelection(&m_ctx, 0, 2));
    EXPECT_EQ(Edges(a), (std::vector<double>{0, 50, 25, 45}));
    EXPECT_EQ(Edges(b), (std::vector<double>{0, 30, 20, 50}));
    // Right and lower edges at once, against 0..50, 20..50.
    ASSERT_TRUE(CSelectionAlign::AlignSelection(&m_ctx, 3, 3));
    EXPECT_EQ(Edges(b), (std::vector<double>{20, 50, 20, 50}));
    EXPECT_EQ(m_ctx.m_nChangeCount, 3u);
    // One undo step per command.
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(Edges(Doc()->m_pNext), (std::vector<double>{0, 30, 20, 50}));

    Doc()->SetSelected(0);
    EXPECT_FALSE(CSelectionAlign::AlignSelection(&m_ctx, 1, 0));
    Doc()->m_pNext->SetSelected(0);
    m_ctx.m_rcSelect.SetEmpty();
    EXPECT_FALSE(CSelectionAlign::MirrorSelection(&m_ctx, true, false));
    EXPECT_EQ(m_ctx.m_nChangeCount, 4u);
    EXPECT_EQ(Edges(Doc()->m_pNext), (std::vector<double>{0, 30, 20, 50}));
}

TEST_F(SelectionAlign, MirroringAnArrayedObjectKeepsTheBoxCornerWhereItWas)
{
    MachineNode machine;
    machine.m_orign = 1;
    MachineNode* const saved = g_settings.m_pMachines;
    const std::int32_t savedIndex = g_settings.m_nCurMachine;
    g_settings.m_pMachines = &machine;
    g_settings.m_nCurMachine = 0;

    CDocData* triangle = MakeLine({{0, 0}, {100, 0}, {0, 50}});
    triangle->m_pArray = new ARRAYREC;
    triangle->m_pArray->m_nCols = 3;
    triangle->m_pArray->m_dDx = 150;
    triangle->SetSelected(1);
    triangle->RecalcBoundRect(&m_ctx);
    Doc() = triangle;
    m_ctx.m_rcSelect = triangle->GetBoundRect();
    ASSERT_EQ(Edges(m_ctx.m_rcSelect), (std::vector<double>{0, 400, 0, 50}));

    ASSERT_TRUE(CSelectionAlign::MirrorSelection(&m_ctx, true, false));
    EXPECT_EQ(NodePositions(triangle->m_pNodes), (std::vector<XY>{{100, 0}, {0, 0}, {100, 50}}));
    EXPECT_EQ(Edges(triangle), (std::vector<double>{0, 400, 0, 50}));
    EXPECT_EQ(Edges(m_ctx.m_rcSelect), (std::vector<double>{0, 400, 0, 50}));
    EXPECT_EQ(m_ctx.m_nChangeCount, 1u);

    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(NodePositions(Doc()->m_pNodes), (std::vector<XY>{{0, 0}, {100, 0}, {0, 50}}));
    g_settings.m_pMachines = saved;
    g_settings.m_nCurMachine = savedIndex;
}

} // namespace
} // namespace plat
