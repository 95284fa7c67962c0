#include "DocDataEllipse.h"

#include "ArrayExplode.h"
#include "CurveGeometry.h"
#include "DocContext.h"
#include "DocState.h"
#include "GeoFunctions.h"
#include "LeadInOut.h"
#include "settings/MachineNode.h"
#include "settings/SettingsCopy.h"
#include "settings/SoftwareSettings.h"

#include <cmath>
#include <utility>
#include <vector>

namespace {

// Flattening tolerances of the ellipse's box and of its segment hit.
constexpr double kBoxFlattenTol = 10.0;
constexpr double kHitSegmentFlattenTol = 4.0;
// Tolerance with which the start position finds its anchor.
constexpr double kStartPositionTol = 0.1;

bool Within(const DOCNODE* n, double x, double y, double tol)
{
    return std::fabs(n->m_x - x) < tol && std::fabs(n->m_y - y) < tol;
}

void SetAllStates(DOCNODE* head, std::uint8_t state)
{
    for (DOCNODE* n = head; n != nullptr; n = n->m_pNext)
        n->m_nSelect = state;
}

void Shift(DOCNODE* n, double dx, double dy)
{
    if (n == nullptr)
        return;
    n->m_x += dx;
    n->m_y += dy;
}

bool IsControl(const DOCNODE* n)
{
    return n != nullptr && n->m_nKind != NODE_ANCHOR;
}

} // namespace

CDocDataEllipse::CDocDataEllipse()
{
    m_nType = MT_ELLIPSE;
    m_bClosed = 1;
}

CDocDataEllipse::CDocDataEllipse(double x0, double y0, double x1, double y1)
{
    m_nType = MT_ELLIPSE;
    m_bClosed = 1;
    m_pNodes = MakeEllipseNodes((x0 + x1) / 2.0, (y0 + y1) / 2.0, (x1 - x0) / 2.0, (y1 - y0) / 2.0);
    m_rcBound = CGeoBox(x0, x1, y0, y1);
    ApplyStartPosition(CurrentPositioningCode());
}

CDocDataEllipse::CDocDataEllipse(const CDocDataEllipse& source) : CDocDataBezier()
{
    m_nType = MT_ELLIPSE;
    CopyFrom(source);
}

CDocData* CDocDataEllipse::Copy(const CDocData& source)
{
    const auto* ellipse = dynamic_cast<const CDocDataEllipse*>(&source);
    return ellipse != nullptr ? new CDocDataEllipse(*ellipse) : nullptr;
}

int CDocDataEllipse::CurrentPositioningCode()
{
    const MachineNode* machine = GetCurrentMachine(ThreadSettings());
    return machine != nullptr ? machine->m_dot : -1;
}

bool CDocDataEllipse::ApplyStartPosition(int code)
{
    if (code < 0 || code > 8)
        return false;
    const CGeoPoint centre = m_rcBound.Center();
    CGeoPoint target;
    switch (code) {
    case 3:
        target = CGeoPoint(m_rcBound.m_xmin, centre.m_y);
        break;
    case 5:
        target = CGeoPoint(m_rcBound.m_xmax, centre.m_y);
        break;
    case 6:
    case 7:
    case 8:
        target = CGeoPoint(centre.m_x, m_rcBound.m_ymax);
        break;
    default: // 0, 1, 2 and the centre 4
        target = CGeoPoint(centre.m_x, m_rcBound.m_ymin);
        break;
    }
    SetAllStates(m_pNodes, NODE_SELECTED);
    m_bNodesSelected = 1;
    const bool moved = SetStartPoint(target.m_x, target.m_y, kStartPositionTol);
    SetAllStates(m_pNodes, NODE_UNSELECTED);
    m_bNodesSelected = 0;
    return moved;
}

std::uint8_t CDocDataEllipse::SelectNodeAt(double x, double y, double tol, std::uint8_t state)
{
    const bool set = state < 255;
    const std::uint8_t others = state == NODE_ACTIVE ? NODE_SELECTED : NODE_UNSELECTED;
    bool hit = false;
    for (DOCNODE* n = m_pNodes; n != nullptr; n = n->m_pNext) {
        if (!hit && n->m_nKind == NODE_ANCHOR && Within(n, x, y, tol)) {
            hit = true;
            if (set)
                n->m_nSelect = state;
            continue;
        }
        if (set)
            n->m_nSelect = others;
    }
    if (set && m_bClosed && m_pNodes != nullptr)
        LastNode(m_pNodes)->m_nSelect = m_pNodes->m_nSelect;
    return hit ? 1 : 0;
}

bool CDocDataEllipse::HitSegment(double x, double y, double tol, std::uint8_t state)
{
    return HitFlattenedSegment(x, y, tol, state, kHitSegmentFlattenTol);
}

bool CDocDataEllipse::HitTest(double x, double y, double tol)
{
    return HitSampledSegments(x, y, tol, 0.0);
}

void CDocDataEllipse::RecalcBoundRect(DOCCONTEXT* ctx)
{
    // Two corners of the flattened outline's bounds stand in for the nodes
    // while the base body takes their box and adds the array copies: the
    // box over the whole outline, without making it (drawings hold many
    // circles).
    DOCNODE corners[2];
    DOCNODE* flat = nullptr;
    if (SamplePolylineBounds(m_pNodes, kBoxFlattenTol, corners[0].m_x, corners[0].m_y, corners[1].m_x,
                             corners[1].m_y)) {
        corners[0].m_pNext = &corners[1];
        corners[1].m_pPrev = &corners[0];
        flat = corners;
    }
    DOCNODE* nodes = m_pNodes;
    m_pNodes = flat;
    CDocData::RecalcBoundRect(ctx);
    m_pNodes = nodes;
}

bool CDocDataEllipse::SetStartPoint(double x, double y, double tol)
{
    return MoveClosedStart(x, y, tol);
}

void CDocDataEllipse::ExplodeArray(DOCCONTEXT* ctx)
{
    ExplodeArrayCopies(*this, ctx, &CDocDataEllipse::Copy);
}

void CDocDataEllipse::Draw(CDC* dc, DOCCONTEXT* ctx)
{
    if (m_rcBound.IsEmpty())
        return;
    DrawOutlineAndCopies(dc, ctx);
}

void CDocDataEllipse::DrawArrayPreview(CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array)
{
    if (m_rcBound.IsEmpty())
        return;
    CDocDataBezier::DrawArrayPreview(dc, ctx, array);
}

void CDocDataEllipse::DrawNodes(CDC* dc, DOCCONTEXT* ctx)
{
    DrawAnchorMarks(dc, ctx, false);
}

void CDocDataEllipse::DrawDirection(CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr)
        return;
    // The second anchor is node 3; after node deletions it may be missing or
    // end the list.
    const DOCNODE* p = m_pNodes;
    for (int i = 0; i < 3 && p != nullptr; ++i)
        p = p->m_pNext;
    if (p == nullptr || p->m_pNext == nullptr)
        return;
    DrawDirectionArrow(dc, ctx, p, p->m_pNext);
}

void CDocDataEllipse::MoveSelectedNodes(const CGeoPoint& from, const CGeoPoint& to, int, DOCCONTEXT* ctx)
{
    MoveNodesOfList(m_pNodes, m_bClosed != 0, to.m_x - from.m_x, to.m_y - from.m_y, 1, nullptr);
    RefreshLeadsAndGap(ctx);
}

void CDocDataEllipse::DrawNodeMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to,
                                          int mode)
{
    if (dc == nullptr)
        return;
    const double dx = to.m_x - from.m_x;
    const double dy = to.m_y - from.m_y;
    DOCNODE* copy = CopyPointList(m_pNodes);
    std::vector<std::pair<DOCNODE*, DOCNODE*>> handles;
    if (mode == 1 || mode == 3) {
        MoveNodesOfList(copy, m_bClosed != 0, dx, dy, 1, nullptr);
        for (DOCNODE* a = copy; a != nullptr; a = a->m_pNext) {
            if (a->m_nKind != NODE_ANCHOR || a->m_nSelect != NODE_ACTIVE)
                continue;
            DOCNODE* in = a->m_pPrev;
            DOCNODE* out = a->m_pNext;
            if (IsControl(in))
                handles.emplace_back(in, a);
            if (IsControl(out))
                handles.emplace_back(out, a);
            // The neighbouring anchors' handles into the moved segments; mode
            // 3 leaves out those of neighbours that move themselves.
            DOCNODE* prevOut = in != nullptr ? in->m_pPrev : nullptr;
            DOCNODE* prevAnchor = prevOut != nullptr ? prevOut->m_pPrev : nullptr;
            if (IsControl(prevOut) && prevAnchor != nullptr && (mode == 1 || prevAnchor->m_nSelect != NODE_ACTIVE))
                handles.emplace_back(prevOut, prevAnchor);
            DOCNODE* nextIn = out != nullptr ? out->m_pNext : nullptr;
            DOCNODE* nextAnchor = nextIn != nullptr ? nextIn->m_pNext : nullptr;
            if (IsControl(nextIn) && nextAnchor != nullptr && (mode == 1 || nextAnchor->m_nSelect != NODE_ACTIVE))
                handles.emplace_back(nextIn, nextAnchor);
        }
    } else if (mode == 2) {
        DOCNODE* control = copy;
        while (control != nullptr && !(IsControl(control) && control->m_nSelect == NODE_ACTIVE))
            control = control->m_pNext;
        if (control != nullptr) {
            const bool incoming = control->m_nKind == NODE_CONTROL_IN;
            DOCNODE* anchor = incoming ? control->m_pNext : control->m_pPrev;
            Shift(control, dx, dy);
            if (anchor != nullptr) {
                handles.emplace_back(control, anchor);
                DOCNODE* other = incoming ? anchor->m_pNext : anchor->m_pPrev;
                if (IsControl(other)) {
                    Shift(other, -dx, -dy);
                    handles.emplace_back(other, anchor);
                }
            }
        }
    }
    const plat::Pen pen{plat::PS_DOT, 1, m_nColor};
    {
        plat::ScopedPen scoped(*dc, pen, plat::R2_XORPEN);
        DrawHandles(dc, ctx != nullptr ? ctx->m_dZoom : 1.0, handles);
    }
    DrawXorCopy(ctx, dc, copy, pen);
}

bool CDocDataEllipse::DeleteSelectedNodes()
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
        if (n->m_pNext == nullptr) {
            // The last anchor: its segment goes, unless it is the only one.
            DOCNODE* in = n->m_pPrev;
            DOCNODE* out = in != nullptr ? in->m_pPrev : nullptr;
            DOCNODE* before = out != nullptr ? out->m_pPrev : nullptr;
            if (before == nullptr || before == m_pNodes) {
                CDocState::FreeNodeList(m_pNodes);
                return true;
            }
            before->m_pNext = nullptr;
            delete out;
            delete in;
            delete n;
            return true;
        }
        if (n == m_pNodes) {
            DOCNODE* c1 = n->m_pNext;
            DOCNODE* c2 = c1->m_pNext;
            DOCNODE* second = c2 != nullptr ? c2->m_pNext : nullptr;
            if (second == nullptr || second->m_pNext == nullptr) {
                CDocState::FreeNodeList(m_pNodes);
                return true;
            }
            if (m_bClosed) {
                // The closing segment now runs into the new head: its end
                // moves there and its incoming control takes the removed
                // segment's.
                DOCNODE* last = LastNode(m_pNodes);
                last->m_x = second->m_x;
                last->m_y = second->m_y;
                last->m_nSelect = NODE_SELECTED;
                if (last->m_pPrev != nullptr) {
                    last->m_pPrev->m_x = c2->m_x;
                    last->m_pPrev->m_y = c2->m_y;
                }
            }
            second->m_pPrev = nullptr;
            m_pNodes = second;
            delete n;
            delete c1;
            delete c2;
            any = true;
            n = second;
            continue;
        }
        // An inner anchor: the segments on either side merge into one.
        any = MergeSegmentsAt(n) || any;
    }
    return any;
}
