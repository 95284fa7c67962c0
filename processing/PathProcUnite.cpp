#include "PathProc.h"
#include "SpatialGrid.h"

#include "model/DocData.h"
#include "model/DocDataBezier.h"
#include "model/DocState.h"
#include "model/GeoFunctions.h"

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

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

// Cuts `length` off the end of an open list: whole end segments that are not
// longer than what remains go, then the last node moves back by the rest.
void ShortenEnd(DOCNODE* head, double length)
{
    DOCNODE* last = LastNode(head);
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

void CPathProc::TrimJoint(CDocData* a, CDocData* b, double t)
{
    if (a == nullptr || b == nullptr)
        return;
    DOCNODE* aHead = a->m_pNodes;
    DOCNODE* bHead = b->m_pNodes;
    if (aHead == nullptr || bHead == nullptr || aHead->m_pPrev != nullptr || bHead->m_pPrev != nullptr ||
        aHead->m_pNext == nullptr || bHead->m_pNext == nullptr)
        return;
    const double la = ListLength(aHead);
    const double lb = ListLength(bHead);
    const double reach = t * kCrossingSearchFactor;

    // Crossing search near the joint: a's segments backwards from its end,
    // b's forwards from its start, each while the length walked before the
    // segment stays below half the curve and below the reach.
    DOCNODE* aLast = LastNode(aHead);
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
                return;
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
        ShortenEnd(aHead, t);
        aLast = LastNode(aHead);
    }
    const DOCNODE* b1 = bHead->m_pNext;
    if (t > 0.0 && lb > 2.0 * t &&
        GeoTurnAngle(aLast->m_x, aLast->m_y, bHead->m_x, bHead->m_y, b1->m_x, b1->m_y) > kSharpTurn)
        b->m_pNodes = ShortenStart(bHead, t);
}

void CPathProc::UniteCurves(CDocData*& list, double tol, std::uint8_t deleteCrossings, DOCCONTEXT* ctx)
{
    if (list == nullptr || !(tol >= kMinTolerance))
        return;
    const double join = tol * kJoinFactor;

    // Take the whole list out; objects are addressed by their list place.
    std::vector<CDocData*> objects;
    for (CDocData* o = list; o != nullptr; o = o->m_pNext)
        objects.push_back(o);
    list = nullptr;
    const std::uint32_t count = static_cast<std::uint32_t>(objects.size());

    std::vector<std::uint8_t> alive(count, 1);
    std::vector<std::int32_t> layer(count, 0);
    // Last nodes of the candidates: a curve is untouched until its own turn
    // comes, so the walk to its end is made once.
    std::vector<DOCNODE*> lastNode(count, nullptr);
    // Curve ends of the objects still waiting to be treated, in cells of the
    // join distance; a search returns the earliest object in list order, so
    // the result is the one a walk through the list would find.
    plat::SpatialGrid starts(join, count);
    plat::SpatialGrid ends(join, count);
    for (std::uint32_t i = 0; i < count; ++i) {
        CDocData* o = objects[i];
        layer[i] = o->m_nLayer;
        if (IsCandidate(o)) {
            starts.AddPoint(o->m_pNodes->m_x, o->m_pNodes->m_y, i);
            lastNode[i] = LastNode(o->m_pNodes);
            ends.AddPoint(lastNode[i]->m_x, lastNode[i]->m_y, i);
        }
    }
    starts.Build();
    ends.Build();
    for (CDocData* o : objects)
        o->m_pPrev = o->m_pNext = nullptr;

    auto isAlive = [&](std::uint32_t k) { return alive[k] != 0; };

    CDocData* head = nullptr;
    CDocData* tail = nullptr;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (alive[i] == 0)
            continue; // joined into an earlier curve
        CDocData* a = objects[i];
        if (IsCandidate(a)) {
            const std::int32_t own = layer[i];
            auto sameLayer = [&](std::uint32_t k) { return layer[k] == own; };
            DOCNODE* aLast = lastNode[i];
            bool joined = false;
            // Phases: 1 end-start, 2 end-end, 3 start-end, 4 start-start.
            for (int phase = 1; phase <= 4; ++phase) {
                const bool atEnd = phase <= 2;
                plat::SpatialGrid& grid = (phase == 1 || phase == 4) ? starts : ends;
                for (;;) {
                    const DOCNODE* q = atEnd ? aLast : a->m_pNodes;
                    const std::uint32_t j = grid.FindEarliest(q->m_x, q->m_y, join, i, isAlive, sameLayer);
                    if (j == kNone)
                        break;
                    alive[j] = 0;
                    CDocData* b = objects[j];
                    objects[j] = nullptr;
                    CDocData* before = a;
                    MatchCurveTypes(a, b, ctx);
                    if (a != before)
                        aLast = LastNode(a->m_pNodes);
                    if (phase == 2 || phase == 4)
                        ReverseCurve(b);
                    if (atEnd) {
                        if (deleteCrossings != 0 && IsPolyline(a)) {
                            TrimJoint(a, b, join);
                            aLast = LastNode(a->m_pNodes);
                        }
                        aLast = AppendAfterEnd(a, aLast, b);
                    } else {
                        if (deleteCrossings != 0 && IsPolyline(a))
                            TrimJoint(b, a, join);
                        PrependBeforeStart(a, b);
                    }
                    delete b;
                    joined = true;
                }
            }
            // The box depends on the final nodes only, so it is computed once
            // after the last join instead of after each.
            if (joined)
                a->RecalcBoundRect(ctx);
            objects[i] = a;
        }
        a->m_pPrev = tail;
        if (tail != nullptr)
            tail->m_pNext = a;
        else
            head = a;
        tail = a;
    }
    list = head;
}
