#include "machinecomm/JobStream.h"
#include "machinecomm/JobTransfer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <numbers>
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

} // namespace
