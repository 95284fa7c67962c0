// The drawing view's painting, zoom and scrolling: the screen image and the
// back buffer with their size and pixel ratio, fitting the view to the work
// area, the objects or a rectangle, the zoom steps, the scroll bars and the
// rulers that follow them, invalidating and rendering a region, and the
// device contexts the tools draw through outside a repaint.
#include "OrvelView.h"

#include "ChildFrame.h"
#include "MainFrame.h"
#include "qtplatform/QtDeviceContext.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cstring>
#include <memory>

QSize COrvelView::ClientSize() const
{
    return viewport()->size();
}

QImage COrvelView::MakeViewImage() const
{
    // As many pixels as the screen shows in the client area, so the drawing
    // is as sharp as the screen allows; drawn on in logical pixels.
    const QSize size = ClientSize();
    if (size.isEmpty())
        return QImage();
    const qreal ratio = viewport()->devicePixelRatioF();
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    return image;
}

void COrvelView::FollowPixelRatio()
{
    // A window moved to a screen of another density draws everything anew
    // at the new ratio.
    if (m_screen.isNull() || m_screen.devicePixelRatio() == viewport()->devicePixelRatioF() ||
        QtDeviceContext::IsPainting(m_screen))
        return;
    m_screen = MakeViewImage();
    m_screen.fill(Qt::white);
    m_invalid += QRect(QPoint(0, 0), ClientSize());
}

void COrvelView::ZoomToWorkArea()
{
    const DOCCONTEXT& ctx = Context();
    const SoftwareSettings& settings = SettingsOf(ctx);
    double width = CCoverGrid::kDefaultWidthMm;
    double height = CCoverGrid::kDefaultHeightMm;
    if (const MachineNode* machine = GetCurrentMachine(settings)) {
        width = machine->m_xsize;
        height = machine->m_ysize;
    }
    FitTo(CGeoBox(kWorldOrigin, width * kWorldPerMm + kWorldOrigin, kWorldOrigin, height * kWorldPerMm + kWorldOrigin));
}

void COrvelView::ZoomToAll()
{
    const DOCCONTEXT& ctx = Context();
    if (ctx.m_pCurrent == nullptr)
        return;
    CGeoBox box;
    ctx.m_pCurrent->GetAllObjectsRect(box);
    FitTo(box);
}

void COrvelView::FitTo(const CGeoBox& box)
{
    const QSize size = ClientSize();
    if (box.IsEmpty() || size.isEmpty())
        return;
    DOCCONTEXT& ctx = Context();
    ctx.m_dZoomPrev = ctx.m_dZoom;
    ZoomPlacement placement;
    if (!FitPlacement(box, size.width(), size.height(), placement))
        return;
    ctx.m_ptScroll = placement.corner;
    ApplyZoom(placement);
}

void COrvelView::OnZoomRect(const plat::RECT& world)
{
    DOCCONTEXT& ctx = Context();
    ctx.m_dZoomPrev = ctx.m_dZoom;
    const QSize size = ClientSize();
    ZoomPlacement placement;
    if (!ZoomToRectPlacement(world, size.width(), size.height(), placement))
        return;
    ctx.m_ptScroll = placement.corner;
    ApplyZoom(placement);
}

void COrvelView::OnZoomIn()
{
    DOCCONTEXT& ctx = Context();
    CGeoPoint client;
    ctx.WorldToClientPoint(ctx.m_ptMouse, client);
    ctx.m_dZoomPrev = ctx.m_dZoom;
    ApplyZoom(ZoomStepPlacement(ctx.m_dZoom, true, ctx.m_ptMouse, client));
}

void COrvelView::OnZoomOut()
{
    DOCCONTEXT& ctx = Context();
    CGeoPoint client;
    ctx.WorldToClientPoint(ctx.m_ptMouse, client);
    ctx.m_dZoomPrev = ctx.m_dZoom;
    ApplyZoom(ZoomStepPlacement(ctx.m_dZoom, false, ctx.m_ptMouse, client));
}

void COrvelView::OnMouseWheel(int delta)
{
    SendMessage(delta >= 1 ? kMsgZoomIn : kMsgZoomOut, 0, 0);
}

void COrvelView::SetScrollRanges(std::int32_t extent)
{
    horizontalScrollBar()->setRange(0, extent - 1);
    verticalScrollBar()->setRange(0, extent - 1);
}

void COrvelView::ApplyZoom(const ZoomPlacement& placement)
{
    Context().m_dZoom = placement.zoom;
    m_settingScroll = true;
    SetScrollRanges(placement.extent);
    horizontalScrollBar()->setValue(placement.scroll.x);
    verticalScrollBar()->setValue(placement.scroll.y);
    m_settingScroll = false;
    if (CChildFrame* frame = Frame())
        frame->SetRulerScale(placement.zoom);
    GiveRulersTheScroll();
    InvalidateRect(nullptr, false);
}

void COrvelView::GiveRulersTheScroll()
{
    if (CChildFrame* frame = Frame()) {
        frame->SetVertRulerPos(verticalScrollBar()->value());
        frame->SetHorzRulerPos(horizontalScrollBar()->value());
    }
}

bool COrvelView::GetScrollInfo(plat::ScrollBar bar, plat::ScrollInfo& info) const
{
    const QScrollBar* scroll = bar == plat::SB_HORZ ? horizontalScrollBar() : verticalScrollBar();
    info = plat::ScrollInfo{scroll->minimum(), scroll->maximum(), scroll->pageStep(), scroll->value(),
                            scroll->sliderPosition()};
    return true;
}

void COrvelView::SetScrollInfo(plat::ScrollBar bar, const plat::ScrollInfo& info)
{
    QScrollBar* scroll = bar == plat::SB_HORZ ? horizontalScrollBar() : verticalScrollBar();
    m_settingScroll = true;
    scroll->setRange(info.nMin, info.nMax);
    scroll->setPageStep(info.nPage);
    scroll->setValue(info.nPos);
    m_settingScroll = false;
}

void COrvelView::ScrollBy(std::int32_t dx, std::int32_t dy)
{
    if (dx == 0 && dy == 0)
        return;
    m_firstFitPending = false;
    m_settingScroll = true;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
    verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
    m_settingScroll = false;
}

void COrvelView::SetRulerPositions(std::int32_t horz, std::int32_t vert)
{
    if (CChildFrame* frame = Frame()) {
        frame->SetHorzRulerPos(horz);
        frame->SetVertRulerPos(vert);
    }
}

plat::POINT COrvelView::GetScrollPosition() const
{
    return plat::POINT{horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void COrvelView::InvalidateRect(const plat::RECT* rect, bool)
{
    const QRect client(QPoint(0, 0), ClientSize());
    QRect area = client;
    if (rect != nullptr) {
        // Bounds far outside are brought in first, so no arithmetic on them
        // can overflow.
        auto clampX = [&](int v) { return std::clamp(v, -1, client.width() + 1); };
        auto clampY = [&](int v) { return std::clamp(v, -1, client.height() + 1); };
        const int left = clampX(rect->left), right = clampX(rect->right);
        const int top = clampY(rect->top), bottom = clampY(rect->bottom);
        if (right <= left || bottom <= top)
            return;
        area = QRect(left, top, right - left, bottom - top).intersected(client);
    }
    if (area.isEmpty())
        return;
    m_invalid += area;
    viewport()->update(area);
}

void COrvelView::UpdateWindow()
{
    if (m_invalid.isEmpty())
        return;
    const QRegion region = m_invalid;
    m_invalid = QRegion();
    Render(region);
    viewport()->repaint(region);
}

void COrvelView::Render(const QRegion& invalid)
{
    const QSize size = ClientSize();
    if (size.isEmpty() || m_screen.isNull())
        return;
    QRegion region = invalid.intersected(QRect(QPoint(0, 0), size));
    if (!m_bBufferValid || m_nBufferWidth != size.width() || m_nBufferHeight != size.height() ||
        m_buffer.devicePixelRatio() != m_screen.devicePixelRatio()) {
        m_buffer = MakeViewImage();
        m_bBufferValid = !m_buffer.isNull();
        m_nBufferWidth = m_bBufferValid ? size.width() : 0;
        m_nBufferHeight = m_bBufferValid ? size.height() : 0;
        if (!m_bBufferValid)
            return;
        ++m_bufferCreations;
        // A new buffer holds nothing yet.
        region = QRegion(QRect(QPoint(0, 0), size));
    }
    if (region.isEmpty())
        return;
    DOCCONTEXT& ctx = Context();
    // Only the invalid part of the back buffer is drawn again; the rest
    // still shows the drawing as it is.
    {
        QPainter painter(&m_buffer);
        painter.setClipRegion(region);
        painter.fillRect(region.boundingRect(), Qt::white);
    }
    {
        QtDeviceContext dc(m_buffer);
        dc.SetClipRegion(region);
        m_coverGrid.Draw(&dc, &ctx, size.width(), size.height());
        CurrentTool()->DrawObjects(&dc, &ctx);
    }
    // Row by row, without a painter: a tool's device context may hold the
    // screen image's painter while it repaints at once.
    if (m_screen.format() == m_buffer.format() && m_screen.size() == m_buffer.size()) {
        const int depth = m_buffer.depth() / 8;
        for (const QRect& logical : region) {
            const QRect r =
                QtDeviceContext::ImagePixels(logical, m_buffer.devicePixelRatio()).intersected(m_buffer.rect());
            for (int y = r.top(); y <= r.bottom(); ++y) {
                std::memcpy(m_screen.scanLine(y) + static_cast<std::size_t>(r.left()) * depth,
                            m_buffer.constScanLine(y) + static_cast<std::size_t>(r.left()) * depth,
                            static_cast<std::size_t>(r.width()) * depth);
            }
        }
    }
    QtDeviceContext dc(m_screen);
    dc.SetClipRegion(region);
    const plat::POINT scroll = GetScrollPosition();
    dc.SetViewportOrg(-scroll.x, -scroll.y);
    CDC* const saved = ctx.m_pDC;
    ctx.m_pDC = &dc;
    m_rendering = &region;
    CurrentTool()->DrawFeedback(&ctx);
    m_rendering = nullptr;
    ctx.m_pDC = saved;
}

void COrvelView::paintEvent(QPaintEvent* event)
{
    FollowPixelRatio();
    if (!m_invalid.isEmpty()) {
        const QRegion region = m_invalid;
        m_invalid = QRegion();
        Render(region);
    }
    m_firstFitPending = false;
    if (m_screen.isNull())
        return;
    QPainter painter(viewport());
    const QRect r = event->rect();
    // Image pixels onto screen pixels, one to one.
    painter.drawImage(QRectF(r), m_screen, QRectF(QtDeviceContext::ImagePixels(r, m_screen.devicePixelRatio())));
}

void COrvelView::resizeEvent(QResizeEvent*)
{
    ResizeScreen();
}

void COrvelView::AfterPainting()
{
    if (m_resizePending && !QtDeviceContext::IsPainting(m_screen))
        ResizeScreen();
}

void COrvelView::ResizeScreen()
{
    // A painter open over the image would be left with its old pixels.
    m_resizePending = QtDeviceContext::IsPainting(m_screen);
    if (m_resizePending)
        return;
    m_screen = MakeViewImage();
    if (!m_screen.isNull())
        m_screen.fill(Qt::white);
    if (m_firstFitPending) {
        DOCCONTEXT& ctx = Context();
        if (ctx.m_pCurrent != nullptr && ctx.m_pCurrent->m_pFirst != nullptr)
            ZoomToAll();
        else
            ZoomToWorkArea();
    }
    InvalidateRect(nullptr, false);
}

void COrvelView::scrollContentsBy(int dx, int dy)
{
    if (m_settingScroll)
        return;
    m_firstFitPending = false;
    DOCCONTEXT& ctx = Context();
    const plat::POINT pos = GetScrollPosition();
    ctx.m_ptScroll = {plat::RoundPixel(pos.x / ctx.m_dZoom), plat::RoundPixel(pos.y / ctx.m_dZoom)};
    if (CChildFrame* frame = Frame()) {
        if (dx != 0)
            frame->SetHorzRulerPos(pos.x);
        if (dy != 0)
            frame->SetVertRulerPos(pos.y);
    }
    InvalidateRect(nullptr, false);
    UpdateWindow();
}

COrvelView::EventDC::EventDC(COrvelView& view, bool prepared)
    : m_view(view), m_dc(std::make_unique<QtDeviceContext>(view.m_screen)), m_saved(view.Context().m_pDC)
{
    if (prepared) {
        const plat::POINT scroll = view.GetScrollPosition();
        m_dc->SetViewportOrg(-scroll.x, -scroll.y);
    }
    view.Context().m_pDC = m_dc.get();
}

COrvelView::EventDC::~EventDC()
{
    m_view.Context().m_pDC = m_saved;
    m_dc.reset();
    m_view.viewport()->update();
    m_view.AfterPainting();
}

CDC* COrvelView::EventDC::dc() const
{
    return m_dc.get();
}

// ---- The window's device contexts for the tools -----------------------------

CDC* COrvelView::GetDC()
{
    if (m_screen.isNull())
        return nullptr;
    auto dc = std::make_unique<QtDeviceContext>(m_screen);
    if (m_rendering != nullptr)
        dc->SetClipRegion(*m_rendering);
    m_windowDCs.push_back(std::move(dc));
    return m_windowDCs.back().get();
}

void COrvelView::ReleaseDC(CDC* dc)
{
    const auto it = std::find_if(m_windowDCs.begin(), m_windowDCs.end(),
                                 [dc](const std::unique_ptr<QtDeviceContext>& held) { return held.get() == dc; });
    if (it == m_windowDCs.end())
        return;
    m_windowDCs.erase(it);
    if (m_rendering == nullptr)
        viewport()->update();
    AfterPainting();
}
