// Start-up of the main window: constructing the frame (settings, language
// table, folders), building its bars and menus, and showing it maximised
// until the window is exposed, offscreen. Target: under 0.5 s.
#include "QtBench.h"
#include "app/MainFrame.h"

#include <QWindow>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace {

// The data, config and runtime folders in scratch space, once: the frame
// writes its parameter files and empties its work folder.
void UseScratchFolders()
{
    static const bool done = [] {
        char pattern[] = "/tmp/brenvik-bench-XXXXXX";
        const std::string root = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
        for (const char* sub : {"/run", "/data", "/config"})
            ::mkdir((root + sub).c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        return true;
    }();
    (void)done;
}

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
