#include "DocDataPoint.h"

#include "ArrayExplode.h"
#include "DocContext.h"
#include "DocListNode.h"
#include "DocState.h"
#include "GeoFunctions.h"
#include "PathRecord.h"
#include "settings/SoftwareSettings.h"

#include <cmath>

namespace {

// Half length of the line a flip reflects across; any length gives the same
// reflection.
constexpr double kFlipHalfLine = 50.0;

void ScaleCoord(double& v, double origin, double factor)
{
    v = (v - origin) * factor + origin;
}

void MirrorXY(double& x, double& y, double x1, double y1, double x2, double y2)
{
    double mx = x, my = y;
    GeoMirrorPoint(x, y, x1, y1, x2, y2, mx, my);
    x = mx;
    y = my;
}

} // namespace

CDocDataPoint::CDocDataPoint()
{
    m_nType = MT_POINT;
}

CDocDataPoint::CDocDataPoint(DOCNODE* node, bool adopt, DOCCONTEXT* ctx) : CDocDataPoint()
{
    if (node != nullptr)
        m_pNodes = adopt ? node : AppendNode(nullptr, node->m_x, node->m_y);
    CDocData::RecalcBoundRect(ctx);
}

CDocDataPoint::CDocDataPoint(double x, double y, DOCCONTEXT* ctx) : CDocDataPoint()
{
    m_pNodes = AppendNode(nullptr, x, y);
    CDocData::RecalcBoundRect(ctx);
}

CDocDataPoint::CDocDataPoint(const CDocDataPoint& source) : CDocData()
{
    m_nType = MT_POINT;
    CopyFrom(source);
    // A point's copy takes no end-gap record: points are never cut short.
    delete m_pEndGap;
    m_pEndGap = nullptr;
}

CDocData* CDocDataPoint::Copy(const CDocData& source)
{
    // The type id alone does not prove the class.
    const auto* typed = dynamic_cast<const CDocDataPoint*>(&source);
    return typed != nullptr ? new CDocDataPoint(*typed) : nullptr;
}

bool CDocDataPoint::SelectAllNodes()
{
    if (m_pNodes != nullptr)
        m_pNodes->m_nSelect = NODE_SELECTED;
    m_bNodesSelected = 1;
    return true;
}

bool CDocDataPoint::DeselectNodes()
{
    bool was = false;
    if (m_pNodes != nullptr) {
        was = m_pNodes->m_nSelect != NODE_UNSELECTED;
        m_pNodes->m_nSelect = NODE_UNSELECTED;
    }
    m_bNodesSelected = 0;
    return was;
}

bool CDocDataPoint::SelectInRect(const CGeoBox& box)
{
    if (m_pNodes == nullptr || !box.Contains(m_pNodes->m_x, m_pNodes->m_y))
        return false;
    if (m_bNodesSelected) {
        m_pNodes->m_nSelect = NODE_ACTIVE;
        return true;
    }
    m_pNodes->m_nSelect = NODE_SELECTED;
    return false;
}

std::uint8_t CDocDataPoint::SelectNodeAt(double x, double y, double tol, std::uint8_t state)
{
    if (m_pNodes == nullptr)
        return 0;
    const bool set = state < 255;
    if (std::fabs(x - m_pNodes->m_x) < tol && std::fabs(y - m_pNodes->m_y) < tol) {
        if (set)
            m_pNodes->m_nSelect = state;
        return 1;
    }
    if (set)
        m_pNodes->m_nSelect = state != NODE_UNSELECTED ? NODE_SELECTED : NODE_UNSELECTED;
    return 0;
}

bool CDocDataPoint::HitSegment(double x, double y, double tol, std::uint8_t state)
{
    if (m_pNodes == nullptr)
        return false;
    const double px = m_pNodes->m_x;
    const double py = m_pNodes->m_y;
    if (!(px - tol < x && x < px + tol && py - tol < y && y < py + tol))
        return false;
    if (state < 255)
        m_pNodes->m_nSelect = state;
    return true;
}

bool CDocDataPoint::UnionSelectedNodesRect(CGeoBox& box, bool withNeighbours, bool reset)
{
    return SharedUnionSelectedNodesRect(box, withNeighbours, reset);
}

bool CDocDataPoint::HitTest(double x, double y, double tol)
{
    if (m_pNodes == nullptr)
        return false;
    return std::hypot(x - m_pNodes->m_x, y - m_pNodes->m_y) < tol;
}

void CDocDataPoint::SetColor(std::int32_t layer, std::uint32_t color)
{
    SharedSetColor(layer, color);
}

bool CDocDataPoint::GetStartPoint(CGeoPoint& point)
{
    return SharedGetStartPoint(point);
}

bool CDocDataPoint::GetEndPoint(CGeoPoint& point)
{
    // The point is its own end, whatever follows an adopted node.
    return SharedGetStartPoint(point);
}

PATHREC* CDocDataPoint::MakeOutputPath()
{
    // Without its node the point has nothing to mark; an empty bracket pair
    // would reach the job with bounds that enclose nothing.
    if (m_pNodes == nullptr)
        return nullptr;
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    PATHREC* open = nullptr;
    if (HasArrayCopies()) {
        open = new PATHREC;
        open->m_kind = PATH_KIND_GROUP;
        open->m_pArray = new ARRAYREC(*m_pArray);
        AppendPathRecord(&head, &tail, open);
    }
    // The dot is built from the point alone.
    DOCNODE dot;
    dot.m_x = m_pNodes->m_x;
    dot.m_y = m_pNodes->m_y;
    AppendPathRecord(&head, &tail, BuildPathRecord(&dot, 0));
    if (open != nullptr) {
        PATHREC* close = new PATHREC;
        close->m_kind = PATH_KIND_GROUP;
        AppendPathRecord(&head, &tail, close);
        GetGroupBoundRect(open, open->m_xmin, open->m_xmax, open->m_ymin, open->m_ymax, true);
    }
    return head;
}

void CDocDataPoint::ExplodeArray(DOCCONTEXT* ctx)
{
    ExplodeArrayCopies(*this, ctx, &CDocDataPoint::Copy);
}

DOCNODE* CDocDataPoint::CopyNodes()
{
    return SharedCopyNodes();
}

void CDocDataPoint::FillDot(CDC& dc, int x, int y, std::uint32_t color)
{
    dc.FillRect(plat::RECT{x - 1, y - 1, x + 1, y + 1}, color);
}

void CDocDataPoint::Draw(CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr || m_pNodes == nullptr)
        return;
    DrawArrayPreview(dc, ctx, m_pArray);
    const plat::POINT p = ctx->WorldToClientPixel(m_pNodes->m_x, m_pNodes->m_y);
    FillDot(*dc, p.x, p.y, m_nColor);
    DrawArrayCopies(dc, ctx);
}

void CDocDataPoint::DrawArrayDots(CDC& dc, DOCCONTEXT& ctx, const ARRAYREC& array) const
{
    ForEachArrayOffset(array, [&](double dx, double dy) {
        const plat::POINT p = ctx.WorldToClientPixel(m_pNodes->m_x + dx, m_pNodes->m_y + dy);
        FillDot(dc, p.x, p.y, m_nColor);
    });
}

void CDocDataPoint::DrawArrayPreview(CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array)
{
    if (dc == nullptr || ctx == nullptr || array == nullptr || m_pNodes == nullptr)
        return;
    DrawArrayDots(*dc, *ctx, *array);
}

void CDocDataPoint::DrawArrayCopies(CDC* dc, DOCCONTEXT* ctx)
{
    if (m_rcBound.IsEmpty() || dc == nullptr || ctx == nullptr || m_pNodes == nullptr ||
        ctx->m_pCurrent == nullptr)
        return;
    const ARRAYREC* array = ctx->m_pCurrent->m_pArray;
    // Copies in one column are copies too.
    if (array == nullptr || (array->m_nRows <= 1 && array->m_nCols <= 1))
        return;
    DrawArrayDots(*dc, *ctx, *array);
}

void CDocDataPoint::DrawNodes(CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr || m_pNodes == nullptr || !m_bNodesSelected)
        return;
    const plat::POINT p = ctx->WorldToClientPixel(m_pNodes->m_x, m_pNodes->m_y);
    plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 0, m_nColor});
    DrawNodeSquare(dc, p, 2, 0);
}

void CDocDataPoint::DrawStartPoint(CDC* dc, DOCCONTEXT* ctx)
{
    SharedDrawStartPoint(dc, ctx);
}

void CDocDataPoint::DrawIndex(CDC* dc, DOCCONTEXT* ctx, int number)
{
    SharedDrawIndex(dc, ctx, number);
}

void CDocDataPoint::Move(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT* ctx)
{
    if (m_pNodes == nullptr)
        return;
    m_pNodes->m_x += to.m_x - from.m_x;
    m_pNodes->m_y += to.m_y - from.m_y;
    RecalcBoundRect(ctx);
}

void CDocDataPoint::DrawPreviewDot(DOCCONTEXT* ctx, CDC* dc, double x, double y) const
{
    const double zoom = ctx != nullptr ? ctx->m_dZoom : 1.0;
    const int oldRop = dc->SetROP2(plat::R2_XORPEN);
    FillDot(*dc, plat::RoundPixel(x * zoom), plat::RoundPixel(y * zoom), SettingsOf(ctx).m_crBackground ^ m_nColor);
    dc->SetROP2(oldRop);
}

void CDocDataPoint::DrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to)
{
    if (dc == nullptr || m_pNodes == nullptr)
        return;
    DrawPreviewDot(ctx, dc, m_pNodes->m_x + to.m_x - from.m_x, m_pNodes->m_y + to.m_y - from.m_y);
}

void CDocDataPoint::Scale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx)
{
    SharedScale(cx, cy, sx, sy, ctx);
}

void CDocDataPoint::DrawScalePreview(DOCCONTEXT* ctx, CDC* dc, double cx, double cy, double sx, double sy)
{
    if (dc == nullptr || m_pNodes == nullptr)
        return;
    double x = m_pNodes->m_x, y = m_pNodes->m_y;
    ScaleCoord(x, cx, sx);
    ScaleCoord(y, cy, sy);
    DrawPreviewDot(ctx, dc, x, y);
}

void CDocDataPoint::Skew(double factor, double from, double to, int direction, DOCCONTEXT* ctx)
{
    if (m_pNodes == nullptr)
        return;
    if (SkewPoint(m_pNodes->m_x, m_pNodes->m_y, factor, from, to, direction))
        RecalcBoundRect(ctx);
}

void CDocDataPoint::DrawSkewPreview(DOCCONTEXT* ctx, CDC* dc, double factor, double from, double to, int direction)
{
    if (dc == nullptr || m_pNodes == nullptr)
        return;
    double x = m_pNodes->m_x, y = m_pNodes->m_y;
    SkewPoint(x, y, factor, from, to, direction);
    DrawPreviewDot(ctx, dc, x, y);
}

void CDocDataPoint::Rotate(const CGeoPoint& centre, double angle, DOCCONTEXT* ctx)
{
    if (m_pNodes == nullptr || !std::isfinite(angle))
        return;
    double x = m_pNodes->m_x, y = m_pNodes->m_y;
    GeoRotatePoint(centre.m_x, centre.m_y, m_pNodes->m_x, m_pNodes->m_y, angle, x, y);
    m_pNodes->m_x = x;
    m_pNodes->m_y = y;
    RecalcBoundRect(ctx);
}

void CDocDataPoint::RotateBy3Points(const CGeoPoint& centre, const CGeoPoint& from, const CGeoPoint& to,
                                    DOCCONTEXT* ctx)
{
    Rotate(centre, RotationAngleOf3Points(centre, from, to), ctx);
}

void CDocDataPoint::DrawRotatePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& centre, const CGeoPoint& from,
                                      const CGeoPoint& to)
{
    if (dc == nullptr || m_pNodes == nullptr)
        return;
    double x = m_pNodes->m_x, y = m_pNodes->m_y;
    GeoRotatePoint(centre.m_x, centre.m_y, m_pNodes->m_x, m_pNodes->m_y,
                   RotationAngleOf3Points(centre, from, to), x, y);
    DrawPreviewDot(ctx, dc, x, y);
}

CDocData* CDocDataPoint::MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                                     DOCCONTEXT* ctx)
{
    if (asCopy) {
        CDocDataPoint* copy = new CDocDataPoint(*this);
        copy->MirrorAbout(x1, y1, x2, y2, false, reverse, ctx);
        return copy;
    }
    if (reverse)
        Reverse();
    if (m_pNodes == nullptr)
        return nullptr;
    MirrorXY(m_pNodes->m_x, m_pNodes->m_y, x1, y1, x2, y2);
    RecalcBoundRect(ctx);
    return nullptr;
}

void CDocDataPoint::Flip(const CGeoPoint& centre, bool horizontal, bool vertical, DOCCONTEXT* ctx)
{
    if (m_pNodes == nullptr)
        return;
    const double cx = centre.m_x, cy = centre.m_y;
    if (horizontal)
        MirrorXY(m_pNodes->m_x, m_pNodes->m_y, cx, cy - kFlipHalfLine, cx, cy + kFlipHalfLine);
    if (vertical)
        MirrorXY(m_pNodes->m_x, m_pNodes->m_y, cx - kFlipHalfLine, cy, cx + kFlipHalfLine, cy);
    RecalcBoundRect(ctx);
}

void CDocDataPoint::DrawMirrorPreview(DOCCONTEXT* ctx, CDC* dc, double x1, double y1, double x2, double y2)
{
    if (dc == nullptr || m_pNodes == nullptr)
        return;
    double x = m_pNodes->m_x, y = m_pNodes->m_y;
    MirrorXY(x, y, x1, y1, x2, y2);
    DrawPreviewDot(ctx, dc, x, y);
}

void CDocDataPoint::ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx)
{
    // Without its node the point's box is empty and stays so.
    if (m_pNodes == nullptr)
        return;
    const ArrayGaps gaps = MeasureArrayGaps(*this, ctx);
    ScaleCoord(m_pNodes->m_x, cx, sx);
    ScaleCoord(m_pNodes->m_y, cy, sy);
    ScaleBoxAndPitches(*this, gaps, cx, cy, sx, sy, ctx);
}

bool CDocDataPoint::DeleteSelectedNodes()
{
    if (m_pNodes == nullptr || m_pNodes->m_nSelect != NODE_ACTIVE)
        return false;
    CDocState::FreeNodeList(m_pNodes);
    // Nothing is left to bound.
    m_rcBound.SetEmpty();
    return true;
}
