// Inside-first ordering. Hand cases for nesting and order; the random cases
// compare the order with the rule taken literally (every list walked in
// full, every node tested against every other), on boxes that nest,
// overlap, share edges, repeat, are inverted or hold NaN, siblings waiting
// for a sibling that holds a box within them.
#include "ProcessingTestSupport.h"
#include "processing/FileTrans.h"
#include "processing/JobRecords.h"
#include "processing/RingOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>

namespace plat {
namespace {

std::vector<PATHREC*> Paths(const WORKLAYER* layer)
{
    std::vector<PATHREC*> out;
    ForEachInRing(layer->m_paths, &PATHREC::m_pNext, [&](PATHREC& p) { out.push_back(&p); });
    return out;
}

WORKLAYER* CutLayer(std::initializer_list<PATHREC*> paths)
{
    WORKLAYER* layer = MakeLayer(paths);
    layer->m_mode = 1;
    WORKLAYER* layers = LinkLayers({layer});
    CFileTrans::RecalcPathBoundRects(layers);
    return layers;
}

TEST(RingOrder, InnerSquaresComeBeforeTheSquaresAroundThem)
{
    PATHREC* outer = MakePath(Square(0, 0, 100, 100));
    PATHREC* inner = MakePath(Square(40, 40, 60, 60));
    WORKLAYER* layers = CutLayer({outer, inner});
    CRingOrder().Process(layers);
    EXPECT_EQ(Paths(layers), (std::vector<PATHREC*>{inner, outer}));
    FreePathRecordGroups(layers);

    PATHREC* big = MakePath(Square(0, 0, 100, 100));
    PATHREC* middle = MakePath(Square(20, 20, 80, 80));
    PATHREC* small = MakePath(Square(40, 40, 60, 60));
    layers = CutLayer({big, middle, small});
    CRingOrder().Process(layers);
    EXPECT_EQ(Paths(layers), (std::vector<PATHREC*>{small, middle, big}));
    FreePathRecordGroups(layers);
}

TEST(RingOrder, DisjointSquaresKeepTheirOrderAndABracketMovesWhole)
{
    // Listed: right square, left square, a bracket inside the left square.
    PATHREC* right = MakePath(Square(50, 0, 60, 10));
    PATHREC* left = MakePath(Square(0, 0, 10, 10));
    PATHREC* open = MakeOpeningBracket(1, 1, 0, 0);
    PATHREC* member = MakePath({{2, 2}, {8, 8}});
    PATHREC* close = MakeClosingBracket();
    WORKLAYER* layers = CutLayer({right, left, open, member, close});
    CRingOrder().Process(layers);
    EXPECT_EQ(Paths(layers), (std::vector<PATHREC*>{right, open, member, close, left}));
    FreePathRecordGroups(layers);
}

TEST(RingOrder, OnlyCutLayersAreOrderedAndAnOpenListStaysOpen)
{
    PATHREC* outer = MakePath(Square(0, 0, 100, 100));
    PATHREC* inner = MakePath(Square(40, 40, 60, 60));
    WORKLAYER* layers = CutLayer({outer, inner});
    layers->m_mode = 2;
    CRingOrder().Process(layers);
    EXPECT_EQ(Paths(layers), (std::vector<PATHREC*>{outer, inner}));
    layers->m_mode = 1;
    outer->m_pPrev = inner->m_pNext = nullptr;
    CRingOrder().Process(layers);
    EXPECT_EQ(layers->m_paths, inner);
    EXPECT_EQ(inner->m_pPrev, nullptr);
    EXPECT_EQ(outer->m_pNext, nullptr);
    FreePathRecordGroups(layers);
}

TEST(RingOrder, ManySiblingsAndDeepNestingNeedNoDeepRecursion)
{
    // A hundred thousand side by side: as many siblings, in their order.
    {
        auto* layer = new WORKLAYER{};
        layer->m_mode = 1;
        PATHREC* head = nullptr;
        PATHREC* tail = nullptr;
        std::vector<PATHREC*> made;
        for (int i = 0; i < 100000; ++i) {
            made.push_back(MakePath(Square(i * 2.0, (i % 7) * 2.0, i * 2.0 + 1, (i % 7) * 2.0 + 1)));
            AppendPathRecord(&head, &tail, made.back());
        }
        layer->m_paths = head;
        WORKLAYER* layers = LinkLayers({layer});
        CFileTrans::RecalcPathBoundRects(layers);
        CRingOrder().Process(layers);
        EXPECT_EQ(Paths(layers), made);
        FreePathRecordGroups(layers);
    }
    // Three thousand nested, outermost first: the innermost comes first.
    {
        auto* layer = new WORKLAYER{};
        layer->m_mode = 1;
        PATHREC* head = nullptr;
        PATHREC* tail = nullptr;
        std::vector<PATHREC*> made;
        for (int i = 0; i < 3000; ++i) {
            made.push_back(MakePath(Square(i, i, 10000 - i, 10000 - i)));
            AppendPathRecord(&head, &tail, made.back());
        }
        layer->m_paths = head;
        WORKLAYER* layers = LinkLayers({layer});
        CFileTrans::RecalcPathBoundRects(layers);
        CRingOrder().Process(layers);
        EXPECT_EQ(Paths(layers), std::vector<PATHREC*>(made.rbegin(), made.rend()));
        FreePathRecordGroups(layers);
    }
}

TEST(RingOrder, AHoleTheLiteralWalkLeavesAfterItsOutlineComesBeforeIt)
{
    // Listed: X, the outline O, R around X and the hole H of O (R overlaps O),
    // G inside H. The walk from X ends at R, which takes X, H and G; O is a
    // root of its own, listed before R, so the rule taken literally gives
    // O X G H R and cuts O before its holes. R's branch goes first instead.
    PATHREC* x = MakePath(Square(120, 35, 130, 45));
    PATHREC* o = MakePath(Square(0, 0, 100, 100));
    PATHREC* r = MakePath(Square(50, 30, 150, 60));
    PATHREC* h = MakePath(Square(60, 40, 70, 50));
    PATHREC* g = MakePath(Square(62, 42, 68, 48));
    WORKLAYER* layers = CutLayer({x, o, r, h, g});
    CRingOrder().Process(layers);
    EXPECT_EQ(Paths(layers), (std::vector<PATHREC*>{x, g, h, r, o}));
    FreePathRecordGroups(layers);
}

// ---- comparison with the rule taken literally ---------------------------------

struct Box {
    double xmin, xmax, ymin, ymax;
};

// The order the rule gives: the tree built list by list (the lists on a
// stack, as the rule's recursion would hold them), children before their
// parent; siblings by position, except that a sibling waits for the
// siblings whose subtrees hold a box within its own (the first position
// whose sibling waits for none still to come goes next).
std::vector<int> ReferenceOrder(const std::vector<Box>& b)
{
    auto strictlyContains = [&](int a, int c) {
        return b[a].xmin < b[c].xmin && b[a].xmax > b[c].xmax && b[a].ymin < b[c].ymin && b[a].ymax > b[c].ymax;
    };
    auto within = [&](int a, int c) {
        return b[a].xmin >= b[c].xmin && b[a].xmax <= b[c].xmax && b[a].ymin >= b[c].ymin && b[a].ymax <= b[c].ymax;
    };
    const int n = static_cast<int>(b.size());
    std::vector<int> parent(n, -1);
    std::vector<std::pair<int, std::vector<int>>> lists;
    std::vector<int> all(n);
    for (int i = 0; i < n; ++i)
        all[i] = i;
    lists.push_back({-1, all});
    while (!lists.empty()) {
        auto [owner, list] = lists.back();
        lists.pop_back();
        while (!list.empty()) {
            int root = list[0];
            for (std::size_t k = 1; k < list.size(); ++k) {
                if (strictlyContains(list[k], root))
                    root = list[k];
            }
            parent[root] = owner;
            std::vector<int> inside, rest;
            for (int x : list) {
                if (x != root)
                    (within(x, root) ? inside : rest).push_back(x);
            }
            lists.push_back({root, inside});
            list = rest;
        }
    }
    std::vector<std::vector<int>> children(n + 1);
    for (int i = 0; i < n; ++i)
        children[parent[i] + 1].push_back(i);
    // Each node's subtree as a range of the nodes listed depth first.
    std::vector<int> pre, begin(n), end(n);
    std::vector<std::pair<int, std::size_t>> walk{{-1, 0}};
    while (!walk.empty()) {
        auto& [node, next] = walk.back();
        if (next < children[node + 1].size()) {
            const int c = children[node + 1][next++];
            begin[c] = static_cast<int>(pre.size());
            pre.push_back(c);
            walk.push_back({c, 0});
        } else {
            if (node >= 0)
                end[node] = static_cast<int>(pre.size());
            walk.pop_back();
        }
    }
    for (auto& kids : children) {
        std::vector<std::vector<int>> waiters(kids.size());
        std::vector<int> waiting(kids.size(), 0);
        for (std::size_t j = 0; j < kids.size(); ++j)
            for (std::size_t i = 0; i < kids.size(); ++i)
                for (int k = begin[kids[i]]; i != j && k < end[kids[i]]; ++k)
                    if (within(pre[k], kids[j])) {
                        waiters[i].push_back(static_cast<int>(j));
                        ++waiting[j];
                        break;
                    }
        std::set<int> ready;
        for (std::size_t j = 0; j < kids.size(); ++j)
            if (waiting[j] == 0)
                ready.insert(static_cast<int>(j));
        std::vector<int> order;
        while (!ready.empty()) {
            const int j = *ready.begin();
            ready.erase(ready.begin());
            order.push_back(kids[j]);
            for (int w : waiters[j])
                if (--waiting[w] == 0)
                    ready.insert(w);
        }
        EXPECT_EQ(order.size(), kids.size());
        kids = order;
    }
    std::vector<int> out;
    std::vector<std::pair<int, std::size_t>> stack{{-1, 0}};
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        if (next < children[node + 1].size()) {
            const int c = children[node + 1][next++];
            stack.push_back({c, 0});
        } else {
            if (node >= 0)
                out.push_back(node);
            stack.pop_back();
        }
    }
    return out;
}

// Random units over a field of `side` units: boxes that nest, overlap,
// share edges and repeat, a few far larger than the others, empty brackets
// (inverted extents) and, for some seeds, a box with a NaN. The ordering
// must give exactly the order of the rule taken literally, siblings waiting
// as above.
// With `reach` the boxes are at most that wide and high: few nest, and a
// long layer has many roots.
void ExpectTheLiteralOrder(unsigned seed, int count, int side, bool bracketFirst = false, int reach = 0)
{
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> coord(0, side);
    std::uniform_int_distribution<int> pick(0, 99);
    auto* layer = new WORKLAYER{};
    layer->m_mode = 1;
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    std::vector<PATHREC*> units;
    for (int i = 0; i < count; ++i) {
        const int r = pick(rng);
        if (r < 3 || (i == 0 && bracketFirst)) {
            // An empty bracket: inverted extents.
            units.push_back(MakeOpeningBracket(1, 1, 0, 0));
            AppendPathRecord(&head, &tail, units.back());
            AppendPathRecord(&head, &tail, MakeClosingBracket());
            continue;
        }
        int x0 = coord(rng), x1 = coord(rng), y0 = coord(rng), y1 = coord(rng);
        if (reach > 0) {
            x1 = x0 + x1 % reach;
            y1 = y0 + y1 % reach;
        }
        if (x0 > x1)
            std::swap(x0, x1);
        if (y0 > y1)
            std::swap(y0, y1);
        if (r < 8) {
            // A box over far more cells than the others: searched apart
            // from them, yet it must still win only by its place.
            x0 -= 40;
            y0 -= 40;
            x1 += 40;
            y1 += 40;
        }
        units.push_back(MakePath(Square(x0, y0, x1 + 1, y1 + 1)));
        AppendPathRecord(&head, &tail, units.back());
    }
    layer->m_paths = head;
    WORKLAYER* layers = LinkLayers({layer});
    CFileTrans::RecalcPathBoundRects(layers);
    if (seed % 5 == 0)
        units[3]->m_ymax = std::numeric_limits<double>::quiet_NaN();
    std::vector<Box> boxes;
    for (const PATHREC* p : units)
        boxes.push_back({p->m_xmin, p->m_xmax, p->m_ymin, p->m_ymax});
    std::vector<PATHREC*> expected;
    for (int i : ReferenceOrder(boxes))
        expected.push_back(units[i]);

    CRingOrder().Process(layers);
    std::vector<PATHREC*> got;
    for (PATHREC* p : Paths(layers)) {
        if (p->m_kind != PATH_KIND_GROUP || p->m_pArray != nullptr)
            got.push_back(p); // closing brackets follow their opening one
    }
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (got[i] != expected[i]) {
            ADD_FAILURE() << "the orders part at " << i << " of " << got.size();
            break;
        }
    }
    FreePathRecordGroups(layers);
}

TEST(RingOrder, TreeGivesExactlyTheLiteralOrder)
{
    for (unsigned seed = 1; seed <= 40; ++seed)
        ExpectTheLiteralOrder(seed, 20 + static_cast<int>(seed) * 5, 12);
}

// Long layers, sparse and dense, starting with an inverted box, with many
// roots: no lookup may change which node a subtree takes, nor miss an
// inverted or NaN box that only the list taken in order treats right.
TEST(RingOrder, LongLayerGivesExactlyTheLiteralOrder)
{
    // The first node an empty bracket: its walk starts from an inverted box.
    ExpectTheLiteralOrder(10, 20000, 400, true); // sparse: the lookups fit
    ExpectTheLiteralOrder(15, 20000, 40, true);  // dense: many ends searched when placed
    ExpectTheLiteralOrder(20, 24000, 2000, false, 30); // many roots: their lookups in several shares
}

// Stacks of concentric squares far apart, listed shuffled: each stack comes
// innermost first, the stacks in the list order of their outermost squares.
TEST(RingOrder, ConcentricStacksOfALongLayerComeInnermostFirst)
{
    constexpr int kStacks = 200, kDepth = 100;
    std::vector<int> slot(kStacks * kDepth);
    for (int i = 0; i < kStacks * kDepth; ++i)
        slot[i] = i;
    std::mt19937 rng(5);
    std::shuffle(slot.begin(), slot.end(), rng);
    std::vector<PATHREC*> square(kStacks * kDepth);
    std::vector<int> outermostAt(kStacks);
    auto* layer = new WORKLAYER{};
    layer->m_mode = 1;
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    for (int i = 0; i < kStacks * kDepth; ++i) {
        const int stack = slot[i] / kDepth, depth = slot[i] % kDepth;
        const double cx = 300.0 * (stack % 20), cy = 300.0 * (stack / 20), half = 1.0 + depth;
        square[slot[i]] = MakePath(Square(cx - half, cy - half, cx + half, cy + half));
        AppendPathRecord(&head, &tail, square[slot[i]]);
        if (depth == kDepth - 1)
            outermostAt[stack] = i;
    }
    head->m_pPrev = tail;
    tail->m_pNext = head;
    layer->m_paths = head;
    WORKLAYER* layers = LinkLayers({layer});
    CFileTrans::RecalcPathBoundRects(layers);

    std::vector<int> stacks(kStacks);
    for (int j = 0; j < kStacks; ++j)
        stacks[j] = j;
    std::sort(stacks.begin(), stacks.end(), [&](int a, int b) { return outermostAt[a] < outermostAt[b]; });
    std::vector<PATHREC*> expected;
    for (int j : stacks) {
        for (int d = 0; d < kDepth; ++d)
            expected.push_back(square[j * kDepth + d]);
    }
    CRingOrder().Process(layers);
    EXPECT_EQ(Paths(layers), expected);
    FreePathRecordGroups(layers);
}

} // namespace
} // namespace plat
