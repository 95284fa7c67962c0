// The machine control page's port search over COM1 to COM100 on a computer
// without serial adapters. It runs on the user-interface thread, which only
// the designed waits (after a jog press, between closing connections) may
// hold. Target: under 10 ms.
#include "QtBench.h"
#include "settings/SoftwareSettings.h"
#include "ui/WorkPageWork.h"

#include <QComboBox>

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

} // namespace
