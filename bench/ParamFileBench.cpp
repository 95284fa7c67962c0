// Reading large parameter files: the technology reader links each row at the
// tail it keeps, so a file of n rows reads in time linear in n.
#include "settings/HexUtf16Text.h"
#include "settings/MachineTech.h"
#include "settings/ParamTextFile.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> TechLines(int rows)
{
    std::vector<std::string> lines{"cut repair", "1"};
    for (int i = 0; i < rows; ++i) {
        lines.insert(lines.end(), {"speed", std::to_string(i) + ".000000", "x rt", "0.100000", "y rt", "-0.200000"});
    }
    lines.emplace_back("cut end");
    return lines;
}

void BM_ReadTechRows(benchmark::State& state)
{
    const std::vector<std::string> lines = TechLines(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CMachineTech tech(u"bench-no-such-machine");
        tech.ReadLines(lines);
        benchmark::DoNotOptimize(tech.m_pCutRepair);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadTechRows)->RangeMultiplier(10)->Range(1000, 100000)->Complexity(benchmark::oN);

void BM_DecodeLanguageLines(benchmark::State& state)
{
    const std::string line = HexUtf16Text(std::u16string(60, u'图'));
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i)
            benchmark::DoNotOptimize(DecodeHexName(line));
    }
}
BENCHMARK(BM_DecodeLanguageLines);

} // namespace
