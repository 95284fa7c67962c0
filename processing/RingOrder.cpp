#include "RingOrder.h"
#include "PathUnits.h"
#include "SpatialGrid.h"

#include "JobRecords.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <queue>
#include <unordered_map>
#include <utility>
#include <vector>

using plat::PathUnit;

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

struct Box {
    double xmin;
    double xmax;
    double ymin;
    double ymax;

    bool HasNaN() const { return std::isnan(xmin) || std::isnan(xmax) || std::isnan(ymin) || std::isnan(ymax); }
    bool IsInverted() const { return !(xmin <= xmax && ymin <= ymax); }
};

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

bool StrictlyContains(const Box& a, const Box& b)
{
    return a.xmin < b.xmin && a.xmax > b.xmax && a.ymin < b.ymin && a.ymax > b.ymax;
}

bool LiesWithin(const Box& a, const Box& b)
{
    return a.xmin >= b.xmin && a.xmax <= b.xmax && a.ymin >= b.ymin && a.ymax <= b.ymax;
}

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
        std::vector<Reach> reach(kPieces);
        plat::ParallelFor(kPieces, [&](std::size_t p) {
            Reach& r = reach[p];
            for (std::size_t j = p * share; j < std::min(members.size(), (p + 1) * share); ++j) {
                const Box& b = boxes[members[j]];
                if (!sound(members[j]))
                    continue;
                ++r.count;
                const std::int64_t cx = CellOf(b.xmin), cy = CellOf(b.ymin);
                r.x0 = std::min(r.x0, cx);
                r.x1 = std::max(r.x1, cx);
                r.y0 = std::min(r.y0, cy);
                r.y1 = std::max(r.y1, cy);
            }
        });
        Reach all;
        for (const Reach& r : reach) {
            all.x0 = std::min(all.x0, r.x0);
            all.x1 = std::max(all.x1, r.x1);
            all.y0 = std::min(all.y0, r.y0);
            all.y1 = std::max(all.y1, r.y1);
            all.count += r.count;
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

constexpr int kDims = 4;

// A box as a point of four coordinates (xmin, ymin, -xmax, -ymax): a box lies
// within another (edges included) exactly when each of its coordinates is
// at least the other's, and strictly inside it when each is larger.
struct Key {
    double v[kDims];
    bool HasNaN() const { return std::isnan(v[0]) || std::isnan(v[1]) || std::isnan(v[2]) || std::isnan(v[3]); }
};

Key KeyOf(const Box& b)
{
    return Key{{b.xmin, b.ymin, -b.xmax, -b.ymax}};
}

// The boxes of a list's units in a k-d tree over their keys, a few units to
// a leaf, each subtree with the bounds of its keys, the smallest list
// position among its units still to be placed, and the latest placing
// number among those placed. Units with a NaN are left out.
class BoxTree {
public:
    explicit BoxTree(const std::vector<Key>& keys)
    {
        for (std::uint32_t i = 0; i < keys.size(); ++i) {
            if (!keys[i].HasNaN())
                m_ids.push_back(i);
        }
        m_leafOf.assign(keys.size(), kNone);
        if (m_ids.empty())
            return;
        Build(keys);
        m_keys.resize(m_ids.size());
        for (std::size_t k = 0; k < m_ids.size(); ++k)
            m_keys[k] = keys[m_ids[k]];
        m_placeNo.assign(m_ids.size(), 0);
    }

    // The first unplaced unit in list order whose key k has lo <= k (and
    // k < hi, each coordinate, when `hi` is given); kNone when there is none.
    std::uint32_t FirstOpen(const Key& lo, const Key* hi) const
    {
        std::uint32_t best = kNone;
        Visit(
            [&](const Node& node) {
                if (node.firstOpen >= best || Disjoint(node, lo, hi))
                    return false;
                if (Inside(node, lo, hi)) {
                    best = node.firstOpen;
                    return false;
                }
                return true;
            },
            [&](std::size_t k) {
                if (m_placeNo[k] == 0 && m_ids[k] < best && Matches(m_keys[k], lo, hi))
                    best = m_ids[k];
            });
        return best;
    }

    // Calls f(unit) for every placed unit whose key is at least `lo` and
    // whose placing number is above `after`.
    template <typename F>
    void ForEachPlacedWithin(const Key& lo, std::uint32_t after, F f) const
    {
        Visit([&](const Node& node) { return node.lastPlaced > after && !Disjoint(node, lo, nullptr); },
              [&](std::size_t k) {
                  if (m_placeNo[k] > after && Matches(m_keys[k], lo, nullptr))
                      f(m_ids[k]);
              });
    }

    // The unit is placed with this number: the subtrees on its way up take
    // it into account.
    void Place(std::uint32_t unit, std::uint32_t number)
    {
        std::uint32_t n = m_leafOf[unit];
        if (n == kNone)
            return;
        const Node& leaf = m_nodes[n];
        for (std::uint32_t k = leaf.begin; k < leaf.end; ++k) {
            if (m_ids[k] == unit)
                m_placeNo[k] = number;
        }
        for (; n != kNone; n = m_nodes[n].parent) {
            Node& node = m_nodes[n];
            if (node.left == kNone) {
                node.firstOpen = kNone;
                for (std::uint32_t k = node.begin; k < node.end; ++k) {
                    if (m_placeNo[k] == 0)
                        node.firstOpen = std::min(node.firstOpen, m_ids[k]);
                }
            } else {
                node.firstOpen = std::min(m_nodes[node.left].firstOpen, m_nodes[node.right].firstOpen);
            }
            node.lastPlaced = std::max(node.lastPlaced, number);
        }
    }

private:
    static constexpr std::uint32_t kLeaf = 8;

    struct Node {
        Key lo, hi; // bounds of the subtree's keys
        std::uint32_t begin, end;   // its units, in tree order
        std::uint32_t left, right;  // kNone for a leaf
        std::uint32_t parent;
        std::uint32_t firstOpen;    // kNone when all are placed
        std::uint32_t lastPlaced;   // 0 when none is
    };

    // Depth first from the root: `enter(node)` tells whether to go into a
    // node, `unit(k)` sees each unit of the leaves entered. The child with
    // the smaller first unplaced unit is entered first, so that searches
    // for the first one find it early.
    template <typename Enter, typename Unit>
    void Visit(Enter enter, Unit unit) const
    {
        if (m_nodes.empty())
            return;
        std::uint32_t stack[128];
        int top = 0;
        stack[top++] = 0;
        while (top > 0) {
            const Node& node = m_nodes[stack[--top]];
            if (!enter(node))
                continue;
            if (node.left == kNone) {
                for (std::uint32_t k = node.begin; k < node.end; ++k)
                    unit(k);
                continue;
            }
            const bool leftFirst = m_nodes[node.left].firstOpen <= m_nodes[node.right].firstOpen;
            stack[top++] = leftFirst ? node.right : node.left;
            stack[top++] = leftFirst ? node.left : node.right;
        }
    }

    static bool Matches(const Key& k, const Key& lo, const Key* hi)
    {
        for (int d = 0; d < kDims; ++d) {
            if (!(k.v[d] >= lo.v[d]) || (hi != nullptr && !(k.v[d] < hi->v[d])))
                return false;
        }
        return true;
    }
    static bool Disjoint(const Node& node, const Key& lo, const Key* hi)
    {
        for (int d = 0; d < kDims; ++d) {
            if (node.hi.v[d] < lo.v[d] || (hi != nullptr && !(node.lo.v[d] < hi->v[d])))
                return true;
        }
        return false;
    }
    static bool Inside(const Node& node, const Key& lo, const Key* hi)
    {
        for (int d = 0; d < kDims; ++d) {
            if (!(node.lo.v[d] >= lo.v[d]) || (hi != nullptr && !(node.hi.v[d] < hi->v[d])))
                return false;
        }
        return true;
    }

    // Each range of more than kLeaf units is split at its middle along the
    // coordinate its keys spread most in.
    void Build(const std::vector<Key>& keys)
    {
        struct Range {
            std::uint32_t node;
            bool done;
        };
        m_nodes.push_back(Node{{}, {}, 0, static_cast<std::uint32_t>(m_ids.size()), kNone, kNone, kNone, kNone, 0});
        std::vector<Range> stack{{0, false}};
        while (!stack.empty()) {
            const Range r = stack.back();
            stack.pop_back();
            const std::uint32_t b = m_nodes[r.node].begin, e = m_nodes[r.node].end;
            if (r.done || e - b <= kLeaf) {
                Node& node = m_nodes[r.node];
                if (node.left == kNone) {
                    node.lo = node.hi = keys[m_ids[b]];
                    for (std::uint32_t k = b; k < e; ++k) {
                        const Key& key = keys[m_ids[k]];
                        for (int d = 0; d < kDims; ++d) {
                            node.lo.v[d] = std::min(node.lo.v[d], key.v[d]);
                            node.hi.v[d] = std::max(node.hi.v[d], key.v[d]);
                        }
                        node.firstOpen = std::min(node.firstOpen, m_ids[k]);
                        m_leafOf[m_ids[k]] = r.node;
                    }
                } else {
                    const Node& l = m_nodes[node.left];
                    const Node& h = m_nodes[node.right];
                    for (int d = 0; d < kDims; ++d) {
                        node.lo.v[d] = std::min(l.lo.v[d], h.lo.v[d]);
                        node.hi.v[d] = std::max(l.hi.v[d], h.hi.v[d]);
                    }
                    node.firstOpen = std::min(l.firstOpen, h.firstOpen);
                }
                continue;
            }
            int axis = 0;
            double widest = -1.0;
            for (int d = 0; d < kDims; ++d) {
                double lo = std::numeric_limits<double>::infinity(), hi = -lo;
                for (std::uint32_t k = b; k < e; ++k) {
                    lo = std::min(lo, keys[m_ids[k]].v[d]);
                    hi = std::max(hi, keys[m_ids[k]].v[d]);
                }
                // An infinite spread is the widest; inf - inf is none.
                const double spread = hi - lo;
                if (spread > widest || (std::isnan(spread) && widest < 0.0)) {
                    widest = std::isnan(spread) ? 0.0 : spread;
                    axis = d;
                }
            }
            const std::uint32_t mid = b + (e - b) / 2;
            std::nth_element(m_ids.begin() + b, m_ids.begin() + mid, m_ids.begin() + e,
                             [&](std::uint32_t x, std::uint32_t y) { return keys[x].v[axis] < keys[y].v[axis]; });
            const std::uint32_t left = static_cast<std::uint32_t>(m_nodes.size());
            m_nodes.push_back(Node{{}, {}, b, mid, kNone, kNone, r.node, kNone, 0});
            m_nodes.push_back(Node{{}, {}, mid, e, kNone, kNone, r.node, kNone, 0});
            m_nodes[r.node].left = left;
            m_nodes[r.node].right = left + 1;
            stack.push_back({r.node, true});
            stack.push_back({left, false});
            stack.push_back({left + 1, false});
        }
    }

    std::vector<std::uint32_t> m_ids;     // units in tree order
    std::vector<Key> m_keys;              // their keys, in tree order
    std::vector<std::uint32_t> m_placeNo; // their placing numbers (0 unplaced), in tree order
    std::vector<Node> m_nodes;            // the root first
    std::vector<std::uint32_t> m_leafOf;  // of each unit
};

constexpr std::uint32_t kTop = kNone; // the list's owner

// The containment tree of a list by the rule, built depth first in one
// pass: a list (the unplaced units within its owner, or all of them) takes
// its root by the walk from its first unit, each step to the first later
// unit strictly around the current one, and the root's subtree is worked
// out before the list goes on. Each walk step is the first unplaced unit
// strictly inside the list's owner and strictly around the current unit (no
// earlier one can be: it would have been a step before); the walk that
// found a root is still the start of the walk in the root's own list, less
// the root.
//
// A unit placed in an earlier branch may lie within a root placed later
// (boxes that overlap make such lists): that root's branch then waits for
// the earlier one when the siblings are written (`after`).
struct Tree {
    std::vector<std::uint32_t> parent;                         // kTop for the roots
    std::vector<std::pair<std::uint32_t, std::uint32_t>> after; // (branch, branch that waits for it)
};

Tree BuildTree(const std::vector<Key>& keys)
{
    const std::uint32_t n = static_cast<std::uint32_t>(keys.size());
    Tree tree;
    tree.parent.assign(n, kTop);
    std::vector<std::uint32_t> placeNo(n, 0);
    BoxTree boxes(keys);
    struct Owner {
        std::uint32_t unit;
        std::uint32_t placeNo;
        std::vector<std::uint32_t> children; // in placing order
    };
    std::vector<Owner> owners;
    owners.push_back({kTop, 0, {}});
    std::vector<std::uint32_t> walk;
    std::vector<std::uint32_t> waits;
    std::uint32_t cursor = 0; // the first unplaced unit lies here or after
    std::uint32_t placed = 0;
    while (!owners.empty()) {
        Owner& owner = owners.back();
        const bool top = owner.unit == kTop;
        if (walk.empty()) {
            std::uint32_t first = kNone;
            if (top) {
                while (cursor < n && placeNo[cursor] != 0)
                    ++cursor;
                first = cursor < n ? cursor : kNone;
            } else if (!keys[owner.unit].HasNaN()) {
                first = boxes.FirstOpen(keys[owner.unit], nullptr);
            }
            if (first == kNone) {
                owners.pop_back();
                continue;
            }
            walk.push_back(first);
        }
        constexpr double kInf = std::numeric_limits<double>::infinity();
        const Key all{{-kInf, -kInf, -kInf, -kInf}};
        const Key& bound = top ? all : keys[owner.unit];
        while (!keys[walk.back()].HasNaN()) {
            const std::uint32_t next = boxes.FirstOpen(bound, &keys[walk.back()]);
            if (next == kNone)
                break;
            walk.push_back(next);
        }
        const std::uint32_t root = walk.back();
        walk.pop_back();
        // Units of earlier branches of this owner lying within the root.
        waits.clear();
        if (!owner.children.empty() && !keys[root].HasNaN()) {
            boxes.ForEachPlacedWithin(keys[root], owner.placeNo, [&](std::uint32_t unit) {
                const auto it = std::upper_bound(owner.children.begin(), owner.children.end(), placeNo[unit],
                                                 [&](std::uint32_t no, std::uint32_t c) { return no < placeNo[c]; });
                waits.push_back(*(it - 1));
            });
            std::sort(waits.begin(), waits.end());
            waits.erase(std::unique(waits.begin(), waits.end()), waits.end());
            for (std::uint32_t w : waits)
                tree.after.push_back({w, root});
        }
        placeNo[root] = ++placed;
        boxes.Place(root, placeNo[root]);
        tree.parent[root] = owner.unit;
        owner.children.push_back(root);
        owners.push_back({root, placeNo[root], {}});
    }
    return tree;
}

constexpr std::int32_t kNoParent = -1;
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
Tree ContainmentTree(const std::vector<Box>& boxes)
{
    const std::uint32_t n = static_cast<std::uint32_t>(boxes.size());
    std::vector<std::int32_t> parent(n, kNoParent); // of the whole list's roots
    std::vector<std::uint32_t> list(n, 0);
    // Of a large list looked at ahead (below): where the walk from a node
    // ends, and where the nodes lying within an end are kept.
    std::vector<std::uint32_t> ends(n, plat::SpatialGrid::kNone);
    constexpr std::uint32_t kNotHeld = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::pair<std::uint32_t, std::uint32_t>> held(n);
    // A placed node leaves every list: one read tells a query whether a node
    // is still to be placed in the list being taken apart.
    constexpr std::uint32_t kPlaced = std::numeric_limits<std::uint32_t>::max();
    std::vector<double> sizes;
    sizes.reserve(n);
    for (const Box& b : boxes)
        sizes.push_back(std::max(b.xmax - b.xmin, b.ymax - b.ymin));
    const double cell = plat::SpatialGrid::MedianCell(std::move(sizes));
    constexpr double kInf = std::numeric_limits<double>::infinity();
    // What a large list looked up ahead: the nodes within each end, kept in
    // `inside` at the range `held` gives.
    std::unique_ptr<std::uint32_t[]> inside;
    bool heldAhead = false;
    struct Pending {
        std::uint32_t id;
        std::vector<std::uint32_t> members; // in list order
    };
    // A short list is taken apart the way the rule reads: a few hundred
    // comparisons cost less than filing two grids.
    auto takeApartShort = [&](const Pending& work, std::vector<Pending>& stack) {
        std::vector<std::uint32_t> rest = work.members;
        std::vector<std::uint32_t> others;
        while (!rest.empty()) {
            std::uint32_t choice = rest[0];
            for (std::size_t j = 1; j < rest.size(); ++j) {
                if (StrictlyContains(boxes[rest[j]], boxes[choice]))
                    choice = rest[j];
            }
            list[choice] = kPlaced;
            parent[choice] = work.id == 0 ? kNoParent : static_cast<std::int32_t>(work.id - 1);
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
    };
    // Takes one list apart; the subtrees it finds go on the stack.
    auto takeApart = [&](const Pending& work, std::vector<Pending>& stack) {
        if (work.members.size() <= kShort) {
            takeApartShort(work, stack);
            return;
        }
        const std::uint32_t id = work.id;
        // Each list has grids of its own members: a node leaving the list
        // (placed, or into a subtree) is dropped from them for good, and no
        // query meets it again while the rest of the list is taken apart.
        // A box lies within a sound box only when its lower-left corner does:
        // the subtree is looked for among the corners, in finer cells than
        // the boxes need, so that a query meets few boxes it cannot hold. An
        // inverted box may lie within one without its corner doing so: it is
        // kept apart and looked at for every root. A box with a NaN lies
        // within none. Neither search depends on the order cells are visited
        // in.
        plat::SpatialGrid grid(cell, work.members.size(), true);
        plat::SpatialGrid corners(cell / 4.0, work.members.size(), true);
        std::vector<std::uint32_t> inverted; // in list order
        auto fill = [&](std::size_t which) {
            if (which == 0) {
                for (std::uint32_t i : work.members)
                    grid.AddBox(boxes[i].xmin, boxes[i].xmax, boxes[i].ymin, boxes[i].ymax, i);
                return;
            }
            for (std::uint32_t i : work.members) {
                if (boxes[i].HasNaN())
                    continue;
                if (boxes[i].IsInverted())
                    inverted.push_back(i);
                else
                    corners.AddPoint(boxes[i].xmin, boxes[i].ymin, i);
            }
        };
        fill(0);
        fill(1);
        grid.Build();
        // A large list looks up what lies within its ends in a table of its
        // own where it can: the corners are filed when first asked (a query
        // files them itself).
        if (work.members.size() < kSideBySide)
            corners.Build();
        auto unplaced = [&](std::uint32_t k) { return list[k] == id; };
        // The first later node of the list whose box strictly contains that
        // of a sound node. A box around b covers b's lower-left corner, and
        // the grid holds the list in order: the first box found is the one.
        auto around = [&](std::uint32_t k, std::uint32_t before = plat::SpatialGrid::kNone) {
            const Box& b = boxes[k];
            return grid.FindEarliestAround(
                b.xmin, b.ymin, k, unplaced, [&](std::uint32_t j) { return StrictlyContains(boxes[j], b); }, before);
        };
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
        constexpr std::size_t kPiece = 4096;
        if (ahead) {
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
                        ends[k] = around(k);
                        continue;
                    }
                    const std::uint32_t between = around(k, again->second + 1);
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
                corners.Build();
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
                        corners.ForEachInRectShared(
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
            plat::ParallelFor(shares, [&](std::size_t p) {
                std::copy(found[p].begin(), found[p].end(), inside.get() + base[p]);
                std::vector<std::uint32_t>().swap(found[p]);
                const std::uint32_t shift = static_cast<std::uint32_t>(base[p]);
                const std::size_t last = std::min(roots.size(), (p + 1) * kPiece);
                for (std::size_t j = p * kPiece; j < last; ++j) {
                    auto& range = held[roots[j]];
                    if (range.first != kNotHeld)
                        range = {range.first + shift, range.second + shift};
                }
            });
        }
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
                if (ahead && !b.IsInverted()) {
                    choice = ends[choice];
                    break;
                }
                std::uint32_t next = plat::SpatialGrid::kNone;
                // No single point serves an inverted b: then every box is
                // looked at.
                if (b.IsInverted()) {
                    grid.ForEachInRect(-kInf, kInf, -kInf, kInf, unplaced, [&](std::uint32_t k) {
                        if (k > choice && k < next && StrictlyContains(boxes[k], b))
                            next = k;
                    });
                } else {
                    next = around(choice);
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
            if (ahead && held[choice].first != kNotHeld) {
                for (std::uint32_t j = held[choice].first; j < held[choice].second; ++j) {
                    if (list[inside[j]] == id)
                        inner.members.push_back(inside[j]);
                }
            } else {
                corners.ForEachInRect(r.xmin, r.xmax, r.ymin, r.ymax, unplaced, [&](std::uint32_t k) {
                    if (LiesWithin(boxes[k], r))
                        inner.members.push_back(k);
                });
            }
            if (!r.HasNaN() && !inverted.empty()) {
                std::size_t keep = 0;
                for (std::uint32_t k : inverted) {
                    if (list[k] != id)
                        continue;
                    inverted[keep++] = k;
                    if (LiesWithin(boxes[k], r))
                        inner.members.push_back(k);
                }
                inverted.resize(keep);
            }
            if (!inner.members.empty()) {
                std::sort(inner.members.begin(), inner.members.end());
                for (std::uint32_t k : inner.members)
                    list[k] = inner.id;
                stack.push_back(std::move(inner));
            }
        }
    };
    Pending whole{0, {}};
    whole.members.resize(n);
    for (std::uint32_t i = 0; i < n; ++i)
        whole.members[i] = i;
    std::vector<Pending> subtrees;
    takeApart(whole, subtrees);
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
