// Whole-document snapshots: one undo push copies every node of every object.
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/RecordPool.h"

#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
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

// The heap's bytes and the record pools' (objects and nodes live there).
std::size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd + plat::RecordPoolBytesInUse();
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
// lists of the previous iteration; the page-fault counter shows it. Target:
// every push under 100 ms, in every run (slowest_ms).
void BM_PushHistorySnapshot(benchmark::State& state)
{
    const int objects = static_cast<int>(state.range(0));
    constexpr int kNodes = 10;
    DOCCONTEXT ctx;
    ctx.m_pCurrent = MakeDocument(objects, kNodes);
    plat::ReleaseFreeMemory();

    double snapshotBytes = 0.0;
    double slowest = 0.0;
    long faults = 0;
    for (auto _ : state) {
        const std::size_t heapBefore = HeapInUse();
        const long faultsBefore = MinorFaults();
        const auto start = std::chrono::steady_clock::now();
        CDocState::PushHistory(&ctx);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        state.PauseTiming();
        slowest = std::max(slowest, took.count());
        faults += MinorFaults() - faultsBefore;
        snapshotBytes = static_cast<double>(HeapInUse() - heapBefore);
        CDocListNode* snapshot = ctx.m_pCurrent->m_pOlder;
        ctx.m_pCurrent->m_pOlder = nullptr;
        delete snapshot;
        plat::ReleaseFreeMemory();
        state.ResumeTiming();
    }

    state.counters["snapshot_bytes"] = snapshotBytes;
    state.counters["history_31_bytes"] = snapshotBytes * (kHistoryOlderLimit + 1);
    state.counters["bytes_per_node"] = snapshotBytes / (static_cast<double>(objects) * kNodes);
    state.counters["page_faults"] = static_cast<double>(faults) / static_cast<double>(state.iterations());
    state.counters["slowest_ms"] = slowest;
    state.SetItemsProcessed(state.iterations() * objects * kNodes);

    delete ctx.m_pCurrent;
    plat::ReleaseFreeMemory();
}
BENCHMARK(BM_PushHistorySnapshot)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
