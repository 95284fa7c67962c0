// Restructuring and arranging a large selection, without a window: 100,000
// selected ten-node polylines over 256 layers.
// - grouping as one group, grouping per layer and ungrouping through every
//   level (targets: each under 100 ms; the commands' undo step comes on top
//   and is measured alone as BM_SelectionPushHistory);
// - aligning left edges and mirroring left-right (targets: each under
//   100 ms over the undo step they take themselves).
#include "model/DocContext.h"
#include "model/DocDataGroup.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "processing/SelectionAlign.h"
#include "processing/SelectionGroups.h"
#include "settings/SoftwareSettings.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

constexpr int kObjects = 100000;
constexpr int kLayers = 256;

// A snapshot of random ten-node polylines, all selected, with the
// selection box set.
struct Selection {
    Selection()
    {
        ctx.m_pSettings = &settings;
        ctx.m_pCurrent = new CDocListNode;
        std::mt19937 rng(41);
        std::uniform_real_distribution<double> start(kWorldOrigin, kWorldOrigin + 9000.0);
        std::uniform_real_distribution<double> step(-20.0, 20.0);
        CDocData* last = nullptr;
        for (int i = 0; i < kObjects; ++i) {
            double x = start(rng), y = start(rng);
            DOCNODE* tail = AppendNode(nullptr, x, y);
            DOCNODE* nodes = tail;
            for (int k = 1; k < 10; ++k) {
                x += step(rng);
                y += step(rng);
                tail = AppendNode(tail, x, y);
            }
            auto* line = new CDocDataLine(nodes, 1, nullptr);
            line->m_nLayer = i % kLayers;
            line->SetSelected(1);
            line->RecalcBoundRect(nullptr);
            ctx.m_rcSelect.Union(line->GetBoundRect());
            line->m_pPrev = last;
            (last != nullptr ? last->m_pNext : ctx.m_pCurrent->m_pFirst) = line;
            last = line;
        }
    }
    ~Selection()
    {
        CDocListNode* oldest = ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

    SoftwareSettings settings;
    DOCCONTEXT ctx;
};

template <typename Op>
void Measure(benchmark::State& state, bool perLayerGroups, Op op)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto sel = std::make_unique<Selection>();
        if (perLayerGroups)
            CSelectionGroups::GroupSelection(&sel->ctx, true);
        state.ResumeTiming();
        benchmark::DoNotOptimize(op(sel->ctx));
        state.PauseTiming();
        sel.reset();
        state.ResumeTiming();
    }
}

void BM_GroupSelectionAsOne(benchmark::State& state)
{
    Measure(state, false, [](DOCCONTEXT& ctx) { return CSelectionGroups::GroupSelection(&ctx, false); });
}
BENCHMARK(BM_GroupSelectionAsOne)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_GroupSelectionPerLayer(benchmark::State& state)
{
    Measure(state, false, [](DOCCONTEXT& ctx) { return CSelectionGroups::GroupSelection(&ctx, true); });
}
BENCHMARK(BM_GroupSelectionPerLayer)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_UngroupSelectionAllLevels(benchmark::State& state)
{
    Measure(state, true, [](DOCCONTEXT& ctx) {
        return UngroupObjects(ctx.m_pCurrent->m_pFirst, UngroupScope::SelectedAllLevels);
    });
}
BENCHMARK(BM_UngroupSelectionAllLevels)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SelectionPushHistory(benchmark::State& state)
{
    Measure(state, false, [](DOCCONTEXT& ctx) { return CDocState::PushHistory(&ctx); });
}
BENCHMARK(BM_SelectionPushHistory)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_AlignSelectionLeft(benchmark::State& state)
{
    Measure(state, false, [](DOCCONTEXT& ctx) { return CSelectionAlign::AlignSelection(&ctx, 1, 0); });
}
BENCHMARK(BM_AlignSelectionLeft)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_MirrorSelectionLeftRight(benchmark::State& state)
{
    Measure(state, false, [](DOCCONTEXT& ctx) { return CSelectionAlign::MirrorSelection(&ctx, true, false); });
}
BENCHMARK(BM_MirrorSelectionLeftRight)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
