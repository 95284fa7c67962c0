#include "OrvelView.h"

#include "ChildFrame.h"
#include "MainFrame.h"
#include "OrvelDoc.h"
#include "QtDeviceContext.h"
#include "ViewSettingsCommands.h"
#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int kSelectTool = 0;

} // namespace

COrvelView::COrvelView(COrvelDoc* document, QWidget* parent) : QAbstractScrollArea(parent), m_document(document)
{
    // A sunken edge two pixels wide round the client area, as the rulers'
    // tick positions expect.
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setLineWidth(2);
    // The ranges never fall below ten units, so the bars are always there.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        bar->setSingleStep(kLineStep);
        bar->setPageStep(kPageStep);
    }
    // The buffered paint covers the whole client area: nothing is erased.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    AddViewSettingsCommands(*this);
}

COrvelView::~COrvelView()
{
    if (m_document != nullptr && Context().m_pView == this) {
        Context().m_pView = nullptr;
        Context().m_pDC = nullptr;
    }
}

DOCCONTEXT& COrvelView::Context()
{
    return m_document->Context();
}

CDocState* COrvelView::CurrentTool()
{
    static CDocState base;
    DOCCONTEXT& ctx = Context();
    if (ctx.m_nTool >= 0 && ctx.m_nTool < kToolCount && ctx.m_pTools[ctx.m_nTool] != nullptr)
        return ctx.m_pTools[ctx.m_nTool];
    return &base;
}

CChildFrame* COrvelView::Frame() const
{
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* frame = dynamic_cast<CChildFrame*>(w))
            return frame;
    }
    return nullptr;
}

QSize COrvelView::ClientSize() const
{
    return viewport()->size();
}

void COrvelView::OnInitialUpdate()
{
    DOCCONTEXT& ctx = Context();
    ctx.m_pView = this;
    CChildFrame* frame = Frame();
    if (frame != nullptr)
        frame->showMaximized();

    m_settingScroll = true;
    SetScrollRanges(kFirstExtent);
    horizontalScrollBar()->setValue(kFirstScroll);
    verticalScrollBar()->setValue(kFirstScroll);
    m_settingScroll = false;
    ctx.m_ptScroll = {kFirstScroll, kFirstScroll};
    GiveRulersTheScroll();

    m_firstFitPending = true;
    if (ctx.m_pCurrent != nullptr && ctx.m_pCurrent->m_pFirst != nullptr)
        ZoomToAll();
    else
        ZoomToWorkArea();

    m_nToolCommand = kSelectToolCommand;
    ctx.m_nTool = kSelectTool;
    if (frame != nullptr)
        frame->setWindowTitle(QString::fromStdU16String(ctx.m_strTitle));
    m_document->SetTitle(ctx.m_strTitle);
    InvalidateRect(nullptr, false);
}

WorkPanelPages* COrvelView::PanelPages() const
{
    // A closing window may have left the main frame already: its frame
    // still knows it.
    CMainFrame* main = Frame() != nullptr ? Frame()->MainFrame() : qobject_cast<CMainFrame*>(window());
    return main != nullptr ? main->PanelPages() : nullptr;
}

void COrvelView::OnActivateView(bool activate)
{
    if (!activate)
        return;
    if (WorkPanelPages* pages = PanelPages())
        pages->SetOwner(&Context(), this);
}

void COrvelView::OnDestroy(bool lastDocument)
{
    if (!lastDocument)
        return;
    if (WorkPanelPages* pages = PanelPages())
        pages->ClearOwner();
}

plat::LPARAM COrvelView::SendMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam)
{
    switch (msg) {
    case kMsgPaletteIndex: {
        DOCCONTEXT& ctx = Context();
        SoftwareSettings& settings = ctx.m_pSettings != nullptr ? *ctx.m_pSettings : g_settings;
        settings.m_nCurLayer = static_cast<std::int32_t>(lParam);
        CurrentTool()->SetSelectionColor(&ctx);
        return 0;
    }
    case kMsgZoomRect:
        if (wParam != 0)
            OnZoomRect(*reinterpret_cast<const plat::RECT*>(wParam));
        return 0;
    default:
        return 0;
    }
}

void COrvelView::ZoomToWorkArea()
{
    const DOCCONTEXT& ctx = Context();
    const SoftwareSettings& settings = ctx.m_pSettings != nullptr ? *ctx.m_pSettings : g_settings;
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

void COrvelView::Render(const QRegion& region)
{
    const QSize size = ClientSize();
    if (size.isEmpty() || m_screen.isNull())
        return;
    if (!m_bBufferValid || m_nBufferWidth != size.width() || m_nBufferHeight != size.height()) {
        m_buffer = QImage(size, QImage::Format_RGB32);
        m_bBufferValid = !m_buffer.isNull();
        m_nBufferWidth = m_bBufferValid ? size.width() : 0;
        m_nBufferHeight = m_bBufferValid ? size.height() : 0;
        if (!m_bBufferValid)
            return;
        ++m_bufferCreations;
    }
    DOCCONTEXT& ctx = Context();
    m_buffer.fill(Qt::white);
    {
        QtDeviceContext dc(m_buffer);
        m_coverGrid.Draw(&dc, &ctx, size.width(), size.height());
        CurrentTool()->DrawObjects(&dc, &ctx);
    }
    {
        QPainter painter(&m_screen);
        painter.setClipRegion(region);
        painter.drawImage(0, 0, m_buffer);
    }
    QtDeviceContext dc(m_screen);
    dc.SetClipRegion(region);
    const plat::POINT scroll = GetScrollPosition();
    dc.SetViewportOrg(-scroll.x, -scroll.y);
    CDC* const saved = ctx.m_pDC;
    ctx.m_pDC = &dc;
    CurrentTool()->DrawFeedback(&ctx);
    ctx.m_pDC = saved;
}

void COrvelView::paintEvent(QPaintEvent* event)
{
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
    painter.drawImage(r.topLeft(), m_screen, r);
}

void COrvelView::resizeEvent(QResizeEvent*)
{
    const QSize size = ClientSize();
    m_screen = size.isEmpty() ? QImage() : QImage(size, QImage::Format_RGB32);
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
}

CDC* COrvelView::EventDC::dc() const
{
    return m_dc.get();
}
