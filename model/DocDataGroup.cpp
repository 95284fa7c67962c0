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

void UngroupAll(CDocData*& head)
{
    CDocData* obj = head;
    while (obj != nullptr) {
        CDocData** children = obj->ChildList();
        if (obj->m_nType != MT_GROUP || children == nullptr || obj->HasArrayCopies()) {
            obj = obj->m_pNext;
            continue;
        }
        CDocData* prev = obj->m_pPrev;
        CDocData* after = obj->m_pNext;
        CDocData* first = *children;
        *children = nullptr;
        // The children, or nothing for an empty group, take the group's place
        // and are looked at next.
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
        } else if (after != nullptr) {
            after->m_pPrev = prev;
        }
        if (prev != nullptr)
            prev->m_pNext = begin;
        else
            head = begin;
        obj->m_pPrev = obj->m_pNext = nullptr;
        delete obj;
        obj = begin;
    }
}
