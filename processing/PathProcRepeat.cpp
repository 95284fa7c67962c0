// Deleting repeated lines: repeated nodes, segments lying on other segments
// of the same object, and segments lying on segments of other objects are
// removed from the selected polylines and rectangles, splitting an object
// where a covered segment is cut out of its middle.
//
// The searches look only at segments and objects whose boxes come near each
// other (the processing grid), in the order a plain walk over every pair
// would meet them, so the result is the plain walk's.
#include "PathProc.h"

#include "SpatialGrid.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/GeoFunctions.h"
#include "settings/ShowProcess.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Up to this many segment pairs are compared one by one; beyond, through a
// grid of the segments.
constexpr std::size_t kPlainPairs = 2048;

bool UsableTol(double tol)
{
    return tol > 0.0 && std::isfinite(tol);
}

// Two nodes or more in an open list (a list closed into a ring is not
// walked here).
bool HasTwoNodes(const CDocData* o)
{
    return o->m_pNodes != nullptr && o->m_pNodes->m_pPrev == nullptr && o->m_pNodes->m_pNext != nullptr;
}

struct Box {
    double xmin;
    double xmax;
    double ymin;
    double ymax;
};

// The box of the segment that starts at n.
Box SegmentBox(const DOCNODE* n)
{
    const DOCNODE* m = n->m_pNext;
    return {std::min(n->m_x, m->m_x), std::max(n->m_x, m->m_x), std::min(n->m_y, m->m_y),
            std::max(n->m_y, m->m_y)};
}

bool Meets(const Box& a, const CGeoBox& b, double margin)
{
    return !(a.xmin > b.m_xmax + margin || b.m_xmin - margin > a.xmax || a.ymin > b.m_ymax + margin ||
             b.m_ymin - margin > a.ymax);
}

// Start nodes of the object's segments, in order.
std::vector<DOCNODE*> SegmentStarts(const CDocData* o)
{
    std::vector<DOCNODE*> out;
    for (DOCNODE* n = o->m_pNodes; n != nullptr && n->m_pNext != nullptr; n = n->m_pNext)
        out.push_back(n);
    return out;
}

struct Overlap {
    DOCNODE* s = nullptr;
    DOCNODE* t = nullptr;
    int rule = 0;
};

// The first overlapping pair of the two segment lists: s in order, for each
// s the first t in order. With `self` the lists are the same and t runs
// over the segments after s only.
Overlap FirstOverlap(const std::vector<DOCNODE*>& ss, const std::vector<DOCNODE*>& ts, bool self, double tol)
{
    Overlap found;
    if (ss.empty() || ts.empty())
        return found;
    if (ss.size() * ts.size() <= kPlainPairs) {
        for (std::size_t i = 0; i < ss.size(); ++i) {
            for (std::size_t j = self ? i + 1 : 0; j < ts.size(); ++j) {
                if (const int rule = CPathProc::SegmentOverlap(ss[i], ts[j], tol)) {
                    found = {ss[i], ts[j], rule};
                    return found;
                }
            }
        }
        return found;
    }
    // Either rule needs the two boxes within tol of each other; the grid
    // is asked with twice that, so rounding never hides a pair.
    std::vector<double> sizes;
    sizes.reserve(ts.size());
    for (const DOCNODE* t : ts) {
        const Box b = SegmentBox(t);
        sizes.push_back(std::max(b.xmax - b.xmin, b.ymax - b.ymin) + tol);
    }
    plat::SpatialGrid grid(plat::SpatialGrid::MedianCell(std::move(sizes)), ts.size());
    for (std::size_t j = 0; j < ts.size(); ++j) {
        const Box b = SegmentBox(ts[j]);
        grid.AddBox(b.xmin, b.xmax, b.ymin, b.ymax, static_cast<std::uint32_t>(j));
    }
    const double reach = 2.0 * tol;
    for (std::size_t i = 0; i < ss.size(); ++i) {
        const Box b = SegmentBox(ss[i]);
        std::uint32_t best = plat::SpatialGrid::kNone;
        int bestRule = 0;
        grid.ForEachInRect(
            b.xmin - reach, b.xmax + reach, b.ymin - reach, b.ymax + reach, [](std::uint32_t) { return true; },
            [&](std::uint32_t j) {
                if ((self && j <= i) || j >= best)
                    return;
                if (const int rule = CPathProc::SegmentOverlap(ss[i], ts[j], tol)) {
                    best = j;
                    bestRule = rule;
                }
            });
        if (best != plat::SpatialGrid::kNone) {
            found = {ss[i], ts[best], bestRule};
            return found;
        }
    }
    return found;
}

// The segments of o whose boxes lie within the margin of the box.
std::vector<DOCNODE*> SegmentsNear(const CDocData* o, const CGeoBox& box, double margin)
{
    std::vector<DOCNODE*> out;
    for (DOCNODE* n = o->m_pNodes; n != nullptr && n->m_pNext != nullptr; n = n->m_pNext) {
        if (Meets(SegmentBox(n), box, margin))
            out.push_back(n);
    }
    return out;
}

// A polyline in the rectangle's place, with its nodes, switches and records.
void ReplaceByPolyline(CDocData*& object, CDocData*& head, DOCCONTEXT* ctx)
{
    CDocData* old = object;
    auto* line = new CDocDataLine();
    line->m_pNodes = old->m_pNodes;
    old->m_pNodes = nullptr;
    line->m_nLayer = old->m_nLayer;
    line->m_nColor = old->m_nColor;
    line->m_bOutput = old->m_bOutput;
    line->m_bSelected = old->m_bSelected;
    line->m_bNodesSelected = old->m_bNodesSelected;
    // A rectangle is closed whatever its flag says.
    line->m_bClosed = old->m_nType == MT_RECT ? 1 : old->m_bClosed;
    line->m_pLeadInOut = old->m_pLeadInOut;
    line->m_pEndGap = old->m_pEndGap;
    line->m_pArray = old->m_pArray;
    line->m_pAttached = old->m_pAttached;
    old->m_pLeadInOut = nullptr;
    old->m_pEndGap = nullptr;
    old->m_pArray = nullptr;
    old->m_pAttached = nullptr;
    line->m_pPrev = old->m_pPrev;
    line->m_pNext = old->m_pNext;
    if (line->m_pPrev != nullptr)
        line->m_pPrev->m_pNext = line;
    else
        head = line;
    if (line->m_pNext != nullptr)
        line->m_pNext->m_pPrev = line;
    old->m_pPrev = old->m_pNext = nullptr;
    delete old;
    line->RecalcBoundRect(ctx);
    object = line;
}

CDocData*& ListHead(DOCCONTEXT* ctx)
{
    return ctx->m_pCurrent->m_pFirst;
}

} // namespace

bool CPathProc::IsRepeatCandidate(const CDocData* object)
{
    if (object == nullptr || object->IsSelected() == 0)
        return false;
    if (object->m_nType != MT_LINE && object->m_nType != MT_RECT)
        return false;
    if (object->m_pNodes != nullptr && object->m_pNodes->m_pPrev != nullptr)
        return false;
    for (const DOCNODE* n = object->m_pNodes; n != nullptr; n = n->m_pNext) {
        if (n->m_nKind != NODE_ANCHOR)
            return false;
    }
    return true;
}

int CPathProc::SegmentOverlap(const DOCNODE* s, const DOCNODE* t, double tol)
{
    const double px = s->m_x, py = s->m_y, px2 = s->m_pNext->m_x, py2 = s->m_pNext->m_y;
    const double qx = t->m_x, qy = t->m_y, qx2 = t->m_pNext->m_x, qy2 = t->m_pNext->m_y;
    const Box sb = SegmentBox(s);
    const Box tb = SegmentBox(t);
    if (tb.xmin > sb.xmin - tol && tb.xmax < sb.xmax + tol && tb.ymin > sb.ymin - tol && tb.ymax < sb.ymax + tol &&
        GeoPointLineDistance(px, py, px2, py2, qx, qy) < tol && GeoPointLineDistance(px, py, px2, py2, qx2, qy2) < tol)
        return 1;
    if (sb.xmin > tb.xmin - tol && sb.xmax < tb.xmax + tol && sb.ymin > tb.ymin - tol && sb.ymax < tb.ymax + tol &&
        GeoPointLineDistance(qx, qy, qx2, qy2, px, py) < tol && GeoPointLineDistance(qx, qy, qx2, qy2, px2, py2) < tol)
        return 2;
    return 0;
}

CDocData* CPathProc::CutSegment(CDocData*& object, DOCNODE* n, CDocData*& head, DOCCONTEXT* ctx)
{
    if (object == nullptr || n == nullptr || n->m_pNext == nullptr || !HasTwoNodes(object))
        return nullptr;
    if (object->m_nType != MT_LINE || dynamic_cast<CDocDataLine*>(object) == nullptr)
        ReplaceByPolyline(object, head, ctx);
    object->m_nType = MT_LINE;
    DOCNODE* first = object->m_pNodes;
    DOCNODE* last = LastNode(first);
    DOCNODE* next = n->m_pNext;
    CDocData* piece = nullptr;
    const bool closed = object->m_bClosed != 0 && last != first && last->m_x == first->m_x && last->m_y == first->m_y;
    if (closed) {
        // Drop the closing node and open the ring between n and next.
        DOCNODE* beforeLast = last->m_pPrev;
        beforeLast->m_pNext = nullptr;
        delete last;
        if (next != last) {
            beforeLast->m_pNext = first;
            first->m_pPrev = beforeLast;
            n->m_pNext = nullptr;
            next->m_pPrev = nullptr;
            object->m_pNodes = next;
        }
        object->m_bClosed = 0;
    } else if (n == first) {
        if (next == last) {
            delete next;
            delete n;
            object->m_pNodes = nullptr;
        } else {
            next->m_pPrev = nullptr;
            object->m_pNodes = next;
            delete n;
        }
    } else if (next == last) {
        n->m_pNext = nullptr;
        delete next;
    } else {
        n->m_pNext = nullptr;
        next->m_pPrev = nullptr;
        piece = new CDocDataLine(next, 1, ctx);
        piece->m_nColor = object->m_nColor;
        piece->m_nLayer = object->m_nLayer;
        piece->m_bOutput = object->m_bOutput;
        piece->m_pPrev = object;
        piece->m_pNext = object->m_pNext;
        if (object->m_pNext != nullptr)
            object->m_pNext->m_pPrev = piece;
        object->m_pNext = piece;
    }
    object->RecalcBoundRect(ctx);
    return piece;
}

void CPathProc::RemoveRepeatedAnchors(DOCNODE* list, double tol)
{
    if (list == nullptr || !UsableTol(tol) || list->m_pPrev != nullptr)
        return;
    DOCNODE* last = LastNode(list);
    const bool closed = last != list && last->m_x == list->m_x && last->m_y == list->m_y;
    DOCNODE* n = list;
    while (n->m_pNext != nullptr) {
        DOCNODE* next = n->m_pNext;
        const bool repeated = n->m_nKind == NODE_ANCHOR && next->m_nKind == NODE_ANCHOR &&
                              std::fabs(next->m_x - n->m_x) < tol && std::fabs(next->m_y - n->m_y) < tol;
        if (!repeated) {
            n = next;
            continue;
        }
        if (closed && next == last && n != list) {
            // The closing node stays on the start; the node before it goes.
            DOCNODE* before = n->m_pPrev;
            before->m_pNext = next;
            next->m_pPrev = before;
            delete n;
            n = before;
            continue;
        }
        n->m_pNext = next->m_pNext;
        if (next->m_pNext != nullptr)
            next->m_pNext->m_pPrev = n;
        delete next;
    }
}

void CPathProc::RemoveRepeatedNodes(DOCCONTEXT* ctx, double tol)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || !UsableTol(tol))
        return;
    for (CDocData* o = ListHead(ctx); o != nullptr; o = o->m_pNext) {
        if (!IsRepeatCandidate(o))
            continue;
        RemoveRepeatedAnchors(o->m_pNodes, tol);
        o->RecalcBoundRect(ctx);
    }
}

void CPathProc::RemoveEmptyObjects(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    CDocData*& head = ListHead(ctx);
    for (CDocData* o = head; o != nullptr;) {
        CDocData* next = o->m_pNext;
        const std::uint32_t type = o->GetType();
        const bool kept = type == MT_BITMAP || type == MT_GROUP || type == MT_CHAR || o->IsSelected() == 0;
        const bool empty = o->m_pNodes == nullptr || (type != MT_POINT && o->m_pNodes->m_pNext == nullptr);
        if (!kept && empty) {
            UnlinkObject(head, o);
            delete o;
        }
        o = next;
    }
}

bool CPathProc::CutOverlapsInObject(CDocData*& object, double tol, CDocData*& head, DOCCONTEXT* ctx)
{
    if (object == nullptr || !UsableTol(tol) || !HasTwoNodes(object))
        return false;
    const std::vector<DOCNODE*> segments = SegmentStarts(object);
    const Overlap o = FirstOverlap(segments, segments, true, tol);
    if (o.rule == 0)
        return false;
    CutSegment(object, o.rule == 1 ? o.t : o.s, head, ctx);
    return true;
}

void CPathProc::CutSelfOverlaps(DOCCONTEXT* ctx, double tol)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || !UsableTol(tol))
        return;
    CDocData*& head = ListHead(ctx);
    // Pieces split off an object follow it and are met in turn. Every cut
    // removes a segment, so this ends.
    for (CDocData* o = head; o != nullptr; o = o->m_pNext) {
        if (!IsRepeatCandidate(o))
            continue;
        while (CutOverlapsInObject(o, tol, head, ctx)) {
        }
    }
}

namespace {

// What one cut of a pair did: which object lost a segment (0 none, 1 a,
// 2 b) and the piece split off it, if any.
struct PairCut {
    int which = 0;
    CDocData* piece = nullptr;
};

PairCut CutFirstOverlap(CDocData*& a, CDocData*& b, double tol, CDocData*& head, DOCCONTEXT* ctx)
{
    PairCut cut;
    if (a == nullptr || b == nullptr || !UsableTol(tol) || !HasTwoNodes(a) || !HasTwoNodes(b))
        return cut;
    // A pair of segments can overlap only where each meets the other
    // object's box (twice the tolerance keeps rounding out of it).
    const std::vector<DOCNODE*> ss = SegmentsNear(a, b->m_rcBound, 2.0 * tol);
    if (ss.empty())
        return cut;
    const std::vector<DOCNODE*> ts = SegmentsNear(b, a->m_rcBound, 2.0 * tol);
    const Overlap o = FirstOverlap(ss, ts, false, tol);
    if (o.rule == 1) {
        cut.which = 2;
        cut.piece = CPathProc::CutSegment(b, o.t, head, ctx);
    } else if (o.rule == 2) {
        cut.which = 1;
        cut.piece = CPathProc::CutSegment(a, o.s, head, ctx);
    }
    return cut;
}

} // namespace

bool CPathProc::CutOverlapPair(CDocData*& a, CDocData*& b, double tol, CDocData*& head, DOCCONTEXT* ctx)
{
    return CutFirstOverlap(a, b, tol, head, ctx).which != 0;
}

void CPathProc::CutCrossOverlaps(DOCCONTEXT* ctx, double tol, std::uint8_t withinLayer)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || !UsableTol(tol))
        return;
    CDocData*& head = ListHead(ctx);

    // Each object the command works on starts a family: itself and the
    // pieces later split off it, which always lie right behind a member, so
    // a family is one run of the list from its first member to its last. A
    // family's box at the start holds every member's box, since cutting only
    // ever takes nodes away.
    struct Family {
        CDocData* first;
        CDocData* last;
    };
    std::vector<Family> families;
    std::vector<double> sizes;
    for (CDocData* o = head; o != nullptr; o = o->m_pNext) {
        if (!IsRepeatCandidate(o))
            continue;
        families.push_back({o, o});
        sizes.push_back(std::max(o->m_rcBound.Width(), o->m_rcBound.Height()));
    }
    if (families.size() < 2)
        return;
    // Cells of about twice the usual object keep each object in few cells.
    plat::SpatialGrid grid(2.0 * plat::SpatialGrid::MedianCell(std::move(sizes)), families.size());
    for (std::uint32_t f = 0; f < families.size(); ++f) {
        const CGeoBox& b = families[f].first->m_rcBound;
        if (HasTwoNodes(families[f].first))
            grid.AddBox(b.m_xmin, b.m_xmax, b.m_ymin, b.m_ymax, f);
    }
    // A cut may replace an object (a rectangle becomes a polyline) and put
    // a piece right behind the object it cut.
    auto follow = [&](CDocData* before, CDocData* after, std::uint32_t f) {
        if (families[f].first == before)
            families[f].first = after;
        if (families[f].last == before)
            families[f].last = after;
    };
    auto compare = [&](CDocData*& a, std::uint32_t fa, CDocData*& b, std::uint32_t fb) {
        if (withinLayer != 0 && a->m_nLayer != b->m_nLayer)
            return;
        while (HasTwoNodes(a) && HasTwoNodes(b) && a->m_rcBound.Intersects(b->m_rcBound, tol)) {
            CDocData* const a0 = a;
            CDocData* const b0 = b;
            const PairCut cut = CutFirstOverlap(a, b, tol, head, ctx);
            if (cut.which == 0)
                break;
            follow(a0, a, fa);
            follow(b0, b, fb);
            if (cut.piece != nullptr) {
                const std::uint32_t f = cut.which == 1 ? fa : fb;
                if (families[f].last == cut.piece->m_pPrev)
                    families[f].last = cut.piece;
            }
        }
    };

    std::vector<std::uint32_t> near;
    std::uint32_t nextFamily = 0;
    std::uint32_t fa = 0;
    bool inFamily = false;
    for (CDocData* a = head; a != nullptr; a = a->m_pNext) {
        if (nextFamily < families.size() && a == families[nextFamily].first) {
            fa = nextFamily++;
            inFamily = true;
        } else if (!inFamily) {
            continue;
        }
        if (HasTwoNodes(a)) {
            const CGeoBox box = a->m_rcBound;
            const double reach = 2.0 * tol;
            near.clear();
            grid.ForEachInRect(
                box.m_xmin - reach, box.m_xmax + reach, box.m_ymin - reach, box.m_ymax + reach,
                [](std::uint32_t) { return true; },
                [&](std::uint32_t f) {
                    if (f > fa)
                        near.push_back(f);
                });
            std::sort(near.begin(), near.end());
            // The later members of a's own family, then the later families
            // in list order. Pieces split off a land right behind it, behind
            // the walk; pieces split off b right behind b, where the walk
            // goes next.
            if (a != families[fa].last) {
                for (CDocData* b = a->m_pNext; b != nullptr; b = b->m_pNext) {
                    compare(a, fa, b, fa);
                    if (b == families[fa].last)
                        break;
                }
            }
            for (std::uint32_t fb : near) {
                for (CDocData* b = families[fb].first; b != nullptr; b = b->m_pNext) {
                    compare(a, fa, b, fb);
                    if (b == families[fb].last)
                        break;
                }
            }
        }
        if (a == families[fa].last)
            inFamily = false;
    }
}

void CPathProc::DeleteRepeatedLines(DOCCONTEXT* ctx, double tol, std::uint8_t withinLayer)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || !UsableTol(tol))
        return;
    CShowProcess progress;
    progress.Start(8);
    RemoveRepeatedNodes(ctx, tol);
    progress.Step();
    RemoveEmptyObjects(ctx);
    progress.Step();
    CutSelfOverlaps(ctx, tol);
    progress.Step();
    RemoveEmptyObjects(ctx);
    progress.Step();
    CutCrossOverlaps(ctx, tol, withinLayer);
    progress.Step();
    RemoveEmptyObjects(ctx);
    progress.Step();
    progress.Step();
    RemoveEmptyObjects(ctx);
    progress.Step();

    ctx->m_rcSelect.SetEmpty();
    for (const CDocData* o = ListHead(ctx); o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() != 0)
            ctx->m_rcSelect.Union(o->GetBoundRect());
    }
}
