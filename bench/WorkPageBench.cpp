// The machine control page's port search over COM1 to COM100 on a computer
// without serial adapters. It runs on the user-interface thread, which only
// the designed waits (after a jog press, between closing connections) may
// hold. Target: under 10 ms.
//
// The layer list is rebuilt after every edit of the drawing: 100,000 objects
// on 10 layers, target under 5 ms. Moving a layer of 50,000 objects is one
// history push and one pass over the list.
#include "QtBench.h"
#include "model/DocContext.h"
#include "model/DocDataRect.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"
#include "ui/WorkPageWork.h"

#include <QComboBox>
#include <QTableWidget>

#include <benchmark/benchmark.h>

namespace {

void BM_PortSearchWithoutAdapters(benchmark::State& state)
{
    UseScratchFolders();
    EnsureQtApplication();
    QWidget host;
    CWorkPageWork page;
    page.Create(&host);
    auto* ports = page.findChild<QComboBox*>(QStringLiteral("1154"));
    for (auto _ : state)
        page.OnPortSearch();
    state.counters["listed"] = ports != nullptr ? ports->count() : -1;
    state.counters["port"] = g_settings.m_nComPort;
}
BENCHMARK(BM_PortSearchWithoutAdapters)->Unit(benchmark::kMicrosecond);

// A drawing of `count` small rectangles, layer k holding the k-th tenth.
CDocListNode* LayeredDrawing(DOCCONTEXT& context, int count)
{
    auto* node = new CDocListNode;
    CDocData* tail = nullptr;
    for (int i = 0; i < count; ++i) {
        auto* o = new CDocDataRect(CGeoBox(i, i + 1.0, 0.0, 1.0), &context, 0);
        o->m_nLayer = i * 10 / count;
        o->m_pPrev = tail;
        (tail != nullptr ? tail->m_pNext : node->m_pFirst) = o;
        tail = o;
    }
    return node;
}

void BM_RefreshLayerList(benchmark::State& state)
{
    UseScratchFolders();
    EnsureQtApplication();
    if (g_settings.m_pLayers == nullptr)
        g_settings.m_pLayers = MakeDefaultLayerList();
    DOCCONTEXT context;
    context.m_pSettings = &g_settings;
    context.m_pCurrent = LayeredDrawing(context, 100000);
    QWidget host;
    CWorkPageWork page;
    page.Create(&host);
    page.FillDeviceList(&context, nullptr);
    for (auto _ : state)
        page.RefreshLayerList();
    state.counters["rows"] = page.LayerList()->rowCount();
    page.FillDeviceList(nullptr, nullptr);
    delete context.m_pCurrent;
}
BENCHMARK(BM_RefreshLayerList)->Unit(benchmark::kMillisecond);

void BM_MoveLayerOf50000Objects(benchmark::State& state)
{
    DOCCONTEXT context;
    context.m_pSettings = &g_settings;
    context.m_pCurrent = LayeredDrawing(context, 100000);
    // The upper half of the drawing: layers 5 to 9.
    int k = 0;
    for (CDocData* o = context.m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext, ++k)
        o->SetSelected(k >= 50000 ? 1 : 0);
    for (auto _ : state) {
        CGeoBox box;
        CWorkPageWork::MoveSelectionToRow(&context, 0, box);
        state.PauseTiming();
        CDocListNode* oldest = context.m_pCurrent;
        while (oldest->m_pOlder != nullptr)
            oldest = oldest->m_pOlder;
        // Keep only the live drawing: the history would grow with every run.
        if (oldest != context.m_pCurrent) {
            context.m_pCurrent->m_pOlder = nullptr;
            oldest->m_pNewer = nullptr;
            CDocState::DeleteHistoryChain(oldest);
        }
        state.ResumeTiming();
    }
    delete context.m_pCurrent;
}
BENCHMARK(BM_MoveLayerOf50000Objects)->Unit(benchmark::kMillisecond);

} // namespace
