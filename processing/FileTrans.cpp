#include "FileTrans.h"

#include "JobRecords.h"
#include "PathProc.h"
#include "PathUnits.h"
#include "model/DocData.h"
#include "model/SegNodePool.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kZeroSegmentTol = 1e-5;
constexpr double kMinFactor = 1e-5;
constexpr double kClosedTol = 0.001;
constexpr double kNoMoveTol = 1e-7;
// Short segments are merged on the layers that are only cut.
constexpr std::uint8_t kMergedLayerMode = 1;

struct Extents {
    double xmin;
    double xmax;
    double ymin;
    double ymax;

    void Add(double x, double y)
    {
        xmin = std::min(xmin, x);
        xmax = std::max(xmax, x);
        ymin = std::min(ymin, y);
        ymax = std::max(ymax, y);
    }
    void Add(const Extents& o)
    {
        xmin = std::min(xmin, o.xmin);
        xmax = std::max(xmax, o.xmax);
        ymin = std::min(ymin, o.ymin);
        ymax = std::max(ymax, o.ymax);
    }
    bool IsEmpty() const { return xmin > xmax || ymin > ymax; }
};

constexpr Extents kPathSeed{kPathBoundMinInit, kPathBoundMaxInit, kPathBoundMinInit, kPathBoundMaxInit};
constexpr Extents kJobSeed{kBoxSeedMin, kBoxSeedMax, kBoxSeedMin, kBoxSeedMax};

bool IsZeroSegment(const SEGNODE& s)
{
    return std::fabs(s.m_x1 - s.m_x0) < kZeroSegmentTol && std::fabs(s.m_y1 - s.m_y0) < kZeroSegmentTol;
}

// Pieces of a list for work side by side on each element alone:
// fn(piece, begin, end) for every piece.
constexpr std::size_t kPiece = 8192;

std::size_t Pieces(std::size_t n)
{
    return (n + kPiece - 1) / kPiece;
}

template <typename T, typename Fn>
void InPieces(const std::vector<T>& items, Fn fn)
{
    plat::ParallelFor(Pieces(items.size()), [&](std::size_t k) {
        fn(k, k * kPiece, std::min(items.size(), (k + 1) * kPiece));
    });
}

// Unlinks and frees the zero-length segments of one path. The neighbours
// meet at the removed segment's start, so the path stays connected.
void RemoveZeroSegmentsOfPath(PATHREC& path, PathRecordBin& bin)
{
    SEGNODE* first = path.m_pSegs;
    const bool ring = first->m_pPrev != nullptr;
    if (ring) {
        first->m_pPrev->m_pNext = nullptr;
        first->m_pPrev = nullptr;
    }
    SEGNODE* s = first;
    SEGNODE* last = nullptr; // the last segment kept
    while (s != nullptr) {
        SEGNODE* next = s->m_pNext;
        if (!IsZeroSegment(*s)) {
            last = s;
        } else {
            SEGNODE* prev = s->m_pPrev;
            if (next != nullptr) {
                if (prev != nullptr) {
                    prev->m_x1 = s->m_x0;
                    prev->m_y1 = s->m_y0;
                }
                next->m_x0 = s->m_x0;
                next->m_y0 = s->m_y0;
            } else if (prev != nullptr) {
                prev->m_x1 = s->m_x1;
                prev->m_y1 = s->m_y1;
            }
            if (prev != nullptr)
                prev->m_pNext = next;
            else
                first = next;
            if (next != nullptr)
                next->m_pPrev = prev;
            bin.Free(s);
        }
        s = next;
    }
    if (ring && first != nullptr) {
        last->m_pNext = first;
        first->m_pPrev = last;
    }
    path.m_pSegs = first;
}

bool IsOpeningBracket(const PATHREC& p)
{
    return p.m_kind == PATH_KIND_GROUP && p.m_pArray != nullptr;
}

// True when the walk from `from` along next links to `to` passes `first`:
// on a ring, a group walk that found no closing bracket came round again.
bool WalkPassesFirst(const PATHREC* from, const PATHREC* to, const PATHREC* first)
{
    for (const PATHREC* p = from; p != nullptr && p != to;) {
        p = p->m_pNext;
        if (p == first)
            return true;
    }
    return false;
}

void StoreExtents(PATHREC& path, const Extents& e)
{
    path.m_xmin = e.xmin;
    path.m_xmax = e.xmax;
    path.m_ymin = e.ymin;
    path.m_ymax = e.ymax;
}

void ShiftLayers(WORKLAYER* layers, bool firstOnly, double dx, double dy)
{
    ForEachLayer(layers, firstOnly, [&](WORKLAYER& layer) {
        ForEachPath(layer, [&](PATHREC& p) {
            p.m_xmin += dx;
            p.m_xmax += dx;
            p.m_ymin += dy;
            p.m_ymax += dy;
            ForEachSegment(p, [&](SEGNODE& s) {
                s.m_x0 += dx;
                s.m_x1 += dx;
                s.m_y0 += dy;
                s.m_y1 += dy;
            });
        });
    });
}

// Mirror flags of an origin conversion: x when exactly one corner counts x
// from the maximum (0, 2), y when exactly one counts y from the maximum
// (2, 3).
int MirrorCode(int from, int to)
{
    auto xFromMax = [](int c) { return c == 0 || c == 2; };
    auto yFromMax = [](int c) { return c == 2 || c == 3; };
    int code = 0;
    if (xFromMax(from) != xFromMax(to))
        code |= 1;
    if (yFromMax(from) != yFromMax(to))
        code |= 2;
    return code;
}

} // namespace

void CFileTrans::RemoveZeroSegments(PATHREC*& paths)
{
    if (paths == nullptr)
        return;
    const bool ring = paths->m_pPrev != nullptr;
    if (ring) {
        paths->m_pPrev->m_pNext = nullptr;
        paths->m_pPrev = nullptr;
    }
    PathRecordBin bin;
    PATHREC* p = paths;
    while (p != nullptr) {
        PATHREC* next = p->m_pNext;
        if (p->m_pSegs != nullptr && p->m_kind != PATH_KIND_DOT) {
            RemoveZeroSegmentsOfPath(*p, bin);
            if (p->m_pSegs == nullptr && p->m_kind != PATH_KIND_GROUP) {
                PATHREC* prev = p->m_pPrev;
                if (prev != nullptr)
                    prev->m_pNext = next;
                else
                    paths = next;
                if (next != nullptr)
                    next->m_pPrev = prev;
                p->m_pPrev = p->m_pNext = nullptr;
                FreePathRecordList(p);
            }
        }
        p = next;
    }
    if (ring && paths != nullptr) {
        PATHREC* last = paths;
        while (last->m_pNext != nullptr)
            last = last->m_pNext;
        last->m_pNext = paths;
        paths->m_pPrev = last;
    }
}

namespace {

// Grows the extents by one object's box; the empty box adds nothing.
void GrowByBox(Extents& e, const CGeoBox& box)
{
    if (box.IsEmpty())
        return;
    e.xmin = std::min(e.xmin, box.m_xmin);
    e.xmax = std::max(e.xmax, box.m_xmax);
    e.ymin = std::min(e.ymin, box.m_ymin);
    e.ymax = std::max(e.ymax, box.m_ymax);
}

// Scaling walk; with `grow`, each top-level object's new box is added as it
// is made, so that a caller needing the joint box does not walk the list again.
void ScaleList(CDocData* objects, double factor, bool firstOnly, DOCCONTEXT* ctx, Extents* grow)
{
    for (CDocData* o = objects; o != nullptr; o = o->m_pNext) {
        const std::uint32_t type = o->GetType();
        CDocData** children = o->ChildList();
        if ((type == MT_GROUP || type == MT_CHAR) && children != nullptr) {
            ScaleList(*children, factor, false, ctx, nullptr);
            CGeoBox box;
            for (CDocData* c = *children; c != nullptr; c = c->m_pNext)
                box.Union(c->m_rcBound);
            o->m_rcBound = box;
        } else {
            for (DOCNODE* n = o->m_pNodes; n != nullptr;) {
                n->m_x /= factor;
                n->m_y /= factor;
                n = n->m_pNext;
                if (n == o->m_pNodes)
                    break;
            }
            o->RecalcBoundRect(ctx);
        }
        if (grow != nullptr)
            GrowByBox(*grow, o->GetBoundRect());
        if (firstOnly)
            break;
    }
}

// The flip from one origin corner to another about the centre of the
// extents of the scaled objects; none for empty extents, as MirrorObjects.
CFileTrans::OriginFlip FlipAbout(const Extents& e, int from, int to)
{
    CFileTrans::OriginFlip flip;
    if (e.IsEmpty())
        return flip;
    const int code = MirrorCode(from, to);
    flip.pending = true;
    flip.cx = (e.xmin + e.xmax) / 2.0;
    flip.cy = (e.ymin + e.ymax) / 2.0;
    flip.horizontal = (code & 1) != 0;
    flip.vertical = (code & 2) != 0;
    return flip;
}

// Mirrors every object about the centre of the extents; nothing for empty ones.
void MirrorObjects(CDocData* objects, int code, const Extents& e, DOCCONTEXT* ctx)
{
    if (e.IsEmpty())
        return;
    const CGeoPoint centre((e.xmin + e.xmax) / 2.0, (e.ymin + e.ymax) / 2.0);
    for (CDocData* o = objects; o != nullptr; o = o->m_pNext)
        o->Flip(centre, (code & 1) != 0, (code & 2) != 0, ctx);
}

} // namespace

void CFileTrans::ScaleObjects(CDocData* objects, double factor, bool firstOnly, DOCCONTEXT* ctx)
{
    if (objects == nullptr || !(factor >= kMinFactor))
        return;
    ScaleList(objects, factor, firstOnly, ctx, nullptr);
}

int CFileTrans::ScaleAndConvertOrigin(CDocData* objects, double factor, int from, int to, DOCCONTEXT* ctx)
{
    const OriginFlip flip = ScaleForOrigin(objects, factor, from, to, ctx);
    if (flip.pending) {
        for (CDocData* o = objects; o != nullptr; o = o->m_pNext)
            flip.Apply(o, ctx);
    }
    return from == to ? 0 : MirrorCode(from, to);
}

CFileTrans::OriginFlip CFileTrans::ScaleForOrigin(CDocData* objects, double factor, int from, int to,
                                                  DOCCONTEXT* ctx)
{
    OriginFlip flip;
    if (objects == nullptr || !(factor >= kMinFactor) || from == to) {
        ScaleObjects(objects, factor, false, ctx);
        ConvertOrigin(objects, from, to, ctx);
        return flip;
    }
    Extents e = kJobSeed;
    ScaleList(objects, factor, false, ctx, &e);
    return FlipAbout(e, from, to);
}

CFileTrans::OriginFlip CFileTrans::ScaleForOrigin(const std::vector<CDocData*>& lines, double factor, int from,
                                                  int to, DOCCONTEXT* ctx)
{
    if (lines.empty() || !(factor >= kMinFactor) || from == to)
        return ScaleForOrigin(lines.empty() ? nullptr : lines.front(), factor, from, to, ctx);
    // Pieces side by side, their extents joined in list order: a minimum
    // keeps the earlier of equal values either way.
    std::vector<Extents> pieces(Pieces(lines.size()), kJobSeed);
    InPieces(lines, [&](std::size_t k, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i)
            ScaleList(lines[i], factor, true, ctx, &pieces[k]);
    });
    Extents e = kJobSeed;
    for (const Extents& piece : pieces)
        e.Add(piece);
    return FlipAbout(e, from, to);
}

void CFileTrans::OriginFlip::Apply(CDocData* object, DOCCONTEXT* ctx) const
{
    if (pending)
        object->Flip(CGeoPoint(cx, cy), horizontal, vertical, ctx);
}

void CFileTrans::ScaleLayers(WORKLAYER* layers, double factor, bool firstOnly)
{
    if (layers == nullptr || !(factor >= kMinFactor))
        return;
    ForEachLayer(layers, firstOnly, [&](WORKLAYER& layer) {
        ForEachPath(layer, [&](PATHREC& p) {
            p.m_xmin /= factor;
            p.m_xmax /= factor;
            p.m_ymin /= factor;
            p.m_ymax /= factor;
            ForEachSegment(p, [&](SEGNODE& s) {
                s.m_x0 /= factor;
                s.m_y0 /= factor;
                s.m_x1 /= factor;
                s.m_y1 /= factor;
            });
            if (p.m_pSegs == nullptr && p.m_kind == PATH_KIND_GROUP && p.m_pArray != nullptr) {
                ARRAYREC& a = *p.m_pArray;
                a.m_dDy /= factor;
                a.m_dDx /= factor;
                a.m_dAreaW /= factor;
                a.m_dAreaH /= factor;
            }
        });
    });
}

PATHREC* CFileTrans::GetGroupBoundRect(PATHREC* bracket, double& xmin, double& xmax, double& ymin, double& ymax,
                                       bool withArrays)
{
    return ::GetGroupBoundRect(bracket, xmin, xmax, ymin, ymax, withArrays);
}

bool CFileTrans::GetPathBoundRect(PATHREC* paths, double& xmin, double& xmax, double& ymin, double& ymax,
                                  bool withArrays)
{
    if (paths == nullptr)
        return false;
    for (PATHREC* p = paths; p != nullptr;) {
        if (IsOpeningBracket(*p)) {
            PATHREC* closing = GetGroupBoundRect(p, xmin, xmax, ymin, ymax, withArrays);
            if (WalkPassesFirst(p, closing, paths))
                break;
            p = closing;
        } else {
            ForEachSegment(*p, [&](SEGNODE& s) {
                xmin = std::min({xmin, s.m_x0, s.m_x1});
                xmax = std::max({xmax, s.m_x0, s.m_x1});
                ymin = std::min({ymin, s.m_y0, s.m_y1});
                ymax = std::max({ymax, s.m_y0, s.m_y1});
            });
        }
        p = p->m_pNext;
        if (p == paths)
            break;
    }
    return true;
}

bool CFileTrans::GetObjectsBoundRect(CDocData* objects, double& xmin, double& xmax, double& ymin, double& ymax)
{
    if (objects == nullptr)
        return false;
    Extents e{xmin, xmax, ymin, ymax};
    for (CDocData* o = objects; o != nullptr; o = o->m_pNext)
        GrowByBox(e, o->GetBoundRect());
    xmin = e.xmin;
    xmax = e.xmax;
    ymin = e.ymin;
    ymax = e.ymax;
    return true;
}

bool CFileTrans::GetLayersBoundRect(WORKLAYER* layers, double& xmin, double& xmax, double& ymin, double& ymax,
                                    bool withArrays)
{
    xmin = ymin = kBoxSeedMin;
    xmax = ymax = kBoxSeedMax;
    if (layers == nullptr)
        return false;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        GetPathBoundRect(layer.m_paths, xmin, xmax, ymin, ymax, withArrays);
    });
    return true;
}

namespace {

// The extents and closed flag of a path with segments, in one walk: jobs
// hold millions of segments, and each walk waits on memory.
Extents RecalcPath(PATHREC& p)
{
    Extents e = kPathSeed;
    const SEGNODE* first = p.m_pSegs;
    const SEGNODE* last = first;
    for (const SEGNODE* s = first; s != nullptr; s = s->m_pNext == first ? nullptr : s->m_pNext) {
        e.Add(s->m_x0, s->m_y0);
        e.Add(s->m_x1, s->m_y1);
        last = s;
    }
    StoreExtents(p, e);
    p.m_closed =
        std::fabs(last->m_x1 - first->m_x0) <= kClosedTol && std::fabs(last->m_y1 - first->m_y0) <= kClosedTol ? 1 : 0;
    return e;
}

void GatherPaths(WORKLAYER& layer, std::vector<PATHREC*>& paths)
{
    paths.clear();
    ForEachPath(layer, [&](PATHREC& p) { paths.push_back(&p); });
}

// The paths marked `mark` taken out of the layer's list (`paths`, in list
// order) and freed; a ring stays a ring.
void DropPaths(WORKLAYER& layer, const std::vector<PATHREC*>& paths, const std::vector<std::uint8_t>& marks,
               std::uint8_t mark)
{
    const bool ring = layer.m_paths != nullptr && layer.m_paths->m_pPrev != nullptr;
    std::vector<plat::PathUnit> kept;
    kept.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        PATHREC* p = paths[i];
        if (marks[i] != mark) {
            kept.push_back({p, p});
            continue;
        }
        p->m_pPrev = p->m_pNext = nullptr;
        FreePathRecordList(p);
    }
    layer.m_paths = plat::LinkUnits(kept, ring);
}

// The walk of RecalcPathBoundRects over one layer; `then` gets each path
// once its own extents and flag are stored (a bracket's extents come with
// its closing bracket), so that later steps on the same path share the
// walk, with a bin for the records it frees (one per piece of paths, not
// one per path). A path's own work reads and changes that path alone, so
// the paths of a layer go in pieces side by side (`then` too); the brackets
// follow in list order, from the extents their members stored. `then`
// returns true for a path it left without segments that is to go: such
// paths leave their layer after the layer's walk, so brackets still count
// the extents they had.
template <typename Then>
void RecalcLayerBounds(WORKLAYER& layer, Then& then)
{
    struct OpenGroup {
        PATHREC* bracket;
        Extents extents;
    };
    std::vector<OpenGroup> open;
    // A finished group's union goes into its brackets and counts for the
    // group around it.
    auto closeGroup = [&](PATHREC* closing) {
        const OpenGroup done = open.back();
        open.pop_back();
        StoreExtents(*done.bracket, done.extents);
        if (closing != nullptr)
            StoreExtents(*closing, done.extents);
        if (!open.empty())
            open.back().extents.Add(done.extents);
    };

    // Per path: kNoSegments, kSegments, or kGoing (it had segments).
    constexpr std::uint8_t kNoSegments = 0, kSegments = 1, kGoing = 2;
    std::vector<PATHREC*> paths;
    GatherPaths(layer, paths);
    std::vector<std::uint8_t> state(paths.size());
    bool brackets = false;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        state[i] = paths[i]->m_pSegs != nullptr ? kSegments : kNoSegments;
        brackets = brackets || state[i] == kNoSegments;
    }
    InPieces(paths, [&](std::size_t, std::size_t begin, std::size_t end) {
        PathRecordBin bin;
        for (std::size_t i = begin; i < end; ++i) {
            if (state[i] == kSegments) {
                RecalcPath(*paths[i]);
                if (then(layer, *paths[i], bin))
                    state[i] = kGoing;
            }
        }
    });
    if (brackets) {
        PathRecordBin bin;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            PATHREC& p = *paths[i];
            if (state[i] != kNoSegments) {
                if (!open.empty())
                    open.back().extents.Add(Extents{p.m_xmin, p.m_xmax, p.m_ymin, p.m_ymax});
                continue;
            }
            p.m_closed = 0;
            if (IsOpeningBracket(p)) {
                open.push_back({&p, kPathSeed});
            } else if (p.m_kind == PATH_KIND_GROUP && !open.empty()) {
                closeGroup(&p);
            } else {
                StoreExtents(p, kPathSeed);
            }
            then(layer, p, bin);
        }
        // Groups never span layers: a bracket left open ends with its layer.
        while (!open.empty())
            closeGroup(nullptr);
    }
    if (std::find(state.begin(), state.end(), kGoing) != state.end())
        DropPaths(layer, paths, state, kGoing);
}

// RecalcLayerBounds on every layer. A layer's walk touches only its own
// paths, and reading a layer's list waits on memory at every path: the
// layers go side by side.
template <typename Then>
void RecalcBounds(WORKLAYER* layers, Then then)
{
    std::vector<WORKLAYER*> all;
    ForEachLayer(layers, false, [&all](WORKLAYER& layer) { all.push_back(&layer); });
    plat::ParallelFor(all.size(), [&all, &then](std::size_t k) { RecalcLayerBounds(*all[k], then); });
}

void CloseSegmentRing(PATHREC& p)
{
    SEGNODE* first = p.m_pSegs;
    if (first == nullptr || first->m_pPrev != nullptr)
        return;
    SEGNODE* last = first;
    while (last->m_pNext != nullptr && last->m_pNext != first)
        last = last->m_pNext;
    last->m_pNext = first;
    first->m_pPrev = last;
}

} // namespace

void CFileTrans::RecalcPathBoundRects(WORKLAYER* layers)
{
    RecalcBounds(layers, [](WORKLAYER&, PATHREC&, PathRecordBin&) { return false; });
}

void CFileTrans::RecalcPathBoundRects(WORKLAYER* layers, std::uint32_t zeroModes)
{
    RecalcBounds(layers, [zeroModes](WORKLAYER& layer, PATHREC& p, PathRecordBin& bin) {
        if ((layer.m_mode & zeroModes) == 0 || p.m_kind == PATH_KIND_DOT || p.m_pSegs == nullptr)
            return false;
        RemoveZeroSegmentsOfPath(p, bin);
        return p.m_pSegs == nullptr && p.m_kind != PATH_KIND_GROUP;
    });
}

void CFileTrans::CloseRings(WORKLAYER* layers)
{
    ForEachLayer(layers, false, [](WORKLAYER& layer) { ForEachPath(layer, [](PATHREC& p) { CloseSegmentRing(p); }); });
}

void CFileTrans::MergeAndCloseRings(WORKLAYER* layers, double mergeLength, double mergeAngle, bool recalc)
{
    // Each step reads and changes one path only, so the order per path is
    // that of the separate walks.
    auto finish = [&](WORKLAYER& layer, PATHREC& p, PathRecordBin& bin) {
        if (layer.m_mode == kMergedLayerMode)
            CPathProc::MergeShortSegmentsInPath(&p, mergeLength, mergeAngle, bin);
        CloseSegmentRing(p);
        return false;
    };
    if (recalc) {
        RecalcBounds(layers, finish);
    } else {
        PathRecordBin bin;
        ForEachLayer(layers, false,
                     [&](WORKLAYER& layer) { ForEachPath(layer, [&](PATHREC& p) { finish(layer, p, bin); }); });
    }
}

void CFileTrans::RecalcHeaderBoundRect(WORKHEAD* header)
{
    if (header == nullptr || header->m_layers == nullptr)
        return;
    Extents e = kJobSeed;
    ForEachLayer(header->m_layers, false, [&](WORKLAYER& layer) {
        ForEachPath(layer, [&](PATHREC& p) {
            e.Add(Extents{p.m_xmin, p.m_xmax, p.m_ymin, p.m_ymax});
        });
    });
    header->m_minX = e.xmin;
    header->m_maxX = e.xmax;
    header->m_minY = e.ymin;
    header->m_maxY = e.ymax;
    if (header->m_banded != 0)
        header->m_pitchY = header->m_maxY - header->m_minY;
}

int CFileTrans::ConvertOrigin(CDocData* objects, int from, int to, DOCCONTEXT* ctx)
{
    if (from == to)
        return 0;
    const int code = MirrorCode(from, to);
    Extents e = kJobSeed;
    if (GetObjectsBoundRect(objects, e.xmin, e.xmax, e.ymin, e.ymax))
        MirrorObjects(objects, code, e, ctx);
    return code;
}

int CFileTrans::ConvertLayersOrigin(WORKLAYER* layers, int from, int to)
{
    if (from == to)
        return 0;
    const int code = MirrorCode(from, to);
    Extents e = kJobSeed;
    if (!GetLayersBoundRect(layers, e.xmin, e.xmax, e.ymin, e.ymax, false) || e.IsEmpty())
        return code;
    const double sx = e.xmin + e.xmax;
    const double sy = e.ymin + e.ymax;
    const bool mx = (code & 1) != 0;
    const bool my = (code & 2) != 0;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        ForEachPath(layer, [&](PATHREC& p) {
            if (mx) {
                const double lo = sx - p.m_xmax;
                p.m_xmax = sx - p.m_xmin;
                p.m_xmin = lo;
            }
            if (my) {
                const double lo = sy - p.m_ymax;
                p.m_ymax = sy - p.m_ymin;
                p.m_ymin = lo;
            }
            if (p.m_kind == PATH_KIND_GROUP)
                return;
            ForEachSegment(p, [&](SEGNODE& s) {
                if (mx) {
                    s.m_x0 = sx - s.m_x0;
                    s.m_x1 = sx - s.m_x1;
                }
                if (my) {
                    s.m_y0 = sy - s.m_y0;
                    s.m_y1 = sy - s.m_y1;
                }
            });
        });
    });
    return code;
}

namespace {

// One axis of a placement: moved so that its minimum lies at 0, divided by
// the factor, mirrored about the centre of its extents, moved to the
// anchor; the same operations in the same order as the separate steps.
struct AxisPlacement {
    double toZero = 0.0;
    double factor = 1.0;
    bool scale = false;
    bool mirror = false;
    double sum = 0.0;
    double anchor = 0.0;

    double Moved(double v) const
    {
        v += toZero;
        return scale ? v / factor : v;
    }
    double Placed(double v, bool mirrored, bool anchored) const
    {
        v = Moved(v);
        if (mirrored)
            v = sum - v;
        return anchored ? v + anchor : v;
    }
    // A path's extents: a mirror swaps its ends.
    void Place(double& lo, double& hi, bool anchored) const
    {
        lo = Moved(lo);
        hi = Moved(hi);
        if (mirror) {
            const double low = sum - hi;
            hi = sum - lo;
            lo = low;
        }
        if (anchored) {
            lo += anchor;
            hi += anchor;
        }
    }
};

// Extents that the box seeds of the separate steps would not have cut.
bool WithinSeeds(const Extents& e)
{
    return e.xmin <= kBoxSeedMin && e.xmax >= kBoxSeedMax && e.ymin <= kBoxSeedMin && e.ymax >= kBoxSeedMax;
}

} // namespace

bool CFileTrans::PlaceInOneWalk(WORKLAYER* layers, double factor, int corner, int point, Bounds* placed)
{
    if (layers == nullptr)
        return false;
    // The extents of the segments, as every step would measure them: the
    // rounding of each operation keeps the order of the numbers, so the
    // moved extents are those the steps measure again.
    // Measured in pieces of paths side by side, joined in list order: a
    // minimum keeps the earlier of equal values either way.
    constexpr Extents kNoExtents{HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL};
    Extents e = kNoExtents;
    bool plain = true;
    std::vector<WORKLAYER*> all;
    ForEachLayer(layers, false, [&all](WORKLAYER& layer) { all.push_back(&layer); });
    std::vector<std::vector<PATHREC*>> layerPaths(all.size());
    plat::ParallelFor(all.size(), [&](std::size_t k) { GatherPaths(*all[k], layerPaths[k]); });
    for (const std::vector<PATHREC*>& paths : layerPaths) {
        std::vector<Extents> pieceExtents(Pieces(paths.size()), kNoExtents);
        std::vector<std::uint8_t> piecePlain(Pieces(paths.size()), 1);
        InPieces(paths, [&](std::size_t k, std::size_t begin, std::size_t end) {
            Extents pe = kNoExtents;
            bool pp = true;
            for (std::size_t i = begin; i < end; ++i) {
                PATHREC& p = *paths[i];
                pp = pp && p.m_pArray == nullptr && (p.m_kind != PATH_KIND_GROUP || p.m_pSegs == nullptr);
                ForEachSegment(p, [&](SEGNODE& s) {
                    pp = pp && std::isfinite(s.m_x0) && std::isfinite(s.m_y0) && std::isfinite(s.m_x1) &&
                         std::isfinite(s.m_y1);
                    pe.Add(s.m_x0, s.m_y0);
                    pe.Add(s.m_x1, s.m_y1);
                });
            }
            pieceExtents[k] = pe;
            piecePlain[k] = pp ? 1 : 0;
        });
        for (std::size_t k = 0; k < pieceExtents.size(); ++k) {
            e.Add(pieceExtents[k]);
            plain = plain && piecePlain[k] != 0;
        }
    }
    if (!plain || e.IsEmpty() || !WithinSeeds(e))
        return false;

    AxisPlacement x, y;
    x.toZero = 0.0 - e.xmin;
    y.toZero = 0.0 - e.ymin;
    x.factor = y.factor = factor;
    x.scale = y.scale = factor >= kMinFactor;
    Extents scaled{x.Moved(e.xmin), x.Moved(e.xmax), y.Moved(e.ymin), y.Moved(e.ymax)};
    if (!WithinSeeds(scaled))
        return false;
    const int code = corner == 1 ? 0 : MirrorCode(1, corner);
    x.mirror = (code & 1) != 0;
    y.mirror = (code & 2) != 0;
    x.sum = scaled.xmin + scaled.xmax;
    y.sum = scaled.ymin + scaled.ymax;
    Extents turned = scaled;
    if (x.mirror)
        turned = Extents{x.sum - scaled.xmax, x.sum - scaled.xmin, turned.ymin, turned.ymax};
    if (y.mirror)
        turned = Extents{turned.xmin, turned.xmax, y.sum - scaled.ymax, y.sum - scaled.ymin};
    if (!WithinSeeds(turned))
        return false;
    double ax = 0.0, ay = 0.0;
    AnchorPoint(corner, point, turned.xmin, turned.xmax, turned.ymin, turned.ymax, ax, ay);
    x.anchor = -ax;
    y.anchor = -ay;
    const bool anchored = !(std::fabs(x.anchor) < kNoMoveTol && std::fabs(y.anchor) < kNoMoveTol);
    if (placed != nullptr) {
        // Every operation keeps the order of the numbers: the placed
        // extremes are those of the extents.
        Extents p = e;
        x.Place(p.xmin, p.xmax, anchored);
        y.Place(p.ymin, p.ymax, anchored);
        *placed = {p.xmin, p.xmax, p.ymin, p.ymax};
    }

    // Each path is placed on its own: side by side.
    for (const std::vector<PATHREC*>& paths : layerPaths) {
        InPieces(paths, [&](std::size_t, std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                PATHREC& p = *paths[i];
                x.Place(p.m_xmin, p.m_xmax, anchored);
                y.Place(p.m_ymin, p.m_ymax, anchored);
                // A group record's segments, if it had any, are not mirrored.
                const bool mx = x.mirror && p.m_kind != PATH_KIND_GROUP;
                const bool my = y.mirror && p.m_kind != PATH_KIND_GROUP;
                ForEachSegment(p, [&](SEGNODE& s) {
                    s.m_x0 = x.Placed(s.m_x0, mx, anchored);
                    s.m_x1 = x.Placed(s.m_x1, mx, anchored);
                    s.m_y0 = y.Placed(s.m_y0, my, anchored);
                    s.m_y1 = y.Placed(s.m_y1, my, anchored);
                });
            }
        });
    }
    return true;
}

void CFileTrans::AnchorPoint(int corner, int point, double xmin, double xmax, double ymin, double ymax, double& x,
                             double& y)
{
    x = xmin;
    y = ymin;
    if (corner >= 0 && corner <= 3 && point >= 0 && point <= 8) {
        // 0 the side the corner counts from, 1 the middle, 2 the far side.
        auto pick = [](int k, double lo, double hi, bool fromMax) {
            if (k == 1)
                return (lo + hi) / 2.0;
            return (k == 2) != fromMax ? hi : lo;
        };
        x = pick(point % 3, xmin, xmax, corner == 0 || corner == 2);
        y = pick(point / 3, ymin, ymax, corner == 2 || corner == 3);
    }
}

bool CFileTrans::OffsetLayers(WORKLAYER* layers, double dx, double dy, bool absolute, bool firstOnly)
{
    if (layers == nullptr)
        return false;
    if (absolute) {
        if (std::fabs(dx) < kNoMoveTol && std::fabs(dy) < kNoMoveTol)
            return false;
        ShiftLayers(layers, firstOnly, dx, dy);
        return true;
    }
    // The extents of the layers that move, arrays included.
    Extents e = kJobSeed;
    ForEachLayer(layers, firstOnly, [&](WORKLAYER& layer) {
        GetPathBoundRect(layer.m_paths, e.xmin, e.xmax, e.ymin, e.ymax, true);
    });
    if (!e.IsEmpty())
        ShiftLayers(layers, firstOnly, dx - e.xmin, dy - e.ymin);
    return true;
}
