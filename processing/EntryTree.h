// The search of the optimised ordering's walk: which waiting path has the
// entry point nearest to the head, among the paths of one group's subtree.
#pragma once
#include "OptimisedRun.h"

#include <cstdint>
#include <vector>

namespace plat::optimised {

// Nearest entry among the paths eligible now: a k-d tree over the paths'
// entry points themselves (a path's distance is that of its nearest entry
// point), built once, from which taken paths are removed. Boxes of whole
// paths would overlap heavily in a dense drawing and bound nothing; points
// do not overlap. Each point carries its path's number; a query is limited
// to one group's numbers (a subtree is one run of numbers) and breaks ties
// of distance by the lower number, which is the earlier child.
class EntryTree {
public:
    struct Item {
        double x;
        double y;
        std::uint32_t key;      // the path's number
        std::uint32_t slot = 0; // the path's slot, given by the tree
    };
    struct Found {
        std::uint32_t key;
        std::uint32_t slot;
    };

    // Items with numbers below `keys`.
    EntryTree(std::vector<Item> items, std::size_t keys);

    // The number of the path in each slot.
    const std::vector<std::uint32_t>& KeyOfSlot() const { return m_keyOfSlot; }
    // The slot of the path with this number (which has points).
    std::uint32_t SlotOf(std::uint32_t key) const { return m_slotOfKey[key]; }

    // Takes the path with this number out of the search (if it is in it).
    void Remove(std::uint32_t key)
    {
        if (key < m_slotOfKey.size() && m_slotOfKey[key] != kNone)
            RemoveSlot(m_slotOfKey[key]);
    }

    void RemoveSlot(std::uint32_t slot)
    {
        for (std::uint32_t j = m_slotFirst[slot]; j < m_slotFirst[slot + 1]; ++j) {
            const SlotPoint& p = m_slotPoints[j];
            std::uint32_t& mask = m_leafMask[p.leaf];
            const std::uint32_t bit = 1u << p.bit;
            if ((mask & bit) == 0)
                continue;
            mask &= ~bit;
            if (p.cellItem != kNone)
                m_cellKey[p.cellItem].key = kNone;
            // Only a subtree that empties changes its parent's count.
            if (mask != 0)
                continue;
            std::uint32_t k = m_leafParent[p.leaf];
            while (k != kNone && --m_node[k].alive == 0)
                k = m_node[k].parent;
        }
    }

    // The number of the nearest live path with a number in [klo, khi], the
    // lower number on equal distance, with its slot; key kNone when none.
    Found Nearest(double x, double y, std::uint32_t klo, std::uint32_t khi);

private:
    // The cells: a grid over the points' extent, the points of every cell
    // together (in tree order), for searches that begin where the head is.
    // Returns each point's place among the cells' points; empty when
    // there are no cells.
    std::vector<std::uint32_t> BuildCells();

    std::uint32_t Col(double x) const
    {
        const double c = (x - m_x0) * m_inv;
        return c <= 0.0 ? 0 : (c >= static_cast<double>(m_cols - 1) ? m_cols - 1 : static_cast<std::uint32_t>(c));
    }
    std::uint32_t Row(double y) const
    {
        const double r = (y - m_y0) * m_inv;
        return r <= 0.0 ? 0 : (r >= static_cast<double>(m_rows - 1) ? m_rows - 1 : static_cast<std::uint32_t>(r));
    }
    std::uint32_t CellOf(double x, double y) const { return Row(y) * m_cols + Col(x); }

    // The nearest in the cells around (x, y), ring by ring; true when no
    // point outside the cells looked at can be as near (or there is none
    // outside them), which makes it the answer.
    bool NearestInCells(double x, double y, std::uint32_t klo, std::uint32_t khi, std::uint32_t& bestKey,
                        std::uint32_t& bestSlot, double& best) const;

    static constexpr std::uint32_t kLeaf = 16;
    static_assert(kLeaf < 32, "a leaf keeps a bit per point");
    // Points from which a grid is laid, and its rings looked at before the tree.
    static constexpr std::size_t kCellsFrom = 2048;
    static constexpr double kPointsPerCell = 4.0;
    static constexpr std::uint32_t kRings = 3;
    // Below this many points the tree is built faster than threads start.
    static constexpr std::size_t kSideBySidePoints = 65536;
    static constexpr std::size_t kLevelPieces = 64;

    struct Node {
        Box box;
        std::uint32_t keyMin = kNone;
        std::uint32_t keyMax = 0;
        std::uint32_t alive = 0; // its children with live points (not kept for a leaf)
        std::uint32_t leaf = kNone; // a leaf: its place among the leaves
        std::uint32_t parent = kNone;
        std::uint32_t left = kNone; // the right child follows it; kNone for a leaf
        std::uint32_t lo = 0;       // its points: lo .. hi - 1
        std::uint32_t hi = 0;
    };
    struct Pending {
        std::uint32_t node;
        double bound;
    };

    static double BoxDist2(const Box& b, double x, double y)
    {
        const double dx = x < b.xmin ? b.xmin - x : (x > b.xmax ? x - b.xmax : 0.0);
        const double dy = y < b.ymin ? b.ymin - y : (y > b.ymax ? y - b.ymax : 0.0);
        return dx * dx + dy * dy;
    }

    std::vector<Item> m_items;               // in tree order
    std::vector<std::uint32_t> m_slotOfKey;  // number -> slot; kNone: no points
    std::vector<std::uint32_t> m_keyOfSlot;
    struct SlotPoint {
        std::uint32_t leaf;     // its leaf's place among the leaves
        std::uint32_t bit;      // its place in the leaf
        std::uint32_t cellItem; // its place among the cells' points; kNone without cells
    };
    std::vector<std::uint32_t> m_slotFirst;  // slot -> first of its points in m_slotPoints
    std::vector<SlotPoint> m_slotPoints;     // the points grouped by slot
    std::vector<std::uint32_t> m_leafMask;   // per leaf: a bit per live point
    std::vector<std::uint32_t> m_leafParent;
    std::vector<Node> m_node;                // node 0 is the root
    std::vector<Pending> m_stack;
    // The points by cell, apart: a search reads the numbers of many and
    // the places of some.
    struct KeySlot {
        std::uint32_t key; // kNone once removed
        std::uint32_t slot;
    };
    std::vector<KeySlot> m_cellKey;
    std::vector<Dot> m_cellDot;
    std::vector<std::uint32_t> m_cellFirst;  // cell -> its first point; empty: no grid
    std::uint32_t m_cols = 0;
    std::uint32_t m_rows = 0;
    std::uint32_t m_cellKeys = 0; // searches over fewer numbers go to the tree
    double m_x0 = 0.0;
    double m_y0 = 0.0;
    double m_cell = 0.0;
    double m_inv = 0.0;
    double m_slack = 0.0;
};

} // namespace plat::optimised
