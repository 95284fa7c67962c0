// Genetic nesting: one generation of 500 parts on a 900 x 600 mm sheet at a
// 1 mm step (time recorded), and how long Stop takes to end a worker in the
// middle of a generation (target: 100 ms).
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "platform/TickCount.h"
#include "processing/NestEngine.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <random>
#include <thread>

namespace {

// Closed outlines of 4 to 12 corners, 10 to 40 mm across, some concave.
CDocData* MakeParts(int count, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    CDocData* head = nullptr;
    CDocData* prev = nullptr;
    for (int i = 0; i < count; ++i) {
        const double r = 50.0 + unit(rng) * 150.0;
        const int corners = 4 + static_cast<int>(unit(rng) * 9);
        DOCNODE* nodes = nullptr;
        DOCNODE* tail = nullptr;
        for (int c = 0; c <= corners; ++c) {
            const double a = 2.0 * std::numbers::pi * (c % corners) / corners;
            const double rr = c % 2 == 1 && corners > 5 ? r * 0.6 : r;
            tail = AppendNode(tail, rr * std::cos(a), rr * std::sin(a));
            if (nodes == nullptr)
                nodes = tail;
        }
        CDocData* part = new CDocDataLine(nodes, 1, nullptr);
        part->m_pPrev = prev;
        if (prev != nullptr)
            prev->m_pNext = part;
        else
            head = part;
        prev = part;
    }
    return head;
}

void SetSheet(CNestEngine& engine)
{
    engine.m_settings.m_sizex = 9000.0;
    engine.m_settings.m_sizey = 6000.0;
    engine.m_settings.m_step = 10.0;
    engine.m_settings.m_rot_allow = 0;
    engine.m_settings.m_limit_time = 3600;
    engine.m_settings.m_limit_ratio = 101;
    engine.SetSeed(5);
}

void BM_NestGeneration500Parts(benchmark::State& state)
{
    CDocListNode doc;
    doc.m_pFirst = MakeParts(500, 11);
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &doc;
    CNestEngine engine;
    SetSheet(engine);
    engine.BuildParts(&ctx);
    for (auto _ : state)
        engine.RunGeneration();
    state.counters["utilisation_pct"] = engine.m_dCurRatio;
    state.counters["unplaced"] = engine.UnplacedCount();
}
BENCHMARK(BM_NestGeneration500Parts)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_NestStopInGeneration(benchmark::State& state)
{
    CDocListNode doc;
    doc.m_pFirst = MakeParts(500, 11);
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &doc;
    CNestEngine engine;
    SetSheet(engine);
    for (auto _ : state) {
        engine.m_settings.m_start_time = plat::GetTickCount();
        engine.Start(0, &ctx);
        // Well into the first generation.
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        const auto t0 = std::chrono::steady_clock::now();
        engine.Stop();
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
}
BENCHMARK(BM_NestStopInGeneration)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The nesting page's Stop on the user-interface thread: join the worker
// keeping the best layout, take the result, free the engine (target 100 ms).
void BM_NestStopAndTakeResult(benchmark::State& state)
{
    CDocListNode doc;
    doc.m_pFirst = MakeParts(500, 11);
    DOCCONTEXT ctx;
    ctx.m_pCurrent = &doc;
    CNestEngine engine;
    SetSheet(engine);
    for (auto _ : state) {
        engine.m_settings.m_start_time = plat::GetTickCount();
        engine.Start(0, &ctx);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        const auto t0 = std::chrono::steady_clock::now();
        engine.StopWorker();
        CDocData* placed = engine.ApplyResult(&ctx);
        engine.Stop();
        const auto t1 = std::chrono::steady_clock::now();
        DeleteObjectList(placed);
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
}
BENCHMARK(BM_NestStopAndTakeResult)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace
