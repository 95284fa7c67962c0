// Grouping the selection per layer or as one, dissolving selected groups
// and clearing array records: list places, layers, the clipboard left alone
// and undo steps.
#include "ProcessingTestSupport.h"
#include "processing/SelectionGroups.h"

#include "model/DocContext.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "processing/PathProc.h"
#include "settings/SoftwareSettings.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

class SelectionGroups : public testing::Test {
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
        DeleteObjectList(m_settings.m_pClipboard);
    }
    CDocData* Line(double x, std::int32_t layer, std::uint8_t selected)
    {
        CDocData* line = MakeLine({{x, 0}, {x + 10, 10}}, layer);
        line->m_nColor = static_cast<std::uint32_t>(layer) * 0x10;
        line->SetSelected(selected);
        line->RecalcBoundRect(&m_ctx);
        if (selected != 0)
            m_ctx.m_rcSelect.Union(line->GetBoundRect());
        return line;
    }
    CDocData*& Doc() { return m_ctx.m_pCurrent->m_pFirst; }
    static CDocData* Children(CDocData* o) { return *o->ChildList(); }

    SoftwareSettings m_settings;
    DOCCONTEXT m_ctx;
};

TEST_F(SelectionGroups, PerLayerGroupsSitAtTheirFirstMembersPlaceAndLeaveTheClipboard)
{
    CDocData* a = Line(0, 1, 1);
    CDocData* keep = Line(20, 5, 0);
    CDocData* b = Line(40, 2, 1);
    CDocData* c = Line(60, 1, 1);
    Doc() = LinkObjects({a, keep, b, c});
    CDocData* held = MakeLine({{0, 0}, {1, 1}});
    m_settings.m_pClipboard = held;

    ASSERT_TRUE(CSelectionGroups::GroupSelection(&m_ctx, true, false));
    ASSERT_EQ(CountObjects(Doc()), 3);
    CDocData* first = Doc();
    ASSERT_EQ(first->m_nType, static_cast<std::uint32_t>(MT_GROUP));
    EXPECT_EQ(Children(first), a);
    EXPECT_EQ(a->m_pNext, c);
    EXPECT_EQ(first->m_pNext, keep);
    ASSERT_EQ(keep->m_pNext->m_nType, static_cast<std::uint32_t>(MT_GROUP));
    EXPECT_EQ(Children(keep->m_pNext), b);
    EXPECT_EQ(keep->m_pNext->m_pPrev, keep);
    EXPECT_EQ(m_settings.m_pClipboard, held);
    EXPECT_EQ(m_ctx.m_nChangeCount, 0u) << "grouping without a step took one";
}

TEST_F(SelectionGroups, OneGroupTakesTheFirstLayerAndNestedSelectedGroupsDissolve)
{
    CDocData* inner = Line(0, 3, 1);
    auto* nested = new CDocDataGroup(inner, &m_ctx);
    CDocData* other = Line(20, 5, 1);
    Doc() = LinkObjects({nested, other});
    m_ctx.m_rcSelect = CGeoBox(0, 30, 0, 10);

    ASSERT_TRUE(CSelectionGroups::GroupSelection(&m_ctx, false));
    ASSERT_EQ(CountObjects(Doc()), 1);
    EXPECT_EQ(m_ctx.m_nChangeCount, 1u);
    EXPECT_EQ(Children(Doc()), inner) << "the selected group inside was kept";
    EXPECT_EQ(other->m_nLayer, 3);
}

TEST_F(SelectionGroups, ArrayRecordsBlockGroupingUntilCleared)
{
    CDocData* a = Line(0, 1, 1);
    CDocData* b = Line(20, 1, 0);
    a->m_pArray = new ARRAYREC;
    a->m_pArray->m_nCols = 3;
    a->m_pArray->m_dDx = 100;
    b->m_pArray = new ARRAYREC;
    Doc() = LinkObjects({a, b});
    a->RecalcBoundRect(&m_ctx);
    EXPECT_FALSE(CSelectionGroups::GroupSelection(&m_ctx, true));
    EXPECT_EQ(m_ctx.m_nChangeCount, 1u) << "the step stays when grouping is refused";

    CSelectionGroups::ClearSelectionArrays(&m_ctx);
    EXPECT_EQ(a->m_pArray, nullptr);
    EXPECT_NE(b->m_pArray, nullptr) << "an unselected object lost its record";
    EXPECT_DOUBLE_EQ(a->GetBoundRect().Width(), 10.0);
    EXPECT_TRUE(CSelectionGroups::GroupSelection(&m_ctx, true));
}

TEST_F(SelectionGroups, UngroupingSelectedGroupsSplicesEveryLevelAndDropsEmptyGroups)
{
    CDocData* deep = Line(0, 1, 1);
    auto* innerGroup = new CDocDataGroup(deep, &m_ctx);
    CDocData* beside = Line(20, 1, 1);
    innerGroup->m_pNext = beside;
    beside->m_pPrev = innerGroup;
    auto* outer = new CDocDataGroup(innerGroup, &m_ctx);
    auto* empty = new CDocDataGroup();
    empty->SetSelected(0);
    CDocData* last = Line(40, 1, 0);
    Doc() = LinkObjects({outer, empty, last});

    CSelectionGroups::UngroupSelectedGroups(&m_ctx);
    ASSERT_EQ(CountObjects(Doc()), 3);
    EXPECT_EQ(Doc(), deep);
    EXPECT_EQ(deep->m_pNext, beside);
    EXPECT_EQ(beside->m_pNext, last);
    EXPECT_EQ(last->m_pPrev, beside);
    EXPECT_EQ(m_ctx.m_nChangeCount, 0u);
}

} // namespace
} // namespace plat
