// What the inside-first ordering builds its tree from: the extents of a
// layer's path units, the tree (each unit's parent, and the branches that
// wait for others), the tree of one subtree built depth first over the
// units' boxes as points of four coordinates (BoxTree.cpp), and the tree of
// a whole layer, its subtrees side by side (ContainmentTree.cpp).
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace plat::rings {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

struct Box {
    double xmin;
    double xmax;
    double ymin;
    double ymax;

    bool HasNaN() const { return std::isnan(xmin) || std::isnan(xmax) || std::isnan(ymin) || std::isnan(ymax); }
    bool IsInverted() const { return !(xmin <= xmax && ymin <= ymax); }
};

inline bool StrictlyContains(const Box& a, const Box& b)
{
    return a.xmin < b.xmin && a.xmax > b.xmax && a.ymin < b.ymin && a.ymax > b.ymax;
}

inline bool LiesWithin(const Box& a, const Box& b)
{
    return a.xmin >= b.xmin && a.xmax <= b.xmax && a.ymin >= b.ymin && a.ymax <= b.ymax;
}

constexpr int kDims = 4;

// A box as a point of four coordinates (xmin, ymin, -xmax, -ymax): a box lies
// within another (edges included) exactly when each of its coordinates is
// at least the other's, and strictly inside it when each is larger.
struct Key {
    double v[kDims];
    bool HasNaN() const { return std::isnan(v[0]) || std::isnan(v[1]) || std::isnan(v[2]) || std::isnan(v[3]); }
};

inline Key KeyOf(const Box& b)
{
    return Key{{b.xmin, b.ymin, -b.xmax, -b.ymax}};
}

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

// The tree of one list of keys by that rule, built in one pass.
Tree BuildTree(const std::vector<Key>& keys);

// The containment tree of a layer's boxes (see ContainmentTree.cpp).
Tree ContainmentTree(const std::vector<Box>& boxes);

} // namespace plat::rings
