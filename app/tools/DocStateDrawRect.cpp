#include "DocStateDrawRect.h"

#include "ToolFeedback.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataRect.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"

#include <cmath>

namespace {

constexpr std::uint32_t kKeyDelete = 46;
constexpr double kClickTol = 1e-7; // press and release this close: a click
// The rectangle's "no machine": its start stays at the minimum corner.
constexpr std::uint8_t kNoMachine = 255;

} // namespace

CDocStateDrawRect::~CDocStateDrawRect() = default;

void CDocStateDrawRect::ShowSize(DOCCONTEXT* ctx, const CGeoBox& box)
{
    if (ctx->m_pView != nullptr)
        ctx->m_pView->ShowSelectionSize(box.m_xmin, box.m_xmax, box.m_ymin, box.m_ymax);
}

void CDocStateDrawRect::DrawBand(DOCCONTEXT* ctx)
{
    DrawTrackRectPoints(ctx->m_pDC, m_ptDown, m_ptCur, plat::PS_SOLID, CurrentLayerColour(ctx), ctx);
}

void CDocStateDrawRect::Reset(std::uint32_t, DOCCONTEXT* ctx)
{
    // A band on screen cannot be drawn again to erase it after the reset.
    if (m_bButtonDown != 0)
        InvalidateWorldBox(ctx, CGeoBox::FromPoints(m_ptDown, m_ptCur));
    m_bButtonDown = 0;
    m_bDragging = 0;
}

void CDocStateDrawRect::OnLButtonDown(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    m_bButtonDown = 1;
    m_bDragging = 1;
    m_ptDown = m_ptCur = ctx->m_ptMouse;
    ShowSize(ctx, CGeoBox::FromPoints(m_ptDown, m_ptCur));
}

void CDocStateDrawRect::OnMouseMove(DOCCONTEXT* ctx)
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

void CDocStateDrawRect::OnLButtonUp(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    m_bDragging = 0;
    if (m_bButtonDown != 0) {
        // The band goes before the rectangle's repaint, which need not
        // cover where the last move left it.
        DrawBand(ctx);
    }
    m_ptCur = ctx->m_ptMouse;
    if (m_bButtonDown != 0) {
        // The square comes first: a Ctrl drag along one axis ends on the
        // press point and must make nothing.
        if (ctx->m_bCtrl != 0)
            ConstrainSquare(m_ptDown, m_ptCur);
        const bool moved =
            std::fabs(m_ptCur.m_x - m_ptDown.m_x) >= kClickTol || std::fabs(m_ptCur.m_y - m_ptDown.m_y) >= kClickTol;
        if (moved && ctx->m_pCurrent != nullptr) {
            PushHistory(ctx);
            const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
            const MachineNode* machine = GetCurrentMachine(settings);
            const std::uint8_t start = machine != nullptr ? machine->m_dot : kNoMachine;
            auto* rect = new CDocDataRect(CGeoBox::FromPoints(m_ptDown, m_ptCur), ctx, start);
            rect->m_nLayer = settings.m_nCurLayer;
            rect->m_nColor = settings.PaletteColor(settings.m_nCurLayer);
            AddObjects(ctx, rect);
        }
    }
    ShowSize(ctx, ctx->m_rcSelect);
    m_bButtonDown = 0;
}

void CDocStateDrawRect::OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key)
{
    if (ctx != nullptr && key == kKeyDelete)
        DeleteSelectedObjects(ctx);
}

void CDocStateDrawRect::DrawFeedback(DOCCONTEXT* ctx)
{
    DrawSelectionFrame(ctx);
}

void CDocStateDrawRect::OnSetCursor(DOCCONTEXT* ctx)
{
    SetArrowCursor(ctx);
}

bool CDocStateDrawRect::UpdateSelectionRect(DOCCONTEXT* ctx)
{
    return SharedUpdateSelectionRect(ctx);
}
