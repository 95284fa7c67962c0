#include "processing/CalcFileRunTime.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

// A cut job of one million segments: a circle of 100,000 segments (100 mm
// across, 3 micrometres each) and 9,000 closed 100-gons (5 mm across, on a
// 10 mm grid), in lists as the main program hands them over.
struct RunTimeJob {
    static constexpr int kCircleSegments = 100000;
    static constexpr int kPolygons = 9000;
    static constexpr int kSides = 100;

    RunTimeJob() : paths(1 + kPolygons), segs(std::size_t{kCircleSegments} + std::size_t{kPolygons} * kSides)
    {
        layer.m_mode = 1;
        layer.m_speed = 100.0f;
        head.m_layers = &layer;
        head.m_feedCount = 1;
        std::size_t next = 0;
        AddRing(paths[0], 600.0, 600.0, 50.0, kCircleSegments, next);
        for (int p = 0; p < kPolygons; ++p)
            AddRing(paths[1 + p], 5.0 + 10.0 * (p % 100), 5.0 + 10.0 * (p / 100), 2.5, kSides, next);
        for (std::size_t p = 0; p < paths.size(); ++p) {
            paths[p].m_pPrev = p > 0 ? &paths[p - 1] : nullptr;
            paths[p].m_pNext = p + 1 < paths.size() ? &paths[p + 1] : nullptr;
        }
        layer.m_paths = &paths[0];
    }

    void AddRing(PATHREC& path, double cx, double cy, double r, int sides, std::size_t& next)
    {
        path.m_pSegs = &segs[next];
        for (int k = 0; k < sides; ++k) {
            SEGNODE& s = segs[next + static_cast<std::size_t>(k)];
            const double a0 = 2.0 * std::numbers::pi * k / sides;
            const double a1 = 2.0 * std::numbers::pi * ((k + 1) % sides) / sides;
            s.m_x0 = cx + r * std::cos(a0);
            s.m_y0 = cy + r * std::sin(a0);
            s.m_x1 = cx + r * std::cos(a1);
            s.m_y1 = cy + r * std::sin(a1);
            s.m_pPrev = k > 0 ? &s - 1 : nullptr;
            s.m_pNext = k + 1 < sides ? &s + 1 : nullptr;
        }
        next += static_cast<std::size_t>(sides);
    }

    WORKHEAD head;
    WORKLAYER layer;
    std::vector<PATHREC> paths;
    std::vector<SEGNODE> segs;
};

// The whole estimate with the default parameters. Target: under 2 s.
void BM_MillionSegmentRunTime(benchmark::State& state)
{
    RunTimeJob job;
    const RUNTIMEPARAMS params;
    for (auto _ : state) {
        const double seconds = CCalcFileRunTime().CalcRunTime(&job.head, params);
        benchmark::DoNotOptimize(seconds);
        state.counters["estimate_s"] = seconds;
    }
}
BENCHMARK(BM_MillionSegmentRunTime)->Unit(benchmark::kMillisecond);

} // namespace
