#include "DocDataComposite.h"

#include "ArrayExplode.h"
#include "DocListNode.h"
#include "PathRecord.h"

namespace {

// Calls f on each child in list order.
template <typename F>
void EachChild(CDocData* head, F f)
{
    for (CDocData* c = head; c != nullptr; c = c->m_pNext)
        f(*c);
}

// Asks each child in list order until one answers true.
template <typename F>
bool FirstChild(CDocData* head, F f)
{
    for (CDocData* c = head; c != nullptr; c = c->m_pNext) {
        if (f(*c))
            return true;
    }
    return false;
}

} // namespace

CDocDataComposite::~CDocDataComposite()
{
    DeleteObjectList(m_pChildren);
}

void CDocDataComposite::AdoptChildren(CDocData* children, DOCCONTEXT* ctx)
{
    m_pChildren = children;
    if (children != nullptr) {
        children->m_pPrev = nullptr;
        m_nLayer = children->m_nLayer;
        m_nColor = children->m_nColor;
    }
    RecalcBoundRect(ctx);
    SetSelected(1);
}

void CDocDataComposite::CopyCompositeFrom(const CDocDataComposite& source, CDocData* children)
{
    CopyAttributesFrom(source);
    DeleteObjectList(m_pChildren);
    m_pChildren = children;
    SetSelected(source.m_bSelected);
    m_bNodesSelected = source.m_bNodesSelected;
}

CDocData* CDocDataComposite::LastChild() const
{
    CDocData* c = m_pChildren;
    while (c != nullptr && c->m_pNext != nullptr)
        c = c->m_pNext;
    return c;
}

bool CDocDataComposite::SelectAllNodes()
{
    EachChild(m_pChildren, [](CDocData& c) { c.SelectAllNodes(); });
    m_bNodesSelected = 1;
    return true;
}

bool CDocDataComposite::DeselectNodes()
{
    bool any = false;
    EachChild(m_pChildren, [&](CDocData& c) { any = c.DeselectNodes() || any; });
    m_bNodesSelected = 0;
    return any;
}

bool CDocDataComposite::SelectInRect(const CGeoBox& box)
{
    return FirstChild(m_pChildren, [&](CDocData& c) {
        const CGeoBox copy = box;
        return c.SelectInRect(copy);
    });
}

std::uint8_t CDocDataComposite::SelectNodeAt(double x, double y, double tol, std::uint8_t state)
{
    return FirstChild(m_pChildren, [&](CDocData& c) { return c.SelectNodeAt(x, y, tol, state) != 0; }) ? 1 : 0;
}

bool CDocDataComposite::HitSegment(double x, double y, double tol, std::uint8_t state)
{
    return FirstChild(m_pChildren, [&](CDocData& c) { return c.HitSegment(x, y, tol, state); });
}

bool CDocDataComposite::UnionSelectedNodesRect(CGeoBox& box, bool withNeighbours, bool reset)
{
    if (reset)
        box.SetEmpty();
    bool any = false;
    EachChild(m_pChildren, [&](CDocData& c) { any = c.UnionSelectedNodesRect(box, withNeighbours, false) || any; });
    return any;
}

bool CDocDataComposite::HitTest(double x, double y, double tol)
{
    return FirstChild(m_pChildren, [&](CDocData& c) { return c.HitTest(x, y, tol); });
}

void CDocDataComposite::SetSelected(std::uint8_t selected)
{
    m_bSelected = selected;
    EachChild(m_pChildren, [&](CDocData& c) { c.SetSelected(selected); });
}

void CDocDataComposite::SetColor(std::int32_t layer, std::uint32_t color)
{
    m_nLayer = layer;
    m_nColor = color;
    EachChild(m_pChildren, [&](CDocData& c) { c.SetColor(layer, color); });
}

void CDocDataComposite::RecalcBoundRect(DOCCONTEXT* ctx)
{
    m_rcBound.SetEmpty();
    EachChild(m_pChildren, [&](CDocData& c) {
        c.RecalcBoundRect(ctx);
        m_rcBound.Union(c.m_rcBound);
    });
    // Copies of nothing have no extent: an empty composite keeps the empty
    // box, which an array extent would turn into a real one.
    if (m_rcBound.IsEmpty() || !HasArrayCopies())
        return;
    double dx = m_pArray->m_dDx;
    double dy = m_pArray->m_dDy;
    ApplyOriginSign(dx, dy);
    const double ex = (m_pArray->m_nCols - 1) * dx;
    const double ey = (m_pArray->m_nRows - 1) * dy;
    if (dx < 0.0)
        m_rcBound.m_xmin += ex;
    else
        m_rcBound.m_xmax += ex;
    if (dy < 0.0)
        m_rcBound.m_ymin += ey;
    else
        m_rcBound.m_ymax += ey;
}

CGeoBox CDocDataComposite::GetAnchorRect()
{
    CGeoBox box;
    EachChild(m_pChildren, [&](CDocData& c) { box.Union(c.GetAnchorRect()); });
    return box;
}

bool CDocDataComposite::Reverse()
{
    EachChild(m_pChildren, [](CDocData& c) { c.Reverse(); });
    return true;
}

bool CDocDataComposite::SetStartPoint(double x, double y, double tol)
{
    return FirstChild(m_pChildren, [&](CDocData& c) { return c.SetStartPoint(x, y, tol); });
}

bool CDocDataComposite::GetStartPoint(CGeoPoint& point)
{
    return m_pChildren != nullptr && m_pChildren->GetStartPoint(point);
}

bool CDocDataComposite::GetEndPoint(CGeoPoint& point)
{
    CDocData* last = LastChild();
    return last != nullptr && last->GetEndPoint(point);
}

PATHREC* CDocDataComposite::MakeOutputPath()
{
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    EachChild(m_pChildren, [&](CDocData& c) { AppendPathRecord(&head, &tail, c.MakeOutputPath()); });
    // Brackets around nothing would hand the job a group whose bounds
    // enclose no path.
    if (head == nullptr)
        return nullptr;

    PATHREC* open = new PATHREC;
    open->m_kind = PATH_KIND_GROUP;
    ARRAYREC* array = new ARRAYREC;
    array->m_nRows = 1;
    array->m_nCols = 1;
    array->m_dDy = m_rcBound.Height();
    array->m_dDx = m_rcBound.Width();
    // The fill area of a single copy is the copy itself.
    array->m_dAreaW = m_rcBound.Width();
    array->m_dAreaH = m_rcBound.Height();
    if (HasArrayCopies()) {
        array->m_nRows = m_pArray->m_nRows;
        array->m_nCols = m_pArray->m_nCols;
        array->m_dDy = m_pArray->m_dDy;
        array->m_dDx = m_pArray->m_dDx;
        array->m_dAreaW = m_pArray->m_dAreaW;
        array->m_dAreaH = m_pArray->m_dAreaH;
    }
    open->m_pArray = array;
    open->m_pNext = head;
    head->m_pPrev = open;

    PATHREC* close = new PATHREC;
    close->m_kind = PATH_KIND_GROUP;
    close->m_pPrev = tail;
    tail->m_pNext = close;

    GetGroupBoundRect(open, open->m_xmin, open->m_xmax, open->m_ymin, open->m_ymax, true);
    return open;
}

void CDocDataComposite::Draw(CDC* dc, DOCCONTEXT* ctx)
{
    DrawArrayPreview(dc, ctx, m_pArray);
    EachChild(m_pChildren, [&](CDocData& c) { c.Draw(dc, ctx); });
}

void CDocDataComposite::DrawArrayPreview(CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.DrawArrayPreview(dc, ctx, array); });
}

void CDocDataComposite::DrawNodes(CDC* dc, DOCCONTEXT* ctx)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.DrawNodes(dc, ctx); });
}

void CDocDataComposite::DrawStartPoint(CDC* dc, DOCCONTEXT* ctx)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.DrawStartPoint(dc, ctx); });
}

void CDocDataComposite::DrawIndex(CDC* dc, DOCCONTEXT* ctx, int number)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.DrawIndex(dc, ctx, number); });
}

void CDocDataComposite::DrawDirection(CDC* dc, DOCCONTEXT* ctx)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.DrawDirection(dc, ctx); });
}

void CDocDataComposite::Move(const CGeoPoint& from, const CGeoPoint& to, DOCCONTEXT* ctx)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.Move(from, to, ctx); });
    RecalcBoundRect(ctx);
}

void CDocDataComposite::DrawMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.DrawMovePreview(ctx, dc, from, to); });
}

void CDocDataComposite::Scale(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx)
{
    SharedScale(cx, cy, sx, sy, ctx);
}

void CDocDataComposite::DrawScalePreview(DOCCONTEXT* ctx, CDC* dc, double cx, double cy, double sx, double sy)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.DrawScalePreview(ctx, dc, cx, cy, sx, sy); });
}

void CDocDataComposite::Skew(double factor, double from, double to, int direction, DOCCONTEXT* ctx)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.Skew(factor, from, to, direction, ctx); });
    RecalcBoundRect(ctx);
}

void CDocDataComposite::DrawSkewPreview(DOCCONTEXT* ctx, CDC* dc, double factor, double from, double to,
                                        int direction)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.DrawSkewPreview(ctx, dc, factor, from, to, direction); });
}

void CDocDataComposite::Rotate(const CGeoPoint& centre, double angle, DOCCONTEXT* ctx)
{
    m_rcBound.SetEmpty();
    EachChild(m_pChildren, [&](CDocData& c) {
        c.Rotate(centre, angle, ctx);
        m_rcBound.Union(c.m_rcBound);
    });
}

void CDocDataComposite::RotateBy3Points(const CGeoPoint& centre, const CGeoPoint& from, const CGeoPoint& to,
                                        DOCCONTEXT* ctx)
{
    m_rcBound.SetEmpty();
    EachChild(m_pChildren, [&](CDocData& c) {
        c.RotateBy3Points(centre, from, to, ctx);
        m_rcBound.Union(c.m_rcBound);
    });
}

void CDocDataComposite::DrawRotatePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& centre,
                                          const CGeoPoint& from, const CGeoPoint& to)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.DrawRotatePreview(ctx, dc, centre, from, to); });
}

void CDocDataComposite::MoveSelectedNodes(const CGeoPoint& from, const CGeoPoint& to, int mode, DOCCONTEXT* ctx)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.MoveSelectedNodes(from, to, mode, ctx); });
}

void CDocDataComposite::DrawNodeMovePreview(DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from, const CGeoPoint& to,
                                            int mode)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.DrawNodeMovePreview(ctx, dc, from, to, mode); });
}

CDocData* CDocDataComposite::MirrorAbout(double x1, double y1, double x2, double y2, bool asCopy, bool reverse,
                                         DOCCONTEXT* ctx)
{
    if (asCopy) {
        CDocData* copy = CopySelf();
        copy->MirrorAbout(x1, y1, x2, y2, false, reverse, ctx);
        return copy;
    }
    if (reverse)
        Reverse();
    if (m_pArray == nullptr) {
        m_rcBound.SetEmpty();
        EachChild(m_pChildren, [&](CDocData& c) {
            c.MirrorAbout(x1, y1, x2, y2, false, false, ctx);
            m_rcBound.Union(c.m_rcBound);
        });
    } else {
        EachChild(m_pChildren, [&](CDocData& c) { c.MirrorAbout(x1, y1, x2, y2, false, false, ctx); });
        RecalcBoundRect(ctx);
    }
    return nullptr;
}

void CDocDataComposite::Flip(const CGeoPoint& centre, bool horizontal, bool vertical, DOCCONTEXT* ctx)
{
    if (m_pArray == nullptr) {
        m_rcBound.SetEmpty();
        EachChild(m_pChildren, [&](CDocData& c) {
            c.Flip(centre, horizontal, vertical, ctx);
            m_rcBound.Union(c.m_rcBound);
        });
    } else {
        EachChild(m_pChildren, [&](CDocData& c) { c.Flip(centre, horizontal, vertical, ctx); });
        RecalcBoundRect(ctx);
    }
}

void CDocDataComposite::DrawMirrorPreview(DOCCONTEXT* ctx, CDC* dc, double x1, double y1, double x2, double y2)
{
    EachChild(m_pChildren, [&](CDocData& c) { c.DrawMirrorPreview(ctx, dc, x1, y1, x2, y2); });
}

void CDocDataComposite::ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx)
{
    const ArrayGaps gaps = MeasureArrayGaps(*this, ctx);
    EachChild(m_pChildren, [&](CDocData& c) { c.ScaleNodes(cx, cy, sx, sy, ctx); });
    ScaleBoxAndPitches(*this, gaps, cx, cy, sx, sy, ctx);
}

bool CDocDataComposite::InsertNodeAt(double x, double y, double tol)
{
    return FirstChild(m_pChildren, [&](CDocData& c) { return c.InsertNodeAt(x, y, tol); });
}

bool CDocDataComposite::DeleteSelectedNodes()
{
    return FirstChild(m_pChildren, [&](CDocData& c) { return c.DeleteSelectedNodes(); });
}
