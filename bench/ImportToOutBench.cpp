// A large drawing from file to machine job as the operator takes it: the
// generated 1,000,000-entity DXF imported through File > Import (command
// 32784) into a document window of a shown main frame, offscreen, its first
// paint, then saved as a .out work file through the transfer dialog. Target:
// under 5 s in all; each stage is reported (import_s, paint_s, save_s). The
// argument is the side of the square the entities are scattered over, in
// millimetres: 550 lays them over the table, 100 is the import benchmarks'
// file, where about 600 boxes overlap at every point.
#include "DxfBenchFile.h"
#include "EditViewBench.h"
#include "app/CommandRouter.h"
#include "app/QtMessagePoster.h"
#include "app/Resources.h"
#include "platform/CodePage.h"
#include "platform/ImportOptions.h"
#include "platform/Prompt.h"
#include "ui/TransLoadProcessDlg.h"
#include "ui/WorkDownloadSet.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_DxfMillionEntitiesImportedShownAndSavedAsOut(benchmark::State& state)
{
    char pattern[] = "/tmp/brenvik-bench-out-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::string folder = std::string(pattern) + "/";
    const std::string dxf = plat::DxfFile(folder, static_cast<int>(state.range(0)));
    const std::string out = folder + "job.out";

    QtMessagePoster poster;
    plat::SetMessagePoster(&poster);
    plat::RecordingPrompt prompt;
    plat::SetPrompt(&prompt);
    plat::HeadlessImportOptions options;
    plat::SetImportOptions(&options);
    COrvelView::SetImportChooserForTesting([&dxf](const std::string&, std::string& path, bool&) {
        path = dxf;
        return true;
    });

    double import = 0.0, paint = 0.0, save = 0.0;
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        plat::EditView v;
        if (!plat::MakeEditView(v, 0)) {
            state.SkipWithError("the frame could not be built");
            break;
        }
        std::filesystem::remove(out);
        state.ResumeTiming();

        auto start = std::chrono::steady_clock::now();
        v.frame->Router().Execute(cmd::FileImport);
        import += SecondsSince(start);

        start = std::chrono::steady_clock::now();
        v.view->InvalidateRect(nullptr, false);
        v.view->UpdateWindow();
        paint += SecondsSince(start);

        start = std::chrono::steady_clock::now();
        const bool saved =
            CWorkDownloadSet::RunTransfer(v.view->Context(), CTransLoadProcessDlg::MODE_SAVE, plat::Utf8ToUtf16(out), 0);
        save += SecondsSince(start);

        state.PauseTiming();
        std::error_code ec;
        bytes = std::filesystem::file_size(out, ec);
        if (!saved || ec || bytes == 0) {
            const std::string said =
                prompt.m_shown.empty() ? std::string() : ": " + plat::Utf16ToUtf8(prompt.m_shown.back().text);
            state.SkipWithError(("the job was not saved" + said).c_str());
            break;
        }
        // The documents go before the frame they live in.
        v.documents.reset();
        v.frame.reset();
        state.ResumeTiming();
    }
    const double runs = state.iterations() > 0 ? double(state.iterations()) : 1.0;
    state.counters["import_s"] = import / runs;
    state.counters["paint_s"] = paint / runs;
    state.counters["save_s"] = save / runs;
    state.counters["out_MB"] = double(bytes) / 1e6;

    COrvelView::SetImportChooserForTesting(nullptr);
    plat::SetImportOptions(nullptr);
    plat::SetPrompt(nullptr);
    plat::SetMessagePoster(nullptr);
    // The generated drawing is some 50 MB: a folder left per run fills /tmp.
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}
BENCHMARK(BM_DxfMillionEntitiesImportedShownAndSavedAsOut)->Arg(550)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
