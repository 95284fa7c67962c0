#include "PathUnits.h"

namespace plat {

namespace {

bool IsOpening(const PATHREC* p) { return p->m_kind == PATH_KIND_GROUP && p->m_pArray != nullptr; }

} // namespace

std::vector<PathUnit> TakeUnits(PATHREC*& head, bool& wasRing)
{
    std::vector<PathUnit> units;
    wasRing = head != nullptr && head->m_pPrev != nullptr;
    if (head == nullptr)
        return units;
    if (wasRing) {
        head->m_pPrev->m_pNext = nullptr;
        head->m_pPrev = nullptr;
    }
    PATHREC* p = head;
    head = nullptr;
    while (p != nullptr) {
        PathUnit u{p, p};
        if (IsOpening(p)) {
            int depth = 1;
            while (depth > 0 && u.last->m_pNext != nullptr) {
                u.last = u.last->m_pNext;
                if (IsOpening(u.last))
                    ++depth;
                else if (u.last->m_kind == PATH_KIND_GROUP)
                    --depth;
            }
        }
        p = u.last->m_pNext;
        u.first->m_pPrev = nullptr;
        u.last->m_pNext = nullptr;
        if (p != nullptr)
            p->m_pPrev = nullptr;
        units.push_back(u);
    }
    return units;
}

PATHREC* LinkUnits(const std::vector<PathUnit>& units, bool ring)
{
    if (units.empty())
        return nullptr;
    for (std::size_t i = 0; i + 1 < units.size(); ++i) {
        units[i].last->m_pNext = units[i + 1].first;
        units[i + 1].first->m_pPrev = units[i].last;
    }
    PATHREC* head = units.front().first;
    PATHREC* tail = units.back().last;
    head->m_pPrev = ring ? tail : nullptr;
    tail->m_pNext = ring ? head : nullptr;
    return head;
}

SEGNODE* LastSegmentOf(SEGNODE* first)
{
    if (first == nullptr)
        return nullptr;
    if (first->m_pPrev != nullptr)
        return first->m_pPrev;
    SEGNODE* s = first;
    while (s->m_pNext != nullptr)
        s = s->m_pNext;
    return s;
}

void RotateRingTo(PATHREC* path, SEGNODE* seg)
{
    SEGNODE* first = path->m_pSegs;
    if (first == nullptr || seg == nullptr || seg == first)
        return;
    if (first->m_pPrev != nullptr) {
        path->m_pSegs = seg;
        return;
    }
    SEGNODE* last = LastSegmentOf(first);
    last->m_pNext = first;
    first->m_pPrev = last;
    SEGNODE* before = seg->m_pPrev;
    before->m_pNext = nullptr;
    seg->m_pPrev = nullptr;
    path->m_pSegs = seg;
}

void AppendSegments(PATHREC* to, PATHREC* from)
{
    SEGNODE* add = from->m_pSegs;
    from->m_pSegs = nullptr;
    if (add == nullptr)
        return;
    SEGNODE* addLast = LastSegmentOf(add);
    add->m_pPrev = nullptr;
    addLast->m_pNext = nullptr;
    SEGNODE* first = to->m_pSegs;
    if (first == nullptr) {
        to->m_pSegs = add;
        return;
    }
    const bool ring = first->m_pPrev != nullptr;
    SEGNODE* last = LastSegmentOf(first);
    last->m_pNext = add;
    add->m_pPrev = last;
    if (ring) {
        addLast->m_pNext = first;
        first->m_pPrev = addLast;
    }
}

} // namespace plat
