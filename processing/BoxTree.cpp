// The tree of one list of path units built depth first in one pass: the
// units' boxes as points of four coordinates in a k-d tree that answers the
// walk's "first unit strictly around" and the waits' "placed units within".
#include "ContainmentTree.h"

#include <algorithm>
#include <memory>

namespace plat::rings {
namespace {

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

} // namespace

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

} // namespace plat::rings
