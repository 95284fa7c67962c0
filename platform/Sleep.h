// The waits the user interface makes on purpose (after a jog press, between
// closing machine connections). Tests hand them to a hook that records them
// instead of blocking.
#pragma once
#include <functional>

namespace plat {

// Blocks the calling thread for `ms` milliseconds (nothing for 0 or less),
// or calls the hook when one is set.
void Sleep(int ms);

// Replaces the real waits by the hook for the user-interface thread's
// callers; an empty hook restores them.
using SleepHook = std::function<void(int ms)>;
void SetSleepHookForTesting(SleepHook hook);

} // namespace plat
