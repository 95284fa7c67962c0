#include "JobRecords.h"

#include "model/PathRecord.h"
#include "model/SegNodePool.h"
#include "platform/ParallelFor.h"

#include <algorithm>
#include <new>
#include <vector>

void FreePathRecordGroups(WORKLAYER*& head)
{
    if (head == nullptr)
        return;
    if (head->m_prev != nullptr)
        head->m_prev->m_next = nullptr;
    // The paths are gathered layer by layer and freed in pieces side by
    // side: a large job's records lie scattered in memory, and one thread
    // waited about a second on them for a million entities.
    std::vector<WORKLAYER*> layers;
    std::vector<PATHREC*> paths;
    try {
        ForEachLayer(head, false, [&layers](WORKLAYER& l) { layers.push_back(&l); });
        std::vector<std::vector<PATHREC*>> ofLayer(layers.size());
        plat::ParallelFor(layers.size(), [&](std::size_t k) {
            ForEachPath(*layers[k], [&ofLayer, k](PATHREC& p) { ofLayer[k].push_back(&p); });
        });
        std::size_t total = 0;
        for (const std::vector<PATHREC*>& l : ofLayer)
            total += l.size();
        paths.reserve(total);
        for (const std::vector<PATHREC*>& l : ofLayer)
            paths.insert(paths.end(), l.begin(), l.end());
    } catch (const std::bad_alloc&) {
        paths.clear(); // freed layer by layer below
    }
    constexpr std::size_t kPiece = 8192;
    const std::size_t n = paths.size();
    plat::ParallelFor((n + kPiece - 1) / kPiece, [&paths, n](std::size_t k) {
        PathRecordBin bin;
        for (std::size_t i = k * kPiece; i < std::min(n, (k + 1) * kPiece); ++i)
            FreePathRecord(paths[i], bin);
    });
    WORKLAYER* layer = head;
    while (layer != nullptr) {
        WORKLAYER* next = layer->m_next;
        if (n == 0)
            FreePathRecordList(layer->m_paths);
        delete layer;
        // A ring whose head lost its back link still ends here.
        layer = next == head ? nullptr : next;
    }
    head = nullptr;
}
