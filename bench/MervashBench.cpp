// Refilling Mervash's grid after an edit: 10 languages of 1,000 strings.
#include "QtBench.h"
#include "langeditor/MervashDlg.h"
#include "settings/HexUtf16Text.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

static void BM_MervashRefill10x1000(benchmark::State& state)
{
    EnsureQtApplication();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("mervash-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (int lang = 0; lang < 10; ++lang) {
        std::ofstream out(folder / (HexUtf16Text(u"Lang" + std::u16string(1, char16_t(u'A' + lang))) + ".txt"),
                          std::ios::binary);
        for (int row = 0; row < 1000; ++row) {
            const std::string text = (row % 100 == 0 ? "phase" : "string ") + std::to_string(row);
            out << HexUtf16Text(std::u16string(text.begin(), text.end())) << "\r\n";
        }
    }
    CMervashDlg dialog(folder.string() + "/");
    for (auto _ : state)
        dialog.Refill();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_MervashRefill10x1000)->Unit(benchmark::kMillisecond);
