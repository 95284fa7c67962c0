#include "SettingsCopy.h"

#include "MachineNode.h"
#include "MachineTech.h"
#include "WorkParams.h"
#include "platform/ThreadCarry.h"

#include <algorithm>
#include <iterator>

namespace {

thread_local SoftwareSettings* t_settings = nullptr;

// A worker thread's settings follow its work onto the threads that run it
// side by side.
const bool g_carried = [] {
    plat::SetThreadCarry([]() -> void* { return t_settings; },
                         [](void* state) -> void* {
                             SoftwareSettings* old = t_settings;
                             t_settings = static_cast<SoftwareSettings*>(state);
                             return old;
                         });
    return true;
}();

CMachineTech* CopyTech(const CMachineTech& source)
{
    auto* copy = new CMachineTech(source.m_name);
    copy->Clear();
    for (const CARVEREPAIR* r = source.m_pCarveRepair; r != nullptr; r = r->next)
        copy->AppendCarveRepair(r->speed, r->inter);
    for (const SPEEDLIMIT* r = source.m_pSpeedLimit; r != nullptr; r = r->next)
        copy->AppendSpeedLimit(r->frame, r->speed);
    for (const CUTREPAIR* r = source.m_pCutRepair; r != nullptr; r = r->next)
        copy->AppendCutRepair(r->speed, r->x_rt, r->y_rt);
    copy->m_carve_use = source.m_carve_use;
    copy->m_cut_use = source.m_cut_use;
    copy->m_limit_use = source.m_limit_use;
    copy->m_disloc_use = source.m_disloc_use;
    copy->m_close_use = source.m_close_use;
    copy->m_close_repay = source.m_close_repay;
    return copy;
}

MachineNode* CopyMachine(const MachineNode& source)
{
    auto* copy = new MachineNode;
    std::copy(std::begin(source.m_name), std::end(source.m_name), std::begin(copy->m_name));
    copy->m_mac_type = source.m_mac_type;
    copy->m_link_type = source.m_link_type;
    copy->m_ip = source.m_ip;
    copy->m_ratio = source.m_ratio;
    copy->m_orign = source.m_orign;
    copy->m_dot = source.m_dot;
    copy->m_xsize = source.m_xsize;
    copy->m_ysize = source.m_ysize;
    if (source.m_tech != nullptr)
        copy->m_tech = CopyTech(*source.m_tech);
    return copy;
}

} // namespace

SettingsCopy::SettingsCopy(const SoftwareSettings& source) : m_settings(source)
{
    m_settings.m_pLayers = nullptr;
    m_settings.m_pMachines = nullptr;
    m_settings.m_pClipboard = nullptr;
    WorkParams* tail = nullptr;
    for (const WorkParams* p = source.m_pLayers; p != nullptr; p = p->m_pNext) {
        auto* copy = new WorkParams(*p);
        copy->m_pPrev = tail;
        copy->m_pNext = nullptr;
        (tail != nullptr ? tail->m_pNext : m_settings.m_pLayers) = copy;
        tail = copy;
    }
    if (const MachineNode* machine = GetCurrentMachine(source)) {
        m_settings.m_pMachines = CopyMachine(*machine);
        m_settings.m_nCurMachine = 0;
    }
}

SettingsCopy::~SettingsCopy()
{
    FreeWorkParamList(m_settings.m_pLayers);
    FreeMachineList(m_settings.m_pMachines);
}

SoftwareSettings& ThreadSettings()
{
    return t_settings != nullptr ? *t_settings : g_settings;
}

ScopedThreadSettings::ScopedThreadSettings(SoftwareSettings& settings) : m_saved(t_settings)
{
    t_settings = &settings;
}

ScopedThreadSettings::~ScopedThreadSettings()
{
    t_settings = m_saved;
}
