#include "SelectionGroups.h"

#include "PathProc.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/LeadInOut.h"
#include "platform/ViewWindow.h"
#include "settings/SoftwareSettings.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

bool IsComposite(const CDocData* o)
{
    return o->m_nType == MT_GROUP || o->m_nType == MT_CHAR;
}

// Puts the composite's children in its place and destroys it; returns the
// first child, or null (nothing done) when it has none.
CDocData* SpliceChildren(CDocData*& head, CDocData* o)
{
    CDocData** children = o->ChildList();
    if (children == nullptr || *children == nullptr)
        return nullptr;
    CDocData* first = *children;
    *children = nullptr;
    CDocData* last = first;
    while (last->m_pNext != nullptr)
        last = last->m_pNext;
    CDocData* const after = o->m_pPrev;
    UnlinkObject(head, o);
    LinkAfter(head, after, first, last);
    delete o;
    return first;
}

void Refresh(DOCCONTEXT* ctx, bool layers)
{
    CDocState::InvalidateSelectionArea(ctx, ctx->m_rcSelect);
    if (ctx->m_pView == nullptr)
        return;
    if (layers)
        ctx->m_pView->RefreshLayerList();
    if (CDocData::SettingsOf(ctx).m_bOrderPage != 0)
        ctx->m_pView->RefreshOrderList();
}

} // namespace

bool CSelectionGroups::GroupSelection(DOCCONTEXT* ctx, bool perLayer)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_rcSelect.IsEmpty())
        return false;
    CDocData*& head = ctx->m_pCurrent->m_pFirst;
    if (head != nullptr && head->m_pPrev != nullptr) {
        // The head of a list has nothing before it.
        head->m_pPrev->m_pNext = nullptr;
        head->m_pPrev = nullptr;
    }
    bool any = false;
    for (const CDocData* o = head; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0)
            continue;
        // Array copies belong to their object alone; a group of it would
        // repeat the others with it.
        if (o->m_pArray != nullptr)
            return false;
        any = true;
    }
    if (!any)
        return false;

    // Selected groups and texts give way to their children, nested ones too.
    for (CDocData* o = head; o != nullptr;) {
        if (o->IsSelected() != 0 && IsComposite(o)) {
            CDocData* next = o->m_pNext;
            if (CDocData* first = SpliceChildren(head, o)) {
                for (CDocData* c = first; c != next; c = c->m_pNext)
                    c->SetSelected(1);
                o = first;
                continue;
            }
        }
        o = o->m_pNext;
    }

    // Each group goes where its first member was: before the first object
    // after that member that stays in the list, or at the end. Members are
    // bucketed by layer in one walk.
    struct Pending {
        CDocData* members = nullptr;
        CDocData* tail = nullptr;
        CDocData* before = nullptr;
    };
    std::vector<Pending> groups;
    std::unordered_map<std::int32_t, std::size_t> byLayer;
    // Groups begun since the last object that stays: it is their place.
    std::size_t placeless = 0;
    const CDocData* leader = nullptr;
    CDocData* end = nullptr;
    for (CDocData* o = head; o != nullptr;) {
        CDocData* next = o->m_pNext;
        if (o->IsSelected() == 0) {
            for (; placeless < groups.size(); ++placeless)
                groups[placeless].before = o;
            end = o;
            o = next;
            continue;
        }
        if (leader == nullptr)
            leader = o;
        else if (!perLayer)
            o->SetColor(leader->m_nLayer, leader->m_nColor);
        const auto [it, added] = byLayer.try_emplace(perLayer ? o->m_nLayer : 0, groups.size());
        if (added)
            groups.push_back({});
        Pending& group = groups[it->second];
        UnlinkObject(head, o);
        AppendObject(group.members, group.tail, o);
        o = next;
    }
    for (Pending& g : groups) {
        CDocData* made = CPathProc::WrapInGroup(g.members, ctx);
        // Before `before`, or after the list's last object (`end`, null for
        // an empty list).
        CDocData* const after = g.before != nullptr ? g.before->m_pPrev : end;
        // Without memory the members stay ungrouped at the group's place.
        if (made != nullptr)
            LinkAfter(head, after, made, made);
        else
            LinkAfter(head, after, g.members, g.tail);
        if (g.before == nullptr)
            end = made != nullptr ? made : g.tail;
    }
    return true;
}

bool CSelectionGroups::GroupCommand(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return false;
    CDocState::PendingStep step(ctx);
    if (!GroupSelection(ctx, false)) {
        step.Withdraw();
        return false;
    }
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0)
            continue;
        InheritGroupLead(o);
        if (o->m_pLeadInOut != nullptr) {
            o->m_pLeadInOut->m_nKind = 2;
            SetLeadInOut(o, o->m_pLeadInOut);
        }
    }
    Refresh(ctx, true);
    return true;
}

bool CSelectionGroups::UngroupCommand(DOCCONTEXT* ctx, bool allLevels)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_rcSelect.IsEmpty())
        return false;
    CDocState::PendingStep step(ctx);
    if (!UngroupObjects(ctx->m_pCurrent->m_pFirst,
                        allLevels ? UngroupScope::SelectedAllLevels : UngroupScope::SelectedOneLevel)) {
        step.Withdraw();
        return false;
    }
    Refresh(ctx, false);
    return true;
}
