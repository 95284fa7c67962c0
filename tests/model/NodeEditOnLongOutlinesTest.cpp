// Node moves and deletions on long outlines are done in one pass. Each case
// here runs the straightforward form of the operation (a search per moved
// node, a recount and a walk to the end per deleted node) beside the object's
// own on random outlines, and both must leave the same nodes.
#include "model/CurveGeometry.h"
#include "model/DocDataBezier.h"
#include "model/DocDataLine.h"
#include "model/DocState.h"
#include "model/NodeList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

namespace {

using NodeValues = std::vector<std::tuple<double, double, int, int>>;

NodeValues ValuesOf(const DOCNODE* head)
{
    NodeValues out;
    for (const DOCNODE* n = head; n != nullptr; n = n->m_pNext)
        out.emplace_back(n->m_x, n->m_y, n->m_nKind, n->m_nSelect);
    return out;
}

// Random outline of `count` nodes on a coarse grid (so that nodes coincide
// now and then); kinds by position for a Bezier path, else anchors; every
// node active with the given chance, else in state 0 or 1. A closed one ends
// on its first node.
DOCNODE* RandomNodes(std::mt19937& gen, int count, bool bezier, bool closed, double activeShare)
{
    std::uniform_int_distribution<int> grid(0, 20);
    std::bernoulli_distribution active(activeShare);
    std::bernoulli_distribution selected(0.5);
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t kind =
            !bezier || i % 3 == 0 ? NODE_ANCHOR : i % 3 == 1 ? NODE_CONTROL_OUT : NODE_CONTROL_IN;
        double x = grid(gen) * 5.0, y = grid(gen) * 5.0;
        if (closed && i == count - 1 && head != nullptr) {
            x = head->m_x;
            y = head->m_y;
        }
        const std::uint8_t state = active(gen) ? NODE_ACTIVE : selected(gen) ? NODE_SELECTED : NODE_UNSELECTED;
        last = AppendNode(last, x, y, kind, state);
        if (head == nullptr)
            head = last;
    }
    return head;
}

// Anchor drag as first written: every node to move is looked up in the list
// of nodes already taken.
void MoveAnchorsBySearch(DOCNODE* head, double dx, double dy)
{
    std::vector<DOCNODE*> moving;
    auto take = [&moving](DOCNODE* n) {
        if (n != nullptr && std::find(moving.begin(), moving.end(), n) == moving.end())
            moving.push_back(n);
    };
    for (DOCNODE* n = head; n != nullptr; n = n->m_pNext) {
        if (n->m_nKind != NODE_ANCHOR || n->m_nSelect != NODE_ACTIVE)
            continue;
        take(n->m_pPrev);
        take(n);
        take(n->m_pNext);
    }
    for (DOCNODE* n : moving) {
        n->m_x += dx;
        n->m_y += dy;
    }
}

int SegmentsFrom(const DOCNODE* n)
{
    int count = 0;
    while (n != nullptr && n->m_pNext != nullptr && n->m_pNext->m_pNext != nullptr &&
           n->m_pNext->m_pNext->m_pNext != nullptr) {
        n = n->m_pNext->m_pNext->m_pNext;
        ++count;
    }
    return count;
}

// Bezier deletion as first written: the segments are counted again for
// every active anchor.
bool DeleteBezierAnchorsByRecount(DOCNODE*& head, std::uint8_t& closed)
{
    bool any = false;
    DOCNODE* n = head;
    while (n != nullptr) {
        if (n->m_nKind != NODE_ANCHOR || n->m_nSelect != NODE_ACTIVE) {
            n = n->m_pNext;
            continue;
        }
        if (SegmentsFrom(head) <= 1) {
            CDocState::FreeNodeList(head);
            closed = 0;
            return true;
        }
        if (n == head) {
            DOCNODE* next = n->m_pNext->m_pNext->m_pNext;
            delete n->m_pNext->m_pNext;
            delete n->m_pNext;
            delete n;
            next->m_pPrev = nullptr;
            head = next;
            closed = 0;
            any = true;
            n = next;
            continue;
        }
        if (n->m_pNext == nullptr) {
            DOCNODE* in = n->m_pPrev;
            DOCNODE* lastOut = in->m_pPrev;
            DOCNODE* before = lastOut != nullptr ? lastOut->m_pPrev : nullptr;
            if (before == nullptr)
                break;
            before->m_pNext = nullptr;
            delete lastOut;
            delete in;
            delete n;
            closed = 0;
            return true;
        }
        DOCNODE* in = n->m_pPrev;
        DOCNODE* out = n->m_pNext;
        DOCNODE* before = in->m_pPrev;
        DOCNODE* after = out->m_pNext;
        if (before == nullptr || after == nullptr) {
            n = out;
            continue;
        }
        before->m_pNext = after;
        after->m_pPrev = before;
        delete in;
        delete n;
        delete out;
        n = after;
        any = true;
    }
    return any;
}

// Polyline deletion as first written: a recount and a walk to the last node
// for every deleted head.
bool DeletePolylineNodesByRecount(DOCNODE*& head, bool closed)
{
    bool deleted = false;
    DOCNODE* n = head;
    while (n != nullptr) {
        DOCNODE* next = n->m_pNext;
        if (n->m_nSelect != NODE_ACTIVE) {
            n = next;
            continue;
        }
        deleted = true;
        DOCNODE* first = head;
        if (n == first) {
            head = next;
            if (next != nullptr)
                next->m_pPrev = nullptr;
            delete n;
            if (closed && CountNodes(head) >= 2) {
                DOCNODE* last = LastNode(head);
                last->m_x = head->m_x;
                last->m_y = head->m_y;
                last->m_nSelect = head->m_nSelect == NODE_ACTIVE ? NODE_ACTIVE : NODE_SELECTED;
            }
        } else if (next != nullptr) {
            n->m_pPrev->m_pNext = next;
            next->m_pPrev = n->m_pPrev;
            delete n;
        } else if (!closed) {
            n->m_pPrev->m_pNext = nullptr;
            delete n;
        } else if (n->m_pPrev == first) {
            CDocState::FreeNodeList(head);
            break;
        } else {
            DOCNODE* newFirst = first->m_pNext;
            newFirst->m_pPrev = nullptr;
            delete first;
            head = newFirst;
            n->m_x = newFirst->m_x;
            n->m_y = newFirst->m_y;
        }
        n = next;
    }
    return deleted;
}

} // namespace

TEST(NodeEditOnLongOutlines, AnchorDragMovesTheSameNodesAsASearchPerNode)
{
    std::mt19937 gen(1701);
    for (int trial = 0; trial < 400; ++trial) {
        // Every fourth outline has anchors only, so that active anchors sit
        // side by side and share their neighbours.
        const bool proper = trial % 4 != 0;
        const int count = proper ? 3 * (1 + trial % 23) + 1 : 2 + trial % 31;
        CDocDataBezier path(RandomNodes(gen, count, proper, false, 0.4), true, nullptr);
        DOCNODE* expected = CopyPointList(path.m_pNodes);
        MoveAnchorsBySearch(expected, 3.5, -7.25);
        path.MoveSelectedNodes(CGeoPoint(1, 1), CGeoPoint(4.5, -6.25), 1 + 2 * (trial % 2), nullptr);
        EXPECT_EQ(ValuesOf(path.m_pNodes), ValuesOf(expected)) << "trial " << trial;
        CDocState::FreeNodeList(expected);
    }
}

TEST(NodeEditOnLongOutlines, BezierDeletionLeavesWhatARecountPerAnchorLeaves)
{
    std::mt19937 gen(4242);
    for (int trial = 0; trial < 400; ++trial) {
        const bool closed = trial % 3 == 0;
        const int segments = 1 + trial % 17;
        CDocDataBezier path(RandomNodes(gen, 3 * segments + 1, true, closed, trial % 5 == 0 ? 0.9 : 0.35), true,
                            nullptr);
        path.m_bNodesSelected = 1;
        DOCNODE* expected = CopyPointList(path.m_pNodes);
        std::uint8_t expectedClosed = path.m_bClosed;
        const bool expectedResult = DeleteBezierAnchorsByRecount(expected, expectedClosed);
        EXPECT_EQ(path.DeleteSelectedNodes(), expectedResult) << "trial " << trial;
        EXPECT_EQ(ValuesOf(path.m_pNodes), ValuesOf(expected)) << "trial " << trial;
        EXPECT_EQ(path.m_bClosed, expectedClosed) << "trial " << trial;
        CDocState::FreeNodeList(expected);
    }
}

TEST(NodeEditOnLongOutlines, PolylineDeletionLeavesWhatARecountPerNodeLeaves)
{
    std::mt19937 gen(99);
    for (int trial = 0; trial < 600; ++trial) {
        const bool closed = trial % 2 == 0;
        const int count = 1 + trial % 29;
        // Some outlines lose a run of nodes from the head, the case that
        // walked the whole outline for each.
        DOCNODE* nodes = RandomNodes(gen, count, false, closed, trial % 7 == 0 ? 0.95 : 0.3);
        CDocDataLine line;
        line.m_pNodes = nodes;
        line.m_bClosed = closed ? 1 : 0;
        line.m_bNodesSelected = 1;
        DOCNODE* expected = CopyPointList(nodes);
        const bool expectedResult = DeletePolylineNodesByRecount(expected, closed);
        EXPECT_EQ(CDocDataLine::DeleteSelectedNodesOf(line, closed), expectedResult) << "trial " << trial;
        EXPECT_EQ(ValuesOf(line.m_pNodes), ValuesOf(expected)) << "trial " << trial;
        CDocState::FreeNodeList(expected);
    }
}

// A drag recomputes the curve's box on every move; it is taken from the step
// samples without making a list of them, and must be the box that the list
// gives, also where a coordinate is not a number.
TEST(NodeEditOnLongOutlines, CurveBoxWithoutASampleListIsTheBoxOfTheSampleList)
{
    std::mt19937 gen(31337);
    std::uniform_real_distribution<double> coord(-1000.0, 1000.0);
    for (int trial = 0; trial < 300; ++trial) {
        const int count = 1 + trial % 40; // also lists with no whole segment
        DOCNODE* nodes = nullptr;
        DOCNODE* last = nullptr;
        for (int i = 0; i < count; ++i) {
            const std::uint8_t kind = i % 3 == 0 ? NODE_ANCHOR : i % 3 == 1 ? NODE_CONTROL_OUT : NODE_CONTROL_IN;
            last = AppendNode(last, 500000.0 + coord(gen), 500000.0 + coord(gen), kind);
            if (nodes == nullptr)
                nodes = last;
        }
        if (trial % 10 == 9)
            last->m_x = std::numeric_limits<double>::quiet_NaN();
        CGeoBox unused;
        DOCNODE* samples = SampleBezierByStep(nodes, 0.1, true, unused);
        // The base box of a plain list: the sample list, or the nodes
        // themselves when there is no segment.
        CDocDataLine expected(samples != nullptr ? samples : CopyPointList(nodes), 1, nullptr);
        CDocDataBezier path(nodes, true, nullptr);
        EXPECT_EQ(path.m_rcBound.m_xmin, expected.m_rcBound.m_xmin) << "trial " << trial;
        EXPECT_EQ(path.m_rcBound.m_xmax, expected.m_rcBound.m_xmax) << "trial " << trial;
        EXPECT_EQ(path.m_rcBound.m_ymin, expected.m_rcBound.m_ymin) << "trial " << trial;
        EXPECT_EQ(path.m_rcBound.m_ymax, expected.m_rcBound.m_ymax) << "trial " << trial;
    }
}
