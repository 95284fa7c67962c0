#include "SnapshotCopy.h"

#include "DocContext.h"
#include "DocData.h"
#include "DocListNode.h"

CSnapshotCopy::CSnapshotCopy(const DOCCONTEXT& ctx) : m_ctx(ctx)
{
    Restart();
}

CSnapshotCopy::~CSnapshotCopy()
{
    delete m_copy;
}

void CSnapshotCopy::Restart()
{
    delete m_copy;
    m_copy = nullptr;
    m_source = m_ctx.m_pCurrent;
    m_changes = m_ctx.m_nChangeCount;
    m_next = nullptr;
    m_tail = nullptr;
    m_copied = 0;
    m_total = 0;
    m_whole = false;
    if (m_source == nullptr)
        return;
    m_copy = new CDocListNode;
    m_copy->CopyRecordsFrom(*m_source);
    m_next = m_source->m_pFirst;
    m_counting = m_next;
}

bool CSnapshotCopy::Step(std::size_t objects)
{
    if (m_ctx.m_pCurrent != m_source || m_ctx.m_nChangeCount != m_changes)
        Restart();
    if (m_copy == nullptr)
        return false;
    // The objects are counted a slice at a time too: one walk over a million
    // scattered objects would hold the interface thread for tens of ms.
    for (std::size_t n = 0; n < objects * kCountsPerCopy && m_counting != nullptr; ++n, m_counting = m_counting->m_pNext)
        ++m_total;
    if (m_counting != nullptr)
        return false;
    for (std::size_t n = 0; n < objects && m_next != nullptr; ++n, m_next = m_next->m_pNext) {
        CDocData* copy = CloneDocData(m_next, false);
        if (copy == nullptr)
            continue;
        AppendObject(m_copy->m_pFirst, m_tail, copy);
        ++m_copied;
    }
    m_whole = m_next == nullptr;
    return m_whole;
}

CDocListNode* CSnapshotCopy::Take()
{
    if (!m_whole)
        return nullptr;
    CDocListNode* copy = m_copy;
    m_copy = nullptr;
    m_whole = false;
    return copy;
}
