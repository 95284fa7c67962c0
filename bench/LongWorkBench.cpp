// Long work off the interface thread on a generated drawing of 1,000,000
// entities: the whole copy of the current snapshot the work is done on
// (the dialogs take it a slice at a time; their first frame and first step
// are measured in LongWorkDialogsBench.cpp).
#include "MillionDrawing.h"

#include <benchmark/benchmark.h>

namespace {

void BM_SnapshotCopyOfAMillionEntities(benchmark::State& state)
{
    MillionDrawing& d = Drawing();
    for (auto _ : state) {
        auto* copy = new CDocListNode(d.document);
        state.PauseTiming();
        delete copy;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SnapshotCopyOfAMillionEntities)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

} // namespace
