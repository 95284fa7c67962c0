#include "SelectionGroups.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"
#include "model/DocState.h"

#include <new>
#include <vector>

namespace {

bool IsComposite(const CDocData* o)
{
    return o->m_nType == MT_GROUP || o->m_nType == MT_CHAR;
}

// Takes o out of its list; its own links are cleared.
void Unlink(CDocData*& head, CDocData* o)
{
    if (o->m_pPrev != nullptr)
        o->m_pPrev->m_pNext = o->m_pNext;
    else
        head = o->m_pNext;
    if (o->m_pNext != nullptr)
        o->m_pNext->m_pPrev = o->m_pPrev;
    o->m_pPrev = nullptr;
    o->m_pNext = nullptr;
}

// Puts the composite's children in its place (after it when `keep`, which
// leaves it empty in the list) and returns the first child; null when it
// has none.
CDocData* SpliceChildren(CDocData*& head, CDocData* o, bool keep)
{
    CDocData** children = o->ChildList();
    if (children == nullptr || *children == nullptr)
        return nullptr;
    CDocData* first = *children;
    *children = nullptr;
    CDocData* last = first;
    while (last->m_pNext != nullptr)
        last = last->m_pNext;
    first->m_pPrev = o;
    last->m_pNext = o->m_pNext;
    if (o->m_pNext != nullptr)
        o->m_pNext->m_pPrev = last;
    o->m_pNext = first;
    if (!keep) {
        Unlink(head, o);
        delete o;
    }
    return first;
}

// Appends o to a chain given by its head and tail.
void Append(CDocData*& head, CDocData*& tail, CDocData* o)
{
    o->m_pPrev = tail;
    o->m_pNext = nullptr;
    if (tail != nullptr)
        tail->m_pNext = o;
    else
        head = o;
    tail = o;
}

} // namespace

bool CSelectionGroups::GroupSelection(DOCCONTEXT* ctx, bool perLayer, bool takeStep)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_rcSelect.IsEmpty())
        return false;
    if (takeStep)
        CDocState::PushHistory(ctx);
    CDocData*& head = ctx->m_pCurrent->m_pFirst;
    for (const CDocData* o = head; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() != 0 && o->m_pArray != nullptr)
            return false;
    }
    // Selected groups and texts give way to their children, nested ones too.
    for (CDocData* o = head; o != nullptr;) {
        if (o->IsSelected() != 0 && IsComposite(o)) {
            CDocData* next = o->m_pNext;
            CDocData* first = SpliceChildren(head, o, false);
            if (first != nullptr) {
                for (CDocData* c = first; c != next; c = c->m_pNext)
                    c->SetSelected(1);
                o = first;
                continue;
            }
        }
        o = o->m_pNext;
    }

    // Each group goes where its first member was: before the first object
    // after that member that stays in the list, or at the end.
    struct Pending {
        std::int32_t layer;
        CDocData* members = nullptr;
        CDocData* tail = nullptr;
        CDocData* before = nullptr;
    };
    std::vector<Pending> groups;
    const CDocData* leader = nullptr;
    for (CDocData* o = head; o != nullptr;) {
        CDocData* next = o->m_pNext;
        if (o->IsSelected() == 0) {
            o = next;
            continue;
        }
        if (leader == nullptr)
            leader = o;
        else if (!perLayer)
            o->SetColor(leader->m_nLayer, leader->m_nColor);
        Pending* group = nullptr;
        for (Pending& g : groups) {
            if (!perLayer || g.layer == o->m_nLayer)
                group = &g;
        }
        if (group == nullptr) {
            CDocData* before = next;
            while (before != nullptr && before->IsSelected() != 0)
                before = before->m_pNext;
            groups.push_back({o->m_nLayer, nullptr, nullptr, before});
            group = &groups.back();
        }
        Unlink(head, o);
        Append(group->members, group->tail, o);
        o = next;
    }
    for (Pending& g : groups) {
        CDocData* made = new (std::nothrow) CDocDataGroup(g.members, ctx);
        // Without memory the members stay ungrouped at the group's place.
        CDocData* first = made != nullptr ? made : g.members;
        CDocData* last = made != nullptr ? made : g.tail;
        if (made != nullptr)
            made->SetSelected(1);
        if (g.before != nullptr) {
            first->m_pPrev = g.before->m_pPrev;
            last->m_pNext = g.before;
            if (g.before->m_pPrev != nullptr)
                g.before->m_pPrev->m_pNext = first;
            else
                head = first;
            g.before->m_pPrev = last;
        } else {
            CDocData* end = head;
            while (end != nullptr && end->m_pNext != nullptr)
                end = end->m_pNext;
            first->m_pPrev = end;
            if (end != nullptr)
                end->m_pNext = first;
            else
                head = first;
        }
        if (made == nullptr)
            return false;
    }
    return true;
}

void CSelectionGroups::UngroupSelectedGroups(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    CDocData*& head = ctx->m_pCurrent->m_pFirst;
    for (CDocData* o = head; o != nullptr;) {
        if (o->IsSelected() != 0 && o->m_nType == MT_GROUP) {
            if (CDocData* first = SpliceChildren(head, o, true)) {
                o = first;
                continue;
            }
        }
        o = o->m_pNext;
    }
    for (CDocData* o = head; o != nullptr;) {
        CDocData* next = o->m_pNext;
        CDocData** children = o->ChildList();
        if (o->m_nType == MT_GROUP && children != nullptr && *children == nullptr) {
            Unlink(head, o);
            delete o;
        }
        o = next;
    }
}

void CSelectionGroups::ClearSelectionArrays(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() != 0) {
            delete o->m_pArray;
            o->m_pArray = nullptr;
        }
    }
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
        o->RecalcBoundRect(ctx);
}
