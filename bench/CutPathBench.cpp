// Start points and cut repair over a path of 100,000 segments (each under
// 0.1 s): a closed wavy ring, where every segment is a start candidate, and
// a zigzag reversing along both axes thousands of times; and the repair
// over 100,000 one-segment paths that reverse from one to the next.
#include "model/PathRecord.h"
#include "processing/DislocationProc.h"
#include "processing/JobRecords.h"
#include "processing/PathProc.h"
#include "settings/MachineTech.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>

namespace {

constexpr int kSegments = 100000;

// A ring of straight segments between the given points, closed.
PATHREC* RingPath(const std::vector<std::pair<double, double>>& pts)
{
    auto* path = new PATHREC;
    SEGNODE* last = nullptr;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        auto* s = new SEGNODE;
        s->m_x0 = pts[i].first;
        s->m_y0 = pts[i].second;
        s->m_x1 = pts[(i + 1) % pts.size()].first;
        s->m_y1 = pts[(i + 1) % pts.size()].second;
        s->m_pPrev = last;
        if (last != nullptr)
            last->m_pNext = s;
        else
            path->m_pSegs = s;
        last = s;
    }
    last->m_pNext = path->m_pSegs;
    path->m_pSegs->m_pPrev = last;
    path->m_closed = 1;
    path->m_pNext = path->m_pPrev = path;
    return path;
}

WORKLAYER* CutLayer(PATHREC* paths)
{
    auto* layer = new WORKLAYER{};
    layer->m_mode = 1;
    layer->m_speed = 150.0f;
    layer->m_paths = paths;
    layer->m_next = layer->m_prev = layer;
    return layer;
}

void BM_StartPointsWavyRing(benchmark::State& state)
{
    // A 100 mm circle with a wave of 0.5 mm, 400 waves round.
    std::vector<std::pair<double, double>> pts;
    for (int k = 0; k < kSegments; ++k) {
        const double a = 2.0 * std::numbers::pi * k / kSegments;
        const double r = 50.0 + 0.5 * std::sin(400.0 * a);
        pts.emplace_back(200.0 + r * std::cos(a), 200.0 + r * std::sin(a));
    }
    WORKLAYER* layer = CutLayer(RingPath(pts));
    for (auto _ : state)
        CDislocationProc::Process(layer);
    FreePathRecordGroups(layer);
}
BENCHMARK(BM_StartPointsWavyRing)->Unit(benchmark::kMillisecond);

std::vector<std::pair<double, double>> Zigzag()
{
    std::mt19937 rng(3);
    std::vector<std::pair<double, double>> pts{{0.0, 0.0}};
    for (int k = 1; k < kSegments; ++k) {
        const double dx = (static_cast<int>(rng() % 7) - 3) * 0.37;
        const double dy = (static_cast<int>(rng() % 7) - 3) * 0.53;
        pts.emplace_back(pts.back().first + dx, pts.back().second + dy);
    }
    return pts;
}

struct Table {
    Table()
    {
        rows[0] = {100.0, 0.01, 0.02, nullptr, &rows[1]};
        rows[1] = {200.0, 0.03, 0.04, &rows[0], nullptr};
    }
    CUTREPAIR rows[2];
};

void BM_CutRepairZigzagPath(benchmark::State& state)
{
    const auto pts = Zigzag();
    Table table;
    for (auto _ : state) {
        state.PauseTiming();
        WORKLAYER* layer = CutLayer(RingPath(pts));
        state.ResumeTiming();
        CPathProc::ApplyCutRepair(layer, table.rows);
        state.PauseTiming();
        FreePathRecordGroups(layer);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CutRepairZigzagPath)->Unit(benchmark::kMillisecond);

void BM_CutRepairManyPaths(benchmark::State& state)
{
    const auto pts = Zigzag();
    Table table;
    for (auto _ : state) {
        state.PauseTiming();
        PATHREC* head = nullptr;
        PATHREC* tail = nullptr;
        for (const auto& [x, y] : pts) {
            PATHREC* p = RingPath({{x, y}, {x + 0.1, y}});
            p->m_pNext = p->m_pPrev = nullptr;
            p->m_closed = 0;
            AppendPathRecord(&head, &tail, p);
        }
        head->m_pPrev = tail;
        tail->m_pNext = head;
        WORKLAYER* layer = CutLayer(head);
        state.ResumeTiming();
        CPathProc::ApplyCutRepair(layer, table.rows);
        state.PauseTiming();
        FreePathRecordGroups(layer);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CutRepairManyPaths)->Unit(benchmark::kMillisecond);

} // namespace
