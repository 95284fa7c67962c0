// Inside-first ordering of the cut layers: each layer's path units in the
// containment tree of their extents (ContainmentTree.h), the siblings in
// list order but for the waits, and written back children before their
// parent.
#include "RingOrder.h"
#include "ContainmentTree.h"
#include "PathUnits.h"

#include "JobRecords.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <cstdint>
#include <queue>
#include <vector>

using plat::PathUnit;

using namespace plat::rings;

namespace {

void OrderLayer(WORKLAYER& layer)
{
    bool ring = false;
    std::vector<PathUnit> units = plat::TakeUnits(layer.m_paths, ring);
    const std::size_t n = units.size();
    // The extents are read from records scattered over the heap: a long
    // list reads them side by side.
    std::vector<Box> boxes(n);
    constexpr std::size_t kPiece = 16384;
    auto read = [&](std::size_t p) {
        const std::size_t last = std::min(n, (p + 1) * kPiece);
        for (std::size_t k = p * kPiece; k < last; ++k) {
            const PATHREC& first = *units[k].first;
            boxes[k] = {first.m_xmin, first.m_xmax, first.m_ymin, first.m_ymax};
        }
    };
    const std::size_t pieces = (n + kPiece - 1) / kPiece;
    if (pieces > 1)
        plat::ParallelFor(pieces, read);
    else if (pieces == 1)
        read(0);
    const Tree tree = ContainmentTree(boxes);

    // The children of each unit (slot k + 1; the layer's roots in slot 0)
    // in list order.
    auto slot = [](std::uint32_t unit) { return unit == kTop ? std::size_t{0} : std::size_t{unit} + 1; };
    std::vector<std::uint32_t> first(n + 2, 0);
    for (std::uint32_t i = 0; i < n; ++i)
        ++first[slot(tree.parent[i]) + 1];
    for (std::size_t k = 0; k <= n; ++k)
        first[k + 1] += first[k];
    std::vector<std::uint32_t> kids(n);
    {
        std::vector<std::uint32_t> fill(first.begin(), first.end() - 1);
        for (std::uint32_t i = 0; i < n; ++i)
            kids[fill[slot(tree.parent[i])]++] = i;
    }
    // Siblings come in list order, except that a branch waits for the
    // branches holding a box within it: the smallest position whose branch
    // waits for none still to come goes next. Only the siblings where one
    // waits for a later one change order.
    if (!tree.after.empty()) {
        // The branches waiting for each branch, filed by the one waited for.
        std::vector<std::uint32_t> waitersAt(n + 1, 0), waiters(tree.after.size());
        std::vector<std::uint32_t> pending(n, 0);
        std::vector<char> reordered(n + 1, 0);
        for (const auto& [from, to] : tree.after) {
            ++waitersAt[from + 1];
            ++pending[to];
            if (from > to)
                reordered[slot(tree.parent[to])] = 1;
        }
        for (std::size_t k = 0; k < n; ++k)
            waitersAt[k + 1] += waitersAt[k];
        {
            std::vector<std::uint32_t> fill(waitersAt.begin(), waitersAt.end() - 1);
            for (const auto& [from, to] : tree.after)
                waiters[fill[from]++] = to;
        }
        // The siblings in position order; one still waiting is passed over
        // and, once free, comes back through `late` before any later one.
        std::priority_queue<std::uint32_t, std::vector<std::uint32_t>, std::greater<>> late;
        std::vector<std::uint32_t> order;
        for (std::size_t s = 0; s <= n; ++s) {
            if (reordered[s] == 0)
                continue;
            order.clear();
            std::uint32_t next = first[s];
            const std::uint32_t end = first[s + 1];
            for (;;) {
                while (next < end && pending[kids[next]] != 0)
                    ++next;
                std::uint32_t c;
                if (!late.empty() && (next == end || late.top() < kids[next])) {
                    c = late.top();
                    late.pop();
                } else if (next < end) {
                    c = kids[next++];
                } else {
                    break;
                }
                order.push_back(c);
                for (std::uint32_t w = waitersAt[c]; w < waitersAt[c + 1]; ++w) {
                    const std::uint32_t freed = waiters[w];
                    if (--pending[freed] == 0 && (next == end || freed < kids[next]))
                        late.push(freed);
                }
            }
            // A branch only waits for one placed before it, so none is left
            // waiting; were one, the list order would stay, every path kept.
            if (order.size() == end - first[s])
                std::copy(order.begin(), order.end(), kids.begin() + first[s]);
        }
    }

    // Depth first, children before their parent.
    std::vector<PathUnit> out;
    out.reserve(n);
    struct Frame {
        std::size_t slot;
        std::uint32_t next;
    };
    std::vector<Frame> stack{{0, first[0]}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next < first[f.slot + 1]) {
            const std::uint32_t c = kids[f.next++];
            stack.push_back({slot(c), first[slot(c)]});
        } else {
            if (f.slot != 0)
                out.push_back(units[f.slot - 1]);
            stack.pop_back();
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
