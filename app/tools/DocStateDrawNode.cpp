#include "DocStateDrawNode.h"

#include "ToolFeedback.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocDataPoint.h"
#include "model/GeoFunctions.h"
#include "settings/SoftwareSettings.h"

#include <cmath>
#include <numbers>

namespace {

constexpr std::uint32_t kKeyCancel = 3; // Ctrl+Break
constexpr std::uint32_t kKeyReturn = 13;
constexpr std::uint32_t kKeyEscape = 27;
constexpr std::uint32_t kKeySpace = 32;
constexpr std::uint32_t kKeyDelete = 46;
constexpr std::uint32_t kKeyF3 = 114;
constexpr double kSnapStep = std::numbers::pi / 12.0; // 15 degrees

} // namespace

CDocStateDrawNode::~CDocStateDrawNode() = default;

DOCNODE* CDocStateDrawNode::LastNode() const
{
    DOCNODE* n = m_pNodes;
    while (n != nullptr && n->m_pNext != nullptr && n->m_pNext != m_pNodes)
        n = n->m_pNext;
    return n;
}

CGeoBox CDocStateDrawNode::ChainBox() const
{
    CGeoBox box;
    for (const DOCNODE* n = m_pNodes; n != nullptr; n = n->m_pNext == m_pNodes ? nullptr : n->m_pNext)
        box.AddPoint(CGeoPoint(n->m_x, n->m_y));
    return box;
}

CGeoBox CDocStateDrawNode::ShownBox() const
{
    CGeoBox box = ChainBox();
    box.AddPoint(m_ptCur);
    return box;
}

CGeoPoint CDocStateDrawNode::SnapAngle(const CGeoPoint& point) const
{
    const DOCNODE* last = LastNode();
    if (last == nullptr)
        return point;
    const double a = GeoAngle(last->m_x, last->m_y, point.m_x, point.m_y);
    const double k = std::trunc((a + kSnapStep / 2.0) / kSnapStep);
    CGeoPoint out;
    GeoRotatePoint(last->m_x, last->m_y, point.m_x, point.m_y, k * kSnapStep - a, out.m_x, out.m_y);
    return out;
}

CGeoPoint CDocStateDrawNode::MousePoint(const DOCCONTEXT* ctx) const
{
    return ctx->m_bCtrl != 0 ? SnapAngle(ctx->m_ptMouse) : ctx->m_ptMouse;
}

void CDocStateDrawNode::ShowSize(DOCCONTEXT* ctx, const CGeoBox& box)
{
    if (ctx->m_pView != nullptr)
        ctx->m_pView->ShowSelectionSize(box.m_xmin, box.m_xmax, box.m_ymin, box.m_ymax);
}

void CDocStateDrawNode::DrawRubber(DOCCONTEXT* ctx)
{
    CDC* dc = ctx->m_pDC;
    if (dc == nullptr || !Drawing())
        return;
    const plat::ScopedPen pen(*dc, RubberBandPen(ctx), plat::R2_XORPEN);
    const double z = ctx->m_dZoom;
    // End pixels are left out by LineTo, so the joined segments touch no
    // pixel twice and a second drawing erases exactly.
    dc->MoveTo(plat::RoundPixel(m_pNodes->m_x * z), plat::RoundPixel(m_pNodes->m_y * z));
    for (const DOCNODE* n = m_pNodes->m_pNext; n != nullptr && n != m_pNodes; n = n->m_pNext)
        dc->LineTo(plat::RoundPixel(n->m_x * z), plat::RoundPixel(n->m_y * z));
    dc->LineTo(plat::RoundPixel(m_ptCur.m_x * z), plat::RoundPixel(m_ptCur.m_y * z));
}

void CDocStateDrawNode::DrawFeedback(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    DrawRubber(ctx);
    DrawSelectionFrame(ctx);
}

void CDocStateDrawNode::OnSetCursor(DOCCONTEXT* ctx)
{
    SetArrowCursor(ctx);
}

bool CDocStateDrawNode::UpdateSelectionRect(DOCCONTEXT* ctx)
{
    return SharedUpdateSelectionRect(ctx);
}

void CDocStateDrawNode::OnLButtonDown(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    // The press may land away from where the rubber line was last drawn
    // (no move before it, or Ctrl pressed since): take the old one off.
    DrawRubber(ctx);
    if (m_bButtonDown == 0) {
        m_ptDown = ctx->m_ptMouse;
        m_bButtonDown = 1;
    }
    m_ptCur = MousePoint(ctx);
    DOCNODE* node = AppendNode(LastNode(), m_ptCur.m_x, m_ptCur.m_y);
    if (m_pNodes == nullptr)
        m_pNodes = node;
    DrawRubber(ctx);
    ShowSize(ctx, ChainBox());
}

void CDocStateDrawNode::OnMouseMove(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    DrawFeedback(ctx);
    m_ptCur = MousePoint(ctx);
    DrawFeedback(ctx);
    if (Drawing())
        ShowSize(ctx, ChainBox());
}

bool CDocStateDrawNode::OnRButtonDown(DOCCONTEXT* ctx)
{
    return ShowPathMenu(ctx, Drawing());
}

void CDocStateDrawNode::RetractRubber(DOCCONTEXT* ctx)
{
    DrawFeedback(ctx);
    const DOCNODE* last = LastNode();
    m_ptCur = CGeoPoint(last->m_x, last->m_y);
    DrawFeedback(ctx);
}

void CDocStateDrawNode::Finish(DOCCONTEXT* ctx)
{
    if (m_pNodes == nullptr || ctx->m_pCurrent == nullptr)
        return;
    PushHistory(ctx);
    CDocData* obj = nullptr;
    if (m_pNodes->m_pNext == nullptr)
        obj = new CDocDataPoint(m_pNodes->m_x, m_pNodes->m_y, ctx);
    else
        obj = new CDocDataLine(m_pNodes, 0, ctx);
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    obj->m_nLayer = settings.m_nCurLayer;
    obj->m_nColor = settings.PaletteColor(settings.m_nCurLayer);
    FreeNodeList(m_pNodes);
    m_bButtonDown = 0;
    AddObjects(ctx, obj);
}

void CDocStateDrawNode::OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key)
{
    if (ctx == nullptr)
        return;
    switch (key) {
    case kKeyReturn:
    case kKeyEscape:
    case kKeySpace:
        if (m_pNodes == nullptr)
            return;
        RetractRubber(ctx);
        Finish(ctx);
        ShowSize(ctx, ctx->m_rcSelect);
        return;
    case kKeyCancel:
    case kKeyF3: {
        if (m_pNodes == nullptr)
            return;
        const CGeoBox box = ChainBox();
        DrawFeedback(ctx);
        FreeNodeList(m_pNodes);
        m_bButtonDown = 0;
        DrawFeedback(ctx);
        InvalidateWorldBox(ctx, box);
        return;
    }
    case kKeyDelete:
        DeleteSelectedObjects(ctx);
        return;
    default:
        return;
    }
}

void CDocStateDrawNode::EndPathOpen(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || m_pNodes == nullptr)
        return;
    RetractRubber(ctx);
    Finish(ctx);
}

void CDocStateDrawNode::EndPathClosed(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || m_pNodes == nullptr)
        return;
    RetractRubber(ctx);
    if (m_pNodes->m_pNext != nullptr && m_pNodes->m_pNext->m_pNext != nullptr)
        AppendNode(LastNode(), m_pNodes->m_x, m_pNodes->m_y);
    Finish(ctx);
}

void CDocStateDrawNode::Reset(std::uint32_t, DOCCONTEXT* ctx)
{
    // The chain cannot be drawn again to erase it once it is gone.
    if (Drawing())
        InvalidateWorldBox(ctx, ShownBox());
    m_bButtonDown = 0;
    m_nMode = 0;
    FreeNodeList(m_pNodes);
}
