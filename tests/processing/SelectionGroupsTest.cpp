// Grouping the selection per layer or as one, dissolving selected groups
// and texts and clearing array records: list places, layers, leads, the
// clipboard left alone and one undo step per command.
#include "ProcessingTestSupport.h"
#include "processing/SelectionGroups.h"

#include "model/DocContext.h"
#include "model/DocDataChar.h"
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

    ASSERT_TRUE(CSelectionGroups::GroupSelection(&m_ctx, true));
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

    ASSERT_TRUE(CSelectionGroups::GroupCommand(&m_ctx));
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
    EXPECT_FALSE(CSelectionGroups::GroupCommand(&m_ctx));
    EXPECT_EQ(m_ctx.m_nChangeCount, 0u) << "a refused grouping took an undo step";
    EXPECT_EQ(m_ctx.m_pCurrent->m_pOlder, nullptr);
    EXPECT_EQ(Doc(), a);

    ClearSelectionArrays(Doc(), &m_ctx);
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

    EXPECT_TRUE(UngroupObjects(Doc(), UngroupScope::SelectedGroupsAllLevels));
    ASSERT_EQ(CountObjects(Doc()), 3);
    EXPECT_EQ(Doc(), deep);
    EXPECT_EQ(deep->m_pNext, beside);
    EXPECT_EQ(beside->m_pNext, last);
    EXPECT_EQ(last->m_pPrev, beside);
    EXPECT_EQ(m_ctx.m_nChangeCount, 0u);
}

TEST_F(SelectionGroups, OneObjectMakesAGroupOfOneAndACopyMadeBeforePastesAfterIt)
{
    CDocData* only = Line(0, 3, 1);
    Doc() = only;
    ASSERT_TRUE(CSelectionGroups::GroupCommand(&m_ctx));
    ASSERT_EQ(CountObjects(Doc()), 1);
    EXPECT_EQ(Doc()->m_nType, static_cast<std::uint32_t>(MT_GROUP));
    EXPECT_EQ(Children(Doc()), only);
    EXPECT_EQ(only->m_pNext, nullptr);
    EXPECT_EQ(only->m_pPrev, nullptr);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    DeleteObjectList(Doc());

    // Layers 3 (colour 0x30), 7 unselected between, 5 (0x50).
    m_ctx.m_rcSelect.SetEmpty();
    CDocData* a = Line(0, 3, 1);
    CDocData* keep = Line(20, 7, 0);
    CDocData* b = Line(40, 5, 1);
    Doc() = LinkObjects({a, keep, b});
    CPathProc::CopySelection(&m_ctx, -1);
    CDocData* held = m_settings.m_pClipboard;
    ASSERT_EQ(CountObjects(held), 2);
    const std::uint64_t changes = m_ctx.m_nChangeCount;

    ASSERT_TRUE(CSelectionGroups::GroupCommand(&m_ctx));
    EXPECT_EQ(m_ctx.m_nChangeCount, changes + 1) << "the command took more than one step";
    EXPECT_EQ(m_settings.m_pClipboard, held) << "grouping emptied the clipboard";
    ASSERT_EQ(CountObjects(Doc()), 2);
    CDocData* group = Doc();
    EXPECT_EQ(group->m_nLayer, 3);
    EXPECT_EQ(group->m_nColor, 0x30u);
    EXPECT_EQ(Children(group), a);
    EXPECT_EQ(a->m_pNext, b);
    EXPECT_EQ(b->m_nLayer, 3);
    EXPECT_EQ(b->m_nColor, 0x30u);
    EXPECT_EQ(group->m_pNext, keep);

    // One undo gives back objects, order and layers.
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    std::vector<std::int32_t> layers;
    std::vector<double> lefts;
    for (const CDocData* o = Doc(); o != nullptr; o = o->m_pNext) {
        EXPECT_EQ(o->m_nType, static_cast<std::uint32_t>(MT_LINE));
        layers.push_back(o->m_nLayer);
        lefts.push_back(o->GetBoundRect().m_xmin);
    }
    EXPECT_EQ(layers, (std::vector<std::int32_t>{3, 7, 5}));
    EXPECT_EQ(lefts, (std::vector<double>{0, 20, 40}));

    // The copy still pastes, as it was taken.
    CPathProc::PasteSelection(&m_ctx, 0);
    ASSERT_EQ(CountObjects(Doc()), 5);
    EXPECT_EQ(Doc()->m_pNext->m_pNext->m_pNext->m_nLayer, 3);
    EXPECT_EQ(Doc()->m_pNext->m_pNext->m_pNext->m_pNext->m_nLayer, 5);
}

TEST_F(SelectionGroups, TheGroupTakesTheLongestLeadAsAutomaticAndHandsItToEveryChild)
{
    CDocData* a = Line(0, 1, 1);
    CDocData* b = Line(20, 1, 1);
    a->m_pLeadInOut = new LEADINOUT;
    a->m_pLeadInOut->m_nKind = 0;
    a->m_pLeadInOut->m_bLeadIn = 1;
    a->m_pLeadInOut->m_dInLength = 5.0;
    b->m_pLeadInOut = new LEADINOUT;
    b->m_pLeadInOut->m_nKind = 1;
    b->m_pLeadInOut->m_bLeadOut = 1;
    b->m_pLeadInOut->m_dOutLength = 8.0;
    Doc() = LinkObjects({a, b});

    ASSERT_TRUE(CSelectionGroups::GroupCommand(&m_ctx));
    const LEADINOUT* own = Doc()->m_pLeadInOut;
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->m_nKind, 2);
    EXPECT_EQ(own->m_dOutLength, 8.0);
    EXPECT_EQ(own->m_dInLength, 0.0);
    for (const CDocData* c : {a, b}) {
        ASSERT_NE(c->m_pLeadInOut, nullptr);
        EXPECT_EQ(c->m_pLeadInOut->m_nKind, 2);
        EXPECT_EQ(c->m_pLeadInOut->m_bLeadOut, 1);
        EXPECT_EQ(c->m_pLeadInOut->m_dOutLength, 8.0);
        EXPECT_EQ(c->m_pLeadInOut->m_dInLength, 0.0) << "a child kept its own record";
    }
}

TEST_F(SelectionGroups, UngroupingSplitsTextsOneLevelThenAllAndClearsEmptiesWithOneStepEach)
{
    // T { c1, c2 }, G1 { x, G2 { y } }, E {} unselected, H { z } unselected
    // with z alone selected.
    CDocData* c1 = Line(0, 1, 1);
    CDocData* c2 = Line(20, 1, 1);
    auto* text = new CDocDataChar(LinkObjects({c1, c2}), true, &m_ctx);
    CDocData* x = Line(40, 1, 1);
    CDocData* y = Line(60, 1, 1);
    auto* g2 = new CDocDataGroup(y, &m_ctx);
    auto* g1 = new CDocDataGroup(LinkObjects({x, g2}), &m_ctx);
    auto* empty = new CDocDataGroup();
    empty->SetSelected(0);
    CDocData* z = Line(80, 1, 1);
    auto* h = new CDocDataGroup(z, &m_ctx);
    h->m_bSelected = 0;
    Doc() = LinkObjects({text, g1, empty, h});

    ASSERT_TRUE(CSelectionGroups::UngroupCommand(&m_ctx, false));
    EXPECT_EQ(m_ctx.m_nChangeCount, 1u);
    std::vector<CDocData*> order;
    for (CDocData* o = Doc(); o != nullptr; o = o->m_pNext) {
        order.push_back(o);
        if (o->m_pNext != nullptr) {
            EXPECT_EQ(o->m_pNext->m_pPrev, o);
        }
    }
    EXPECT_EQ(order, (std::vector<CDocData*>{c1, c2, x, g2, h})) << "one level only, the empty group gone";

    ASSERT_TRUE(CSelectionGroups::UngroupCommand(&m_ctx, true));
    EXPECT_EQ(m_ctx.m_nChangeCount, 2u);
    order.clear();
    for (CDocData* o = Doc(); o != nullptr; o = o->m_pNext)
        order.push_back(o);
    ASSERT_EQ(order.size(), 5u);
    EXPECT_EQ(order[3], y);
    EXPECT_EQ(order[4], h) << "an unselected group holding a selected child was dissolved";

    // Nothing left to dissolve: no step.
    EXPECT_FALSE(CSelectionGroups::UngroupCommand(&m_ctx, true));
    EXPECT_EQ(m_ctx.m_nChangeCount, 2u);
    m_ctx.m_rcSelect.SetEmpty();
    EXPECT_FALSE(CSelectionGroups::GroupCommand(&m_ctx));
    EXPECT_EQ(m_ctx.m_nChangeCount, 2u);
}

} // namespace
} // namespace plat
