#include "DocDataGroup.h"

#include "ArrayExplode.h"
#include "DocListNode.h"

CDocDataGroup::CDocDataGroup()
{
    m_nType = MT_GROUP;
    SetSelected(1);
}

CDocDataGroup::CDocDataGroup(CDocData* objects, DOCCONTEXT* ctx)
{
    m_nType = MT_GROUP;
    AdoptChildren(objects, ctx);
}

CDocDataGroup::CDocDataGroup(const CDocDataGroup& source) : CDocDataComposite()
{
    m_nType = MT_GROUP;
    CopyCompositeFrom(source, CloneList(source.m_pChildren, true));
}

CDocData* CDocDataGroup::Copy(const CDocData& source)
{
    // The type id alone does not prove the class.
    const auto* typed = dynamic_cast<const CDocDataGroup*>(&source);
    return typed != nullptr ? new CDocDataGroup(*typed) : nullptr;
}

CDocData* CDocDataGroup::CloneList(const CDocData* list, bool wholeList)
{
    return CloneDocData(list, wholeList);
}

void CDocDataGroup::ExplodeArray(DOCCONTEXT* ctx)
{
    if (m_pChildren == nullptr)
        return;
    ExplodeArrayCopies(*this, ctx, &CDocDataGroup::Copy);
}

bool CDocDataGroup::Close()
{
    bool any = false;
    for (CDocData* c = m_pChildren; c != nullptr; c = c->m_pNext)
        any = c->Close() || any;
    return any;
}

namespace {

bool Dissolves(CDocData* obj, UngroupScope scope)
{
    if (obj->ChildList() == nullptr)
        return false;
    switch (scope) {
    case UngroupScope::EveryGroup:
        return obj->m_nType == MT_GROUP && !obj->HasArrayCopies();
    case UngroupScope::SelectedGroupsAllLevels:
        return obj->m_nType == MT_GROUP && obj->IsSelected() != 0;
    default:
        return (obj->m_nType == MT_GROUP || obj->m_nType == MT_CHAR) && obj->IsSelected() != 0;
    }
}

// A childless object that is left over once its kind is being dissolved.
bool ClearedAway(CDocData* obj, UngroupScope scope)
{
    CDocData** children = obj->ChildList();
    if (children == nullptr || *children != nullptr)
        return false;
    switch (scope) {
    case UngroupScope::EveryGroup:
        return obj->m_nType == MT_GROUP && !obj->HasArrayCopies();
    case UngroupScope::SelectedGroupsAllLevels:
        return obj->m_nType == MT_GROUP;
    default:
        return obj->m_nType == MT_GROUP || obj->m_nType == MT_CHAR;
    }
}

} // namespace

bool UngroupObjects(CDocData*& head, UngroupScope scope)
{
    const bool oneLevel = scope == UngroupScope::SelectedOneLevel;
    bool changed = false;
    // Children spliced in one level deep are passed over up to here, but for
    // clearing away the empty ones among them.
    const CDocData* shallowEnd = nullptr;
    bool shallow = false;
    CDocData* obj = head;
    while (obj != nullptr) {
        if (shallow && obj == shallowEnd)
            shallow = false;
        const bool empty = ClearedAway(obj, scope);
        if (!empty && (shallow || !Dissolves(obj, scope))) {
            obj = obj->m_pNext;
            continue;
        }
        CDocData* prev = obj->m_pPrev;
        CDocData* after = obj->m_pNext;
        CDocData** children = obj->ChildList();
        CDocData* first = *children;
        *children = nullptr;
        // The children, or nothing for an empty object, take its place and
        // are looked at next.
        CDocData* begin = after;
        if (first != nullptr) {
            CDocData* last = first;
            while (last->m_pNext != nullptr)
                last = last->m_pNext;
            first->m_pPrev = prev;
            last->m_pNext = after;
            if (after != nullptr)
                after->m_pPrev = last;
            begin = first;
            if (oneLevel) {
                shallow = true;
                shallowEnd = after;
            }
        } else if (after != nullptr) {
            after->m_pPrev = prev;
        }
        if (prev != nullptr)
            prev->m_pNext = begin;
        else
            head = begin;
        obj->m_pPrev = obj->m_pNext = nullptr;
        delete obj;
        changed = true;
        obj = begin;
    }
    return changed;
}

void UngroupAll(CDocData*& head)
{
    UngroupObjects(head, UngroupScope::EveryGroup);
}

void ClearSelectionArrays(CDocData* head, DOCCONTEXT* ctx)
{
    for (CDocData* o = head; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() != 0) {
            delete o->m_pArray;
            o->m_pArray = nullptr;
        }
    }
    for (CDocData* o = head; o != nullptr; o = o->m_pNext)
        o->RecalcBoundRect(ctx);
}
