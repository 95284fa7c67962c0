#include "DocStateNone.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/GeoFunctions.h"
#include "model/LeadInOut.h"
#include "settings/LanguageTable.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr double kHandleReach = 3.0;    // pixels round a handle position
constexpr double kClickTol = 1e-7;      // press and release this close: a click
constexpr double kMinScaleSize = 1e-5;  // a box dimension that can be scaled
constexpr double kMinObjectSize = 1e-4; // an object box that can be scaled
constexpr double kFlatSkew = 1e-7;      // below: no shear, a move instead
constexpr double kNudgePixels = 3.0;
constexpr int kBandStyle = 2; // dotted pen

constexpr std::uint32_t kKeyLeft = 37;
constexpr std::uint32_t kKeyUp = 38;
constexpr std::uint32_t kKeyRight = 39;
constexpr std::uint32_t kKeyDown = 40;
constexpr std::uint32_t kKeyDelete = 46;
constexpr std::uint32_t kKeyA = 65;

constexpr int kEditMenu = 231;
constexpr plat::UINT kCmdClose = 32891;
constexpr plat::UINT kCmdDelete = 32892;
constexpr std::u16string_view kEditMenuSection = u"phase11:edit-right-menu";
constexpr int kCloseEntry = 38;
constexpr int kDeleteEntry = 39;

bool IsCorner(std::uint32_t h) { return h == 1 || h == 3 || h == 7 || h == 9; }

// Shear of a mode-2 edge handle: d along the sheared axis, the edge that
// stays at a, the dragged one at b, and the direction CDocData::Skew takes
// (0 moves y with x, 1 moves x with y).
struct SkewStep {
    double d = 0.0;
    double a = 0.0;
    double b = 0.0;
    int direction = 1;
};

SkewStep SkewFor(std::uint32_t handle, const CGeoBox& box, double dx, double dy)
{
    switch (handle) {
    case 2:
        return SkewStep{dx, box.m_ymax, box.m_ymin, 1};
    case 8:
        return SkewStep{dx, box.m_ymin, box.m_ymax, 1};
    case 4:
        return SkewStep{dy, box.m_xmax, box.m_xmin, 0};
    default:
        return SkewStep{dy, box.m_xmin, box.m_xmax, 0};
    }
}

bool IsFlat(const CGeoBox& box)
{
    return std::fabs(box.m_xmax - box.m_xmin) < kFlatSkew || std::fabs(box.m_ymax - box.m_ymin) < kFlatSkew;
}

CDocData* FirstObject(DOCCONTEXT* ctx)
{
    return ctx->m_pCurrent != nullptr ? ctx->m_pCurrent->m_pFirst : nullptr;
}

// Whether an object and every child already carry a layer and colour.
bool HasColour(CDocData* obj, std::int32_t layer, std::uint32_t colour)
{
    if (obj->m_nLayer != layer || obj->m_nColor != colour)
        return false;
    if (CDocData** children = obj->ChildList()) {
        for (CDocData* child = *children; child != nullptr; child = child->m_pNext) {
            if (!HasColour(child, layer, colour))
                return false;
        }
    }
    return true;
}

} // namespace

CDocStateNone::~CDocStateNone() = default;

void CDocStateNone::Reset(std::uint32_t mode, DOCCONTEXT*)
{
    m_nMode = mode;
    m_bButtonDown = 0;
    m_nHandle = 0;
    m_bPreviewShown = 0;
}

bool CDocStateNone::UpdateSelectionRect(DOCCONTEXT* ctx)
{
    return SharedUpdateSelectionRect(ctx);
}

// ---- Geometry ---------------------------------------------------------------

CDocStateNone::ScaleStep CDocStateNone::ScaleFor(std::uint32_t handle, const CGeoBox& box, double dx, double dy)
{
    ScaleStep s;
    const double W = box.m_xmax - box.m_xmin;
    const double H = box.m_ymax - box.m_ymin;
    const double cx = (box.m_xmin + box.m_xmax) / 2.0;
    const double cy = (box.m_ymin + box.m_ymax) / 2.0;
    // Which side is dragged on each axis: -1 the min side, +1 the max side,
    // 0 the axis is not scaled.
    const int hx = handle == 1 || handle == 4 || handle == 7 ? -1 : handle == 3 || handle == 6 || handle == 9 ? 1 : 0;
    const int hy = handle == 1 || handle == 2 || handle == 3 ? -1 : handle == 7 || handle == 8 || handle == 9 ? 1 : 0;
    s.fixed = CGeoPoint(hx < 0 ? box.m_xmax : hx > 0 ? box.m_xmin : cx, hy < 0 ? box.m_ymax : hy > 0 ? box.m_ymin : cy);
    const bool okW = std::fabs(W) >= kMinScaleSize;
    const bool okH = std::fabs(H) >= kMinScaleSize;
    const double fx = okW && hx != 0 ? (W + hx * dx) / W : 1.0;
    const double fy = okH && hy != 0 ? (H + hy * dy) / H : 1.0;
    if (hx != 0 && hy != 0) {
        if (okW && okH)
            s.sx = s.sy = std::max(fx, fy);
        else {
            s.sx = fx;
            s.sy = fy;
        }
    } else if (hx != 0) {
        s.move = !okW;
        s.sx = fx;
    } else {
        s.move = !okH;
        s.sy = fy;
    }
    return s;
}

std::uint32_t CDocStateNone::HitHandle(const CGeoBox& client, double x, double y)
{
    const double l = client.m_xmin, t = client.m_ymin, r = client.m_xmax, b = client.m_ymax;
    const double cx = (l + r) / 2.0, cy = (t + b) / 2.0;
    const double L = std::min(l - 5, cx - 8), R = std::max(r + 4, cx + 7);
    const double T = std::min(t - 5, cy - 8), B = std::max(b + 4, cy + 7);
    struct At {
        double x, y;
        std::uint32_t handle;
    };
    const At order[] = {{L, T, 1}, {L, cy, 4}, {L, B, 7}, {cx, T, 2}, {cx, B, 8},
                        {R, T, 3}, {R, cy, 6}, {R, B, 9}, {cx, cy, 5}};
    for (const At& at : order) {
        if (std::fabs(x - at.x) <= kHandleReach && std::fabs(y - at.y) <= kHandleReach)
            return at.handle;
    }
    return 0;
}

bool CDocStateNone::ClientBox(DOCCONTEXT* ctx, CGeoBox& client) const
{
    if (ctx->m_rcSelect.IsEmpty())
        return false;
    CGeoPoint lt;
    CGeoPoint rb;
    ctx->WorldToClientPoint(CGeoPoint(ctx->m_rcSelect.m_xmin, ctx->m_rcSelect.m_ymin), lt);
    ctx->WorldToClientPoint(CGeoPoint(ctx->m_rcSelect.m_xmax, ctx->m_rcSelect.m_ymax), rb);
    client = CGeoBox(lt.m_x, rb.m_x, lt.m_y, rb.m_y);
    return true;
}

void CDocStateNone::HitTest(DOCCONTEXT* ctx)
{
    CGeoBox client;
    if (!ClientBox(ctx, client)) {
        m_nHandle = 0;
        return;
    }
    CGeoPoint mouse;
    ctx->WorldToClientPoint(ctx->m_ptMouse, mouse);
    m_nHandle = HitHandle(client, mouse.m_x, mouse.m_y);
}

bool CDocStateNone::IsInside(DOCCONTEXT* ctx) const
{
    CGeoBox client;
    if (!ClientBox(ctx, client))
        return false;
    const double l = client.m_xmin, t = client.m_ymin, r = client.m_xmax, b = client.m_ymax;
    const double cx = (l + r) / 2.0, cy = (t + b) / 2.0;
    const double l2 = std::min(l - 1, cx - 4);
    const double t2 = std::min(t - 1, cy - 4);
    const double r2 = std::max(r + 1, (r + l2) / 2.0 + 4);
    const double b2 = std::max(b + 1, (b + t2) / 2.0 + 4);
    CGeoPoint mouse;
    ctx->WorldToClientPoint(ctx->m_ptMouse, mouse);
    return l2 <= mouse.m_x && mouse.m_x <= r2 && t2 <= mouse.m_y && mouse.m_y <= b2;
}

// ---- Mouse ------------------------------------------------------------------

void CDocStateNone::OnLButtonDown(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    m_ptDown = m_ptCur = ctx->m_ptMouse;
    m_bButtonDown = 1;
    m_bPreviewShown = 0;
    if (m_nMode == 0) {
        DeselectAll(ctx);
        ctx->m_rcSelect.SetEmpty();
        return;
    }
    HitTest(ctx);
    if (m_nHandle != 0) {
        OnSetCursor(ctx);
        return;
    }
    if (!IsInside(ctx) && ctx->m_bShift == 0) {
        InvalidateSelectionArea(ctx, ctx->m_rcSelect);
        DeselectAll(ctx);
        ctx->m_rcSelect.SetEmpty();
    }
}

void CDocStateNone::DrawBand(DOCCONTEXT* ctx, const CGeoPoint& to)
{
    DrawTrackRectPoints(ctx->m_pDC, m_ptDown, to, kBandStyle, CDocData::SettingsOf(ctx).m_crSecondary, ctx);
}

void CDocStateNone::DrawPreview(DOCCONTEXT* ctx, const CGeoPoint& to)
{
    CDC* dc = ctx->m_pDC;
    if (dc == nullptr)
        return;
    const double dx = to.m_x - m_ptDown.m_x;
    const double dy = to.m_y - m_ptDown.m_y;
    const CGeoBox& box = ctx->m_rcSelect;
    const COLORREF colour = CDocData::SettingsOf(ctx).m_crSecondary;
    const bool handleMoves = m_nHandle == 0 || m_nHandle == 5;
    if (handleMoves || (m_nMode == 1 && ScaleFor(m_nHandle, box, dx, dy).move)) {
        DrawTrackRectPoints(dc, CGeoPoint(box.m_xmin + dx, box.m_ymin + dy),
                            CGeoPoint(box.m_xmax + dx, box.m_ymax + dy), kBandStyle, colour, ctx);
        return;
    }
    if (m_nMode == 1) {
        const ScaleStep s = ScaleFor(m_nHandle, box, dx, dy);
        const auto at = [&](double x, double y) {
            return CGeoPoint(s.fixed.m_x + (x - s.fixed.m_x) * s.sx, s.fixed.m_y + (y - s.fixed.m_y) * s.sy);
        };
        DrawTrackRectPoints(dc, at(box.m_xmin, box.m_ymin), at(box.m_xmax, box.m_ymax), kBandStyle, colour, ctx);
        return;
    }
    const CGeoPoint centre((box.m_xmin + box.m_xmax) / 2.0, (box.m_ymin + box.m_ymax) / 2.0);
    const SkewStep k = SkewFor(m_nHandle, box, dx, dy);
    const bool flat = std::fabs(k.b - k.a) < kFlatSkew;
    for (CDocData* obj = FirstObject(ctx); obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() == 0)
            continue;
        if (IsCorner(m_nHandle)) {
            if (obj->m_nType == MT_POINT)
                obj->DrawMovePreview(ctx, dc, m_ptDown, to);
            else
                obj->DrawRotatePreview(ctx, dc, centre, m_ptDown, to);
        } else if (flat || IsFlat(obj->m_rcBound)) {
            obj->DrawMovePreview(ctx, dc, m_ptDown, to);
        } else {
            obj->DrawSkewPreview(ctx, dc, k.d, k.a, k.b, k.direction);
        }
    }
}

void CDocStateNone::OnMouseMove(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    if (m_bButtonDown == 0) {
        if (m_nMode != 0) {
            HitTest(ctx);
            OnSetCursor(ctx);
        }
        return;
    }
    const CGeoPoint previous = m_ptCur;
    if (m_nMode == 0 || (m_nMode == 1 && ctx->m_bShift != 0)) {
        DrawBand(ctx, previous);
        m_ptCur = ctx->m_ptMouse;
        DrawBand(ctx, m_ptCur);
    } else {
        if (m_bPreviewShown != 0)
            DrawPreview(ctx, previous);
        m_ptCur = ctx->m_ptMouse;
        DrawPreview(ctx, m_ptCur);
        m_bPreviewShown = 1;
    }
    if (m_nMode != 0)
        OnSetCursor(ctx);
}

void CDocStateNone::OnLButtonUp(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || m_bButtonDown == 0)
        return;
    const CGeoPoint drawn = m_ptCur; // where the band is on screen
    m_ptCur = ctx->m_ptMouse;
    m_bPreviewShown = 0;
    const bool click =
        std::fabs(m_ptDown.m_x - m_ptCur.m_x) < kClickTol && std::fabs(m_ptDown.m_y - m_ptCur.m_y) < kClickTol;
    const bool spans = m_ptDown.m_x != m_ptCur.m_x && m_ptDown.m_y != m_ptCur.m_y;
    const CGeoBox band = CGeoBox::FromPoints(m_ptDown, m_ptCur);
    const auto inBand = [&](const CDocData& obj) {
        const CGeoBox& b = obj.m_rcBound;
        return b.m_xmin >= band.m_xmin && b.m_xmax <= band.m_xmax && b.m_ymin >= band.m_ymin &&
               b.m_ymax <= band.m_ymax;
    };

    if (m_nMode == 0) {
        DrawBand(ctx, drawn);
        ctx->m_rcSelect.SetEmpty();
        if (click) {
            if (SelectAtPoint(ctx)) {
                m_nMode = 1;
                m_nHandle = 0;
                UpdateSelectionRect(ctx);
                InvalidateSelectionArea(ctx, ctx->m_rcSelect);
                RefreshPanel(ctx);
            }
        } else if (spans) {
            for (CDocData* obj = FirstObject(ctx); obj != nullptr; obj = obj->m_pNext) {
                const bool inside = inBand(*obj);
                obj->SetSelected(inside ? 1 : 0);
                if (inside)
                    ctx->m_rcSelect.Union(obj->m_rcBound);
            }
            if (!ctx->m_rcSelect.IsEmpty()) {
                Reset(1, ctx);
                InvalidateSelectionArea(ctx, ctx->m_rcSelect);
                RefreshPanel(ctx);
            }
        } else {
            m_nHandle = 0;
        }
    } else if (m_nMode == 1 && ctx->m_bShift != 0) {
        DrawBand(ctx, drawn);
        InvalidateSelectionArea(ctx, ctx->m_rcSelect);
        if (click) {
            SelectAtPoint(ctx);
        } else if (spans) {
            for (CDocData* obj = FirstObject(ctx); obj != nullptr; obj = obj->m_pNext) {
                if (inBand(*obj))
                    obj->SetSelected(obj->IsSelected() != 0 ? 0 : 1);
            }
        }
        UpdateSelectionRect(ctx);
        InvalidateSelectionArea(ctx, ctx->m_rcSelect);
        if (ctx->m_rcSelect.IsEmpty()) {
            m_nMode = 0;
            m_nHandle = 0;
        }
    } else if (click) {
        m_nMode = m_nMode == 1 ? 2 : 1;
        m_nHandle = 0;
        InvalidateSelectionArea(ctx, ctx->m_rcSelect);
    } else {
        TransformSelection(ctx);
    }
    m_bButtonDown = 0;
    ShowSize(ctx);
}

void CDocStateNone::TransformSelection(DOCCONTEXT* ctx)
{
    if (!HasSelection(ctx))
        return;
    if (!DragStaysInWorld(ctx)) {
        // Nothing changes; what the previews left on screen is painted over.
        if (ctx->m_pView != nullptr)
            ctx->m_pView->InvalidateRect(nullptr, true);
        ReportOutOfWorld(ctx);
        return;
    }
    PushHistory(ctx);
    InvalidateSelectionArea(ctx, GetObjectsBounds(FirstObject(ctx)));
    if (m_nHandle == 0 || m_nHandle == 5)
        MoveSelection(ctx, m_ptDown, m_ptCur, true);
    else if (m_nMode == 1)
        ScaleSelection(ctx);
    else if (IsCorner(m_nHandle))
        RotateSelection(ctx);
    else
        SkewSelection(ctx);
    InvalidateSelectionArea(ctx, GetObjectsBounds(FirstObject(ctx)));
}

// ---- Transforms -------------------------------------------------------------

// Each object's box corners go where the drag takes its nodes (a turned or
// sheared object stays within its turned or sheared corners), under the
// same choices between moving, scaling, turning and shearing as below.
bool CDocStateNone::DragStaysInWorld(DOCCONTEXT* ctx) const
{
    const double dx = m_ptCur.m_x - m_ptDown.m_x, dy = m_ptCur.m_y - m_ptDown.m_y;
    const CGeoBox& box = ctx->m_rcSelect;
    const bool moving = m_nHandle == 0 || m_nHandle == 5;
    const ScaleStep scale = ScaleFor(m_nHandle, box, dx, dy);
    const SkewStep skew = SkewFor(m_nHandle, box, dx, dy);
    const bool flatSkew = std::fabs(skew.b - skew.a) < kFlatSkew;
    const CGeoPoint centre((box.m_xmin + box.m_xmax) / 2.0, (box.m_ymin + box.m_ymax) / 2.0);
    const double turn = CDocData::RotationAngleOf3Points(centre, m_ptDown, m_ptCur);
    for (const CDocData* obj = FirstObject(ctx); obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() == 0)
            continue;
        const CGeoBox& b = obj->m_rcBound;
        const bool scalable =
            std::fabs(b.m_xmax - b.m_xmin) >= kMinObjectSize || std::fabs(b.m_ymax - b.m_ymin) >= kMinObjectSize;
        for (const CGeoPoint& p : {b.BottomLeft(), b.TopRight(), CGeoPoint(b.m_xmin, b.m_ymax),
                                   CGeoPoint(b.m_xmax, b.m_ymin)}) {
            // Moved, unless the drag scales, turns or shears the object.
            double x = p.m_x + dx, y = p.m_y + dy;
            if (moving) {
                // as it is
            } else if (m_nMode == 1) {
                if (!scale.move && scalable) {
                    x = scale.fixed.m_x + (p.m_x - scale.fixed.m_x) * scale.sx;
                    y = scale.fixed.m_y + (p.m_y - scale.fixed.m_y) * scale.sy;
                }
            } else if (IsCorner(m_nHandle)) {
                if (obj->m_nType != MT_POINT) {
                    x = p.m_x;
                    y = p.m_y;
                    if (turn != 0.0 && std::isfinite(turn))
                        GeoRotatePoint(centre.m_x, centre.m_y, p.m_x, p.m_y, turn, x, y);
                }
            } else if (!flatSkew && !IsFlat(b)) {
                x = p.m_x;
                y = p.m_y;
                if (skew.direction == 1)
                    x += skew.d * (p.m_y - skew.a) / (skew.b - skew.a);
                else
                    y += skew.d * (p.m_x - skew.a) / (skew.b - skew.a);
            }
            if (!InWorldRange(x) || !InWorldRange(y))
                return false;
        }
    }
    return true;
}

void CDocStateNone::MoveSelection(DOCCONTEXT* ctx, const CGeoPoint& from, const CGeoPoint& to, bool repaint)
{
    ctx->m_rcSelect.SetEmpty();
    CGeoBox neighbours;
    for (CDocData* obj = FirstObject(ctx); obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() == 0)
            continue;
        if (obj->m_pPrev != nullptr)
            neighbours.Union(obj->m_pPrev->m_rcBound);
        if (obj->m_pNext != nullptr)
            neighbours.Union(obj->m_pNext->m_rcBound);
        obj->Move(from, to, ctx);
        ctx->m_rcSelect.Union(obj->m_rcBound);
    }
    if (!repaint || ctx->m_pView == nullptr)
        return;
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    if (settings.m_bShowOrder != 0) {
        ctx->m_pView->InvalidateRect(nullptr, true);
        return;
    }
    CGeoBox area = ctx->m_rcSelect;
    if (settings.m_bShowTravel != 0)
        area.Union(neighbours);
    InvalidateSelectionArea(ctx, area);
}

void CDocStateNone::ScaleSelection(DOCCONTEXT* ctx)
{
    const ScaleStep s =
        ScaleFor(m_nHandle, ctx->m_rcSelect, m_ptCur.m_x - m_ptDown.m_x, m_ptCur.m_y - m_ptDown.m_y);
    if (s.move) {
        MoveSelection(ctx, m_ptDown, m_ptCur, false);
        return;
    }
    ctx->m_rcSelect.SetEmpty();
    for (CDocData* obj = FirstObject(ctx); obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() == 0)
            continue;
        const CGeoBox& b = obj->m_rcBound;
        if (std::fabs(b.m_xmax - b.m_xmin) >= kMinObjectSize || std::fabs(b.m_ymax - b.m_ymin) >= kMinObjectSize)
            obj->Scale(s.fixed.m_x, s.fixed.m_y, s.sx, s.sy, ctx);
        else
            obj->Move(m_ptDown, m_ptCur, ctx);
        ctx->m_rcSelect.Union(obj->m_rcBound);
    }
}

void CDocStateNone::SkewSelection(DOCCONTEXT* ctx)
{
    const SkewStep k = SkewFor(m_nHandle, ctx->m_rcSelect, m_ptCur.m_x - m_ptDown.m_x, m_ptCur.m_y - m_ptDown.m_y);
    // A reference edge without extent has no shear: everything moves, at
    // any coordinates, rather than staying put.
    const bool flat = std::fabs(k.b - k.a) < kFlatSkew;
    ctx->m_rcSelect.SetEmpty();
    for (CDocData* obj = FirstObject(ctx); obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() == 0)
            continue;
        if (flat || IsFlat(obj->m_rcBound))
            obj->Move(m_ptDown, m_ptCur, ctx);
        else
            obj->Skew(k.d, k.a, k.b, k.direction, ctx);
        ctx->m_rcSelect.Union(obj->m_rcBound);
        if (obj->m_pNodes != nullptr && obj->m_pLeadInOut != nullptr)
            ApplyLeadInOut(ctx, obj);
    }
}

void CDocStateNone::RotateSelection(DOCCONTEXT* ctx)
{
    const CGeoBox& box = ctx->m_rcSelect;
    const CGeoPoint centre((box.m_xmin + box.m_xmax) / 2.0, (box.m_ymin + box.m_ymax) / 2.0);
    ctx->m_rcSelect.SetEmpty();
    for (CDocData* obj = FirstObject(ctx); obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() == 0)
            continue;
        if (obj->m_nType == MT_POINT)
            obj->Move(m_ptDown, m_ptCur, ctx);
        else
            obj->RotateBy3Points(centre, m_ptDown, m_ptCur, ctx);
        ctx->m_rcSelect.Union(obj->m_rcBound);
    }
}

// ---- Keys, menu, palette ----------------------------------------------------

void CDocStateNone::OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key)
{
    if (ctx == nullptr)
        return;
    if (key >= kKeyLeft && key <= kKeyDown) {
        if (ctx->m_rcSelect.IsEmpty() || !(ctx->m_dZoom > 0.0))
            return;
        const double step = kNudgePixels / ctx->m_dZoom;
        const CGeoPoint from(0.0, 0.0);
        const CGeoPoint to(key == kKeyLeft ? -step : key == kKeyRight ? step : 0.0,
                           key == kKeyUp ? -step : key == kKeyDown ? step : 0.0);
        MoveSelection(ctx, from, to, true);
        InvalidateSelectionArea(ctx, ctx->m_rcSelect);
        // No undo step, but the drawing changed: closing must ask.
        ctx->NoteChange();
        return;
    }
    if (key == kKeyDelete) {
        if (!HasSelection(ctx))
            return;
        const bool whole = (ctx->m_pCurrent != nullptr && ctx->m_pCurrent->m_pArray != nullptr) ||
                           CDocData::SettingsOf(ctx).m_bShowOrder != 0;
        DeleteSelectedObjects(ctx);
        if (whole && ctx->m_pView != nullptr)
            ctx->m_pView->InvalidateRect(nullptr, true);
        return;
    }
    if (key == kKeyA) {
        ctx->m_rcSelect.SetEmpty();
        for (CDocData* obj = FirstObject(ctx); obj != nullptr; obj = obj->m_pNext) {
            obj->SetSelected(1);
            ctx->m_rcSelect.Union(obj->m_rcBound);
        }
        if (!ctx->m_rcSelect.IsEmpty()) {
            m_nMode = 1;
            InvalidateSelectionArea(ctx, ctx->m_rcSelect, 0.0);
        }
        ShowSize(ctx);
    }
}

bool CDocStateNone::OnRButtonDown(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pView == nullptr)
        return false;
    // Texts the language file does not give keep the menu's own.
    std::vector<plat::MenuItemText> texts;
    const auto table = RegisteredLanguageTable();
    for (const auto& [id, entry] : {std::pair{kCmdClose, kCloseEntry}, std::pair{kCmdDelete, kDeleteEntry}}) {
        const std::u16string& text = LanguageText(table, kEditMenuSection, entry);
        if (!text.empty())
            texts.push_back(plat::MenuItemText{id, text});
    }
    const plat::POINT at = ctx->WorldToClientPixel(ctx->m_ptMouse.m_x, ctx->m_ptMouse.m_y);
    ctx->m_pView->TrackPopupMenu(kEditMenu, texts, at);
    return false;
}

void CDocStateNone::SetSelectionColor(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_rcSelect.IsEmpty())
        return;
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    const std::int32_t layer = settings.m_nCurLayer;
    const std::uint32_t colour = settings.PaletteColor(layer);
    // Recolouring to what every selected object already has is no edit.
    bool changes = false;
    for (CDocData* obj = FirstObject(ctx); obj != nullptr && !changes; obj = obj->m_pNext)
        changes = obj->IsSelected() != 0 && !HasColour(obj, layer, colour);
    if (!changes)
        return;
    PushHistory(ctx);
    for (CDocData* obj = FirstObject(ctx); obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() != 0)
            obj->SetColor(layer, colour);
    }
    InvalidateSelectionArea(ctx, ctx->m_rcSelect);
    if (ctx->m_pView != nullptr) {
        ctx->m_pView->RefreshLayerList();
        if (settings.m_bOrderPage != 0)
            ctx->m_pView->RefreshOrderList();
    }
}

// ---- Feedback, cursor, panel ------------------------------------------------

void CDocStateNone::DrawFeedback(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pView == nullptr || ctx->m_rcSelect.IsEmpty())
        return;
    if (m_nMode == 2) {
        CDC* dc = ctx->m_pView->GetDC();
        if (dc == nullptr)
            return;
        for (int kind = 0; kind < 3; ++kind)
            DrawTransformMarks(dc, ctx, ctx->m_rcSelect, kind);
        ctx->m_pView->ReleaseDC(dc);
    } else if (m_nMode == 1 && m_bButtonDown == 0) {
        DrawSelectionFrame(ctx);
    }
}

void CDocStateNone::OnSetCursor(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pView == nullptr)
        return;
    if (m_nMode == 0 || m_nHandle == 0 || m_nHandle > 9) {
        ctx->m_pView->SetCursor(plat::IDC_ARROW);
        return;
    }
    static constexpr int kScaleCursors[10] = {0, plat::IDC_SIZENWSE, plat::IDC_SIZENS, plat::IDC_SIZENESW,
                                              plat::IDC_SIZEWE, 0, plat::IDC_SIZEWE, plat::IDC_SIZENESW,
                                              plat::IDC_SIZENS, plat::IDC_SIZENWSE};
    static constexpr int kTurnCursors[10] = {0, plat::IDC_SIZENESW, plat::IDC_SIZEWE, plat::IDC_SIZENWSE,
                                             plat::IDC_SIZENS, plat::IDC_SIZEALL, plat::IDC_SIZENS,
                                             plat::IDC_SIZENWSE, plat::IDC_SIZEWE, plat::IDC_SIZENESW};
    const int cursor = (m_nMode == 2 ? kTurnCursors : kScaleCursors)[m_nHandle];
    if (cursor != 0) // the centre handle of the scale frame keeps the cursor
        ctx->m_pView->SetCursor(cursor);
}

void CDocStateNone::RefreshPanel(DOCCONTEXT* ctx)
{
    if (ctx->m_pView != nullptr)
        ctx->m_pView->RefreshSelectionPage();
}

void CDocStateNone::ShowSize(DOCCONTEXT* ctx)
{
    if (ctx->m_pView != nullptr) {
        const CGeoBox& b = ctx->m_rcSelect;
        ctx->m_pView->ShowSelectionSize(b.m_xmin, b.m_xmax, b.m_ymin, b.m_ymax);
    }
}
