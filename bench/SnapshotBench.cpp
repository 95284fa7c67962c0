// Whole-document snapshots: one undo push copies every node of every object.
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

namespace {

// Open polylines of `nodesPerObject` anchors, made as the importers and the
// curve operations make them, so a push copies them through the polyline's
// own copy constructor.
CDocListNode* MakeDocument(int objects, int nodesPerObject)
{
    auto* doc = new CDocListNode;
    CDocData* last = nullptr;
    for (int i = 0; i < objects; ++i) {
        DOCNODE* head = nullptr;
        DOCNODE* tail = nullptr;
        for (int k = 0; k < nodesPerObject; ++k) {
            tail = AppendNode(tail, 500000.0 + (i % 1000) * 20.0 + k, 500000.0 + (i / 1000) * 20.0 + k % 3);
            if (head == nullptr)
                head = tail;
        }
        auto* line = new CDocDataLine(head, 1, nullptr);
        line->m_nLayer = i % 16;
        line->m_pPrev = last;
        if (last != nullptr)
            last->m_pNext = line;
        else
            doc->m_pFirst = line;
        last = line;
    }
    return doc;
}

std::size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

long MinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// One undo push per iteration. Between iterations (untimed) the snapshot is
// deleted and its pages are handed back to the system, so each push copies
// into memory that must be faulted in afresh rather than into the warm free
// lists of the previous iteration; the page-fault counter shows it.
void BM_PushHistorySnapshot(benchmark::State& state)
{
    const int objects = static_cast<int>(state.range(0));
    constexpr int kNodes = 10;
    DOCCONTEXT ctx;
    ctx.m_pCurrent = MakeDocument(objects, kNodes);
    malloc_trim(0);

    double snapshotBytes = 0.0;
    long faults = 0;
    for (auto _ : state) {
        const std::size_t heapBefore = HeapInUse();
        const long faultsBefore = MinorFaults();
        CDocState::PushHistory(&ctx);
        state.PauseTiming();
        faults += MinorFaults() - faultsBefore;
        snapshotBytes = static_cast<double>(HeapInUse() - heapBefore);
        CDocListNode* snapshot = ctx.m_pCurrent->m_pOlder;
        ctx.m_pCurrent->m_pOlder = nullptr;
        delete snapshot;
        malloc_trim(0);
        state.ResumeTiming();
    }

    state.counters["snapshot_bytes"] = snapshotBytes;
    state.counters["history_31_bytes"] = snapshotBytes * (kHistoryOlderLimit + 1);
    state.counters["bytes_per_node"] = snapshotBytes / (static_cast<double>(objects) * kNodes);
    state.counters["page_faults"] = static_cast<double>(faults) / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * objects * kNodes);

    delete ctx.m_pCurrent;
    malloc_trim(0);
}
BENCHMARK(BM_PushHistorySnapshot)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
