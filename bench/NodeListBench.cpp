#include "model/DocState.h"
#include "model/NodeList.h"

#include <benchmark/benchmark.h>

namespace {

DOCNODE* MakeNodes(int count)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (int i = 0; i < count; ++i) {
        last = AppendNode(last, 500000.0 + i * 0.25, 500000.0 + (i % 97), static_cast<std::uint8_t>(i % 3));
        if (head == nullptr)
            head = last;
    }
    return head;
}

void BM_CopyAndFreeNodeList(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    DOCNODE* source = MakeNodes(count);
    for (auto _ : state) {
        DOCNODE* copy = CopyPointList(source);
        benchmark::DoNotOptimize(copy);
        CDocState::FreeNodeList(copy);
    }
    state.SetItemsProcessed(state.iterations() * count);
    CDocState::FreeNodeList(source);
}
BENCHMARK(BM_CopyAndFreeNodeList)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
