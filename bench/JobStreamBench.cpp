#include "machinecomm/JobStream.h"
#include "machinecomm/JobTransfer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A cut job of 10,000 closed 100-gons (5 mm across, on a 10 mm grid): one
// million segments, in lists as the main program hands them over.
struct CutJob {
    static constexpr int kPaths = 10000;
    static constexpr int kSides = 100;

    CutJob() : layer(), paths(kPaths), segs(std::size_t{kPaths} * kSides)
    {
        head.m_maxX = head.m_maxY = 1000.0;
        std::memcpy(head.m_jobName, "bench", 5);
        layer.m_mode = 1;
        layer.m_speed = 100.0f;
        head.m_layers = &layer;
        for (int p = 0; p < kPaths; ++p) {
            PATHREC& path = paths[p];
            const double cx = 5.0 + 10.0 * (p % 100), cy = 5.0 + 10.0 * (p / 100);
            path.m_xmin = cx - 2.5;
            path.m_xmax = cx + 2.5;
            path.m_ymin = cy - 2.5;
            path.m_ymax = cy + 2.5;
            path.m_pSegs = &segs[static_cast<std::size_t>(p) * kSides];
            path.m_pPrev = p > 0 ? &paths[p - 1] : nullptr;
            path.m_pNext = p + 1 < kPaths ? &paths[p + 1] : nullptr;
            for (int k = 0; k < kSides; ++k) {
                SEGNODE& s = path.m_pSegs[k];
                const double a0 = 2.0 * std::numbers::pi * k / kSides;
                const double a1 = 2.0 * std::numbers::pi * ((k + 1) % kSides) / kSides;
                s.m_x0 = cx + 2.5 * std::cos(a0);
                s.m_y0 = cy + 2.5 * std::sin(a0);
                s.m_x1 = cx + 2.5 * std::cos(a1);
                s.m_y1 = cy + 2.5 * std::sin(a1);
                s.m_pPrev = k > 0 ? &path.m_pSegs[k - 1] : nullptr;
                s.m_pNext = k + 1 < kSides ? &path.m_pSegs[k + 1] : nullptr;
            }
        }
        layer.m_paths = &paths[0];
        request.m_pInfo = &request.m_info;
        request.m_pHead = &head;
        std::strcpy(request.m_info.m_machineName, "bench machine");
    }

    WORKHEAD head;
    WORKLAYER layer;
    std::vector<PATHREC> paths;
    std::vector<SEGNODE> segs;
    TRANSFILEREQ request;
};

// The whole stream built (size estimate, encoding, name, checksum) and
// written as a .out file, as one transfer does it. Target: under 0.25 s.
void BM_MillionSegmentJobToOutFile(benchmark::State& state)
{
    CutJob job;
    const std::string path = "/tmp/vantrel-bench-" + std::to_string(::getpid()) + ".out";
    for (auto _ : state) {
        CJobStream stream;
        if (stream.Build(job.request) != CJobStream::Result::Ok || stream.Retries() != 0) {
            state.SkipWithError("the stream needed more than one encoding");
            break;
        }
        if (!WriteOutFile(path, stream.Data(), stream.Size(), 0x39)) {
            state.SkipWithError("the .out file could not be written");
            break;
        }
        state.counters["bytes"] = static_cast<double>(stream.Size());
    }
    ::unlink(path.c_str());
}
BENCHMARK(BM_MillionSegmentJobToOutFile)->Unit(benchmark::kMillisecond);

// A drawing of a million entities as the main program hands it over: per
// seven entities six lines and one closed rectangle, scattered over 550 mm,
// on one layer (as the drawing's eight colours all cut alike) or on eight.
// Records are made one by one in drawing order and every layer's ring of
// paths is linked in the order the path ordering chose, which here is a
// shuffle: walking a ring jumps all over memory, as it does in a real job.
struct ScatteredJob {
    static constexpr int kPaths = 1000000;
    static constexpr int kLayersMax = 8;

    explicit ScatteredJob(int layerCount)
    {
        head.m_maxX = head.m_maxY = 550.0;
        std::memcpy(head.m_jobName, "scatter", 7);
        request.m_pInfo = &request.m_info;
        request.m_pHead = &head;
        std::strcpy(request.m_info.m_machineName, "bench machine");
        std::mt19937 random(7);
        std::uniform_real_distribution<double> at(0.0, 540.0), size(0.5, 10.0);
        std::vector<std::vector<PATHREC*>> lists(static_cast<std::size_t>(layerCount));
        paths.reserve(kPaths);
        for (int i = 0; i < kPaths; ++i) {
            paths.push_back(std::make_unique<PATHREC>());
            PATHREC* path = paths.back().get();
            const double x = at(random), y = at(random), w = size(random), h = size(random);
            path->m_xmin = x;
            path->m_ymin = y;
            path->m_xmax = x + w;
            path->m_ymax = y + h;
            if (i % 7 == 6) {
                const double corners[5][2] = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}};
                for (int k = 0; k < 4; ++k)
                    AddSegment(*path, corners[k][0], corners[k][1], corners[k + 1][0], corners[k + 1][1]);
            } else {
                AddSegment(*path, x, y, x + w, y + h);
            }
            lists[static_cast<std::size_t>(i / 7 % layerCount)].push_back(path);
        }
        WORKLAYER* prevLayer = nullptr;
        for (int l = 0; l < layerCount; ++l) {
            WORKLAYER& layer = layers[l];
            layer.m_mode = 1;
            layer.m_speed = 100.0f;
            std::vector<PATHREC*>& list = lists[static_cast<std::size_t>(l)];
            std::shuffle(list.begin(), list.end(), random);
            for (std::size_t k = 0; k < list.size(); ++k) {
                list[k]->m_pPrev = list[(k + list.size() - 1) % list.size()];
                list[k]->m_pNext = list[(k + 1) % list.size()];
            }
            layer.m_paths = list.front();
            layer.m_prev = prevLayer;
            if (prevLayer != nullptr)
                prevLayer->m_next = &layer;
            prevLayer = &layer;
        }
        head.m_layers = &layers[0];
    }
    ~ScatteredJob()
    {
        for (SEGNODE* s : segs)
            delete s;
    }
    ScatteredJob(const ScatteredJob&) = delete;
    ScatteredJob& operator=(const ScatteredJob&) = delete;

    void AddSegment(PATHREC& path, double x0, double y0, double x1, double y1)
    {
        auto* seg = new SEGNODE;
        segs.push_back(seg);
        seg->m_x0 = x0;
        seg->m_y0 = y0;
        seg->m_x1 = x1;
        seg->m_y1 = y1;
        if (path.m_pSegs == nullptr) {
            path.m_pSegs = seg;
        } else {
            SEGNODE* last = segs[segs.size() - 2];
            last->m_pNext = seg;
            seg->m_pPrev = last;
        }
    }

    WORKHEAD head;
    WORKLAYER layers[kLayersMax] = {};
    std::vector<std::unique_ptr<PATHREC>> paths;
    std::vector<SEGNODE*> segs;
    TRANSFILEREQ request;
};

// The transfer thread's whole share of saving that drawing as a .out file:
// the stream built in memory and (first argument 1) written scrambled; the
// second argument is the number of layers. Target: under 0.5 s in all (the
// save took 2.6 s of it).
void BM_MillionPathScatteredJobToOutFile(benchmark::State& state)
{
    ScatteredJob job(static_cast<int>(state.range(1)));
    const std::string path = "/tmp/vantrel-bench-scatter-" + std::to_string(::getpid()) + ".out";
    for (auto _ : state) {
        CJobStream stream;
        if (stream.Build(job.request) != CJobStream::Result::Ok) {
            state.SkipWithError("the stream could not be built");
            break;
        }
        if (state.range(0) != 0 && !WriteOutFile(path, stream.Data(), stream.Size(), 0x39)) {
            state.SkipWithError("the .out file could not be written");
            break;
        }
        state.counters["MB"] = static_cast<double>(stream.Size()) / 1e6;
    }
    ::unlink(path.c_str());
}
BENCHMARK(BM_MillionPathScatteredJobToOutFile)
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 8})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

} // namespace
