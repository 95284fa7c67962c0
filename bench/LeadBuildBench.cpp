// Leads applied to every selected outline of a drawing in one command: each
// build counts the outlines around the start and looks for crossings with
// the leads, asking a box index of the drawing made once for the command.
// 16,000 rectangles should take well under 0.5 s.
#include "model/DocContext.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "model/LeadInOut.h"

#include <benchmark/benchmark.h>

namespace {

// `count` selected 100 x 50 rectangles in rows of 128, 20 apart.
CDocData* MakeRectangles(int count)
{
    CDocData* head = nullptr;
    CDocData* last = nullptr;
    for (int i = 0; i < count; ++i) {
        const double x = 500000.0 + (i % 128) * 120.0;
        const double y = 500000.0 + (i / 128) * 70.0;
        auto* rect = new CDocDataRect(CGeoBox(x, x + 100.0, y, y + 50.0), nullptr, 255);
        rect->SetSelected(1);
        rect->m_pPrev = last;
        if (last != nullptr)
            last->m_pNext = rect;
        else
            head = rect;
        last = rect;
    }
    return head;
}

void BM_ApplyLeadsToSelectedRectangles(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    LEADINOUT tmpl; // automatic side
    tmpl.m_bLeadIn = 1;
    tmpl.m_dInAngle = 90.0;
    tmpl.m_dInLength = 20.0;
    tmpl.m_bLeadOut = 1;
    tmpl.m_dOutAngle = 90.0;
    tmpl.m_dOutLength = 20.0;
    for (auto _ : state) {
        state.PauseTiming();
        CDocListNode snapshot;
        snapshot.m_pFirst = MakeRectangles(count);
        DOCCONTEXT ctx;
        ctx.m_pCurrent = &snapshot;
        state.ResumeTiming();
        for (CDocData* o = snapshot.m_pFirst; o != nullptr; o = o->m_pNext)
            SetLeadInOut(o, &tmpl);
        ApplyLeadInOutToSelected(&ctx, snapshot.m_pFirst);
        state.PauseTiming();
        DeleteObjectList(snapshot.m_pFirst);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ApplyLeadsToSelectedRectangles)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);

} // namespace
