#include "DocStateZoomMove.h"

#include "model/DocContext.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kHandCursor = 261;

// Whole pixels of a difference, towards zero, held to the 32-bit range.
std::int64_t WholePixels(double d)
{
    return plat::SaturateInt32(d);
}

std::int32_t Clamped(std::int64_t v, const plat::ScrollInfo& bar)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, bar.nMin, std::max(bar.nMin, bar.nMax)));
}

} // namespace

CDocStateZoomMove::~CDocStateZoomMove() = default;

void CDocStateZoomMove::Reset(std::uint32_t, DOCCONTEXT*)
{
    m_bTracking = 0;
}

void CDocStateZoomMove::OnLButtonDown(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    OnSetCursor(ctx);
    m_bTracking = 1;
    ctx->WorldToClientPoint(ctx->m_ptMouse, m_ptPress);
    m_ptTrack = m_ptPress;
}

void CDocStateZoomMove::OnMouseMove(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    OnSetCursor(ctx);
    if (m_bTracking == 0)
        return;
    ctx->WorldToClientPoint(ctx->m_ptMouse, m_ptTrack);
    // The content follows the mouse.
    const std::int64_t sx = -WholePixels(m_ptTrack.m_x - m_ptPress.m_x);
    const std::int64_t sy = -WholePixels(m_ptTrack.m_y - m_ptPress.m_y);
    if (sx == 0 && sy == 0)
        return;
    m_ptPress = m_ptTrack;
    plat::ViewWindow* view = ctx->m_pView;
    plat::ScrollInfo horz;
    plat::ScrollInfo vert;
    if (view == nullptr || !view->GetScrollInfo(plat::SB_HORZ, horz) || !view->GetScrollInfo(plat::SB_VERT, vert))
        return;
    const std::int32_t oldX = horz.nPos;
    const std::int32_t oldY = vert.nPos;
    horz.nPos = Clamped(static_cast<std::int64_t>(oldX) + sx, horz);
    vert.nPos = Clamped(static_cast<std::int64_t>(oldY) + sy, vert);
    // Past the end of both ranges nothing moves and nothing is redrawn.
    if (horz.nPos == oldX && vert.nPos == oldY)
        return;
    view->ScrollBy(horz.nPos - oldX, vert.nPos - oldY);
    view->SetScrollInfo(plat::SB_HORZ, horz);
    view->SetScrollInfo(plat::SB_VERT, vert);
    view->InvalidateRect(nullptr, true);
    view->SetRulerPositions(horz.nPos, vert.nPos);
    ctx->m_ptScroll = {plat::RoundPixel(horz.nPos / ctx->m_dZoom), plat::RoundPixel(vert.nPos / ctx->m_dZoom)};
}

void CDocStateZoomMove::OnLButtonUp(DOCCONTEXT* ctx)
{
    OnSetCursor(ctx);
    m_bTracking = 0;
}

void CDocStateZoomMove::OnLButtonDblClk(DOCCONTEXT* ctx)
{
    OnSetCursor(ctx);
}

void CDocStateZoomMove::OnSetCursor(DOCCONTEXT* ctx)
{
    if (ctx != nullptr && ctx->m_pView != nullptr)
        ctx->m_pView->SetCursor(kHandCursor);
}
