// The optimised ordering: the cut paths become a tree of groups (paths lying
// inside a closed path under it, or cells of a fixed size), and each group's
// children are taken nearest entry first from where the head stands.
#include "PathProc.h"
#include "PathUnits.h"
#include "SpatialGrid.h"

#include "JobRecords.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/PolylineGeometry.h"
#include "model/SegNodePool.h"
#include "platform/ParallelFor.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <numbers>
#include <span>
#include <utility>
#include <vector>

using plat::PathUnit;

namespace {

constexpr double kClosedTol = 0.001;
constexpr double kMinCell = 0.001;
constexpr double kSlantMin = 0.2617993877991494;  // 15 degrees off the axes
constexpr double kSlantMax = 1.3089969389957472;  // 75 degrees
constexpr double kWideAngle = 2.0943951023931953; // 120 degrees
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

struct Dot {
    double x;
    double y;
};

double Dist2(const Dot& a, double x, double y) { return (a.x - x) * (a.x - x) + (a.y - y) * (a.y - y); }

// A child by the distance of its lower-left corner, the earlier child on
// equal distance.
struct Near {
    double dist;
    std::uint32_t child;
    std::uint32_t place = 0; // where the partition keeps its corner
    bool operator<(const Near& o) const { return dist < o.dist || (dist == o.dist && child < o.child); }
};

struct Box {
    double xmin = kInf;
    double xmax = -kInf;
    double ymin = kInf;
    double ymax = -kInf;

    void Add(const Dot& d)
    {
        xmin = std::min(xmin, d.x);
        xmax = std::max(xmax, d.x);
        ymin = std::min(ymin, d.y);
        ymax = std::max(ymax, d.y);
    }
    void Add(const Box& b)
    {
        xmin = std::min(xmin, b.xmin);
        xmax = std::max(xmax, b.xmax);
        ymin = std::min(ymin, b.ymin);
        ymax = std::max(ymax, b.ymax);
    }
    bool Within(const Box& o) const { return xmin >= o.xmin && xmax <= o.xmax && ymin >= o.ymin && ymax <= o.ymax; }
};

// Leaves new elements unwritten: for arrays of plain records that are then
// filled whole, side by side, so that fresh memory is first touched (and
// zeroed by the system) on every thread rather than all of it on one.
template <typename T>
struct FillLater : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = FillLater<U>;
    };
    FillLater() = default;
    template <typename U>
    FillLater(const FillLater<U>&) noexcept
    {
    }
    template <typename U>
    void construct(U*) noexcept
    {
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
template <typename T>
using FilledLater = std::vector<T, FillLater<T>>;

struct Options {
    int mode = 0;       // "path mode": 0 containment, other values cells
    int metaPos = 0;    // "path meta pos"
    bool inOut = false; // "path in out"
    bool byLayer = false;
    double width = 0.0;
    double height = 0.0;
    int position = 0; // remapped "path work pos"
};

// One unit of a run (a path with its points, type 2, or a group bracket,
// type 1, whose members name it as their bracket). Plain data: millions are
// read side by side and laid end to end.
struct Graph {
    int type = 2;
    WORKLAYER* layer = nullptr;
    PATHREC* path = nullptr;    // the path, or the opening bracket
    PATHREC* closing = nullptr; // type 1: the closing bracket, null when missing
    std::uint32_t dotFirst = 0; // its points in the run's pool: first segment
    std::uint32_t dotCount = 0; // start, then every segment end
    std::uint32_t bracket = kNone; // the bracket graph it is a member of; kNone for a unit's first graph
    bool closed = false;
    Box box;
    std::uint32_t entry = 0; // closed path: the point it begins at
    bool reversed = false;   // open path: runs from its last point
};

// A list of group numbers in memory the run keeps; room for every entry is
// made before the list is filled, so adding one never allocates.
struct GroupList {
    std::uint32_t* data = nullptr;
    std::uint32_t count = 0;

    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    std::uint32_t& operator[](std::size_t i) const { return data[i]; }
    std::uint32_t front() const { return data[0]; }
    std::uint32_t* begin() const { return data; }
    std::uint32_t* end() const { return data + count; }
    void push_back(std::uint32_t v) { data[count++] = v; }
};

// A node of the ordering tree.
struct Group {
    std::int32_t graph = -1;
    std::uint32_t parent = kNone;
    Box box;
    GroupList children;
    // Ordering state.
    GroupList ordered;
    std::uint8_t* begun = nullptr; // per child: taken already
    std::uint32_t begunCount = 0;
    std::uint32_t firstOpen = 0;   // no child before it is still waiting
    std::uint32_t place = 0;       // its index among its parent's children
    std::uint32_t number = kNone;  // the own path's number in the tree order
    std::uint32_t lo = 0;          // numbers of the subtree's paths: lo .. hi
    std::uint32_t hi = 0;
    bool byDistance = true; // false: the children keep their (cell) order
    bool ownTaken = false;
};

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
    EntryTree(std::vector<Item> items, std::size_t keys) : m_items(std::move(items))
    {
        const std::size_t n = m_items.size();
        std::vector<std::uint32_t> leafOf(n, kNone);
        if (n > 0) {
            m_node.reserve(2 * (n / kLeaf + 1));
            m_node.push_back({});
            m_node[0].lo = 0;
            m_node[0].hi = static_cast<std::uint32_t>(n);
        }
        // Splits at the median along the wider side of the node's region
        // (its parent's cut at the median), one level at a time from the
        // top (children come after their parent); then the boxes from the
        // bottom up. The nodes of a level hold separate runs of the points:
        // a level with many points splits them side by side. The shape and
        // numbering of the nodes do not change an answer.
        std::vector<std::uint32_t> level;
        std::vector<Box> region; // per node of the level
        if (n > 0) {
            level.push_back(0);
            region.emplace_back();
            for (const Item& it : m_items)
                region[0].Add(Dot{it.x, it.y});
        }
        std::vector<std::uint32_t> mids;
        std::vector<std::uint8_t> alongX;
        while (!level.empty()) {
            mids.assign(level.size(), kNone);
            alongX.assign(level.size(), 0);
            auto split = [&](std::size_t j) {
                const std::uint32_t k = level[j];
                const std::uint32_t lo = m_node[k].lo, hi = m_node[k].hi;
                if (hi - lo <= kLeaf) {
                    for (std::uint32_t i = lo; i < hi; ++i)
                        leafOf[i] = k;
                    return;
                }
                const Box& b = region[j];
                const std::uint32_t mid = lo + (hi - lo) / 2;
                const bool sx = b.xmax - b.xmin >= b.ymax - b.ymin;
                alongX[j] = sx ? 1 : 0;
                const auto at = [this](std::uint32_t i) { return m_items.begin() + static_cast<std::ptrdiff_t>(i); };
                std::nth_element(at(lo), at(mid), at(hi),
                                 [sx](const Item& a, const Item& c) { return sx ? a.x < c.x : a.y < c.y; });
                mids[j] = mid;
            };
            if (n >= kSideBySidePoints && level.size() > 1) {
                const std::size_t per = (level.size() + kLevelPieces - 1) / kLevelPieces;
                plat::ParallelFor(kLevelPieces, [&](std::size_t piece) {
                    const std::size_t end = std::min(level.size(), (piece + 1) * per);
                    for (std::size_t j = piece * per; j < end; ++j)
                        split(j);
                });
            } else {
                for (std::size_t j = 0; j < level.size(); ++j)
                    split(j);
            }
            std::vector<std::uint32_t> next;
            std::vector<Box> nextRegion;
            next.reserve(2 * level.size());
            nextRegion.reserve(2 * level.size());
            for (std::size_t j = 0; j < level.size(); ++j) {
                if (mids[j] == kNone)
                    continue;
                Box lb = region[j], rb = region[j];
                const Item& cut = m_items[mids[j]];
                if (alongX[j] != 0)
                    lb.xmax = rb.xmin = cut.x;
                else
                    lb.ymax = rb.ymin = cut.y;
                nextRegion.push_back(lb);
                nextRegion.push_back(rb);
                const std::uint32_t k = level[j];
                const auto child = static_cast<std::uint32_t>(m_node.size());
                m_node[k].left = child;
                Node l, r;
                l.lo = m_node[k].lo;
                l.hi = mids[j];
                l.parent = k;
                r.lo = mids[j];
                r.hi = m_node[k].hi;
                r.parent = k;
                m_node.push_back(l);
                m_node.push_back(r);
                next.push_back(child);
                next.push_back(child + 1);
            }
            level.swap(next);
            region.swap(nextRegion);
        }
        for (std::size_t k = m_node.size(); k-- > 0;) {
            Node& nd = m_node[k];
            if (nd.left == kNone) {
                for (std::uint32_t i = nd.lo; i < nd.hi; ++i) {
                    nd.box.Add(Dot{m_items[i].x, m_items[i].y});
                    nd.keyMin = std::min(nd.keyMin, m_items[i].key);
                    nd.keyMax = std::max(nd.keyMax, m_items[i].key);
                }
                nd.leaf = static_cast<std::uint32_t>(m_leafMask.size());
                m_leafMask.push_back((1u << (nd.hi - nd.lo)) - 1);
                m_leafParent.push_back(nd.parent);
            }
            if (nd.parent != kNone) {
                Node& p = m_node[nd.parent];
                p.box.Add(nd.box);
                p.keyMin = std::min(p.keyMin, nd.keyMin);
                p.keyMax = std::max(p.keyMax, nd.keyMax);
                if (nd.left == kNone || nd.alive > 0)
                    ++p.alive;
            }
        }
        // Slots in the order the paths' first points lie in the tree:
        // paths near each other in space get slots near each other, so
        // data kept by slot is read from few places as the search walks.
        m_slotOfKey.assign(keys, kNone);
        m_keyOfSlot.reserve(keys);
        for (Item& it : m_items) {
            std::uint32_t& s = m_slotOfKey[it.key];
            if (s == kNone) {
                s = static_cast<std::uint32_t>(m_keyOfSlot.size());
                m_keyOfSlot.push_back(it.key);
            }
            it.slot = s;
        }
        const std::vector<std::uint32_t> cellAt = BuildCells();
        // Where each slot's points are, for removal.
        const std::size_t slots = m_keyOfSlot.size();
        m_slotFirst.assign(slots + 1, 0);
        for (const Item& it : m_items)
            ++m_slotFirst[it.slot + 1];
        for (std::size_t k = 0; k < slots; ++k)
            m_slotFirst[k + 1] += m_slotFirst[k];
        m_slotPoints.resize(n);
        std::vector<std::uint32_t> fill(m_slotFirst.begin(), m_slotFirst.end() - 1);
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t leaf = leafOf[i];
            m_slotPoints[fill[m_items[i].slot]++] = {m_node[leaf].leaf, i - m_node[leaf].lo,
                                                     cellAt.empty() ? kNone : cellAt[i]};
        }
    }

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
    Found Nearest(double x, double y, std::uint32_t klo, std::uint32_t khi)
    {
        std::uint32_t bestKey = kNone;
        std::uint32_t bestSlot = kNone;
        double best = kInf;
        // A search over many numbers looks around the point first: mostly
        // the nearest lies there and the tree is not read at all. What it
        // found bounds the tree's search otherwise.
        if (!m_cellFirst.empty() && khi >= klo && khi - klo >= m_cellKeys && NearestInCells(x, y, klo, khi, bestKey, bestSlot, best))
            return {bestKey, bestSlot};
        m_stack.clear();
        if (!m_node.empty())
            m_stack.push_back({0, 0.0});
        while (!m_stack.empty()) {
            const auto [k, bound] = m_stack.back();
            m_stack.pop_back();
            // No point in the box lies nearer than the box itself (the same
            // rounded formula, which is monotonic in each difference); the
            // bound is known without reading the node.
            if (bestKey != kNone && bound > best)
                continue;
            const Node& nd = m_node[k];
            const std::uint32_t live = nd.left == kNone ? m_leafMask[nd.leaf] : nd.alive;
            if (live == 0 || nd.keyMax < klo || nd.keyMin > khi)
                continue;
            if (bestKey != kNone && bound == best && nd.keyMin >= bestKey)
                continue;
            if (nd.left == kNone) {
                for (std::uint32_t i = nd.lo; i < nd.hi; ++i) {
                    const Item& it = m_items[i];
                    if ((live >> (i - nd.lo) & 1u) == 0 || it.key < klo || it.key > khi)
                        continue;
                    const double d = Dist2(Dot{it.x, it.y}, x, y);
                    if (bestKey == kNone || d < best || (d == best && it.key < bestKey)) {
                        best = d;
                        bestKey = it.key;
                        bestSlot = it.slot;
                    }
                }
                continue;
            }
            // The nearer child is looked at first (pushed last).
            const double dl = BoxDist2(m_node[nd.left].box, x, y);
            const double dr = BoxDist2(m_node[nd.left + 1].box, x, y);
            if (dl <= dr) {
                m_stack.push_back({nd.left + 1, dr});
                m_stack.push_back({nd.left, dl});
            } else {
                m_stack.push_back({nd.left, dl});
                m_stack.push_back({nd.left + 1, dr});
            }
        }
        return {bestKey, bestSlot};
    }

private:
    // The cells: a grid over the points' extent, the points of every cell
    // together (in tree order), for searches that begin where the head is.
    // Returns each point's place among the cells' points; empty when
    // there are no cells.
    std::vector<std::uint32_t> BuildCells()
    {
        const std::size_t n = m_items.size();
        if (n < kCellsFrom)
            return {};
        const Box& b = m_node[0].box;
        const double w = b.xmax - b.xmin, h = b.ymax - b.ymin;
        const double cell = std::sqrt(w * h * kPointsPerCell / static_cast<double>(n));
        if (!(cell > 0.0) || !std::isfinite(cell))
            return {}; // the points lie on a line: the tree alone
        const double cols = std::floor(w / cell) + 1.0, rows = std::floor(h / cell) + 1.0;
        if (cols * rows > 2.0 * static_cast<double>(n))
            return {}; // too long and thin for square cells
        m_cols = static_cast<std::uint32_t>(cols);
        m_rows = static_cast<std::uint32_t>(rows);
        m_x0 = b.xmin;
        m_y0 = b.ymin;
        m_cell = cell;
        m_inv = 1.0 / cell;
        // Far more than rounding moves a point's cell or a cell's edge.
        m_slack = 1e-9 * (std::fabs(b.xmin) + std::fabs(b.ymin) + w + h + cell);
        m_cellKeys = static_cast<std::uint32_t>(m_keyOfSlot.size() / 4);
        std::vector<std::uint32_t> at(n);
        m_cellFirst.assign(std::size_t{m_cols} * m_rows + 1, 0);
        for (std::size_t i = 0; i < n; ++i) {
            at[i] = CellOf(m_items[i].x, m_items[i].y);
            ++m_cellFirst[at[i] + 1];
        }
        for (std::size_t c = 0; c + 1 < m_cellFirst.size(); ++c)
            m_cellFirst[c + 1] += m_cellFirst[c];
        m_cellKey.resize(n);
        m_cellDot.resize(n);
        std::vector<std::uint32_t> fill(m_cellFirst.begin(), m_cellFirst.end() - 1);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t j = fill[at[i]]++;
            m_cellKey[j] = {m_items[i].key, m_items[i].slot};
            m_cellDot[j] = {m_items[i].x, m_items[i].y};
            at[i] = j;
        }
        return at;
    }

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
                        std::uint32_t& bestSlot, double& best) const
    {
        const std::uint32_t qc = Col(x), qr = Row(y);
        // The cells of a row next to each other hold one run of points.
        auto scan = [&](std::uint32_t row, std::uint32_t c0, std::uint32_t c1) {
            const std::uint32_t first = row * m_cols;
            for (std::uint32_t i = m_cellFirst[first + c0], end = m_cellFirst[first + c1 + 1]; i < end; ++i) {
                const std::uint32_t key = m_cellKey[i].key;
                if (key == kNone || key < klo || key > khi)
                    continue;
                const double d = Dist2(m_cellDot[i], x, y);
                if (bestKey == kNone || d < best || (d == best && key < bestKey)) {
                    best = d;
                    bestKey = key;
                    bestSlot = m_cellKey[i].slot;
                }
            }
        };
        std::uint32_t pc0 = 1, pc1 = 0, pr0 = 1, pr1 = 0; // the cells looked at: none yet
        for (std::uint32_t ring = 1; ring <= kRings; ++ring) {
            const std::uint32_t c0 = qc > ring ? qc - ring : 0, c1 = std::min(m_cols - 1, qc + ring);
            const std::uint32_t r0 = qr > ring ? qr - ring : 0, r1 = std::min(m_rows - 1, qr + ring);
            for (std::uint32_t row = r0; row <= r1; ++row) {
                if (row < pr0 || row > pr1 || pc0 > pc1) {
                    scan(row, c0, c1);
                    continue;
                }
                if (c0 < pc0)
                    scan(row, c0, pc0 - 1);
                if (c1 > pc1)
                    scan(row, pc1 + 1, c1);
            }
            pc0 = c0, pc1 = c1, pr0 = r0, pr1 = r1;
            // Every point outside lies beyond an edge of the cells looked at
            // that is not the grid's own.
            double gap = kInf;
            if (c0 > 0)
                gap = std::min(gap, x - (m_x0 + c0 * m_cell));
            if (c1 + 1 < m_cols)
                gap = std::min(gap, m_x0 + (c1 + 1) * m_cell - x);
            if (r0 > 0)
                gap = std::min(gap, y - (m_y0 + r0 * m_cell));
            if (r1 + 1 < m_rows)
                gap = std::min(gap, m_y0 + (r1 + 1) * m_cell - y);
            gap -= m_slack;
            if (gap == kInf || (bestKey != kNone && gap > 0.0 && best < gap * gap * (1.0 - 1e-9)))
                return true;
        }
        return false;
    }

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

bool IsOpening(const PATHREC* p) { return p->m_kind == PATH_KIND_GROUP && p->m_pArray != nullptr; }

// One ordering run over the units of one or more layers.
class OptimisedRun {
public:
    explicit OptimisedRun(const Options& o) : m_opt(o) {}

    // Takes the units of a layer in list order. One walk: the reading waits
    // on memory, and threads did not speed it up.
    void AddUnits(WORKLAYER* layer, const std::vector<PathUnit>& units)
    {
        for (const PathUnit& u : units) {
            const std::uint32_t g = Parse(m_graphs, m_dots, layer, u);
            if (g == kNone)
                m_aside.push_back({u, layer});
            else
                m_roots.push_back(g);
        }
    }

    // Orders the run; returns the paths in their new order with their layers.
    std::vector<std::pair<PATHREC*, WORKLAYER*>> Order()
    {
        std::vector<std::pair<PATHREC*, WORKLAYER*>> out;
        if (!m_roots.empty()) {
            BuildTree();
            Partition();
            Number();
            TakeInOrder();
            RebuildPaths();
            Flatten(out);
        }
        // Units that could not be placed (no points, or points that are not
        // finite numbers) follow in their list order, as they were.
        for (const auto& [u, layer] : m_aside) {
            for (PATHREC* p = u.first; p != nullptr; p = p == u.last ? nullptr : p->m_pNext)
                out.push_back({p, layer});
        }
        for (auto& [p, layer] : out)
            p->m_pPrev = p->m_pNext = nullptr;
        return out;
    }

private:
    struct Aside {
        PathUnit unit;
        WORKLAYER* layer;
    };

    // The graphs of one unit; kNone when the unit cannot take part.
    static std::uint32_t Parse(FilledLater<Graph>& graphs, FilledLater<Dot>& dots, WORKLAYER* layer,
                               const PathUnit& u)
    {
        const std::size_t before = graphs.size();
        std::vector<std::uint32_t> open;
        std::uint32_t root = kNone;
        bool usable = true;
        auto attach = [&](std::uint32_t g) {
            if (!open.empty())
                graphs[g].bracket = open.back();
            else if (root == kNone)
                root = g;
            else
                usable = false;
        };
        for (PATHREC* rec = u.first; rec != nullptr && usable; rec = rec == u.last ? nullptr : rec->m_pNext) {
            if (IsOpening(rec)) {
                const std::uint32_t g = NewGraph(graphs, dots, layer, rec, 1);
                attach(g);
                open.push_back(g);
            } else if (rec->m_kind == PATH_KIND_GROUP) {
                if (open.empty()) {
                    usable = false;
                } else {
                    graphs[open.back()].closing = rec;
                    open.pop_back();
                }
            } else if (rec->m_pSegs == nullptr) {
                usable = false;
            } else {
                const std::uint32_t g = NewGraph(graphs, dots, layer, rec, 2);
                attach(g);
                Graph& gr = graphs[g];
                const SEGNODE* first = rec->m_pSegs;
                gr.dotFirst = static_cast<std::uint32_t>(dots.size());
                dots.push_back({first->m_x0, first->m_y0});
                for (const SEGNODE* s = first; s != nullptr;) {
                    dots.push_back({s->m_x1, s->m_y1});
                    s = s->m_pNext;
                    if (s == first)
                        break;
                }
                gr.dotCount = static_cast<std::uint32_t>(dots.size()) - gr.dotFirst;
                const std::span<const Dot> points(dots.data() + gr.dotFirst, gr.dotCount);
                for (const Dot& d : points) {
                    if (!std::isfinite(d.x) || !std::isfinite(d.y))
                        usable = false;
                    gr.box.Add(d);
                }
                const Dot& a = points.front();
                const Dot& b = points.back();
                gr.closed = std::fabs(a.x - b.x) <= kClosedTol && std::fabs(a.y - b.y) <= kClosedTol;
            }
        }
        // Members come after their bracket: boxes from the last graph back.
        // A bracket's first member, if any, is the graph right after it.
        for (std::size_t g = graphs.size(); usable && g-- > before;) {
            const Graph& gr = graphs[g];
            if (gr.type == 1 && (g + 1 == graphs.size() || graphs[g + 1].bracket != g))
                usable = false; // nothing to enter it by
            if (gr.bracket != kNone)
                graphs[gr.bracket].box.Add(gr.box);
        }
        if (!usable || root == kNone) {
            if (before < graphs.size())
                dots.resize(graphs[before].dotFirst);
            graphs.resize(before);
            return kNone;
        }
        return root;
    }

    std::span<const Dot> Dots(const Graph& g) const { return {m_dots.data() + g.dotFirst, g.dotCount}; }

    static std::uint32_t NewGraph(FilledLater<Graph>& graphs, const FilledLater<Dot>& dots, WORKLAYER* layer,
                                  PATHREC* rec, int type)
    {
        Graph g;
        g.dotFirst = static_cast<std::uint32_t>(dots.size());
        g.type = type;
        g.layer = layer;
        g.path = rec;
        graphs.push_back(std::move(g));
        return static_cast<std::uint32_t>(graphs.size() - 1);
    }

    std::uint32_t NewGroup(std::int32_t graph, std::uint32_t parent)
    {
        Group g;
        g.graph = graph;
        g.parent = parent;
        if (graph >= 0)
            g.box = m_graphs[graph].box;
        m_groups.push_back(std::move(g));
        return static_cast<std::uint32_t>(m_groups.size() - 1);
    }

    // The tree: a group per graph under the root or its bracket's group.
    // A reading from the root down, members after their bracket, numbers
    // the groups as the graphs lie (each unit's graphs in that order): graph
    // g's group is g + 1. Every list of children is in graph order, which
    // is that of the units and of each bracket's members.
    void BuildTree()
    {
        const std::size_t n = m_graphs.size();
        m_groups.resize(n + 1); // every group written below
        m_groups[0] = Group{};
        FilledLater<std::uint32_t> parentOf(n);
        const std::size_t pieces = n >= kSideBySideChildren ? kSideBySidePieces : 1;
        std::vector<Box> rootBox(pieces); // min and max come out the same in any order
        InPieces(pieces, n, [&](std::size_t piece, std::size_t begin, std::size_t end) {
            for (std::size_t g = begin; g < end; ++g) {
                const Graph& graph = m_graphs[g];
                Group& gr = m_groups[g + 1];
                gr = Group{};
                gr.graph = static_cast<std::int32_t>(g);
                gr.parent = graph.bracket == kNone ? 0 : graph.bracket + 1;
                gr.box = graph.box;
                parentOf[g] = gr.parent;
                if (gr.parent == 0)
                    rootBox[piece].Add(gr.box);
            }
        });
        for (const Box& b : rootBox)
            m_groups[0].box.Add(b);
        // The lists laid out by parent, each in graph order.
        std::vector<std::uint32_t> first(n + 2, 0);
        for (std::uint32_t p : parentOf)
            ++first[p + 1];
        for (std::size_t k = 0; k <= n; ++k) {
            const std::uint32_t count = first[k + 1];
            first[k + 1] += first[k];
            if (count != 0)
                m_groups[k].children.count = count;
        }
        std::uint32_t* room = NewList(n);
        for (std::size_t g = 0; g < n; ++g)
            room[first[parentOf[g]]++] = static_cast<std::uint32_t>(g + 1);
        // `first` now holds each list's end.
        for (std::size_t k = 0; k <= n; ++k) {
            GroupList& list = m_groups[k].children;
            if (list.count != 0)
                list.data = room + first[k] - list.count;
        }
        // The start point from the bounds of the run.
        const Box& b = m_groups[0].box;
        const double mx = (b.xmin + b.xmax) / 2.0, my = (b.ymin + b.ymax) / 2.0;
        switch (m_opt.position) {
        case 1: m_start = {b.xmin, b.ymax}; break;
        case 2: m_start = {b.xmax, b.ymax}; break;
        case 3: m_start = {b.xmax, b.ymin}; break;
        case 4: m_start = {b.xmin, my}; break;
        case 5: m_start = {mx, b.ymax}; break;
        case 6: m_start = {b.xmax, my}; break;
        case 7: m_start = {mx, b.ymin}; break;
        case 8: m_start = {mx, my}; break;
        default: m_start = {b.xmin, b.ymin}; break;
        }
        // Cells: a size below 0.001 (or not a number) takes the whole extent.
        m_cellW = m_opt.width >= kMinCell ? m_opt.width : b.xmax - b.xmin;
        m_cellH = m_opt.height >= kMinCell ? m_opt.height : b.ymax - b.ymin;
        if (m_opt.position >= 0 && m_opt.position <= 3)
            m_firstCorner = m_opt.position; // the corner codes name the same corners
        else
            m_firstCorner = Quadrant(b, m_start.x, m_start.y);
    }

    static int Quadrant(const Box& b, double x, double y)
    {
        const bool left = x < (b.xmin + b.xmax) / 2.0;
        const bool low = y < (b.ymin + b.ymax) / 2.0;
        return left ? (low ? 0 : 1) : (low ? 3 : 2);
    }

    bool IsClosedLeaf(std::uint32_t g) const
    {
        const Group& gr = m_groups[g];
        return gr.graph >= 0 && gr.children.empty() && m_graphs[gr.graph].type == 2 && m_graphs[gr.graph].closed;
    }

    // The partition, from the root down, one group at a time.
    void Partition() { PartitionFrom(0, m_firstCorner, m_opt.mode == 0); }

    // The partition of the subtree of g, depth first. With `sideBySide`
    // the subtrees under a wide group are partitioned side by side: a
    // partition by containment touches nothing outside its own subtree and
    // makes no groups.
    void PartitionFrom(std::uint32_t top, int topCorner, bool sideBySide)
    {
        std::vector<std::pair<std::uint32_t, int>> stack{{top, topCorner}};
        while (!stack.empty()) {
            auto [g, corner] = stack.back();
            stack.pop_back();
            // A chain of single children is passed through.
            while (m_groups[g].children.size() == 1)
                g = m_groups[g].children.front();
            if (m_groups[g].children.empty())
                continue;
            int next = corner;
            if (m_opt.mode == 0)
                PartitionByContainment(g);
            else
                next = PartitionByCells(g, corner);
            // Only children with something under them are partitioned: the
            // many of a wide group are picked out side by side.
            const GroupList ch = m_groups[g].children;
            if (ch.size() < kSideBySideChildren) {
                for (std::size_t i = ch.size(); i-- > 0;)
                    stack.push_back({ch[i], next});
                continue;
            }
            std::vector<std::uint8_t> under(ch.size());
            SideBySide(true, ch.size(), [&](std::size_t i) { under[i] = m_groups[ch[i]].children.empty() ? 0 : 1; });
            std::vector<std::uint32_t> parents;
            for (std::size_t i = 0; i < ch.size(); ++i) {
                if (under[i] != 0)
                    parents.push_back(ch[i]);
            }
            if (sideBySide) {
                InPieces(parents.size() >= kSideBySidePieces ? kSideBySidePieces : 1, parents.size(),
                         [&](std::size_t, std::size_t begin, std::size_t end) {
                             for (std::size_t i = begin; i < end; ++i)
                                 PartitionFrom(parents[i], next, false);
                         });
                continue;
            }
            for (std::size_t i = parents.size(); i-- > 0;)
                stack.push_back({parents[i], next});
        }
    }

    // Children nearest first by lower-left corner; a closed path taken
    // takes in the remaining children whose boxes lie within its box.
    void PartitionByContainment(std::uint32_t g)
    {
        if (m_groups[g].children.size() <= kFewChildren) {
            PartitionFewByContainment(g);
            return;
        }
        // The children are laid out again in the list's own room: the
        // group's own first, then those each closed path takes in.
        std::uint32_t* const room = m_groups[g].children.data;
        const std::vector<std::uint32_t> ch(room, room + m_groups[g].children.size());
        const std::size_t n = ch.size();
        const double ox = m_groups[g].box.xmin, oy = m_groups[g].box.ymin;
        const bool wide = n >= kSideBySideChildren;
        // What the sweep reads of each child, gathered once in child order.
        FilledLater<Box> boxes(n);
        FilledLater<std::uint8_t> closed(n);
        std::vector<double> sizes(n);
        SideBySide(wide, n, [&](std::size_t i) {
            boxes[i] = m_groups[ch[i]].box;
            closed[i] = IsClosedLeaf(ch[i]) ? 1 : 0;
            sizes[i] = std::max(boxes[i].xmax - boxes[i].xmin, boxes[i].ymax - boxes[i].ymin);
        });
        // A box lies within another only when its lower-left corner does;
        // cells finer than the boxes keep a query to few corners it cannot
        // take. Many corners are filed in strips of x, a grid each, so that
        // the grids are made side by side.
        const double cell = plat::SpatialGrid::MedianCell(std::move(sizes)) / 4.0;
        const std::size_t strips = wide ? kCornerStrips : 1;
        double lo = kInf, hi = -kInf;
        for (const Box& b : boxes) {
            lo = std::min(lo, b.xmin);
            hi = std::max(hi, b.xmin);
        }
        const double scale = hi > lo ? static_cast<double>(strips) / (hi - lo) : 0.0;
        // Monotonic in x: a corner within a rectangle lies in a strip
        // between those of the rectangle's sides.
        auto stripOf = [&](double x) -> std::size_t {
            const double s = std::floor((x - lo) * scale);
            if (!(s > 0.0))
                return 0;
            return s >= static_cast<double>(strips) ? strips - 1 : static_cast<std::size_t>(s);
        };
        std::vector<plat::SpatialGrid> corners;
        corners.reserve(strips);
        for (std::size_t k = 0; k < strips; ++k)
            corners.emplace_back(cell, 0); // made with its corners below
        // The corners get places strip after strip, within a strip by rows
        // of cells and along x: the corners a query meets lie at few runs of
        // places, and so do the boxes and marks the sweep keeps by place.
        FilledLater<std::uint8_t> stripAt(n);
        FilledLater<double> rowAt(n);
        SideBySide(wide, n, [&](std::size_t i) {
            stripAt[i] = static_cast<std::uint8_t>(stripOf(boxes[i].xmin));
            rowAt[i] = std::floor(boxes[i].ymin / cell);
        });
        std::vector<std::size_t> base(strips + 1, 0);
        for (std::uint8_t k : stripAt)
            ++base[k + 1];
        for (std::size_t k = 0; k < strips; ++k)
            base[k + 1] += base[k];
        FilledLater<Box> placedBox(n);
        FilledLater<std::uint32_t> childAt(n), placeOf(n);

        // The order, nearest corner first and the earlier child on equal
        // distance, is sorted in chunks beside the grids, then merged.
        FilledLater<Near> order(n);
        const std::size_t chunks = wide ? kSortChunks : 1;
        const std::size_t per = (n + chunks - 1) / chunks;
        auto prepare = [&](std::size_t piece) {
            if (piece < chunks) {
                const std::size_t begin = std::min(n, piece * per), end = std::min(n, begin + per);
                for (std::size_t i = begin; i < end; ++i)
                    order[i] = {Dist2({boxes[i].xmin, boxes[i].ymin}, ox, oy), static_cast<std::uint32_t>(i), 0};
                std::sort(order.begin() + static_cast<std::ptrdiff_t>(begin),
                          order.begin() + static_cast<std::ptrdiff_t>(end));
                return;
            }
            const std::size_t strip = piece - chunks;
            std::uint32_t* const members = childAt.data() + base[strip];
            const std::size_t count = base[strip + 1] - base[strip];
            std::size_t m = 0;
            for (std::size_t i = 0; i < n && m < count; ++i) {
                if (stripAt[i] == strip)
                    members[m++] = static_cast<std::uint32_t>(i);
            }
            std::sort(members, members + count, [&](std::uint32_t a, std::uint32_t b) {
                if (rowAt[a] != rowAt[b])
                    return rowAt[a] < rowAt[b];
                return boxes[a].xmin < boxes[b].xmin || (boxes[a].xmin == boxes[b].xmin && a < b);
            });
            plat::SpatialGrid& grid = corners[strip];
            grid = plat::SpatialGrid(cell, count, true); // cells in any order: no claim depends on it
            for (std::size_t k = 0; k < count; ++k) {
                const std::uint32_t i = members[k];
                const auto place = static_cast<std::uint32_t>(base[strip] + k);
                placeOf[i] = place;
                placedBox[place] = boxes[i];
                grid.AddPoint(boxes[i].xmin, boxes[i].ymin, place);
            }
            grid.Build();
        };
        if (wide) {
            plat::ParallelFor(chunks + strips, prepare);
            FilledLater<Near> merged(n);
            for (std::size_t width = per; width < n; width *= 2) {
                const std::size_t pairs = (n + 2 * width - 1) / (2 * width);
                plat::ParallelFor(pairs, [&](std::size_t k) {
                    const auto at = [](FilledLater<Near>& v, std::size_t i) {
                        return v.begin() + static_cast<std::ptrdiff_t>(i);
                    };
                    const std::size_t a = k * 2 * width, m = std::min(n, a + width), e = std::min(n, a + 2 * width);
                    std::merge(at(order, a), at(order, m), at(order, m), at(order, e), at(merged, a));
                });
                order.swap(merged);
            }
        } else {
            prepare(0);
            prepare(1);
        }
        FilledLater<std::uint32_t> rankAt(n); // by place: the rank in the order
        SideBySide(wide, n, [&](std::size_t r) {
            Near& near = order[r];
            near.place = placeOf[near.child];
            rankAt[near.place] = static_cast<std::uint32_t>(r);
        });

        // Taking the children in order, a closed path kept takes in the
        // remaining children within its box. The one that takes in a child
        // is the earliest closed path before it in the order whose box holds
        // the child's: one holding that path would hold the child too and
        // come earlier still, so that path is kept; and a closed path taken
        // in finds nothing left within it, its taker having taken all that.
        // So every closed path claims, in order, what lies within it, the
        // first claim standing: each strip of corners on a thread of its
        // own, a corner's mark written by its strip's thread alone. A corner
        // claimed, or passed by the order, stays out: its grid drops it. A
        // closed path claimed already is passed over in its own strip, where
        // that is known by the time it comes.
        std::vector<std::uint32_t> closedRanks; // rising
        for (std::uint32_t r = 0; r < n; ++r) {
            if (closed[order[r].child] != 0)
                closedRanks.push_back(r);
        }
        const std::size_t takers = closedRanks.size();
        FilledLater<Box> takerBox(takers);
        SideBySide(wide, takers, [&](std::size_t k) { takerBox[k] = placedBox[order[closedRanks[k]].place]; });
        FilledLater<std::uint32_t> takenBy(n); // by place: the taker's number in closedRanks, or kNone
        SideBySide(wide, n, [&](std::size_t i) { takenBy[i] = kNone; });
        auto takeIn = [&](std::size_t s) {
            for (std::uint32_t k = 0; k < takers; ++k) {
                const Box kb = takerBox[k];
                if (stripOf(kb.xmin) > s || stripOf(kb.xmax) < s)
                    continue;
                const std::uint32_t rank = closedRanks[k];
                const Near& own = order[rank];
                if (stripAt[own.child] == s && takenBy[own.place] != kNone)
                    continue;
                corners[s].ForEachInRect(
                    kb.xmin, kb.xmax, kb.ymin, kb.ymax,
                    [&](std::uint32_t j) { return takenBy[j] == kNone && rankAt[j] > rank; },
                    [&](std::uint32_t j) {
                        if (placedBox[j].Within(kb))
                            takenBy[j] = k;
                    });
            }
        };
        if (wide)
            plat::ParallelFor(strips, takeIn);
        else
            takeIn(0);

        // The kept children in order fill the room first; then those taken
        // in, each path's together in the order of the paths, and within
        // one in the list's order: laid out by counting, in pieces of the
        // order and of the list side by side.
        const std::size_t pieces = wide ? kSortChunks : 1;
        std::vector<std::uint32_t> keptBefore(pieces + 1, 0);
        FilledLater<std::uint32_t> next(pieces * takers); // piece p's counts, then places: from p * takers
        InPieces(pieces, n, [&](std::size_t p, std::size_t begin, std::size_t end) {
            std::uint32_t* const count = next.data() + p * takers;
            std::fill(count, count + takers, 0);
            std::uint32_t k = 0;
            for (std::size_t r = begin; r < end; ++r)
                k += takenBy[order[r].place] == kNone ? 1 : 0;
            keptBefore[p + 1] = k;
            for (std::size_t i = begin; i < end; ++i) {
                const std::uint32_t by = takenBy[placeOf[i]];
                if (by != kNone)
                    ++count[by];
            }
        });
        for (std::size_t p = 0; p < pieces; ++p)
            keptBefore[p + 1] += keptBefore[p];
        const std::uint32_t kept = keptBefore[pieces];
        std::uint32_t at = kept;
        for (std::size_t k = 0; k < takers; ++k) {
            const std::uint32_t start = at;
            for (std::size_t p = 0; p < pieces; ++p)
                at += std::exchange(next[p * takers + k], at);
            if (at != start)
                m_groups[ch[order[closedRanks[k]].child]].children = {room + start, at - start};
        }
        InPieces(pieces, n, [&](std::size_t p, std::size_t begin, std::size_t end) {
            std::uint32_t to = keptBefore[p];
            for (std::size_t r = begin; r < end; ++r) {
                if (takenBy[order[r].place] == kNone)
                    room[to++] = ch[order[r].child];
            }
            std::uint32_t* const place = next.data() + p * takers;
            for (std::size_t i = begin; i < end; ++i) {
                const std::uint32_t by = takenBy[placeOf[i]];
                if (by == kNone)
                    continue;
                room[place[by]++] = ch[i];
                m_groups[ch[i]].parent = ch[order[closedRanks[by]].child];
            }
        });
        m_groups[g].children.count = kept;
    }

    // The same for a group of few children (most of those a closed path
    // takes in), in place: every remaining child is tested directly.
    void PartitionFewByContainment(std::uint32_t g)
    {
        const GroupList list = m_groups[g].children;
        const std::size_t n = list.size();
        const double ox = m_groups[g].box.xmin, oy = m_groups[g].box.ymin;
        std::uint32_t ch[kFewChildren];
        Near order[kFewChildren];
        bool out[kFewChildren] = {};
        for (std::size_t i = 0; i < n; ++i) {
            ch[i] = list[i];
            const Box& b = m_groups[ch[i]].box;
            order[i] = {Dist2({b.xmin, b.ymin}, ox, oy), static_cast<std::uint32_t>(i), 0};
        }
        std::sort(order, order + n);
        std::uint32_t adopted[kFewChildren];
        std::uint32_t adopter[kFewChildren]; // per adopted child: the path that took it in
        std::uint32_t taken = 0;
        std::uint32_t kept = 0;
        for (std::size_t at = 0; at < n; ++at) {
            const std::uint32_t i = order[at].child;
            if (out[i])
                continue;
            out[i] = true;
            const std::uint32_t k = ch[i];
            list[kept++] = k;
            if (!IsClosedLeaf(k))
                continue;
            const Box kb = m_groups[k].box;
            for (std::size_t j = 0; j < n; ++j) {
                if (!out[j] && m_groups[ch[j]].box.Within(kb)) {
                    out[j] = true;
                    adopter[taken] = k;
                    adopted[taken++] = ch[j];
                    m_groups[ch[j]].parent = k;
                }
            }
        }
        // The adopted children follow the kept ones in the room, each
        // adopter's together.
        std::copy(adopted, adopted + taken, list.data + kept);
        for (std::uint32_t j = 0; j < taken; ++j) {
            GroupList& into = m_groups[adopter[j]].children;
            if (into.count == 0)
                into.data = list.data + kept + j;
            ++into.count;
        }
        m_groups[g].children.count = kept;
    }

    // Calls fn(piece, begin, end) for `pieces` even runs of [0, n), side by
    // side when there is more than one.
    template <typename Fn>
    static void InPieces(std::size_t pieces, std::size_t n, Fn fn)
    {
        const std::size_t per = (n + pieces - 1) / pieces;
        auto piece = [&](std::size_t k) { fn(k, std::min(n, k * per), std::min(n, (k + 1) * per)); };
        if (pieces > 1)
            plat::ParallelFor(pieces, piece);
        else
            piece(0);
    }

    // Calls fn(i) for every i below n, in pieces side by side when `wide`.
    template <typename Fn>
    static void SideBySide(bool wide, std::size_t n, Fn fn)
    {
        InPieces(wide ? kSideBySidePieces : 1, n, [&](std::size_t, std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i)
                fn(i);
        });
    }

    // Room for a list of n group numbers, kept as long as the run.
    std::uint32_t* NewList(std::size_t n)
    {
        m_lists.push_back(std::make_unique_for_overwrite<std::uint32_t[]>(n));
        return m_lists.back().get();
    }

    // Cells of width x height laid from the corner, row by row in a snake;
    // a child lying wholly in a cell joins that cell's group. Returns the
    // corner for the next level.
    int PartitionByCells(std::uint32_t g, int corner)
    {
        const Box b = m_groups[g].box;
        const bool fromRight = corner == 2 || corner == 3;
        const bool fromTop = corner == 1 || corner == 2;
        const double w = m_cellW, h = m_cellH;
        const bool useW = w > 0.0 && std::isfinite(w);
        const bool useH = h > 0.0 && std::isfinite(h);
        // Cell index along an axis, counted from the corner's side: -1 when
        // the child does not lie wholly in one cell.
        auto index = [](double lo, double hi, double from, double to, bool fromHigh, double size, bool use) -> double {
            if (!use)
                return 0.0;
            if (!fromHigh) {
                const double k = std::floor((lo - from) / size);
                return hi <= from + (k + 1.0) * size ? k : -1.0;
            }
            const double k = std::floor((to - hi) / size);
            return lo >= to - (k + 1.0) * size ? k : -1.0;
        };
        struct Placed {
            double row;
            double col;
            std::uint32_t child;
        };
        std::vector<Placed> cells;
        std::vector<std::uint32_t> straddling;
        const GroupList ch = m_groups[g].children;
        for (std::uint32_t c : ch) {
            const Box& cb = m_groups[c].box;
            const double col = index(cb.xmin, cb.xmax, b.xmin, b.xmax, fromRight, w, useW);
            const double row = index(cb.ymin, cb.ymax, b.ymin, b.ymax, fromTop, h, useH);
            if (col < 0.0 || row < 0.0 || std::isnan(col) || std::isnan(row))
                straddling.push_back(c);
            else
                cells.push_back({row, col, c});
        }
        // Rows in order; the column direction turns after each row that holds
        // something. Within a cell the children keep their order.
        std::stable_sort(cells.begin(), cells.end(), [](const Placed& a, const Placed& b) { return a.row < b.row; });
        bool reverse = false;
        std::size_t groupsMade = 0;
        for (std::size_t i = 0; i < cells.size();) {
            std::size_t j = i;
            while (j < cells.size() && cells[j].row == cells[i].row)
                ++j;
            std::stable_sort(cells.begin() + static_cast<std::ptrdiff_t>(i), cells.begin() + static_cast<std::ptrdiff_t>(j),
                             [reverse](const Placed& a, const Placed& b) { return reverse ? a.col > b.col : a.col < b.col; });
            for (std::size_t k = i; k < j; ++k)
                groupsMade += k == i || cells[k].col != cells[k - 1].col ? 1 : 0;
            reverse = !reverse;
            i = j;
        }
        // Nothing divides this group: it stays as it is, nearest first.
        if (groupsMade == 0 || (groupsMade == 1 && straddling.empty()))
            return corner;
        // A group per cell, its children in a run of the room; then the
        // group's own list: the cells' groups, then the straddling children.
        std::uint32_t* const room = NewList(cells.size() + groupsMade + straddling.size());
        GroupList result{room + cells.size(), 0};
        for (std::size_t k = 0; k < cells.size();) {
            const std::uint32_t cell = NewGroup(-1, g);
            Group& cg = m_groups[cell];
            cg.children.data = room + k;
            std::size_t m = k;
            while (m < cells.size() && cells[m].row == cells[k].row && cells[m].col == cells[k].col) {
                cg.children.push_back(cells[m].child);
                cg.box.Add(m_groups[cells[m].child].box);
                m_groups[cells[m].child].parent = cell;
                ++m;
            }
            result.push_back(cell);
            k = m;
        }
        const double lastRow = cells.back().row, lastCol = cells.back().col;
        for (std::uint32_t c : straddling)
            result.push_back(c);
        m_groups[g].children = result;
        m_groups[g].byDistance = false;
        const double cx = useW ? (fromRight ? b.xmax - (lastCol + 0.5) * w : b.xmin + (lastCol + 0.5) * w)
                               : (b.xmin + b.xmax) / 2.0;
        const double cy = useH ? (fromTop ? b.ymax - (lastRow + 0.5) * h : b.ymin + (lastRow + 0.5) * h)
                               : (b.ymin + b.ymax) / 2.0;
        return Quadrant(b, cx, cy);
    }

    // Numbers the paths in the order the tree is written (children before
    // their group's own path) and gives every group the run of its subtree.
    void Number()
    {
        // Every group but the root is in one list: the order and marks of
        // all lists fit in one room each.
        std::uint32_t* const orderedRoom = NewList(m_groups.size());
        m_begun.assign(m_groups.size(), 0);
        m_groups[0].lo = 0;
        const GroupList top = m_groups[0].children;
        if (top.size() < kSideBySideChildren) {
            std::uint32_t counter = 0;
            std::size_t roomUsed = 0;
            NumberSubtree(0, counter, roomUsed, orderedRoom, true);
            return;
        }
        // The root's many children side by side: first the paths and list
        // entries of each subtree, whose sums give each subtree its first
        // number and its place in the rooms, then each subtree numbered.
        const std::size_t n = top.size();
        std::vector<std::uint32_t> paths(n), entries(n);
        SideBySide(true, n, [&](std::size_t i) {
            const std::uint32_t c = top[i];
            const Group& gr = m_groups[c];
            if (gr.children.empty()) {
                paths[i] = gr.graph >= 0 && m_graphs[gr.graph].type == 2 ? 1 : 0;
                entries[i] = 0;
                return;
            }
            std::uint32_t counter = 0;
            std::size_t roomUsed = 0;
            CountSubtree(c, counter, roomUsed);
            paths[i] = counter;
            entries[i] = static_cast<std::uint32_t>(roomUsed);
        });
        std::uint32_t counter = 0;
        std::size_t roomUsed = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t p = paths[i], e = entries[i];
            paths[i] = counter;
            entries[i] = static_cast<std::uint32_t>(roomUsed);
            counter += p;
            roomUsed += e;
        }
        m_pathOfNumber.resize(counter);
        SideBySide(true, n, [&](std::size_t i) {
            const std::uint32_t c = top[i];
            m_groups[c].place = static_cast<std::uint32_t>(i);
            m_groups[c].lo = paths[i];
            std::uint32_t at = paths[i];
            std::size_t room = entries[i];
            Group& gr = m_groups[c];
            if (!gr.children.empty()) {
                NumberSubtree(c, at, room, orderedRoom, false);
                return;
            }
            // A leaf, as its turn on the stack would number it.
            if (gr.graph >= 0 && m_graphs[gr.graph].type == 2) {
                gr.number = at++;
                m_pathOfNumber[gr.number] = c;
            }
            gr.hi = at == 0 ? 0 : at - 1;
            gr.ordered = {orderedRoom + room, 0};
            gr.begun = m_begun.data() + room;
        });
        Group& root = m_groups[0];
        if (root.graph >= 0 && m_graphs[root.graph].type == 2) {
            root.number = counter++;
            m_pathOfNumber.push_back(0);
        }
        root.hi = counter == 0 ? 0 : counter - 1;
        root.ordered = {orderedRoom + roomUsed, 0};
        root.begun = m_begun.data() + roomUsed;
    }

    // Numbers the subtree of `top` from `counter` on, its lists' rooms from
    // `roomUsed` on (every group as it is left); the place and first number
    // of `top` itself are its parent's to give. Numbers go into the list of
    // paths by number, appended or (`append` false) at their place.
    void NumberSubtree(std::uint32_t top, std::uint32_t& counter, std::size_t& roomUsed, std::uint32_t* orderedRoom,
                       bool append)
    {
        struct Frame {
            std::uint32_t g;
            std::size_t next;
        };
        std::vector<Frame> stack{{top, 0}};
        while (!stack.empty()) {
            Frame& f = stack.back();
            Group& gr = m_groups[f.g];
            if (f.next < gr.children.size()) {
                const std::uint32_t c = gr.children[f.next];
                m_groups[c].place = static_cast<std::uint32_t>(f.next++);
                m_groups[c].lo = counter;
                stack.push_back({c, 0});
                continue;
            }
            if (gr.graph >= 0 && m_graphs[gr.graph].type == 2) {
                gr.number = counter++;
                if (append)
                    m_pathOfNumber.push_back(f.g);
                else
                    m_pathOfNumber[gr.number] = f.g;
            }
            gr.hi = counter == 0 ? 0 : counter - 1;
            gr.ordered = {orderedRoom + roomUsed, 0};
            gr.begun = m_begun.data() + roomUsed;
            roomUsed += gr.children.size();
            stack.pop_back();
        }
    }

    // The paths and list entries of the subtree of `top`, added to the counts.
    void CountSubtree(std::uint32_t top, std::uint32_t& paths, std::size_t& entries) const
    {
        std::vector<std::uint32_t> stack{top};
        while (!stack.empty()) {
            const Group& gr = m_groups[stack.back()];
            stack.pop_back();
            if (gr.graph >= 0 && m_graphs[gr.graph].type == 2)
                ++paths;
            entries += gr.children.size();
            for (std::uint32_t c : gr.children)
                stack.push_back(c);
        }
    }

    // The points a path may be entered at: all points of a closed path (the
    // repeated last one aside), the two ends of an open one, only the first
    // when paths keep their direction.
    std::span<const Dot> EntryPoints(const Graph& gr, Dot (&ends)[2]) const
    {
        const std::span<const Dot> d = Dots(gr);
        if (m_opt.metaPos == 2)
            return d.first(1);
        if (gr.closed)
            return d.first(d.size() - 1);
        ends[0] = d.front();
        ends[1] = d.back();
        return {ends, 2};
    }

    // From the start point, every group takes its children nearest
    // entry first (or in cell order), each child's subtree whole before the
    // next; with "path in out" a group's own path comes after its children.
    void TakeInOrder()
    {
        // In group order, which is that of the graphs and their points: all
        // three are read front to back. No path has more entry points than
        // points.
        std::vector<EntryTree::Item> items;
        items.reserve(m_dots.size());
        for (const Group& gr : m_groups) {
            // An enclosing path waits for its children with "path in out":
            // it is then the last one left and needs no search.
            if (gr.number == kNone || (m_opt.inOut && !gr.children.empty()))
                continue;
            Dot ends[2];
            for (const Dot& d : EntryPoints(m_graphs[gr.graph], ends))
                items.push_back({d.x, d.y, gr.number});
        }
        // The entry points by number as well: a group's subtree is one run
        // of numbers, and a short run is scanned whole faster than the tree
        // is searched, whose nodes there hold mostly other groups' points.
        const std::size_t keys = m_pathOfNumber.size();
        Dot at = m_start;
        std::vector<std::uint32_t> keyFirst(keys + 1, 0);
        for (const EntryTree::Item& it : items)
            ++keyFirst[it.key + 1];
        for (std::size_t k = 0; k < keys; ++k)
            keyFirst[k + 1] += keyFirst[k];
        std::vector<Dot> keyDots(items.size());
        {
            std::vector<std::uint32_t> fill(keyFirst.begin(), keyFirst.end() - 1);
            for (const EntryTree::Item& it : items)
                keyDots[fill[it.key]++] = {it.x, it.y};
        }
        std::vector<std::uint8_t> gone(keys, 0);
        // The same answer as the tree's: the nearest, the lower number on
        // equal distance.
        auto nearest = [&](std::uint32_t lo, std::uint32_t hi) -> std::uint32_t {
            const std::uint32_t end = std::min<std::uint32_t>(hi + 1, static_cast<std::uint32_t>(keys));
            std::uint32_t bestKey = kNone;
            double best = kInf;
            for (std::uint32_t key = lo; key < end; ++key) {
                if (gone[key] != 0)
                    continue;
                for (std::uint32_t j = keyFirst[key]; j < keyFirst[key + 1]; ++j) {
                    const double d = Dist2(keyDots[j], at.x, at.y);
                    if (bestKey == kNone || d < best) {
                        best = d;
                        bestKey = key;
                    }
                }
            }
            return bestKey;
        };
        EntryTree tree(std::move(items), keys);

        // What the walk reads of a path found by the search, by its slot in
        // the tree: the next path found lies near, and so does its record.
        struct Hot {
            std::uint32_t group;
            std::uint32_t parent;
            std::uint32_t place;
            std::uint32_t graph;
            std::uint32_t dotFirst; // in `near`
            std::uint32_t dotCount;
            std::uint32_t entry; // kNone: not taken by slot
            bool closed;
            bool leaf; // nothing under it
        };
        const std::vector<std::uint32_t>& keyOfSlot = tree.KeyOfSlot();
        const std::size_t slots = keyOfSlot.size();
        std::vector<Hot> hot(slots);
        // The records and a copy of the points in slot order are gathered
        // side by side: the reads are scattered but independent, unlike the
        // walk's, each of which waits for the one before.
        const std::size_t pieces = slots >= kSideBySideSlots ? kSlotPieces : 1;
        const std::size_t per = (slots + pieces - 1) / pieces;
        auto sideBySide = [&](auto fn) {
            auto piece = [&](std::size_t k) {
                const std::size_t end = std::min(slots, (k + 1) * per);
                for (std::size_t s = k * per; s < end; ++s)
                    fn(s);
            };
            if (pieces > 1)
                plat::ParallelFor(pieces, piece);
            else
                piece(0);
        };
        sideBySide([&](std::size_t s) {
            const std::uint32_t g = m_pathOfNumber[keyOfSlot[s]];
            const Group& gr = m_groups[g];
            const Graph& graph = m_graphs[gr.graph];
            hot[s] = {g,     gr.parent,    gr.place, static_cast<std::uint32_t>(gr.graph), 0, graph.dotCount, kNone,
                      graph.closed, gr.children.empty()};
        });
        std::uint32_t nearCount = 0;
        for (Hot& h : hot) {
            h.dotFirst = nearCount;
            nearCount += h.dotCount;
        }
        std::vector<Dot> near(nearCount);
        sideBySide([&](std::size_t s) {
            const Graph& graph = m_graphs[hot[s].graph];
            std::copy_n(m_dots.begin() + graph.dotFirst, graph.dotCount, near.begin() + hot[s].dotFirst);
        });

        auto take = [&](std::uint32_t g) {
            Group& gr = m_groups[g];
            gr.ownTaken = true;
            gone[gr.number] = 1;
            tree.Remove(gr.number);
            Graph& graph = m_graphs[gr.graph];
            const Entry e = Enter(Dots(graph), graph.closed, at);
            SetEntry(graph, e.entry);
            at = e.exit;
        };
        auto begin = [&](std::uint32_t parent, std::size_t childIndex, std::vector<std::uint32_t>& stack) {
            Group& p = m_groups[parent];
            p.begun[childIndex] = 1;
            ++p.begunCount;
            p.ordered.push_back(p.children[childIndex]);
            stack.push_back(p.children[childIndex]);
        };

        std::vector<std::uint32_t> stack{0};
        while (!stack.empty()) {
            const std::uint32_t g = stack.back();
            Group& gr = m_groups[g];
            const bool hasOwn = gr.number != kNone; // only paths are numbered
            const bool ownPending = hasOwn && !gr.ownTaken;
            const std::size_t left = gr.children.size() - gr.begunCount;
            if (left == 0 && !ownPending) {
                stack.pop_back();
                continue;
            }
            if (left == 0) {
                take(g);
                continue;
            }
            while (gr.begun[gr.firstOpen] != 0)
                ++gr.firstOpen;
            if (!gr.byDistance || (left == 1 && (!ownPending || m_opt.inOut))) {
                begin(g, gr.firstOpen, stack);
                continue;
            }
            EntryTree::Found found{kNone, kNone};
            if (gr.hi < keys && keyFirst[gr.hi + 1] - keyFirst[gr.lo] <= kScanPoints) {
                found.key = nearest(gr.lo, gr.hi);
                if (found.key != kNone)
                    found.slot = tree.SlotOf(found.key);
            } else {
                found = tree.Nearest(at.x, at.y, gr.lo, gr.hi);
            }
            std::uint32_t target = found.key == kNone ? kNone : hot[found.slot].group;
            if (target == g) {
                take(g);
                continue;
            }
            if (target != kNone && hot[found.slot].leaf && hot[found.slot].parent == g) {
                // A child with nothing under it is begun and taken at once,
                // as its own turn on the stack would do; it is never on the
                // stack, so its group needs no marks.
                Hot& h = hot[found.slot];
                gr.begun[h.place] = 1;
                ++gr.begunCount;
                gr.ordered.push_back(h.group);
                gone[found.key] = 1;
                tree.RemoveSlot(found.slot);
                const Entry e = Enter({near.data() + h.dotFirst, h.dotCount}, h.closed, at);
                h.entry = e.entry; // back into the graph after the walk
                at = e.exit;
                continue;
            }
            // The child of this group whose subtree holds the nearest point
            // (there is one: every waiting subtree holds a path).
            std::uint32_t place = gr.firstOpen;
            if (target != kNone && hot[found.slot].parent == g) {
                place = hot[found.slot].place;
            } else if (target != kNone) {
                target = hot[found.slot].parent;
                while (target != kNone && m_groups[target].parent != g)
                    target = m_groups[target].parent;
                if (target != kNone)
                    place = m_groups[target].place;
            }
            begin(g, place, stack);
        }
        sideBySide([&](std::size_t s) {
            if (hot[s].entry != kNone)
                SetEntry(m_graphs[hot[s].graph], hot[s].entry);
        });
    }

    // How a path is entered: a closed path's entry point, or 1 for an open
    // path run from its last point.
    struct Entry {
        Dot exit;
        std::uint32_t entry;
    };

    static void SetEntry(Graph& gr, std::uint32_t entry)
    {
        if (gr.closed)
            gr.entry = entry;
        else
            gr.reversed = entry != 0;
    }

    // Where a path with these points is entered from the point `at`, and
    // where it is left.
    Entry Enter(std::span<const Dot> d, bool closed, const Dot& at) const
    {
        if (m_opt.metaPos == 2)
            return {d.back(), 0};
        if (!closed) {
            const bool reversed = Dist2(d.back(), at.x, at.y) < Dist2(d.front(), at.x, at.y);
            return {reversed ? d.front() : d.back(), reversed ? 1u : 0u};
        }
        const std::size_t m = d.size() - 1; // points of the ring
        std::size_t k = 0;
        double best = Dist2(d[0], at.x, at.y);
        for (std::size_t i = 1; i < m; ++i) {
            const double e = Dist2(d[i], at.x, at.y);
            if (e < best) {
                best = e;
                k = i;
            }
        }
        if (m_opt.metaPos == 1)
            k = SlantedEntry(d, m, k, at);
        return {d[k], static_cast<std::uint32_t>(k)};
    }

    // From the nearest point on, the node whose next segment runs 15 to 75
    // degrees off the axes and whose angle between the head and the next
    // node exceeds 120 degrees, the widest such angle; the walk ends at the
    // first node that fails after one was found.
    static std::size_t SlantedEntry(std::span<const Dot> d, std::size_t m, std::size_t k, const Dot& at)
    {
        constexpr double kQuarter = std::numbers::pi / 2.0;
        bool found = false;
        std::size_t best = k;
        double widest = 0.0;
        for (std::size_t step = 0; step < m; ++step) {
            const std::size_t j = (k + step) % m;
            const Dot& p = d[j];
            const Dot& q = d[(j + 1) % m];
            double dir = std::atan2(q.y - p.y, q.x - p.x);
            if (dir < 0.0)
                dir += 2.0 * std::numbers::pi;
            const double folded = std::fmod(dir, kQuarter);
            const double ax = at.x - p.x, ay = at.y - p.y, bx = q.x - p.x, by = q.y - p.y;
            const double angle = std::atan2(std::fabs(ax * by - ay * bx), ax * bx + ay * by);
            const bool good = folded >= kSlantMin && folded <= kSlantMax && angle > kWideAngle;
            if (good) {
                if (!found || angle > widest) {
                    best = j;
                    widest = angle;
                }
                found = true;
            } else if (found) {
                break;
            }
        }
        return best;
    }

    // The paths written back: every segment is laid on the path's
    // points again (segment i from point i to point i + 1; a closed path's
    // last point onto its first), then, unless paths keep their direction,
    // a closed path turns to begin at its entry point and an open path
    // entered at its end is reversed.
    void RebuildPaths()
    {
        for (Graph& gr : m_graphs) {
            if (gr.type != 2)
                continue;
            SEGNODE* first = gr.path->m_pSegs;
            SEGNODE* start = first;
            std::size_t i = 0;
            for (SEGNODE* seg = first; seg != nullptr; ++i) {
                const std::span<const Dot> dots = Dots(gr);
                const Dot& a = dots[i];
                const Dot& b = gr.closed && i + 2 == dots.size() ? dots.front() : dots[i + 1];
                seg->m_x0 = a.x;
                seg->m_y0 = a.y;
                seg->m_x1 = b.x;
                seg->m_y1 = b.y;
                if (i == gr.entry)
                    start = seg;
                seg = seg->m_pNext;
                if (seg == first)
                    break;
            }
            gr.path->m_closed = gr.closed ? 1 : 0;
            if (m_opt.metaPos == 2)
                continue;
            if (gr.closed)
                plat::RotateRingTo(gr.path, start);
            else if (gr.reversed)
                ReverseRing(gr.path);
        }
    }

    // The new order: depth first, children before their group's own path; a
    // bracket between its opening and closing records. The root has no path
    // of its own: the subtrees of its many children are written side by
    // side, each piece's in order, and laid end to end.
    void Flatten(std::vector<std::pair<PATHREC*, WORKLAYER*>>& out)
    {
        const GroupList top = m_groups[0].ordered;
        std::vector<FlattenFrame> stack;
        if (m_groups[0].graph >= 0 || top.size() < kSideBySideChildren) {
            FlattenFrom(0, out, stack);
            return;
        }
        std::vector<std::vector<std::pair<PATHREC*, WORKLAYER*>>> part(kSideBySidePieces);
        InPieces(kSideBySidePieces, top.size(), [&](std::size_t k, std::size_t begin, std::size_t end) {
            std::vector<FlattenFrame> own;
            part[k].reserve(end - begin);
            for (std::size_t i = begin; i < end; ++i)
                FlattenFrom(top[i], part[k], own);
        });
        std::size_t total = out.size();
        for (const auto& p : part)
            total += p.size();
        out.reserve(total);
        for (const auto& p : part)
            out.insert(out.end(), p.begin(), p.end());
    }

    struct FlattenFrame {
        std::uint32_t g;
        std::size_t next;
    };

    // The subtree of `top` appended to `out`; `stack` is room to work in.
    void FlattenFrom(std::uint32_t top, std::vector<std::pair<PATHREC*, WORKLAYER*>>& out,
                     std::vector<FlattenFrame>& stack)
    {
        stack.assign(1, {top, 0});
        auto graphOf = [&](std::uint32_t g) -> Graph* {
            return m_groups[g].graph >= 0 ? &m_graphs[m_groups[g].graph] : nullptr;
        };
        while (!stack.empty()) {
            FlattenFrame& f = stack.back();
            const std::uint32_t g = f.g;
            Graph* gr = graphOf(g);
            if (f.next == 0 && gr != nullptr && gr->type == 1)
                out.push_back({gr->path, gr->layer});
            if (f.next < m_groups[g].ordered.size()) {
                const std::uint32_t c = m_groups[g].ordered[f.next++];
                stack.push_back({c, 0});
                continue;
            }
            stack.pop_back();
            if (gr == nullptr)
                continue;
            if (gr->type == 1) {
                if (gr->closing == nullptr) {
                    gr->closing = new PATHREC;
                    gr->closing->m_kind = PATH_KIND_GROUP;
                }
                out.push_back({gr->closing, gr->layer});
                continue;
            }
            out.push_back({gr->path, gr->layer});
        }
    }

    // Below this many children a group is sorted and filed faster than a
    // thread starts.
    static constexpr std::size_t kSideBySideChildren = 16384;
    static constexpr std::size_t kSideBySidePieces = 64;
    // Up to this many children a group is partitioned by testing every pair.
    static constexpr std::size_t kFewChildren = 128;
    static constexpr std::size_t kCornerStrips = 32; // at most 256: a strip's number is a byte
    static constexpr std::size_t kSortChunks = 8;
    // Below this many paths the walk's records are gathered faster than
    // threads start.
    static constexpr std::size_t kSideBySideSlots = 65536;
    static constexpr std::size_t kSlotPieces = 64;
    // Entry points of a group's subtree up to which it is scanned, not searched.
    static constexpr std::uint32_t kScanPoints = 512;

    Options m_opt;
    FilledLater<Graph> m_graphs;
    FilledLater<Dot> m_dots; // the points of every path graph
    std::vector<std::uint32_t> m_roots; // graphs of the run's units in order
    std::vector<Aside> m_aside;
    FilledLater<Group> m_groups; // group 0 is the root
    std::vector<std::unique_ptr<std::uint32_t[]>> m_lists; // the rooms of the groups' lists
    std::vector<std::uint8_t> m_begun;                      // the groups' begun marks, one room
    std::vector<std::uint32_t> m_pathOfNumber;
    Dot m_start{0.0, 0.0};
    double m_cellW = 0.0;
    double m_cellH = 0.0;
    int m_firstCorner = 0;
};

// The ordered records moved into new memory in their new order: where the
// conversion made them they lie scattered along it, and every later walk
// over the list (bounds, the inside-first order, merging, encoding, freeing)
// would wait on memory at every record. The copies are whole (segments and
// array records are handed over); when the memory runs out the records stay
// where they are.
void MoveIntoOrder(std::vector<std::pair<PATHREC*, WORKLAYER*>>& paths)
{
    constexpr std::size_t kPiece = 16384;
    const std::size_t n = paths.size();
    const std::size_t pieces = (n + kPiece - 1) / kPiece;
    auto eachPiece = [&](auto fn) {
        plat::ParallelFor(pieces, [&](std::size_t k) { fn(k * kPiece, std::min(n, (k + 1) * kPiece)); });
    };
    std::vector<PATHREC*> moved(n, nullptr);
    try {
        // Each piece's copies come from its thread's stock: they lie
        // together in list order.
        eachPiece([&](std::size_t from, std::size_t to) {
            PathRecordStock stock;
            for (std::size_t i = from; i < to; ++i)
                moved[i] = new PATHREC(*paths[i].first);
        });
    } catch (const std::bad_alloc&) {
        PathRecordBin bin;
        for (PATHREC* p : moved)
            bin.Free(p);
        return;
    }
    eachPiece([&](std::size_t from, std::size_t to) {
        PathRecordBin bin;
        for (std::size_t i = from; i < to; ++i) {
            bin.Free(paths[i].first);
            paths[i].first = moved[i];
        }
    });
}

// A run's paths back into work layers: a new layer (a copy of the path's
// source layer record) wherever the layer id changes.
std::vector<WORKLAYER*> MakeLayers(const std::vector<std::pair<PATHREC*, WORKLAYER*>>& paths, bool ring)
{
    std::vector<WORKLAYER*> layers;
    std::vector<PathUnit> chain;
    auto finish = [&]() {
        if (!layers.empty())
            layers.back()->m_paths = plat::LinkUnits(chain, ring);
        chain.clear();
    };
    for (const auto& [p, source] : paths) {
        if (layers.empty() || layers.back()->m_layerId != source->m_layerId) {
            finish();
            WORKLAYER* copy = new WORKLAYER(*source);
            copy->m_paths = nullptr;
            copy->m_prev = copy->m_next = nullptr;
            layers.push_back(copy);
        }
        chain.push_back({p, p});
    }
    finish();
    return layers;
}

} // namespace

int CPathProc::RemapWorkPosition(int corner, int position)
{
    if (position < 0 || position > 3)
        return position;
    static constexpr int kMap[4][4] = {{3, 0, 2, 1}, {0, 3, 1, 2}, {2, 1, 3, 0}, {1, 2, 0, 3}};
    return kMap[std::clamp(corner, 0, 3)][position];
}

void CPathProc::OrderPathsOptimised(WORKHEAD* header, DOCCONTEXT* ctx, bool moveRecords)
{
    if (header == nullptr || header->m_layers == nullptr)
        return;
    const SoftwareSettings& s = CDocData::SettingsOf(ctx);
    // Without a machine the origin corner is 1, the default of a machine entry.
    const MachineNode* machine = GetCurrentMachine(s);
    const int corner = machine != nullptr ? machine->m_orign : 1;
    Options opt;
    opt.mode = s.path_mode;
    opt.inOut = s.path_in_out != 0;
    opt.metaPos = s.path_meta_pos;
    CDocData* objects = ctx != nullptr && ctx->m_pCurrent != nullptr ? ctx->m_pCurrent->m_pFirst : nullptr;
    if (HasLeadRecords(objects))
        opt.metaPos = 2; // lead lines fix where a path begins
    opt.byLayer = s.path_by_layer != 0;
    opt.width = s.path_width;
    opt.height = s.path_hight;
    opt.position = RemapWorkPosition(corner, s.path_work_pos);

    // The layer list in order, open or ring.
    std::vector<WORKLAYER*> all;
    const bool layerRing = header->m_layers->m_prev != nullptr;
    ForEachLayer(header->m_layers, false, [&](WORKLAYER& l) { all.push_back(&l); });
    auto ordered = [](const WORKLAYER* l) { return l->m_mode == 1 && l->m_paths != nullptr; };

    // One run over the given layers; returns the layers it makes.
    auto runOrdering = [&opt, moveRecords](const std::vector<WORKLAYER*>& runLayers) {
        OptimisedRun run(opt);
        bool pathRing = true;
        for (WORKLAYER* l : runLayers) {
            bool ring = false;
            const std::vector<PathUnit> units = plat::TakeUnits(l->m_paths, ring);
            if (l == runLayers.front())
                pathRing = ring;
            run.AddUnits(l, units);
        }
        std::vector<std::pair<PATHREC*, WORKLAYER*>> ordered = run.Order();
        if (moveRecords)
            MoveIntoOrder(ordered);
        return MakeLayers(ordered, pathRing);
    };
    // The ordered layers; the runs take their paths and they are dropped.
    std::vector<std::uint8_t> inRun(all.size(), 0);
    std::vector<WORKLAYER*> dropped;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (ordered(all[i])) {
            inRun[i] = 1;
            dropped.push_back(all[i]);
        }
    }
    std::vector<WORKLAYER*> result;
    if (opt.byLayer) {
        // Every layer's run starts from the same work position and touches
        // only that layer's paths: the runs go side by side, and the layers
        // each makes take the place of its layer.
        std::vector<std::vector<WORKLAYER*>> made(dropped.size());
        plat::ParallelFor(dropped.size(), [&](std::size_t k) { made[k] = runOrdering({dropped[k]}); });
        std::size_t k = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (inRun[i] == 0) {
                result.push_back(all[i]);
                continue;
            }
            result.insert(result.end(), made[k].begin(), made[k].end());
            ++k;
        }
    } else {
        // Every ordered layer in one run, whose layers take the place of the
        // first ordered layer.
        bool done = false;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (inRun[i] == 0) {
                result.push_back(all[i]);
            } else if (!done) {
                const std::vector<WORKLAYER*> made = runOrdering(dropped);
                result.insert(result.end(), made.begin(), made.end());
                done = true;
            }
        }
    }
    for (WORKLAYER* l : dropped) {
        l->m_paths = nullptr;
        delete l;
    }
    for (std::size_t i = 0; i < result.size(); ++i) {
        result[i]->m_prev = i > 0 ? result[i - 1] : (layerRing ? result.back() : nullptr);
        result[i]->m_next = i + 1 < result.size() ? result[i + 1] : (layerRing ? result.front() : nullptr);
    }
    header->m_layers = result.empty() ? nullptr : result.front();
}
