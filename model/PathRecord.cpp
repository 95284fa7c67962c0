#include "PathRecord.h"

#include "SegNodePool.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kClosedTol = 0.001;
// Running bounds of a group walk start here.
constexpr double kGroupSeedMin = 1e8;
constexpr double kGroupSeedMax = -1e8;
// Deeper nesting than this is taken as a broken chain.
constexpr int kMaxGroupDepth = 256;

SEGNODE* NewSegment(double x0, double y0, double x1, double y1)
{
    SEGNODE* s = new SEGNODE;
    s->m_x0 = x0;
    s->m_y0 = y0;
    s->m_x1 = x1;
    s->m_y1 = y1;
    return s;
}

SEGNODE* LastSegment(SEGNODE* first)
{
    SEGNODE* s = first;
    while (s->m_pNext != nullptr && s->m_pNext != first)
        s = s->m_pNext;
    return s;
}

bool EndsMeet(double x0, double y0, double x1, double y1)
{
    return std::fabs(x0 - x1) <= kClosedTol && std::fabs(y0 - y1) <= kClosedTol;
}

// Copies a chain linked by m_pNext and m_pPrev from its head up to a null
// link or back at the head; `fix` sets each copy's owned pointers from its
// source. A chain closed into a ring gives a ring.
template <typename T, typename Fix>
T* CopyChain(const T* head, Fix fix)
{
    if (head == nullptr)
        return nullptr;
    T* first = nullptr;
    T* last = nullptr;
    for (const T* s = head; s != nullptr;) {
        T* c = new T(*s);
        fix(*c, *s);
        c->m_pPrev = last;
        c->m_pNext = nullptr;
        if (last != nullptr)
            last->m_pNext = c;
        else
            first = c;
        last = c;
        s = s->m_pNext;
        if (s == head)
            break;
    }
    if (head->m_pPrev != nullptr) {
        first->m_pPrev = last;
        last->m_pNext = first;
    }
    return first;
}

// Frees every element of a ring or open chain (a ring is cut open first)
// into the bin; `release` frees what an element owns before the element
// goes. Leaves null.
template <typename T, typename Release>
void FreeChain(T*& head, PathRecordBin& bin, Release release)
{
    if (head == nullptr)
        return;
    if (head->m_pPrev != nullptr)
        head->m_pPrev->m_pNext = nullptr;
    T* e = head;
    while (e != nullptr) {
        T* next = e->m_pNext;
        release(*e);
        bin.Free(e);
        e = next;
    }
    head = nullptr;
}

bool IsOpeningBracket(const PATHREC* p)
{
    return p->m_kind == PATH_KIND_GROUP && p->m_pArray != nullptr;
}

struct RunningBox {
    double xmin = kGroupSeedMin;
    double xmax = kGroupSeedMax;
    double ymin = kGroupSeedMin;
    double ymax = kGroupSeedMax;

    void Add(double x, double y)
    {
        xmin = std::min(xmin, x);
        xmax = std::max(xmax, x);
        ymin = std::min(ymin, y);
        ymax = std::max(ymax, y);
    }
};

// Widens one axis by the array copies: a positive pitch stretches the upper
// bound, any other the lower one.
void WidenAxis(double& lo, double& hi, double runLo, double runHi, int count, double pitch)
{
    const double extent = std::max(count - 1, 0) * pitch;
    if (pitch > 0.0) {
        lo = std::min(lo, runLo);
        hi = std::max(hi, runHi + extent);
    } else {
        lo = std::min(lo, runLo + extent);
        hi = std::max(hi, runHi);
    }
}

PATHREC* GroupBounds(PATHREC* bracket, PATHREC* stop, int depth, double& xmin, double& xmax, double& ymin,
                     double& ymax, bool withArrays)
{
    RunningBox run;
    PATHREC* last = bracket;
    PATHREC* rec = bracket->m_pNext;
    while (rec != nullptr && rec != stop) {
        if (rec->m_kind != PATH_KIND_GROUP) {
            for (const SEGNODE* s = rec->m_pSegs; s != nullptr;) {
                run.Add(s->m_x0, s->m_y0);
                run.Add(s->m_x1, s->m_y1);
                s = s->m_pNext;
                if (s == rec->m_pSegs)
                    break;
            }
        } else if (rec->m_pArray != nullptr) {
            if (depth >= kMaxGroupDepth)
                break;
            rec = GroupBounds(rec, stop, depth + 1, run.xmin, run.xmax, run.ymin, run.ymax, withArrays);
        } else {
            last = rec; // the closing bracket
            break;
        }
        last = rec;
        rec = rec->m_pNext;
    }

    if (!withArrays) {
        xmin = std::min(xmin, run.xmin);
        xmax = std::max(xmax, run.xmax);
        ymin = std::min(ymin, run.ymin);
        ymax = std::max(ymax, run.ymax);
    } else {
        const ARRAYREC* a = bracket->m_pArray;
        WidenAxis(ymin, ymax, run.ymin, run.ymax, a->m_nRows, a->m_dDy);
        WidenAxis(xmin, xmax, run.xmin, run.xmax, a->m_nCols, a->m_dDx);
    }
    return last;
}

} // namespace

PATHREC* BuildPathRecord(const DOCNODE* points, std::uint16_t subkind)
{
    if (points == nullptr)
        return nullptr;
    PATHREC* rec = new PATHREC;
    rec->m_subkind = subkind;
    rec->m_zmin = 0.0;
    rec->m_zmax = 0.0;
    rec->m_xmin = rec->m_xmax = points->m_x;
    rec->m_ymin = rec->m_ymax = points->m_y;

    SEGNODE* first = nullptr;
    SEGNODE* last = nullptr;
    const DOCNODE* p = points;
    const DOCNODE* tail = points;
    while (p->m_pNext != nullptr && p->m_pNext != points) {
        const DOCNODE* q = p->m_pNext;
        rec->m_xmin = std::min(rec->m_xmin, q->m_x);
        rec->m_xmax = std::max(rec->m_xmax, q->m_x);
        rec->m_ymin = std::min(rec->m_ymin, q->m_y);
        rec->m_ymax = std::max(rec->m_ymax, q->m_y);
        SEGNODE* s = NewSegment(p->m_x, p->m_y, q->m_x, q->m_y);
        s->m_pPrev = last;
        if (last != nullptr)
            last->m_pNext = s;
        else
            first = s;
        last = s;
        tail = q;
        p = q;
    }

    if (first == nullptr) {
        rec->m_kind = PATH_KIND_DOT;
        rec->m_closed = 0;
        first = last = NewSegment(points->m_x, points->m_y, points->m_x, points->m_y);
    } else {
        rec->m_kind = PATH_KIND_PATH;
        rec->m_closed = EndsMeet(points->m_x, points->m_y, tail->m_x, tail->m_y) ? 1 : 0;
    }
    first->m_pPrev = last;
    last->m_pNext = first;
    rec->m_pSegs = first;
    return rec;
}

void AppendPathRecord(PATHREC** ppHead, PATHREC** ppTail, PATHREC* pRec)
{
    if (ppHead == nullptr || pRec == nullptr)
        return;

    // The appended chain may have been closed into a ring; it is opened
    // behind its last record so that the whole chain ends with a null link.
    PATHREC* last = pRec;
    while (last->m_pNext != nullptr && last->m_pNext != pRec)
        last = last->m_pNext;
    last->m_pNext = nullptr;

    if (*ppHead == nullptr) {
        pRec->m_pPrev = nullptr;
        *ppHead = pRec;
    } else {
        PATHREC* tail = (ppTail != nullptr && *ppTail != nullptr) ? *ppTail : *ppHead;
        while (tail->m_pNext != nullptr && tail->m_pNext != *ppHead)
            tail = tail->m_pNext;
        tail->m_pNext = pRec;
        pRec->m_pPrev = tail;
    }
    if (ppTail != nullptr)
        *ppTail = last;
}

bool AddLeadSegment(PATHREC* pPath, bool bLeadIn, double x, double y)
{
    if (pPath == nullptr || pPath->m_pSegs == nullptr)
        return false;
    SEGNODE* first = pPath->m_pSegs;
    if (bLeadIn) {
        SEGNODE* s = NewSegment(x, y, first->m_x0, first->m_y0);
        s->m_pPrev = first->m_pPrev;
        if (s->m_pPrev != nullptr)
            s->m_pPrev->m_pNext = s;
        s->m_pNext = first;
        first->m_pPrev = s;
        pPath->m_pSegs = s;
    } else {
        SEGNODE* last = LastSegment(first);
        SEGNODE* s = NewSegment(last->m_x1, last->m_y1, x, y);
        s->m_pPrev = last;
        s->m_pNext = last->m_pNext;
        if (s->m_pNext != nullptr)
            s->m_pNext->m_pPrev = s;
        last->m_pNext = s;
    }
    first = pPath->m_pSegs;
    const SEGNODE* last = LastSegment(first);
    pPath->m_closed = EndsMeet(first->m_x0, first->m_y0, last->m_x1, last->m_y1) ? 1 : 0;
    return true;
}

SEGNODE* CopySegmentRing(const SEGNODE* pFirst)
{
    return CopyChain(pFirst, [](SEGNODE&, const SEGNODE&) {});
}

void FreeSegmentRing(SEGNODE*& pFirst)
{
    PathRecordBin bin;
    FreeChain(pFirst, bin, [](SEGNODE&) {});
}

PATHREC* CopyPathRecord(const PATHREC* pHead)
{
    return CopyChain(pHead, [](PATHREC& copy, const PATHREC& source) {
        copy.m_pSegs = CopySegmentRing(source.m_pSegs);
        copy.m_pArray = nullptr;
    });
}

namespace {

// What a record owns: its segments and its array record.
void FreeRecordParts(PATHREC& r, PathRecordBin& bin)
{
    FreeChain(r.m_pSegs, bin, [](SEGNODE&) {});
    delete r.m_pArray;
}

} // namespace

void FreePathRecord(PATHREC* p, PathRecordBin& bin)
{
    FreeRecordParts(*p, bin);
    bin.Free(p);
}

void FreePathRecordList(PATHREC*& pHead)
{
    PathRecordBin bin;
    FreeChain(pHead, bin, [&bin](PATHREC& r) { FreeRecordParts(r, bin); });
}

PATHREC* GetGroupBoundRect(PATHREC* pBracket, double& xmin, double& xmax, double& ymin, double& ymax,
                           bool bWithArrays)
{
    if (pBracket == nullptr || !IsOpeningBracket(pBracket))
        return pBracket;
    return GroupBounds(pBracket, pBracket, 0, xmin, xmax, ymin, ymax, bWithArrays);
}
