// The optimised ordering's tree: the paths of each unit read into graphs and
// points, a group per graph under the
// root or its bracket, and the partition of every group's children, by
// containment in closed paths or by cells of a fixed size.
#include "OptimisedRun.h"
#include "SpatialGrid.h"

#include <algorithm>
#include <cmath>

namespace plat::optimised {

void OptimisedRun::AddUnits(WORKLAYER* layer, const std::vector<PathUnit>& units)
{
    // Many units are read in pieces side by side (the reading waits on
    // memory at every path), each into graphs and points of its own, then
    // laid end to end: numbers of graphs and points move by what the
    // pieces before hold.
    struct Piece {
        FilledLater<Graph> graphs;
        FilledLater<Dot> dots;
        std::vector<std::uint32_t> roots;
        std::vector<Aside> aside;
        std::size_t graphsBefore = 0;
        std::size_t dotsBefore = 0;
    };
    const std::size_t pieces = units.size() >= kSideBySideChildren ? kSideBySidePieces : 1;
    std::vector<Piece> part(pieces);
    InPieces(pieces, units.size(), [&](std::size_t k, std::size_t begin, std::size_t end) {
        Piece& p = part[k];
        for (std::size_t i = begin; i < end; ++i) {
            const std::uint32_t g = Parse(p.graphs, p.dots, layer, units[i]);
            if (g == kNone)
                p.aside.push_back({units[i], layer});
            else
                p.roots.push_back(g);
        }
    });
    std::size_t graphs = m_graphs.size();
    std::size_t dots = m_dots.size();
    for (Piece& p : part) {
        p.graphsBefore = graphs;
        p.dotsBefore = dots;
        graphs += p.graphs.size();
        dots += p.dots.size();
    }
    m_graphs.resize(graphs);
    m_dots.resize(dots);
    InPieces(pieces, pieces, [&](std::size_t k, std::size_t, std::size_t) {
        Piece& p = part[k];
        const auto g0 = static_cast<std::uint32_t>(p.graphsBefore);
        const auto d0 = static_cast<std::uint32_t>(p.dotsBefore);
        for (std::size_t i = 0; i < p.graphs.size(); ++i) {
            Graph& gr = m_graphs[p.graphsBefore + i];
            gr = p.graphs[i];
            gr.dotFirst += d0;
            if (gr.bracket != kNone)
                gr.bracket += g0;
        }
        std::copy(p.dots.begin(), p.dots.end(), m_dots.begin() + static_cast<std::ptrdiff_t>(p.dotsBefore));
        for (std::uint32_t& r : p.roots)
            r += g0;
        FilledLater<Graph>().swap(p.graphs);
        FilledLater<Dot>().swap(p.dots);
    });
    for (const Piece& p : part) {
        m_roots.insert(m_roots.end(), p.roots.begin(), p.roots.end());
        m_aside.insert(m_aside.end(), p.aside.begin(), p.aside.end());
    }
}

std::uint32_t OptimisedRun::Parse(FilledLater<Graph>& graphs, FilledLater<Dot>& dots, WORKLAYER* layer,
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

std::uint32_t OptimisedRun::NewGroup(std::int32_t graph, std::uint32_t parent)
{
    Group g;
    g.graph = graph;
    g.parent = parent;
    if (graph >= 0)
        g.box = m_graphs[graph].box;
    m_groups.push_back(std::move(g));
    return static_cast<std::uint32_t>(m_groups.size() - 1);
}

void OptimisedRun::BuildTree()
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

void OptimisedRun::PartitionFrom(std::uint32_t top, int topCorner, bool sideBySide)
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

// One wide group's sweep by containment, between its steps: its children's
// boxes and lower-left corners, filed in strips of x with a grid each, the
// children's order nearest corner first, and which closed path takes in
// which child.
struct OptimisedRun::ContainmentSweep {
    // What the sweep reads of each child, gathered once in child order.
    ContainmentSweep(const OptimisedRun& run, std::uint32_t g);
    // Files the corners and sorts the order from the group's own corner.
    void OrderCorners(double ox, double oy);
    // Marks every child a closed path takes in with that path.
    void Claim();
    // Monotonic in x: a corner within a rectangle lies in a strip
    // between those of the rectangle's sides.
    std::size_t StripOf(double x) const
    {
        const double s = std::floor((x - lo) * scale);
        if (!(s > 0.0))
            return 0;
        return s >= static_cast<double>(strips) ? strips - 1 : static_cast<std::size_t>(s);
    }

    std::vector<std::uint32_t> ch;
    std::size_t n;
    bool wide;
    FilledLater<Box> boxes;
    FilledLater<std::uint8_t> closed;
    std::vector<double> sizes;
    std::size_t strips = 1;
    double lo = kInf;
    double scale = 0.0;
    std::vector<plat::SpatialGrid> corners;
    FilledLater<std::uint8_t> stripAt;
    FilledLater<Box> placedBox;              // by place
    FilledLater<std::uint32_t> placeOf;      // by child
    FilledLater<Near> order;
    FilledLater<std::uint32_t> rankAt;       // by place: the rank in the order
    std::vector<std::uint32_t> closedRanks;  // rising
    FilledLater<std::uint32_t> takenBy;      // by place: the taker's number in closedRanks, or kNone
};

OptimisedRun::ContainmentSweep::ContainmentSweep(const OptimisedRun& run, std::uint32_t g)
    : ch(run.m_groups[g].children.begin(), run.m_groups[g].children.end()), n(ch.size()),
      wide(n >= kSideBySideChildren), boxes(n), closed(n), sizes(n)
{
    SideBySide(wide, n, [&](std::size_t i) {
        boxes[i] = run.m_groups[ch[i]].box;
        closed[i] = run.IsClosedLeaf(ch[i]) ? 1 : 0;
        sizes[i] = std::max(boxes[i].xmax - boxes[i].xmin, boxes[i].ymax - boxes[i].ymin);
    });
}

void OptimisedRun::ContainmentSweep::OrderCorners(double ox, double oy)
{
    // A box lies within another only when its lower-left corner does;
    // cells finer than the boxes keep a query to few corners it cannot
    // take. Many corners are filed in strips of x, a grid each, so that
    // the grids are made side by side.
    const double cell = plat::SpatialGrid::MedianCell(std::move(sizes)) / 4.0;
    strips = wide ? kCornerStrips : 1;
    double hi = -kInf;
    for (const Box& b : boxes) {
        lo = std::min(lo, b.xmin);
        hi = std::max(hi, b.xmin);
    }
    scale = hi > lo ? static_cast<double>(strips) / (hi - lo) : 0.0;
    corners.reserve(strips);
    for (std::size_t k = 0; k < strips; ++k)
        corners.emplace_back(cell, 0); // made with its corners below
    // The corners get places strip after strip, within a strip by rows
    // of cells and along x: the corners a query meets lie at few runs of
    // places, and so do the boxes and marks the sweep keeps by place.
    stripAt = FilledLater<std::uint8_t>(n);
    FilledLater<double> rowAt(n);
    SideBySide(wide, n, [&](std::size_t i) {
        stripAt[i] = static_cast<std::uint8_t>(StripOf(boxes[i].xmin));
        rowAt[i] = std::floor(boxes[i].ymin / cell);
    });
    std::vector<std::size_t> base(strips + 1, 0);
    for (std::uint8_t k : stripAt)
        ++base[k + 1];
    for (std::size_t k = 0; k < strips; ++k)
        base[k + 1] += base[k];
    placedBox = FilledLater<Box>(n);
    FilledLater<std::uint32_t> childAt(n);
    placeOf = FilledLater<std::uint32_t>(n);

    // The order, nearest corner first and the earlier child on equal
    // distance, is sorted in chunks beside the grids, then merged.
    order = FilledLater<Near>(n);
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
            // One thread: the merges wait on memory, and side by side
            // they bought little.
            const auto at = [](FilledLater<Near>& v, std::size_t i) { return v.begin() + static_cast<std::ptrdiff_t>(i); };
            for (std::size_t a = 0; a < n; a += 2 * width) {
                const std::size_t m = std::min(n, a + width), e = std::min(n, a + 2 * width);
                std::merge(at(order, a), at(order, m), at(order, m), at(order, e), at(merged, a));
            }
            order.swap(merged);
        }
    } else {
        prepare(0);
        prepare(1);
    }
    rankAt = FilledLater<std::uint32_t>(n);
    SideBySide(wide, n, [&](std::size_t r) {
        Near& near = order[r];
        near.place = placeOf[near.child];
        rankAt[near.place] = static_cast<std::uint32_t>(r);
    });
}

void OptimisedRun::ContainmentSweep::Claim()
{
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
    for (std::uint32_t r = 0; r < n; ++r) {
        if (closed[order[r].child] != 0)
            closedRanks.push_back(r);
    }
    const std::size_t takers = closedRanks.size();
    FilledLater<Box> takerBox(takers);
    SideBySide(wide, takers, [&](std::size_t k) { takerBox[k] = placedBox[order[closedRanks[k]].place]; });
    takenBy = FilledLater<std::uint32_t>(n);
    SideBySide(wide, n, [&](std::size_t i) { takenBy[i] = kNone; });
    auto takeIn = [&](std::size_t s) {
        for (std::uint32_t k = 0; k < takers; ++k) {
            const Box kb = takerBox[k];
            if (StripOf(kb.xmin) > s || StripOf(kb.xmax) < s)
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
}

void OptimisedRun::PartitionByContainment(std::uint32_t g)
{
    if (m_groups[g].children.size() <= kFewChildren) {
        PartitionFewByContainment(g);
        return;
    }
    ContainmentSweep s(*this, g);
    s.OrderCorners(m_groups[g].box.xmin, m_groups[g].box.ymin);
    s.Claim();
    const std::size_t takers = s.closedRanks.size();
    // The children are laid out again in the list's own room: the
    // group's own first, then those each closed path takes in.
    std::uint32_t* const room = m_groups[g].children.data;
    // The kept children in order fill the room first; then those taken
    // in, each path's together in the order of the paths, and within
    // one in the list's order: laid out by counting, in pieces of the
    // order and of the list side by side.
    const std::size_t pieces = s.wide ? kSortChunks : 1;
    std::vector<std::uint32_t> keptBefore(pieces + 1, 0);
    FilledLater<std::uint32_t> next(pieces * takers); // piece p's counts, then places: from p * takers
    InPieces(pieces, s.n, [&](std::size_t p, std::size_t begin, std::size_t end) {
        std::uint32_t* const count = next.data() + p * takers;
        std::fill(count, count + takers, 0);
        std::uint32_t k = 0;
        for (std::size_t r = begin; r < end; ++r)
            k += s.takenBy[s.order[r].place] == kNone ? 1 : 0;
        keptBefore[p + 1] = k;
        for (std::size_t i = begin; i < end; ++i) {
            const std::uint32_t by = s.takenBy[s.placeOf[i]];
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
            m_groups[s.ch[s.order[s.closedRanks[k]].child]].children = {room + start, at - start};
    }
    InPieces(pieces, s.n, [&](std::size_t p, std::size_t begin, std::size_t end) {
        std::uint32_t to = keptBefore[p];
        for (std::size_t r = begin; r < end; ++r) {
            if (s.takenBy[s.order[r].place] == kNone)
                room[to++] = s.ch[s.order[r].child];
        }
        std::uint32_t* const place = next.data() + p * takers;
        for (std::size_t i = begin; i < end; ++i) {
            const std::uint32_t by = s.takenBy[s.placeOf[i]];
            if (by == kNone)
                continue;
            room[place[by]++] = s.ch[i];
            m_groups[s.ch[i]].parent = s.ch[s.order[s.closedRanks[by]].child];
        }
    });
    m_groups[g].children.count = kept;
}

void OptimisedRun::PartitionFewByContainment(std::uint32_t g)
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

int OptimisedRun::PartitionByCells(std::uint32_t g, int corner)
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

} // namespace plat::optimised
