// What the interface waits for before it shows long work going on a
// generated drawing of 1,000,000 entities: the work preview's first frame
// (the dialog opened, its build started, the dialog painted) and the
// download dialog's first progress step (opened to save a work file, until
// its bar first moves). Each build is cancelled once measured.
#include "MillionDrawing.h"
#include "QtBench.h"

#include "qtplatform/DialogBase.h"
#include "qtplatform/LongWork.h"
#include "qtplatform/QtMessagePoster.h"
#include "platform/Messages.h"
#include "settings/TransThreadInfo.h"
#include "ui/PathPreviewDlg.h"
#include "ui/TransLoadProcessDlg.h"
#include "ui/XPButton.h"

#include <QElapsedTimer>
#include <QProgressBar>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr qint64 kGiveUpMs = 20000;

// Opens a dialog as its modal run does, without waiting in its loop.
void Open(CDialogBase& dialog)
{
    CDialogBase::SetModalAnswerForTesting([](CDialogBase&) { return 2; });
    dialog.DoModal();
    CDialogBase::SetModalAnswerForTesting({});
}

void BM_PreviewFirstFrameOfAMillionEntities(benchmark::State& state)
{
    EnsureQtApplication();
    MillionDrawing& d = Drawing();
    for (auto _ : state) {
        state.PauseTiming();
        auto dialog = std::make_unique<CPathPreviewDlg>(d.ctx);
        state.ResumeTiming();
        Open(*dialog);
        benchmark::DoNotOptimize(dialog->grab());
        state.PauseTiming();
        if (dialog->JobReady())
            state.SkipWithError("the job was built before the first frame");
        dialog.reset();
        LongWork::JoinCancelled();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PreviewFirstFrameOfAMillionEntities)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

void BM_DownloadFirstProgressStepOfAMillionEntities(benchmark::State& state)
{
    EnsureQtApplication();
    UseScratchFolders();
    MillionDrawing& d = Drawing();
    QtMessagePoster poster;
    plat::SetMessagePoster(&poster);
    const std::u16string path = u"/tmp/brenvik-bench-million.out";
    for (auto _ : state) {
        state.PauseTiming();
        auto dialog = std::make_unique<CTransLoadProcessDlg>(d.ctx, CTransLoadProcessDlg::MODE_SAVE, path, 0);
        state.ResumeTiming();
        Open(*dialog);
        QElapsedTimer waited;
        waited.start();
        while (dialog->ProgressBar()->value() <= 0 && waited.elapsed() < kGiveUpMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        state.PauseTiming();
        if (dialog->ProgressBar()->value() <= 0)
            state.SkipWithError("the bar never moved");
        dialog->CancelButton()->click();
        dialog.reset();
        LongWork::JoinCancelled();
        state.ResumeTiming();
    }
    CloseMachineConnections(d.settings.m_pMachines, false);
    plat::SetMessagePoster(nullptr);
}
BENCHMARK(BM_DownloadFirstProgressStepOfAMillionEntities)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

} // namespace
