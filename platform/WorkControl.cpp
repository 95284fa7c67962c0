#include "WorkControl.h"

#include <algorithm>
#include <mutex>

namespace plat {

namespace {

thread_local WorkControl* t_control = nullptr;
thread_local int t_partFrom = 0;
thread_local int t_partTo = WorkControl::kWhole;

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

WorkPart::WorkPart(int from, int to) : m_savedFrom(t_partFrom), m_savedTo(t_partTo)
{
    // A part inside a part is a share of it.
    const auto within = [this](int v) {
        v = std::clamp(v, 0, WorkControl::kWhole);
        return m_savedFrom + (m_savedTo - m_savedFrom) * v / WorkControl::kWhole;
    };
    t_partFrom = within(from);
    t_partTo = std::max(t_partFrom, within(to));
}

WorkPart::~WorkPart()
{
    t_partFrom = m_savedFrom;
    t_partTo = m_savedTo;
}

int WorkWhole(int permille)
{
    return t_partFrom + (t_partTo - t_partFrom) * std::clamp(permille, 0, WorkControl::kWhole) / WorkControl::kWhole;
}

bool WorkStep(int permille)
{
    WorkControl* control = WorkControl::Current();
    if (control == nullptr)
        return true;
    const int step = WorkWhole(permille);
    control->Advance(step);
    WorkControl::RunStepHook(*control, step);
    return !control->Cancelled();
}

} // namespace plat
