// Operation bodies that several drawing object classes share unchanged, and
// the geometry helpers that those bodies and the classes' previews have in
// common.
#include "DocData.h"

#include "DocContext.h"
#include "DocListNode.h"
#include "DocState.h"
#include "GeoFunctions.h"
#include "platform/NumText.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <cmath>

namespace {

// Below this distance two points of a rotation drag count as one.
constexpr double kDragPointTol = 1e-5;

void RotateXY(const CGeoPoint& c, double angle, double& x, double& y)
{
    double rx = x, ry = y;
    GeoRotatePoint(c.m_x, c.m_y, x, y, angle, rx, ry);
    x = rx;
    y = ry;
}

} // namespace

double CDocData::RotationAngleOf3Points(const CGeoPoint& c, const CGeoPoint& p, const CGeoPoint& q)
{
    const double cp = std::hypot(c.m_x - p.m_x, c.m_y - p.m_y);
    const double cq = std::hypot(c.m_x - q.m_x, c.m_y - q.m_y);
    const double pq = std::hypot(p.m_x - q.m_x, p.m_y - q.m_y);
    if (cp < kDragPointTol || cq < kDragPointTol || pq < kDragPointTol)
        return 0.0;
    // Rounding can push the cosine of a straight or reversed drag just past 1.
    const double cosine = std::clamp((cq * cq + cp * cp - pq * pq) / (2.0 * cp * cq), -1.0, 1.0);
    double angle = std::acos(cosine);
    if ((q.m_x - c.m_x) * (q.m_y - p.m_y) - (q.m_x - p.m_x) * (q.m_y - c.m_y) < 0.0)
        angle = -angle;
    return angle;
}

bool CDocData::SkewPoint(double& x, double& y, double factor, double from, double to, int direction)
{
    const double extent = to - from;
    // A reference without extent has no shear; dividing by it would write
    // infinities into the outline.
    if (!(std::fabs(extent) >= kGeoEqualTol))
        return false;
    if (direction == 0)
        y += (x - from) * factor / extent;
    else
        x += (y - from) * factor / extent;
    return true;
}

void CDocData::SkewNodeList(DOCNODE* head, double factor, double from, double to, int direction)
{
    ForEachNode(head, [&](DOCNODE& n) { SkewPoint(n.m_x, n.m_y, factor, from, to, direction); });
}

void CDocData::DrawNodeSquare(CDC* dc, const plat::POINT& p, int half, int closeShort)
{
    dc->MoveTo(p.x - half, p.y - half);
    dc->LineTo(p.x + half, p.y - half);
    dc->LineTo(p.x + half, p.y + half);
    dc->LineTo(p.x - half, p.y + half);
    dc->LineTo(p.x - half, p.y - half - closeShort);
}

void CDocData::DrawEndGapCross(CDC* dc, const plat::POINT& p)
{
    dc->MoveTo(p.x - 4, p.y - 4);
    dc->LineTo(p.x + 5, p.y + 5);
    dc->MoveTo(p.x + 4, p.y - 4);
    dc->LineTo(p.x - 5, p.y + 5);
}

plat::Pen CDocData::PreviewPen(const DOCCONTEXT* ctx) const
{
    return plat::Pen{plat::PS_DOT, 1, SettingsOf(ctx).m_crBackground ^ m_nColor};
}

void CDocData::MarkAnchorsSelected()
{
    ForEachNode(m_pNodes, [](DOCNODE& n) {
        if (n.m_nKind == NODE_ANCHOR)
            n.m_nSelect = NODE_SELECTED;
    });
}

bool CDocData::SharedSelectAllNodes()
{
    MarkAnchorsSelected();
    m_bNodesSelected = 1;
    return true;
}

bool CDocData::SharedDeselectNodes()
{
    bool any = false;
    ForEachNode(m_pNodes, [&](DOCNODE& n) {
        any = any || n.m_nSelect != NODE_UNSELECTED;
        n.m_nSelect = NODE_UNSELECTED;
    });
    m_bNodesSelected = 0;
    return any;
}

void CDocData::SharedSetColor(std::int32_t layer, std::uint32_t color)
{
    m_nLayer = layer;
    m_nColor = color;
}

bool CDocData::SharedGetStartPoint(CGeoPoint& point) const
{
    if (m_pNodes == nullptr)
        return false;
    point.m_x = m_pNodes->m_x;
    point.m_y = m_pNodes->m_y;
    return true;
}

bool CDocData::SharedGetEndPoint(CGeoPoint& point) const
{
    if (m_pNodes == nullptr)
        return false;
    const DOCNODE* last = LastNode(m_pNodes);
    point.m_x = last->m_x;
    point.m_y = last->m_y;
    return true;
}

DOCNODE* CDocData::SharedCopyNodes() const
{
    return CopyPointList(m_pNodes);
}

void CDocData::SharedDrawStartPoint(CDC* dc, DOCCONTEXT* ctx) const
{
    if (dc == nullptr || ctx == nullptr || m_pNodes == nullptr)
        return;
    const plat::POINT p = ctx->WorldToClientPixel(m_pNodes->m_x, m_pNodes->m_y);
    dc->FillRect(plat::RECT{p.x - 2, p.y - 2, p.x + 2, p.y + 2}, 0x000000);
}

void CDocData::SharedDrawIndex(CDC* dc, DOCCONTEXT* ctx, int number) const
{
    if (dc == nullptr || ctx == nullptr || m_pNodes == nullptr)
        return;
    const plat::POINT p = ctx->WorldToClientPixel(m_pNodes->m_x, m_pNodes->m_y);
    const std::string text = plat::FormatInt(number);
    dc->TextOut(p.x, p.y, std::u16string(text.begin(), text.end()));
}

void CDocData::ShiftOutline(double dx, double dy)
{
    ForEachNode(m_pNodes, [&](DOCNODE& n) {
        n.m_x += dx;
        n.m_y += dy;
    });
    if (m_pLeadInOut != nullptr) {
        m_pLeadInOut->m_dInX += dx;
        m_pLeadInOut->m_dInY += dy;
        m_pLeadInOut->m_dOutX += dx;
        m_pLeadInOut->m_dOutY += dy;
    }
    if (m_pEndGap != nullptr) {
        m_pEndGap->m_dMarkX += dx;
        m_pEndGap->m_dMarkY += dy;
    }
}

void CDocData::SharedMove(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT* ctx)
{
    ShiftOutline(to.m_x - from.m_x, to.m_y - from.m_y);
    RecalcBoundRect(ctx);
}

void CDocData::SharedMoveWithBox(const CGeoPoint& from, const CGeoPoint& to)
{
    const double dx = to.m_x - from.m_x;
    const double dy = to.m_y - from.m_y;
    ShiftOutline(dx, dy);
    // An empty box stays empty; shifted it would pass for a real one.
    if (!m_rcBound.IsEmpty()) {
        m_rcBound.m_xmin += dx;
        m_rcBound.m_xmax += dx;
        m_rcBound.m_ymin += dy;
        m_rcBound.m_ymax += dy;
    }
}

void CDocData::SharedDrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to) const
{
    if (dc == nullptr || m_pNodes == nullptr)
        return;
    const double zoom = ctx != nullptr ? ctx->m_dZoom : 1.0;
    const double dx = to.m_x - from.m_x;
    const double dy = to.m_y - from.m_y;
    plat::ScopedPen pen(*dc, PreviewPen(ctx), plat::R2_XORPEN);
    bool first = true;
    ForEachNode(m_pNodes, [&](DOCNODE& n) {
        const int x = plat::RoundPixel((n.m_x + dx) * zoom);
        const int y = plat::RoundPixel((n.m_y + dy) * zoom);
        if (first)
            dc->MoveTo(x, y);
        else
            dc->LineTo(x, y);
        first = false;
    });
}

void CDocData::SharedScale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx)
{
    ScaleNodes(cx, cy, sx, sy, ctx);
}

void CDocData::SharedSkew(double factor, double from, double to, int direction, DOCCONTEXT* ctx)
{
    if (!(std::fabs(to - from) >= kGeoEqualTol))
        return;
    SkewNodeList(m_pNodes, factor, from, to, direction);
    RecalcBoundRect(ctx);
}

void CDocData::SharedRotate(const CGeoPoint& centre, double angle, DOCCONTEXT* ctx)
{
    // A turn by nothing (or by no number) leaves the object as it is.
    if (angle == 0.0 || !std::isfinite(angle))
        return;
    ForEachNode(m_pNodes, [&](DOCNODE& n) { RotateXY(centre, angle, n.m_x, n.m_y); });
    RecalcBoundRect(ctx);
    if (m_pLeadInOut != nullptr) {
        RotateXY(centre, angle, m_pLeadInOut->m_dInX, m_pLeadInOut->m_dInY);
        RotateXY(centre, angle, m_pLeadInOut->m_dOutX, m_pLeadInOut->m_dOutY);
    }
    if (m_pEndGap != nullptr)
        RotateXY(centre, angle, m_pEndGap->m_dMarkX, m_pEndGap->m_dMarkY);
}

void CDocData::SharedRotateBy3Points(const CGeoPoint& centre, const CGeoPoint& from, const CGeoPoint& to,
                                     DOCCONTEXT* ctx)
{
    SharedRotate(centre, RotationAngleOf3Points(centre, from, to), ctx);
}

std::uint8_t CDocData::SharedSelectNodeAt(double x, double y, double tol, std::uint8_t state)
{
    const bool set = state < 255;
    const std::uint8_t others = state == NODE_ACTIVE ? NODE_SELECTED : NODE_UNSELECTED;
    bool hit = false;
    bool anchorHit = false;
    ForEachNode(m_pNodes, [&](DOCNODE& n) {
        if (!hit && std::fabs(x - n.m_x) < tol && std::fabs(y - n.m_y) < tol) {
            hit = true;
            if (n.m_nKind == NODE_ANCHOR) {
                anchorHit = true;
                if (set)
                    n.m_nSelect = state;
            }
            return;
        }
        if (set)
            n.m_nSelect = others;
    });
    if (set && m_bClosed && m_pNodes != nullptr) {
        DOCNODE* last = LastNode(m_pNodes);
        if (last != m_pNodes)
            last->m_nSelect = m_pNodes->m_nSelect;
    }
    return anchorHit ? 1 : 0;
}

bool CDocData::SharedUnionSelectedNodesRect(CGeoBox& box, bool, bool reset)
{
    if (reset)
        box.SetEmpty();
    bool any = false;
    ForEachNode(m_pNodes, [&](DOCNODE& n) {
        if (n.m_nKind == NODE_ANCHOR && n.m_nSelect != NODE_UNSELECTED) {
            box.AddPoint(CGeoPoint(n.m_x, n.m_y));
            any = true;
        }
    });
    return any;
}

CDocData* CDocData::SharedMirrorNodes(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                                      DOCCONTEXT* ctx)
{
    if (asCopy) {
        CDocData* copy = CloneDocData(this, false);
        if (copy != nullptr)
            copy->MirrorAbout(x1, y1, x2, y2, false, reverse, ctx);
        return copy;
    }
    if (reverse)
        Reverse();
    ForEachNode(m_pNodes, [&](DOCNODE& n) {
        double mx = n.m_x, my = n.m_y;
        GeoMirrorPoint(n.m_x, n.m_y, x1, y1, x2, y2, mx, my);
        n.m_x = mx;
        n.m_y = my;
    });
    RecalcBoundRect(ctx);
    return nullptr;
}

void CDocData::CopyAttributesFrom(const CDocData& source)
{
    m_nLayer = source.m_nLayer;
    m_nColor = source.m_nColor;
    m_bOutput = source.m_bOutput;
    if (source.m_pEndGap != nullptr) {
        delete m_pEndGap;
        m_pEndGap = new ENDGAP(*source.m_pEndGap);
    }
    if (source.m_pLeadInOut != nullptr) {
        delete m_pLeadInOut;
        m_pLeadInOut = new LEADINOUT;
        CopyLeadInOut(m_pLeadInOut, source.m_pLeadInOut);
    }
    if (source.m_pArray != nullptr) {
        delete m_pArray;
        m_pArray = new ARRAYREC(*source.m_pArray);
    }
    DeleteObjectList(m_pAttached);
    m_pAttached = CloneDocData(source.m_pAttached, true);
    m_rcBound = source.m_rcBound;
    m_pPrev = nullptr;
    m_pNext = nullptr;
}

void CDocData::CopyFrom(const CDocData& source)
{
    CDocState::FreeNodeList(m_pNodes);
    m_pNodes = CopyPointList(source.m_pNodes);
    m_nType = source.m_nType;
    m_bClosed = source.m_bClosed;
    CopyAttributesFrom(source);
    SetSelected(source.m_bSelected);
    m_bNodesSelected = source.m_bNodesSelected;
}
