// Drawing import through the dispatcher, against a plain pass over the same
// bytes that parses every number: the import (reading, scaling, uniting,
// node reduction) should stay within twice the plain pass.
#include "importexport/FileReadTrans.h"
#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/Folders.h"
#include "platform/TextFile.h"
#include "settings/SoftwareSettings.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

// A scratch program folder, so the settings the import writes stay out of
// the user's parameter folder; removed at exit.
const std::string& ScratchFolder()
{
    static const std::string folder = [] {
        char pattern[] = "/tmp/brenvik-bench-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr)
            std::abort();
        const std::string root = std::string(made) + "/";
        std::filesystem::create_directories(root + "work");
        plat::WriteWholeFile(root + "workPath.txt", root + "work/\r\n");
        plat::SetProgramFolderForTesting(root);
        static const std::string* kept = new std::string(root);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(*kept, ec);
        });
        return root;
    }();
    return folder;
}

// About 50 MB of HPGL: paths of 20 points on 8 pens, each a random walk
// from a random start, written as a plotter driver writes them.
const std::string& HpglFile()
{
    static const std::string path = [] {
        std::mt19937 rng(5);
        std::uniform_int_distribution<int> start(0, 400000);
        std::uniform_int_distribution<int> step(-400, 400);
        std::string text = "IN;";
        int pen = 0;
        while (text.size() < 50u * 1000u * 1000u) {
            if (pen % 50 == 0)
                text += "SP" + std::to_string(pen / 50 % 8 + 1) + ";";
            ++pen;
            int x = start(rng), y = start(rng);
            text += "PU" + std::to_string(x) + "," + std::to_string(y) + ";PD";
            for (int k = 0; k < 19; ++k) {
                x += step(rng);
                y += step(rng);
                text += (k == 0 ? "" : ",") + std::to_string(x) + "," + std::to_string(y);
            }
            text += ";\n";
        }
        text += "SP0;";
        const std::string file = ScratchFolder() + "bench.plt";
        plat::WriteWholeFile(file, text);
        return file;
    }();
    return path;
}

void BM_HpglPlainNumberPass50MB(benchmark::State& state)
{
    const std::string& path = HpglFile();
    for (auto _ : state) {
        std::string bytes;
        plat::ReadWholeFile(path, bytes);
        double sum = 0.0;
        const char* p = bytes.data();
        const char* end = p + bytes.size();
        while (p < end) {
            if ((*p >= '0' && *p <= '9') || *p == '-') {
                double v = 0.0;
                const auto r = std::from_chars(p, end, v);
                sum += v;
                p = r.ptr == p ? p + 1 : r.ptr;
            } else {
                ++p;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_HpglPlainNumberPass50MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// One import into a new document, which is then freed.
bool ImportOnce(const std::string& path, SoftwareSettings& settings, benchmark::State* state)
{
    DOCCONTEXT ctx;
    ctx.m_pSettings = &settings;
    ctx.m_pCurrent = new CDocListNode;
    if (state != nullptr)
        state->ResumeTiming();
    CFileReadTrans dispatcher;
    const bool ok = dispatcher.ReadFile(&ctx, path, true);
    if (state != nullptr)
        state->PauseTiming();
    CDocListNode* oldest = ctx.m_pCurrent;
    while (oldest->m_pOlder != nullptr)
        oldest = oldest->m_pOlder;
    CDocState::DeleteHistoryChain(oldest);
    return ok;
}

void BM_HpglImport50MB(benchmark::State& state)
{
    const std::string& path = HpglFile();
    SoftwareSettings settings;
    settings.SetPaletteAndInterfaceDefaults();
    settings.SetOptionDefaults();
    // The first run pays for the heap's first growth; the plain pass has
    // its warm-up in its own first iteration too.
    ImportOnce(path, settings, nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        if (!ImportOnce(path, settings, &state))
            state.SkipWithError("import failed");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_HpglImport50MB)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
