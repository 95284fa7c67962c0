// Undo history of the document and the whole-document selection services.
//
// Invariants checked here: the current snapshot is always the live document;
// a push keeps the state before an edit as the current node's older
// neighbour; at most 31 older snapshots survive a push; a push after an undo
// drops every redo step; undo and redo only move the current pointer.
#include "TestDocData.h"

#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/ViewWindow.h"

#include <gtest/gtest.h>

using plat::LinkObjects;
using plat::ScopedTestCopiers;
using plat::TestDocData;

namespace {

class HistoryTest : public ::testing::Test {
protected:
    HistoryTest() : m_copiers({MT_LINE})
    {
        m_ctx.m_pCurrent = new CDocListNode;
        m_ctx.m_pCurrent->m_pFirst = &(new TestDocData)->WithNodes({{0, 0}, {10, 0}});
    }
    ~HistoryTest() override
    {
        CDocListNode* oldest = m_ctx.m_pCurrent;
        while (oldest != nullptr && oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
    }

    CDocData* Live() { return m_ctx.m_pCurrent->m_pFirst; }
    // An edit as the tools make one: push, then change the live objects.
    void Edit(int layer)
    {
        ASSERT_TRUE(CDocState::PushHistory(&m_ctx));
        Live()->m_nLayer = layer;
    }
    int OlderCount() const
    {
        int n = 0;
        for (CDocListNode* s = m_ctx.m_pCurrent->m_pOlder; s != nullptr; s = s->m_pOlder)
            ++n;
        return n;
    }
    int NewerCount() const
    {
        int n = 0;
        for (CDocListNode* s = m_ctx.m_pCurrent->m_pNewer; s != nullptr; s = s->m_pNewer)
            ++n;
        return n;
    }

    ScopedTestCopiers m_copiers;
    DOCCONTEXT m_ctx;
};

} // namespace

TEST_F(HistoryTest, PushKeepsTheStateBeforeTheEditBehindTheLiveNode)
{
    CDocListNode* live = m_ctx.m_pCurrent;
    ASSERT_TRUE(CDocState::PushHistory(&m_ctx));
    EXPECT_EQ(m_ctx.m_pCurrent, live);
    ASSERT_NE(live->m_pOlder, nullptr);
    EXPECT_EQ(live->m_pOlder->m_pNewer, live);
    EXPECT_EQ(live->m_pOlder->m_pOlder, nullptr);

    Live()->m_pNodes->m_x = 99;
    EXPECT_EQ(live->m_pOlder->m_pFirst->m_pNodes->m_x, 0);

    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(Live()->m_pNodes->m_x, 0);
    EXPECT_FALSE(CDocState::Undo(&m_ctx));
    ASSERT_TRUE(CDocState::Redo(&m_ctx));
    EXPECT_EQ(m_ctx.m_pCurrent, live);
    EXPECT_EQ(Live()->m_pNodes->m_x, 99);
    EXPECT_FALSE(CDocState::Redo(&m_ctx));
}

TEST_F(HistoryTest, UndoAndRedoWalkTheStepsInOrder)
{
    for (int layer = 1; layer <= 3; ++layer)
        Edit(layer);
    EXPECT_EQ(Live()->m_nLayer, 3);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(Live()->m_nLayer, 2);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(Live()->m_nLayer, 1);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(Live()->m_nLayer, 0);
    EXPECT_FALSE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(NewerCount(), 3);
    ASSERT_TRUE(CDocState::Redo(&m_ctx));
    ASSERT_TRUE(CDocState::Redo(&m_ctx));
    EXPECT_EQ(Live()->m_nLayer, 2);
}

TEST_F(HistoryTest, ANewEditAfterUndoDropsTheRedoSteps)
{
    Edit(1);
    Edit(2);
    Edit(3);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(Live()->m_nLayer, 1);
    EXPECT_EQ(NewerCount(), 2);

    Edit(7);
    EXPECT_EQ(NewerCount(), 0);
    EXPECT_EQ(m_ctx.m_pCurrent->m_pNewer, nullptr);
    EXPECT_FALSE(CDocState::Redo(&m_ctx));
    // Before 1 and before 7 (the state after 1) remain.
    EXPECT_EQ(OlderCount(), 2);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(Live()->m_nLayer, 1);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(Live()->m_nLayer, 0);
}

TEST_F(HistoryTest, AtMostThirtyOneOlderSnapshotsSurviveAndTheOldestGoesFirst)
{
    // The live document carries the number of edits made so far.
    for (int layer = 1; layer <= 31; ++layer) {
        Edit(layer);
        EXPECT_EQ(OlderCount(), layer);
    }
    for (int layer = 32; layer <= 40; ++layer) {
        Edit(layer);
        EXPECT_EQ(OlderCount(), 31) << "after edit " << layer;
    }
    // The oldest kept snapshot is the state before edit 10: nine were dropped.
    int undone = 0;
    while (CDocState::Undo(&m_ctx))
        ++undone;
    EXPECT_EQ(undone, 31);
    EXPECT_EQ(Live()->m_nLayer, 9);
    EXPECT_EQ(m_ctx.m_pCurrent->m_pOlder, nullptr);
}

TEST_F(HistoryTest, PushAtTheLimitAfterUndoCountsOnlyTheOlderSide)
{
    for (int layer = 1; layer <= 35; ++layer)
        Edit(layer);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(OlderCount(), 26);
    Edit(100);
    EXPECT_EQ(OlderCount(), 27);
    EXPECT_EQ(NewerCount(), 0);
}

TEST(History, WithoutAContextOrSnapshotNothingHappens)
{
    EXPECT_FALSE(CDocState::PushHistory(nullptr));
    EXPECT_FALSE(CDocState::Undo(nullptr));
    EXPECT_FALSE(CDocState::Redo(nullptr));
    DOCCONTEXT ctx;
    EXPECT_FALSE(CDocState::PushHistory(&ctx));
    EXPECT_FALSE(CDocState::Undo(&ctx));
    EXPECT_FALSE(CDocState::Redo(&ctx));
    CDocListNode* none = nullptr;
    CDocState::DeleteHistoryChain(none);
    EXPECT_EQ(none, nullptr);
}

TEST(History, DeleteHistoryChainFromTheMiddleCutsTheOlderSideFree)
{
    auto* a = new CDocListNode;
    auto* b = new CDocListNode;
    auto* c = new CDocListNode;
    a->m_pNewer = b;
    b->m_pOlder = a;
    b->m_pNewer = c;
    c->m_pOlder = b;
    CDocListNode* head = b;
    CDocState::DeleteHistoryChain(head);
    EXPECT_EQ(head, nullptr);
    EXPECT_EQ(a->m_pNewer, nullptr);
    delete a;
}

// The document's modified flag compares this count with its value at the
// last save: a step that is not taken must not raise it, or a closed
// document would ask about changes that were never made.
TEST_F(HistoryTest, EveryStepTakenRaisesTheChangeCountAndRefusedStepsDoNot)
{
    EXPECT_EQ(m_ctx.m_nChangeCount, 0u);
    EXPECT_FALSE(CDocState::Undo(&m_ctx));
    EXPECT_FALSE(CDocState::Redo(&m_ctx));
    EXPECT_EQ(m_ctx.m_nChangeCount, 0u);
    Edit(1);
    Edit(2);
    EXPECT_EQ(m_ctx.m_nChangeCount, 2u);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    ASSERT_TRUE(CDocState::Redo(&m_ctx));
    EXPECT_EQ(m_ctx.m_nChangeCount, 4u);
    EXPECT_FALSE(CDocState::Redo(&m_ctx));
    m_ctx.NoteChange();
    EXPECT_EQ(m_ctx.m_nChangeCount, 5u);

    DOCCONTEXT empty;
    EXPECT_FALSE(CDocState::PushHistory(&empty));
    EXPECT_EQ(empty.m_nChangeCount, 0u);
}

class SelectAllTest : public ::testing::Test {
protected:
    SelectAllTest()
    {
        m_doc.m_pFirst = LinkObjects({&(new TestDocData)->WithNodes({{100, 200}, {300, 250}}),
                                      &(new TestDocData)->WithNodes({{50, 220}, {120, 400}})});
        m_ctx.m_pCurrent = &m_doc;
        m_ctx.m_pView = &m_view;
        m_ctx.m_dZoom = 0.5;
        m_view.m_scroll = {10, 20};
    }
    CDocListNode m_doc;
    DOCCONTEXT m_ctx;
    plat::RecordingView m_view;
    CDocState m_tool;
};

TEST_F(SelectAllTest, SelectingBuildsTheSelectionBoxAndRepaintsItGrownByFifteenPixels)
{
    m_tool.SelectAll(&m_ctx, true);
    EXPECT_EQ(m_tool.CountSelected(&m_ctx), 2u);
    EXPECT_EQ(m_ctx.m_rcSelect.m_xmin, 50);
    EXPECT_EQ(m_ctx.m_rcSelect.m_xmax, 300);
    EXPECT_EQ(m_ctx.m_rcSelect.m_ymin, 200);
    EXPECT_EQ(m_ctx.m_rcSelect.m_ymax, 400);
    // Client box: x 25-10 .. 150-10, y 100-20 .. 200-20; grown by 15.
    ASSERT_EQ(m_view.m_invalidated.size(), 1u);
    EXPECT_EQ(m_view.m_invalidated[0], (plat::RECT{0, 65, 155, 195}));
    EXPECT_TRUE(m_view.m_lastErase);

    // Nothing changes, nothing is repainted.
    m_tool.SelectAll(&m_ctx, true);
    EXPECT_EQ(m_view.m_invalidated.size(), 1u);
}

TEST_F(SelectAllTest, DeselectingEmptiesTheBoxAndRepaintsTheOldArea)
{
    m_tool.SelectAll(&m_ctx, true);
    m_view.m_invalidated.clear();
    m_tool.SelectAll(&m_ctx, false);
    EXPECT_EQ(m_tool.CountSelected(&m_ctx), 0u);
    EXPECT_TRUE(m_ctx.m_rcSelect.IsEmpty());
    ASSERT_EQ(m_view.m_invalidated.size(), 1u);
    // The old area alone: the empty box must not drag the area to -1.
    EXPECT_EQ(m_view.m_invalidated[0], (plat::RECT{0, 65, 155, 195}));
}

TEST_F(SelectAllTest, WorksWithoutAViewAndWithoutASnapshot)
{
    m_ctx.m_pView = nullptr;
    m_tool.SelectAll(&m_ctx, true);
    EXPECT_EQ(m_tool.CountSelected(&m_ctx), 2u);
    m_ctx.m_pCurrent = nullptr;
    m_tool.SelectAll(&m_ctx, true);
    EXPECT_TRUE(m_ctx.m_rcSelect.IsEmpty());
    EXPECT_EQ(m_tool.CountSelected(&m_ctx), 0u);
    m_tool.SelectAll(nullptr, true);
    EXPECT_EQ(m_tool.CountSelected(nullptr), 0u);
}

namespace {

// Sets the history budget for a scope and restores the default after it.
class ScopedBudget {
public:
    explicit ScopedBudget(std::size_t bytes) { CDocState::SetHistoryBudget(bytes); }
    ~ScopedBudget() { CDocState::SetHistoryBudget(0); }
    ScopedBudget(const ScopedBudget&) = delete;
    ScopedBudget& operator=(const ScopedBudget&) = delete;
};

} // namespace

// Every snapshot here holds the same bytes s. With a budget of 5 s a push
// keeps at most three older snapshots beside the live one and its new copy,
// so four undo steps remain; the oldest go first. Below two snapshots only
// the push's own copy stays: an edit can always be undone once.
TEST_F(HistoryTest, ASmallBudgetDropsTheOldestStepsFirstAndKeepsTheNewest)
{
    const std::size_t s = CDocState::SnapshotBytes(*m_ctx.m_pCurrent);
    ASSERT_GT(s, sizeof(CDocListNode));
    const ScopedBudget budget(5 * s);
    for (int layer = 1; layer <= 10; ++layer)
        Edit(layer);
    EXPECT_EQ(OlderCount(), 4);
    int undone = 0;
    while (CDocState::Undo(&m_ctx))
        ++undone;
    EXPECT_EQ(undone, 4);
    EXPECT_EQ(Live()->m_nLayer, 6) << "the state before edit 7";

    CDocState::SetHistoryBudget(s);
    Edit(20);
    Edit(21);
    EXPECT_EQ(OlderCount(), 1);
    EXPECT_EQ(NewerCount(), 0);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(Live()->m_nLayer, 20);
}

// An edit that turns out to change nothing takes its step back: the redo
// steps and the oldest step the push dropped return, and the change count
// (the modified flag) is as before.
TEST_F(HistoryTest, AWithdrawnStepGivesBackTheRedoSideTheOldestStepAndTheChangeCount)
{
    for (int layer = 1; layer <= 33; ++layer)
        Edit(layer);
    ASSERT_EQ(OlderCount(), 31);
    std::uint64_t changes = m_ctx.m_nChangeCount;
    {
        CDocState::PendingStep step(&m_ctx);
        ASSERT_TRUE(step.Taken());
        EXPECT_EQ(OlderCount(), 31);
        step.Withdraw();
        EXPECT_FALSE(step.Taken());
    }
    EXPECT_EQ(m_ctx.m_nChangeCount, changes);
    EXPECT_EQ(OlderCount(), 31);
    while (CDocState::Undo(&m_ctx)) {
    }
    EXPECT_EQ(Live()->m_nLayer, 2) << "the state before edit 3 is back";

    while (CDocState::Redo(&m_ctx)) {
    }
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    changes = m_ctx.m_nChangeCount;
    {
        CDocState::PendingStep step(&m_ctx);
        EXPECT_EQ(NewerCount(), 0);
        step.Withdraw();
    }
    EXPECT_EQ(NewerCount(), 2);
    EXPECT_EQ(m_ctx.m_nChangeCount, changes);
    ASSERT_TRUE(CDocState::Redo(&m_ctx));
    ASSERT_TRUE(CDocState::Redo(&m_ctx));
    EXPECT_EQ(Live()->m_nLayer, 33);

    // Kept: an ordinary step.
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    {
        CDocState::PendingStep step(&m_ctx);
        Live()->m_nLayer = 50;
    }
    EXPECT_EQ(NewerCount(), 0);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_EQ(Live()->m_nLayer, 32);
}

// Tools that point into the current snapshot let go when it moves; only
// undo and redo move it, so only they raise the count the view watches.
TEST_F(HistoryTest, OnlyUndoAndRedoRaiseTheHistoryMoveCount)
{
    Edit(1);
    EXPECT_EQ(m_ctx.m_nHistoryMoves, 0u);
    ASSERT_TRUE(CDocState::Undo(&m_ctx));
    EXPECT_FALSE(CDocState::Undo(&m_ctx));
    ASSERT_TRUE(CDocState::Redo(&m_ctx));
    EXPECT_FALSE(CDocState::Redo(&m_ctx));
    EXPECT_EQ(m_ctx.m_nHistoryMoves, 2u);
}
