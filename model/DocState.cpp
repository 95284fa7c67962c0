#include "DocState.h"

#include "DocContext.h"
#include "DocData.h"
#include "DocListNode.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"

#include <vector>

void CDocState::Reset(std::uint32_t, DOCCONTEXT*) {}
void CDocState::DrawFeedback(DOCCONTEXT*) {}
void CDocState::SetSelectionColor(DOCCONTEXT*) {}

void CDocState::DrawObjects(CDC* dc, DOCCONTEXT* ctx)
{
    if (dc == nullptr || ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_pCurrent->m_pFirst == nullptr)
        return;
    const SoftwareSettings& settings = CDocData::SettingsOf(ctx);
    const plat::ScopedPen travelPen(*dc, plat::Pen{plat::PS_DOT, 1, settings.m_crAxis});
    constexpr int kNodeTool = 1;
    int number = 1;
    CDocData* previous = nullptr;
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext, ++number) {
        CGeoPoint from;
        CGeoPoint to;
        if (settings.m_bShowTravel != 0 && previous != nullptr && previous->GetEndPoint(from) &&
            obj->GetStartPoint(to)) {
            const plat::POINT a = ctx->WorldToClientPixel(from.m_x, from.m_y);
            const plat::POINT b = ctx->WorldToClientPixel(to.m_x, to.m_y);
            dc->MoveTo(a.x, a.y);
            dc->LineTo(b.x, b.y);
        }
        obj->Draw(dc, ctx);
        for (CDocData* attached = obj->m_pAttached; attached != nullptr; attached = attached->m_pNext)
            attached->Draw(dc, ctx);
        if (ctx->m_nTool == kNodeTool)
            obj->DrawNodes(dc, ctx);
        if (settings.m_bShowDirection != 0)
            obj->DrawDirection(dc, ctx);
        if (settings.m_bShowOrder != 0)
            obj->DrawIndex(dc, ctx, number);
        if (settings.m_bShowStart != 0)
            obj->DrawStartPoint(dc, ctx);
        previous = obj;
    }
}

void CDocState::FreeNodeList(DOCNODE*& head)
{
    if (head == nullptr)
        return;
    if (head->m_pPrev != nullptr) {
        head->m_pPrev->m_pNext = nullptr;
        head->m_pPrev = nullptr;
    }
    DOCNODE* const first = head;
    DOCNODE* n = head;
    while (n != nullptr) {
        DOCNODE* next = n->m_pNext;
        delete n;
        // A ring whose head lost its back link still ends here.
        n = next == first ? nullptr : next;
    }
    head = nullptr;
}

void CDocState::InflateRect(CGeoBox& box, double d)
{
    box.m_xmin -= d;
    box.m_xmax += d;
    box.m_ymin -= d;
    box.m_ymax += d;
}

bool CDocState::PushHistory(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return false;
    CDocListNode* current = ctx->m_pCurrent;
    if (CDocListNode* newer = current->m_pNewer) {
        newer->m_pOlder = nullptr;
        current->m_pNewer = nullptr;
        DeleteHistoryChain(newer);
    }
    int older = 0;
    CDocListNode* oldest = nullptr;
    for (CDocListNode* n = current->m_pOlder; n != nullptr; n = n->m_pOlder) {
        ++older;
        oldest = n;
    }
    if (older > kHistoryOlderLimit) {
        oldest->m_pNewer->m_pOlder = nullptr;
        delete oldest;
    }
    CDocListNode* copy = new CDocListNode(*current);
    copy->m_pOlder = current->m_pOlder;
    copy->m_pNewer = current;
    if (current->m_pOlder != nullptr)
        current->m_pOlder->m_pNewer = copy;
    current->m_pOlder = copy;
    ctx->NoteChange();
    return true;
}

bool CDocState::Undo(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_pCurrent->m_pOlder == nullptr)
        return false;
    ctx->m_pCurrent = ctx->m_pCurrent->m_pOlder;
    ctx->NoteChange();
    return true;
}

bool CDocState::Redo(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_pCurrent->m_pNewer == nullptr)
        return false;
    ctx->m_pCurrent = ctx->m_pCurrent->m_pNewer;
    ctx->NoteChange();
    return true;
}

void CDocState::DeleteHistoryChain(CDocListNode*& head)
{
    if (head == nullptr)
        return;
    if (head->m_pOlder != nullptr)
        head->m_pOlder->m_pNewer = nullptr;
    while (head != nullptr) {
        CDocListNode* node = head;
        head = head->m_pNewer;
        delete node;
    }
}

void CDocState::SelectAll(DOCCONTEXT* ctx, bool select)
{
    if (ctx == nullptr)
        return;
    const CGeoBox old = ctx->m_rcSelect;
    ctx->m_rcSelect.SetEmpty();
    if (ctx->m_pCurrent != nullptr) {
        for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
            obj->SetSelected(select ? 1 : 0);
            if (select)
                ctx->m_rcSelect.Union(obj->m_rcBound);
        }
    }
    if (!ctx->m_rcSelect.IsDifferent(old) || ctx->m_pView == nullptr)
        return;
    CGeoBox area = old;
    area.Union(ctx->m_rcSelect);
    CGeoBox client;
    ctx->WorldToClientRect(area, client);
    InflateRect(client, 15.0);
    const plat::RECT rect{plat::RoundPixel(client.m_xmin), plat::RoundPixel(client.m_ymin),
                          plat::RoundPixel(client.m_xmax), plat::RoundPixel(client.m_ymax)};
    ctx->m_pView->InvalidateRect(&rect, true);
}

std::uint32_t CDocState::CountSelected(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return 0;
    return ctx->m_pCurrent->CountSelected(-1);
}

void CDocState::ApplyLayerFlags(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    // One pass over the layer list, one over the objects, with the result of
    // applying every record of a layer id in list order: an "off" record
    // clears bits 0 to 6, an "on" record sets bit 0, the last record decides
    // bit 0.
    enum : unsigned char { kNoRecord = 0, kLastOn = 1, kAnyOff = 2 };
    std::vector<unsigned char> state(0x10000, kNoRecord);
    for (const WorkParams* rec = CDocData::SettingsOf(ctx).m_pLayers; rec != nullptr; rec = rec->m_pNext) {
        unsigned char& s = state[rec->m_group_num];
        if (rec->m_border != 0 || rec->m_sweep != 0)
            s = static_cast<unsigned char>(s | kLastOn);
        else
            s = static_cast<unsigned char>((s & ~kLastOn) | kAnyOff);
    }
    for (CDocData* obj = ctx->m_pCurrent->m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->m_nLayer < 0 || obj->m_nLayer >= static_cast<std::int32_t>(state.size()))
            continue;
        const unsigned char s = state[static_cast<std::size_t>(obj->m_nLayer)];
        if ((s & kAnyOff) != 0)
            obj->m_bOutput &= 0x80;
        if ((s & kLastOn) != 0)
            obj->m_bOutput |= 0x01;
    }
}
