#include "DocStateDrawEllipse.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataEllipse.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::uint32_t kKeyDelete = 46;
// Press and release closer than this are a click.
constexpr double kClickTol = 1e-7;
// Pixels round a dropped band that are repainted.
constexpr double kDropGrow = 10.0;

} // namespace

void CDocStateDrawEllipse::Reset(std::uint32_t, DOCCONTEXT* ctx)
{
    // A band cut short stays on screen unless its area is drawn again.
    if (m_bButtonDown != 0)
        InvalidateWorldBox(ctx, CGeoBox::FromPoints(m_ptDown, m_ptCur), kDropGrow);
    m_bButtonDown = 0;
    m_ptCur = m_ptDown;
}

void CDocStateDrawEllipse::DrawBand(DOCCONTEXT* ctx) const
{
    CDC* dc = ctx->m_pDC;
    if (dc == nullptr)
        return;
    const double z = ctx->m_dZoom;
    const int x1 = plat::RoundPixel(std::min(m_ptDown.m_x, m_ptCur.m_x) * z);
    const int y1 = plat::RoundPixel(std::min(m_ptDown.m_y, m_ptCur.m_y) * z);
    const int x2 = plat::RoundPixel(std::max(m_ptDown.m_x, m_ptCur.m_x) * z);
    const int y2 = plat::RoundPixel(std::max(m_ptDown.m_y, m_ptCur.m_y) * z);
    // A box of one pixel has no outline; drawing it anyway would leave a
    // dot behind the first erase.
    if (x1 == x2 && y1 == y2)
        return;
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    const COLORREF colour = settings.PaletteColor(settings.m_nCurLayer) ^ settings.m_crBackground;
    const plat::ScopedPen pen(*dc, plat::Pen{plat::PS_SOLID, 1, colour}, plat::R2_XORPEN);
    // Start and end at one point: the whole outline.
    const int ym = static_cast<int>((static_cast<long long>(y1) + y2) / 2);
    dc->Arc(x1, y1, x2, y2, x2, ym, x2, ym);
}

void CDocStateDrawEllipse::ShowSize(DOCCONTEXT* ctx, const CGeoBox& box) const
{
    if (ctx->m_pView != nullptr)
        ctx->m_pView->ShowSelectionSize(box.m_xmin, box.m_xmax, box.m_ymin, box.m_ymax);
}

void CDocStateDrawEllipse::OnLButtonDown(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    m_bButtonDown = 1;
    m_ptDown = m_ptCur = ctx->m_ptMouse;
    ShowSize(ctx, CGeoBox::FromPoints(m_ptDown, m_ptCur));
}

void CDocStateDrawEllipse::OnMouseMove(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || m_bButtonDown == 0)
        return;
    DrawBand(ctx);
    m_ptCur = ctx->m_ptMouse;
    if (ctx->m_bCtrl != 0)
        ConstrainSquare(m_ptDown, m_ptCur);
    DrawBand(ctx);
    ShowSize(ctx, CGeoBox::FromPoints(m_ptDown, m_ptCur));
}

void CDocStateDrawEllipse::OnLButtonUp(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    if (m_bButtonDown != 0)
        DrawBand(ctx); // the release may come where no move was seen
    m_ptCur = ctx->m_ptMouse;
    if (m_bButtonDown == 0)
        return;
    if (ctx->m_bCtrl != 0)
        ConstrainSquare(m_ptDown, m_ptCur);
    if (std::fabs(m_ptCur.m_x - m_ptDown.m_x) >= kClickTol || std::fabs(m_ptCur.m_y - m_ptDown.m_y) >= kClickTol) {
        PushHistory(ctx);
        const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
        auto* ellipse = new CDocDataEllipse(std::min(m_ptDown.m_x, m_ptCur.m_x), std::min(m_ptDown.m_y, m_ptCur.m_y),
                                            std::max(m_ptDown.m_x, m_ptCur.m_x), std::max(m_ptDown.m_y, m_ptCur.m_y));
        ellipse->SetColor(settings.m_nCurLayer, settings.PaletteColor(settings.m_nCurLayer));
        AddObjects(ctx, ellipse);
    }
    ShowSize(ctx, ctx->m_rcSelect);
    m_bButtonDown = 0;
}

void CDocStateDrawEllipse::OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key)
{
    if (key == kKeyDelete)
        DeleteSelectedObjects(ctx);
}

void CDocStateDrawEllipse::DrawFeedback(DOCCONTEXT* ctx)
{
    DrawSelectionFrame(ctx);
}
