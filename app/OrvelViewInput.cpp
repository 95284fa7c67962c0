// The drawing view's mouse and key routing: every mouse event goes to the
// current tool with the world point and a device context set, after the tool
// has caught up with the last undo or redo; the first click after typing in
// a property edit only takes the focus back; keys come through the key
// router's hook, where Esc, F3, F4, the alignment letters and the
// accelerators the tool claims are sorted out.
#include "OrvelView.h"

#include "ChildFrame.h"
#include "MainFrame.h"
#include "qtplatform/Resources.h"
#include "model/DocContext.h"
#include "model/DocState.h"
#include "tools/DocTools.h"

#include <QApplication>
#include <QKeyEvent>

#include <array>

namespace {

// The alignment commands of the keys L, E, R, T, C and B.
struct AlignKey {
    int key;
    plat::UINT command;
};
constexpr std::array<AlignKey, 6> kAlignKeys = {
    {{'L', 32835}, {'E', 32839}, {'R', 32837}, {'T', 32838}, {'C', 32836}, {'B', 32840}}};

} // namespace

void COrvelView::SyncToolWithHistory()
{
    DOCCONTEXT& ctx = Context();
    if (ctx.m_nHistoryMoves == m_seenHistoryMoves)
        return;
    m_seenHistoryMoves = ctx.m_nHistoryMoves;
    CurrentTool()->Reset(0, &ctx);
    // A drag the reset ended: its release goes nowhere.
    m_leftDown = false;
}

void COrvelView::ToolMouseEvent(const QPoint& client, const std::function<void(CDocState*, DOCCONTEXT*)>& call)
{
    SyncToolWithHistory();
    DOCCONTEXT& ctx = Context();
    const EventDC dc(*this);
    const plat::POINT scroll = GetScrollPosition();
    ctx.m_ptMouse.Set((static_cast<double>(client.x()) + scroll.x) / ctx.m_dZoom,
                      (static_cast<double>(client.y()) + scroll.y) / ctx.m_dZoom);
    call(CurrentTool(), &ctx);
    FollowSelection();
}

void COrvelView::keyPressEvent(QKeyEvent* event)
{
    // Arrows and page keys are the tool's, not a scroll.
    event->accept();
}

void COrvelView::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
}

void COrvelView::mousePressEvent(QMouseEvent* event)
{
    const QPoint client = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        // The first click after typing in a property edit only brings the
        // focus back (the edit's value is applied then).
        if (CMainFrame* main = MainFrame(); main != nullptr && IsPropertyEdit(main->m_nFocusEditId)) {
            main->m_nFocusEditId = ControlIdOf(QApplication::focusWidget());
            return;
        }
        m_leftDown = true;
        ToolMouseEvent(client, [](CDocState* tool, DOCCONTEXT* ctx) { tool->OnLButtonDown(ctx); });
    } else if (event->button() == Qt::RightButton) {
        bool backToSelect = false;
        ToolMouseEvent(client, [&](CDocState* tool, DOCCONTEXT* ctx) { backToSelect = tool->OnRButtonDown(ctx); });
        if (backToSelect)
            OnCommand(kSelectToolCommand);
    }
}

void COrvelView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (!m_leftDown)
            return; // its press was used up or reset
        m_leftDown = false;
        ToolMouseEvent(event->position().toPoint(),
                       [](CDocState* tool, DOCCONTEXT* ctx) { tool->OnLButtonUp(ctx); });
    } else if (event->button() == Qt::RightButton) {
        SyncToolWithHistory();
        CurrentTool()->OnRButtonUp(&Context());
    }
}

void COrvelView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_leftDown = true;
    ToolMouseEvent(event->position().toPoint(), [](CDocState* tool, DOCCONTEXT* ctx) { tool->OnLButtonDblClk(ctx); });
}

void COrvelView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint client = event->position().toPoint();
    if (CChildFrame* frame = Frame())
        frame->SetRulerMarker(plat::POINT{client.x(), client.y()});
    ToolMouseEvent(client, [](CDocState* tool, DOCCONTEXT* ctx) {
        tool->OnMouseMove(ctx);
        tool->OnSetCursor(ctx);
    });
    UpdateStatusBar();
}

void COrvelView::wheelEvent(QWheelEvent* event)
{
    // A turn of the horizontal wheel alone is not a zoom.
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    event->accept();
    OnMouseWheel(delta);
}

void COrvelView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    DOCCONTEXT& ctx = Context();
    // The key releases go elsewhere now.
    ctx.m_bCtrl = 0;
    ctx.m_bShift = 0;
    if (m_leftDown) {
        // A drag cut short: its button release may never come here.
        m_leftDown = false;
        CurrentTool()->Reset(0, &ctx);
        InvalidateRect(nullptr, false);
    }
}

// ---- Keys ------------------------------------------------------------------

bool COrvelView::PreTranslateKey(const VirtualKey& key)
{
    SyncToolWithHistory();
    DOCCONTEXT& ctx = Context();
    const EventDC dc(*this);
    if (!key.down) {
        if (key.code == vk::Shift)
            ctx.m_bShift = 0;
        else if (key.code == vk::Control)
            ctx.m_bCtrl = 0;
        return false;
    }
    switch (key.code) {
    case vk::Shift:
        ctx.m_bShift = 1;
        return false;
    case vk::Control:
        ctx.m_bCtrl = 1;
        return false;
    case vk::Escape:
        if (ctx.m_nTool == TOOL_POLYLINE || ctx.m_nTool == TOOL_BEZIER)
            CurrentTool()->OnKeyDown(&ctx, vk::Escape);
        OnCommand(kSelectToolCommand);
        return false;
    case vk::F1 + 2: // F3
        SendMessage(kMsgZoomOut, 0, 0);
        return false;
    case vk::F1 + 3: // F4
        ZoomToAll();
        return false;
    default:
        break;
    }
    for (const AlignKey& align : kAlignKeys) {
        if (key.code == align.key) {
            if (!key.ctrl && hasFocus())
                OnCommand(align.command);
            return false;
        }
    }
    // A combination of the accelerator table goes to one place only: the
    // tool when it claims it now, else its command.
    const auto code = static_cast<std::uint32_t>(key.code);
    if (FindAccelerator(AcceleratorTable(), key) != 0) {
        if (!CurrentTool()->ClaimsKey(&ctx, code, key.ctrl, key.shift, key.alt))
            return false;
        CurrentTool()->OnKeyDown(&ctx, code);
        return true;
    }
    CurrentTool()->OnKeyDown(&ctx, code);
    return false;
}
