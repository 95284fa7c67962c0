// Feeds arbitrary bytes as each settings file (machine list, layer
// parameters, software options, nesting and light-guide settings, a machine
// parameter file) and checks that every reader gives a well-formed result
// that writes and reads back the same.
#include "FuzzScratch.h"
#include "settings/BarrierParams.h"
#include "settings/MachineNode.h"
#include "settings/MachineParams.h"
#include "settings/NestSettings.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"
#include "settings/WorkParams.h"
#include "platform/TextFile.h"

#include <cmath>
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

// Every real of a parameter block is a finite number; the speed rate one of
// single precision.
void CheckDefined(const MachineParams& p)
{
    const double reals[] = {
        p.m_metal_down_delay, p.m_metal_up_delay, p.m_metal_uplift_dis, p.m_refer_dinameter,
        p.m_refer_resolution, p.m_wheel_dinameter, p.m_laser_frequency, p.m_laser_min_power,
        p.m_laser_max_power, p.m_laser_oc_delay, p.m_laser_pluse_width, p.m_metal_hanging,
        p.m_metal_free_updis, p.m_metal_finish_updis, p.m_x_resolution, p.m_x_max_speed, p.m_x_min_speed,
        p.m_x_acceleration, p.m_x_acc_acceleration, p.m_x_journey, p.m_y_resolution, p.m_y_max_speed,
        p.m_y_min_speed, p.m_y_acceleration, p.m_y_acc_acceleration, p.m_y_journey, p.m_z_resolution,
        p.m_z_max_speed, p.m_z_min_speed, p.m_z_acceleration, p.m_z_acc_acceleration, p.m_z_journey,
        p.m_u_resolution, p.m_u_max_speed, p.m_u_min_speed, p.m_u_acceleration, p.m_u_acc_acceleration,
        p.m_u_journey, p.m_v_resolution, p.m_v_max_speed, p.m_v_min_speed, p.m_v_acceleration,
        p.m_v_acc_acceleration, p.m_v_journey, p.m_corner_speed, p.m_cut_mode_acc, p.m_mac_back_speed,
        p.m_mac_pluse_time, p.m_free_speed, p.m_free_acc, p.m_speed_rate};
    for (double r : reals)
        if (!std::isfinite(r))
            std::abort();
    if (static_cast<double>(static_cast<float>(p.m_speed_rate)) != p.m_speed_rate)
        std::abort();
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

    plat::WriteWholeFile(root + "fuzz.machine", text);
    MachineNode entry;
    if (!files.ReadMachineFile(&entry, root + "fuzz.machine") || entry.m_params == nullptr)
        std::abort();
    CheckDefined(*entry.m_params);
    volatile std::uint32_t sink = MachineParamWriteArray(*entry.m_params)[5];
    (void)sink;
    if (!files.WriteMachineFile(&entry, root + "again.machine"))
        std::abort();
    MachineNode again;
    if (!files.ReadMachineFile(&again, root + "again.machine") ||
        !IsSameMachineParam(*entry.m_params, *again.m_params))
        std::abort();

    plat::WriteWholeFile(root + "Bari.par", text);
    BARRIERPARAMS barrier;
    if (!files.ReadBarrierParam(barrier))
        std::abort();
    return 0;
}
