#include "model/DocState.h"
#include "model/NodeList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

DOCNODE* MakeList(const std::vector<std::tuple<double, double, int>>& pts)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (auto [x, y, k] : pts) {
        last = AppendNode(last, x, y, static_cast<std::uint8_t>(k));
        if (head == nullptr)
            head = last;
    }
    return head;
}

void CloseRing(DOCNODE* head)
{
    DOCNODE* last = LastNode(head);
    last->m_pNext = head;
    head->m_pPrev = last;
}

std::vector<std::pair<double, double>> Points(const DOCNODE* head)
{
    std::vector<std::pair<double, double>> out;
    for (const DOCNODE* n = head; n != nullptr; n = n->m_pNext) {
        out.emplace_back(n->m_x, n->m_y);
        if (n->m_pNext == head)
            break;
    }
    return out;
}

} // namespace

TEST(NodeList, CopyOfARingIsAnOpenListOfTheSameNodes)
{
    DOCNODE* ring = MakeList({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
    ring->m_pNext->m_nSelect = NODE_ACTIVE;
    CloseRing(ring);
    DOCNODE* copy = CopyPointList(ring);
    ASSERT_EQ(CountNodes(copy), 3);
    EXPECT_EQ(copy->m_pPrev, nullptr);
    EXPECT_EQ(LastNode(copy)->m_pNext, nullptr);
    EXPECT_EQ(copy->m_pNext->m_nSelect, NODE_ACTIVE);
    EXPECT_EQ(Points(copy), Points(ring));
    EXPECT_EQ(CopyPointList(nullptr), nullptr);
    CDocState::FreeNodeList(copy);
    EXPECT_EQ(copy, nullptr);
    CDocState::FreeNodeList(ring); // a ring is cut open, each node freed once
    EXPECT_EQ(ring, nullptr);
}

TEST(NodeList, FreeNodeListStopsOnARingWithoutBackLink)
{
    DOCNODE* ring = MakeList({{0, 0, 0}, {1, 0, 0}});
    LastNode(ring)->m_pNext = ring; // head->m_pPrev left null
    CDocState::FreeNodeList(ring);
    EXPECT_EQ(ring, nullptr);
    DOCNODE* none = nullptr;
    CDocState::FreeNodeList(none);
}

TEST(NodeList, RemoveDuplicatePointsComparesKindAndTolerance)
{
    DOCNODE* head = MakeList({{0, 0, 0}, {0.0005, 0, 0}, {1, 0, 0}, {1, 0, 2}, {1, 0, 2}});
    RemoveDuplicatePoints(head, 0.001);
    // The near anchor goes; the control on the anchor stays (other kind); the
    // repeated control goes.
    EXPECT_EQ(CountNodes(head), 3);
    EXPECT_EQ(Points(head), (std::vector<std::pair<double, double>>{{0, 0}, {1, 0}, {1, 0}}));
    EXPECT_EQ(head->m_pNext->m_pNext->m_nKind, NODE_CONTROL_OUT);
    EXPECT_EQ(LastNode(head)->m_pNext, nullptr);
    CDocState::FreeNodeList(head);
}

TEST(NodeList, RemoveDuplicatePointsOnARingKeepsTheHeadAndEnds)
{
    DOCNODE* ring = MakeList({{0, 0, 0}, {5, 0, 0}, {0, 0, 0}});
    CloseRing(ring);
    RemoveDuplicatePoints(ring, 0.001);
    EXPECT_EQ(CountNodes(ring), 3);
    // All equal: everything but the head goes, and the ring closes on the head.
    DOCNODE* same = MakeList({{2, 2, 0}, {2, 2, 0}, {2, 2, 0}});
    CloseRing(same);
    RemoveDuplicatePoints(same, 0.001);
    EXPECT_EQ(CountNodes(same), 1);
    CDocState::FreeNodeList(ring);
    CDocState::FreeNodeList(same);
}

TEST(NodeList, CompactNodeListDropsControlsThatSitOnTheirAnchors)
{
    DOCNODE* head = MakeList({{0, 0, 0}, {0, 0.0005, 2}, {10, 0, 1}, {10, 0, 0}, {10, 0, 2}, {20, 0, 1}, {20, 0, 0}});
    ASSERT_TRUE(CompactNodeList(head));
    EXPECT_EQ(Points(head), (std::vector<std::pair<double, double>>{{0, 0}, {10, 0}, {20, 0}}));
    EXPECT_EQ(head->m_pPrev, nullptr);
    EXPECT_EQ(head->m_pNext->m_pPrev, head);
    CDocState::FreeNodeList(head);
}

TEST(NodeList, CompactNodeListRefusesAControlTwoThousandthsAway)
{
    DOCNODE* head = MakeList({{0, 0, 0}, {0.002, 0, 2}, {10, 0, 1}, {10, 0, 0}});
    EXPECT_FALSE(CompactNodeList(head));
    EXPECT_EQ(CountNodes(head), 4);
    CDocState::FreeNodeList(head);
}

TEST(NodeList, CompactNodeListMovesTheHeadOffALeadingControl)
{
    DOCNODE* head = MakeList({{0, 0, 1}, {0, 0, 0}, {0, 0, 2}});
    DOCNODE* anchor = head->m_pNext;
    ASSERT_TRUE(CompactNodeList(head));
    EXPECT_EQ(head, anchor);
    EXPECT_EQ(head->m_pPrev, nullptr);
    EXPECT_EQ(head->m_pNext, nullptr);
    CDocState::FreeNodeList(head);
}

TEST(NodeList, CompactNodeListLeavesARingAlone)
{
    DOCNODE* ring = MakeList({{0, 0, 0}, {0, 0, 2}, {0, 0, 1}});
    CloseRing(ring);
    DOCNODE* before = ring;
    EXPECT_FALSE(CompactNodeList(ring));
    EXPECT_EQ(ring, before);
    EXPECT_EQ(CountNodes(ring), 3);
    CDocState::FreeNodeList(ring);
}

TEST(DocState, InflateRectGrowsEverySide)
{
    CGeoBox b(10, 20, 30, 40);
    CDocState::InflateRect(b, 2.5);
    EXPECT_EQ(b.m_xmin, 7.5);
    EXPECT_EQ(b.m_xmax, 22.5);
    EXPECT_EQ(b.m_ymin, 27.5);
    EXPECT_EQ(b.m_ymax, 42.5);
}

// Nodes come from a pool of large blocks: lists longer than a block, with
// every other node freed and the places taken again by a copy, must keep
// every node's own values and links.
TEST(NodeList, LongListsSurviveFreeingAndReuseAcrossPoolBlocks)
{
    constexpr int kCount = 500000; // more than one 16 MiB block of nodes
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (int i = 0; i < kCount; ++i) {
        // Every odd node repeats its predecessor, so it is removed below.
        last = AppendNode(last, i - i % 2, 7.0);
        if (head == nullptr)
            head = last;
    }
    RemoveDuplicatePoints(head, 0.5);
    ASSERT_EQ(CountNodes(head), kCount / 2);
    DOCNODE* copy = CopyPointList(head);
    ASSERT_EQ(CountNodes(copy), kCount / 2);
    int i = 0;
    for (DOCNODE *a = head, *b = copy; a != nullptr; a = a->m_pNext, b = b->m_pNext, i += 2) {
        ASSERT_NE(a, b);
        ASSERT_EQ(a->m_x, i);
        ASSERT_EQ(b->m_x, i);
        ASSERT_EQ(b->m_y, 7.0);
        ASSERT_EQ(b->m_pNext == nullptr, a->m_pNext == nullptr);
    }
    CDocState::FreeNodeList(head);
    CDocState::FreeNodeList(copy);
    // After everything was freed the pool starts over and still works.
    DOCNODE* again = AppendNode(nullptr, 3.0, 4.0);
    EXPECT_EQ(again->m_y, 4.0);
    CDocState::FreeNodeList(again);
}

TEST(NodeList, NodesOfAStockLinkLikeAppendedOnesAndOutliveIt)
{
    // Two lists drawn alternately from one stock, over several of its
    // batches and into the middle of a list: links, kinds and values as
    // AppendNode gives them. The nodes are freed after the stock ends; a
    // node taken afterwards comes from a pool that was emptied cleanly.
    DOCNODE* a = nullptr;
    DOCNODE* b = nullptr;
    {
        NodeStock stock;
        DOCNODE* aLast = nullptr;
        DOCNODE* bLast = nullptr;
        for (int i = 0; i < 300; ++i) {
            aLast = stock.Append(aLast, i, 1.0, NODE_CONTROL_IN, NODE_SELECTED);
            bLast = stock.Append(bLast, -i, 2.0);
            if (a == nullptr) {
                a = aLast;
                b = bLast;
            }
        }
        stock.Append(a, 0.5, 1.0); // between the first two nodes
    }
    ASSERT_EQ(CountNodes(a), 301);
    ASSERT_EQ(CountNodes(b), 300);
    EXPECT_EQ(a->m_pNext->m_x, 0.5);
    EXPECT_EQ(a->m_pNext->m_pNext->m_x, 1.0);
    EXPECT_EQ(a->m_pNext->m_pNext->m_pPrev, a->m_pNext);
    int i = 0;
    for (const DOCNODE* n = b; n != nullptr; n = n->m_pNext, ++i) {
        ASSERT_EQ(n->m_x, -i);
        ASSERT_EQ(n->m_nKind, NODE_ANCHOR);
        ASSERT_EQ(n->m_pPrev == nullptr, i == 0);
    }
    EXPECT_EQ(LastNode(a)->m_nKind, NODE_CONTROL_IN);
    EXPECT_EQ(LastNode(a)->m_nSelect, NODE_SELECTED);
    CDocState::FreeNodeList(a);
    CDocState::FreeNodeList(b);
    DOCNODE* again = AppendNode(nullptr, 3.0, 4.0);
    EXPECT_EQ(again->m_y, 4.0);
    CDocState::FreeNodeList(again);
}
