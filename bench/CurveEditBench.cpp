// Curve edit commands on long polylines: fitting a smooth polyline of
// 100,000 nodes (one spline run), smoothing and dashing one of 1,000,000
// nodes; each should take well under half a second.
#include "model/CurveGeometry.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "processing/PathProc.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

namespace {

// A slowly opening spiral: 3.6 degrees of turn and about 63 units between
// nodes, so every node is smooth for the fitting.
DOCNODE* SpiralNodes(int count)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (int i = 0; i < count; ++i) {
        const double a = i * 2.0 * std::numbers::pi / 100.0;
        const double r = 1000.0 + i * 0.01;
        last = AppendNode(last, 500000.0 + r * std::cos(a), 500000.0 + r * std::sin(a));
        if (head == nullptr)
            head = last;
    }
    return head;
}

// Nodes 1.0 apart in x along a wave of amplitude 3.
DOCNODE* WaveNodes(int count)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (int i = 0; i < count; ++i) {
        last = AppendNode(last, 500000.0 + i, 500000.0 + 3.0 * std::sin(i * 0.01));
        if (head == nullptr)
            head = last;
    }
    return head;
}

void BM_EvaluateSpline100k(benchmark::State& state)
{
    DOCNODE* controls = SpiralNodes(100000);
    for (auto _ : state) {
        DOCNODE* points = EvaluateSpline(controls, 5);
        benchmark::DoNotOptimize(points);
        state.PauseTiming();
        CDocState::FreeNodeList(points);
        state.ResumeTiming();
    }
    CDocState::FreeNodeList(controls);
}
BENCHMARK(BM_EvaluateSpline100k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FitSmoothPolyline100k(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        CDocDataLine line(SpiralNodes(100000), 1, nullptr);
        state.ResumeTiming();
        CPathProc::FitPolyline(&line);
        benchmark::DoNotOptimize(line.m_pNodes);
        state.PauseTiming();
        CDocState::FreeNodeList(line.m_pNodes);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FitSmoothPolyline100k)->Unit(benchmark::kMillisecond)->Iterations(1);

// A document holding one selected polyline of a million nodes.
struct OneLineDocument {
    // One untimed pass first: a fresh process pays the kernel for the first
    // touch of every page of the node lists, which is not the operation's
    // cost and on a loaded virtual machine dwarfs it.
    template <typename Operation>
    static void WarmUp(Operation op)
    {
        auto* document = new OneLineDocument;
        op(document);
        delete document;
    }

    OneLineDocument()
    {
        ctx.m_pCurrent = &doc;
        doc.m_pFirst = new CDocDataLine(WaveNodes(1000000), 1, nullptr);
    }
    CDocListNode doc;
    DOCCONTEXT ctx;
};

void BM_SmoothPolylineMillion(benchmark::State& state)
{
    OneLineDocument::WarmUp([](OneLineDocument* d) { CPathProc::SmoothCurves(&d->ctx, 2, 0.1); });
    for (auto _ : state) {
        state.PauseTiming();
        auto* document = new OneLineDocument;
        state.ResumeTiming();
        benchmark::DoNotOptimize(CPathProc::SmoothCurves(&document->ctx, 2, 0.1));
        state.PauseTiming();
        delete document;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SmoothPolylineMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

// Solid 10 and gap 5 along the wave: about 66,700 pieces.
void BM_DashPolylineMillion(benchmark::State& state)
{
    OneLineDocument::WarmUp([](OneLineDocument* d) { CPathProc::MakeDashedLines(&d->ctx, 10.0, 5.0); });
    for (auto _ : state) {
        state.PauseTiming();
        auto* document = new OneLineDocument;
        state.ResumeTiming();
        benchmark::DoNotOptimize(CPathProc::MakeDashedLines(&document->ctx, 10.0, 5.0));
        state.PauseTiming();
        delete document;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DashPolylineMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

// The offset of a closed outline of 100,000 nodes: a gear of 50,000 teeth
// 20 units deep round a circle of radius 20,000, offset outward by 5, which
// fills every gap between two teeth; should take well under half a second.
void BM_OffsetGearOutline100k(benchmark::State& state)
{
    constexpr int nodes = 100000;
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (int i = 0; i <= nodes; ++i) {
        const double a = (i % nodes) * 2.0 * std::numbers::pi / nodes;
        const double r = i % 2 == 0 ? 20000.0 : 19980.0;
        last = AppendNode(last, 500000.0 + r * std::cos(a), 500000.0 + r * std::sin(a));
        if (head == nullptr)
            head = last;
    }
    CDocDataLine gear(head, 1, nullptr);
    std::size_t kept = 0;
    for (auto _ : state) {
        CDocData* out = CPathProc::OffsetContour(&gear, 5.0, 1, nullptr);
        state.PauseTiming();
        kept = 0;
        while (out != nullptr) {
            CDocData* next = out->m_pNext;
            kept += CountNodes(out->m_pNodes);
            delete out;
            out = next;
        }
        state.ResumeTiming();
    }
    state.counters["nodes_kept"] = static_cast<double>(kept);
}
BENCHMARK(BM_OffsetGearOutline100k)->Unit(benchmark::kMillisecond);

} // namespace
