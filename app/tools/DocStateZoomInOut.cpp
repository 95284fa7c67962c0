#include "DocStateZoomInOut.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "settings/SoftwareSettings.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kZoomCursor = 159;
// A press and release closer than this on both axes (world units) is a click.
constexpr double kClickReach = 1.0;

std::int32_t Half(double v)
{
    return plat::RoundPixel(v);
}

} // namespace

CDocStateZoomInOut::~CDocStateZoomInOut() = default;

plat::RECT CDocStateZoomInOut::DragRect(const CGeoPoint& a, const CGeoPoint& b)
{
    return plat::RECT{Half(std::min(a.m_x, b.m_x)), Half(std::min(a.m_y, b.m_y)), Half(std::max(a.m_x, b.m_x)),
                      Half(std::max(a.m_y, b.m_y))};
}

void CDocStateZoomInOut::Reset(std::uint32_t, DOCCONTEXT* ctx)
{
    // A band cut short would stay on screen: its area is drawn again.
    if (m_bTracking != 0 && ctx != nullptr)
        InvalidateWorldBox(ctx, CGeoBox::FromPoints(m_ptPress, m_ptTrack));
    m_bTracking = 0;
}

void CDocStateZoomInOut::OnLButtonDown(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    OnSetCursor(ctx);
    m_bTracking = 1;
    m_ptPress = m_ptTrack = ctx->m_ptMouse;
}

void CDocStateZoomInOut::OnMouseMove(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    OnSetCursor(ctx);
    if (m_bTracking == 0)
        return;
    DrawFeedback(ctx);
    m_ptTrack = ctx->m_ptMouse;
    DrawFeedback(ctx);
}

void CDocStateZoomInOut::DrawFeedback(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pDC == nullptr || m_bTracking == 0)
        return;
    CDC& dc = *ctx->m_pDC;
    const double zoom = ctx->m_dZoom;
    const auto at = [zoom](double v) { return plat::RoundPixel(v * zoom); };
    const plat::ScopedPen pen(dc, plat::Pen{plat::PS_SOLID, 1, CDocData::SettingsOf(ctx).m_crBackground},
                              plat::R2_XORPEN);
    dc.MoveTo(at(m_ptPress.m_x), at(m_ptPress.m_y));
    dc.LineTo(at(m_ptPress.m_x), at(m_ptTrack.m_y));
    dc.LineTo(at(m_ptTrack.m_x), at(m_ptTrack.m_y));
    dc.LineTo(at(m_ptTrack.m_x), at(m_ptPress.m_y));
    dc.LineTo(at(m_ptPress.m_x), at(m_ptPress.m_y));
}

void CDocStateZoomInOut::OnLButtonUp(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    if (m_bTracking == 0) {
        // Its press went to another tool or was reset: nothing to finish.
        OnSetCursor(ctx);
        return;
    }
    // The band goes first: a rectangle the view turns down repaints nothing.
    DrawFeedback(ctx);
    m_bTracking = 0;
    OnSetCursor(ctx);
    m_ptTrack = ctx->m_ptMouse;
    if (ctx->m_pView == nullptr)
        return;
    if (std::fabs(m_ptTrack.m_x - m_ptPress.m_x) < kClickReach &&
        std::fabs(m_ptTrack.m_y - m_ptPress.m_y) < kClickReach) {
        ctx->m_pView->OnZoomIn();
        return;
    }
    ctx->m_pView->OnZoomRect(DragRect(m_ptPress, m_ptTrack));
}

bool CDocStateZoomInOut::OnRButtonDown(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return false;
    OnSetCursor(ctx);
    if (ctx->m_pView != nullptr)
        ctx->m_pView->OnZoomOut();
    return false;
}

void CDocStateZoomInOut::OnRButtonUp(DOCCONTEXT* ctx)
{
    OnSetCursor(ctx);
}

void CDocStateZoomInOut::OnSetCursor(DOCCONTEXT* ctx)
{
    if (ctx != nullptr && ctx->m_pView != nullptr)
        ctx->m_pView->SetCursor(kZoomCursor);
}

bool CDocStateZoomInOut::UpdateSelectionRect(DOCCONTEXT* ctx)
{
    return SharedUpdateSelectionRect(ctx);
}
