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

TEST_F(SelectionAlign, LeftEdgesMeetTheSelectionBoxAndTheObjectInPlaceMovesByZero)
{
    CDocData* a = Box(0, 50, 0, 20);
    CDocData* b = Box(100, 130, 40, 70);
    Doc() = LinkObjects({a, b});
    const std::vector<XY> aNodes = NodePositions(a->m_pNodes);

    ASSERT_TRUE(CSelectionAlign::AlignSelection(&m_ctx, 1, 0));
    EXPECT_EQ(m_ctx.m_nChangeCount, 1u);
    EXPECT_EQ(NodePositions(a->m_pNodes), aNodes);
    EXPECT_EQ(Edges(b), (std::vector<double>{0, 30, 40, 70}));
    EXPECT_EQ(Edges(m_ctx.m_rcSelect), (std::vector<double>{0, 50, 0, 70}));

    // One undo gives both back.
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(Edges(Doc()->m_pNext), (std::vector<double>{100, 130, 40, 70}));
}

TEST_F(SelectionAlign, VerticalMiddlesMoveOnlyInYAndRightEdgesTakeTheBoxMaximum)
{
    CDocData* a = Box(0, 50, 0, 20);
    CDocData* b = Box(100, 130, 40, 70);
    Doc() = LinkObjects({a, b});
    // Middle of the box: 35.
    ASSERT_TRUE(CSelectionAlign::AlignSelection(&m_ctx, 0, 2));
    EXPECT_EQ(Edges(a), (std::vector<double>{0, 50, 25, 45}));
    EXPECT_EQ(Edges(b), (std::vector<double>{100, 130, 20, 50}));

    // Right edges and lower edges at once: the box is now 0..130, 20..50.
    ASSERT_TRUE(CSelectionAlign::AlignSelection(&m_ctx, 3, 3));
    EXPECT_EQ(Edges(a), (std::vector<double>{80, 130, 30, 50}));
    EXPECT_EQ(Edges(b), (std::vector<double>{100, 130, 20, 50}));
    EXPECT_EQ(m_ctx.m_nChangeCount, 2u);
}

TEST_F(SelectionAlign, TooSmallASelectionDoesNothingWithoutAStep)
{
    CDocData* a = Box(0, 50, 0, 20);
    CDocData* b = Box(100, 130, 40, 70);
    b->SetSelected(0);
    Doc() = LinkObjects({a, b});
    EXPECT_FALSE(CSelectionAlign::AlignSelection(&m_ctx, 1, 0));
    EXPECT_EQ(Edges(b), (std::vector<double>{100, 130, 40, 70}));
    a->SetSelected(0);
    m_ctx.m_rcSelect.SetEmpty();
    EXPECT_FALSE(CSelectionAlign::MirrorSelection(&m_ctx, true, false));
    EXPECT_EQ(m_ctx.m_nChangeCount, 0u);
    EXPECT_EQ(m_ctx.m_pCurrent->m_pOlder, nullptr);
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
