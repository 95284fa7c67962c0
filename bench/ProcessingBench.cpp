#include "model/DocData.h"
#include "model/DocDataLine.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "processing/PathProc.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace {

struct Piece {
    double x0, y0, x1, y1;
};

// Pieces in random order, each turned round or not.
void ShuffleOrderAndDirection(std::vector<Piece>& pieces, std::mt19937& rng)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::shuffle(pieces.begin(), pieces.end(), rng);
    for (Piece& p : pieces) {
        if (unit(rng) < 0.5) {
            std::swap(p.x0, p.x1);
            std::swap(p.y0, p.y1);
        }
    }
}

// 100,000 two-node pieces: half of them form 500 chains of 100 pieces whose
// joints meet within the join distance, the other half lie scattered; the
// whole set is shuffled and every piece has a random direction.
std::vector<Piece> MakePieces()
{
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Piece> pieces;
    for (int c = 0; c < 500; ++c) {
        double x = 500000.0 + unit(rng) * 200000.0, y = 500000.0 + unit(rng) * 200000.0;
        for (int k = 0; k < 100; ++k) {
            const double a = unit(rng) * 2.0 * std::numbers::pi;
            const double nx = x + 20.0 * std::cos(a), ny = y + 20.0 * std::sin(a);
            pieces.push_back({x + (unit(rng) - 0.5) * 0.008, y, nx, ny});
            x = nx;
            y = ny;
        }
    }
    for (int i = 0; i < 50000; ++i) {
        const double x = 500000.0 + unit(rng) * 200000.0, y = 500000.0 + unit(rng) * 200000.0;
        pieces.push_back({x, y, x + 15.0, y + 5.0});
    }
    ShuffleOrderAndDirection(pieces, rng);
    return pieces;
}

CDocData* MakeList(const std::vector<Piece>& pieces)
{
    CDocData* head = nullptr;
    CDocData* prev = nullptr;
    for (const Piece& p : pieces) {
        DOCNODE* nodes = AppendNode(nullptr, p.x0, p.y0);
        AppendNode(nodes, p.x1, p.y1);
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

// One chain of 100,000 two-node pieces, 20 units long with turns of up to
// a right angle, whose joints meet within the join distance of tolerance
// 0.1, in chain order: every piece joins the one curve.
std::vector<Piece> MakeChain()
{
    std::mt19937 rng(29);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Piece> pieces;
    double x = 0.0, y = 0.0, heading = 0.0;
    for (int k = 0; k < 100000; ++k) {
        heading += (unit(rng) - 0.5) * std::numbers::pi / 2.0;
        const double nx = x + 20.0 * std::cos(heading), ny = y + 20.0 * std::sin(heading);
        pieces.push_back({x + (unit(rng) - 0.5) * 0.5, y, nx, ny});
        x = nx;
        y = ny;
    }
    return pieces;
}

// Arguments: delete crossings (0 or 1), and 0 for the mixed drawing at
// tolerance 0.001 or 1 for the single chain at tolerance 0.1.
void BM_UniteCurves100kPieces(benchmark::State& state)
{
    const std::uint8_t crossings = static_cast<std::uint8_t>(state.range(0));
    const bool chain = state.range(1) != 0;
    const std::vector<Piece> pieces = chain ? MakeChain() : MakePieces();
    const double tol = chain ? 0.1 : 0.001;
    for (auto _ : state) {
        state.PauseTiming();
        CDocData* list = MakeList(pieces);
        state.ResumeTiming();
        CPathProc::UniteCurves(list, tol, crossings, nullptr);
        state.PauseTiming();
        DeleteObjectList(list);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pieces.size()));
}
BENCHMARK(BM_UniteCurves100kPieces)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// 20,000 closed loops of five line pieces each, drawn as a CAD program
// writes them: pieces in shuffled order and direction, corners exactly
// shared. United as after an import (tolerance 0.001), each loop must
// become one object.
std::vector<Piece> MakeShuffledLoops()
{
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Piece> pieces;
    for (int l = 0; l < 20000; ++l) {
        const double cx = 500000.0 + (l % 200) * 100.0, cy = 500000.0 + (l / 200) * 100.0;
        double x[5], y[5];
        for (int k = 0; k < 5; ++k) {
            const double a = (k + 0.5 * unit(rng)) * 2.0 * std::numbers::pi / 5.0;
            const double r = 20.0 + 20.0 * unit(rng);
            x[k] = cx + r * std::cos(a);
            y[k] = cy + r * std::sin(a);
        }
        for (int k = 0; k < 5; ++k)
            pieces.push_back({x[k], y[k], x[(k + 1) % 5], y[(k + 1) % 5]});
    }
    ShuffleOrderAndDirection(pieces, rng);
    return pieces;
}

void BM_UniteShuffledLoops100kPieces(benchmark::State& state)
{
    const std::vector<Piece> pieces = MakeShuffledLoops();
    for (auto _ : state) {
        state.PauseTiming();
        CDocData* list = MakeList(pieces);
        state.ResumeTiming();
        CPathProc::UniteCurves(list, 0.001, 0, nullptr);
        state.PauseTiming();
        int objects = 0;
        for (const CDocData* o = list; o != nullptr; o = o->m_pNext)
            ++objects;
        DeleteObjectList(list);
        if (objects != 20000)
            state.SkipWithError("a loop stayed open");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pieces.size()));
}
BENCHMARK(BM_UniteShuffledLoops100kPieces)->Unit(benchmark::kMillisecond)->Iterations(5);

// A million nodes 0.25 apart along a gentle wave, reduced with the import's
// limits (1.0 world unit, pi/2).
void BM_ReduceNodesMillion(benchmark::State& state)
{
    constexpr int kCount = 1000000;
    for (auto _ : state) {
        state.PauseTiming();
        DOCNODE* head = nullptr;
        DOCNODE* last = nullptr;
        for (int i = 0; i < kCount; ++i) {
            last = AppendNode(last, i * 0.25, 3.0 * std::sin(i * 0.001));
            if (head == nullptr)
                head = last;
        }
        state.ResumeTiming();
        CPathProc::ReduceNodesInList(head, 1.0, std::numbers::pi / 2.0);
        state.PauseTiming();
        CDocState::FreeNodeList(head);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_ReduceNodesMillion)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
