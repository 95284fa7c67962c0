// Drawing import through the dispatcher. HPGL against a plain pass over the
// same bytes that parses every number: the import (reading, scaling,
// uniting, node reduction) should stay within twice the plain pass. A
// 20 MB Illustrator file of 100,000 paths and a DST file of 1,000,000
// stitches should each import in under a second. DXF against a plain pass
// that reads every group code and value of the same file as numbers: the
// import should stay within twice that pass. A megabyte of degree-31
// splines should be read in under a second (against the same file of
// cubic splines).
#include "DxfBenchFile.h"
#include "PeakMemory.h"
#include "importexport/FileReadTrans.h"
#include "importexport/FileTransDxf.h"
#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/Folders.h"
#include "platform/TextFile.h"
#include "settings/SoftwareSettings.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
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

// About 20 MB of Illustrator text: 100,000 paths of a moveto and three
// curves, stroked in one of five colours.
const std::string& AiFile()
{
    static const std::string path = [] {
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> start(0.0, 2000.0);
        std::uniform_real_distribution<double> step(-20.0, 20.0);
        std::string text = "%!PS-Adobe-3.0\n%%EndSetup\n%AI5_BeginLayer\n";
        char line[160];
        for (int p = 0; p < 100000; ++p) {
            if (p % 20 == 0) {
                std::snprintf(line, sizeof line, "0 0 0 %.1f K\n", (p / 20 % 5) * 0.2);
                text += line;
            }
            double x = start(rng), y = start(rng);
            std::snprintf(line, sizeof line, "%.4f %.4f m\n", x, y);
            text += line;
            for (int k = 0; k < 3; ++k) {
                const double x1 = x + step(rng), y1 = y + step(rng), x2 = x + step(rng), y2 = y + step(rng);
                x += step(rng);
                y += step(rng);
                std::snprintf(line, sizeof line, "%.4f %.4f %.4f %.4f %.4f %.4f c\n", x1, y1, x2, y2, x, y);
                text += line;
            }
            text += "S\n";
        }
        text += "%AI5_EndLayer--\n%%EOF\n";
        const std::string file = ScratchFolder() + "bench.ai";
        plat::WriteWholeFile(file, text);
        return file;
    }();
    return path;
}

// 1,000,000 DST stitches of up to 12 units each way, a jump every 1,000
// stitches and a colour change every 100,000.
const std::string& DstFile()
{
    static const std::string path = [] {
        std::mt19937 rng(9);
        std::uniform_int_distribution<int> move(-12, 12);
        std::string bytes(512, ' ');
        // Balanced ternary of -13 .. 13 over the weights 1, 3, 9 of byte 0
        // and byte 1's 3: enough for the small moves generated here.
        auto encode = [](int v, std::uint8_t& b0, std::uint8_t& b1, bool isX) {
            int digits[3] = {0, 0, 0};
            for (int i = 0; i < 3; ++i) {
                int r = ((v % 3) + 3) % 3;
                if (r == 2)
                    r = -1;
                digits[i] = r;
                v = (v - r) / 3;
            }
            // x: byte 0 bits 0x01/0x02 (1), byte 1 0x01/0x02 (3), byte 0 0x04/0x08 (9);
            // y: byte 0 0x80/0x40 (1), byte 1 0x80/0x40 (3), byte 0 0x20/0x10 (9).
            if (isX) {
                b0 |= digits[0] > 0 ? 0x01 : digits[0] < 0 ? 0x02 : 0;
                b1 |= digits[1] > 0 ? 0x01 : digits[1] < 0 ? 0x02 : 0;
                b0 |= digits[2] > 0 ? 0x04 : digits[2] < 0 ? 0x08 : 0;
            } else {
                b0 |= digits[0] > 0 ? 0x80 : digits[0] < 0 ? 0x40 : 0;
                b1 |= digits[1] > 0 ? 0x80 : digits[1] < 0 ? 0x40 : 0;
                b0 |= digits[2] > 0 ? 0x20 : digits[2] < 0 ? 0x10 : 0;
            }
        };
        for (int i = 0; i < 1000000; ++i) {
            std::uint8_t b0 = 0, b1 = 0, b2 = 0x03;
            encode(move(rng), b0, b1, true);
            encode(move(rng), b0, b1, false);
            if (i % 100000 == 99999)
                b2 |= 0xC0;
            else if (i % 1000 == 999)
                b2 |= 0x80;
            bytes += static_cast<char>(b0);
            bytes += static_cast<char>(b1);
            bytes += static_cast<char>(b2);
        }
        bytes += std::string("\0\0\xF3", 3);
        const std::string file = ScratchFolder() + "bench.dst";
        plat::WriteWholeFile(file, bytes);
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

void ImportEach(benchmark::State& state, const std::string& path)
{
    SoftwareSettings settings;
    settings.SetPaletteAndInterfaceDefaults();
    settings.SetOptionDefaults();
    ImportOnce(path, settings, nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        if (!ImportOnce(path, settings, &state))
            state.SkipWithError("import failed");
        state.ResumeTiming();
    }
}

void BM_AiImport100kPaths(benchmark::State& state) { ImportEach(state, AiFile()); }
BENCHMARK(BM_AiImport100kPaths)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DstImport1MStitches(benchmark::State& state) { ImportEach(state, DstFile()); }
BENCHMARK(BM_DstImport1MStitches)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace


namespace {

const std::string& DxfFile()
{
    return plat::DxfFile(ScratchFolder(), 100);
}

// Every line read: the codes as integers, the values as their codes' types.
void BM_DxfPlainGroupPass50MB(benchmark::State& state)
{
    const std::string& path = DxfFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(plat::PlainDxfGroupPass(path));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_DxfPlainGroupPass50MB)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DxfImport50MB(benchmark::State& state)
{
    const std::string& path = DxfFile();
    SoftwareSettings settings;
    settings.SetPaletteAndInterfaceDefaults();
    settings.SetOptionDefaults();
    settings.dxf_dimension = 0;
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
BENCHMARK(BM_DxfImport50MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// About 1 MB of clamped splines of the given degree with 64 control points
// each, waving across 200 mm, as a CAD program writes them.
std::string SplineFile(int degree)
{
    std::mt19937 rng(41);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::string text = "0\nSECTION\n2\nENTITIES\n";
    constexpr int kControls = 64;
    char line[64];
    for (int e = 0; text.size() < 1000000; ++e) {
        text += "0\nSPLINE\n8\n0\n70\n8\n71\n" + std::to_string(degree) + "\n72\n" +
                std::to_string(kControls + degree + 1) + "\n73\n" + std::to_string(kControls) + "\n74\n0\n";
        for (int k = 0; k < kControls + degree + 1; ++k) {
            const int knot = std::clamp(k - degree, 0, kControls - degree);
            std::snprintf(line, sizeof line, "40\n%d\n", knot);
            text += line;
        }
        const double y0 = (e % 100) * 3.0;
        for (int k = 0; k < kControls; ++k) {
            std::snprintf(line, sizeof line, "10\n%.3f\n20\n%.3f\n30\n0.0\n", k * 200.0 / kControls,
                          y0 + 20.0 * unit(rng));
            text += line;
        }
    }
    return text + "0\nENDSEC\n0\nEOF\n";
}

// The reader alone; the argument is the degree.
void BM_DxfSplines1MB(benchmark::State& state)
{
    const std::string bytes = SplineFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CFileTransDxf reader;
        reader.SetUnitChoice(0);
        CDocData* list = nullptr;
        if (!reader.ReadDxfBytes(bytes, list, nullptr))
            state.SkipWithError("read failed");
        state.PauseTiming();
        double objects = 0, nodes = 0;
        for (const CDocData* o = list; o != nullptr; o = o->m_pNext, ++objects)
            nodes += CountNodes(o->m_pNodes);
        state.counters["splines"] = objects;
        state.counters["points"] = nodes;
        DeleteObjectList(list);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_DxfSplines1MB)->Arg(3)->Arg(31)->Unit(benchmark::kMillisecond)->Iterations(1);

// The mixed drawing, as the first import of a fresh process against the
// plain pass before it: run the program once per measurement with
// --benchmark_filter=DxfMixed. Target: within 2.5 times the plain pass.
// Each reports the resident-memory peak of its own run.
void BM_DxfMixedPlainPass(benchmark::State& state)
{
    const std::string& path = plat::MixedDxfFile(ScratchFolder());
    for (auto _ : state) {
        state.PauseTiming();
        plat::ResetPeakMemory();
        state.ResumeTiming();
        benchmark::DoNotOptimize(plat::PlainDxfGroupPass(path));
    }
    state.counters["peak_MiB"] = plat::PeakMemoryMiB();
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_DxfMixedPlainPass)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_DxfMixedImport(benchmark::State& state)
{
    const std::string& path = plat::MixedDxfFile(ScratchFolder());
    SoftwareSettings settings;
    settings.SetPaletteAndInterfaceDefaults();
    settings.SetOptionDefaults();
    for (auto _ : state) {
        state.PauseTiming();
        plat::ResetPeakMemory();
        if (!ImportOnce(path, settings, &state))
            state.SkipWithError("import failed");
        state.ResumeTiming();
    }
    state.counters["peak_MiB"] = plat::PeakMemoryMiB();
}
BENCHMARK(BM_DxfMixedImport)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
