#include "RingOrder.h"
#include "PathUnits.h"
#include "SpatialGrid.h"

#include "JobRecords.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using plat::PathUnit;

namespace {

struct Box {
    double xmin;
    double xmax;
    double ymin;
    double ymax;

    bool HasNaN() const { return std::isnan(xmin) || std::isnan(xmax) || std::isnan(ymin) || std::isnan(ymax); }
    bool IsInverted() const { return !(xmin <= xmax && ymin <= ymax); }
};

bool StrictlyContains(const Box& a, const Box& b)
{
    return a.xmin < b.xmin && a.xmax > b.xmax && a.ymin < b.ymin && a.ymax > b.ymax;
}

bool LiesWithin(const Box& a, const Box& b)
{
    return a.xmin >= b.xmin && a.xmax <= b.xmax && a.ymin >= b.ymin && a.ymax <= b.ymax;
}

constexpr std::int32_t kNoParent = -1;
// Below this many nodes a list is taken apart faster than threads start.
constexpr std::size_t kSideBySide = 16384;

// The parent of every node in the containment tree. A list is taken apart
// the way the rule reads, one list at a time on a stack instead of by
// recursion: its root by the walk, the root's subtree out of it into a list
// of its own, and the rest on as the root's siblings. A node's list is a
// number (0 the whole layer, k + 1 the subtree of node k); a grid of the boxes
// finds those around a node (for the walk), one of their corners those
// within it (for the subtree).
std::vector<std::int32_t> ContainmentParents(const std::vector<Box>& boxes)
{
    const std::uint32_t n = static_cast<std::uint32_t>(boxes.size());
    std::vector<std::int32_t> parent(n, kNoParent);
    std::vector<std::uint32_t> list(n, 0);
    // A placed node leaves every list: one read tells a query whether a node
    // is still to be placed in the list being taken apart.
    constexpr std::uint32_t kPlaced = std::numeric_limits<std::uint32_t>::max();
    std::vector<double> sizes;
    sizes.reserve(n);
    for (const Box& b : boxes)
        sizes.push_back(std::max(b.xmax - b.xmin, b.ymax - b.ymin));
    const double cell = plat::SpatialGrid::MedianCell(std::move(sizes));
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Pending {
        std::uint32_t id;
        std::vector<std::uint32_t> members; // in list order
    };
    // Takes one list apart; the subtrees it finds go on the stack.
    auto takeApart = [&](const Pending& work, std::vector<Pending>& stack) {
        const std::uint32_t id = work.id;
        // Each list has grids of its own members: a node leaving the list
        // (placed, or into a subtree) is dropped from them for good, and no
        // query meets it again while the rest of the list is taken apart.
        // A box lies within a sound box only when its lower-left corner does:
        // the subtree is looked for among the corners, in finer cells than
        // the boxes need, so that a query meets few boxes it cannot hold. An
        // inverted box may lie within one without its corner doing so: it is
        // looked at by every query. A box with a NaN lies within none.
        plat::SpatialGrid grid(cell, work.members.size());
        plat::SpatialGrid corners(cell / 4.0, work.members.size());
        auto fill = [&](std::size_t which) {
            if (which == 0) {
                for (std::uint32_t i : work.members)
                    grid.AddBox(boxes[i].xmin, boxes[i].xmax, boxes[i].ymin, boxes[i].ymax, i);
                grid.Build();
                return;
            }
            for (std::uint32_t i : work.members) {
                if (boxes[i].HasNaN())
                    continue;
                if (boxes[i].IsInverted())
                    corners.AddBox(-kInf, kInf, -kInf, kInf, i);
                else
                    corners.AddPoint(boxes[i].xmin, boxes[i].ymin, i);
            }
            corners.Build();
        };
        // The two grids of a large list are filed side by side.
        if (work.members.size() >= kSideBySide) {
            plat::ParallelFor(2, fill);
        } else {
            fill(0);
            fill(1);
        }
        auto unplaced = [&](std::uint32_t k) { return list[k] == id; };
        std::size_t cursor = 0;
        for (;;) {
            while (cursor < work.members.size() &&
                   list[work.members[cursor]] != id)
                ++cursor;
            if (cursor == work.members.size())
                break;
            // The walk: the choice moves to the first later node of the list
            // whose box strictly contains it.
            std::uint32_t choice = work.members[cursor];
            for (;;) {
                const Box& b = boxes[choice];
                if (b.HasNaN())
                    break;
                std::uint32_t next = plat::SpatialGrid::kNone;
                // A box around b covers b's lower-left corner, and the grid
                // holds the list in order: the first box found is the one.
                // No single point serves an inverted b: then every box is
                // looked at.
                if (b.IsInverted()) {
                    grid.ForEachInRect(-kInf, kInf, -kInf, kInf, unplaced, [&](std::uint32_t k) {
                        if (k > choice && k < next && StrictlyContains(boxes[k], b))
                            next = k;
                    });
                } else {
                    next = grid.FindEarliestAround(b.xmin, b.ymin, choice, unplaced,
                                                   [&](std::uint32_t k) { return StrictlyContains(boxes[k], b); });
                }
                if (next == plat::SpatialGrid::kNone)
                    break;
                choice = next;
            }
            list[choice] = kPlaced;
            parent[choice] = id == 0 ? kNoParent : static_cast<std::int32_t>(id - 1);
            // The subtree: the nodes of the list lying within the choice.
            const Box& r = boxes[choice];
            Pending inner{choice + 1, {}};
            corners.ForEachInRect(r.xmin, r.xmax, r.ymin, r.ymax, unplaced, [&](std::uint32_t k) {
                if (LiesWithin(boxes[k], r))
                    inner.members.push_back(k);
            });
            if (!inner.members.empty()) {
                std::sort(inner.members.begin(), inner.members.end());
                for (std::uint32_t k : inner.members)
                    list[k] = inner.id;
                stack.push_back(std::move(inner));
            }
        }
    };
    auto takeApartAll = [&](std::vector<Pending>& stack) {
        while (!stack.empty()) {
            const Pending work = std::move(stack.back());
            stack.pop_back();
            takeApart(work, stack);
        }
    };

    Pending whole{0, {}};
    whole.members.resize(n);
    for (std::uint32_t i = 0; i < n; ++i)
        whole.members[i] = i;
    std::vector<Pending> subtrees;
    takeApart(whole, subtrees);
    whole = Pending{};
    // The subtrees of the whole list share no node, and a list reads and
    // writes the state of its own nodes only: they are taken apart side by
    // side, the largest handed out first.
    if (n < kSideBySide || subtrees.size() < 2) {
        takeApartAll(subtrees);
        return parent;
    }
    std::sort(subtrees.begin(), subtrees.end(),
              [](const Pending& a, const Pending& b) { return a.members.size() > b.members.size(); });
    plat::ParallelFor(subtrees.size(), [&](std::size_t k) {
        std::vector<Pending> stack;
        stack.push_back(std::move(subtrees[k]));
        takeApartAll(stack);
    });
    return parent;
}

void OrderLayer(WORKLAYER& layer)
{
    bool ring = false;
    std::vector<PathUnit> units = plat::TakeUnits(layer.m_paths, ring);
    std::vector<Box> boxes;
    boxes.reserve(units.size());
    for (const PathUnit& u : units)
        boxes.push_back({u.first->m_xmin, u.first->m_xmax, u.first->m_ymin, u.first->m_ymax});
    const std::vector<std::int32_t> parent = ContainmentParents(boxes);

    // Children in list order, then depth first, children before parent.
    const std::size_t n = units.size();
    std::vector<std::vector<std::uint32_t>> children(n);
    std::vector<std::uint32_t> roots;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (parent[i] == kNoParent)
            roots.push_back(i);
        else
            children[parent[i]].push_back(i);
    }
    std::vector<PathUnit> out;
    out.reserve(n);
    struct Frame {
        std::uint32_t node;
        std::size_t next;
    };
    std::vector<Frame> stack;
    for (std::uint32_t root : roots) {
        stack.push_back({root, 0});
        while (!stack.empty()) {
            Frame& f = stack.back();
            if (f.next < children[f.node].size()) {
                const std::uint32_t c = children[f.node][f.next++];
                stack.push_back({c, 0});
            } else {
                out.push_back(units[f.node]);
                stack.pop_back();
            }
        }
    }
    layer.m_paths = plat::LinkUnits(out, ring);
}

} // namespace

void CRingOrder::Process(WORKLAYER* layers)
{
    // A layer's ordering touches only its own paths: the layers go side by
    // side.
    std::vector<WORKLAYER*> ordered;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        if (layer.m_mode == 1 && layer.m_paths != nullptr)
            ordered.push_back(&layer);
    });
    plat::ParallelFor(ordered.size(), [&](std::size_t k) { OrderLayer(*ordered[k]); });
}
