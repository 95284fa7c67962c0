#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/NodeList.h"
#include "processing/FileTrans.h"
#include "processing/JobRecords.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kO = 500000.0;

CDocData* Outline(const std::vector<std::pair<double, double>>& mm)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (const auto& [x, y] : mm) {
        last = AppendNode(last, kO + x * 10.0, kO + y * 10.0);
        if (head == nullptr)
            head = last;
    }
    return new CDocDataLine(head, 1, nullptr);
}

std::vector<std::pair<double, double>> Ring(double cx, double cy, double rx, double ry, int sides, double turn)
{
    std::vector<std::pair<double, double>> pts;
    for (int k = 0; k <= sides; ++k) {
        const double a = turn + 2.0 * std::numbers::pi * (k % sides) / sides;
        pts.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return pts;
}

// About a million segments in 100,001 objects: an 800 x 250 mm plate of
// 4,000 nodes with 10,000 octagonal holes, and above it, on a 1,000 x
// 3,000 mm sheet, 30,000 washers (a decagon round an octagon) and 30,000
// zigzag cuts of 13 segments, in random order.
std::vector<CDocData*> Drawing()
{
    std::vector<CDocData*> objects;
    objects.push_back(Outline(Ring(400.0, 125.0, 400.0, 125.0, 4000, 0.0)));
    for (int row = 0; row < 100; ++row) {
        for (int col = 0; col < 100; ++col) {
            const double cx = 400.0 + (col - 49.5) * 6.0, cy = 125.0 + (row - 49.5) * 1.6;
            objects.push_back(Outline(Ring(cx, cy, 0.5, 0.5, 8, 0.0)));
        }
    }
    std::mt19937 rng(29);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<CDocData*> sheet;
    for (int k = 0; k < 30000; ++k) {
        const double cx = 5.0 + unit(rng) * 990.0, cy = 305.0 + unit(rng) * 2990.0;
        sheet.push_back(Outline(Ring(cx, cy, 3.0, 3.0, 10, unit(rng))));
        sheet.push_back(Outline(Ring(cx, cy, 1.2, 1.2, 8, unit(rng))));
        std::vector<std::pair<double, double>> zigzag;
        const double x = unit(rng) * 990.0, y = 300.0 + unit(rng) * 2995.0;
        for (int s = 0; s <= 13; ++s)
            zigzag.push_back({x + s * 0.7, y + (s % 2) * 0.4});
        sheet.push_back(Outline(zigzag));
    }
    std::shuffle(sheet.begin(), sheet.end(), rng);
    objects.insert(objects.end(), sheet.begin(), sheet.end());
    return objects;
}

// The whole road from the document to the finished job with the default
// path options (optimised ordering, inner contours first) and bands of
// 300 mm.
void BM_MakeWorkDataMillionSegmentsBanded(benchmark::State& state)
{
    SoftwareSettings settings;
    settings.SetOptionDefaults();
    settings.m_pLayers = MakeDefaultLayerList();
    MachineNode machine;
    settings.m_pMachines = &machine;
    CDocListNode document;
    CDocData* prev = nullptr;
    for (CDocData* o : Drawing()) {
        o->m_pPrev = prev;
        if (prev != nullptr)
            prev->m_pNext = o;
        else
            document.m_pFirst = o;
        prev = o;
    }
    document.m_pSplit = new SPLITFEED;
    document.m_pSplit->m_bOn = 1;
    document.m_pSplit->m_dDistance = 300.0;
    DOCCONTEXT ctx;
    ctx.m_pSettings = &settings;
    ctx.m_pCurrent = &document;

    std::size_t layers = 0;
    for (auto _ : state) {
        WORKHEAD header;
        if (!CFileTrans::MakeWorkData(&header, &ctx, "bench.out"))
            state.SkipWithError("no job");
        state.PauseTiming();
        layers = 0;
        ForEachLayer(header.m_layers, false, [&](WORKLAYER&) { ++layers; });
        FreePathRecordGroups(header.m_layers);
        state.ResumeTiming();
    }
    state.counters["bands"] = static_cast<double>(layers);
    settings.m_pMachines = nullptr;
    FreeWorkParamList(settings.m_pLayers);
}
BENCHMARK(BM_MakeWorkDataMillionSegmentsBanded)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
