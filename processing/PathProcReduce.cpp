#include "PathProc.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/GeoFunctions.h"
#include "platform/Progress.h"
#include "settings/ShowProcess.h"

#include <cmath>

namespace {

constexpr double kMinReduceLength = 0.001;

double Distance(const DOCNODE* a, const DOCNODE* b)
{
    return std::hypot(b->m_x - a->m_x, b->m_y - a->m_y);
}

bool HoldsControlNodes(const DOCNODE* head)
{
    for (const DOCNODE* n = head; n != nullptr;) {
        if (n->m_nKind != NODE_ANCHOR)
            return true;
        n = n->m_pNext;
        if (n == head)
            break;
    }
    return false;
}

// Frees the nodes from `first` up to and including `last` (or to the end).
void FreeNodes(DOCNODE* first, const DOCNODE* last)
{
    while (first != nullptr) {
        DOCNODE* next = first->m_pNext;
        const bool end = first == last;
        delete first;
        if (end)
            break;
        first = next;
    }
}

} // namespace

void CPathProc::ReduceNodesInList(DOCNODE* list, double length, double angle)
{
    if (list == nullptr || !(length >= kMinReduceLength) || HoldsControlNodes(list))
        return;
    // A list closed into a ring is reduced as the open walk from its head.
    const bool ring = list->m_pPrev != nullptr;
    if (ring) {
        list->m_pPrev->m_pNext = nullptr;
        list->m_pPrev = nullptr;
    }

    DOCNODE* p = list;
    while (p->m_pNext != nullptr && p->m_pNext->m_pNext != nullptr) {
        DOCNODE* n = p->m_pNext;
        double run = Distance(p, n);
        double turn = 0.0;
        DOCNODE* q = n;
        if (angle > 0.0) {
            // q becomes null when the run reaches past the last node.
            while (run < length) {
                q = q->m_pNext;
                if (q == nullptr)
                    break;
                const DOCNODE* b = q->m_pPrev;
                turn += GeoTurnAngle(b->m_pPrev->m_x, b->m_pPrev->m_y, b->m_x, b->m_y, q->m_x, q->m_y);
                run += Distance(b, q);
                if (!(turn < angle))
                    break;
            }
        }
        if (q != n && q != n->m_pNext) {
            if (q != nullptr) {
                // The run ends at q's predecessor: n moves there and the
                // nodes in between go.
                DOCNODE* end = q->m_pPrev;
                n->m_x = end->m_x;
                n->m_y = end->m_y;
                FreeNodes(n->m_pNext, end);
                n->m_pNext = q;
                q->m_pPrev = n;
            } else {
                // The run reaches the end: n takes the last position and
                // becomes the last node.
                DOCNODE* last = n;
                while (last->m_pNext != nullptr)
                    last = last->m_pNext;
                n->m_x = last->m_x;
                n->m_y = last->m_y;
                FreeNodes(n->m_pNext, nullptr);
                n->m_pNext = nullptr;
            }
        }
        p = n;
    }

    if (ring) {
        DOCNODE* last = list;
        while (last->m_pNext != nullptr)
            last = last->m_pNext;
        last->m_pNext = list;
        list->m_pPrev = last;
    }
}

void CPathProc::ReduceNodesInGroup(CDocData* group, double length, double angle)
{
    if (group == nullptr)
        return;
    CDocData** children = group->ChildList();
    if (children == nullptr)
        return;
    for (CDocData* c = *children; c != nullptr; c = c->m_pNext) {
        const std::uint32_t type = c->GetType();
        if (type == MT_POINT || type == MT_BITMAP)
            continue;
        if (type == MT_GROUP)
            ReduceNodesInGroup(c, length, angle);
        else
            ReduceNodesInList(c->m_pNodes, length, angle);
    }
}

void CPathProc::ReduceNodes(DOCCONTEXT* ctx, double length, double angle)
{
    NodeReduction reduction(length, angle);
    if (!reduction.Start(ctx))
        return;
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
        reduction.Take(o, ctx);
}

bool CPathProc::NodeReduction::Start(DOCCONTEXT* ctx)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_rcSelect.IsEmpty() ||
        !(m_dLength >= kMinReduceLength))
        return false;

    // The selection count only sets the range of the progress control, so
    // it is not taken (a walk over every object) when no control shows it.
    if (plat::GetProgressSink() == nullptr) {
        m_progress.Start(0);
        return true;
    }
    // The count comes from the current tool; without one the base count of
    // the document serves.
    CDocState base;
    CDocState* tool = &CurrentToolOr(ctx, base);
    m_progress.Start(static_cast<std::int32_t>(tool->CountSelected(ctx)));
    return true;
}

void CPathProc::NodeReduction::Take(CDocData* o, DOCCONTEXT* ctx)
{
    if (Reduce(o, ctx))
        m_progress.Step();
}

bool CPathProc::NodeReduction::Reduce(CDocData* o, DOCCONTEXT* ctx)
{
    if (o->IsSelected() == 0)
        return false;
    const std::uint32_t type = o->GetType();
    if (type == MT_GROUP) {
        ReduceNodesInGroup(o, m_dLength, m_dAngle);
        o->RecalcBoundRect(ctx);
    } else if (type == MT_LINE) {
        ReduceNodesInList(o->m_pNodes, m_dLength, m_dAngle);
        o->RecalcBoundRect(ctx);
    }
    return true;
}
