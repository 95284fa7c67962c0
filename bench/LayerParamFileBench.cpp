// The layer parameter file is read at every start and written after every
// change of a layer: 256 groups of 49 entries, 25,088 lines.
#include "settings/ReadParamFile.h"
#include "settings/WorkParams.h"
#include "platform/Folders.h"
#include "platform/TextFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// A program folder of its own, so the benchmark never touches the user's
// settings: workPath.txt names <root>/work/, the parameter folder is <root>/.
class ScratchFolder {
public:
    ScratchFolder()
    {
        char pattern[] = "/tmp/brenvik-bench-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        m_root = std::string(made != nullptr ? made : "/tmp") + "/";
        plat::WriteWholeFile(m_root + "workPath.txt", m_root + "work/\r\n");
        plat::SetProgramFolderForTesting(m_root);
    }
    ~ScratchFolder()
    {
        plat::SetProgramFolderForTesting("");
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }

private:
    std::string m_root;
};

void BM_WriteWorkParam(benchmark::State& state)
{
    ScratchFolder scratch;
    WorkParams* list = MakeDefaultLayerList();
    for (auto _ : state)
        benchmark::DoNotOptimize(CReadParamFile().WriteWorkParam(list));
    FreeWorkParamList(list);
}
BENCHMARK(BM_WriteWorkParam)->Unit(benchmark::kMillisecond);

void BM_ReadWorkParam(benchmark::State& state)
{
    ScratchFolder scratch;
    WorkParams* list = MakeDefaultLayerList();
    for (WorkParams* r = list; r != nullptr; r = r->m_pNext) {
        r->m_b_speed = 12.345678 + r->m_group_num;
        r->m_s_z_rish = 0.1;
    }
    CReadParamFile().WriteWorkParam(list);
    FreeWorkParamList(list);
    for (auto _ : state) {
        WorkParams* read = CReadParamFile().ReadWorkParam();
        benchmark::DoNotOptimize(read);
        FreeWorkParamList(read);
    }
}
BENCHMARK(BM_ReadWorkParam)->Unit(benchmark::kMillisecond);

} // namespace
