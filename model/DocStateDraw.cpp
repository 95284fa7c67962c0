// The tool base's drawing: the objects pass, the selection frame and its
// handles, the transform marks, the rubber band and the path tools' menu.
#include "DocState.h"

#include "DocContext.h"
#include "DocData.h"
#include "DocListNode.h"
#include "LeadInOut.h"
#include "settings/LanguageTable.h"
#include "settings/SoftwareSettings.h"

#include <array>
#include <string_view>
#include <vector>

namespace {

// What an object may draw beyond its box (order numbers, start marks,
// direction arrows, node marks), in pixels.
constexpr double kDrawMarginPixels = 64.0;
// Below this size in pixels the selection box gets squares beside it.
constexpr double kFrameMinPixels = 10.0;
constexpr int kClientPointHandle = 8;
constexpr int kPathMenu = 214;
constexpr plat::UINT kEndPathOpen = 32880;
constexpr plat::UINT kEndPathClosed = 32881;
constexpr std::u16string_view kEditMenuSection = u"phase11:edit-right-menu";
constexpr int kEndEntry = 33;
constexpr int kCloseEntry = 34;

// Which objects a drawing pass can reach: the device context's clip box in
// world units, grown by the margin. Everything when the surface sets no
// bound or array copies spread the drawing.
class DrawWindow {
public:
    DrawWindow(const CDC& dc, const DOCCONTEXT& ctx)
    {
        plat::RECT clip;
        if (!dc.GetClipBox(clip) || !(ctx.m_dZoom > 0.0))
            return;
        const ARRAYREC* array = ctx.m_pCurrent->m_pArray;
        if (array != nullptr && (array->m_nRows > 1 || array->m_nCols > 1))
            return;
        const plat::POINT scroll = ctx.ScrollPosition();
        const double margin = kDrawMarginPixels / ctx.m_dZoom;
        m_box = CGeoBox((static_cast<double>(clip.left) + scroll.x) / ctx.m_dZoom - margin,
                        (static_cast<double>(clip.right) + scroll.x) / ctx.m_dZoom + margin,
                        (static_cast<double>(clip.top) + scroll.y) / ctx.m_dZoom - margin,
                        (static_cast<double>(clip.bottom) + scroll.y) / ctx.m_dZoom + margin);
        m_bounded = true;
    }
    bool Reaches(const CDocData& obj) const
    {
        if (!m_bounded || obj.m_pArray != nullptr || obj.m_rcBound.IsEmpty())
            return true;
        return BoxWithLeads(obj).Intersects(m_box, 0.0);
    }

private:
    bool m_bounded = false;
    CGeoBox m_box;
};

// A black square handle.
void FillHandle(CDC* dc, int left, int top, int right, int bottom)
{
    dc->FillRect(plat::RECT{left, top, right, bottom}, 0x000000);
}

} // namespace

void CDocState::DrawObjects(CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_pCurrent->m_pFirst == nullptr)
        return;
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    const DrawWindow window(*dc, *ctx);
    const plat::ScopedPen travelPen(*dc, plat::Pen{plat::PS_DOT, 1, settings.m_crAxis});
    int number = 1;
    CDocData* previous = nullptr;
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext, ++number) {
        CGeoPoint from;
        CGeoPoint to;
        if (settings.m_bShowTravel != 0 && previous != nullptr && previous->GetEndPoint(from) &&
            obj->GetStartPoint(to)) {
            const plat::POINT a = ctx->WorldToClientPixel(from.m_x, from.m_y);
            const plat::POINT b = ctx->WorldToClientPixel(to.m_x, to.m_y);
            dc->MoveTo(a.x, a.y);
            dc->LineTo(b.x, b.y);
        }
        previous = obj;
        if (window.Reaches(*obj)) {
            obj->Draw(dc, ctx);
            for (CDocData* attached = obj->m_pAttached; attached != nullptr; attached = attached->m_pNext)
                attached->Draw(dc, ctx);
            if (ctx->m_nTool == TOOL_EDIT_NODE)
                obj->DrawNodes(dc, ctx);
            if (settings.m_bShowDirection != 0)
                obj->DrawDirection(dc, ctx);
            if (settings.m_bShowOrder != 0)
                obj->DrawIndex(dc, ctx, number);
            if (settings.m_bShowStart != 0)
                obj->DrawStartPoint(dc, ctx);
        } else {
            for (CDocData* attached = obj->m_pAttached; attached != nullptr; attached = attached->m_pNext) {
                if (window.Reaches(*attached))
                    attached->Draw(dc, ctx);
            }
        }
    }
}

void CDocState::DrawSelectionHandles(CDC* dc, DOCCONTEXT* ctx, CGeoPoint point, int index)
{
    if (dc == nullptr || ctx == nullptr)
        return;
    CGeoPoint p = point;
    if (index >= 0 && index <= 7)
        ctx->WorldToClientPoint(point, p);
    const double x = p.m_x;
    const double y = p.m_y;
    const int X = plat::RoundPixel(x);
    const int Y = plat::RoundPixel(y);
    const int x0 = plat::DevicePixel(x);
    const int y0 = plat::DevicePixel(y);
    switch (index) {
    case 0:
        FillHandle(dc, x0 - 7, y0 - 7, x0 - 1, y0 - 1);
        break;
    case 1:
        FillHandle(dc, X - 3, Y - 8, X + 3, Y - 2);
        break;
    case 2: {
        const int x1 = plat::DevicePixel(x + 1);
        FillHandle(dc, x1 + 1, y0 - 7, x1 + 7, y0 - 1);
        break;
    }
    case 3:
        FillHandle(dc, X - 8, Y - 3, X - 2, Y + 3);
        break;
    case 4:
        FillHandle(dc, X + 3, Y - 3, X + 9, Y + 3);
        break;
    case 5:
        FillHandle(dc, X - 8, Y + 2, X - 2, Y + 8);
        break;
    case 6:
        FillHandle(dc, X - 3, Y + 3, X + 3, Y + 9);
        break;
    case 7:
        FillHandle(dc, X + 2, Y + 2, X + 8, Y + 8);
        break;
    default:
        FillHandle(dc, x0, y0, plat::DevicePixel(x + 6), plat::DevicePixel(y + 6));
        break;
    }
}

void CDocState::DrawSelectionFrame(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_rcSelect.IsEmpty() || ctx->m_pView == nullptr)
        return;
    CDC* dc = ctx->m_pView->GetDC();
    if (dc == nullptr)
        return;
    const CGeoBox& box = ctx->m_rcSelect;
    CGeoPoint lt;
    CGeoPoint rb;
    ctx->WorldToClientPoint(CGeoPoint(box.m_xmin, box.m_ymin), lt);
    ctx->WorldToClientPoint(CGeoPoint(box.m_xmax, box.m_ymax), rb);
    const double L = lt.m_x, T = lt.m_y, R = rb.m_x, B = rb.m_y;
    const double CX = (L + R) / 2.0, CY = (T + B) / 2.0;
    const bool wide = R - L >= kFrameMinPixels;
    const bool high = B - T >= kFrameMinPixels;
    if (wide && high) {
        const double cx = (box.m_xmin + box.m_xmax) / 2.0, cy = (box.m_ymin + box.m_ymax) / 2.0;
        const std::array<CGeoPoint, 8> at = {
            CGeoPoint(box.m_xmin, box.m_ymin), CGeoPoint(cx, box.m_ymin),         CGeoPoint(box.m_xmax, box.m_ymin),
            CGeoPoint(box.m_xmin, cy),         CGeoPoint(box.m_xmax, cy),         CGeoPoint(box.m_xmin, box.m_ymax),
            CGeoPoint(cx, box.m_ymax),         CGeoPoint(box.m_xmax, box.m_ymax),
        };
        for (int i = 0; i < 8; ++i)
            DrawSelectionHandles(dc, ctx, at[static_cast<std::size_t>(i)], i);
    } else {
        const std::array<CGeoPoint, 8> at =
            high ? std::array<CGeoPoint, 8>{CGeoPoint(CX - 11, T - 8), CGeoPoint(CX - 3, T - 8),
                                            CGeoPoint(CX + 5, T - 8),  CGeoPoint(CX - 11, CY - 3),
                                            CGeoPoint(CX + 5, CY - 3), CGeoPoint(CX - 11, B + 2),
                                            CGeoPoint(CX - 3, B + 2),  CGeoPoint(CX + 5, B + 2)}
                 : std::array<CGeoPoint, 8>{CGeoPoint(L - 8, CY - 11), CGeoPoint(CX - 3, CY - 11),
                                            CGeoPoint(R + 2, CY - 11), CGeoPoint(L - 8, CY - 3),
                                            CGeoPoint(R + 2, CY - 3),  CGeoPoint(L - 8, CY + 5),
                                            CGeoPoint(CX - 3, CY + 5), CGeoPoint(R + 2, CY + 5)};
        for (const CGeoPoint& p : at)
            DrawSelectionHandles(dc, ctx, p, kClientPointHandle);
    }
    ctx->m_pView->ReleaseDC(dc);
}

void CDocState::DrawTransformMarks(CDC* dc, DOCCONTEXT* ctx, CGeoBox box, int kind)
{
    if (dc == nullptr || ctx == nullptr)
        return;
    CGeoBox c;
    ctx->WorldToClientRect(box, c);
    const int L = plat::RoundPixel(c.m_xmin), R = plat::RoundPixel(c.m_xmax);
    const int T = plat::RoundPixel(c.m_ymin), B = plat::RoundPixel(c.m_ymax);
    const int CX = plat::RoundPixel((c.m_xmin + c.m_xmax) / 2.0);
    const int CY = plat::RoundPixel((c.m_ymin + c.m_ymax) / 2.0);
    switch (kind) {
    case 0: {
        const COLORREF colour = CDocData::SettingsOf(ctx).m_crHandles;
        const plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 1, colour});
        const plat::Brush oldBrush = dc->SelectBrush(plat::Brush{true, 0});
        dc->Ellipse(CX - 8, CY - 8, CX + 8, CY + 8);
        dc->SelectBrush(plat::Brush{false, colour});
        dc->Rectangle(CX - 2, CY - 2, CX + 2, CY + 2);
        dc->SelectBrush(oldBrush);
        break;
    }
    case 1:
        dc->DrawIcon(L - 7, T - 7, 243);
        dc->DrawIcon(R - 7, T - 7, 245);
        dc->DrawIcon(R - 7, B - 7, 246);
        dc->DrawIcon(L - 8, B - 8, 244);
        break;
    case 2:
        dc->DrawIcon(CX - 7, T - 6, 247);
        dc->DrawIcon(CX - 7, B + 2, 247);
        dc->DrawIcon(L - 6, CY - 6, 248);
        dc->DrawIcon(R + 2, CY - 6, 248);
        break;
    default:
        break;
    }
}

void CDocState::DrawTrackRect(CDC* dc, const plat::RECT& world, int style, COLORREF colour, DOCCONTEXT* ctx)
{
    DrawTrackRectPoints(dc, CGeoPoint(world.left, world.top), CGeoPoint(world.right, world.bottom), style, colour,
                        ctx);
}

void CDocState::DrawTrackRectPoints(CDC* dc, CGeoPoint p1, CGeoPoint p2, int style, COLORREF colour,
                                    DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr)
        return;
    const COLORREF pen = CDocData::SettingsOf(ctx).m_crBackground ^ colour;
    const plat::ScopedPen scoped(*dc, plat::Pen{style, 0, pen}, plat::R2_XORPEN);
    const double z = ctx->m_dZoom;
    const int x1 = plat::RoundPixel(p1.m_x * z), y1 = plat::RoundPixel(p1.m_y * z);
    const int x2 = plat::RoundPixel(p2.m_x * z), y2 = plat::RoundPixel(p2.m_y * z);
    dc->MoveTo(x1, y1);
    dc->LineTo(x2, y1);
    dc->LineTo(x2, y2);
    dc->LineTo(x1, y2);
    dc->LineTo(x1, y1);
}

bool CDocState::ShowPathMenu(DOCCONTEXT* ctx, bool drawing)
{
    OnMouseMove(ctx);
    if (!drawing)
        return true;
    if (ctx == nullptr || ctx->m_pView == nullptr)
        return false;
    // Texts the language file does not give keep the menu's own.
    std::vector<plat::MenuItemText> texts;
    const auto table = RegisteredLanguageTable();
    for (const auto& [id, entry] : {std::pair{kEndPathOpen, kEndEntry}, std::pair{kEndPathClosed, kCloseEntry}}) {
        const std::u16string& text = LanguageText(table, kEditMenuSection, entry);
        if (!text.empty())
            texts.push_back(plat::MenuItemText{id, text});
    }
    const plat::POINT at = ctx->WorldToClientPixel(ctx->m_ptMouse.m_x, ctx->m_ptMouse.m_y);
    ctx->m_pView->TrackPopupMenu(kPathMenu, texts, at);
    return false;
}
