// Feeds arbitrary bytes as each settings file (machine list, layer
// parameters, software options, nesting and light-guide settings) and checks
// that every reader gives a well-formed result that writes and reads back the
// same.
#include "FuzzScratch.h"
#include "settings/BarrierParams.h"
#include "settings/MachineNode.h"
#include "settings/NestSettings.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"
#include "platform/TextFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::u16string> MachineNames(const MachineNode* head)
{
    std::vector<std::u16string> names;
    for (const MachineNode* m = head; m != nullptr; m = m->m_next) {
        if ((m->m_next != nullptr && m->m_next->m_prev != m) || m->m_tech == nullptr ||
            m->m_name[kMachineNameSize - 1] != u'\0')
            std::abort();
        names.push_back(m->Name());
    }
    return names;
}

int CountLayers(const WorkParams* head)
{
    int n = 0;
    for (; head != nullptr; head = head->m_pNext)
        ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string root = FuzzScratchFolder();
    const std::string text(reinterpret_cast<const char*>(data), size);
    CReadParamFile files;

    plat::WriteWholeFile(root + "MacInfo.par", text);
    std::int32_t cur = 0;
    MachineNode* machines = files.ReadMacInfo(&cur);
    const std::vector<std::u16string> names = MachineNames(machines);
    files.WriteMacInfo(machines, cur);
    FreeMachineList(machines);
    std::int32_t curAgain = 0;
    machines = files.ReadMacInfo(&curAgain);
    // Names that the code page cannot hold come back as '?', so only the
    // count and the index must agree.
    if (MachineNames(machines).size() != names.size() || curAgain != cur)
        std::abort();
    FreeMachineList(machines);

    plat::WriteWholeFile(root + "WorkParam.par", text);
    WorkParams* layers = files.ReadWorkParam();
    if (CountLayers(layers) != kLayerCount)
        std::abort();
    FreeWorkParamList(layers);

    plat::WriteWholeFile(root + "software.par", text);
    SoftwareSettings settings;
    files.ReadSoftwareParam(settings);
    if (settings.path_hight < 0.5 || settings.use_comebin > 1 || settings.show_net > 1)
        std::abort();

    plat::WriteWholeFile(root + "nest.par", text);
    NestSettings nest;
    files.ReadNestParam(nest);

    plat::WriteWholeFile(root + "Bari.par", text);
    BARRIERPARAMS barrier;
    if (!files.ReadBarrierParam(barrier))
        std::abort();
    return 0;
}
