#include "DocListNode.h"

#include "DocData.h"
#include "DocDataBezier.h"
#include "DocDataBitmap.h"
#include "DocDataEllipse.h"
#include "DocDataLine.h"
#include "DocDataRect.h"
#include "DocDataChar.h"
#include "DocDataGroup.h"
#include "DocDataNurbs.h"
#include "DocDataPoint.h"

#include <array>

namespace {

// A NURBS object is not copied: a snapshot gets an empty one in its place.
CDocData* NewEmptyNurbs(const CDocData&)
{
    return new CDocDataNurbs;
}

// Copy constructor of each type id's class; null where no class exists.
std::array<plat::DocDataCopier, kDocTypeCount> g_copiers = [] {
    std::array<plat::DocDataCopier, kDocTypeCount> table{};
    table[MT_LINE] = &CDocDataLine::Copy;
    table[MT_RECT] = &CDocDataRect::Copy;
    table[MT_POINT] = &CDocDataPoint::Copy;
    table[MT_ELLIPSE] = &CDocDataEllipse::Copy;
    table[MT_BEZIER] = &CDocDataBezier::Copy;
    table[MT_NURBS] = &NewEmptyNurbs;
    table[MT_BITMAP] = &CDocDataBitmap::Copy;
    table[MT_CHAR] = &CDocDataChar::Copy;
    table[MT_GROUP] = &CDocDataGroup::Copy;
    return table;
}();

CDocData* CloneOne(const CDocData& source)
{
    if (source.m_nType >= kDocTypeCount || g_copiers[source.m_nType] == nullptr)
        return nullptr;
    return g_copiers[source.m_nType](source);
}

template <typename T>
T* CopyRecord(const T* source)
{
    return source != nullptr ? new T(*source) : nullptr;
}

} // namespace

plat::DocDataCopier plat::SetDocDataCopierForTesting(std::uint32_t type, DocDataCopier copier)
{
    if (type >= kDocTypeCount)
        return nullptr;
    const DocDataCopier old = g_copiers[type];
    g_copiers[type] = copier;
    return old;
}

CDocData* CloneDocData(const CDocData* first, bool wholeList)
{
    CDocData* head = nullptr;
    CDocData* tail = nullptr;
    for (const CDocData* src = first; src != nullptr; src = wholeList ? src->m_pNext : nullptr) {
        CDocData* copy = CloneOne(*src);
        if (copy == nullptr)
            continue;
        AppendObject(head, tail, copy);
    }
    return head;
}

CDocListNode::CDocListNode(const CDocListNode& source)
{
    CopyRecordsFrom(source);
    m_pFirst = CloneDocData(source.m_pFirst, true);
}

void CDocListNode::CopyRecordsFrom(const CDocListNode& source)
{
    m_pArray = CopyRecord(source.m_pArray);
    m_pFeed = CopyRecord(source.m_pFeed);
    m_pSplit = CopyRecord(source.m_pSplit);
}

CDocListNode::~CDocListNode()
{
    delete m_pArray;
    delete m_pFeed;
    delete m_pSplit;
    DeleteObjectList(m_pFirst);
}

CGeoBox CDocListNode::GetObjectsRect(CGeoBox& box, int mode) const
{
    box.SetEmpty();
    if (mode != 0 && mode != 1)
        return box;
    for (const CDocData* obj = m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (mode == 0 || obj->IsOutputOn())
            box.Union(obj->m_rcBound);
    }
    return box;
}

CGeoBox CDocListNode::GetAllObjectsRect(CGeoBox& box) const
{
    box.SetEmpty();
    if (m_pFirst == nullptr)
        return box;
    box = m_pFirst->m_rcBound;
    for (const CDocData* obj = m_pFirst; obj != nullptr; obj = obj->m_pNext)
        box.Union(obj->m_rcBound);
    return box;
}

bool CDocListNode::HasArrayCopies() const
{
    for (const CDocData* obj = m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsOutputOn() && obj->HasArrayCopies())
            return true;
    }
    return false;
}

std::uint32_t CDocListNode::CountSelected(std::int32_t layer) const
{
    std::uint32_t count = 0;
    for (const CDocData* obj = m_pFirst; obj != nullptr; obj = obj->m_pNext) {
        if (obj->IsSelected() && (layer < 0 || obj->m_nLayer == layer))
            ++count;
    }
    return count;
}
