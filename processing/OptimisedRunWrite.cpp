// The optimised ordering written back: the paths' segments laid on their
// points again from their entry points, the tree flattened into the new
// order, the records moved into memory in that order and the paths put
// back into work layers.
#include "JobRecords.h"
#include "OptimisedRun.h"
#include "model/PolylineGeometry.h"
#include "model/SegNodePool.h"

#include <algorithm>

namespace plat::optimised {

std::vector<std::pair<PATHREC*, WORKLAYER*>> OptimisedRun::Order()
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
    m_fresh = m_aside.empty() &&
              std::none_of(m_graphs.begin(), m_graphs.end(), [](const Graph& g) { return g.type != 2; });
    for (auto& [p, layer] : out)
        p->m_pPrev = p->m_pNext = nullptr;
    return out;
}

void OptimisedRun::RebuildPaths()
{
    // Each graph's path is rebuilt on its own: in pieces side by side.
    SideBySide(m_graphs.size() >= kSideBySideChildren, m_graphs.size(), [this](std::size_t g) {
        Graph& gr = m_graphs[g];
        if (gr.type != 2)
            return;
        SEGNODE* first = gr.path->m_pSegs;
        SEGNODE* start = first;
        const std::span<const Dot> dots = Dots(gr);
        // The extents as a walk over the laid segments measures them, from
        // the same seeds.
        Box laid{kPathBoundMinInit, kPathBoundMaxInit, kPathBoundMinInit, kPathBoundMaxInit};
        std::size_t i = 0;
        for (SEGNODE* seg = first; seg != nullptr; ++i) {
            const Dot& a = dots[i];
            const Dot& b = gr.closed && i + 2 == dots.size() ? dots.front() : dots[i + 1];
            seg->m_x0 = a.x;
            seg->m_y0 = a.y;
            seg->m_x1 = b.x;
            seg->m_y1 = b.y;
            laid.Add(a);
            laid.Add(b);
            if (i == gr.entry)
                start = seg;
            seg = seg->m_pNext;
            if (seg == first)
                break;
        }
        gr.path->m_xmin = laid.xmin;
        gr.path->m_xmax = laid.xmax;
        gr.path->m_ymin = laid.ymin;
        gr.path->m_ymax = laid.ymax;
        gr.path->m_closed = gr.closed ? 1 : 0;
        if (m_opt.metaPos == 2)
            return;
        if (gr.closed)
            plat::RotateRingTo(gr.path, start);
        else if (gr.reversed)
            ReverseRing(gr.path);
    });
}

void OptimisedRun::Flatten(std::vector<std::pair<PATHREC*, WORKLAYER*>>& out)
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

void OptimisedRun::FlattenFrom(std::uint32_t top, std::vector<std::pair<PATHREC*, WORKLAYER*>>& out,
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
    // The old records go back to their pools in one pass: freed side by
    // side, the threads only waited on the pools' lock.
    PathRecordBin bin;
    for (std::size_t i = 0; i < n; ++i) {
        bin.Free(paths[i].first);
        paths[i].first = moved[i];
    }
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

} // namespace plat::optimised
