#include "Sleep.h"

#include <chrono>
#include <thread>

namespace plat {

namespace {
SleepHook g_hook;
} // namespace

void Sleep(int ms)
{
    if (g_hook) {
        g_hook(ms);
        return;
    }
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetSleepHookForTesting(SleepHook hook)
{
    g_hook = std::move(hook);
}

} // namespace plat
