#include "model/CurveGeometry.h"
#include "model/DocState.h"
#include "model/GeoFunctions.h"
#include "model/NodeList.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

// A chain of `segments` cubic arcs near the world origin, each a bend of
// some 40 world units, as an outline of a few metres would have.
DOCNODE* MakeBezierChain(int segments)
{
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> d(-20.0, 20.0);
    DOCNODE* head = AppendNode(nullptr, 500000.0, 500000.0);
    DOCNODE* last = head;
    double x = 500000.0, y = 500000.0;
    for (int i = 0; i < segments; ++i) {
        const double ex = x + 30.0 + d(gen) * 0.5, ey = y + d(gen);
        last = AppendNode(last, x + d(gen), y + 25.0, NODE_CONTROL_OUT);
        last = AppendNode(last, ex + d(gen), ey - 25.0, NODE_CONTROL_IN);
        last = AppendNode(last, ex, ey, NODE_ANCHOR);
        x = ex;
        y = ey;
    }
    return head;
}

void BM_SamplePolylineCubics(benchmark::State& state)
{
    const int segments = static_cast<int>(state.range(0));
    DOCNODE* chain = MakeBezierChain(segments);
    std::size_t anchors = 0;
    for (auto _ : state) {
        DOCNODE* flat = SamplePolyline(chain, kOutputFlattenTol);
        anchors = static_cast<std::size_t>(CountNodes(flat));
        benchmark::DoNotOptimize(flat);
        CDocState::FreeNodeList(flat);
    }
    state.counters["anchors"] = static_cast<double>(anchors);
    state.SetItemsProcessed(state.iterations() * segments);
    CDocState::FreeNodeList(chain);
}
BENCHMARK(BM_SamplePolylineCubics)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_GeoSegmentIntersectionPairs(benchmark::State& state)
{
    const std::size_t pairs = static_cast<std::size_t>(state.range(0));
    // A pool of segments; pair i takes segments i and i + 1 of the pool, so
    // the mix of crossing, touching and disjoint pairs is fixed by the seed.
    constexpr std::size_t kPool = 1 << 16;
    std::mt19937 gen(11);
    std::uniform_real_distribution<double> pos(500000.0, 500100.0);
    std::vector<double> c(kPool * 4 + 4);
    for (double& v : c)
        v = pos(gen);
    for (auto _ : state) {
        std::uint64_t hits = 0;
        double sx = 0.0;
        for (std::size_t i = 0; i < pairs; ++i) {
            const double* p = &c[(i & (kPool - 1)) * 4];
            double x, y;
            const std::uint32_t r = GeoSegmentIntersection(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], x, y);
            if (r != 0) {
                ++hits;
                sx += x;
            }
        }
        benchmark::DoNotOptimize(hits);
        benchmark::DoNotOptimize(sx);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pairs));
}
BENCHMARK(BM_GeoSegmentIntersectionPairs)->Arg(10000000)->Unit(benchmark::kMillisecond);

// A spline of high order as a drawing file may ask for: evaluated
// bottom-up each point costs order^2, where the plain recursion took over a
// second for the whole curve at order 22.
void BM_EvaluateSplineOfHighOrder(benchmark::State& state)
{
    const int order = static_cast<int>(state.range(0));
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (int i = 0; i < 200; ++i) {
        last = AppendNode(last, 500000.0 + 10.0 * i, 500000.0 + (i % 2) * 10.0);
        if (head == nullptr)
            head = last;
    }
    std::size_t points = 0;
    for (auto _ : state) {
        DOCNODE* curve = EvaluateSpline(head, order);
        points = static_cast<std::size_t>(CountNodes(curve));
        CDocState::FreeNodeList(curve);
    }
    state.counters["points"] = static_cast<double>(points);
    CDocState::FreeNodeList(head);
}
BENCHMARK(BM_EvaluateSplineOfHighOrder)->Arg(22)->Arg(kMaxSplineOrder)->Unit(benchmark::kMillisecond);

} // namespace
