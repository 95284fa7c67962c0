// Vector engraving of one filled outline: a 100 x 100 mm square at 0.1 mm
// line spacing (pixels of 0.01 mm, a 10,001 x 10,001 image; target under
// 2 s), and a 700 x 500 mm rectangle at the default 0.05 mm (pixels of
// 0.025 mm, 28,001 x 20,001, 560 MB), with the peak resident memory of the
// conversion (the peak is reset before each run).
#include "PeakMemory.h"
#include "model/DocState.h"
#include "model/PathRecord.h"
#include "processing/JobRecords.h"
#include "processing/MetaCarve.h"
#include "settings/WorkParams.h"

#include <benchmark/benchmark.h>

namespace {

WORKLAYER* RectangleLayer(double w, double h)
{
    DOCNODE* nodes = AppendNode(nullptr, 500000.0, 500000.0);
    DOCNODE* last = AppendNode(nodes, 500000.0 + w, 500000.0);
    last = AppendNode(last, 500000.0 + w, 500000.0 + h);
    last = AppendNode(last, 500000.0, 500000.0 + h);
    AppendNode(last, 500000.0, 500000.0);
    PATHREC* path = BuildPathRecord(nodes, 0);
    CDocState::FreeNodeList(nodes);
    path->m_pNext = path->m_pPrev = path;
    auto* layer = new WORKLAYER{};
    layer->m_mode = 2;
    layer->m_paths = path;
    return layer;
}

void RunCarve(benchmark::State& state, double w, double h, double spacing)
{
    WorkParams params;
    params.m_s_precision = spacing;
    params.m_s_method = 1;
    double segments = 0;
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        WORKLAYER* layer = RectangleLayer(w, h);
        plat::ResetPeakMemory();
        state.ResumeTiming();
        CMetaCarve::ConvertLayer(layer, &params, 1, 0);
        state.PauseTiming();
        peak = plat::PeakMemoryMiB();
        segments = 0;
        if (layer->m_paths != nullptr)
            ForEachSegment(*layer->m_paths, [&](SEGNODE&) { ++segments; });
        FreePathRecordGroups(layer);
        state.ResumeTiming();
    }
    state.counters["segments"] = segments;
    state.counters["peak_MiB"] = peak;
}

void BM_CarveSquare100mm(benchmark::State& state)
{
    RunCarve(state, 1000.0, 1000.0, 0.1);
}
BENCHMARK(BM_CarveSquare100mm)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CarveRectangle700x500mm(benchmark::State& state)
{
    RunCarve(state, 7000.0, 5000.0, 0.05);
}
BENCHMARK(BM_CarveRectangle700x500mm)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
