#include "JobRecords.h"

#include "model/PathRecord.h"

void FreePathRecordGroups(WORKLAYER*& head)
{
    if (head == nullptr)
        return;
    if (head->m_prev != nullptr)
        head->m_prev->m_next = nullptr;
    WORKLAYER* layer = head;
    while (layer != nullptr) {
        WORKLAYER* next = layer->m_next;
        FreePathRecordList(layer->m_paths);
        delete layer;
        // A ring whose head lost its back link still ends here.
        layer = next == head ? nullptr : next;
    }
    head = nullptr;
}
