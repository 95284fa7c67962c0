#include "DocStateEditNode.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/LeadInOut.h"
#include "settings/LanguageTable.h"
#include "settings/SoftwareSettings.h"

#include <cmath>
#include <string_view>
#include <vector>

namespace {

constexpr double kHitPixels = 3.0;
constexpr double kNodeRepaintGrow = 10.0;
constexpr double kDragReach = 1e-7; // press and release closer on both axes: a click
constexpr int kBandStyle = 2;       // dotted pen
constexpr std::uint8_t kFindOnly = 255;

constexpr std::uint32_t kKeyDelete = 46;

constexpr int kCursorArrow = 249;
constexpr int kCursorSegment = 250;
constexpr int kCursorNode = 251;

constexpr int kNodeMenu = 171;
constexpr plat::UINT kCmdSetStart = 32822;
constexpr std::u16string_view kEditMenuSection = u"phase11:edit-right-menu";
constexpr int kSetStartEntry = 4;

void AddLeadPoints(CGeoBox& box, const CDocData& obj)
{
    const LEADINOUT* lead = obj.m_pLeadInOut;
    if (lead == nullptr)
        return;
    if (lead->m_bLeadIn != 0)
        box.AddPoint(CGeoPoint(lead->m_dInX, lead->m_dInY));
    if (lead->m_bLeadOut != 0)
        box.AddPoint(CGeoPoint(lead->m_dOutX, lead->m_dOutY));
}

} // namespace

CDocStateEditNode::~CDocStateEditNode() = default;

double CDocStateEditNode::Tolerance(const DOCCONTEXT* ctx)
{
    return kHitPixels / ctx->m_dZoom;
}

bool CDocStateEditNode::HoldsLiveObject(DOCCONTEXT* ctx)
{
    if (m_pObject == nullptr)
        return false;
    if (ctx != nullptr && ctx->m_pCurrent != nullptr) {
        for (const CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
            if (obj == m_pObject)
                return true;
        }
    }
    // Cut, ungrouped or replaced by a command: it may be freed already.
    if (ctx != nullptr)
        RepaintFeedback(ctx);
    Drop();
    return false;
}

void CDocStateEditNode::Drop()
{
    m_pObject = nullptr;
    m_nMode = 0;
    m_bButtonDown = 0;
    m_nHover = 0;
    m_nDragKind = 0;
    m_bFeedbackShown = false;
}

CGeoBox CDocStateEditNode::NodesBox() const
{
    CGeoBox box;
    if (m_pObject != nullptr)
        m_pObject->UnionSelectedNodesRect(box, true, true);
    return box;
}

void CDocStateEditNode::Repaint(DOCCONTEXT* ctx, const CGeoBox& world)
{
    InvalidateWorldBox(ctx, world, kNodeRepaintGrow);
}

void CDocStateEditNode::Reset(std::uint32_t, DOCCONTEXT* ctx)
{
    if (ctx != nullptr) {
        RepaintFeedback(ctx);
        if (HoldsLiveObject(ctx)) {
            const CGeoBox box = NodesBox();
            m_pObject->DeselectNodes();
            Repaint(ctx, box);
        }
    }
    Drop();
}

// ---- Feedback ---------------------------------------------------------------

void CDocStateEditNode::DrawBand(DOCCONTEXT* ctx)
{
    DrawTrackRectPoints(ctx->m_pDC, m_ptDown, m_ptCur, kBandStyle, CDocData::SettingsOf(ctx).m_crSecondary, ctx);
}

void CDocStateEditNode::DrawPreview(DOCCONTEXT* ctx) const
{
    if (m_pObject != nullptr && m_nDragKind != 0)
        m_pObject->DrawNodeMovePreview(ctx, ctx->m_pDC, m_ptDown, m_ptCur, static_cast<int>(m_nDragKind));
}

void CDocStateEditNode::EraseFeedback(DOCCONTEXT* ctx)
{
    if (!m_bFeedbackShown)
        return;
    if (m_nMode == 2)
        DrawPreview(ctx);
    else
        DrawBand(ctx);
    m_bFeedbackShown = false;
}

void CDocStateEditNode::RepaintFeedback(DOCCONTEXT* ctx)
{
    if (!m_bFeedbackShown)
        return;
    m_bFeedbackShown = false;
    if (m_nMode != 2) {
        InvalidateWorldBox(ctx, CGeoBox::FromPoints(m_ptDown, m_ptCur));
        return;
    }
    // The moved outline runs to neighbours outside the nodes' box.
    if (ctx->m_pView != nullptr)
        ctx->m_pView->InvalidateRect(nullptr, true);
}

void CDocStateEditNode::DrawFeedback(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    HoldsLiveObject(ctx);
    if (!m_bFeedbackShown || ctx->m_pDC == nullptr)
        return;
    // A repaint under the band or the preview draws it again, so that the
    // next exclusive-or erases it everywhere.
    if (m_nMode == 2)
        DrawPreview(ctx);
    else
        DrawBand(ctx);
}

// ---- Picking and hovering ---------------------------------------------------

bool CDocStateEditNode::SelectAtPoint(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return false;
    const double tol = Tolerance(ctx);
    const CGeoPoint& at = ctx->m_ptMouse;
    CDocData* hit = nullptr;
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (hit == nullptr && obj->HitSegment(at.m_x, at.m_y, tol, kFindOnly)) {
            hit = obj;
            obj->SelectAllNodes();
        } else {
            obj->DeselectNodes();
        }
    }
    if (hit != nullptr) {
        m_pObject = hit;
        return true;
    }
    if (m_pObject != nullptr)
        m_pObject->SelectAllNodes();
    return false;
}

void CDocStateEditNode::HoverTest(DOCCONTEXT* ctx)
{
    m_nHover = 0;
    if (m_pObject == nullptr)
        return;
    const double tol = Tolerance(ctx);
    const CGeoPoint& at = ctx->m_ptMouse;
    const std::uint8_t node = m_pObject->SelectNodeAt(at.m_x, at.m_y, tol, kFindOnly);
    if (node == 1)
        m_nHover = 1;
    else if ((node == 2 || node == 3) && m_nMode == 2)
        m_nHover = node;
    else if (m_pObject->HitSegment(at.m_x, at.m_y, tol, kFindOnly))
        m_nHover = 4;
}

// ---- Mouse ------------------------------------------------------------------

void CDocStateEditNode::OnLButtonDown(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    HoldsLiveObject(ctx);
    OnSetCursor(ctx);
    m_bButtonDown = 1;
    m_ptDown = m_ptCur = ctx->m_ptMouse;
    m_bFeedbackShown = false;
    if (m_nMode == 0) {
        m_nDragKind = 0;
        if (SelectAtPoint(ctx)) {
            m_nMode = 1;
            m_bButtonDown = 0;
            Repaint(ctx, NodesBox());
        }
    } else if (m_nMode == 1) {
        PressMode1(ctx);
    } else if (m_nMode == 2) {
        PressMode2(ctx);
    }
}

void CDocStateEditNode::PressMode1(DOCCONTEXT* ctx)
{
    if (m_pObject == nullptr) {
        Reset(0, ctx);
        return;
    }
    const double tol = Tolerance(ctx);
    if (m_pObject->SelectNodeAt(m_ptCur.m_x, m_ptCur.m_y, tol, NODE_ACTIVE) == 1) {
        m_nMode = 2;
        m_nDragKind = 1;
        Repaint(ctx, NodesBox());
        return;
    }
    if (m_pObject->HitSegment(m_ptCur.m_x, m_ptCur.m_y, tol, NODE_ACTIVE)) {
        m_nMode = 2;
        m_nDragKind = 3;
        Repaint(ctx, NodesBox());
        return;
    }
    // Off the object: it is let go, and another under the point may be
    // picked instead.
    m_nDragKind = 0;
    CGeoBox box = NodesBox();
    m_pObject->DeselectNodes();
    m_pObject = nullptr;
    m_nMode = 0;
    if (SelectAtPoint(ctx)) {
        m_nMode = 1;
        m_bButtonDown = 0;
        box.Union(NodesBox());
    }
    Repaint(ctx, box);
}

void CDocStateEditNode::PressMode2(DOCCONTEXT* ctx)
{
    if (m_pObject == nullptr) {
        Reset(0, ctx);
        return;
    }
    Repaint(ctx, NodesBox());
    const double tol = Tolerance(ctx);
    const std::uint8_t node = m_pObject->SelectNodeAt(m_ptCur.m_x, m_ptCur.m_y, tol, NODE_ACTIVE);
    if (node == 1) {
        m_nDragKind = 1;
        Repaint(ctx, NodesBox());
    } else if (node == 2 || node == 3) {
        m_nDragKind = 2;
        DrawPreview(ctx);
        m_bFeedbackShown = ctx->m_pDC != nullptr;
    } else if (m_pObject->HitSegment(m_ptCur.m_x, m_ptCur.m_y, tol, NODE_ACTIVE)) {
        m_nDragKind = 3;
    } else {
        m_pObject->SelectInRect(CGeoBox::FromPoints(m_ptDown, m_ptCur));
        m_nDragKind = 0;
        m_nMode = 1;
        Repaint(ctx, NodesBox());
    }
}

void CDocStateEditNode::OnMouseMove(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    HoldsLiveObject(ctx);
    OnSetCursor(ctx);
    if (m_nMode == 0 || m_nMode == 1) {
        if (m_nMode == 1)
            HoverTest(ctx);
        if (m_bButtonDown != 0) {
            EraseFeedback(ctx);
            m_ptCur = ctx->m_ptMouse;
            DrawBand(ctx);
            m_bFeedbackShown = ctx->m_pDC != nullptr;
        }
    } else if (m_nMode == 2) {
        HoverTest(ctx);
        if (m_bButtonDown != 0 && m_pObject != nullptr && m_nDragKind != 0) {
            EraseFeedback(ctx);
            m_ptCur = ctx->m_ptMouse;
            DrawPreview(ctx);
            m_bFeedbackShown = ctx->m_pDC != nullptr;
        }
    }
}

void CDocStateEditNode::OnLButtonUp(DOCCONTEXT* ctx)
{
    if (ctx == nullptr)
        return;
    HoldsLiveObject(ctx);
    OnSetCursor(ctx);
    EraseFeedback(ctx);
    m_ptCur = ctx->m_ptMouse;
    const bool dragged =
        std::fabs(m_ptDown.m_x - m_ptCur.m_x) >= kDragReach || std::fabs(m_ptDown.m_y - m_ptCur.m_y) >= kDragReach;
    const CGeoBox band = CGeoBox::FromPoints(m_ptDown, m_ptCur);
    CDocData* first = ctx->m_pCurrent != nullptr ? ctx->m_pCurrent->m_pFirst : nullptr;

    if (m_nMode == 0) {
        if (dragged) {
            for (CDocData* obj = first; obj != nullptr; obj = obj->m_pNext) {
                if (obj->SelectInRect(band)) {
                    m_pObject = obj;
                    m_nMode = 1;
                    Repaint(ctx, NodesBox());
                    break;
                }
            }
        }
    } else if (m_nMode == 1) {
        if (dragged && m_pObject != nullptr) {
            CGeoBox box = NodesBox();
            if (m_pObject->SelectInRect(band)) {
                m_nMode = 2;
                Repaint(ctx, NodesBox());
            } else {
                for (CDocData* obj = first; obj != nullptr; obj = obj->m_pNext) {
                    if (obj == m_pObject || !obj->SelectInRect(band))
                        continue;
                    m_pObject->DeselectNodes();
                    m_pObject = obj;
                    m_nMode = 1;
                    m_bButtonDown = 0;
                    box.Union(NodesBox());
                    Repaint(ctx, box);
                    break;
                }
            }
        }
    } else if (m_nMode == 2) {
        if (m_bButtonDown != 0 && m_pObject != nullptr && m_nDragKind != 0 && dragged) {
            PushHistory(ctx);
            CGeoBox box = NodesBox();
            AddLeadPoints(box, *m_pObject);
            if (CDocData::SettingsOf(ctx).m_bShowTravel != 0) {
                // The travel lines to the neighbours move with the ends.
                CGeoPoint p;
                if (m_pObject->m_pPrev != nullptr && m_pObject->m_pPrev->GetEndPoint(p))
                    box.AddPoint(p);
                if (m_pObject->m_pNext != nullptr && m_pObject->m_pNext->GetStartPoint(p))
                    box.AddPoint(p);
            }
            m_pObject->MoveSelectedNodes(m_ptDown, m_ptCur, static_cast<int>(m_nDragKind), ctx);
            AddLeadPoints(box, *m_pObject);
            box.Union(NodesBox());
            m_pObject->RecalcBoundRect(ctx);
            Repaint(ctx, box);
        }
    }
    m_bButtonDown = 0;
    m_nDragKind = 0;
}

void CDocStateEditNode::OnLButtonDblClk(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || !HoldsLiveObject(ctx))
        return;
    // The step is taken back when no node goes in, so the redo side stays.
    PendingStep step(ctx);
    if (!m_pObject->InsertNodeAt(ctx->m_ptMouse.m_x, ctx->m_ptMouse.m_y, Tolerance(ctx))) {
        step.Withdraw();
        return;
    }
    Repaint(ctx, NodesBox());
}

bool CDocStateEditNode::OnRButtonDown(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || !HoldsLiveObject(ctx))
        return true;
    if (ctx->m_pView == nullptr)
        return false;
    // A text the language file does not give keeps the menu's own.
    std::vector<plat::MenuItemText> texts;
    const std::u16string& text = LanguageText(RegisteredLanguageTable(), kEditMenuSection, kSetStartEntry);
    if (!text.empty())
        texts.push_back(plat::MenuItemText{kCmdSetStart, text});
    const plat::POINT at = ctx->WorldToClientPixel(ctx->m_ptMouse.m_x, ctx->m_ptMouse.m_y);
    ctx->m_pView->TrackPopupMenu(kNodeMenu, texts, at);
    return false;
}

// ---- Keys -------------------------------------------------------------------

void CDocStateEditNode::OnKeyDown(DOCCONTEXT* ctx, std::uint32_t key)
{
    if (ctx == nullptr || key != kKeyDelete || !HoldsLiveObject(ctx))
        return;
    DeleteNodes(ctx);
}

void CDocStateEditNode::DeleteNodes(DOCCONTEXT* ctx)
{
    // No step when no node is selected: it would cost the redo side.
    PendingStep step(ctx);
    CGeoBox box = m_pObject->m_rcBound;
    AddLeadPoints(box, *m_pObject);
    if (!m_pObject->DeleteSelectedNodes()) {
        step.Withdraw();
    } else if (m_pObject->m_pNodes == nullptr) {
        RemoveObject(ctx);
    } else {
        m_pObject->RecalcBoundRect(ctx);
        box.Union(m_pObject->m_rcBound);
        ctx->m_rcSelect = m_pObject->m_rcBound;
        if (m_pObject->m_pLeadInOut != nullptr) {
            ApplyLeadInOut(ctx, m_pObject);
            AddLeadPoints(box, *m_pObject);
        }
    }
    Repaint(ctx, box);
    if (ctx->m_pView != nullptr) {
        ctx->m_pView->RefreshLayerList();
        if (CDocData::SettingsOf(ctx).m_bOrderPage != 0)
            ctx->m_pView->RefreshOrderList();
    }
}

void CDocStateEditNode::RemoveObject(DOCCONTEXT* ctx)
{
    CDocData* obj = m_pObject;
    if (obj->m_pPrev != nullptr)
        obj->m_pPrev->m_pNext = obj->m_pNext;
    else if (ctx->m_pCurrent != nullptr)
        ctx->m_pCurrent->m_pFirst = obj->m_pNext;
    if (obj->m_pNext != nullptr)
        obj->m_pNext->m_pPrev = obj->m_pPrev;
    obj->m_pPrev = nullptr;
    obj->m_pNext = nullptr;
    m_pObject = nullptr;
    delete obj;
    Reset(0, ctx);
}

// ---- Cursor -----------------------------------------------------------------

void CDocStateEditNode::OnSetCursor(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pView == nullptr)
        return;
    int cursor = plat::IDC_ARROW;
    if (m_nMode == 0) {
        cursor = kCursorArrow;
    } else if (m_nMode == 1 || m_nMode == 2) {
        cursor = m_nHover == 4 ? kCursorSegment : m_nHover >= 1 && m_nHover <= 3 ? kCursorNode : kCursorArrow;
    }
    ctx->m_pView->SetCursor(cursor);
}
