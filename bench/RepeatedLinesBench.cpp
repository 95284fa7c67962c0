// Deleting repeated lines over 100,000 selected lines (target: under 1 s):
// 60,000 lines scattered over 2 x 2 m, and 40,000 lying on earlier ones,
// whole or in part, within the tolerance.
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "processing/PathProc.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

struct Segment {
    double x0, y0, x1, y1;
};

std::vector<Segment> MakeSegments()
{
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Segment> segments;
    segments.reserve(100000);
    for (int i = 0; i < 60000; ++i) {
        const double x = 500000.0 + unit(rng) * 20000.0, y = 500000.0 + unit(rng) * 20000.0;
        const double a = unit(rng) * 2.0 * std::numbers::pi, len = 20.0 + unit(rng) * 180.0;
        segments.push_back({x, y, x + len * std::cos(a), y + len * std::sin(a)});
    }
    for (int i = 0; i < 40000; ++i) {
        const Segment& s = segments[static_cast<std::size_t>(unit(rng) * 60000.0)];
        // A part of the line (or all of it), moved off it by less than the
        // tolerance, sometimes run the other way.
        const double t0 = unit(rng) < 0.5 ? 0.0 : unit(rng) * 0.4, t1 = unit(rng) < 0.5 ? 1.0 : 0.6 + unit(rng) * 0.4;
        const double off = (unit(rng) - 0.5) * 0.8;
        Segment c{s.x0 + (s.x1 - s.x0) * t0, s.y0 + (s.y1 - s.y0) * t0 + off, s.x0 + (s.x1 - s.x0) * t1,
                  s.y0 + (s.y1 - s.y0) * t1 + off};
        if (unit(rng) < 0.5)
            c = {c.x1, c.y1, c.x0, c.y0};
        segments.push_back(c);
    }
    return segments;
}

CDocData* MakeList(const std::vector<Segment>& segments)
{
    CDocData* head = nullptr;
    CDocData* prev = nullptr;
    for (const Segment& s : segments) {
        DOCNODE* nodes = AppendNode(nullptr, s.x0, s.y0);
        AppendNode(nodes, s.x1, s.y1);
        CDocData* line = new CDocDataLine(nodes, 1, nullptr);
        line->m_pPrev = prev;
        if (prev != nullptr)
            prev->m_pNext = line;
        else
            head = line;
        prev = line;
    }
    return head;
}

void BM_DeleteRepeatedLines100k(benchmark::State& state)
{
    const std::vector<Segment> segments = MakeSegments();
    std::size_t left = 0;
    CDocListNode doc;
    for (auto _ : state) {
        state.PauseTiming();
        DeleteObjectList(doc.m_pFirst);
        doc.m_pFirst = MakeList(segments);
        DOCCONTEXT ctx;
        ctx.m_pCurrent = &doc;
        state.ResumeTiming();
        CPathProc::DeleteRepeatedLines(&ctx, 1.0, 0);
        state.PauseTiming();
        left = 0;
        for (const CDocData* o = doc.m_pFirst; o != nullptr; o = o->m_pNext)
            ++left;
        state.ResumeTiming();
    }
    state.counters["objects_left"] = static_cast<double>(left);
}
BENCHMARK(BM_DeleteRepeatedLines100k)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
