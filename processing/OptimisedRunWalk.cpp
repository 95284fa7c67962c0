// The optimised ordering's walk: the tree's paths numbered so that every
// subtree is one run of numbers, then taken from the start point, each
// group's children nearest entry first (or in cell order), with the entry
// point of every closed path and the direction of every open one.
#include "EntryTree.h"
#include "OptimisedRun.h"

#include <cmath>
#include <numbers>
#include <optional>

namespace plat::optimised {

void OptimisedRun::Number()
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

void OptimisedRun::NumberSubtree(std::uint32_t top, std::uint32_t& counter, std::size_t& roomUsed,
                                 std::uint32_t* orderedRoom, bool append)
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

void OptimisedRun::CountSubtree(std::uint32_t top, std::uint32_t& paths, std::size_t& entries) const
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

std::span<const Dot> OptimisedRun::EntryPoints(const Graph& gr, Dot (&ends)[2]) const
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

// The walk's state: the search over the waiting paths' entry points (a
// tree, and the points by number for a short run of numbers, which is
// scanned whole faster than the tree is searched, whose nodes there hold
// mostly other groups' points), what the walk reads of each path by its
// slot in the tree, and where the head stands.
struct OptimisedRun::Walk {
    explicit Walk(OptimisedRun& run);

    // The path of a group taken: out of the search, entered from the head,
    // which moves to where it is left.
    void Take(std::uint32_t g);
    // The child at `childIndex` of `parent` begun: on the stack to be walked.
    void Begin(std::uint32_t parent, std::size_t childIndex, std::vector<std::uint32_t>& stack);
    // The nearest waiting path of a group's subtree.
    EntryTree::Found Nearest(const Group& gr);
    // A child with nothing under it, found by its slot, begun and taken at
    // once, as its own turn on the stack would do; it is never on the
    // stack, so its group needs no marks.
    void TakeLeaf(Group& gr, const EntryTree::Found& found);
    // The entries of the paths taken by slot written into their graphs.
    void Finish();

    // What the walk reads of a path found by the search, by its slot in
    // the tree: the next path found lies near, and so does its record.
    struct Hot {
        std::uint32_t group;
        std::uint32_t parent;
        std::uint32_t place;
        std::uint32_t graph;
        std::uint32_t dotFirst; // in the run's points
        std::uint32_t dotCount;
        std::uint32_t entry; // kNone: not taken by slot
        bool closed;
        bool leaf; // nothing under it
    };

    OptimisedRun& run;
    const std::size_t keys;
    Dot at;
    std::vector<std::uint32_t> keyFirst;
    std::vector<Dot> keyDots;
    std::vector<std::uint8_t> gone;
    std::optional<EntryTree> tree;
    std::vector<Hot> hot;
};

namespace {

// Below this many paths the walk's records are gathered faster than
// threads start.
constexpr std::size_t kSideBySideSlots = 65536;
constexpr std::size_t kSlotPieces = 64;
// Entry points of a group's subtree up to which it is scanned, not searched.
constexpr std::uint32_t kScanPoints = 512;

// Calls fn(s) for every slot below `slots`, side by side for many: the
// reads are scattered but independent, unlike the walk's, each of which
// waits for the one before.
template <typename Fn>
void ForEachSlot(std::size_t slots, Fn fn)
{
    const std::size_t pieces = slots >= kSideBySideSlots ? kSlotPieces : 1;
    const std::size_t per = (slots + pieces - 1) / pieces;
    auto piece = [&](std::size_t k) {
        const std::size_t end = std::min(slots, (k + 1) * per);
        for (std::size_t s = k * per; s < end; ++s)
            fn(s);
    };
    if (pieces > 1)
        plat::ParallelFor(pieces, piece);
    else
        piece(0);
}

} // namespace

OptimisedRun::Walk::Walk(OptimisedRun& r) : run(r), keys(r.m_pathOfNumber.size()), at(r.m_start)
{
    // In group order, which is that of the graphs and their points: all
    // three are read front to back. No path has more entry points than
    // points.
    std::vector<EntryTree::Item> items;
    items.reserve(run.m_dots.size());
    for (const Group& gr : run.m_groups) {
        // An enclosing path waits for its children with "path in out":
        // it is then the last one left and needs no search.
        if (gr.number == kNone || (run.m_opt.inOut && !gr.children.empty()))
            continue;
        Dot ends[2];
        for (const Dot& d : run.EntryPoints(run.m_graphs[gr.graph], ends))
            items.push_back({d.x, d.y, gr.number});
    }
    // The entry points by number as well, for the scans.
    keyFirst.assign(keys + 1, 0);
    for (const EntryTree::Item& it : items)
        ++keyFirst[it.key + 1];
    for (std::size_t k = 0; k < keys; ++k)
        keyFirst[k + 1] += keyFirst[k];
    keyDots.resize(items.size());
    {
        std::vector<std::uint32_t> fill(keyFirst.begin(), keyFirst.end() - 1);
        for (const EntryTree::Item& it : items)
            keyDots[fill[it.key]++] = {it.x, it.y};
    }
    gone.assign(keys, 0);
    tree.emplace(std::move(items), keys);

    // The records in slot order.
    const std::vector<std::uint32_t>& keyOfSlot = tree->KeyOfSlot();
    const std::size_t slots = keyOfSlot.size();
    hot.resize(slots);
    ForEachSlot(slots, [&](std::size_t s) {
        const std::uint32_t g = run.m_pathOfNumber[keyOfSlot[s]];
        const Group& gr = run.m_groups[g];
        const Graph& graph = run.m_graphs[gr.graph];
        hot[s] = {g,     gr.parent,    gr.place, static_cast<std::uint32_t>(gr.graph), graph.dotFirst, graph.dotCount,
                  kNone, graph.closed, gr.children.empty()};
    });
}

void OptimisedRun::Walk::Take(std::uint32_t g)
{
    Group& gr = run.m_groups[g];
    gr.ownTaken = true;
    gone[gr.number] = 1;
    tree->Remove(gr.number);
    Graph& graph = run.m_graphs[gr.graph];
    const Entry e = run.Enter(run.Dots(graph), graph.closed, at);
    SetEntry(graph, e.entry);
    at = e.exit;
}

void OptimisedRun::Walk::Begin(std::uint32_t parent, std::size_t childIndex, std::vector<std::uint32_t>& stack)
{
    Group& p = run.m_groups[parent];
    p.begun[childIndex] = 1;
    ++p.begunCount;
    p.ordered.push_back(p.children[childIndex]);
    stack.push_back(p.children[childIndex]);
}

EntryTree::Found OptimisedRun::Walk::Nearest(const Group& gr)
{
    if (gr.hi >= keys || keyFirst[gr.hi + 1] - keyFirst[gr.lo] > kScanPoints)
        return tree->Nearest(at.x, at.y, gr.lo, gr.hi);
    // The same answer as the tree's: the nearest, the lower number on
    // equal distance.
    const std::uint32_t end = std::min<std::uint32_t>(gr.hi + 1, static_cast<std::uint32_t>(keys));
    std::uint32_t bestKey = kNone;
    double best = kInf;
    for (std::uint32_t key = gr.lo; key < end; ++key) {
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
    return {bestKey, bestKey != kNone ? tree->SlotOf(bestKey) : kNone};
}

void OptimisedRun::Walk::TakeLeaf(Group& gr, const EntryTree::Found& found)
{
    Hot& h = hot[found.slot];
    gr.begun[h.place] = 1;
    ++gr.begunCount;
    gr.ordered.push_back(h.group);
    gone[found.key] = 1;
    tree->RemoveSlot(found.slot);
    const Entry e = run.Enter({run.m_dots.data() + h.dotFirst, h.dotCount}, h.closed, at);
    h.entry = e.entry; // back into the graph after the walk
    at = e.exit;
}

void OptimisedRun::Walk::Finish()
{
    ForEachSlot(hot.size(), [&](std::size_t s) {
        if (hot[s].entry != kNone)
            SetEntry(run.m_graphs[hot[s].graph], hot[s].entry);
    });
}

void OptimisedRun::TakeInOrder()
{
    Walk walk(*this);
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
            walk.Take(g);
            continue;
        }
        while (gr.begun[gr.firstOpen] != 0)
            ++gr.firstOpen;
        if (!gr.byDistance || (left == 1 && (!ownPending || m_opt.inOut))) {
            walk.Begin(g, gr.firstOpen, stack);
            continue;
        }
        const EntryTree::Found found = walk.Nearest(gr);
        const Walk::Hot* hot = found.key == kNone ? nullptr : &walk.hot[found.slot];
        std::uint32_t target = hot == nullptr ? kNone : hot->group;
        if (target == g) {
            walk.Take(g);
            continue;
        }
        if (hot != nullptr && hot->leaf && hot->parent == g) {
            walk.TakeLeaf(gr, found);
            continue;
        }
        // The child of this group whose subtree holds the nearest point
        // (there is one: every waiting subtree holds a path).
        std::uint32_t place = gr.firstOpen;
        if (hot != nullptr && hot->parent == g) {
            place = hot->place;
        } else if (hot != nullptr) {
            target = hot->parent;
            while (target != kNone && m_groups[target].parent != g)
                target = m_groups[target].parent;
            if (target != kNone)
                place = m_groups[target].place;
        }
        walk.Begin(g, place, stack);
    }
    walk.Finish();
}

OptimisedRun::Entry OptimisedRun::Enter(std::span<const Dot> d, bool closed, const Dot& at) const
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

std::size_t OptimisedRun::SlantedEntry(std::span<const Dot> d, std::size_t m, std::size_t k, const Dot& at)
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

} // namespace plat::optimised
