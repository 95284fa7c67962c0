// Start-up of the main window: constructing the frame (settings, language
// table, folders), building its bars and menus, and showing it maximised
// until the window is exposed, offscreen. Target: under 0.5 s.
#include "QtBench.h"
#include "app/MainFrame.h"

#include <QWindow>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void BM_MainFrameToShownWindow(benchmark::State& state)
{
    UseScratchFolders();
    EnsureQtApplication();
    for (auto _ : state) {
        auto frame = std::make_unique<CMainFrame>();
        if (!frame->Create()) {
            state.SkipWithError("the frame could not be built");
            break;
        }
        frame->showMaximized();
        while (frame->windowHandle() == nullptr || !frame->windowHandle()->isExposed())
            QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        state.PauseTiming();
        frame.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MainFrameToShownWindow)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
