#include "DocDataChar.h"

#include "DocListNode.h"

CDocDataChar::CDocDataChar()
{
    m_nType = MT_CHAR;
    SetSelected(1);
}

CDocDataChar::CDocDataChar(CDocData* objects, bool adopt, DOCCONTEXT* ctx)
{
    m_nType = MT_CHAR;
    AdoptChildren(adopt ? objects : CloneDocData(objects, true), ctx);
}

CDocDataChar::CDocDataChar(const CDocDataChar& source) : CDocDataComposite()
{
    m_nType = MT_CHAR;
    CopyCompositeFrom(source, CloneDocData(source.m_pChildren, true));
}

CDocData* CDocDataChar::Copy(const CDocData& source)
{
    // The type id alone does not prove the class.
    const auto* typed = dynamic_cast<const CDocDataChar*>(&source);
    return typed != nullptr ? new CDocDataChar(*typed) : nullptr;
}

void CDocDataChar::DrawArrayCopies(CDC* dc, DOCCONTEXT* ctx)
{
    for (CDocData* c = m_pChildren; c != nullptr; c = c->m_pNext)
        c->DrawArrayCopies(dc, ctx);
}
