#include "DocDataBezier.h"

#include "ArrayExplode.h"
#include "CurveGeometry.h"
#include "DocContext.h"
#include "DocDataLine.h"
#include "DocListNode.h"
#include "DocState.h"
#include "GeoFunctions.h"
#include "LeadInOut.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_set>

namespace {

// Flattening tolerance of the segment hit.
constexpr double kHitSegmentFlattenTol = 10.0;
// Parameter step of the curve hit and of the box sampling.
constexpr double kSampleStep = 0.1;
// Mirror lines of Flip run this far either side of the centre.
constexpr double kFlipLineHalf = 50.0;
// A lead angle folded by a horizontal flip below this goes round once more.
constexpr double kAngleWrapTol = -1e-5;
// Tolerance with which a lead start found on the flattened outline is put on
// the curve.
constexpr double kCurveStartTol = 0.1;

// End anchor of the segment that starts at n; null when n has fewer than
// three successors.
DOCNODE* SegmentEnd(const DOCNODE* n)
{
    if (n == nullptr || n->m_pNext == nullptr || n->m_pNext->m_pNext == nullptr)
        return nullptr;
    return n->m_pNext->m_pNext->m_pNext;
}

// A new four-node list holding the segment that starts at n.
DOCNODE* CopySegment(const DOCNODE* n)
{
    DOCNODE* head = nullptr;
    DOCNODE* tail = nullptr;
    for (int i = 0; i < 4 && n != nullptr; ++i, n = n->m_pNext) {
        tail = AppendNode(tail, n->m_x, n->m_y, n->m_nKind);
        if (head == nullptr)
            head = tail;
    }
    return head;
}

bool Within(const DOCNODE* n, double x, double y, double tol)
{
    return std::fabs(n->m_x - x) < tol && std::fabs(n->m_y - y) < tol;
}

// The point lies strictly inside the chord's box grown by tol and below tol
// from the chord's line.
bool NearChordStrict(const DOCNODE* a, const DOCNODE* b, double x, double y, double tol)
{
    return x > std::min(a->m_x, b->m_x) - tol && x < std::max(a->m_x, b->m_x) + tol &&
           y > std::min(a->m_y, b->m_y) - tol && y < std::max(a->m_y, b->m_y) + tol &&
           GeoPointLineDistance(a->m_x, a->m_y, b->m_x, b->m_y, x, y) < tol;
}

// The segment starting at n, flattened at flattenTol, has a chord near the
// point.
bool FlattenedSegmentNear(const DOCNODE* n, double x, double y, double tol, double flattenTol)
{
    DOCNODE* four = CopySegment(n);
    DOCNODE* flat = SamplePolyline(four, flattenTol);
    bool hit = false;
    for (const DOCNODE* p = flat; p != nullptr && p->m_pNext != nullptr && !hit; p = p->m_pNext)
        hit = NearChordStrict(p, p->m_pNext, x, y, tol);
    CDocState::FreeNodeList(flat);
    CDocState::FreeNodeList(four);
    return hit;
}

bool BoxGrownContains(double x0, double y0, double x1, double y1, double grow, double x, double y)
{
    return x >= std::min(x0, x1) - grow && x <= std::max(x0, x1) + grow && y >= std::min(y0, y1) - grow &&
           y <= std::max(y0, y1) + grow;
}

void Shift(DOCNODE& n, double dx, double dy)
{
    n.m_x += dx;
    n.m_y += dy;
}

void Reflect(double& x, double& y, double x1, double y1, double x2, double y2)
{
    double mx = x, my = y;
    GeoMirrorPoint(x, y, x1, y1, x2, y2, mx, my);
    x = mx;
    y = my;
}

plat::POINT ZoomPixel(const DOCNODE* n, double zoom)
{
    return plat::POINT{plat::RoundPixel(zoom * n->m_x), plat::RoundPixel(zoom * n->m_y)};
}

// Start placement for leads on a curve outline: the place is chosen on a
// polyline made of the flattened outline, then put on the curve itself by
// inserting a node there and starting the outline at it.
void PlaceCurveStartForLeads(DOCCONTEXT* ctx, CDocData* obj)
{
    if (obj == nullptr || obj->m_pLeadInOut == nullptr)
        return;
    DOCNODE* flat = obj->CopyNodes();
    if (flat == nullptr)
        return;
    CDocDataLine outline(flat, 1, ctx);
    outline.m_pLeadInOut = new LEADINOUT;
    CDocData::CopyLeadInOut(outline.m_pLeadInOut, obj->m_pLeadInOut);
    PlaceStartForLeads(ctx, &outline);
    const double x = outline.m_pNodes->m_x;
    const double y = outline.m_pNodes->m_y;
    obj->InsertNodeAt(x, y, kCurveStartTol);
    obj->SetStartPoint(x, y, kCurveStartTol);
}

// Curve outlines reach the lead start placement through this hook; it is
// set wherever the curve class is linked in.
const bool g_curveStartPlacerSet = (plat::SetCurveStartPlacer(&PlaceCurveStartForLeads), true);

} // namespace

CDocDataBezier::CDocDataBezier()
{
    m_nType = MT_BEZIER;
}

CDocDataBezier::CDocDataBezier(DOCNODE* nodes, bool adopt, DOCCONTEXT* ctx)
{
    m_nType = MT_BEZIER;
    m_pNodes = adopt ? nodes : CopyPointList(nodes);
    RecalcBoundRect(ctx);
    if (m_pNodes == nullptr)
        return;
    DOCNODE* last = LastNode(m_pNodes);
    if (std::fabs(last->m_x - m_pNodes->m_x) < kSamePointTol && std::fabs(last->m_y - m_pNodes->m_y) < kSamePointTol) {
        last->m_x = m_pNodes->m_x;
        last->m_y = m_pNodes->m_y;
        m_bClosed = 1;
    } else {
        m_bClosed = 0;
    }
}

CDocDataBezier::CDocDataBezier(const CDocDataBezier& source) : CDocData()
{
    m_nType = MT_BEZIER;
    CopyFrom(source);
}

CDocData* CDocDataBezier::Copy(const CDocData& source)
{
    // Checked: a type id can be set on an object of any class.
    const auto* bezier = dynamic_cast<const CDocDataBezier*>(&source);
    return bezier != nullptr ? new CDocDataBezier(*bezier) : nullptr;
}

bool CDocDataBezier::DeselectNodes()
{
    m_bNodesSelected = 0;
    for (DOCNODE* n = m_pNodes; n != nullptr; n = n->m_pNext)
        n->m_nSelect = NODE_UNSELECTED;
    return false;
}

bool CDocDataBezier::SelectInRect(const CGeoBox& box)
{
    if (m_bNodesSelected) {
        bool any = false;
        for (DOCNODE* n = m_pNodes; n != nullptr; n = n->m_pNext) {
            if (n->m_nKind != NODE_ANCHOR)
                continue;
            const bool inside = box.Contains(n->m_x, n->m_y);
            n->m_nSelect = inside ? NODE_ACTIVE : NODE_SELECTED;
            any = any || inside;
        }
        return any;
    }
    if (!m_rcBound.IsInside(box))
        return false;
    m_bNodesSelected = 1;
    for (DOCNODE* n = m_pNodes; n != nullptr; n = n->m_pNext)
        n->m_nSelect = NODE_SELECTED;
    return true;
}

std::uint8_t CDocDataBezier::SelectNodeAt(double x, double y, double tol, std::uint8_t state)
{
    const bool set = state < 255;
    const std::uint8_t anchorReset = state == NODE_ACTIVE ? NODE_SELECTED : NODE_UNSELECTED;
    std::uint8_t result = 0;
    bool hit = false;
    // The anchor that took the state with a hit incoming control. It alone
    // keeps it: the nodes after it are reset as usual, so a handle picked
    // before does not stay active beside the new one.
    const DOCNODE* keeper = nullptr;
    for (DOCNODE* n = m_pNodes; n != nullptr; n = n->m_pNext) {
        if (!hit && Within(n, x, y, tol)) {
            hit = true;
            result = n->m_nKind == NODE_ANCHOR ? 1 : n->m_nKind == NODE_CONTROL_IN ? 2 : 3;
            if (set) {
                n->m_nSelect = state;
                // Picking a control picks its anchor with it.
                if (n->m_nKind == NODE_CONTROL_IN && n->m_pNext != nullptr)
                    n->m_pNext->m_nSelect = state;
                else if (n->m_nKind == NODE_CONTROL_OUT && n->m_pPrev != nullptr)
                    n->m_pPrev->m_nSelect = state;
            }
            if (n->m_nKind == NODE_CONTROL_IN)
                keeper = n->m_pNext;
            continue;
        }
        if (!set || n == keeper)
            continue;
        n->m_nSelect = n->m_nKind == NODE_ANCHOR ? anchorReset : std::uint8_t{NODE_UNSELECTED};
    }
    if (set && m_bClosed && m_pNodes != nullptr)
        LastNode(m_pNodes)->m_nSelect = m_pNodes->m_nSelect;
    return result;
}

bool CDocDataBezier::HitFlattenedSegment(double x, double y, double tol, std::uint8_t state, double flattenTol)
{
    for (DOCNODE* n = m_pNodes; n != nullptr;) {
        DOCNODE* end = SegmentEnd(n);
        if (end == nullptr)
            break;
        if (FlattenedSegmentNear(n, x, y, tol, flattenTol)) {
            if (state < 255) {
                n->m_nSelect = state;
                end->m_nSelect = state;
                // Keep the closing node in step with the first.
                if (m_bClosed) {
                    if (end->m_pNext == nullptr)
                        m_pNodes->m_nSelect = state;
                    if (n == m_pNodes)
                        LastNode(m_pNodes)->m_nSelect = state;
                }
            }
            return true;
        }
        n = end;
    }
    return false;
}

bool CDocDataBezier::HitSegment(double x, double y, double tol, std::uint8_t state)
{
    return HitFlattenedSegment(x, y, tol, state, kHitSegmentFlattenTol);
}

bool CDocDataBezier::UnionSelectedNodesRect(CGeoBox& box, bool withNeighbours, bool reset)
{
    if (reset)
        box.SetEmpty();
    bool any = false;
    auto add = [&box](const DOCNODE* n) { box.AddPoint(CGeoPoint(n->m_x, n->m_y)); };
    for (const DOCNODE* n = m_pNodes; n != nullptr; n = n->m_pNext) {
        if (n->m_nKind != NODE_ANCHOR || n->m_nSelect == NODE_UNSELECTED)
            continue;
        add(n);
        any = true;
        if (!withNeighbours || n->m_nSelect != NODE_ACTIVE)
            continue;
        // The area that changes when this anchor moves.
        const DOCNODE* p = n->m_pPrev;
        for (int i = 0; i < 3 && p != nullptr; ++i, p = p->m_pPrev)
            add(p);
        const DOCNODE* q = n->m_pNext;
        for (int i = 0; i < 3 && q != nullptr; ++i, q = q->m_pNext)
            add(q);
    }
    return any;
}

bool CDocDataBezier::HitSampledSegments(double x, double y, double tol, double boxGrowth) const
{
    for (const DOCNODE* n = m_pNodes; n != nullptr;) {
        const DOCNODE* end = SegmentEnd(n);
        if (end == nullptr)
            break;
        const DOCNODE* c1 = n->m_pNext;
        const DOCNODE* c2 = c1->m_pNext;
        const double xmin = std::min({n->m_x, c1->m_x, c2->m_x, end->m_x});
        const double xmax = std::max({n->m_x, c1->m_x, c2->m_x, end->m_x});
        const double ymin = std::min({n->m_y, c1->m_y, c2->m_y, end->m_y});
        const double ymax = std::max({n->m_y, c1->m_y, c2->m_y, end->m_y});
        if (BoxGrownContains(xmin, ymin, xmax, ymax, boxGrowth, x, y)) {
            CGeoBox unused;
            DOCNODE* samples = SampleBezierByStep(n, kSampleStep, false, unused);
            bool hit = false;
            for (const DOCNODE* a = samples; a != nullptr && a->m_pNext != nullptr && !hit; a = a->m_pNext) {
                const DOCNODE* b = a->m_pNext;
                hit = BoxGrownContains(a->m_x, a->m_y, b->m_x, b->m_y, boxGrowth, x, y) &&
                      GeoPointLineDistance(a->m_x, a->m_y, b->m_x, b->m_y, x, y) < tol;
            }
            CDocState::FreeNodeList(samples);
            if (hit)
                return true;
        }
        n = end;
    }
    return false;
}

bool CDocDataBezier::HitTest(double x, double y, double tol)
{
    return HitSampledSegments(x, y, tol, tol);
}

void CDocDataBezier::RecalcBoundRect(DOCCONTEXT* ctx)
{
    CGeoBox samples;
    if (!SampleBezierStepBounds(m_pNodes, kSampleStep, samples)) {
        // No segment to sample: the nodes themselves.
        CDocData::RecalcBoundRect(ctx);
        return;
    }
    // Two corners of the samples' bounds stand in for the nodes while the
    // base body takes their box and adds the array copies: the same box as
    // over every sample, without a list of them on each node drag.
    DOCNODE corners[2];
    corners[0].m_x = samples.m_xmin;
    corners[0].m_y = samples.m_ymin;
    corners[1].m_x = samples.m_xmax;
    corners[1].m_y = samples.m_ymax;
    corners[0].m_pNext = &corners[1];
    corners[1].m_pPrev = &corners[0];
    DOCNODE* nodes = m_pNodes;
    m_pNodes = corners;
    CDocData::RecalcBoundRect(ctx);
    m_pNodes = nodes;
}

CGeoBox CDocDataBezier::GetAnchorRect()
{
    if (m_pNodes == nullptr)
        return CGeoBox();
    CGeoBox box;
    DOCNODE* samples = SampleBezierByStep(m_pNodes, kSampleStep, true, box);
    CDocState::FreeNodeList(samples);
    return box;
}

bool CDocDataBezier::Reverse()
{
    if (m_pNodes == nullptr)
        return false;
    m_pNodes = ReverseBezierList(m_pNodes);
    return true;
}

bool CDocDataBezier::MoveClosedStart(double x, double y, double tol)
{
    if (m_pNodes == nullptr)
        return false;
    DOCNODE* found = nullptr;
    for (DOCNODE* n = m_pNodes->m_pNext; n != nullptr && n->m_pNext != nullptr; n = n->m_pNext) {
        if (n->m_nKind == NODE_ANCHOR && Within(n, x, y, tol)) {
            found = n;
            break;
        }
    }
    if (found == nullptr)
        return false;
    // Drop the closing node, join the ends into a ring and open it again in
    // front of the new start, which a new closing node repeats.
    DOCNODE* closing = LastNode(m_pNodes);
    DOCNODE* beforeClosing = closing->m_pPrev;
    delete closing;
    beforeClosing->m_pNext = m_pNodes;
    m_pNodes->m_pPrev = beforeClosing;
    DOCNODE* newLast = found->m_pPrev;
    newLast->m_pNext = nullptr;
    found->m_pPrev = nullptr;
    m_pNodes = found;
    AppendNode(newLast, found->m_x, found->m_y, NODE_ANCHOR, NODE_UNSELECTED);
    return true;
}

bool CDocDataBezier::SetStartPoint(double x, double y, double tol)
{
    if (m_pNodes == nullptr)
        return false;
    if (m_bClosed)
        return MoveClosedStart(x, y, tol);
    if (!Within(LastNode(m_pNodes), x, y, tol))
        return false;
    Reverse();
    return true;
}

bool CDocDataBezier::Close()
{
    if (m_bClosed || m_pNodes == nullptr)
        return false;
    DOCNODE* first = m_pNodes;
    DOCNODE* last = LastNode(first);
    if (Within(last, first->m_x, first->m_y, kSamePointTol)) {
        last->m_x = first->m_x;
        last->m_y = first->m_y;
    } else {
        // The closing segment leaves and enters tangentially: each control
        // mirrors the neighbouring node through its anchor.
        const DOCNODE* beforeLast = last->m_pPrev;
        const DOCNODE* afterFirst = first->m_pNext;
        DOCNODE* out = AppendNode(last, 2.0 * last->m_x - beforeLast->m_x, 2.0 * last->m_y - beforeLast->m_y,
                                  NODE_CONTROL_OUT);
        DOCNODE* in = AppendNode(out, 2.0 * first->m_x - afterFirst->m_x, 2.0 * first->m_y - afterFirst->m_y,
                                 NODE_CONTROL_IN);
        AppendNode(in, first->m_x, first->m_y, NODE_ANCHOR);
    }
    m_bClosed = 1;
    return true;
}

PATHREC* CDocDataBezier::MakeOutputPath()
{
    // The curve goes out flattened; its brackets keep sub-kind 0.
    return CDocDataLine::MakeOutputPathOfPoints(*this, SamplePolyline(m_pNodes, kOutputFlattenTol), 0);
}

DOCNODE* CDocDataBezier::CopyNodes()
{
    return SamplePolyline(m_pNodes, kOutputFlattenTol);
}

void CDocDataBezier::DrawShifted(CDC* dc, const DOCCONTEXT* ctx, double ox, double oy, bool endGapCross) const
{
    auto client = [&](double x, double y) {
        CGeoPoint out;
        ctx->WorldToClientPoint(CGeoPoint(x + ox, y + oy), out);
        return out;
    };
    auto pixel = [](const CGeoPoint& p) { return plat::POINT{plat::RoundPixel(p.m_x), plat::RoundPixel(p.m_y)}; };
    auto line = [&](const CGeoPoint& a, const CGeoPoint& b) {
        DrawArrowHead(dc, a.m_x, a.m_y, b.m_x, b.m_y);
        const plat::POINT pa = pixel(a), pb = pixel(b);
        dc->MoveTo(pa.x, pa.y);
        dc->LineTo(pb.x, pb.y);
    };
    const LEADINOUT* lead = m_pLeadInOut;
    if (LeadShownOn(lead, m_pNodes, true))
        line(client(lead->m_dInX, lead->m_dInY), client(m_pNodes->m_x, m_pNodes->m_y));
    for (const DOCNODE* n = m_pNodes; n != nullptr;) {
        const DOCNODE* end = SegmentEnd(n);
        if (end == nullptr)
            break;
        const plat::POINT pts[4] = {pixel(client(n->m_x, n->m_y)), pixel(client(n->m_pNext->m_x, n->m_pNext->m_y)),
                                    pixel(client(n->m_pNext->m_pNext->m_x, n->m_pNext->m_pNext->m_y)),
                                    pixel(client(end->m_x, end->m_y))};
        dc->PolyBezier(pts, 4);
        n = end;
    }
    if (LeadShownOn(lead, m_pNodes, false)) {
        const DOCNODE* last = LastNode(m_pNodes);
        line(client(last->m_x, last->m_y), client(lead->m_dOutX, lead->m_dOutY));
    }
    if (endGapCross && m_pEndGap != nullptr && m_pEndGap->m_bOn) {
        DrawEndGapCross(dc, pixel(client(m_pEndGap->m_dMarkX, m_pEndGap->m_dMarkY)));
    }
}

void CDocDataBezier::DrawCopies(CDC* dc, const DOCCONTEXT* ctx, const ARRAYREC& array, const plat::Pen& pen,
                                bool endGapCross) const
{
    plat::ScopedPen scoped(*dc, pen);
    ForEachArrayOffset(array, [&](double dx, double dy) { DrawShifted(dc, ctx, dx, dy, endGapCross); });
}

void CDocDataBezier::DrawOutlineAndCopies(CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr || m_pNodes == nullptr)
        return;
    DrawArrayPreview(dc, ctx, m_pArray);
    {
        plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 0, m_nColor});
        DrawShifted(dc, ctx, 0.0, 0.0, true);
    }
    DrawArrayCopies(dc, ctx);
}

void CDocDataBezier::Draw(CDC* dc, DOCCONTEXT* ctx)
{
    DrawOutlineAndCopies(dc, ctx);
}

void CDocDataBezier::DrawArrayPreview(CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array)
{
    if (dc == nullptr || ctx == nullptr || array == nullptr || m_pNodes == nullptr)
        return;
    DrawCopies(dc, ctx, *array, plat::Pen{plat::PS_DOT, 0, m_nColor}, true);
}

void CDocDataBezier::DrawArrayCopies(CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr || m_pNodes == nullptr || m_rcBound.IsEmpty() || ctx->m_pCurrent == nullptr ||
        ctx->m_pCurrent->m_pArray == nullptr)
        return;
    const ARRAYREC& array = *ctx->m_pCurrent->m_pArray;
    // A single column of several rows is an array too.
    if (!(array.m_nRows > 1 || array.m_nCols > 1))
        return;
    DrawCopies(dc, ctx, array, plat::Pen{plat::PS_SOLID, 0, m_nColor}, false);
}

void CDocDataBezier::DrawAnchorMarks(CDC* dc, DOCCONTEXT* ctx, bool handles) const
{
    if (dc == nullptr || ctx == nullptr || m_pNodes == nullptr || !m_bNodesSelected)
        return;
    auto pixel = [ctx](const DOCNODE* n) { return ctx->WorldToClientPixel(n->m_x, n->m_y); };
    auto handle = [&](const DOCNODE* control, const DOCNODE* anchor) {
        const plat::POINT c = pixel(control), a = pixel(anchor);
        dc->MoveTo(c.x, c.y);
        dc->LineTo(a.x, a.y);
        dc->FillRect(plat::RECT{c.x - 2, c.y - 2, c.x + 2, c.y + 2}, 0x000000);
    };
    for (const DOCNODE* n = m_pNodes; n != nullptr; n = n->m_pNext) {
        if (n->m_nKind != NODE_ANCHOR || n->m_nSelect == NODE_UNSELECTED)
            continue;
        const plat::POINT p = pixel(n);
        if (n->m_nSelect == NODE_SELECTED) {
            plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 0, m_nColor});
            DrawNodeSquare(dc, p, 2, 0);
            continue;
        }
        if (handles && n->m_nSelect != NODE_ACTIVE)
            continue;
        {
            plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 2, m_nColor});
            DrawNodeSquare(dc, p, 3, 1);
        }
        if (!handles)
            continue;
        // The handles of the two segments that meet at the active anchor.
        plat::ScopedPen pen(*dc, plat::Pen{plat::PS_DOT, 0, m_nColor});
        if (const DOCNODE* in = n->m_pPrev) {
            handle(in, n);
            const DOCNODE* prevOut = in->m_pPrev;
            if (prevOut != nullptr && prevOut->m_pPrev != nullptr)
                handle(prevOut, prevOut->m_pPrev);
        }
        if (const DOCNODE* out = n->m_pNext) {
            handle(out, n);
            const DOCNODE* nextIn = out->m_pNext;
            if (nextIn != nullptr && nextIn->m_pNext != nullptr)
                handle(nextIn, nextIn->m_pNext);
        }
    }
}

void CDocDataBezier::DrawNodes(CDC* dc, DOCCONTEXT* ctx)
{
    DrawAnchorMarks(dc, ctx, true);
}

void CDocDataBezier::DrawDirectionArrow(CDC* dc, DOCCONTEXT* ctx, const DOCNODE* p, const DOCNODE* q) const
{
    CGeoPoint cp, cq;
    ctx->WorldToClientPoint(CGeoPoint(p->m_x, p->m_y), cp);
    ctx->WorldToClientPoint(CGeoPoint(q->m_x, q->m_y), cq);
    const double length = std::hypot(cq.m_x - cp.m_x, cq.m_y - cp.m_y);
    double tx = cp.m_x, ty = cp.m_y;
    GeoPointAlong(cp.m_x, cp.m_y, cq.m_x, cq.m_y, std::min(0.66 * length, 1.0), tx, ty);
    double bx = tx, by = ty;
    GeoPointAlong(tx, ty, cp.m_x, cp.m_y, 8.0, bx, by);
    double w1x = bx, w1y = by, w2x = bx, w2y = by;
    GeoRotatePoint(tx, ty, bx, by, std::numbers::pi / 6.0, w1x, w1y);
    GeoRotatePoint(tx, ty, bx, by, -std::numbers::pi / 6.0, w2x, w2y);
    plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 0, m_nColor});
    dc->MoveTo(plat::RoundPixel(w1x), plat::RoundPixel(w1y));
    dc->LineTo(plat::RoundPixel(tx), plat::RoundPixel(ty));
    dc->LineTo(plat::RoundPixel(w2x), plat::RoundPixel(w2y));
}

void CDocDataBezier::DrawDirection(CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr || m_pNodes == nullptr)
        return;
    // At the second anchor when there is a second segment, else at the first.
    const DOCNODE* p = m_pNodes;
    const DOCNODE* firstEnd = SegmentEnd(m_pNodes);
    if (firstEnd != nullptr && SegmentEnd(firstEnd) != nullptr)
        p = firstEnd;
    const DOCNODE* q = p->m_pNext != nullptr ? p->m_pNext->m_pNext : nullptr;
    if (q == nullptr)
        return;
    DrawDirectionArrow(dc, ctx, p, q);
}

void CDocDataBezier::DrawXorCopy(DOCCONTEXT* ctx, CDC* dc, DOCNODE*& copy, const plat::Pen& pen)
{
    if (dc != nullptr) {
        plat::ScopedPen scoped(*dc, pen, plat::R2_XORPEN);
        DrawBezierNodes(copy, dc, ctx != nullptr ? ctx->m_dZoom : 1.0);
    }
    CDocState::FreeNodeList(copy);
}

void CDocDataBezier::DrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to)
{
    DOCNODE* copy = CopyPointList(m_pNodes);
    for (DOCNODE* n = copy; n != nullptr; n = n->m_pNext)
        Shift(*n, to.m_x - from.m_x, to.m_y - from.m_y);
    DrawXorCopy(ctx, dc, copy, PreviewPen(ctx));
}

void CDocDataBezier::DrawScalePreview(DOCCONTEXT* ctx, CDC* dc, double cx, double cy, double sx, double sy)
{
    DOCNODE* copy = CopyPointList(m_pNodes);
    for (DOCNODE* n = copy; n != nullptr; n = n->m_pNext) {
        n->m_x = (n->m_x - cx) * sx + cx;
        n->m_y = (n->m_y - cy) * sy + cy;
    }
    DrawXorCopy(ctx, dc, copy, PreviewPen(ctx));
}

void CDocDataBezier::DrawSkewPreview(DOCCONTEXT* ctx, CDC* dc, double factor, double from, double to, int direction)
{
    DOCNODE* copy = CopyPointList(m_pNodes);
    SkewNodeList(copy, factor, from, to, direction);
    DrawXorCopy(ctx, dc, copy, PreviewPen(ctx));
}

void CDocDataBezier::DrawRotatePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& centre, const CGeoPoint& from,
                                       const CGeoPoint& to)
{
    const double angle = RotationAngleOf3Points(centre, from, to);
    DOCNODE* copy = CopyPointList(m_pNodes);
    for (DOCNODE* n = copy; n != nullptr; n = n->m_pNext) {
        double rx = n->m_x, ry = n->m_y;
        GeoRotatePoint(centre.m_x, centre.m_y, n->m_x, n->m_y, angle, rx, ry);
        n->m_x = rx;
        n->m_y = ry;
    }
    DrawXorCopy(ctx, dc, copy, PreviewPen(ctx));
}

void CDocDataBezier::DrawMirrorPreview(DOCCONTEXT* ctx, CDC* dc, double x1, double y1, double x2, double y2)
{
    DOCNODE* copy = CopyPointList(m_pNodes);
    for (DOCNODE* n = copy; n != nullptr; n = n->m_pNext)
        Reflect(n->m_x, n->m_y, x1, y1, x2, y2);
    DrawXorCopy(ctx, dc, copy, PreviewPen(ctx));
}

void CDocDataBezier::MoveNodesOfList(DOCNODE* head, bool closed, double dx, double dy, int mode,
                                     std::vector<std::pair<DOCNODE*, DOCNODE*>>* handles)
{
    if (mode == 1 || mode == 3) {
        // A node moves when it is an active anchor or next to one. Each node
        // is looked at once, so a node between two active anchors moves once,
        // in time linear in the length of the list.
        // Decided on the states alone, which the shifting leaves as they are.
        auto activeAnchor = [](const DOCNODE* n) {
            return n != nullptr && n->m_nKind == NODE_ANCHOR && n->m_nSelect == NODE_ACTIVE;
        };
        for (DOCNODE* n = head; n != nullptr; n = n->m_pNext) {
            const bool active = activeAnchor(n);
            if (handles != nullptr && active) {
                if (n->m_pPrev != nullptr && n->m_pPrev->m_nKind != NODE_ANCHOR)
                    handles->emplace_back(n->m_pPrev, n);
                if (n->m_pNext != nullptr && n->m_pNext->m_nKind != NODE_ANCHOR)
                    handles->emplace_back(n->m_pNext, n);
            }
            if (active || activeAnchor(n->m_pPrev) || activeAnchor(n->m_pNext))
                Shift(*n, dx, dy);
        }
        return;
    }
    if (mode != 2)
        return;
    DOCNODE* last = head != nullptr ? LastNode(head) : nullptr;
    // Every handle moves at most once: an active handle that was already
    // turned as the opposite of an earlier one stays where that put it, and
    // a handle already moved is not turned again as an opposite.
    std::unordered_set<const DOCNODE*> moved;
    for (DOCNODE* n = head; n != nullptr; n = n->m_pNext) {
        if (n->m_nKind == NODE_ANCHOR || n->m_nSelect != NODE_ACTIVE)
            continue;
        n->m_nSelect = NODE_UNSELECTED;
        if (!moved.insert(n).second)
            continue;
        Shift(*n, dx, dy);
        // The opposite control turns the other way, so the tangent stays
        // straight through the anchor; at the ends of a closed path it lies
        // across the closing node.
        DOCNODE* anchor = nullptr;
        DOCNODE* opposite = nullptr;
        if (n->m_nKind == NODE_CONTROL_IN) {
            anchor = n->m_pNext;
            opposite = anchor != nullptr ? anchor->m_pNext : nullptr;
            if (opposite == nullptr && closed && anchor != nullptr)
                opposite = head->m_pNext;
        } else {
            anchor = n->m_pPrev;
            opposite = anchor != nullptr ? anchor->m_pPrev : nullptr;
            if (opposite == nullptr && closed && anchor != nullptr && last != nullptr)
                opposite = last->m_pPrev;
        }
        if (opposite != nullptr && (opposite->m_nKind == NODE_ANCHOR || opposite == n))
            opposite = nullptr;
        if (opposite != nullptr && !moved.insert(opposite).second)
            opposite = nullptr;
        if (opposite != nullptr)
            Shift(*opposite, -dx, -dy);
        if (handles != nullptr && anchor != nullptr) {
            handles->emplace_back(n, anchor);
            if (opposite != nullptr)
                handles->emplace_back(opposite, opposite->m_nKind == NODE_CONTROL_IN ? opposite->m_pNext
                                                                                     : opposite->m_pPrev);
        }
    }
}

void CDocDataBezier::DrawHandles(CDC* dc, double zoom, const std::vector<std::pair<DOCNODE*, DOCNODE*>>& handles)
{
    for (const auto& [control, anchor] : handles) {
        if (control == nullptr || anchor == nullptr)
            continue;
        const plat::POINT c = ZoomPixel(control, zoom), a = ZoomPixel(anchor, zoom);
        dc->MoveTo(c.x, c.y);
        dc->LineTo(a.x, a.y);
        dc->Rectangle(c.x - 2, c.y - 2, c.x + 2, c.y + 2);
    }
}

void CDocDataBezier::RefreshLeadsAndGap(DOCCONTEXT* ctx)
{
    if (m_pLeadInOut != nullptr)
        ApplyLeadInOut(ctx, this);
    if (m_pEndGap != nullptr)
        SetEndGap(this, m_pEndGap->m_dGap, m_pEndGap->m_bOn);
}

void CDocDataBezier::MoveSelectedNodes(const CGeoPoint& from, const CGeoPoint& to, int mode, DOCCONTEXT* ctx)
{
    MoveNodesOfList(m_pNodes, m_bClosed != 0, to.m_x - from.m_x, to.m_y - from.m_y, mode, nullptr);
    RecalcBoundRect(ctx);
    RefreshLeadsAndGap(ctx);
}

void CDocDataBezier::DrawNodeMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to,
                                         int mode)
{
    if (dc == nullptr)
        return;
    DOCNODE* copy = CopyPointList(m_pNodes);
    std::vector<std::pair<DOCNODE*, DOCNODE*>> handles;
    MoveNodesOfList(copy, m_bClosed != 0, to.m_x - from.m_x, to.m_y - from.m_y, mode, &handles);
    const plat::Pen pen{plat::PS_DOT, 1, m_nColor};
    {
        plat::ScopedPen scoped(*dc, pen, plat::R2_XORPEN);
        DrawHandles(dc, ctx != nullptr ? ctx->m_dZoom : 1.0, handles);
    }
    DrawXorCopy(ctx, dc, copy, pen);
}

CDocData* CDocDataBezier::MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                                      DOCCONTEXT* ctx)
{
    return SharedMirrorNodes(x1, y1, x2, y2, asCopy, reverse, ctx);
}

void CDocDataBezier::Flip(const CGeoPoint& centre, bool horizontal, bool vertical, DOCCONTEXT* ctx)
{
    const double cx = centre.m_x, cy = centre.m_y;
    // Horizontal: across the vertical line through the centre; vertical:
    // across the horizontal line. Applied in that order.
    auto reflect = [&](double& x, double& y) {
        if (horizontal)
            Reflect(x, y, cx, cy - kFlipLineHalf, cx, cy + kFlipLineHalf);
        if (vertical)
            Reflect(x, y, cx - kFlipLineHalf, cy, cx + kFlipLineHalf, cy);
    };
    for (DOCNODE* n = m_pNodes; n != nullptr; n = n->m_pNext)
        reflect(n->m_x, n->m_y);
    if (LEADINOUT* lead = m_pLeadInOut) {
        auto flipLead = [&](bool on, double& x, double& y, double& angle) {
            if (!on)
                return;
            if (horizontal) {
                Reflect(x, y, cx, cy - kFlipLineHalf, cx, cy + kFlipLineHalf);
                angle = 180.0 - angle;
                if (angle < kAngleWrapTol)
                    angle += 360.0;
            }
            if (vertical) {
                Reflect(x, y, cx - kFlipLineHalf, cy, cx + kFlipLineHalf, cy);
                angle = 360.0 - angle;
            }
        };
        flipLead(lead->m_bLeadOut != 0, lead->m_dOutX, lead->m_dOutY, lead->m_dOutAngle);
        flipLead(lead->m_bLeadIn != 0, lead->m_dInX, lead->m_dInY, lead->m_dInAngle);
    }
    if (m_pEndGap != nullptr)
        reflect(m_pEndGap->m_dMarkX, m_pEndGap->m_dMarkY);
    if (m_pArray != nullptr) {
        RecalcBoundRect(ctx);
        return;
    }
    if (m_rcBound.IsEmpty())
        return;
    double xs[4] = {m_rcBound.m_xmin, m_rcBound.m_xmax, m_rcBound.m_xmin, m_rcBound.m_xmax};
    double ys[4] = {m_rcBound.m_ymin, m_rcBound.m_ymin, m_rcBound.m_ymax, m_rcBound.m_ymax};
    for (int i = 0; i < 4; ++i)
        reflect(xs[i], ys[i]);
    // Built from the corners directly: growing an empty box point by point
    // would take a first corner at negative coordinates for the empty box.
    m_rcBound = CGeoBox(std::min({xs[0], xs[1], xs[2], xs[3]}), std::max({xs[0], xs[1], xs[2], xs[3]}),
                        std::min({ys[0], ys[1], ys[2], ys[3]}), std::max({ys[0], ys[1], ys[2], ys[3]}));
}

void CDocDataBezier::ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx)
{
    CDocDataLine::ScaleNodesOf(*this, cx, cy, sx, sy, ctx);
}

bool CDocDataBezier::InsertNodeAt(double x, double y, double tol)
{
    if (m_pNodes == nullptr)
        return false;
    // On a node the node becomes active instead.
    if (SelectNodeAt(x, y, tol, NODE_ACTIVE) != 0)
        return false;
    for (DOCNODE* n = m_pNodes; n != nullptr;) {
        DOCNODE* end = SegmentEnd(n);
        if (end == nullptr)
            break;
        DOCNODE* split = FlattenedSegmentNear(n, x, y, tol, kOutputFlattenTol) ? SplitBezierAt(n, x, y, tol) : nullptr;
        if (split == nullptr) {
            n = end;
            continue;
        }
        // The segment's own nodes take the first half; the second half's
        // controls and end anchor follow the split anchor.
        DOCNODE* s[7];
        DOCNODE* p = split;
        for (int i = 0; i < 7; ++i, p = p->m_pNext)
            s[i] = p;
        DOCNODE* c1 = n->m_pNext;
        DOCNODE* c2 = c1->m_pNext;
        c1->m_x = s[1]->m_x;
        c1->m_y = s[1]->m_y;
        c2->m_x = s[2]->m_x;
        c2->m_y = s[2]->m_y;
        end->m_x = s[3]->m_x;
        end->m_y = s[3]->m_y;
        s[3]->m_pNext = nullptr;
        s[4]->m_pPrev = end;
        s[6]->m_pNext = end->m_pNext;
        if (end->m_pNext != nullptr)
            end->m_pNext->m_pPrev = s[6];
        end->m_pNext = s[4];
        CDocState::FreeNodeList(split);
        MarkAnchorsSelected();
        return true;
    }
    return false;
}

bool CDocDataBezier::DeleteSelectedNodes()
{
    if (!m_bNodesSelected || m_pNodes == nullptr)
        return false;
    bool any = false;
    DOCNODE* n = m_pNodes;
    while (n != nullptr) {
        if (n->m_nKind != NODE_ANCHOR || n->m_nSelect != NODE_ACTIVE) {
            n = n->m_pNext;
            continue;
        }
        // At most one segment is left when the head has no second segment
        // end: seven nodes are needed for two. Looked up from the head
        // instead of counting the whole list for every deleted anchor.
        if (SegmentEnd(SegmentEnd(m_pNodes)) == nullptr) {
            CDocState::FreeNodeList(m_pNodes);
            m_bClosed = 0;
            return true;
        }
        if (n == m_pNodes) {
            // The first anchor goes with the first segment's controls.
            DOCNODE* next = SegmentEnd(n);
            DOCNODE* c1 = n->m_pNext;
            DOCNODE* c2 = c1->m_pNext;
            next->m_pPrev = nullptr;
            m_pNodes = next;
            delete n;
            delete c1;
            delete c2;
            m_bClosed = 0;
            any = true;
            n = next;
            continue;
        }
        if (n->m_pNext == nullptr) {
            // The last anchor goes with the last segment's controls.
            DOCNODE* in = n->m_pPrev;
            DOCNODE* lastOut = in->m_pPrev;
            DOCNODE* before = lastOut != nullptr ? lastOut->m_pPrev : nullptr;
            if (before == nullptr)
                break;
            before->m_pNext = nullptr;
            delete lastOut;
            delete in;
            delete n;
            m_bClosed = 0;
            return true;
        }
        // An inner anchor: the two segments that meet at it become one.
        any = MergeSegmentsAt(n) || any;
    }
    return any;
}

bool CDocDataBezier::MergeSegmentsAt(DOCNODE*& n)
{
    DOCNODE* in = n->m_pPrev;
    DOCNODE* out = n->m_pNext;
    DOCNODE* before = in->m_pPrev;
    DOCNODE* after = out->m_pNext;
    if (before == nullptr || after == nullptr) {
        n = out;
        return false;
    }
    before->m_pNext = after;
    after->m_pPrev = before;
    delete in;
    delete n;
    delete out;
    n = after;
    return true;
}
