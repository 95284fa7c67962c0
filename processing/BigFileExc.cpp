// The banding's job side: a job's paths cut at the band lines into bands,
// the rows of an arrayed group made real copies where a line would cut
// them, each band's group brackets removed (those repeating their members
// as an array stay), and every band's layers moved onto its line and
// stacked in working order. The document side, the containment grouping,
// is in BigFileExcGroups.cpp.
#include "BigFileExc.h"
#include "BigFileExcBox.h"

#include "FileTrans.h"
#include "JobRecords.h"
#include "PathUnits.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/PathRecord.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

using plat::banding::Box;
using plat::banding::kInf;

namespace {

constexpr double kMinBandLength = 0.001;
constexpr double kMeetTol = 1e-5;   // cut pieces whose ends lie closer belong together
constexpr double kClosedTol = 0.001;
constexpr double kMinStackGap = 0.001;
constexpr double kNoShift = 1e-7;
// Deeper nesting of group brackets is taken as a broken chain.
constexpr int kMaxGroupDepth = 256;
// An empty band moves the line on by one band length; with a margin of 0 a
// path may start exactly on the line and need two such moves. Beyond this
// many steps the job is refused, whatever its coordinates do.
constexpr std::uint64_t kMaxBandSteps = 4ull * kMaxBands + 4;

// ---- Job side ------------------------------------------------------------

bool IsOpening(const PATHREC* p)
{
    return p->m_kind == PATH_KIND_GROUP && p->m_pArray != nullptr;
}

bool Repeats(const PATHREC* p)
{
    return p->m_pArray->m_nRows > 1 || p->m_pArray->m_nCols > 1;
}

// Widens one axis of a group's box by its array copies: a positive pitch
// stretches the upper bound, any other the lower one, as the group bounds of
// the path records do.
void WidenByCopies(double& lo, double& hi, double runLo, double runHi, int count, double pitch)
{
    const double extent = std::max(count - 1, 0) * pitch;
    if (pitch > 0.0) {
        lo = std::min(lo, runLo);
        hi = std::max(hi, runHi + extent);
    } else {
        lo = std::min(lo, runLo + extent);
        hi = std::max(hi, runHi);
    }
}

// The group bounds with the array copies, taken from the members' stored
// extents instead of every segment: the banding measures what remains of
// the job once per band, and the extents are kept up to date throughout
// it. Returns the closing bracket, or the last path looked at.
const PATHREC* StoredGroupBox(const PATHREC* open, const PATHREC* stop, int depth, Box& out)
{
    Box run;
    const PATHREC* last = open;
    for (const PATHREC* rec = open->m_pNext; rec != nullptr && rec != stop; rec = rec->m_pNext) {
        if (rec->m_kind != PATH_KIND_GROUP) {
            if (rec->m_pSegs != nullptr) {
                run.Add(rec->m_xmin, rec->m_ymin);
                run.Add(rec->m_xmax, rec->m_ymax);
            }
        } else if (rec->m_pArray != nullptr) {
            if (depth >= kMaxGroupDepth)
                break;
            rec = StoredGroupBox(rec, stop, depth + 1, run);
        } else {
            last = rec; // the closing bracket
            break;
        }
        last = rec;
    }
    const ARRAYREC* a = open->m_pArray;
    WidenByCopies(out.ymin, out.ymax, run.ymin, run.ymax, a->m_nRows, a->m_dDy);
    WidenByCopies(out.xmin, out.xmax, run.xmin, run.xmax, a->m_nCols, a->m_dDx);
    return last;
}

// Extents of a unit: a path's stored extents, a group's over its members
// with its array copies.
Box UnitBox(const plat::PathUnit& u)
{
    Box b;
    if (IsOpening(u.first)) {
        StoredGroupBox(u.first, u.first, 0, b);
    } else if (u.first->m_kind != PATH_KIND_GROUP && u.first->m_pSegs != nullptr) {
        b.Add(u.first->m_xmin, u.first->m_ymin);
        b.Add(u.first->m_xmax, u.first->m_ymax);
    }
    return b;
}

// Extents of the layers' paths (arrays included) from their stored extents.
Box LayersBox(WORKLAYER* layers)
{
    Box b;
    ForEachLayer(layers, false, [&](WORKLAYER& layer) {
        const PATHREC* head = layer.m_paths;
        for (const PATHREC* p = head; p != nullptr;) {
            if (IsOpening(p)) {
                p = StoredGroupBox(p, head, 0, b);
            } else if (p->m_kind != PATH_KIND_GROUP && p->m_pSegs != nullptr) {
                b.Add(p->m_xmin, p->m_ymin);
                b.Add(p->m_xmax, p->m_ymax);
            }
            p = p->m_pNext;
            if (p == head)
                break;
        }
    });
    return b;
}

std::vector<WORKLAYER*> DetachLayers(WORKLAYER*& head)
{
    std::vector<WORKLAYER*> out;
    ForEachLayer(head, false, [&](WORKLAYER& l) { out.push_back(&l); });
    for (WORKLAYER* l : out)
        l->m_prev = l->m_next = nullptr;
    head = nullptr;
    return out;
}

WORKLAYER* LinkLayerRing(const std::vector<WORKLAYER*>& layers)
{
    if (layers.empty())
        return nullptr;
    const std::size_t n = layers.size();
    for (std::size_t i = 0; i < n; ++i) {
        layers[i]->m_next = layers[(i + 1) % n];
        layers[i]->m_prev = layers[(i + n - 1) % n];
    }
    return layers.front();
}

void StoreBox(PATHREC* p, const Box& b)
{
    p->m_xmin = b.xmin;
    p->m_xmax = b.xmax;
    p->m_ymin = b.ymin;
    p->m_ymax = b.ymax;
}

// A path of the segments in order, linked into a ring, with its extents and
// closed flag; kind and sub-kind from the path they were cut from.
PATHREC* PathOfSegments(const std::vector<SEGNODE*>& segs, std::size_t from, std::size_t count,
                        const PATHREC& proto)
{
    auto* p = new PATHREC;
    p->m_kind = proto.m_kind;
    p->m_subkind = proto.m_subkind;
    p->m_zmin = proto.m_zmin;
    p->m_zmax = proto.m_zmax;
    Box b;
    const std::size_t n = segs.size();
    for (std::size_t k = 0; k < count; ++k) {
        SEGNODE* s = segs[(from + k) % n];
        SEGNODE* next = segs[(from + (k + 1) % count) % n];
        s->m_pNext = next;
        next->m_pPrev = s;
        b.Add(s->m_x0, s->m_y0);
        b.Add(s->m_x1, s->m_y1);
    }
    SEGNODE* first = segs[from % n];
    SEGNODE* last = segs[(from + count - 1) % n];
    p->m_pSegs = first;
    StoreBox(p, b);
    p->m_closed = std::fabs(last->m_x1 - first->m_x0) <= kClosedTol && std::fabs(last->m_y1 - first->m_y0) <= kClosedTol
                      ? 1
                      : 0;
    return p;
}

bool Meet(const SEGNODE* a, const SEGNODE* b)
{
    return std::fabs(a->m_x1 - b->m_x0) <= kMeetTol && std::fabs(a->m_y1 - b->m_y0) <= kMeetTol;
}

// The segments in order as paths, divided where consecutive segments do not
// meet. The run that ends the list joins the one that begins it when they
// meet, as they did in the ring the segments came from.
void AppendRuns(const std::vector<SEGNODE*>& segs, const PATHREC& proto, std::vector<plat::PathUnit>& out)
{
    const std::size_t n = segs.size();
    if (n == 0)
        return;
    std::size_t start = 0;
    bool anyBreak = false;
    for (std::size_t k = 0; k + 1 < n; ++k) {
        if (!Meet(segs[k], segs[k + 1])) {
            anyBreak = true;
            if (Meet(segs[n - 1], segs[0]))
                start = k + 1;
            break;
        }
    }
    if (!anyBreak) {
        PATHREC* p = PathOfSegments(segs, 0, n, proto);
        out.push_back({p, p});
        return;
    }
    std::size_t runStart = start;
    std::size_t runLength = 1;
    for (std::size_t k = 1; k < n; ++k) {
        const std::size_t at = (start + k) % n;
        const std::size_t before = (start + k - 1) % n;
        if (Meet(segs[before], segs[at])) {
            ++runLength;
            continue;
        }
        PATHREC* p = PathOfSegments(segs, runStart, runLength, proto);
        out.push_back({p, p});
        runStart = at;
        runLength = 1;
    }
    PATHREC* p = PathOfSegments(segs, runStart, runLength, proto);
    out.push_back({p, p});
}

// Cuts one path at y = lo and y = hi: the pieces within [lo, hi] go to
// `inside`, the others to `outside`, each divided into paths where they do
// not meet. A segment reaching across a limit is divided there, x (and z and
// the grey levels) taken along it. The path record itself is freed.
void CutPath(PATHREC* path, double lo, double hi, std::vector<plat::PathUnit>& inside,
             std::vector<plat::PathUnit>& outside)
{
    std::vector<SEGNODE*> segs;
    ForEachSegment(*path, [&](SEGNODE& s) { segs.push_back(&s); });
    std::vector<SEGNODE*> in;
    std::vector<SEGNODE*> out;
    struct Cut {
        double t;
        double y;
    };
    for (SEGNODE* s : segs) {
        s->m_pPrev = s->m_pNext = nullptr;
        const SEGNODE whole = *s;
        Cut cuts[2];
        int count = 0;
        if (whole.m_y0 != whole.m_y1) {
            for (double limit : {lo, hi}) {
                const double t = (limit - whole.m_y0) / (whole.m_y1 - whole.m_y0);
                if (t > 0.0 && t < 1.0)
                    cuts[count++] = {t, limit};
            }
        }
        if (count == 2 && cuts[1].t < cuts[0].t)
            std::swap(cuts[0], cuts[1]);
        auto setStart = [&](SEGNODE& piece, const Cut& c) {
            piece.m_x0 = whole.m_x0 + c.t * (whole.m_x1 - whole.m_x0);
            piece.m_y0 = c.y;
            piece.m_z0 = whole.m_z0 + c.t * (whole.m_z1 - whole.m_z0);
            piece.m_nGrey0 = static_cast<std::uint16_t>(
                std::lround(whole.m_nGrey0 + c.t * (static_cast<double>(whole.m_nGrey1) - whole.m_nGrey0)));
        };
        auto setEnd = [&](SEGNODE& piece, const Cut& c) {
            piece.m_x1 = whole.m_x0 + c.t * (whole.m_x1 - whole.m_x0);
            piece.m_y1 = c.y;
            piece.m_z1 = whole.m_z0 + c.t * (whole.m_z1 - whole.m_z0);
            piece.m_nGrey1 = static_cast<std::uint16_t>(
                std::lround(whole.m_nGrey0 + c.t * (static_cast<double>(whole.m_nGrey1) - whole.m_nGrey0)));
        };
        // The first piece keeps the segment record, the others are new; the
        // cut points lie on the limits exactly.
        SEGNODE* piece = s;
        for (int k = 0; k <= count; ++k) {
            if (k > 0) {
                piece = new SEGNODE(whole);
                piece->m_pPrev = piece->m_pNext = nullptr;
                setStart(*piece, cuts[k - 1]);
            }
            if (k < count) {
                setEnd(*piece, cuts[k]);
            } else if (k > 0) {
                piece->m_x1 = whole.m_x1;
                piece->m_y1 = whole.m_y1;
                piece->m_z1 = whole.m_z1;
                piece->m_nGrey1 = whole.m_nGrey1;
            }
            const double mid = (piece->m_y0 + piece->m_y1) / 2.0;
            (mid >= lo && mid <= hi ? in : out).push_back(piece);
        }
    }
    path->m_pSegs = nullptr;
    AppendRuns(in, *path, inside);
    AppendRuns(out, *path, outside);
    path->m_pPrev = path->m_pNext = nullptr;
    delete path;
}

std::size_t CountSegments(const PATHREC* first)
{
    std::size_t n = 0;
    for (const PATHREC* p = first; p != nullptr; p = p->m_pNext) {
        for (const SEGNODE* s = p->m_pSegs; s != nullptr;) {
            ++n;
            s = s->m_pNext;
            if (s == p->m_pSegs)
                break;
        }
    }
    return n;
}

// Copy of the paths from `first` to `last` of a chain, array records
// included, moved by dy.
PATHREC* CopyChain(const PATHREC* first, const PATHREC* last, double dy)
{
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    for (const PATHREC* p = first; p != nullptr; p = p == last ? nullptr : p->m_pNext) {
        auto* c = new PATHREC(*p);
        c->m_pPrev = c->m_pNext = nullptr;
        c->m_pSegs = CopySegmentRing(p->m_pSegs);
        c->m_pArray = p->m_pArray != nullptr ? new ARRAYREC(*p->m_pArray) : nullptr;
        c->m_ymin += dy;
        c->m_ymax += dy;
        ForEachSegment(*c, [&](SEGNODE& s) {
            s.m_y0 += dy;
            s.m_y1 += dy;
        });
        AppendPathRecord(&head, &tail, c);
    }
    return head;
}

PATHREC* LastOf(PATHREC* first)
{
    while (first != nullptr && first->m_pNext != nullptr)
        first = first->m_pNext;
    return first;
}

struct CutState {
    double lo;
    double hi;
    std::size_t budget;
    bool refused = false;
};

void CutUnit(const plat::PathUnit& u, CutState& cut, std::vector<plat::PathUnit>& inside,
             std::vector<plat::PathUnit>& outside);

// Brackets round a chain of members as one unit, the group bounds (with the
// array copies) written into both brackets.
plat::PathUnit Enclose(PATHREC* open, PATHREC* members, PATHREC* close)
{
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    open->m_pPrev = open->m_pNext = nullptr;
    AppendPathRecord(&head, &tail, open);
    if (members != nullptr)
        AppendPathRecord(&head, &tail, members);
    if (close != nullptr) {
        close->m_pPrev = close->m_pNext = nullptr;
        AppendPathRecord(&head, &tail, close);
    }
    Box b;
    ::GetGroupBoundRect(open, b.xmin, b.xmax, b.ymin, b.ymax, true);
    StoreBox(open, b);
    if (close != nullptr)
        StoreBox(close, b);
    return {head, tail};
}

// Cuts a group: its rows of copies become real members first (the array
// keeps one row and its columns), then the members inside the range, and
// the pieces inside of those reaching across it, go to a new group with a
// copy of the opening bracket and of its array record.
void CutGroup(const plat::PathUnit& u, CutState& cut, std::vector<plat::PathUnit>& inside,
              std::vector<plat::PathUnit>& outside)
{
    PATHREC* open = u.first;
    PATHREC* close = u.last != open && u.last->m_kind == PATH_KIND_GROUP && u.last->m_pArray == nullptr ? u.last
                                                                                                         : nullptr;
    PATHREC* members = open->m_pNext != close ? open->m_pNext : nullptr;
    // Detach the members from both brackets.
    if (members != nullptr) {
        members->m_pPrev = nullptr;
        if (close != nullptr)
            close->m_pPrev->m_pNext = nullptr;
    }
    open->m_pNext = nullptr;
    if (close != nullptr)
        close->m_pPrev = close->m_pNext = nullptr;

    ARRAYREC& array = *open->m_pArray;
    if (array.m_nRows > 1 && members != nullptr) {
        const std::size_t add = CountSegments(members) * (static_cast<std::size_t>(array.m_nRows) - 1);
        if (add > cut.budget) {
            cut.refused = true;
            outside.push_back(Enclose(open, members, close));
            return;
        }
        cut.budget -= add;
        PATHREC* const last = LastOf(members);
        PATHREC* tail = last;
        for (int r = 1; r < array.m_nRows; ++r) {
            PATHREC* head = members;
            AppendPathRecord(&head, &tail, CopyChain(members, last, r * array.m_dDy));
        }
        array.m_nRows = 1;
    }

    bool ring = false;
    std::vector<plat::PathUnit> units = plat::TakeUnits(members, ring);
    std::vector<plat::PathUnit> in;
    std::vector<plat::PathUnit> out;
    for (const plat::PathUnit& m : units) {
        const Box b = UnitBox(m);
        if (!(b.ymin < cut.lo) && !(b.ymax > cut.hi))
            in.push_back(m);
        else if (b.ymax < cut.lo || b.ymin > cut.hi)
            out.push_back(m);
        else
            CutUnit(m, cut, in, out);
    }
    if (!in.empty()) {
        auto* newOpen = new PATHREC(*open);
        newOpen->m_pPrev = newOpen->m_pNext = nullptr;
        newOpen->m_pArray = new ARRAYREC(*open->m_pArray);
        auto* newClose = new PATHREC;
        newClose->m_kind = PATH_KIND_GROUP;
        newClose->m_subkind = close != nullptr ? close->m_subkind : open->m_subkind;
        inside.push_back(Enclose(newOpen, plat::LinkUnits(in, false), newClose));
    }
    if (!out.empty()) {
        outside.push_back(Enclose(open, plat::LinkUnits(out, false), close));
    } else {
        FreePathRecordList(open);
        FreePathRecordList(close);
    }
}

void CutUnit(const plat::PathUnit& u, CutState& cut, std::vector<plat::PathUnit>& inside,
             std::vector<plat::PathUnit>& outside)
{
    if (IsOpening(u.first))
        CutGroup(u, cut, inside, outside);
    else if (u.first == u.last && u.first->m_kind != PATH_KIND_GROUP && u.first->m_pSegs != nullptr)
        CutPath(u.first, cut.lo, cut.hi, inside, outside);
    else
        outside.push_back(u);
}

WORKLAYER* TakeBandWithin(WORKLAYER*& layers, double line, double length, bool down, double margin,
                          std::size_t& budget, bool& refused)
{
    refused = false;
    CutState cut{down ? line - length - margin : line - margin, down ? line + margin : line + length + margin,
                 budget};
    std::vector<WORKLAYER*> band;
    std::vector<WORKLAYER*> remaining;
    for (WORKLAYER* layer : DetachLayers(layers)) {
        bool ring = false;
        std::vector<plat::PathUnit> units = plat::TakeUnits(layer->m_paths, ring);
        std::vector<plat::PathUnit> taken;
        std::vector<plat::PathUnit> kept;
        for (const plat::PathUnit& u : units) {
            const Box b = UnitBox(u);
            const bool whole = down ? b.ymin > line - length - margin : b.ymax < line + length + margin;
            const bool crossing = down ? b.ymax > line - margin && b.ymin < line - length
                                       : b.ymin < line + margin && b.ymax > line + length;
            if (whole)
                taken.push_back(u);
            else if (crossing)
                CutUnit(u, cut, taken, kept);
            else
                kept.push_back(u);
        }
        layer->m_paths = plat::LinkUnits(kept, ring);
        if (!taken.empty()) {
            auto* copy = new WORKLAYER(*layer);
            copy->m_paths = plat::LinkUnits(taken, true);
            copy->m_prev = copy->m_next = nullptr;
            band.push_back(copy);
        }
        if (layer->m_paths != nullptr)
            remaining.push_back(layer);
        else
            delete layer;
    }
    budget = cut.budget;
    refused = cut.refused;
    layers = LinkLayerRing(remaining);
    return LinkLayerRing(band);
}

// Frees the group brackets of every layer; a group that repeats its members
// as an array keeps its brackets, since without them its copies would be
// lost.
void RemoveGroupMarkers(WORKLAYER* layers)
{
    ForEachLayer(layers, false, [](WORKLAYER& layer) {
        PATHREC* head = layer.m_paths;
        if (head == nullptr)
            return;
        const bool ring = head->m_pPrev != nullptr;
        if (ring) {
            head->m_pPrev->m_pNext = nullptr;
            head->m_pPrev = nullptr;
        }
        std::vector<bool> keep;
        PATHREC* kept = nullptr;
        PATHREC* tail = nullptr;
        for (PATHREC* p = head; p != nullptr;) {
            PATHREC* next = p->m_pNext;
            p->m_pPrev = p->m_pNext = nullptr;
            bool stays = true;
            if (IsOpening(p)) {
                stays = Repeats(p);
                keep.push_back(stays);
            } else if (p->m_kind == PATH_KIND_GROUP) {
                stays = !keep.empty() && keep.back();
                if (!keep.empty())
                    keep.pop_back();
            }
            if (stays) {
                if (kept == nullptr)
                    kept = p;
                else
                    tail->m_pNext = p;
                p->m_pPrev = tail;
                tail = p;
            } else {
                FreePathRecordList(p);
            }
            p = next;
        }
        if (ring && kept != nullptr) {
            kept->m_pPrev = tail;
            tail->m_pNext = kept;
        }
        layer.m_paths = kept;
    });
}

void ShiftPaths(WORKLAYER* layers, double dx, double dy, bool firstOnly = false)
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

// Moves the band along y so that its lowest minimum (lowSide) or its highest
// maximum lies on the line.
void ShiftLayersToLine(WORKLAYER* layers, double line, bool lowSide)
{
    const Box b = LayersBox(layers);
    if (!b.Valid())
        return;
    const double dy = line - (lowSide ? b.ymin : b.ymax);
    ShiftPaths(layers, 0.0, dy);
    CFileTrans::RecalcPathBoundRects(layers);
}

void OffsetX(WORKLAYER* layers, double d)
{
    if (std::fabs(d) < kNoShift)
        return;
    ShiftPaths(layers, d, 0.0);
}

} // namespace

bool CBigFileExc::BandingOn(const SPLITFEED* split)
{
    return split != nullptr && split->m_bOn != 0 && std::isfinite(split->m_dDistance) &&
           split->m_dDistance >= kMinBandLength && std::isfinite(split->m_dMargin) && split->m_dMargin >= 0.0;
}

double CBigFileExc::GetBandOffset(int corner, int position, int direction, double length, bool& lowSide)
{
    const bool lowCorner = corner == 0 || corner == 1;
    if (direction != 0 && !lowCorner) {
        lowSide = true;
        return position == 0 || position == 2 ? -length : 0.0;
    }
    lowSide = false;
    if (direction != 0)
        return position == 6 || position == 8 ? 0.0 : length;
    if (corner == 2 || corner == 3)
        return position == 0 || position == 2 ? 0.0 : length;
    return position == 6 || position == 8 ? 0.0 : length;
}

WORKLAYER* CBigFileExc::TakeBand(WORKLAYER*& layers, double line, double length, bool down, double margin,
                                 bool& refused)
{
    std::size_t budget = kMaxRowCopySegments;
    CFileTrans::RecalcPathBoundRects(layers);
    return TakeBandWithin(layers, line, length, down, margin, budget, refused);
}

bool CBigFileExc::SplitIntoBands(WORKHEAD* header, const SPLITFEED* split, double ratio)
{
    if (header == nullptr || header->m_layers == nullptr || !BandingOn(split))
        return true;
    const double length = split->m_dDistance;
    const double margin = split->m_dMargin;
    if (!std::isfinite(ratio))
        ratio = 0.0;
    const int corner = header->m_originCorner;
    const int direction = split->m_nDirection;

    WORKLAYER* layers = header->m_layers;
    header->m_layers = nullptr;
    const Box all = LayersBox(layers);
    const bool fromLow = (corner != 2 && corner != 3) == (direction == 0);
    const bool down = !fromLow;
    double line = fromLow ? all.ymin : all.ymax;
    bool lowSide = false;
    const double offset = GetBandOffset(corner, header->m_posPoint, direction, length, lowSide);

    double gap = 0.0;
    double shift = 0.0;
    std::uint32_t count = 0;
    std::size_t budget = kMaxRowCopySegments;
    std::vector<WORKLAYER*> result;
    bool ok = true;
    std::uint64_t steps = 0;
    // The line walks over the job until every path has gone into a band;
    // every step either takes paths or moves the line one band on.
    while (layers != nullptr) {
        if (++steps > kMaxBandSteps) {
            ok = false;
            break;
        }
        bool refused = false;
        WORKLAYER* band = TakeBandWithin(layers, line, length, down, margin, budget, refused);
        if (band == nullptr) {
            if (refused) {
                ok = false;
                break;
            }
            line += down ? -length : length;
            continue;
        }
        const std::vector<WORKLAYER*> bandLayers = DetachLayers(band);
        result.insert(result.end(), bandLayers.begin(), bandLayers.end());
        if (refused || count >= kMaxBands) {
            ok = false;
            break;
        }
        band = LinkLayerRing(bandLayers);
        RemoveGroupMarkers(band);
        CFileTrans::RecalcPathBoundRects(band);
        ShiftLayersToLine(band, offset, lowSide);
        for (WORKLAYER* l : bandLayers) {
            l->m_bandGap = gap;
            l->m_bandIndex = count;
        }
        ++count;
        shift += gap * ratio;
        OffsetX(band, shift);
        DetachLayers(band);
        if (layers != nullptr) {
            // The gap to the next band runs from this band's line to the
            // nearest remaining path.
            const Box rest = LayersBox(layers);
            const double next = down ? rest.ymax : rest.ymin;
            gap = down ? line - next : next - line;
            line = next;
        }
    }
    if (!ok) {
        for (WORKLAYER* l : DetachLayers(layers))
            result.push_back(l);
    }
    header->m_layers = LinkLayerRing(result);
    return ok;
}

void CBigFileExc::StackBands(WORKLAYER* layers, int corner)
{
    std::map<std::uint32_t, WORKLAYER*> firstOfBand;
    ForEachLayer(layers, false, [&](WORKLAYER& l) { firstOfBand.try_emplace(l.m_bandIndex, &l); });
    for (const auto& entry : firstOfBand) {
        const std::uint32_t band = entry.first;
        const double gap = entry.second->m_bandGap;
        if (!(gap >= kMinStackGap))
            continue;
        const double dy = corner == 0 || corner == 1 ? -gap : gap;
        ForEachLayer(layers, false, [&](WORKLAYER& l) {
            if (l.m_bandIndex >= band)
                ShiftPaths(&l, 0.0, dy, true);
        });
    }
}
