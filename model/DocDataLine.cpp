#include "DocDataLine.h"

#include "ArrayExplode.h"
#include "DocContext.h"
#include "DocListNode.h"
#include "DocState.h"
#include "GeoFunctions.h"
#include "LeadInOut.h"
#include "PathRecord.h"
#include "PolylineGeometry.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Share of the outline's length before the segment that carries the
// direction arrow, and where on that segment the tip stands.
constexpr double kDirectionShare = 0.25;
constexpr double kArrowTipAt = 0.66;
constexpr double kArrowWing = 8.0;
// Bit of the output switch that marks light-guide lines.
constexpr std::uint8_t kLightGuideBit = 0x80;
constexpr std::uint16_t kLightGuideSubkind = 3;

// Successor of a node within a list, null at the end or back at the head.
DOCNODE* NextIn(const DOCNODE* head, const DOCNODE* n)
{
    return n->m_pNext != head ? n->m_pNext : nullptr;
}

bool EndsMeet(const DOCNODE* a, const DOCNODE* b)
{
    return std::fabs(a->m_x - b->m_x) <= kSamePointTol && std::fabs(a->m_y - b->m_y) <= kSamePointTol;
}

bool Near(const DOCNODE* n, double x, double y, double tol)
{
    return std::fabs(x - n->m_x) < tol && std::fabs(y - n->m_y) < tol;
}

void MirrorXY(double& x, double& y, double x1, double y1, double x2, double y2)
{
    double mx = x, my = y;
    GeoMirrorPoint(x, y, x1, y1, x2, y2, mx, my);
    x = mx;
    y = my;
}

bool LeadInShown(const CDocData& obj)
{
    return LeadShownOn(obj.m_pLeadInOut, obj.m_pNodes, true);
}

bool LeadOutShown(const CDocData& obj)
{
    return LeadShownOn(obj.m_pLeadInOut, obj.m_pNodes, false);
}

CGeoPoint Client(const DOCCONTEXT* ctx, double x, double y)
{
    CGeoPoint out;
    ctx->WorldToClientPoint(CGeoPoint(x, y), out);
    return out;
}

// The outline with its leads and, when asked, the end-gap cross, shifted by
// (ox, oy) world units, with the pen in force.
void DrawShape(const CDocData& obj, CDC* dc, const DOCCONTEXT* ctx, double ox, double oy, bool cross)
{
    const DOCNODE* head = obj.m_pNodes;
    const plat::POINT first = ctx->WorldToClientPixel(head->m_x + ox, head->m_y + oy);
    if (LeadInShown(obj)) {
        const LEADINOUT& lead = *obj.m_pLeadInOut;
        const CGeoPoint from = Client(ctx, lead.m_dInX + ox, lead.m_dInY + oy);
        const CGeoPoint to = Client(ctx, head->m_x + ox, head->m_y + oy);
        CDocData::DrawArrowHead(dc, from.m_x, from.m_y, to.m_x, to.m_y);
        const plat::POINT in = ctx->WorldToClientPixel(lead.m_dInX + ox, lead.m_dInY + oy);
        dc->MoveTo(in.x, in.y);
        dc->LineTo(first.x, first.y);
    } else {
        dc->MoveTo(first.x, first.y);
    }
    const DOCNODE* last = head;
    for (const DOCNODE* n = NextIn(head, head); n != nullptr; n = NextIn(head, n)) {
        const plat::POINT p = ctx->WorldToClientPixel(n->m_x + ox, n->m_y + oy);
        dc->LineTo(p.x, p.y);
        last = n;
    }
    if (LeadOutShown(obj)) {
        const LEADINOUT& lead = *obj.m_pLeadInOut;
        const plat::POINT out = ctx->WorldToClientPixel(lead.m_dOutX + ox, lead.m_dOutY + oy);
        dc->LineTo(out.x, out.y);
        const CGeoPoint from = Client(ctx, last->m_x + ox, last->m_y + oy);
        const CGeoPoint to = Client(ctx, lead.m_dOutX + ox, lead.m_dOutY + oy);
        CDocData::DrawArrowHead(dc, from.m_x, from.m_y, to.m_x, to.m_y);
    }
    if (cross && obj.m_pEndGap != nullptr && obj.m_pEndGap->m_bOn != 0) {
        CDocData::DrawEndGapCross(
            dc, ctx->WorldToClientPixel(obj.m_pEndGap->m_dMarkX + ox, obj.m_pEndGap->m_dMarkY + oy));
    }
}

// Every array position but the first, shifted by the pitches in world
// direction.
void DrawArrayShapes(const CDocData& obj, CDC* dc, const DOCCONTEXT* ctx, const ARRAYREC& array,
                     const plat::Pen& pen)
{
    plat::ScopedPen scoped(*dc, pen);
    ForEachArrayOffset(array, [&](double dx, double dy) { DrawShape(obj, dc, ctx, dx, dy, true); });
}

// A transformed copy of the outline drawn as one polyline in exclusive-or
// mode at the current zoom, so that drawing it again erases it.
void DrawXorCopy(const CDocData& obj, DOCCONTEXT* ctx, CDC* dc, DOCNODE* copy)
{
    const double zoom = ctx != nullptr ? ctx->m_dZoom : 1.0;
    const plat::Pen pen{plat::PS_DOT, 1, CDocData::SettingsOf(ctx).m_crBackground ^ obj.m_nColor};
    plat::ScopedPen scoped(*dc, pen, plat::R2_XORPEN);
    bool first = true;
    ForEachNode(copy, [&](DOCNODE& n) {
        const int x = plat::RoundPixel(n.m_x * zoom);
        const int y = plat::RoundPixel(n.m_y * zoom);
        if (first)
            dc->MoveTo(x, y);
        else
            dc->LineTo(x, y);
        first = false;
    });
}

template <typename Transform>
void DrawTransformedPreview(const CDocData& obj, DOCCONTEXT* ctx, CDC* dc, Transform transform)
{
    if (dc == nullptr || obj.m_pNodes == nullptr)
        return;
    DOCNODE* copy = CopyPointList(obj.m_pNodes);
    ForEachNode(copy, transform);
    DrawXorCopy(obj, ctx, dc, copy);
    CDocState::FreeNodeList(copy);
}

void SetAllStates(CDocData& obj, std::uint8_t state)
{
    ForEachNode(obj.m_pNodes, [&](DOCNODE& n) { n.m_nSelect = state; });
}

} // namespace

CDocDataLine::CDocDataLine()
{
    m_nType = MT_LINE;
}

CDocDataLine::CDocDataLine(DOCNODE* nodes, std::uint8_t adopt, DOCCONTEXT* ctx)
{
    m_nType = MT_LINE;
    m_pNodes = adopt == 1 ? nodes : CopyPointList(nodes);
    if (m_pNodes == nullptr)
        return;
    CDocData::RecalcBoundRect(ctx);
    DOCNODE* last = LastNode(m_pNodes);
    if (last != m_pNodes && EndsMeet(last, m_pNodes)) {
        last->m_x = m_pNodes->m_x;
        last->m_y = m_pNodes->m_y;
        m_bClosed = 1;
    } else {
        m_bClosed = 0;
    }
    SetSelected(1);
}

CDocDataLine::CDocDataLine(const CDocDataLine& source) : CDocData()
{
    m_nType = MT_LINE;
    CopyFrom(source);
}

CDocDataLine::~CDocDataLine()
{
    CDocState::FreeNodeList(m_pNodes);
}

bool CDocDataLine::SetStartPoint(double x, double y, double tol)
{
    if (m_pNodes == nullptr)
        return false;
    if (m_bClosed != 0)
        return SetStartPointClosedOf(*this, x, y, tol);
    if (!Near(LastNode(m_pNodes), x, y, tol))
        return false;
    Reverse();
    return true;
}

bool CDocDataLine::Close()
{
    if (CountNodes(m_pNodes) < 2)
        return false;
    DOCNODE* last = LastNode(m_pNodes);
    if (!EndsMeet(last, m_pNodes))
        AppendNode(last, m_pNodes->m_x, m_pNodes->m_y, NODE_ANCHOR, NODE_UNSELECTED);
    m_bClosed = 1;
    return true;
}

PATHREC* CDocDataLine::MakeOutputPath()
{
    return MakeOutputPathOf(*this, (m_bOutput & kLightGuideBit) != 0 ? kLightGuideSubkind : 0);
}

void CDocDataLine::ExplodeArray(DOCCONTEXT* ctx)
{
    ExplodeArrayCopies(*this, ctx, &CDocDataLine::Copy);
}

CDocData* CDocDataLine::Copy(const CDocData& source)
{
    // The type id alone does not prove the class: an id can be set on an
    // object of another class.
    const auto* line = dynamic_cast<const CDocDataLine*>(&source);
    return line != nullptr ? new CDocDataLine(*line) : nullptr;
}

void CDocDataLine::DrawDirection(CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr || m_pNodes == nullptr)
        return;
    const double total = PolylineLength(m_pNodes);
    double running = 0.0;
    for (const DOCNODE* n = m_pNodes; NextIn(m_pNodes, n) != nullptr; n = n->m_pNext) {
        const DOCNODE* m = n->m_pNext;
        running += std::hypot(m->m_x - n->m_x, m->m_y - n->m_y);
        if (running >= total * kDirectionShare &&
            (std::fabs(m->m_x - n->m_x) > kSamePointTol || std::fabs(m->m_y - n->m_y) > kSamePointTol)) {
            DrawDirectionArrow(*this, dc, ctx, n);
            return;
        }
    }
}

void CDocDataLine::ScaleNodes(double cx, double cy, double sx, double sy, DOCCONTEXT* ctx)
{
    ScaleNodesOf(*this, cx, cy, sx, sy, ctx);
}

bool CDocDataLine::InsertNodeAt(double x, double y, double tol)
{
    DOCNODE* a = FindHitSegment(*this, x, y, tol);
    if (a == nullptr)
        return false;
    const DOCNODE* b = a->m_pNext;
    double fx = x, fy = y;
    GeoProjectPointOnLine(a->m_x, a->m_y, b->m_x, b->m_y, x, y, fx, fy);
    AppendNode(a, fx, fy, NODE_ANCHOR, NODE_SELECTED);
    MarkAnchorsSelected();
    return true;
}

void CDocDataLine::ScaleNodesOf(CDocData& obj, double cx, double cy, double sx, double sy, DOCCONTEXT* ctx)
{
    const ArrayGaps gaps = MeasureArrayGaps(obj, ctx);
    const bool hasFirst = obj.m_pNodes != nullptr;
    const double firstX = hasFirst ? obj.m_pNodes->m_x : 0.0;
    const double firstY = hasFirst ? obj.m_pNodes->m_y : 0.0;
    ForEachNode(obj.m_pNodes, [&](DOCNODE& n) {
        n.m_x = (n.m_x - cx) * sx + cx;
        n.m_y = (n.m_y - cy) * sy + cy;
    });
    ScaleBoxAndPitches(obj, gaps, cx, cy, sx, sy, ctx);

    if (obj.m_pLeadInOut != nullptr && hasFirst) {
        const double dx = obj.m_pNodes->m_x - firstX;
        const double dy = obj.m_pNodes->m_y - firstY;
        obj.m_pLeadInOut->m_dInX += dx;
        obj.m_pLeadInOut->m_dInY += dy;
        obj.m_pLeadInOut->m_dOutX += dx;
        obj.m_pLeadInOut->m_dOutY += dy;
    }
    if (obj.m_pEndGap != nullptr)
        SetEndGap(&obj, obj.m_pEndGap->m_dGap, obj.m_pEndGap->m_bOn);
}

bool CDocDataLine::SelectInRectOf(CDocData& obj, const CGeoBox& box)
{
    if (obj.m_pNodes == nullptr)
        return false;
    if (obj.m_bNodesSelected != 0) {
        bool any = false;
        ForEachNode(obj.m_pNodes, [&](DOCNODE& n) {
            const bool inside = box.Contains(n.m_x, n.m_y);
            n.m_nSelect = inside ? NODE_ACTIVE : NODE_SELECTED;
            any = any || inside;
        });
        return any;
    }
    if (!obj.m_rcBound.IsInside(box))
        return false;
    obj.m_bNodesSelected = 1;
    SetAllStates(obj, NODE_SELECTED);
    return true;
}

DOCNODE* CDocDataLine::FindHitSegment(const CDocData& obj, double x, double y, double tol, const DOCNODE* after)
{
    DOCNODE* head = obj.m_pNodes;
    if (head == nullptr)
        return nullptr;
    DOCNODE* a = after != nullptr ? NextIn(head, after) : head;
    for (; a != nullptr && NextIn(head, a) != nullptr; a = a->m_pNext) {
        const DOCNODE* b = a->m_pNext;
        if (x > std::min(a->m_x, b->m_x) - tol && x < std::max(a->m_x, b->m_x) + tol &&
            y > std::min(a->m_y, b->m_y) - tol && y < std::max(a->m_y, b->m_y) + tol &&
            GeoPointLineDistance(a->m_x, a->m_y, b->m_x, b->m_y, x, y) < tol)
            return a;
    }
    return nullptr;
}

bool CDocDataLine::HitSegmentOf(CDocData& obj, double x, double y, double tol, std::uint8_t state)
{
    DOCNODE* a = FindHitSegment(obj, x, y, tol);
    if (a == nullptr)
        return false;
    if (state < 255) {
        DOCNODE* b = a->m_pNext;
        a->m_nSelect = state;
        b->m_nSelect = state;
        if (obj.m_bClosed != 0) {
            DOCNODE* last = LastNode(obj.m_pNodes);
            if (b == last)
                obj.m_pNodes->m_nSelect = state;
            if (a == obj.m_pNodes)
                last->m_nSelect = state;
        }
    }
    return true;
}

bool CDocDataLine::HitTestOf(const CDocData& obj, double x, double y, double tol)
{
    return FindHitSegment(obj, x, y, tol) != nullptr;
}

bool CDocDataLine::ReverseOf(CDocData& obj)
{
    DOCNODE* head = obj.m_pNodes;
    if (head == nullptr)
        return false;
    DOCNODE* n = head;
    DOCNODE* last = head;
    do {
        std::swap(n->m_pPrev, n->m_pNext);
        last = n;
        n = n->m_pPrev; // the old next
    } while (n != nullptr && n != head);
    // On a ring the old head's new next is the old last node.
    obj.m_pNodes = n == head ? head->m_pNext : last;
    return true;
}

bool CDocDataLine::SetStartPointClosedOf(CDocData& obj, double x, double y, double tol)
{
    DOCNODE* head = obj.m_pNodes;
    if (head == nullptr)
        return false;
    DOCNODE* last = LastNode(head);
    if (last == head)
        return Near(head, x, y, tol);
    if (head->m_nSelect != NODE_UNSELECTED || last->m_nSelect != NODE_UNSELECTED)
        head->m_nSelect = NODE_SELECTED;

    // Drop the closing node and join the rest into a ring.
    DOCNODE* tail = last->m_pPrev;
    if (head->m_pPrev == last)
        head->m_pPrev = nullptr;
    delete last;
    tail->m_pNext = head;
    head->m_pPrev = tail;

    DOCNODE* found = nullptr;
    DOCNODE* n = head;
    do {
        if (Near(n, x, y, tol)) {
            found = n;
            break;
        }
        n = n->m_pNext;
    } while (n != head);

    DOCNODE* start = found != nullptr ? found : head;
    DOCNODE* end = start->m_pPrev;
    end->m_pNext = nullptr;
    start->m_pPrev = nullptr;
    AppendNode(end, start->m_x, start->m_y, NODE_ANCHOR, NODE_UNSELECTED);
    obj.m_pNodes = start;
    return found != nullptr;
}

namespace {

// The path records of an outline from its final points: the path, with its
// leads when asked, inside array brackets when the object has copies.
PATHREC* AssembleOutputPath(const CDocData& obj, const DOCNODE* points, std::uint16_t bracketSubkind, bool leadIn,
                            bool leadOut)
{
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    PATHREC* open = nullptr;
    if (obj.HasArrayCopies()) {
        open = new PATHREC;
        open->m_kind = PATH_KIND_GROUP;
        open->m_subkind = bracketSubkind;
        open->m_pArray = new ARRAYREC(*obj.m_pArray);
        AppendPathRecord(&head, &tail, open);
    }
    // Light-guide lines are told apart by their sub-kind down the job
    // pipeline, which marks their work layer from it.
    const std::uint16_t subkind = (obj.m_bOutput & kLightGuideBit) != 0 ? kLightGuideSubkind : 0;
    PATHREC* path = BuildPathRecord(points, subkind);
    AppendPathRecord(&head, &tail, path);
    if (leadIn)
        AddLeadSegment(path, true, obj.m_pLeadInOut->m_dInX, obj.m_pLeadInOut->m_dInY);
    if (leadOut)
        AddLeadSegment(path, false, obj.m_pLeadInOut->m_dOutX, obj.m_pLeadInOut->m_dOutY);
    if (open != nullptr) {
        PATHREC* close = new PATHREC;
        close->m_kind = PATH_KIND_GROUP;
        close->m_subkind = bracketSubkind;
        AppendPathRecord(&head, &tail, close);
        GetGroupBoundRect(open, open->m_xmin, open->m_xmax, open->m_ymin, open->m_ymax, true);
    }
    return head;
}

bool EndGapOn(const CDocData& obj)
{
    return obj.m_pEndGap != nullptr && obj.m_pEndGap->m_bOn != 0 && obj.m_pEndGap->m_dGap > 0.0;
}

} // namespace

PATHREC* CDocDataLine::MakeOutputPathOf(const CDocData& obj, std::uint16_t bracketSubkind)
{
    // Without leads or an end gap the nodes are only read, so they need no
    // copy: a job of a million lines spares a million node lists.
    if (obj.m_pLeadInOut == nullptr && !EndGapOn(obj))
        return obj.m_pNodes != nullptr ? AssembleOutputPath(obj, obj.m_pNodes, bracketSubkind, false, false) : nullptr;
    return MakeOutputPathOfPoints(obj, CopyPointList(obj.m_pNodes), bracketSubkind);
}

PATHREC* CDocDataLine::MakeOutputPathOfPoints(const CDocData& obj, DOCNODE* points, std::uint16_t bracketSubkind)
{
    if (points == nullptr)
        return nullptr;
    // Leads go out only where the outline to be cut has a direction at its
    // ends, taken before the end gap shortens it.
    const bool leadIn = LeadShownOn(obj.m_pLeadInOut, points, true);
    const bool leadOut = LeadShownOn(obj.m_pLeadInOut, points, false);
    if (EndGapOn(obj))
        CutEndGap(points, obj.m_pEndGap);
    PATHREC* head = AssembleOutputPath(obj, points, bracketSubkind, leadIn, leadOut);
    CDocState::FreeNodeList(points);
    return head;
}

void CDocDataLine::DrawOf(CDocData& obj, CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr || obj.m_pNodes == nullptr)
        return;
    obj.DrawArrayPreview(dc, ctx, obj.m_pArray);
    {
        plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 0, obj.m_nColor});
        DrawShape(obj, dc, ctx, 0.0, 0.0, true);
    }
    obj.DrawArrayCopies(dc, ctx);
}

void CDocDataLine::DrawArrayPreviewOf(const CDocData& obj, CDC* dc, DOCCONTEXT* ctx, const ARRAYREC* array)
{
    if (dc == nullptr || ctx == nullptr || array == nullptr || obj.m_pNodes == nullptr)
        return;
    DrawArrayShapes(obj, dc, ctx, *array, plat::Pen{plat::PS_DOT, 0, obj.m_nColor});
}

void CDocDataLine::DrawArrayCopiesOf(const CDocData& obj, CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr || ctx->m_pCurrent == nullptr || obj.m_pNodes == nullptr)
        return;
    const ARRAYREC* array = ctx->m_pCurrent->m_pArray;
    // Shown whenever the job would output copies: more than one row or
    // more than one column.
    if (array == nullptr || (array->m_nRows <= 1 && array->m_nCols <= 1))
        return;
    DrawArrayShapes(obj, dc, ctx, *array, plat::Pen{plat::PS_SOLID, 0, obj.m_nColor});
}

void CDocDataLine::DrawNodesOf(const CDocData& obj, CDC* dc, DOCCONTEXT* ctx, bool onlyOneAndTwo)
{
    if (dc == nullptr || ctx == nullptr || obj.m_bNodesSelected == 0)
        return;
    ForEachNode(obj.m_pNodes, [&](DOCNODE& n) {
        if (n.m_nSelect == NODE_UNSELECTED || (onlyOneAndTwo && n.m_nSelect > NODE_ACTIVE))
            return;
        const plat::POINT p = ctx->WorldToClientPixel(n.m_x, n.m_y);
        if (n.m_nSelect == NODE_SELECTED) {
            plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 0, obj.m_nColor});
            DrawNodeSquare(dc, p, 2, 0);
        } else {
            plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 2, obj.m_nColor});
            DrawNodeSquare(dc, p, 3, 1);
        }
    });
}

void CDocDataLine::DrawDirectionArrow(const CDocData& obj, CDC* dc, DOCCONTEXT* ctx, const DOCNODE* start)
{
    if (dc == nullptr || ctx == nullptr || start == nullptr || start->m_pNext == nullptr)
        return;
    const CGeoPoint p = Client(ctx, start->m_x, start->m_y);
    const CGeoPoint q = Client(ctx, start->m_pNext->m_x, start->m_pNext->m_y);
    const double len = std::hypot(q.m_x - p.m_x, q.m_y - p.m_y);
    double tx = p.m_x, ty = p.m_y;
    if (!GeoPointAlong(p.m_x, p.m_y, q.m_x, q.m_y, kArrowTipAt * len, tx, ty))
        return; // the segment is shorter than a pixel on screen
    double bx = tx, by = ty;
    GeoPointAlong(tx, ty, p.m_x, p.m_y, kArrowWing, bx, by);
    double w1x = bx, w1y = by, w2x = bx, w2y = by;
    GeoRotatePoint(tx, ty, bx, by, std::numbers::pi / 6.0, w1x, w1y);
    GeoRotatePoint(tx, ty, bx, by, -std::numbers::pi / 6.0, w2x, w2y);
    plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 0, obj.m_nColor});
    dc->MoveTo(plat::RoundPixel(w1x), plat::RoundPixel(w1y));
    dc->LineTo(plat::RoundPixel(tx), plat::RoundPixel(ty));
    dc->LineTo(plat::RoundPixel(w2x), plat::RoundPixel(w2y));
}

void CDocDataLine::DrawScalePreviewOf(const CDocData& obj, DOCCONTEXT* ctx, CDC* dc, double cx, double cy,
                                      double sx, double sy)
{
    DrawTransformedPreview(obj, ctx, dc, [&](DOCNODE& n) {
        n.m_x = (n.m_x - cx) * sx + cx;
        n.m_y = (n.m_y - cy) * sy + cy;
    });
}

void CDocDataLine::DrawSkewPreviewOf(const CDocData& obj, DOCCONTEXT* ctx, CDC* dc, double factor, double from,
                                     double to, int direction)
{
    DrawTransformedPreview(obj, ctx, dc,
                           [&](DOCNODE& n) { CDocData::SkewPoint(n.m_x, n.m_y, factor, from, to, direction); });
}

void CDocDataLine::DrawRotatePreviewOf(const CDocData& obj, DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& centre,
                                       const CGeoPoint& from, const CGeoPoint& to)
{
    const double angle = CDocData::RotationAngleOf3Points(centre, from, to);
    DrawTransformedPreview(obj, ctx, dc, [&](DOCNODE& n) {
        double x = n.m_x, y = n.m_y;
        GeoRotatePoint(centre.m_x, centre.m_y, n.m_x, n.m_y, angle, x, y);
        n.m_x = x;
        n.m_y = y;
    });
}

void CDocDataLine::DrawMirrorPreviewOf(const CDocData& obj, DOCCONTEXT* ctx, CDC* dc, double x1, double y1,
                                       double x2, double y2)
{
    DrawTransformedPreview(obj, ctx, dc, [&](DOCNODE& n) { MirrorXY(n.m_x, n.m_y, x1, y1, x2, y2); });
}

void CDocDataLine::DrawNodeMovePreviewOf(const CDocData& obj, DOCCONTEXT* ctx, CDC* dc, const CGeoPoint& from,
                                         const CGeoPoint& to, bool asRing)
{
    if (dc == nullptr || obj.m_pNodes == nullptr)
        return;
    DOCNODE* copy = CopyPointList(obj.m_pNodes);
    if (asRing && copy->m_pNext != nullptr) {
        DOCNODE* last = LastNode(copy);
        if (EndsMeet(last, copy) && last->m_pPrev != copy) {
            DOCNODE* tail = last->m_pPrev;
            tail->m_pNext = nullptr;
            delete last;
        }
        DOCNODE* tail = LastNode(copy);
        tail->m_pNext = copy;
        copy->m_pPrev = tail;
    }
    const double dx = to.m_x - from.m_x;
    const double dy = to.m_y - from.m_y;
    ForEachNode(copy, [&](DOCNODE& n) {
        if (n.m_nSelect == NODE_ACTIVE) {
            n.m_x += dx;
            n.m_y += dy;
        }
    });

    const double zoom = ctx != nullptr ? ctx->m_dZoom : 1.0;
    auto px = [zoom](const DOCNODE* n) {
        return plat::POINT{plat::RoundPixel(n->m_x * zoom), plat::RoundPixel(n->m_y * zoom)};
    };
    auto moved = [](const DOCNODE* n) { return n != nullptr && n->m_nSelect == NODE_ACTIVE; };
    {
        plat::ScopedPen pen(*dc, plat::Pen{plat::PS_DOT, 1, obj.m_nColor}, plat::R2_XORPEN);
        for (DOCNODE* a = copy; a != nullptr && a->m_pNext != nullptr; a = NextIn(copy, a)) {
            DOCNODE* b = a->m_pNext;
            if (moved(a) || moved(b)) {
                const plat::POINT pa = px(a);
                const plat::POINT pb = px(b);
                dc->MoveTo(pa.x, pa.y);
                dc->LineTo(pb.x, pb.y);
            }
        }
        if (!asRing) {
            ForEachNode(copy, [&](DOCNODE& n) {
                if (moved(&n) || !(moved(n.m_pPrev) || moved(n.m_pNext)))
                    return;
                const plat::POINT p = px(&n);
                dc->Rectangle(p.x - 2, p.y - 2, p.x + 2, p.y + 2);
            });
        }
    }
    CDocState::FreeNodeList(copy);
}

void CDocDataLine::MoveSelectedNodesOf(CDocData& obj, const CGeoPoint& from, const CGeoPoint& to, int,
                                       DOCCONTEXT* ctx)
{
    const double dx = to.m_x - from.m_x;
    const double dy = to.m_y - from.m_y;
    ForEachNode(obj.m_pNodes, [&](DOCNODE& n) {
        if (n.m_nKind == NODE_ANCHOR && n.m_nSelect == NODE_ACTIVE) {
            n.m_x += dx;
            n.m_y += dy;
        }
    });
    // The box follows the nodes at once: lead building passes over outlines
    // by their boxes, also while the other objects of a drag are moved.
    obj.RecalcBoundRect(ctx);
    if (obj.m_pLeadInOut != nullptr)
        ApplyLeadInOut(ctx, &obj);
    if (obj.m_pEndGap != nullptr)
        SetEndGap(&obj, obj.m_pEndGap->m_dGap, obj.m_pEndGap->m_bOn);
}

CDocData* CDocDataLine::MirrorAboutOf(CDocData& obj, double x1, double y1, double x2, double y2, bool asCopy,
                                      bool reverse, DOCCONTEXT* ctx)
{
    if (asCopy) {
        CDocData* copy = CloneDocData(&obj, false);
        if (copy != nullptr)
            copy->MirrorAbout(x1, y1, x2, y2, false, reverse, ctx);
        return copy;
    }
    if (reverse)
        obj.Reverse();
    ForEachNode(obj.m_pNodes, [&](DOCNODE& n) { MirrorXY(n.m_x, n.m_y, x1, y1, x2, y2); });
    if (LEADINOUT* lead = obj.m_pLeadInOut) {
        if (lead->m_bLeadIn != 0) {
            MirrorXY(lead->m_dInX, lead->m_dInY, x1, y1, x2, y2);
            lead->m_dInAngle = 360.0 - lead->m_dInAngle;
        }
        if (lead->m_bLeadOut != 0) {
            MirrorXY(lead->m_dOutX, lead->m_dOutY, x1, y1, x2, y2);
            lead->m_dOutAngle = 360.0 - lead->m_dOutAngle;
        }
    }
    if (obj.m_pEndGap != nullptr)
        MirrorXY(obj.m_pEndGap->m_dMarkX, obj.m_pEndGap->m_dMarkY, x1, y1, x2, y2);
    obj.RecalcBoundRect(ctx);
    return nullptr;
}

void CDocDataLine::FlipOf(CDocData& obj, const CGeoPoint& centre, bool horizontal, bool vertical,
                          double wrapBelow, DOCCONTEXT* ctx)
{
    // The mirror line runs through the centre and a point 50 units away.
    auto flip = [&](double x2, double y2, auto newAngle) {
        const double cx = centre.m_x, cy = centre.m_y;
        // The mirror line is level or upright for every node alike: the
        // reflection GeoMirrorPoint makes then is written out here, without
        // a call and a test per node.
        if (std::fabs(y2 - cy) < kGeoCoincideTol)
            ForEachNode(obj.m_pNodes, [&](DOCNODE& n) { n.m_y = 2.0 * cy - n.m_y; });
        else if (std::fabs(x2 - cx) < kGeoCoincideTol)
            ForEachNode(obj.m_pNodes, [&](DOCNODE& n) { n.m_x = 2.0 * cx - n.m_x; });
        else
            ForEachNode(obj.m_pNodes, [&](DOCNODE& n) { MirrorXY(n.m_x, n.m_y, cx, cy, x2, y2); });
        if (LEADINOUT* lead = obj.m_pLeadInOut) {
            if (lead->m_bLeadOut != 0) {
                MirrorXY(lead->m_dOutX, lead->m_dOutY, cx, cy, x2, y2);
                lead->m_dOutAngle = newAngle(lead->m_dOutAngle);
            }
            if (lead->m_bLeadIn != 0) {
                MirrorXY(lead->m_dInX, lead->m_dInY, cx, cy, x2, y2);
                lead->m_dInAngle = newAngle(lead->m_dInAngle);
            }
        }
        if (obj.m_pEndGap != nullptr)
            MirrorXY(obj.m_pEndGap->m_dMarkX, obj.m_pEndGap->m_dMarkY, cx, cy, x2, y2);
    };
    if (horizontal) {
        flip(centre.m_x, centre.m_y + 50.0, [wrapBelow](double a) {
            const double b = 180.0 - a;
            return b < wrapBelow ? b + 360.0 : b;
        });
    }
    if (vertical)
        flip(centre.m_x + 50.0, centre.m_y, [](double a) { return 360.0 - a; });
    obj.RecalcBoundRect(ctx);
}

bool CDocDataLine::DeleteSelectedNodesOf(CDocData& obj, bool closed)
{
    if (obj.m_bNodesSelected == 0 || obj.m_pNodes == nullptr)
        return false;
    bool deleted = false;
    // The last node is found once, when first needed, and kept as nodes go,
    // so that deleting many nodes from the head of a long outline does not
    // walk it each time.
    DOCNODE* last = nullptr;
    DOCNODE* n = obj.m_pNodes;
    while (n != nullptr) {
        DOCNODE* next = n->m_pNext;
        if (n->m_nSelect != NODE_ACTIVE) {
            n = next;
            continue;
        }
        deleted = true;
        DOCNODE* head = obj.m_pNodes;
        if (n == head) {
            obj.m_pNodes = next;
            if (next != nullptr)
                next->m_pPrev = nullptr;
            delete n;
            // Two nodes left at least: the closing node follows the new head,
            // and goes with it when that one is to go too, so that deleting
            // every node of a closed outline leaves none.
            if (closed && next != nullptr && next->m_pNext != nullptr) {
                if (last == nullptr)
                    last = LastNode(next);
                last->m_x = obj.m_pNodes->m_x;
                last->m_y = obj.m_pNodes->m_y;
                last->m_nSelect = next->m_nSelect == NODE_ACTIVE ? NODE_ACTIVE : NODE_SELECTED;
            }
        } else if (next != nullptr) {
            n->m_pPrev->m_pNext = next;
            next->m_pPrev = n->m_pPrev;
            delete n;
        } else if (!closed) {
            n->m_pPrev->m_pNext = nullptr;
            delete n;
        } else if (n->m_pPrev == head) {
            // Only the first and the closing node were left.
            CDocState::FreeNodeList(obj.m_pNodes);
            break;
        } else {
            // The closing node stays and runs into the new first node.
            DOCNODE* newFirst = head->m_pNext;
            newFirst->m_pPrev = nullptr;
            delete head;
            obj.m_pNodes = newFirst;
            n->m_x = newFirst->m_x;
            n->m_y = newFirst->m_y;
        }
        n = next;
    }
    return deleted;
}
