// The containment tree of a whole layer: its list taken apart the way the
// rule reads, with grids of the boxes and of their lower-left corners (and a
// table of the corners by cell for a compact drawing), the walks and the
// boxes within each root of a large list looked up side by side, the top
// level's waits, and the subtrees built side by side.
#include "ContainmentTree.h"
#include "SpatialGrid.h"

#include "platform/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <unordered_map>

namespace plat::rings {
namespace {

// Boxes the same in all four bounds (0 and -0 alike).
struct BoxHash {
    std::size_t operator()(const Box& b) const
    {
        std::size_t h = 0;
        for (double v : {b.xmin, b.xmax, b.ymin, b.ymax})
            h = (h ^ std::hash<double>{}(v + 0.0)) * 0x9E3779B97F4A7C15ull;
        return h;
    }
};
struct BoxEqual {
    bool operator()(const Box& a, const Box& b) const
    {
        return a.xmin == b.xmin && a.xmax == b.xmax && a.ymin == b.ymin && a.ymax == b.ymax;
    }
};

// The sound boxes of a list filed by the cell of their lower-left corner,
// each whole beside its index: a lookup of the boxes lying within a
// rectangle reads the few ranges of cells it meets in order, not the box
// array all over. Only for a compact drawing (cells not many more than the
// boxes); Filed() tells whether it was.
class CornerCells {
public:
    // Filed in pieces side by side; within a cell the boxes come in any
    // order, which no lookup depends on.
    CornerCells(const std::vector<Box>& boxes, const std::vector<std::uint32_t>& members, double step) : m_step(step)
    {
        constexpr std::int64_t kFar = std::numeric_limits<std::int64_t>::max();
        constexpr std::size_t kPieces = 8;
        const std::size_t share = (members.size() + kPieces - 1) / kPieces;
        auto sound = [&](std::uint32_t k) { return !boxes[k].HasNaN() && !boxes[k].IsInverted(); };
        struct Reach {
            std::int64_t x0 = kFar, x1 = -kFar, y0 = kFar, y1 = -kFar;
            std::size_t count = 0;
        };
        // One pass over the corners: side by side it bought nothing.
        Reach all;
        for (std::uint32_t k : members) {
            if (!sound(k))
                continue;
            const Box& b = boxes[k];
            ++all.count;
            const std::int64_t cx = CellOf(b.xmin), cy = CellOf(b.ymin);
            all.x0 = std::min(all.x0, cx);
            all.x1 = std::max(all.x1, cx);
            all.y0 = std::min(all.y0, cy);
            all.y1 = std::max(all.y1, cy);
        }
        if (all.count == 0)
            return;
        const double area = (static_cast<double>(all.x1 - all.x0) + 1.0) * (static_cast<double>(all.y1 - all.y0) + 1.0);
        if (area > 2.0 * static_cast<double>(all.count) + 1024.0)
            return;
        m_x0 = all.x0;
        m_y0 = all.y0;
        m_ny = all.y1 - all.y0 + 1;
        const std::size_t cells = static_cast<std::size_t>((all.x1 - all.x0 + 1) * m_ny);
        constexpr std::uint32_t kUnsound = std::numeric_limits<std::uint32_t>::max();
        std::unique_ptr<std::uint32_t[]> at(new std::uint32_t[members.size()]);
        std::vector<std::uint32_t> next(cells + 1, 0);
        plat::ParallelFor(kPieces, [&](std::size_t p) {
            for (std::size_t j = p * share; j < std::min(members.size(), (p + 1) * share); ++j) {
                const Box& b = boxes[members[j]];
                if (!sound(members[j])) {
                    at[j] = kUnsound;
                    continue;
                }
                at[j] = static_cast<std::uint32_t>((CellOf(b.xmin) - m_x0) * m_ny + (CellOf(b.ymin) - m_y0));
                std::atomic_ref<std::uint32_t>(next[at[j] + 1]).fetch_add(1, std::memory_order_relaxed);
            }
        });
        for (std::size_t c = 0; c < cells; ++c)
            next[c + 1] += next[c];
        m_start = next;
        m_items.reset(new Item[all.count]);
        plat::ParallelFor(kPieces, [&](std::size_t p) {
            for (std::size_t j = p * share; j < std::min(members.size(), (p + 1) * share); ++j) {
                if (at[j] == kUnsound)
                    continue;
                const std::uint32_t place =
                    std::atomic_ref<std::uint32_t>(next[at[j]]).fetch_add(1, std::memory_order_relaxed);
                m_items[place] = Item{boxes[members[j]], members[j]};
            }
        });
        m_nx = all.x1 - all.x0 + 1;
    }

    bool Filed() const { return m_nx != 0; }

    // Calls visit(index) for every filed box lying within r (edges
    // included), in no particular order.
    template <typename Visit>
    void ForEachWithin(const Box& r, Visit visit) const
    {
        // A box within r has its lower-left corner in r, and so in r's cells.
        const std::int64_t cx0 = std::max(CellOf(r.xmin), m_x0), cx1 = std::min(CellOf(r.xmax), m_x0 + m_nx - 1);
        const std::int64_t cy0 = std::max(CellOf(r.ymin), m_y0), cy1 = std::min(CellOf(r.ymax), m_y0 + m_ny - 1);
        if (cy0 > cy1)
            return;
        for (std::int64_t cx = cx0; cx <= cx1; ++cx) {
            // The cells of a column lie side by side.
            const std::size_t column = static_cast<std::size_t>((cx - m_x0) * m_ny);
            const std::uint32_t end = m_start[column + static_cast<std::size_t>(cy1 - m_y0) + 1];
            for (std::uint32_t i = m_start[column + static_cast<std::size_t>(cy0 - m_y0)]; i < end; ++i) {
                if (LiesWithin(m_items[i].box, r))
                    visit(m_items[i].index);
            }
        }
    }

private:
    struct Item {
        Box box;
        std::uint32_t index;
    };

    // Monotonic in v, as the grid's cells: NaN in cell 0, far values held.
    std::int64_t CellOf(double v) const
    {
        constexpr double kLimit = 1e15;
        const double c = std::floor(v / m_step);
        if (std::isnan(c))
            return 0;
        return static_cast<std::int64_t>(std::clamp(c, -kLimit, kLimit));
    }

    double m_step;
    std::int64_t m_x0 = 0, m_y0 = 0, m_nx = 0, m_ny = 0;
    std::vector<std::uint32_t> m_start; // of each cell, column by column, and the end
    std::unique_ptr<Item[]> m_items;
};

// Below this many nodes a list is taken apart faster than threads start.
constexpr std::size_t kSideBySide = 16384;
// Up to this many nodes a list is taken apart without grids.
constexpr std::size_t kShort = 32;

// The layer's roots wait for the roots before them whose subtrees hold a
// box within theirs (a root takes in every box within it still in the
// list, so such a box belongs to a root placed earlier). heldWithin(root)
// gives the range of the sound boxes within a root when they were looked up
// before (null when not); the others are found by their lower-left corners.
// Inverted boxes are looked at apart; the roots side by side.
template <typename HeldWithin>
void AddTopLevelWaits(const std::vector<Box>& boxes, const std::vector<std::uint32_t>& branch,
                      const std::vector<std::uint32_t>& roots, double cell, HeldWithin heldWithin,
                      std::vector<std::pair<std::uint32_t, std::uint32_t>>& after)
{
    const std::size_t n = boxes.size();
    std::vector<std::uint32_t> inverted;
    bool unheld = false;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (!boxes[i].HasNaN() && boxes[i].IsInverted())
            inverted.push_back(i);
    }
    for (std::uint32_t r : roots)
        unheld = unheld || (!boxes[r].HasNaN() && !boxes[r].IsInverted() && heldWithin(r).first == nullptr);
    plat::SpatialGrid corners(cell / 4.0, unheld ? n : 0, true);
    if (unheld) {
        for (std::uint32_t i = 0; i < n; ++i) {
            if (!boxes[i].HasNaN() && !boxes[i].IsInverted())
                corners.AddPoint(boxes[i].xmin, boxes[i].ymin, i);
        }
        corners.Build();
    }
    constexpr std::size_t kPiece = 4096;
    const std::size_t pieces = (roots.size() + kPiece - 1) / kPiece;
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> found(pieces);
    auto look = [&](std::size_t p) {
        std::vector<std::uint32_t> within, waits;
        for (std::size_t j = p * kPiece; j < std::min(roots.size(), (p + 1) * kPiece); ++j) {
            const std::uint32_t r = roots[j];
            const Box& b = boxes[r];
            if (b.HasNaN())
                continue;
            within.clear();
            const auto [from, to] = heldWithin(r);
            if (from != nullptr) {
                within.assign(from, to);
            } else if (!b.IsInverted()) {
                corners.ForEachInRectShared(b.xmin, b.xmax, b.ymin, b.ymax, [](std::uint32_t) { return true; },
                                            [&](std::uint32_t k) {
                                                if (LiesWithin(boxes[k], b))
                                                    within.push_back(k);
                                            });
            }
            for (std::uint32_t k : inverted) {
                if (LiesWithin(boxes[k], b))
                    within.push_back(k);
            }
            waits.clear();
            for (std::uint32_t k : within) {
                if (branch[k] != r)
                    waits.push_back(branch[k]);
            }
            std::sort(waits.begin(), waits.end());
            waits.erase(std::unique(waits.begin(), waits.end()), waits.end());
            for (std::uint32_t w : waits)
                found[p].push_back({w, r});
        }
    };
    if (n < kSideBySide) {
        for (std::size_t p = 0; p < pieces; ++p)
            look(p);
    } else {
        plat::ParallelFor(pieces, look);
    }
    for (const auto& f : found)
        after.insert(after.end(), f.begin(), f.end());
}

// The containment tree of a layer. The whole list is taken apart the way
// the rule reads: its roots by the walk, each root's subtree out of it into
// a list of its own, and the rest on as the root's siblings. A node's list
// is a number (0 the whole layer, k + 1 the subtree of node k); a grid of
// the boxes finds those around a node (for the walk), one of their corners
// those within it (for the subtree). The subtrees share no node and are
// built side by side, each depth first in one pass (BuildTree), however
// deep it nests.
class LayerTree {
public:
    explicit LayerTree(const std::vector<Box>& boxes);
    Tree Build();

private:
    struct Pending {
        std::uint32_t id;
        std::vector<std::uint32_t> members; // in list order
    };
    // The grids of one list's own members: a node leaving the list (placed,
    // or into a subtree) is dropped from them for good, and no query meets
    // it again while the rest of the list is taken apart.
    struct ListGrids {
        ListGrids(const LayerTree& tree, const Pending& work);
        plat::SpatialGrid grid;
        plat::SpatialGrid corners;
        std::vector<std::uint32_t> inverted; // in list order
    };

    // A short list is taken apart the way the rule reads: a few hundred
    // comparisons cost less than filing two grids.
    void TakeApartShort(const Pending& work, std::vector<Pending>& stack);
    // Takes one list apart; the subtrees it finds go on the stack.
    void TakeApart(const Pending& work, std::vector<Pending>& stack);
    // The first later node of list `id` whose box strictly contains that of
    // a sound node k. A box around b covers b's lower-left corner, and the
    // grid holds the list in order: the first box found is the one.
    std::uint32_t Around(plat::SpatialGrid& grid, std::uint32_t id, std::uint32_t k,
                         std::uint32_t before = plat::SpatialGrid::kNone) const;
    // A large list's walks from its sound nodes, and the sound nodes within
    // each end, looked up at the start, side by side.
    void LookAhead(const Pending& work, ListGrids& g);
    // The roots of the list, each by the walk from its first node still in
    // it, and each root's subtree on the stack.
    void PlaceRoots(const Pending& work, ListGrids& g, bool ahead, std::vector<Pending>& stack);
    // The subtree of a root just placed: the nodes of its list lying within it.
    Pending SubtreeOf(std::uint32_t choice, std::uint32_t id, ListGrids& g, bool ahead);

    static constexpr std::uint32_t kNotHeld = std::numeric_limits<std::uint32_t>::max();
    // A placed node leaves every list: one read tells a query whether a node
    // is still to be placed in the list being taken apart.
    static constexpr std::uint32_t kPlaced = std::numeric_limits<std::uint32_t>::max();
    static constexpr double kInf = std::numeric_limits<double>::infinity();
    static constexpr std::size_t kPiece = 4096;

    const std::vector<Box>& boxes;
    const std::uint32_t n;
    std::vector<std::uint32_t> list;
    // Of a large list looked at ahead: where the walk from a node ends, and
    // where the nodes lying within an end are kept.
    std::vector<std::uint32_t> ends;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> held;
    double cell = 0.0;
    // What a large list looked up ahead: the nodes within each end, kept in
    // `inside` at the range `held` gives.
    std::unique_ptr<std::uint32_t[]> inside;
    bool heldAhead = false;
};

LayerTree::LayerTree(const std::vector<Box>& b)
    : boxes(b), n(static_cast<std::uint32_t>(b.size())), list(n, 0),
      ends(n, plat::SpatialGrid::kNone), held(n)
{
    std::vector<double> sizes;
    sizes.reserve(n);
    for (const Box& box : boxes)
        sizes.push_back(std::max(box.xmax - box.xmin, box.ymax - box.ymin));
    cell = plat::SpatialGrid::MedianCell(std::move(sizes));
}

void LayerTree::TakeApartShort(const Pending& work, std::vector<Pending>& stack)
{
    std::vector<std::uint32_t> rest = work.members;
    std::vector<std::uint32_t> others;
    while (!rest.empty()) {
        std::uint32_t choice = rest[0];
        for (std::size_t j = 1; j < rest.size(); ++j) {
            if (StrictlyContains(boxes[rest[j]], boxes[choice]))
                choice = rest[j];
        }
        list[choice] = kPlaced;
        const Box& r = boxes[choice];
        Pending inner{choice + 1, {}};
        others.clear();
        for (std::uint32_t k : rest) {
            if (k != choice)
                (LiesWithin(boxes[k], r) ? inner.members : others).push_back(k);
        }
        rest.swap(others);
        if (!inner.members.empty()) {
            for (std::uint32_t k : inner.members)
                list[k] = inner.id;
            stack.push_back(std::move(inner));
        }
    }
}

// A box lies within a sound box only when its lower-left corner does: the
// subtree is looked for among the corners, in finer cells than the boxes
// need, so that a query meets few boxes it cannot hold. An inverted box may
// lie within one without its corner doing so: it is kept apart and looked
// at for every root. A box with a NaN lies within none. Neither search
// depends on the order cells are visited in.
LayerTree::ListGrids::ListGrids(const LayerTree& tree, const Pending& work)
    : grid(tree.cell, work.members.size(), true), corners(tree.cell / 4.0, work.members.size(), true)
{
    const std::vector<Box>& boxes = tree.boxes;
    for (std::uint32_t i : work.members)
        grid.AddBox(boxes[i].xmin, boxes[i].xmax, boxes[i].ymin, boxes[i].ymax, i);
    for (std::uint32_t i : work.members) {
        if (boxes[i].HasNaN())
            continue;
        if (boxes[i].IsInverted())
            inverted.push_back(i);
        else
            corners.AddPoint(boxes[i].xmin, boxes[i].ymin, i);
    }
    grid.Build();
    // A large list looks up what lies within its ends in a table of its
    // own where it can: the corners are filed when first asked (a query
    // files them itself).
    if (work.members.size() < kSideBySide)
        corners.Build();
}

std::uint32_t LayerTree::Around(plat::SpatialGrid& grid, std::uint32_t id, std::uint32_t k,
                                std::uint32_t before) const
{
    const Box& b = boxes[k];
    return grid.FindEarliestAround(
        b.xmin, b.ymin, k, [&](std::uint32_t j) { return list[j] == id; },
        [&](std::uint32_t j) { return StrictlyContains(boxes[j], b); }, before);
}

void LayerTree::TakeApart(const Pending& work, std::vector<Pending>& stack)
{
    if (work.members.size() <= kShort) {
        TakeApartShort(work, stack);
        return;
    }
    ListGrids g(*this, work);
    // Nothing the list takes out of itself changes a later walk: a node
    // taken out lies within a placed root, and so would any node around
    // it, so every box around a node still in the list is still in it.
    // A large list therefore takes the walks of its sound nodes (every
    // box around a sound box is sound) all at the start, side by side:
    // ends[k] is the node the walk from node k stops at.
    // (Up to 2^27 nodes: the kept entries, up to 16 a node, are counted
    // in 32 bits.)
    const bool ahead = work.members.size() >= kSideBySide && work.members.size() < (std::size_t{1} << 27);
    heldAhead = ahead;
    if (ahead)
        LookAhead(work, g);
    PlaceRoots(work, g, ahead, stack);
}

void LayerTree::LookAhead(const Pending& work, ListGrids& g)
{
    const std::uint32_t id = work.id;
    const std::size_t pieces = (work.members.size() + kPiece - 1) / kPiece;
    // A box met again later in the piece (a part pasted onto itself)
    // has the same boxes around it: from the piece's end back, only
    // those between the two are looked for, not every later one.
    plat::ParallelFor(pieces, [&](std::size_t p) {
        std::unordered_map<Box, std::uint32_t, BoxHash, BoxEqual> later;
        const std::size_t first = p * kPiece;
        for (std::size_t j = std::min(work.members.size(), (p + 1) * kPiece); j-- > first;) {
            const std::uint32_t k = work.members[j];
            if (boxes[k].HasNaN() || boxes[k].IsInverted())
                continue;
            auto [again, added] = later.try_emplace(boxes[k], k);
            if (added) {
                ends[k] = Around(g.grid, id, k);
                continue;
            }
            const std::uint32_t between = Around(g.grid, id, k, again->second + 1);
            ends[k] = between != plat::SpatialGrid::kNone ? between : ends[again->second];
            again->second = k;
        }
    });
    // A walk goes to later nodes only: from the end of the list back,
    // each next node's end is known.
    for (std::size_t j = work.members.size(); j-- > 0;) {
        const std::uint32_t k = work.members[j];
        held[k] = {kNotHeld, kNotHeld};
        if (!boxes[k].HasNaN() && !boxes[k].IsInverted())
            ends[k] = ends[k] == plat::SpatialGrid::kNone ? k : ends[ends[k]];
    }
    // The sound nodes lying within each end (the end among them) are
    // looked up side by side as well: those still in the list when
    // the end is placed are its subtree. Each share of the ends
    // writes into a range of its own, a few entries a node; the ends
    // of a share past its range are searched when placed.
    std::vector<std::uint32_t> roots;
    for (std::uint32_t k : work.members) {
        if (boxes[k].HasNaN() || boxes[k].IsInverted())
            continue;
        const std::uint32_t r = ends[k];
        if (held[r].second == kNotHeld) {
            held[r].second = 0; // listed
            roots.push_back(r);
        }
    }
    // A share keeps what it finds up to 16 entries a node in all:
    // most ends hold a few nodes, and the room a long one takes
    // from the others spares it the slower search when placed.
    const std::size_t kRange = 16 * kPiece;
    const std::size_t shares = (roots.size() + kPiece - 1) / kPiece;
    std::vector<std::vector<std::uint32_t>> found(shares);
    const CornerCells table(boxes, work.members, cell / 4.0);
    if (!table.Filed())
        g.corners.Build();
    plat::ParallelFor(shares, [&](std::size_t p) {
        std::vector<std::uint32_t>& own = found[p];
        const std::size_t last = std::min(roots.size(), (p + 1) * kPiece);
        for (std::size_t j = p * kPiece; j < last; ++j) {
            const Box& r = boxes[roots[j]];
            const std::uint32_t from = static_cast<std::uint32_t>(own.size());
            bool full = false;
            auto keep = [&](std::uint32_t k) {
                if (own.size() == kRange)
                    full = true;
                else
                    own.push_back(k);
            };
            if (table.Filed()) {
                table.ForEachWithin(r, keep);
            } else {
                g.corners.ForEachInRectShared(
                    r.xmin, r.xmax, r.ymin, r.ymax, [](std::uint32_t) { return true; },
                    [&](std::uint32_t k) {
                        if (LiesWithin(boxes[k], r))
                            keep(k);
                    });
            }
            if (full) {
                for (; j < last; ++j)
                    held[roots[j]].second = kNotHeld;
                break;
            }
            held[roots[j]] = {from, static_cast<std::uint32_t>(own.size())};
        }
    });
    // The shares' entries joined into one array, their ranges moved
    // along.
    std::vector<std::size_t> base(shares + 1, 0);
    for (std::size_t p = 0; p < shares; ++p)
        base[p + 1] = base[p] + found[p].size();
    inside.reset(new std::uint32_t[base[shares]]);
    // Copying the shares together is memory bound: threads bought nothing.
    for (std::size_t p = 0; p < shares; ++p) {
        std::copy(found[p].begin(), found[p].end(), inside.get() + base[p]);
        std::vector<std::uint32_t>().swap(found[p]);
        const std::uint32_t shift = static_cast<std::uint32_t>(base[p]);
        const std::size_t last = std::min(roots.size(), (p + 1) * kPiece);
        for (std::size_t j = p * kPiece; j < last; ++j) {
            auto& range = held[roots[j]];
            if (range.first != kNotHeld)
                range = {range.first + shift, range.second + shift};
        }
    }
}

void LayerTree::PlaceRoots(const Pending& work, ListGrids& g, bool ahead, std::vector<Pending>& stack)
{
    const std::uint32_t id = work.id;
    auto unplaced = [&](std::uint32_t k) { return list[k] == id; };
    std::size_t cursor = 0;
    for (;;) {
        while (cursor < work.members.size() && list[work.members[cursor]] != id)
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
            if (ahead && !b.IsInverted()) {
                choice = ends[choice];
                break;
            }
            std::uint32_t next = plat::SpatialGrid::kNone;
            // No single point serves an inverted b: then every box is
            // looked at.
            if (b.IsInverted()) {
                g.grid.ForEachInRect(-kInf, kInf, -kInf, kInf, unplaced, [&](std::uint32_t k) {
                    if (k > choice && k < next && StrictlyContains(boxes[k], b))
                        next = k;
                });
            } else {
                next = Around(g.grid, id, choice);
            }
            if (next == plat::SpatialGrid::kNone)
                break;
            choice = next;
        }
        list[choice] = kPlaced;
        Pending inner = SubtreeOf(choice, id, g, ahead);
        if (!inner.members.empty()) {
            std::sort(inner.members.begin(), inner.members.end());
            for (std::uint32_t k : inner.members)
                list[k] = inner.id;
            stack.push_back(std::move(inner));
        }
    }
}

LayerTree::Pending LayerTree::SubtreeOf(std::uint32_t choice, std::uint32_t id, ListGrids& g, bool ahead)
{
    const Box& r = boxes[choice];
    Pending inner{choice + 1, {}};
    if (ahead && held[choice].first != kNotHeld) {
        for (std::uint32_t j = held[choice].first; j < held[choice].second; ++j) {
            if (list[inside[j]] == id)
                inner.members.push_back(inside[j]);
        }
    } else {
        g.corners.ForEachInRect(r.xmin, r.xmax, r.ymin, r.ymax, [&](std::uint32_t k) { return list[k] == id; },
                                [&](std::uint32_t k) {
                                    if (LiesWithin(boxes[k], r))
                                        inner.members.push_back(k);
                                });
    }
    if (!r.HasNaN() && !g.inverted.empty()) {
        std::size_t keep = 0;
        for (std::uint32_t k : g.inverted) {
            if (list[k] != id)
                continue;
            g.inverted[keep++] = k;
            if (LiesWithin(boxes[k], r))
                inner.members.push_back(k);
        }
        g.inverted.resize(keep);
    }
    return inner;
}

Tree LayerTree::Build()
{
    Pending whole{0, {}};
    whole.members.resize(n);
    for (std::uint32_t i = 0; i < n; ++i)
        whole.members[i] = i;
    std::vector<Pending> subtrees;
    TakeApart(whole, subtrees);
    whole = Pending{};

    Tree tree;
    tree.parent.assign(n, kTop);
    std::vector<std::uint32_t> branch(n);
    std::vector<std::uint32_t> roots;
    for (std::uint32_t i = 0; i < n; ++i) {
        branch[i] = list[i] == kPlaced ? i : list[i] - 1;
        if (list[i] == kPlaced)
            roots.push_back(i);
    }
    // What the list looked up ahead serves again here.
    auto heldWithin = [&](std::uint32_t r) -> std::pair<const std::uint32_t*, const std::uint32_t*> {
        if (!heldAhead || held[r].first == kNotHeld)
            return {nullptr, nullptr};
        return {inside.get() + held[r].first, inside.get() + held[r].second};
    };
    AddTopLevelWaits(boxes, branch, roots, cell, heldWithin, tree.after);

    std::sort(subtrees.begin(), subtrees.end(),
              [](const Pending& a, const Pending& b) { return a.members.size() > b.members.size(); });
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> after(subtrees.size());
    auto buildSubtree = [&](std::size_t k) {
        const std::vector<std::uint32_t>& members = subtrees[k].members;
        const std::uint32_t root = subtrees[k].id - 1;
        std::vector<Key> keys(members.size());
        for (std::size_t j = 0; j < members.size(); ++j)
            keys[j] = KeyOf(boxes[members[j]]);
        const Tree local = BuildTree(keys);
        for (std::size_t j = 0; j < members.size(); ++j)
            tree.parent[members[j]] = local.parent[j] == kTop ? root : members[local.parent[j]];
        for (const auto& [w, r] : local.after)
            after[k].push_back({members[w], members[r]});
    };
    if (n < kSideBySide || subtrees.size() < 2) {
        for (std::size_t k = 0; k < subtrees.size(); ++k)
            buildSubtree(k);
    } else {
        plat::ParallelFor(subtrees.size(), buildSubtree);
    }
    for (const auto& a : after)
        tree.after.insert(tree.after.end(), a.begin(), a.end());
    return tree;
}

} // namespace

Tree ContainmentTree(const std::vector<Box>& boxes)
{
    return LayerTree(boxes).Build();
}

} // namespace plat::rings
