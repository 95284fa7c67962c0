#include "WorkControl.h"

#include <algorithm>
#include <mutex>

namespace plat {

namespace {

thread_local WorkControl* t_control = nullptr;

std::mutex g_hookMutex;
WorkControl::StepHook g_hook;

} // namespace

void WorkControl::Advance(int permille)
{
    const int target = std::clamp(permille, 0, kWhole);
    int now = m_progress.load(std::memory_order_relaxed);
    while (now < target && !m_progress.compare_exchange_weak(now, target, std::memory_order_relaxed)) {
    }
}

WorkControl* WorkControl::Current()
{
    return t_control;
}

WorkControl::Scope::Scope(WorkControl* control) : m_saved(t_control)
{
    t_control = control;
}

WorkControl::Scope::~Scope()
{
    t_control = m_saved;
}

void WorkControl::SetStepHookForTesting(StepHook hook)
{
    const std::lock_guard<std::mutex> lock(g_hookMutex);
    g_hook = std::move(hook);
}

void WorkControl::RunStepHook(WorkControl& control, int permille)
{
    StepHook hook;
    {
        const std::lock_guard<std::mutex> lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook)
        hook(control, permille);
}

bool WorkStep(int permille)
{
    WorkControl* control = WorkControl::Current();
    if (control == nullptr)
        return true;
    control->Advance(permille);
    WorkControl::RunStepHook(*control, permille);
    return !control->Cancelled();
}

} // namespace plat
