#include "PathProc.h"

#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/ShowProcess.h"

#include <cmath>

namespace {

bool ValidDashLengths(double solid, double gap)
{
    return std::isfinite(solid) && std::isfinite(gap) && solid > 0.0 && gap >= 0.0;
}

// Cuts `length` off the front of the list `rest`, walking its segments. The
// part before the cut is returned; `rest` goes on from the cut: at a node
// when the cut falls exactly on it, else at a new node on the cut point. A
// list shorter than `length` is returned whole and `rest` becomes null.
DOCNODE* CutFront(DOCNODE*& rest, double length)
{
    DOCNODE* front = rest;
    double run = 0.0;
    for (DOCNODE* p = rest; p != nullptr && p->m_pNext != nullptr; p = p->m_pNext) {
        DOCNODE* q = p->m_pNext;
        const double d = std::hypot(q->m_x - p->m_x, q->m_y - p->m_y);
        if (run + d < length) {
            run += d;
            continue;
        }
        p->m_pNext = nullptr;
        q->m_pPrev = nullptr;
        double kx = q->m_x, ky = q->m_y;
        if (run + d != length) {
            const double f = (length - run) / d;
            kx = p->m_x + f * (q->m_x - p->m_x);
            ky = p->m_y + f * (q->m_y - p->m_y);
            // A length below the coordinates' resolution would cut at p
            // itself and never get on; the cut then goes to q.
            if (length > 0.0 && kx == p->m_x && ky == p->m_y) {
                kx = q->m_x;
                ky = q->m_y;
            }
        }
        AppendNode(p, kx, ky);
        if (kx == q->m_x && ky == q->m_y) {
            rest = q;
        } else {
            DOCNODE* k = AppendNode(nullptr, kx, ky);
            k->m_pNext = q;
            q->m_pPrev = k;
            rest = k;
        }
        return front;
    }
    rest = nullptr;
    return front;
}

double OutlineLength(const DOCNODE* head)
{
    double length = 0.0;
    for (const DOCNODE* n = head; n != nullptr && n->m_pNext != nullptr; n = n->m_pNext)
        length += std::hypot(n->m_pNext->m_x - n->m_x, n->m_pNext->m_y - n->m_y);
    return length;
}

} // namespace

CDocData* CPathProc::DashObject(CDocData* object, double solid, double gap, DOCCONTEXT* ctx)
{
    if (object == nullptr || !ValidDashLengths(solid, gap))
        return nullptr;
    DOCNODE* rest = object->CopyNodes();
    if (rest != nullptr && rest->m_pPrev != nullptr) {
        rest->m_pPrev->m_pNext = nullptr;
        rest->m_pPrev = nullptr;
    }
    // Refused before anything is made: an outline whose length is not a
    // number, or lengths so small against it that the pieces would not fit.
    const double pieces = OutlineLength(rest) / (solid + gap) + 1.0;
    if (!(pieces <= static_cast<double>(kMaxDashPieces))) {
        CDocState::FreeNodeList(rest);
        return nullptr;
    }

    CDocData* head = nullptr;
    CDocData* tail = nullptr;
    while (rest != nullptr && rest->m_pNext != nullptr) {
        DOCNODE* nodes = CutFront(rest, solid);
        auto* piece = new CDocDataLine(nodes, 1, ctx);
        piece->m_nLayer = object->m_nLayer;
        piece->m_nColor = object->m_nColor;
        piece->m_pPrev = tail;
        if (tail != nullptr)
            tail->m_pNext = piece;
        else
            head = piece;
        tail = piece;
        if (rest == nullptr || rest->m_pNext == nullptr)
            break;
        DOCNODE* skipped = CutFront(rest, gap);
        CDocState::FreeNodeList(skipped);
    }
    CDocState::FreeNodeList(rest);
    return head;
}

bool CPathProc::MakeDashedLines(DOCCONTEXT* ctx, double solid, double gap)
{
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || !ValidDashLengths(solid, gap))
        return false;
    CDocState base;
    CDocState* tool = &CurrentToolOr(ctx, base);
    CShowProcess progress;
    progress.Start(static_cast<std::int32_t>(tool->CountSelected(ctx)));

    bool replaced = false;
    CDocData*& first = ctx->m_pCurrent->m_pFirst;
    for (CDocData* o = first; o != nullptr;) {
        CDocData* next = o->m_pNext;
        if (o->IsSelected() == 0) {
            o = next;
            continue;
        }
        CDocData* pieces = DashObject(o, solid, gap, ctx);
        if (pieces != nullptr) {
            CDocData* last = pieces;
            while (last->m_pNext != nullptr)
                last = last->m_pNext;
            CDocData* prev = o->m_pPrev;
            pieces->m_pPrev = prev;
            if (prev != nullptr)
                prev->m_pNext = pieces;
            else
                first = pieces;
            last->m_pNext = next;
            if (next != nullptr)
                next->m_pPrev = last;
            o->m_pPrev = nullptr;
            o->m_pNext = nullptr;
            delete o;
            replaced = true;
        }
        progress.Step();
        o = next;
    }
    return replaced;
}
