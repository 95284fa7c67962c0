// Contour offset: closed outlines and open paths moved parallel to
// themselves, the passes that keep an open offset from folding over itself,
// and the offset of a selection. The clean-up that keeps a closed offset to
// the outlines at the distance lies in OffsetLoops.cpp.
#include "OffsetLoops.h"
#include "PathProc.h"

#include "model/CurveGeometry.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/GeoFunctions.h"
#include "model/PolylineGeometry.h"
#include "settings/ShowProcess.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

using plat::offset::RingPoint;

constexpr double kRingDuplicateTol = 0.001;
constexpr double kNearNodeTol = 1e-5;
constexpr double kTurnBackTol = 0.1;
constexpr double kSpikeTol = 0.2;
constexpr double kEndNormalFactor = 2.1;
constexpr double kShortLoopFactor = 2.0;
// A corner that turns away from the offset side (on an open path, any
// corner) keeps its mitre point only while that point lies within this many
// offset distances of the corner; beyond, the mitre is cut square at that
// distance (two nodes).
constexpr double kMitreLimit = 4.0;

bool IsCurveType(const CDocData* o)
{
    const std::uint32_t t = o->GetType();
    return t == MT_BEZIER || t == MT_NURBS || t == MT_CHAR;
}

bool HasControlNodes(const DOCNODE* head)
{
    for (const DOCNODE* n = head; n != nullptr;) {
        if (n->m_nKind != NODE_ANCHOR)
            return true;
        n = n->m_pNext;
        if (n == head)
            break;
    }
    return false;
}

bool Near(const DOCNODE* a, const DOCNODE* b, double tol)
{
    return std::fabs(a->m_x - b->m_x) <= tol && std::fabs(a->m_y - b->m_y) <= tol;
}

int CountRing(const DOCNODE* ring)
{
    int n = 0;
    for (const DOCNODE* x = ring; x != nullptr;) {
        ++n;
        x = x->m_pNext;
        if (x == ring)
            break;
    }
    return n;
}

DOCNODE* NewNode(double x, double y, const DOCNODE* like)
{
    DOCNODE* n = new DOCNODE;
    n->m_x = x;
    n->m_y = y;
    if (like != nullptr) {
        n->m_nKind = like->m_nKind;
        n->m_nSelect = like->m_nSelect;
    }
    return n;
}

void Append(DOCNODE*& head, DOCNODE*& tail, DOCNODE* n)
{
    n->m_pPrev = tail;
    n->m_pNext = nullptr;
    if (tail != nullptr)
        tail->m_pNext = n;
    else
        head = n;
    tail = n;
}

// Unlinks and frees a node of an open list; returns its successor.
DOCNODE* Unlink(DOCNODE*& head, DOCNODE* n)
{
    DOCNODE* next = n->m_pNext;
    if (n->m_pPrev != nullptr)
        n->m_pPrev->m_pNext = next;
    else
        head = next;
    if (next != nullptr)
        next->m_pPrev = n->m_pPrev;
    delete n;
    return next;
}

// Frees the nodes strictly between a and b of an open list and links a to b.
void FreeBetween(DOCNODE* a, DOCNODE* b)
{
    for (DOCNODE* n = a->m_pNext; n != nullptr && n != b;) {
        DOCNODE* next = n->m_pNext;
        delete n;
        n = next;
    }
    a->m_pNext = b;
    if (b != nullptr)
        b->m_pPrev = a;
}


// The offset of the corner P->Q->R as one node (OffsetPolyline) or, when
// `mayCut` allows it and the corner's mitre reaches too far, two nodes: on
// a corner that turns away from the offset side, and with `innerToo` on one
// that turns towards it as well. Returns the number of nodes written to xs,
// ys.
int OffsetCorner(const DOCNODE* p, const DOCNODE* q, const DOCNODE* r, bool side, double d, bool mayCut,
                 bool innerToo, double xs[2], double ys[2])
{
    DOCNODE m;
    OffsetPolyline(&m, p, q, r, side, d);
    xs[0] = m.m_x;
    ys[0] = m.m_y;
    const double e = std::fabs(d);
    if (!mayCut || !(e > 0.0) || !std::isfinite(e))
        return 1;
    double u1x = q->m_x - p->m_x, u1y = q->m_y - p->m_y;
    double u2x = r->m_x - q->m_x, u2y = r->m_y - q->m_y;
    const double l1 = std::hypot(u1x, u1y), l2 = std::hypot(u2x, u2y);
    if (!(l1 >= kGeoCoincideTol) || !(l2 >= kGeoCoincideTol))
        return 1;
    u1x /= l1;
    u1y /= l1;
    u2x /= l2;
    u2y /= l2;
    // The unit normals towards the offset (the left when `side` is set and
    // the distance positive).
    const double s = (side ? 1.0 : -1.0) * (d > 0.0 ? 1.0 : -1.0);
    const double n1x = -u1y * s, n1y = u1x * s, n2x = -u2y * s, n2y = u2x * s;
    const double cross = u1x * u2y - u1y * u2x;
    const double dot = u1x * u2x + u1y * u2y;
    // The path turns away from the offset side (or straight back).
    const bool outer = cross * s < 0.0 || (std::fabs(cross) < 1e-12 && dot < 0.0);
    const double reach = kMitreLimit * e;
    if ((!outer && !innerToo) || std::hypot(xs[0] - q->m_x, ys[0] - q->m_y) <= reach)
        return 1;
    double bx = n1x + n2x, by = n1y + n2y;
    const double bl = std::hypot(bx, by);
    if (bl < 1e-9) {
        bx = u1x; // straight back: the cut lies ahead of the turn
        by = u1y;
    } else {
        bx /= bl;
        by /= bl;
    }
    // The two offset lines cross the cut from either side: the way in runs
    // towards it and the way out away (outer), or the other way (inner).
    const double a1 = u1x * bx + u1y * by, a2 = u2x * bx + u2y * by;
    if (!(std::fabs(a1) > 1e-9) || !(std::fabs(a2) > 1e-9) || (a1 > 0.0) == (a2 > 0.0))
        return 1;
    // Where each offset line (Q + e n + t u) meets the cut across the
    // corner at distance `reach` along the bisector.
    const double t1 = (reach - e * (n1x * bx + n1y * by)) / a1;
    const double t2 = (reach - e * (n2x * bx + n2y * by)) / a2;
    xs[0] = q->m_x + e * n1x + t1 * u1x;
    ys[0] = q->m_y + e * n1y + t1 * u1y;
    xs[1] = q->m_x + e * n2x + t2 * u2x;
    ys[1] = q->m_y + e * n2y + t2 * u2y;
    return 2;
}

// True when the turn at Q along P->Q->R lies within tol of a full reversal,
// whichever way round it turns.
bool TurnsBack(const DOCNODE* p, const DOCNODE* q, const DOCNODE* r, double tol)
{
    return std::numbers::pi - GeoTurnAngle(p->m_x, p->m_y, q->m_x, q->m_y, r->m_x, r->m_y) < tol;
}

bool Crossing(const DOCNODE* a0, const DOCNODE* a1, double bx0, double by0, double bx1, double by1, double& x,
              double& y)
{
    return GeoSegmentIntersection(a0->m_x, a0->m_y, a1->m_x, a1->m_y, bx0, by0, bx1, by1, x, y) != 0;
}

// The points of a node ring (every node once).
std::vector<RingPoint> RingPointsOf(const DOCNODE* ring)
{
    std::vector<RingPoint> out;
    for (const DOCNODE* n = ring;;) {
        out.push_back({n->m_x, n->m_y, n});
        n = n->m_pNext;
        if (n == nullptr || n == ring)
            break;
    }
    return out;
}

// A closed node list of a loop, its first node repeated at its end.
DOCNODE* NodesOf(const std::vector<RingPoint>& loop)
{
    DOCNODE* head = nullptr;
    DOCNODE* tail = nullptr;
    for (const RingPoint& p : loop)
        Append(head, tail, NewNode(p.x, p.y, p.like));
    Append(head, tail, NewNode(head->m_x, head->m_y, head));
    return head;
}

// True when the outline of a curve's node list, flattened as it is cut,
// meets itself.
bool FlattenedMeetsItself(const DOCNODE* nodes)
{
    DOCNODE* flat = SamplePolyline(nodes, kOutputFlattenTol);
    if (flat == nullptr)
        return false;
    std::vector<RingPoint> ring = RingPointsOf(flat);
    if (ring.size() > 1 && std::fabs(ring.back().x - ring.front().x) <= kRingDuplicateTol &&
        std::fabs(ring.back().y - ring.front().y) <= kRingDuplicateTol)
        ring.pop_back();
    const bool met = ring.size() >= 3 && plat::offset::RingMeetsItself(ring);
    CDocState::FreeNodeList(flat);
    return met;
}

} // namespace

void CPathProc::RemoveNearNodes(DOCNODE*& head)
{
    if (head == nullptr)
        return;
    for (DOCNODE* n = head->m_pNext; n != nullptr;) {
        if (Near(n, n->m_pPrev, kNearNodeTol))
            n = Unlink(head, n);
        else
            n = n->m_pNext;
    }
}

void CPathProc::TrimAtEndNormals(DOCNODE*& head, double d, double k, std::uint8_t side)
{
    if (head == nullptr || head->m_pNext == nullptr)
        return;
    double nx, ny, x, y;
    // The start: the normal at the first node against the second segment on.
    GeoPerpendicularPoint(head->m_x, head->m_y, head->m_pNext->m_x, head->m_pNext->m_y, true, side != 0, d * k, nx,
                          ny);
    for (DOCNODE* s = head->m_pNext; s != nullptr && s->m_pNext != nullptr; s = s->m_pNext) {
        if (Crossing(s, s->m_pNext, head->m_x, head->m_y, nx, ny, x, y)) {
            // The crossed segment's start takes the crossing and comes first.
            s->m_x = x;
            s->m_y = y;
            DOCNODE* old = head;
            head = s;
            s->m_pPrev->m_pNext = nullptr;
            s->m_pPrev = nullptr;
            CDocState::FreeNodeList(old);
            break;
        }
    }
    if (head->m_pNext == nullptr)
        return;
    DOCNODE* last = LastNode(head);
    GeoPerpendicularPoint(last->m_pPrev->m_x, last->m_pPrev->m_y, last->m_x, last->m_y, false, side != 0, d * k, nx,
                          ny);
    for (DOCNODE* e = last->m_pPrev; e != nullptr && e->m_pPrev != nullptr; e = e->m_pPrev) {
        if (Crossing(e->m_pPrev, e, last->m_x, last->m_y, nx, ny, x, y)) {
            // The crossed segment's end takes the crossing and comes last.
            e->m_x = x;
            e->m_y = y;
            DOCNODE* rest = e->m_pNext;
            e->m_pNext = nullptr;
            rest->m_pPrev = nullptr;
            CDocState::FreeNodeList(rest);
            break;
        }
    }
}

void CPathProc::CutShortLoops(DOCNODE*& head, double d, double k, std::uint32_t limit)
{
    if (head == nullptr)
        return;
    const double reach = d * k;
    double x, y;
    // Forwards: each segment A->B prolonged beyond B against the segments
    // that start after B, closer than `limit` nodes to A.
    for (bool cut = true; cut;) {
        cut = false;
        std::uint32_t ia = 0;
        for (DOCNODE* a = head; a != nullptr && a->m_pNext != nullptr && !cut; a = a->m_pNext, ++ia) {
            DOCNODE* b = a->m_pNext;
            double ex, ey;
            GeoPointAlong(b->m_x, b->m_y, a->m_x, a->m_y, -reach, ex, ey);
            std::uint32_t ic = ia + 2;
            for (DOCNODE* c = b->m_pNext; c != nullptr && c->m_pNext != nullptr && ic - ia < limit; c = c->m_pNext, ++ic) {
                if (Crossing(c, c->m_pNext, b->m_x, b->m_y, ex, ey, x, y)) {
                    b->m_x = x;
                    b->m_y = y;
                    FreeBetween(b, c->m_pNext);
                    cut = true;
                    break;
                }
            }
        }
    }
    // Backwards: each segment prolonged beyond its earlier node.
    for (bool cut = true; cut;) {
        cut = false;
        DOCNODE* last = LastNode(head);
        std::uint32_t ia = 0;
        for (DOCNODE* a = last; a != nullptr && a->m_pPrev != nullptr && !cut; a = a->m_pPrev, ++ia) {
            DOCNODE* b = a->m_pPrev;
            double ex, ey;
            GeoPointAlong(b->m_x, b->m_y, a->m_x, a->m_y, -reach, ex, ey);
            std::uint32_t ic = ia + 2;
            for (DOCNODE* c = b->m_pPrev; c != nullptr && c->m_pPrev != nullptr && ic - ia < limit; c = c->m_pPrev, ++ic) {
                if (Crossing(c->m_pPrev, c, b->m_x, b->m_y, ex, ey, x, y)) {
                    b->m_x = x;
                    b->m_y = y;
                    DOCNODE* keep = c->m_pPrev;
                    FreeBetween(keep, b);
                    cut = true;
                    break;
                }
            }
        }
    }
}

void CPathProc::ExtendOrTrimEnds(DOCNODE*& head, double d, double k, bool extend)
{
    if (head == nullptr || head->m_pNext == nullptr)
        return;
    if (extend) {
        DOCNODE* first = head;
        DOCNODE* last = LastNode(head);
        double x, y;
        GeoPointAlong(first->m_x, first->m_y, first->m_pNext->m_x, first->m_pNext->m_y, -d * k, x, y);
        DOCNODE* n = NewNode(x, y, first);
        n->m_pNext = first;
        first->m_pPrev = n;
        head = n;
        GeoPointAlong(last->m_x, last->m_y, last->m_pPrev->m_x, last->m_pPrev->m_y, -d * k, x, y);
        n = NewNode(x, y, last);
        n->m_pPrev = last;
        last->m_pNext = n;
        return;
    }
    // Trim: the end node goes, and the one before it too where the path
    // turns straight back there; two nodes always stay.
    auto trimStart = [&]() {
        const bool back = CountNodes(head) > 3 && TurnsBack(head, head->m_pNext, head->m_pNext->m_pNext, kTurnBackTol);
        Unlink(head, head);
        if (back)
            Unlink(head, head);
    };
    if (CountNodes(head) > 2)
        trimStart();
    if (CountNodes(head) > 2) {
        DOCNODE* last = LastNode(head);
        const bool back = CountNodes(head) > 3 && TurnsBack(last, last->m_pPrev, last->m_pPrev->m_pPrev, kTurnBackTol);
        DOCNODE* before = last->m_pPrev;
        Unlink(head, last);
        if (back)
            Unlink(head, before);
    }
}

void CPathProc::CutSelfLoops(DOCNODE*& head, std::uint32_t limit)
{
    double x, y;
    for (bool cut = true; cut && head != nullptr;) {
        cut = false;
        std::uint32_t in = 2;
        for (DOCNODE* n = head->m_pNext != nullptr ? head->m_pNext->m_pNext : nullptr; n != nullptr && !cut;
             n = n->m_pNext, ++in) {
            DOCNODE* m = n->m_pPrev;
            // Earlier segments j -> j + 1, from three nodes before n back.
            DOCNODE* j = m->m_pPrev != nullptr ? m->m_pPrev->m_pPrev : nullptr;
            for (std::uint32_t ij = in - 3; j != nullptr && (in - 1) - ij <= limit; j = j->m_pPrev, --ij) {
                if (Crossing(j, j->m_pNext, m->m_x, m->m_y, n->m_x, n->m_y, x, y)) {
                    DOCNODE* end = j->m_pNext;
                    end->m_x = x;
                    end->m_y = y;
                    FreeBetween(end, n);
                    RemoveNearNodes(head);
                    cut = true;
                    break;
                }
                if (ij == 0)
                    break;
            }
        }
    }
}

void CPathProc::RemoveSpikes(DOCNODE*& head, double tol)
{
    if (head == nullptr)
        return;
    DOCNODE* p1 = head->m_pNext;
    while (p1 != nullptr && p1->m_pNext != nullptr) {
        if (TurnsBack(p1->m_pPrev, p1, p1->m_pNext, tol)) {
            DOCNODE* back = p1->m_pPrev;
            Unlink(head, p1);
            // Only the corner before the removed node changed.
            p1 = back->m_pPrev != nullptr ? back : back->m_pNext;
        } else {
            p1 = p1->m_pNext;
        }
    }
}

int CPathProc::RemoveRingDuplicates(DOCNODE*& ring)
{
    if (ring == nullptr)
        return 1;
    if (ring->m_pPrev == nullptr)
        return 2;
    int count = CountRing(ring);
    if (count < 3)
        return 3;
    // Every node once, the first one last; after a removal the predecessor
    // is looked at again.
    int toVisit = count;
    DOCNODE* x = ring->m_pNext;
    while (toVisit > 0 && count >= 3) {
        DOCNODE* pred = x->m_pPrev;
        DOCNODE* succ = x->m_pNext;
        if (Near(x, pred, kRingDuplicateTol) || Near(pred, succ, kRingDuplicateTol)) {
            pred->m_pNext = succ;
            succ->m_pPrev = pred;
            if (x == ring)
                ring = succ;
            delete x;
            --count;
            x = pred;
        } else {
            x = succ;
            --toVisit;
        }
    }
    return count < 3 ? 4 : 0;
}

CDocData* CPathProc::OffsetContour(CDocData* object, double distance, std::uint8_t outward, DOCCONTEXT* ctx)
{
    if (object == nullptr || object->m_pNodes == nullptr || object->m_bClosed == 0)
        return nullptr;
    CDocData* k = CloneDocData(object, false);
    if (k == nullptr || k->m_pNodes == nullptr || k->m_pNodes->m_pNext == nullptr) {
        delete k;
        return nullptr;
    }
    // The ring of the outline without its closing copy.
    DOCNODE* ring = k->m_pNodes;
    k->m_pNodes = nullptr;
    if (ring->m_pPrev == nullptr) {
        DOCNODE* last = LastNode(ring);
        DOCNODE* before = last->m_pPrev;
        delete last;
        before->m_pNext = ring;
        ring->m_pPrev = before;
    }
    const std::uint32_t o = PolylineOrientation(ring);
    const bool curve = IsCurveType(k);
    if (o > 1) {
        CDocState::FreeNodeList(ring);
        delete k;
        return nullptr;
    }
    if (!curve)
        RemoveRingDuplicates(ring);
    const bool side = o != 0 ? outward != 0 : outward == 0;
    // A mitre is cut only where nodes may be added: lists of anchors alone.
    const bool mayCut = !HasControlNodes(ring);
    DOCNODE* head = nullptr;
    DOCNODE* tail = nullptr;
    // Each ring node with the first and last offset node made for it.
    struct Made {
        double x, y;
        DOCNODE* first;
        DOCNODE* last;
    };
    std::vector<Made> made;
    for (DOCNODE* n = ring;;) {
        double xs[2], ys[2];
        const int count = OffsetCorner(n->m_pPrev, n, n->m_pNext, side, distance, mayCut, false, xs, ys);
        DOCNODE* firstMade = nullptr;
        for (int i = 0; i < count; ++i) {
            Append(head, tail, NewNode(xs[i], ys[i], n));
            if (firstMade == nullptr)
                firstMade = tail;
        }
        made.push_back({n->m_x, n->m_y, firstMade, tail});
        n = n->m_pNext;
        if (n == ring)
            break;
    }
    CDocState::FreeNodeList(ring);
    tail->m_pNext = head;
    head->m_pPrev = tail;
    if (!curve)
        RemoveRingDuplicates(head);
    if (!mayCut) {
        // Control points are no points of the outline: a curve keeps its
        // offset nodes unless the offset turns it inside out (every edge
        // against its source, or the turning sense flipped). One whose
        // offset, flattened as it is cut, meets itself is offset as the
        // polyline it is cut as, and gives polylines.
        bool anyEdge = false, allAgainst = true;
        for (std::size_t i = 0; i < made.size(); ++i) {
            const Made& a = made[i];
            const Made& b = made[(i + 1) % made.size()];
            const double sx = b.x - a.x, sy = b.y - a.y;
            const double ox = b.first->m_x - a.last->m_x, oy = b.first->m_y - a.last->m_y;
            if (std::hypot(sx, sy) <= kRingDuplicateTol || std::hypot(ox, oy) <= kRingDuplicateTol)
                continue;
            anyEdge = true;
            if (sx * ox + sy * oy >= 0.0)
                allAgainst = false;
        }
        const bool insideOut = !anyEdge || allAgainst || PolylineOrientation(head) != o;
        DOCNODE* last = head->m_pPrev;
        last->m_pNext = nullptr;
        head->m_pPrev = nullptr;
        Append(head, last, NewNode(head->m_x, head->m_y, head));
        if (!insideOut && !FlattenedMeetsItself(head)) {
            k->m_pNodes = head;
            k->RecalcBoundRect(ctx);
            return k;
        }
        CDocState::FreeNodeList(head);
        delete k;
        if (insideOut)
            return nullptr;
        CDocDataLine flat(SamplePolyline(object->m_pNodes, kOutputFlattenTol), 1, ctx);
        flat.m_bClosed = 1;
        return OffsetContour(&flat, distance, outward, ctx);
    }
    // The raw ring is split where it meets itself; of its loops, the
    // outlines that run the source's way round and keep the distance are
    // the result (an inward offset across a neck gives an outline on either
    // side of it, one past the outline's middle none).
    std::vector<RingPoint> source;
    source.reserve(made.size());
    for (const Made& m : made)
        source.push_back({m.x, m.y, nullptr});
    std::vector<std::vector<RingPoint>> loops = plat::offset::CleanOffsetLoops(source, RingPointsOf(head), distance);
    CDocData* first = nullptr;
    CDocData* last = nullptr;
    for (std::size_t i = 0; i < loops.size(); ++i) {
        CDocData* piece = k;
        if (i > 0) {
            piece = CloneDocData(k, false);
            if (piece == nullptr)
                break;
            CDocState::FreeNodeList(piece->m_pNodes);
        }
        piece->m_pNodes = NodesOf(loops[i]);
        piece->RecalcBoundRect(ctx);
        AppendObject(first, last, piece);
    }
    CDocState::FreeNodeList(head);
    if (first == nullptr)
        delete k;
    return first;
}

bool CPathProc::IsOpenPathLeft(const CDocData* object)
{
    if (object == nullptr || object->m_pNodes == nullptr)
        return true;
    const DOCNODE* p0 = object->m_pNodes;
    const DOCNODE* pn = p0;
    while (pn->m_pNext != nullptr && pn->m_pNext != p0)
        pn = pn->m_pNext;
    double left = 0.0, right = 0.0;
    for (const DOCNODE* pi = p0->m_pNext; pi != nullptr && pi != pn; pi = pi->m_pNext) {
        const double dist = GeoPointLineDistance(p0->m_x, p0->m_y, pn->m_x, pn->m_y, pi->m_x, pi->m_y);
        const double c = (pi->m_x - p0->m_x) * (pi->m_y - pn->m_y) - (pi->m_y - p0->m_y) * (pi->m_x - pn->m_x);
        (c > 0.0 ? left : right) += dist;
    }
    return left <= right;
}

CDocData* CPathProc::OffsetOpenPath(CDocData* object, double distance, std::uint8_t side, std::uint32_t limit,
                                    DOCCONTEXT* ctx)
{
    if (object == nullptr)
        return nullptr;
    const bool curve = IsCurveType(object);
    CDocData* k;
    if (curve) {
        k = CloneDocData(object, false);
        if (k == nullptr)
            return nullptr;
    } else {
        k = new CDocDataLine(CopyPointList(object->m_pNodes), 1, ctx);
        k->m_bClosed = 0;
        RemoveNearNodes(k->m_pNodes);
        TrimAtEndNormals(k->m_pNodes, distance, kEndNormalFactor, side);
        CutShortLoops(k->m_pNodes, distance, kShortLoopFactor, limit);
        ExtendOrTrimEnds(k->m_pNodes, distance, 1.0, true);
    }
    DOCNODE* src = k->m_pNodes;
    if (src == nullptr || src->m_pNext == nullptr)
        return k; // nothing to move a single node along
    const bool left = side != 0;
    const bool mayCut = !HasControlNodes(src);
    DOCNODE* head = nullptr;
    DOCNODE* tail = nullptr;
    double x, y;
    GeoPerpendicularPoint(src->m_x, src->m_y, src->m_pNext->m_x, src->m_pNext->m_y, true, left, distance, x, y);
    Append(head, tail, NewNode(x, y, src));
    DOCNODE* n = src->m_pNext;
    for (; n->m_pNext != nullptr; n = n->m_pNext) {
        double xs[2], ys[2];
        const int made = OffsetCorner(n->m_pPrev, n, n->m_pNext, left, distance, mayCut, true, xs, ys);
        for (int i = 0; i < made; ++i)
            Append(head, tail, NewNode(xs[i], ys[i], n));
    }
    GeoPerpendicularPoint(n->m_pPrev->m_x, n->m_pPrev->m_y, n->m_x, n->m_y, false, left, distance, x, y);
    Append(head, tail, NewNode(x, y, n));
    CDocState::FreeNodeList(k->m_pNodes);
    k->m_pNodes = head;
    k->RecalcBoundRect(ctx);
    if (!curve) {
        CutSelfLoops(k->m_pNodes, limit);
        ExtendOrTrimEnds(k->m_pNodes, distance, 1.0, false);
        RemoveSpikes(k->m_pNodes, kSpikeTol);
        CutShortLoops(k->m_pNodes, distance, kShortLoopFactor, limit);
        k->RecalcBoundRect(ctx);
    }
    return k;
}

void CPathProc::OffsetSelection(DOCCONTEXT* ctx, double distance, std::uint8_t outward, std::uint8_t deleteSource)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    ctx->m_rcSelect = CGeoBox();
    CShowProcess progress;
    CDocState* tool = CurrentTool(ctx);
    progress.Start(tool != nullptr ? static_cast<std::int32_t>(tool->CountSelected(ctx)) : 0);
    CDocData*& list = ctx->m_pCurrent->m_pFirst;
    for (CDocData* o = list; o != nullptr;) {
        CDocData* next = o->m_pNext;
        if (o->IsSelected() == 0) {
            o = next;
            continue;
        }
        const std::uint32_t type = o->GetType();
        if (type == MT_BITMAP || type == MT_GROUP || type == MT_CHAR) {
            progress.Step();
            o = next;
            continue;
        }
        CDocData* prev = o->m_pPrev;
        o->m_pPrev = o->m_pNext = nullptr;
        CDocData* result;
        if (o->m_bClosed != 0) {
            result = OffsetContour(o, distance, outward, ctx);
        } else {
            const bool left = IsOpenPathLeft(o) != (outward != 0);
            result = OffsetOpenPath(o, distance, left ? 1 : 0, 100, ctx);
        }
        CDocData* first = o;
        CDocData* last = o;
        if (result != nullptr) {
            o->SetSelected(0);
            CDocData* resultLast = result;
            for (CDocData* r = result; r != nullptr; r = r->m_pNext) {
                r->m_nColor = o->m_nColor;
                r->m_nLayer = o->m_nLayer;
                r->m_bOutput = o->m_bOutput;
                r->SetSelected(1);
                r->m_bNodesSelected = 0;
                ctx->m_rcSelect.Union(r->GetBoundRect());
                resultLast = r;
            }
            if (deleteSource != 0) {
                delete o;
                first = result;
            } else {
                o->m_pNext = result;
                result->m_pPrev = o;
            }
            last = resultLast;
        }
        first->m_pPrev = prev;
        if (prev != nullptr)
            prev->m_pNext = first;
        else
            list = first;
        last->m_pNext = next;
        if (next != nullptr)
            next->m_pPrev = last;
        progress.Step();
        o = next;
    }
}
