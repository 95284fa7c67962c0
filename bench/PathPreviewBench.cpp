#include "QtBench.h"

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
#include "ui/PathPreviewDlg.h"

#include <QWidget>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

constexpr double kO = 500000.0;

// 100,000 zigzags of ten nodes (9 mm each) on a 2,000 x 200 mm sheet, one
// cut layer, drawing order.
struct PreviewJob {
    SoftwareSettings settings;
    MachineNode machine;
    CDocListNode document;
    DOCCONTEXT ctx;

    PreviewJob()
    {
        settings.SetOptionDefaults();
        settings.use_path = 0;
        settings.m_pLayers = MakeDefaultLayerList();
        machine.m_orign = 1;
        settings.m_pMachines = &machine;
        CDocData* prev = nullptr;
        for (int row = 0; row < 100; ++row) {
            for (int col = 0; col < 1000; ++col) {
                DOCNODE* head = nullptr;
                DOCNODE* last = nullptr;
                for (int k = 0; k < 10; ++k) {
                    last = AppendNode(last, kO + (col * 2.0 + k * 0.1) * 10.0,
                                      kO + (row * 2.0 + (k % 2) * 0.995) * 10.0);
                    if (head == nullptr)
                        head = last;
                }
                auto* line = new CDocDataLine(head, 1, nullptr);
                line->m_pPrev = prev;
                if (prev != nullptr)
                    prev->m_pNext = line;
                else
                    document.m_pFirst = line;
                prev = line;
            }
        }
        ctx.m_pSettings = &settings;
        ctx.m_pCurrent = &document;
    }
    ~PreviewJob()
    {
        settings.m_pMachines = nullptr;
        FreeWorkParamList(settings.m_pLayers);
    }
};

PreviewJob& Job()
{
    static PreviewJob* job = new PreviewJob;
    return *job;
}

// Sets the dialog up as its modal run does, and waits for its job.
void Open(CPathPreviewDlg& dlg)
{
    CDialogBase::SetModalAnswerForTesting([](CDialogBase&) { return 2; });
    dlg.DoModal();
    CDialogBase::SetModalAnswerForTesting({});
    while (!dlg.JobReady())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::unique_ptr<CPathPreviewDlg> OpenPreview()
{
    auto dlg = std::make_unique<CPathPreviewDlg>(Job().ctx);
    Open(*dlg);
    return dlg;
}

// The job generation alone, to be taken off the opening below.
void BM_PreviewJobGeneration(benchmark::State& state)
{
    EnsureQtApplication();
    PreviewJob& job = Job();
    for (auto _ : state) {
        WORKHEAD header;
        if (!CFileTrans::MakeWorkData(&header, &job.ctx, "review"))
            state.SkipWithError("no job");
        state.PauseTiming();
        FreePathRecordGroups(header.m_layers);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PreviewJobGeneration)->Unit(benchmark::kMillisecond)->Iterations(5);

// Opening to a drawn picture: the job built off the interface thread and
// fitted into the picture there, then the first paint of the picture
// control.
void BM_PreviewOpenAfterJobGeneration(benchmark::State& state)
{
    EnsureQtApplication();
    Job();
    for (auto _ : state) {
        state.PauseTiming();
        auto dlg = std::make_unique<CPathPreviewDlg>(Job().ctx);
        state.ResumeTiming();
        Open(*dlg);
        benchmark::DoNotOptimize(dlg->PictureControl()->grab());
        state.PauseTiming();
        dlg.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PreviewOpenAfterJobGeneration)->Unit(benchmark::kMillisecond)->Iterations(5);

// One tick at the default speed near the job's first path (0) and near its
// last (1): the position is kept, so both cost the same.
void BM_PreviewTick(benchmark::State& state)
{
    EnsureQtApplication();
    std::unique_ptr<CPathPreviewDlg> dlg = OpenPreview();
    dlg->OnStart();
    if (state.range(0) == 1) {
        // Far along at a high speed, then back to the default.
        for (int i = 0; i < 6; ++i)
            dlg->OnFaster();
        const double total = 100000 * 9 * 1.01 * dlg->Scale();
        const int ticks = static_cast<int>(total * 0.97 / dlg->Step());
        for (int i = 0; i < ticks; ++i)
            dlg->Tick();
        for (int i = 0; i < 6; ++i)
            dlg->OnSlower();
    }
    for (auto _ : state)
        dlg->Tick();
    if (dlg->RunState() != CPathPreviewDlg::RUNNING)
        state.SkipWithError("the run ended before the measurement did");
    state.counters["step_px"] = dlg->Step();
}
BENCHMARK(BM_PreviewTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Iterations(2000);

// The whole job at 10,000 pixels a tick: the time of all its ticks.
void BM_PreviewFullRunAt10000PixelsATick(benchmark::State& state)
{
    EnsureQtApplication();
    std::unique_ptr<CPathPreviewDlg> dlg = OpenPreview();
    // Faster and slower pressed until a tick spends 10,000 to 10,200 pixels:
    // the pair of them is 1.02 times the speed.
    while (dlg->Step() < 10000.0)
        dlg->OnFaster();
    dlg->OnSlower();
    while (dlg->Step() < 10000.0) {
        dlg->OnFaster();
        dlg->OnSlower();
    }
    int ticks = 0;
    for (auto _ : state) {
        state.PauseTiming();
        dlg->OnStart();
        ticks = 0;
        state.ResumeTiming();
        while (dlg->RunState() == CPathPreviewDlg::RUNNING && ticks < 1000000) {
            dlg->Tick();
            ++ticks;
        }
    }
    state.counters["ticks"] = ticks;
    state.counters["step_px"] = dlg->Step();
}
BENCHMARK(BM_PreviewFullRunAt10000PixelsATick)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
