#include "PathProc.h"

#include "model/CurveGeometry.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/GeoFunctions.h"
#include "settings/ShowProcess.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Smoothing merges only nodes that are the same point.
constexpr double kSmoothMergeTol = 1e-5;

// Fitting: nodes merged before and after, the shortest segment of a smooth
// run, the turns that count as smooth (degrees), the spline's order and the
// thinning of the spline's points.
constexpr double kFitMergeTol = 0.001;
constexpr double kFitFinalMergeTol = 0.01;
constexpr double kFitMinSegment = 2.0;
constexpr double kSmoothTurnMax = 65.0;
constexpr double kSmoothTurnMin = 1.0;
constexpr int kFitSplineOrder = 5;
constexpr double kFitReduceLength = 2.0;
constexpr double kFitReduceAngle = 80.0 * std::numbers::pi / 180.0;

struct Vec {
    double x;
    double y;
};

Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double f) { return {a.x * f, a.y * f}; }

// Squared distance from q to the segment a-b.
double SegmentDistance2(Vec a, Vec b, Vec q)
{
    const Vec d = b - a;
    const double len2 = d.x * d.x + d.y * d.y;
    double u = 0.0;
    if (len2 > 0.0)
        u = std::clamp(((q.x - a.x) * d.x + (q.y - a.y) * d.y) / len2, 0.0, 1.0);
    const double ex = q.x - (a.x + d.x * u), ey = q.y - (a.y + d.y * u);
    return ex * ex + ey * ey;
}

// Appends a node to an open list kept by head and tail.
void Append(DOCNODE*& head, DOCNODE*& tail, double x, double y)
{
    tail = AppendNode(tail, x, y);
    if (head == nullptr)
        head = tail;
}

// Links a list behind the tail of another one.
void Splice(DOCNODE*& head, DOCNODE*& tail, DOCNODE* piece)
{
    if (piece == nullptr)
        return;
    if (head == nullptr) {
        head = piece;
    } else {
        tail->m_pNext = piece;
        piece->m_pPrev = tail;
    }
    tail = LastNode(piece);
}

// A new node at the position of `n` put in front of the list.
void Prepend(DOCNODE*& head, const DOCNODE* n)
{
    auto* node = new DOCNODE;
    node->m_x = n->m_x;
    node->m_y = n->m_y;
    node->m_pNext = head;
    head->m_pPrev = node;
    head = node;
}

} // namespace

DOCNODE* CPathProc::SmoothPolyline(DOCNODE* nodes, std::int32_t steps, double tol)
{
    if (nodes == nullptr || steps < 1 || !(tol >= 0.0))
        return nullptr;
    RemoveDuplicatePoints(nodes, kSmoothMergeTol);
    // The walk stops at the end of the list, or back at its head on a ring.
    auto next = [nodes](const DOCNODE* n) -> const DOCNODE* {
        return n->m_pNext == nodes ? nullptr : n->m_pNext;
    };
    if (next(nodes) == nullptr || next(next(nodes)) == nullptr)
        return nullptr;

    const double tol2 = tol * tol;
    DOCNODE* head = nullptr;
    DOCNODE* tail = nullptr;
    const DOCNODE* before = nullptr; // P(i-1)
    Vec last{};
    for (const DOCNODE* pa = nodes; next(pa) != nullptr; before = pa, pa = next(pa)) {
        const DOCNODE* pb = next(pa);
        const DOCNODE* after = next(pb); // P(i+2)
        const Vec a{pa->m_x, pa->m_y}, b{pb->m_x, pb->m_y};
        const Vec d = b - a;
        Vec t0, t1;
        if (before == nullptr) {
            t1 = (Vec{after->m_x, after->m_y} - a) * 0.5;
            t0 = (d * 3.0 - t1) * 0.5;
        } else if (after == nullptr) {
            t0 = (b - Vec{before->m_x, before->m_y}) * 0.5;
            t1 = (d * 3.0 - t0) * 0.5;
        } else {
            t0 = (b - Vec{before->m_x, before->m_y}) * 0.5;
            t1 = (Vec{after->m_x, after->m_y} - a) * 0.5;
        }
        // Q(t) = A t^3 + B t^2 + T0 t + P.
        const Vec ca = t0 + t1 - d * 2.0;
        const Vec cb = d * 3.0 - t0 * 2.0 - t1;
        const double xmin = std::min(a.x, b.x) - tol, xmax = std::max(a.x, b.x) + tol;
        const double ymin = std::min(a.y, b.y) - tol, ymax = std::max(a.y, b.y) + tol;
        for (std::int32_t s = 0; s <= steps; ++s) {
            const double t = static_cast<double>(s) / steps;
            const Vec q = ((ca * t + cb) * t + t0) * t + a;
            if (xmin < q.x && q.x < xmax && ymin < q.y && q.y < ymax && SegmentDistance2(a, b, q) <= tol2)
                Append(head, tail, q.x, q.y);
        }
        last = b;
    }
    if (tail != nullptr) {
        tail->m_x = last.x;
        tail->m_y = last.y;
    }
    return head;
}

bool CPathProc::SmoothCurves(DOCCONTEXT* ctx, std::int32_t steps, double tol)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return false;
    ctx->m_rcSelect.SetEmpty();
    bool changed = false;
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0 || o->GetType() != MT_LINE)
            continue;
        DOCNODE* smooth = SmoothPolyline(o->m_pNodes, steps, tol);
        if (smooth == nullptr)
            continue;
        CDocState::FreeNodeList(o->m_pNodes);
        o->m_pNodes = smooth;
        o->RecalcBoundRect(ctx);
        ctx->m_rcSelect.Union(o->m_rcBound);
        changed = true;
    }
    return changed;
}

DOCNODE* CPathProc::TakeSmoothRun(DOCNODE*& list, double minLength, bool& found)
{
    found = false;
    if (list == nullptr)
        return nullptr;
    DOCNODE* n0 = list;
    DOCNODE* nk = n0;
    int k = 0;
    while (nk->m_pNext != nullptr && nk->m_pNext->m_pNext != nullptr) {
        const DOCNODE* a = nk->m_pNext;
        const DOCNODE* b = a->m_pNext;
        const double length = std::hypot(a->m_x - nk->m_x, a->m_y - nk->m_y);
        const double turn = GeoTurnAngle(nk->m_x, nk->m_y, a->m_x, a->m_y, b->m_x, b->m_y) * 180.0 / std::numbers::pi;
        if (turn > kSmoothTurnMax || turn < kSmoothTurnMin || length < minLength)
            break;
        nk = nk->m_pNext;
        ++k;
    }

    DOCNODE* run = n0;
    DOCNODE* tail = nullptr;
    if (nk->m_pNext == nullptr || nk->m_pNext->m_pNext == nullptr) {
        // Smooth to the end (or too short to turn): the whole rest is the run.
        list = nullptr;
        tail = LastNode(run);
        const DOCNODE* last = tail;
        Append(run, tail, last->m_x, last->m_y);
        Append(run, tail, last->m_x, last->m_y);
    } else {
        if (k < 2)
            return nullptr;
        // The run ends on N(k+1), which also starts the rest.
        DOCNODE* rest = nk->m_pNext;
        nk->m_pNext = nullptr;
        rest->m_pPrev = nullptr;
        list = rest;
        tail = nk;
        for (int i = 0; i < 3; ++i)
            Append(run, tail, rest->m_x, rest->m_y);
    }
    Prepend(run, n0);
    Prepend(run, n0);
    found = true;
    return run;
}

void CPathProc::FitPolyline(CDocData* object)
{
    if (object == nullptr || object->GetType() != MT_LINE)
        return;
    DOCNODE* list = object->m_pNodes;
    object->m_pNodes = nullptr;
    if (list != nullptr && list->m_pPrev != nullptr) {
        // A ring is fitted as the open walk from its head.
        list->m_pPrev->m_pNext = nullptr;
        list->m_pPrev = nullptr;
    }
    RemoveDuplicatePoints(list, kFitMergeTol);

    DOCNODE* head = nullptr;
    DOCNODE* tail = nullptr;
    while (list != nullptr) {
        bool found = false;
        DOCNODE* run = TakeSmoothRun(list, kFitMinSegment, found);
        DOCNODE* piece = nullptr;
        if (found) {
            piece = EvaluateSpline(run, kFitSplineOrder);
            if (piece != nullptr)
                ReduceNodesInList(piece, kFitReduceLength, kFitReduceAngle);
            else
                piece = CopyPointList(run);
            CDocState::FreeNodeList(run);
        } else {
            // A single straight segment: the first node and a copy of the
            // second, where the rest goes on.
            piece = list;
            DOCNODE* second = list->m_pNext;
            list = second;
            piece->m_pNext = nullptr;
            if (second != nullptr) {
                second->m_pPrev = nullptr;
                AppendNode(piece, second->m_x, second->m_y, second->m_nKind);
            }
        }
        Splice(head, tail, piece);
    }
    RemoveDuplicatePoints(head, kFitFinalMergeTol);
    object->m_pNodes = head;
}

void CPathProc::FitGroup(CDocData* group)
{
    if (group == nullptr)
        return;
    CDocData** children = group->ChildList();
    if (children == nullptr)
        return;
    for (CDocData* c = *children; c != nullptr; c = c->m_pNext) {
        const std::uint32_t type = c->GetType();
        if (type == MT_UNKNOWN || type == MT_POINT || type == MT_BITMAP)
            continue;
        if (type == MT_GROUP || type == MT_CHAR)
            FitGroup(c);
        else
            FitPolyline(c);
    }
}

void CPathProc::FitCurves(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    ctx->m_rcSelect.SetEmpty();
    CDocState base;
    CShowProcess progress;
    progress.Start(static_cast<std::int32_t>(CurrentToolOr(ctx, base).CountSelected(ctx)));
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0)
            continue;
        const std::uint32_t type = o->GetType();
        if (type == MT_GROUP || type == MT_CHAR)
            FitGroup(o);
        else
            FitPolyline(o);
        o->RecalcBoundRect(ctx);
        ctx->m_rcSelect.Union(o->m_rcBound);
        progress.Step();
    }
}
