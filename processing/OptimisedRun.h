// The optimised ordering's run and the records it works on: the cut paths
// of one or more layers become a tree of groups (paths lying inside a closed
// path under it, or cells of a fixed size), and each group's children are
// taken nearest entry first from where the head stands. The run reads the
// paths and builds the tree (OptimisedRunTree.cpp), numbers it and walks it
// (OptimisedRunWalk.cpp, with the search of EntryTree.h), and writes the
// paths back in their new order (OptimisedRunWrite.cpp).
#pragma once
#include "PathUnits.h"

#include "machinecomm/VantrelRecords.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

namespace plat::optimised {

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

inline double Dist2(const Dot& a, double x, double y) { return (a.x - x) * (a.x - x) + (a.y - y) * (a.y - y); }

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

inline bool IsOpening(const PATHREC* p) { return p->m_kind == PATH_KIND_GROUP && p->m_pArray != nullptr; }

// One ordering run over the units of one or more layers.
class OptimisedRun {
public:
    explicit OptimisedRun(const Options& o) : m_opt(o) {}

    // Takes the units of a layer in list order.
    void AddUnits(WORKLAYER* layer, const std::vector<PathUnit>& units);

    // Orders the run; returns the paths in their new order with their layers.
    std::vector<std::pair<PATHREC*, WORKLAYER*>> Order();

    // After Order: every path's extents and closed flag were measured anew
    // (none was set aside, none is a bracket, whose extents are its
    // members').
    bool BoundsFresh() const { return m_fresh; }

private:
    struct Aside {
        PathUnit unit;
        WORKLAYER* layer;
    };

    // The graphs of one unit; kNone when the unit cannot take part.
    static std::uint32_t Parse(FilledLater<Graph>& graphs, FilledLater<Dot>& dots, WORKLAYER* layer,
                               const PathUnit& u);

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

    std::uint32_t NewGroup(std::int32_t graph, std::uint32_t parent);

    // The tree: a group per graph under the root or its bracket's group.
    // A reading from the root down, members after their bracket, numbers
    // the groups as the graphs lie (each unit's graphs in that order): graph
    // g's group is g + 1. Every list of children is in graph order, which
    // is that of the units and of each bracket's members.
    void BuildTree();

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
    void PartitionFrom(std::uint32_t top, int topCorner, bool sideBySide);

    // Children nearest first by lower-left corner; a closed path taken
    // takes in the remaining children whose boxes lie within its box.
    void PartitionByContainment(std::uint32_t g);
    struct ContainmentSweep;

    // The same for a group of few children (most of those a closed path
    // takes in), in place: every remaining child is tested directly.
    void PartitionFewByContainment(std::uint32_t g);

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
    int PartitionByCells(std::uint32_t g, int corner);

    // Numbers the paths in the order the tree is written (children before
    // their group's own path) and gives every group the run of its subtree.
    void Number();

    // Numbers the subtree of `top` from `counter` on, its lists' rooms from
    // `roomUsed` on (every group as it is left); the place and first number
    // of `top` itself are its parent's to give. Numbers go into the list of
    // paths by number, appended or (`append` false) at their place.
    void NumberSubtree(std::uint32_t top, std::uint32_t& counter, std::size_t& roomUsed, std::uint32_t* orderedRoom,
                       bool append);

    // The paths and list entries of the subtree of `top`, added to the counts.
    void CountSubtree(std::uint32_t top, std::uint32_t& paths, std::size_t& entries) const;

    // The points a path may be entered at: all points of a closed path (the
    // repeated last one aside), the two ends of an open one, only the first
    // when paths keep their direction.
    std::span<const Dot> EntryPoints(const Graph& gr, Dot (&ends)[2]) const;

    // From the start point, every group takes its children nearest
    // entry first (or in cell order), each child's subtree whole before the
    // next; with "path in out" a group's own path comes after its children.
    void TakeInOrder();
    struct Walk;

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
    Entry Enter(std::span<const Dot> d, bool closed, const Dot& at) const;

    // From the nearest point on, the node whose next segment runs 15 to 75
    // degrees off the axes and whose angle between the head and the next
    // node exceeds 120 degrees, the widest such angle; the walk ends at the
    // first node that fails after one was found.
    static std::size_t SlantedEntry(std::span<const Dot> d, std::size_t m, std::size_t k, const Dot& at);

    // The paths written back: every segment is laid on the path's
    // points again (segment i from point i to point i + 1; a closed path's
    // last point onto its first), the extents of the points laid stored,
    // then, unless paths keep their direction, a closed path turns to begin
    // at its entry point and an open path entered at its end is reversed.
    void RebuildPaths();

    // The new order: depth first, children before their group's own path; a
    // bracket between its opening and closing records. The root has no path
    // of its own: the subtrees of its many children are written side by
    // side, each piece's in order, and laid end to end.
    void Flatten(std::vector<std::pair<PATHREC*, WORKLAYER*>>& out);

    struct FlattenFrame {
        std::uint32_t g;
        std::size_t next;
    };

    // The subtree of `top` appended to `out`; `stack` is room to work in.
    void FlattenFrom(std::uint32_t top, std::vector<std::pair<PATHREC*, WORKLAYER*>>& out,
                     std::vector<FlattenFrame>& stack);

    // Below this many children a group is sorted and filed faster than a
    // thread starts.
    static constexpr std::size_t kSideBySideChildren = 16384;
    static constexpr std::size_t kSideBySidePieces = 64;
    // Up to this many children a group is partitioned by testing every pair.
    static constexpr std::size_t kFewChildren = 128;
    static constexpr std::size_t kCornerStrips = 32; // at most 256: a strip's number is a byte
    static constexpr std::size_t kSortChunks = 8;

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
    bool m_fresh = false;
};

// The ordered records moved into new memory in their new order (see
// OptimisedRunWrite.cpp); when the memory runs out they stay where they are.
void MoveIntoOrder(std::vector<std::pair<PATHREC*, WORKLAYER*>>& paths);
// A run's paths back into work layers: a new layer (a copy of the path's
// source layer record) wherever the layer id changes.
std::vector<WORKLAYER*> MakeLayers(const std::vector<std::pair<PATHREC*, WORKLAYER*>>& paths, bool ring);

} // namespace plat::optimised
