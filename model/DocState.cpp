#include "DocState.h"

void CDocState::FreeNodeList(DOCNODE*& head)
{
    if (head == nullptr)
        return;
    if (head->m_pPrev != nullptr) {
        head->m_pPrev->m_pNext = nullptr;
        head->m_pPrev = nullptr;
    }
    DOCNODE* const first = head;
    DOCNODE* n = head;
    while (n != nullptr) {
        DOCNODE* next = n->m_pNext;
        delete n;
        // A ring whose head lost its back link still ends here.
        n = next == first ? nullptr : next;
    }
    head = nullptr;
}

void CDocState::InflateRect(CGeoBox& box, double d)
{
    box.m_xmin -= d;
    box.m_xmax += d;
    box.m_ymin -= d;
    box.m_ymax += d;
}
