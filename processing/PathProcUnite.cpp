#include "NeighbourMarks.h"
#include "PathProc.h"
#include "SpatialGrid.h"

#include "model/DocData.h"
#include "model/DocDataBezier.h"
#include "model/DocState.h"
#include "model/GeoFunctions.h"
#include "platform/LargeBlock.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>
#include <vector>

using plat::uniting::EndXY;
using plat::uniting::MarkPointsWithNeighbours;
using plat::uniting::PointSpread;
using plat::uniting::ScratchArray;

namespace {

constexpr double kMinTolerance = 1e-7;
constexpr double kJoinFactor = 10.0;       // join distance = tolerance x 10
constexpr double kCrossingSearchFactor = 10.0; // crossings are looked for within join distance x 10
constexpr std::uint32_t kNone = plat::SpatialGrid::kNone;

double Distance(const DOCNODE* a, const DOCNODE* b)
{
    return std::hypot(b->m_x - a->m_x, b->m_y - a->m_y);
}

double ListLength(const DOCNODE* head)
{
    double sum = 0.0;
    for (const DOCNODE* n = head; n != nullptr && n->m_pNext != nullptr; n = n->m_pNext)
        sum += Distance(n, n->m_pNext);
    return sum;
}

// The length of a list as ListLength sums it, or any value of at least
// `cap` when the list is longer: walked from the end given (backwards) or
// from the head (forwards) only until the cap is reached, so a joint at the
// end of a long joined curve costs what the joint needs, not the curve.
// A list shorter than the cap is summed again from its head, in ListLength's
// order, so the comparisons made with it come out exactly as with the whole
// sum.
double LengthUpTo(const DOCNODE* head, const DOCNODE* last, double cap)
{
    double sum = 0.0;
    if (last != nullptr) {
        for (const DOCNODE* n = last; n->m_pPrev != nullptr; n = n->m_pPrev) {
            sum += Distance(n->m_pPrev, n);
            if (sum >= cap)
                return sum;
        }
        return ListLength(head);
    }
    for (const DOCNODE* n = head; n != nullptr && n->m_pNext != nullptr; n = n->m_pNext) {
        sum += Distance(n, n->m_pNext);
        if (sum >= cap)
            return sum;
    }
    return sum;
}

bool IsPolyline(const CDocData* o) { return o->GetType() == MT_LINE; }
bool IsBezier(const CDocData* o) { return o->GetType() == MT_BEZIER; }

// Open curves that can be joined: the outline kinds, with an open list of at
// least two nodes and not closed.
bool IsCandidate(const CDocData* o)
{
    const std::uint32_t type = o->GetType();
    if (type < MT_LINE || type > MT_NURBS)
        return false;
    const DOCNODE* head = o->m_pNodes;
    return head != nullptr && head->m_pPrev == nullptr && head->m_pNext != nullptr && o->m_bClosed == 0;
}

// Segment crossing by the signs of the cross products, touching ends
// included.
bool SegmentsCross(const DOCNODE* a0, const DOCNODE* a1, const DOCNODE* b0, const DOCNODE* b1)
{
    auto cross = [](const DOCNODE* o, const DOCNODE* p, const DOCNODE* q) {
        return (p->m_x - o->m_x) * (q->m_y - o->m_y) - (p->m_y - o->m_y) * (q->m_x - o->m_x);
    };
    const double d1 = cross(a0, a1, b0);
    const double d2 = cross(a0, a1, b1);
    const double d3 = cross(b0, b1, a0);
    const double d4 = cross(b0, b1, a1);
    return d1 * d2 <= 0.0 && d3 * d4 <= 0.0;
}

// Cuts `length` off the end of an open list given by its last node: whole
// end segments that are not longer than what remains go, then the last node
// moves back by the rest. Returns the new last node.
DOCNODE* ShortenEnd(DOCNODE* last, double length)
{
    while (last->m_pPrev != nullptr && last->m_pPrev->m_pPrev != nullptr) {
        const double d = Distance(last->m_pPrev, last);
        if (d > length)
            break;
        length -= d;
        DOCNODE* prev = last->m_pPrev;
        prev->m_pNext = nullptr;
        delete last;
        last = prev;
    }
    if (last->m_pPrev != nullptr)
        GeoPointAlong(last->m_x, last->m_y, last->m_pPrev->m_x, last->m_pPrev->m_y, length, last->m_x,
                      last->m_y);
    return last;
}

// The same at the start of the list; returns the new head.
DOCNODE* ShortenStart(DOCNODE* head, double length)
{
    while (head->m_pNext != nullptr && head->m_pNext->m_pNext != nullptr) {
        const double d = Distance(head, head->m_pNext);
        if (d > length)
            break;
        length -= d;
        DOCNODE* next = head->m_pNext;
        next->m_pPrev = nullptr;
        delete head;
        head = next;
    }
    if (head->m_pNext != nullptr)
        GeoPointAlong(head->m_x, head->m_y, head->m_pNext->m_x, head->m_pNext->m_y, length, head->m_x,
                      head->m_y);
    return head;
}

// Joins b behind a's last node; returns a's new last node.
DOCNODE* AppendAfterEnd(CDocData* a, DOCNODE* aLast, CDocData* b)
{
    DOCNODE* head = b->m_pNodes;
    b->m_pNodes = nullptr;
    if (head != nullptr && IsBezier(a)) {
        // The joint anchor is a's own.
        DOCNODE* dropped = head;
        head = head->m_pNext;
        if (head != nullptr)
            head->m_pPrev = nullptr;
        delete dropped;
    }
    if (head == nullptr)
        return aLast;
    aLast->m_pNext = head;
    head->m_pPrev = aLast;
    return LastNode(head);
}

// Joins a's nodes behind b's last node; the joined list becomes a's.
void PrependBeforeStart(CDocData* a, CDocData* b)
{
    DOCNODE* aHead = a->m_pNodes;
    if (IsBezier(a) && aHead != nullptr) {
        // The joint anchor is b's.
        DOCNODE* dropped = aHead;
        aHead = aHead->m_pNext;
        if (aHead != nullptr)
            aHead->m_pPrev = nullptr;
        delete dropped;
    }
    DOCNODE* bHead = b->m_pNodes;
    b->m_pNodes = nullptr;
    if (bHead == nullptr) {
        a->m_pNodes = aHead;
        return;
    }
    DOCNODE* bLast = LastNode(bHead);
    bLast->m_pNext = aHead;
    if (aHead != nullptr)
        aHead->m_pPrev = bLast;
    a->m_pNodes = bHead;
}

// The length of the list last united: the next list is most often about as
// long (the same drawing again), so its arrays start at that size and are
// filled on the one walk that also counts the list.
std::atomic<std::size_t> g_lastListLength{0};
constexpr std::size_t kMinListRoom = 1024;

struct Piece {
    CDocData* object;
    DOCNODE* last;
};

} // namespace

void CPathProc::ReverseCurve(CDocData* object)
{
    if (object == nullptr)
        return;
    switch (object->GetType()) {
    case MT_LINE:
    case MT_RECT:
    case MT_ELLIPSE:
    case MT_BEZIER:
    case MT_NURBS:
    case MT_CHAR:
    case MT_GROUP:
        object->Reverse();
        break;
    default:
        break;
    }
}

void CPathProc::LineToBezier(CDocData*& list, DOCCONTEXT* ctx, std::uint8_t firstOnly)
{
    for (CDocData* o = list; o != nullptr;) {
        CDocData* next = o->m_pNext;
        if (IsPolyline(o)) {
            // Anchor, then for every further anchor: outgoing control on the
            // previous anchor, incoming control on this one, the anchor.
            DOCNODE* head = nullptr;
            DOCNODE* tail = nullptr;
            const DOCNODE* prev = nullptr;
            for (const DOCNODE* n = o->m_pNodes; n != nullptr;) {
                if (prev != nullptr) {
                    tail = AppendNode(tail, prev->m_x, prev->m_y, NODE_CONTROL_OUT);
                    tail = AppendNode(tail, n->m_x, n->m_y, NODE_CONTROL_IN);
                }
                tail = AppendNode(tail, n->m_x, n->m_y, NODE_ANCHOR, n->m_nSelect);
                if (head == nullptr)
                    head = tail;
                prev = n;
                n = n->m_pNext;
                if (n == o->m_pNodes)
                    break;
            }
            // Built without the node-list constructor's closing test: an
            // open polyline whose ends happen to meet (as a joined curve
            // may) stays open, with its end anchor where it was.
            CDocDataBezier* b = new CDocDataBezier;
            b->m_pNodes = head;
            b->m_bClosed = o->m_bClosed;
            b->RecalcBoundRect(ctx);
            b->m_nLayer = o->m_nLayer;
            b->m_nColor = o->m_nColor;
            b->m_bSelected = o->m_bSelected;
            b->m_bOutput = o->m_bOutput;
            b->m_pPrev = o->m_pPrev;
            b->m_pNext = o->m_pNext;
            if (b->m_pPrev != nullptr)
                b->m_pPrev->m_pNext = b;
            else
                list = b;
            if (b->m_pNext != nullptr)
                b->m_pNext->m_pPrev = b;
            o->m_pPrev = o->m_pNext = nullptr;
            delete o;
        }
        if (firstOnly != 0)
            break;
        o = next;
    }
}

void CPathProc::MatchCurveTypes(CDocData*& a, CDocData*& b, DOCCONTEXT* ctx)
{
    if (a == nullptr || b == nullptr)
        return;
    if (IsBezier(a) && IsPolyline(b))
        LineToBezier(b, ctx, 1);
    else if (IsPolyline(a) && IsBezier(b))
        LineToBezier(a, ctx, 1);
}

namespace {

// Both curves open lists of two or more nodes: the joints TrimJoint treats.
bool CanTrim(const CDocData* a, const CDocData* b)
{
    const DOCNODE* aHead = a->m_pNodes;
    const DOCNODE* bHead = b->m_pNodes;
    return aHead != nullptr && bHead != nullptr && aHead->m_pPrev == nullptr && bHead->m_pPrev == nullptr &&
           aHead->m_pNext != nullptr && bHead->m_pNext != nullptr;
}

// TrimJoint with a's last node known; returns a's last node afterwards.
// Neither curve is measured beyond what the limits below can tell apart
// (the reach, half the curve, twice t), so joining a long chain piece by
// piece stays linear.
DOCNODE* TrimJointAt(CDocData* a, DOCNODE* aLast, CDocData* b, double t)
{
    DOCNODE* aHead = a->m_pNodes;
    DOCNODE* bHead = b->m_pNodes;
    const double reach = t * kCrossingSearchFactor;
    // Beyond four times the larger limit a length only ever compares as
    // "long": half of it exceeds the reach and it exceeds 2t.
    const double cap = 4.0 * std::max(reach, t);
    const double la = LengthUpTo(aHead, aLast, cap);
    const double lb = LengthUpTo(bHead, nullptr, cap);

    // Crossing search near the joint: a's segments backwards from its end,
    // b's forwards from its start, each while the length walked before the
    // segment stays below half the curve and below the reach.
    double sumA = 0.0;
    for (DOCNODE* a1 = aLast; a1->m_pPrev != nullptr && sumA < la * 0.5 && sumA < reach; a1 = a1->m_pPrev) {
        DOCNODE* a0 = a1->m_pPrev;
        double sumB = 0.0;
        for (DOCNODE* b0 = bHead; b0->m_pNext != nullptr && sumB < lb * 0.5 && sumB < reach; b0 = b0->m_pNext) {
            DOCNODE* b1 = b0->m_pNext;
            double x = 0.0, y = 0.0;
            // Parallel segments have no cut point and are passed over.
            if (SegmentsCross(a0, a1, b0, b1) &&
                GeoLineIntersection(a0->m_x, a0->m_y, a1->m_x, a1->m_y, b0->m_x, b0->m_y, b1->m_x, b1->m_y, x,
                                    y) == 0) {
                a1->m_x = x;
                a1->m_y = y;
                DOCNODE* rest = a1->m_pNext;
                a1->m_pNext = nullptr;
                CDocState::FreeNodeList(rest);
                b0->m_x = x;
                b0->m_y = y;
                if (b0 != bHead) {
                    b0->m_pPrev->m_pNext = nullptr;
                    b0->m_pPrev = nullptr;
                    CDocState::FreeNodeList(bHead);
                    b->m_pNodes = b0;
                }
                return a1;
            }
            sumB += Distance(b0, b1);
        }
        sumA += Distance(a0, a1);
    }

    // No crossing: an end that turns back sharply at the joint is shortened
    // by t; b is judged at the joint as a's shortening left it.
    constexpr double kSharpTurn = std::numbers::pi / 2.0;
    if (t > 0.0 && la > 2.0 * t &&
        GeoTurnAngle(aLast->m_pPrev->m_x, aLast->m_pPrev->m_y, aLast->m_x, aLast->m_y, bHead->m_x, bHead->m_y) >
            kSharpTurn) {
        aLast = ShortenEnd(aLast, t);
    }
    const DOCNODE* b1 = bHead->m_pNext;
    if (t > 0.0 && lb > 2.0 * t &&
        GeoTurnAngle(aLast->m_x, aLast->m_y, bHead->m_x, bHead->m_y, b1->m_x, b1->m_y) > kSharpTurn)
        b->m_pNodes = ShortenStart(bHead, t);
    return aLast;
}

} // namespace

void CPathProc::TrimJoint(CDocData* a, CDocData* b, double t)
{
    if (a == nullptr || b == nullptr || !CanTrim(a, b))
        return;
    TrimJointAt(a, LastNode(a->m_pNodes), b, t);
}

void CPathProc::UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx)
{
    UniteCurves(list, tol, deleteCrossings, ctx, nullptr, nullptr);
}

void CPathProc::UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx,
                            const std::function<void(CDocData*)>& prepare)
{
    UniteCurves(list, tol, deleteCrossings, ctx, prepare, nullptr);
}

void CPathProc::UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx,
                            const std::vector<CDocData*>& objects)
{
    UniteCurves(list, tol, deleteCrossings, ctx, nullptr, &objects);
}

namespace {

// One uniting of a list: its objects addressed by their list place, with
// the last node of each candidate (a curve is untouched until its own turn
// comes, so the walk to its end is made once) and its ends as they were,
// and grids of the ends that may join. The list stays linked: an object
// joined into an earlier curve leaves it and its place empty, and most
// objects, which join nothing, are not touched again.
class UnitingRun {
public:
    UnitingRun(double join, std::uint8_t deleteCrossings, DOCCONTEXT* ctx);

    // Takes the given objects, or else the list's (each prepared first), and
    // files the ends that may join.
    void Gather(CDocData* list, const std::function<void(CDocData*)>& prepare, const std::vector<CDocData*>* objects);
    // Joins into each object in list order the later pieces its ends meet;
    // returns the list's head.
    CDocData* JoinAll(CDocData* head);

private:
    void Take(std::uint32_t i, CDocData* o, PointSpread& seen);
    // Object i joined with every piece its ends meet, out of the list while
    // it is joined (a change of its type makes a new object) and back in
    // after the object before it, which is earlier and so never joined
    // away.
    void JoinInto(std::uint32_t i, CDocData*& head);

    const double m_join;
    const std::uint8_t m_deleteCrossings;
    DOCCONTEXT* const m_ctx;
    std::size_t m_room;
    // With each object the last node of a candidate. (One array for both,
    // so that the call's scratch blocks stay few enough to be kept for the
    // next call.)
    ScratchArray<Piece> m_pieces;
    // The ends as they were: object k's start is point 2k, its end 2k + 1
    // (not a number for objects that are not candidates).
    ScratchArray<EndXY> m_endPoints;
    std::uint32_t m_count = 0;
    std::vector<std::uint8_t> m_mayJoin;
    plat::SpatialGrid m_starts;
    plat::SpatialGrid m_ends;
};

UnitingRun::UnitingRun(double join, std::uint8_t deleteCrossings, DOCCONTEXT* ctx)
    : m_join(join), m_deleteCrossings(deleteCrossings), m_ctx(ctx),
      m_room(std::max(g_lastListLength.load(std::memory_order_relaxed), kMinListRoom)), m_pieces(m_room),
      m_endPoints(2 * m_room), m_starts(join, 0), m_ends(join, 0)
{
}

void UnitingRun::Take(std::uint32_t i, CDocData* o, PointSpread& seen)
{
    constexpr double kNoEnd = std::numeric_limits<double>::quiet_NaN();
    Piece& piece = m_pieces[i];
    piece.object = o;
    if (IsCandidate(o)) {
        piece.last = LastNode(o->m_pNodes);
        m_endPoints[2 * i] = EndXY{o->m_pNodes->m_x, o->m_pNodes->m_y};
        m_endPoints[2 * i + 1] = EndXY{piece.last->m_x, piece.last->m_y};
        seen.Add(m_endPoints[2 * i]);
        seen.Add(m_endPoints[2 * i + 1]);
    } else {
        piece.last = nullptr;
        m_endPoints[2 * i] = m_endPoints[2 * i + 1] = EndXY{kNoEnd, kNoEnd};
    }
}

void UnitingRun::Gather(CDocData* list, const std::function<void(CDocData*)>& prepare,
                        const std::vector<CDocData*>* objects)
{
    PointSpread spread;
    std::uint32_t count = 0;
    if (objects != nullptr) {
        count = static_cast<std::uint32_t>(objects->size());
        m_pieces.Grow(count, 0);
        m_endPoints.Grow(2 * std::size_t{count}, 0);
        // Side by side in pieces: the walk to each object's last node reads
        // scattered memory (a tenth of a second for a million objects).
        constexpr std::uint32_t kPiece = 16384;
        std::vector<PointSpread> spreads((count + kPiece - 1) / kPiece);
        plat::ParallelFor(spreads.size(), [&](std::size_t k) {
            const std::uint32_t end = std::min(count, static_cast<std::uint32_t>((k + 1) * kPiece));
            for (std::uint32_t i = static_cast<std::uint32_t>(k * kPiece); i < end; ++i)
                Take(i, (*objects)[i], spreads[k]);
        });
        for (const PointSpread& piece : spreads)
            spread.Add(piece);
    } else {
        for (CDocData* o = list; o != nullptr; o = o->m_pNext, ++count) {
            if (count == m_room) {
                m_room *= 2;
                m_pieces.Grow(m_room, count);
                m_endPoints.Grow(2 * m_room, 2 * std::size_t{count});
            }
            if (prepare)
                prepare(o);
            Take(count, o, spread);
        }
    }
    m_count = count;
    g_lastListLength.store(count, std::memory_order_relaxed);
    // Most ends of a drawing either meet another end or lie alone; the
    // lonely ones are left out of the search.
    m_mayJoin = MarkPointsWithNeighbours(m_endPoints, 2 * count, spread, m_join);
    // The ends that may join, in cells of the join distance; a search
    // returns the earliest object in list order, so the result is the one a
    // walk through the list would find.
    for (std::uint32_t i = 0; i < count; ++i) {
        if (m_mayJoin[2 * i])
            m_starts.AddPoint(m_endPoints[2 * i].x, m_endPoints[2 * i].y, i);
        if (m_mayJoin[2 * i + 1])
            m_ends.AddPoint(m_endPoints[2 * i + 1].x, m_endPoints[2 * i + 1].y, i);
    }
    m_starts.Build();
    m_ends.Build();
}

CDocData* UnitingRun::JoinAll(CDocData* head)
{
    head->m_pPrev = nullptr;
    for (std::uint32_t i = 0; i < m_count; ++i) {
        // Joined into an earlier curve, or neither end near another:
        // nothing to join (the searches would all stop at once).
        if (m_pieces[i].object != nullptr && m_pieces[i].last != nullptr &&
            (m_mayJoin[2 * i] || m_mayJoin[2 * i + 1]))
            JoinInto(i, head);
    }
    if (head != nullptr)
        head->m_pPrev = nullptr;
    return head;
}

void UnitingRun::JoinInto(std::uint32_t i, CDocData*& head)
{
    CDocData* a = m_pieces[i].object;
    CDocData* const place = a->m_pPrev;
    UnlinkObject(head, a);
    const std::int32_t own = a->m_nLayer;
    auto isAlive = [&](std::uint32_t k) { return m_pieces[k].object != nullptr; };
    auto sameLayer = [&](std::uint32_t k) { return m_pieces[k].object->m_nLayer == own; };
    // Which former end of object j a curve's end now is, if any.
    auto endPointAt = [](const DOCNODE* n, std::uint32_t j, double sx, double sy, double ex, double ey) {
        if (n->m_x == ex && n->m_y == ey)
            return 2 * j + 1;
        if (n->m_x == sx && n->m_y == sy)
            return 2 * j;
        return kNone;
    };
    DOCNODE* aLast = m_pieces[i].last;
    std::uint32_t startPoint = 2 * i, endPoint = 2 * i + 1;
    bool joined = false;
    // Phases: 1 end-start, 2 end-end, 3 start-end, 4 start-start, each
    // until it finds nothing. A join moves an end to where an earlier phase
    // may now find a piece (a loop drawn in any order and direction), so the
    // phases go round again until four in a row have found nothing; a
    // further round follows a join, which keeps the work linear.
    for (int phase = 1, idle = 0; idle < 4; phase = phase % 4 + 1) {
        const bool atEnd = phase <= 2;
        plat::SpatialGrid& grid = (phase == 1 || phase == 4) ? m_starts : m_ends;
        for (;;) {
            const DOCNODE* q = atEnd ? aLast : a->m_pNodes;
            // A search from a lonely former end cannot find anything.
            const std::uint32_t point = atEnd ? endPoint : startPoint;
            if (point != kNone && !m_mayJoin[point])
                break;
            const std::uint32_t j = grid.FindEarliest(q->m_x, q->m_y, m_join, i, isAlive, sameLayer);
            if (j == kNone)
                break;
            CDocData* b = m_pieces[j].object;
            m_pieces[j].object = nullptr;
            UnlinkObject(head, b);
            const double sx = m_endPoints[2 * j].x, sy = m_endPoints[2 * j].y;
            const double ex = m_endPoints[2 * j + 1].x, ey = m_endPoints[2 * j + 1].y;
            CDocData* before = a;
            CPathProc::MatchCurveTypes(a, b, m_ctx);
            if (a != before)
                aLast = LastNode(a->m_pNodes);
            if (phase == 2 || phase == 4)
                CPathProc::ReverseCurve(b);
            if (atEnd) {
                if (m_deleteCrossings != 0 && IsPolyline(a) && CanTrim(a, b))
                    aLast = TrimJointAt(a, aLast, b, m_join);
                aLast = AppendAfterEnd(a, aLast, b);
                endPoint = endPointAt(aLast, j, sx, sy, ex, ey);
            } else {
                if (m_deleteCrossings != 0 && IsPolyline(a) && CanTrim(b, a))
                    TrimJointAt(b, LastNode(b->m_pNodes), a, m_join);
                PrependBeforeStart(a, b);
                startPoint = endPointAt(a->m_pNodes, j, sx, sy, ex, ey);
            }
            delete b;
            joined = true;
            idle = -1;
        }
        ++idle;
    }
    // The box depends on the final nodes only, so it is computed once after
    // the last join instead of after each.
    if (joined)
        a->RecalcBoundRect(m_ctx);
    m_pieces[i].object = a;
    LinkAfter(head, place, a, a);
}

} // namespace

void CPathProc::UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx,
                            const std::function<void(CDocData*)>& prepare, const std::vector<CDocData*>* objects)
{
    if (list == nullptr || !(tol >= kMinTolerance)) {
        if (prepare)
            for (CDocData* o = list; o != nullptr; o = o->m_pNext)
                prepare(o);
        return;
    }
    UnitingRun run(tol * kJoinFactor, deleteCrossings, ctx);
    run.Gather(list, prepare, objects);
    list = run.JoinAll(list);
}
