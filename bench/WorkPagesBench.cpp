// The array page's real array and the manual order list on large drawings.
#include "QtBench.h"
#include "model/DocContext.h"
#include "model/DocDataLine.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/NodeList.h"
#include "platform/Prompt.h"
#include "settings/SoftwareSettings.h"
#include "ui/WorkPageMetaList.h"
#include "ui/WorkPageSet.h"

#include <benchmark/benchmark.h>

namespace {

CDocData* TenNodeLine(double x, double y)
{
    DOCNODE* head = nullptr;
    DOCNODE* last = nullptr;
    for (int i = 0; i < 10; ++i) {
        last = AppendNode(last, x + i * 10.0, y + (i % 2) * 10.0, NODE_ANCHOR);
        if (head == nullptr)
            head = last;
    }
    auto* line = new CDocDataLine(head, 1, nullptr);
    line->RecalcBoundRect(nullptr);
    return line;
}

struct Drawing {
    explicit Drawing(int objects)
    {
        ctx.m_pCurrent = new CDocListNode;
        ctx.m_pSettings = &settings;
        CDocData* tail = nullptr;
        for (int i = 0; i < objects; ++i) {
            CDocData* o = TenNodeLine((i % 300) * 100.0, (i / 300) * 100.0);
            o->SetSelected(0);
            o->m_pPrev = tail;
            (tail != nullptr ? tail->m_pNext : ctx.m_pCurrent->m_pFirst) = o;
            tail = o;
        }
    }
    ~Drawing()
    {
        CDocListNode* oldest = ctx.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        CDocState::DeleteHistoryChain(oldest);
    }
    SoftwareSettings settings;
    DOCCONTEXT ctx;
};

void BM_OrderListRefresh100k(benchmark::State& state)
{
    EnsureQtApplication();
    Drawing drawing(100000);
    CWorkPageMetaList page;
    page.SetOwner(&drawing.ctx, nullptr);
    page.resize(300, 400);
    page.show();
    for (auto _ : state)
        page.RefreshList();
}
BENCHMARK(BM_OrderListRefresh100k)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_OrderListDrop100k(benchmark::State& state)
{
    EnsureQtApplication();
    Drawing drawing(100000);
    CWorkPageMetaList page;
    page.SetOwner(&drawing.ctx, nullptr);
    page.resize(300, 400);
    page.show();
    page.RefreshList();
    int row = 99999;
    for (auto _ : state) {
        page.SelectRowObject(row);
        page.MoveSelectedTo(0);
        row = 99999;
    }
}
// Each drop is an undo step: a whole-document snapshot of the 100,000 objects.
BENCHMARK(BM_OrderListDrop100k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RealArray100x100(benchmark::State& state)
{
    EnsureQtApplication();
    for (auto _ : state) {
        state.PauseTiming();
        Drawing drawing(1);
        drawing.ctx.m_pCurrent->m_pFirst->SetSelected(1);
        drawing.ctx.m_rcSelect = drawing.ctx.m_pCurrent->m_pFirst->GetBoundRect();
        CWorkPageSet page;
        page.SetOwner(&drawing.ctx, nullptr);
        page.m_nRealCountX = 100;
        page.m_nRealCountY = 100;
        page.m_dRealGapX = 1.0;
        page.m_dRealGapY = 1.0;
        page.ShowFields();
        state.ResumeTiming();
        page.RealArray();
        state.PauseTiming();
        if (drawing.ctx.m_nChangeCount != 1)
            state.SkipWithError("the array was not one step");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RealArray100x100)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
