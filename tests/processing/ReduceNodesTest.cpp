// Node reduction. Runs collapse from a kept node P: the run grows node by
// node while it is shorter than the length limit and turns less than the
// angle limit; the nodes strictly inside the run go.
#include "ProcessingTestSupport.h"
#include "processing/PathProc.h"

#include "model/DocContext.h"
#include "model/DocDataGroup.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "platform/Progress.h"

#include <gtest/gtest.h>

#include <numbers>

namespace plat {
namespace {

constexpr double kQuarterTurn = std::numbers::pi / 2.0;

std::vector<XY> Spaced(double step, int count)
{
    std::vector<XY> v;
    for (int i = 0; i < count; ++i)
        v.emplace_back(i * step, 0.0);
    return v;
}

// Nodes 0, 0.25, ..., 2.0 with limit 0.9 (no run lands on the limit):
// from 0 the run reaches 1.0 at node 1.0, so 0.25 takes 0.75 and 0.5 goes;
// from 0.75 likewise up to 1.5; from 1.5 the run 1.75, 2.0 reaches the end
// of the list below the limit, so 1.75 takes the last position, 2.0.
TEST(ReduceNodesInList, QuarterSpacedNodesCollapseAndTheTailRunReachesTheEnd)
{
    DOCNODE* list = MakeNodes(Spaced(0.25, 9));
    CPathProc::ReduceNodesInList(list, 0.9, kQuarterTurn);
    EXPECT_EQ(NodePositions(list), (std::vector<XY>{{0, 0}, {0.75, 0}, {1.5, 0}, {2.0, 0}}));
    EXPECT_EQ(LastNode(list)->m_pNext, nullptr);
    CDocState::FreeNodeList(list);
}

TEST(ReduceNodesInList, TurnLimitKeepsACorner)
{
    // The turn of pi/2 at (0.5, 0) stops the first run there.
    DOCNODE* list = MakeNodes({{0, 0}, {0.25, 0}, {0.5, 0}, {0.5, 0.25}, {0.5, 0.5}});
    CPathProc::ReduceNodesInList(list, 0.9, 1.0);
    EXPECT_EQ(NodePositions(list), (std::vector<XY>{{0, 0}, {0.5, 0}, {0.5, 0.5}}));
    CDocState::FreeNodeList(list);
}

TEST(ReduceNodesInList, LongSegmentsShortLimitsAndZeroAngleChangeNothing)
{
    for (auto [step, length, angle] : {std::tuple{2.0, 0.9, kQuarterTurn}, std::tuple{0.25, 0.0005, kQuarterTurn},
                                       std::tuple{0.25, 0.9, 0.0}}) {
        DOCNODE* list = MakeNodes(Spaced(step, 6));
        CPathProc::ReduceNodesInList(list, length, angle);
        EXPECT_EQ(NodePositions(list), Spaced(step, 6));
        CDocState::FreeNodeList(list);
    }
}

TEST(ReduceNodesInList, RingIsReducedAsItsOpenWalkAndStaysARing)
{
    DOCNODE* list = MakeNodes(Spaced(0.25, 9));
    DOCNODE* last = LastNode(list);
    last->m_pNext = list;
    list->m_pPrev = last;
    CPathProc::ReduceNodesInList(list, 0.9, kQuarterTurn);
    EXPECT_EQ(NodePositions(list), (std::vector<XY>{{0, 0}, {0.75, 0}, {1.5, 0}, {2.0, 0}}));
    EXPECT_EQ(list->m_pPrev->m_pNext, list);
    CDocState::FreeNodeList(list);
}

TEST(ReduceNodesInList, BezierNodeListKeepsItsSegments)
{
    // Dropping nodes of anchor, control, control, anchor groups would leave
    // segments without their controls.
    CDocData* curve = MakeBezier({{0, 0}, {0.1, 0}, {0.2, 0}, {0.3, 0}, {0.4, 0}, {0.5, 0}, {0.6, 0}});
    CPathProc::ReduceNodesInList(curve->m_pNodes, 1.0, kQuarterTurn);
    EXPECT_EQ(CountNodes(curve->m_pNodes), 7);
    delete curve;
}

class ReduceNodesDocument : public testing::Test {
protected:
    void SetUp() override
    {
        m_doc = new CDocListNode;
        m_ctx.m_pCurrent = m_doc;
        m_ctx.m_rcSelect = CGeoBox(0, 10, 0, 10);
        SetProgressSink(&m_progress);
    }
    void TearDown() override
    {
        SetProgressSink(nullptr);
        delete m_doc;
    }

    DOCCONTEXT m_ctx;
    CDocListNode* m_doc = nullptr;
    RecordingProgress m_progress;
};

TEST_F(ReduceNodesDocument, SelectedPolylinesAndGroupChildrenAreReducedOthersNot)
{
    CDocData* line = MakeLine(Spaced(0.25, 9));
    CDocData* unselected = MakeLine(Spaced(0.25, 9));
    unselected->m_bSelected = 0;
    CDocData* rect = new CDocDataRect(CGeoBox(0, 1, 0, 1), nullptr, 255);
    // A rectangle edited into many close nodes, inside a group with a
    // polyline; the same polyline at the top level as a rectangle is left.
    DOCNODE* rectNodes = MakeNodes({{0, 0}, {0.25, 0}, {0.5, 0}, {0.75, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}});
    CDocState::FreeNodeList(rect->m_pNodes);
    rect->m_pNodes = rectNodes;
    CDocData* child = MakeLine(Spaced(0.25, 9));
    CDocData* group = new CDocDataGroup(LinkObjects({rect, child}), &m_ctx);
    CDocData* topRect = new CDocDataRect(CGeoBox(0, 1, 0, 1), nullptr, 255);
    topRect->m_bSelected = 1;
    CDocState::FreeNodeList(topRect->m_pNodes);
    topRect->m_pNodes = MakeNodes(Spaced(0.25, 9));
    m_doc->m_pFirst = LinkObjects({line, unselected, group, topRect});

    CPathProc::ReduceNodes(&m_ctx, 0.9, kQuarterTurn);

    const std::vector<XY> reduced{{0, 0}, {0.75, 0}, {1.5, 0}, {2.0, 0}};
    EXPECT_EQ(NodePositions(line->m_pNodes), reduced);
    EXPECT_DOUBLE_EQ(line->m_rcBound.m_xmax, 2.0);
    EXPECT_EQ(NodePositions(unselected->m_pNodes), Spaced(0.25, 9));
    EXPECT_EQ(NodePositions(child->m_pNodes), reduced);
    // From (0,0) the run reaches (1,0) at 1.0; then the corner turns stop it.
    EXPECT_EQ(NodePositions(rect->m_pNodes), (std::vector<XY>{{0, 0}, {0.75, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}));
    EXPECT_EQ(NodePositions(topRect->m_pNodes), Spaced(0.25, 9));
    // Started with the three selected objects, one step after each; the
    // last step hands the control back to its end position.
    EXPECT_EQ(m_progress.m_upper, 3);
    EXPECT_EQ(m_progress.m_history, (std::vector<int>{0, 1, 2, 3, 0}));
}

TEST_F(ReduceNodesDocument, WithoutAProgressControlTheSelectionIsStillReduced)
{
    SetProgressSink(nullptr);
    CDocData* line = MakeLine(Spaced(0.25, 9));
    CDocData* unselected = MakeLine(Spaced(0.25, 9));
    unselected->m_bSelected = 0;
    m_doc->m_pFirst = LinkObjects({line, unselected});

    CPathProc::ReduceNodes(&m_ctx, 0.9, kQuarterTurn);

    EXPECT_EQ(NodePositions(line->m_pNodes), (std::vector<XY>{{0, 0}, {0.75, 0}, {1.5, 0}, {2.0, 0}}));
    EXPECT_DOUBLE_EQ(line->m_rcBound.m_xmax, 2.0);
    EXPECT_EQ(NodePositions(unselected->m_pNodes), Spaced(0.25, 9));
    EXPECT_TRUE(m_progress.m_history.empty());
}

TEST_F(ReduceNodesDocument, EmptySelectionBoxChangesNothingAndShowsNoProgress)
{
    CDocData* line = MakeLine(Spaced(0.25, 9));
    m_doc->m_pFirst = line;
    m_ctx.m_rcSelect.SetEmpty();
    CPathProc::ReduceNodes(&m_ctx, 0.9, kQuarterTurn);
    EXPECT_EQ(NodePositions(line->m_pNodes), Spaced(0.25, 9));
    EXPECT_TRUE(m_progress.m_history.empty());
}

} // namespace
} // namespace plat
