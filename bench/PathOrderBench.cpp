#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/PathRecord.h"
#include "processing/FileTrans.h"
#include "processing/JobRecords.h"
#include "processing/PathProc.h"
#include "processing/RingOrder.h"
#include "settings/BarrierParams.h"
#include "settings/SoftwareSettings.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

using Points = std::vector<std::pair<double, double>>;

PATHREC* PathFrom(const Points& pts)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (const auto& [x, y] : pts) {
        last = AppendNode(last, x, y);
        if (head == nullptr)
            head = last;
    }
    PATHREC* p = BuildPathRecord(head, 0);
    while (head != nullptr) {
        DOCNODE* next = head->m_pNext;
        delete head;
        head = next;
    }
    return p;
}

Points Ring(double cx, double cy, double r, int sides, double turn)
{
    Points pts;
    for (int k = 0; k <= sides; ++k) {
        const double a = turn + 2.0 * std::numbers::pi * (k % sides) / sides;
        pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return pts;
}

WORKHEAD* MakeJob(const std::vector<Points>& paths)
{
    auto* layer = new WORKLAYER{};
    layer->m_mode = 1;
    PATHREC* head = nullptr;
    PATHREC* tail = nullptr;
    for (const Points& p : paths)
        AppendPathRecord(&head, &tail, PathFrom(p));
    head->m_pPrev = tail;
    tail->m_pNext = head;
    layer->m_paths = head;
    layer->m_next = layer->m_prev = layer;
    auto* job = new WORKHEAD;
    job->m_layers = layer;
    CFileTrans::RecalcPathBoundRects(job->m_layers);
    return job;
}

void FreeJob(WORKHEAD* job)
{
    FreePathRecordGroups(job->m_layers);
    delete job;
}

// 50,000 washers on a 900 x 600 mm sheet, shuffled: an outer octagon with a
// hole, 100,000 closed paths; holes inside, "path in out" on.
std::vector<Points> Washers()
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Points> paths;
    for (int row = 0; row < 200; ++row) {
        for (int col = 0; col < 250; ++col) {
            const double cx = 2.0 + col * 3.6 + unit(rng) * 0.4, cy = 2.0 + row * 3.0 + unit(rng) * 0.4;
            paths.push_back(Ring(cx, cy, 1.2, 8, unit(rng)));
            paths.push_back(Ring(cx, cy, 0.5, 8, unit(rng)));
        }
    }
    std::shuffle(paths.begin(), paths.end(), rng);
    return paths;
}

void BM_OrderPathsOptimised100kClosed(benchmark::State& state)
{
    const std::vector<Points> paths = Washers();
    SoftwareSettings settings;
    settings.SetOptionDefaults();
    settings.path_mode = 0;
    settings.path_in_out = 1;
    DOCCONTEXT ctx;
    ctx.m_pSettings = &settings;
    for (auto _ : state) {
        state.PauseTiming();
        WORKHEAD* job = MakeJob(paths);
        state.ResumeTiming();
        CPathProc::OrderPathsOptimised(job, &ctx);
        state.PauseTiming();
        FreeJob(job);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(paths.size()));
}
BENCHMARK(BM_OrderPathsOptimised100kClosed)->Unit(benchmark::kMillisecond)->Iterations(3);

// The inside-first order of the washers, and of deep nesting: 16,000
// concentric squares listed outermost first, and 20,000 equal boxes (a part
// pasted onto itself), each well under 0.2 s.
void RunRingOrder(benchmark::State& state, const std::vector<Points>& paths)
{
    for (auto _ : state) {
        state.PauseTiming();
        WORKHEAD* job = MakeJob(paths);
        state.ResumeTiming();
        CRingOrder().Process(job->m_layers);
        state.PauseTiming();
        FreeJob(job);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(paths.size()));
}

void BM_RingOrder100kClosed(benchmark::State& state)
{
    RunRingOrder(state, Washers());
}
BENCHMARK(BM_RingOrder100kClosed)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RingOrderConcentricSquares16k(benchmark::State& state)
{
    std::vector<Points> paths;
    for (int i = 0; i < 16000; ++i) {
        const double lo = i, hi = 40000.0 - i;
        paths.push_back({{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}, {lo, lo}});
    }
    RunRingOrder(state, paths);
}
BENCHMARK(BM_RingOrderConcentricSquares16k)->Unit(benchmark::kMillisecond);

void BM_RingOrderEqualBoxes20k(benchmark::State& state)
{
    const std::vector<Points> paths(20000, Points{{0, 0}, {100, 0}, {100, 50}, {0, 50}, {0, 0}});
    RunRingOrder(state, paths);
}
BENCHMARK(BM_RingOrderEqualBoxes20k)->Unit(benchmark::kMillisecond);

// 100,000 paths of 10 segments (a million segments) on a 600 x 400 mm
// sheet: zigzag hatch pieces, half of them continuing one another within
// the join tolerance, and closed decagons; band mode (code 1, 0.5 mm bands).
std::vector<Points> HatchAndRings()
{
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Points> paths;
    while (paths.size() < 100000) {
        const double x = unit(rng) * 590.0, y = unit(rng) * 390.0;
        if (unit(rng) < 0.7) {
            for (int piece = 0; piece < 2; ++piece) {
                Points pts;
                for (int k = 0; k <= 10; ++k)
                    pts.push_back({x + piece * 5.0 + k * 0.5, y + (k % 2) * 0.3});
                paths.push_back(pts);
            }
        } else {
            paths.push_back(Ring(x, y, 1.5, 10, unit(rng)));
        }
    }
    std::shuffle(paths.begin(), paths.end(), rng);
    return paths;
}

void BM_OrderPathsSimpleMillionSegments(benchmark::State& state)
{
    const std::vector<Points> paths = HatchAndRings();
    for (auto _ : state) {
        state.PauseTiming();
        WORKHEAD* job = MakeJob(paths);
        state.ResumeTiming();
        CPathProc::OrderPathsSimple(job->m_layers, 1, 0.5, 1, 0);
        state.PauseTiming();
        FreeJob(job);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(paths.size()) * 10);
}
BENCHMARK(BM_OrderPathsSimpleMillionSegments)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

namespace {

// A 600 x 400 mm plate (world units of 0.1 mm) with a rounded outline of
// 5,000 nodes, lines of 0.6 mm on a 1 mm grid.
CDocData* Plate()
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    constexpr int kNodes = 5000;
    for (int i = 0; i <= kNodes; ++i) {
        const double a = 2.0 * std::numbers::pi * (i % kNodes) / kNodes;
        const double c = std::cos(a), s = std::sin(a);
        // A superellipse: |x / 3000|^4 + |y / 2000|^4 = 1 around (3000, 2000).
        const double x = 3000.0 + 3000.0 * std::copysign(std::sqrt(std::fabs(c)), c);
        const double y = 2000.0 + 2000.0 * std::copysign(std::sqrt(std::fabs(s)), s);
        last = AppendNode(last, x, y);
        if (head == nullptr)
            head = last;
    }
    return new CDocDataLine(head, 1, nullptr);
}

BARRIERPARAMS PlateLines()
{
    BARRIERPARAMS p;
    p.m_guide_mode = 0;
    p.m_guide_width = p.m_guide_hight = 6.0;
    p.m_guide_up = p.m_guide_down = p.m_guide_left = p.m_guide_right = 10.0;
    p.m_deri_ratio = 1.0;
    return p;
}

void BM_LightGuidePlate600x400(benchmark::State& state)
{
    CDocData* plate = Plate();
    const BARRIERPARAMS p = PlateLines();
    std::int64_t made = 0;
    for (auto _ : state) {
        CDocData* pattern = CPathProc::MakeLightGuidePattern(plate, p, nullptr);
        state.PauseTiming();
        for (CDocData* o = pattern; o != nullptr; o = o->m_pNext)
            ++made;
        DeleteObjectList(pattern);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(made);
    delete plate;
}
BENCHMARK(BM_LightGuidePlate600x400)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_JoinLightGuidePlate600x400(benchmark::State& state)
{
    CDocData* plate = Plate();
    CDocData* pattern = CPathProc::MakeLightGuidePattern(plate, PlateLines(), nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        auto* layer = new WORKLAYER{};
        PATHREC* head = nullptr;
        PATHREC* tail = nullptr;
        for (CDocData* o = pattern; o != nullptr; o = o->m_pNext)
            AppendPathRecord(&head, &tail, o->MakeOutputPath());
        AppendPathRecord(&head, &tail, plate->MakeOutputPath());
        head->m_pPrev = tail;
        tail->m_pNext = head;
        layer->m_paths = head;
        layer->m_mode = 0x81;
        layer->m_next = layer->m_prev = layer;
        WORKHEAD job;
        job.m_layers = layer;
        CFileTrans::RecalcPathBoundRects(job.m_layers);
        state.ResumeTiming();
        CPathProc::JoinLightGuideLayers(&job, 1, 0);
        state.PauseTiming();
        FreePathRecordGroups(job.m_layers);
        state.ResumeTiming();
    }
    DeleteObjectList(pattern);
    delete plate;
}
BENCHMARK(BM_JoinLightGuidePlate600x400)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
