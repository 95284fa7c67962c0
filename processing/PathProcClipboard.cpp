// The internal clipboard: copy, cut and paste of drawing objects through the
// held list of the settings block; the system clipboard is not used.
#include "PathProc.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/SoftwareSettings.h"

#include <new>

namespace {

// Repaints the area of a cut or paste: the whole view while order numbers
// are shown (every later number changes), else the box and the extra box
// (with the document's array columns to the right) in client pixels, grown
// by 15.
void Repaint(DOCCONTEXT* ctx, const CGeoBox& box, const CGeoBox& extra)
{
    if (ctx->m_pView == nullptr)
        return;
    CGeoBox area = box;
    area.Union(extra);
    if (SettingsOf(ctx).m_bShowOrder != 0 || area.IsEmpty()) {
        ctx->m_pView->InvalidateRect(nullptr, true);
        return;
    }
    CDocState::InvalidateSelectionArea(ctx, area);
}

} // namespace

void CPathProc::DeleteObjects(CDocData*& head)
{
    DeleteObjectList(head);
}

void CPathProc::SetObjectsSelected(CDocData* first, std::uint8_t flag)
{
    for (CDocData* o = first; o != nullptr; o = o->m_pNext)
        o->SetSelected(flag);
}

CGeoBox CPathProc::GetListBox(const CDocData* first, CGeoBox& box)
{
    box.SetEmpty();
    for (const CDocData* o = first; o != nullptr; o = o->m_pNext)
        box.Union(o->GetBoundRect());
    return box;
}

void CPathProc::CopySelection(DOCCONTEXT* ctx, std::int32_t layer)
{
    if (ctx == nullptr)
        return;
    CDocData*& held = SettingsOf(ctx).m_pClipboard;
    DeleteObjectList(held);
    if (ctx->m_pCurrent == nullptr)
        return;
    CDocData* tail = nullptr;
    for (const CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0 || (layer >= 0 && o->m_nLayer != layer))
            continue;
        CDocData* copy = CloneDocData(o, false);
        if (copy == nullptr)
            continue;
        copy->SetSelected(1);
        AppendObject(held, tail, copy);
    }
}

void CPathProc::CutSelection(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    SoftwareSettings& settings = SettingsOf(ctx);
    if (!ctx->m_rcSelect.IsEmpty())
        CDocState::PushHistory(ctx);
    const CGeoBox kept = ctx->m_rcSelect;
    ctx->m_rcSelect.SetEmpty();
    DeleteObjectList(settings.m_pClipboard);

    CDocData*& head = ctx->m_pCurrent->m_pFirst;
    CDocData* tail = nullptr;
    CGeoBox redraw;
    for (CDocData* o = head; o != nullptr;) {
        CDocData* next = o->m_pNext;
        if (o->IsSelected() == 0) {
            o = next;
            continue;
        }
        // The travel lines to and from the cut object end at its neighbours.
        if (settings.m_bShowTravel != 0) {
            redraw.Union(o->m_pPrev != nullptr ? o->m_pPrev->GetBoundRect() : o->GetBoundRect());
            redraw.Union(next != nullptr ? next->GetBoundRect() : o->GetBoundRect());
        }
        UnlinkObject(head, o);
        AppendObject(settings.m_pClipboard, tail, o);
        o = next;
    }
    SetObjectsSelected(settings.m_pClipboard, 1);
    Repaint(ctx, kept, redraw);
}

void CPathProc::PasteSelection(DOCCONTEXT* ctx, std::uint8_t clear)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    CDocData*& held = SettingsOf(ctx).m_pClipboard;
    if (held == nullptr)
        return;
    CDocState::PushHistory(ctx);
    GetListBox(held, ctx->m_rcSelect);
    CDocData* copies = CloneDocData(held, true);
    CDocData*& head = ctx->m_pCurrent->m_pFirst;
    CGeoBox lastBox;
    if (head == nullptr) {
        head = copies;
    } else {
        CDocData* last = head;
        while (last->m_pNext != nullptr)
            last = last->m_pNext;
        lastBox = last->GetBoundRect();
        last->m_pNext = copies;
        if (copies != nullptr)
            copies->m_pPrev = last;
    }
    if (clear == 1)
        DeleteObjectList(held);
    CGeoBox redraw;
    if (SettingsOf(ctx).m_bShowTravel != 0)
        redraw = lastBox;
    Repaint(ctx, ctx->m_rcSelect, redraw);
}

CDocData* CPathProc::WrapInGroup(CDocData* chain, DOCCONTEXT* ctx)
{
    return new (std::nothrow) CDocDataGroup(chain, ctx);
}
