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
