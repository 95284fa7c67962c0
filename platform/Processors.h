// How many processors the work of this process may run on: a process pinned
// to one core (taskset) or held to a CPU quota by its control group (a
// container) gains nothing from more threads than that, only switching.
#pragma once
#include <string>

namespace plat {

// The processors of the process's affinity mask, no more than its control
// group's CPU quota allows (rounded up); at least one.
unsigned UsableProcessors();

// The CPU quota of the control group named in `procSelfCgroup` (the text of
// /proc/self/cgroup), in processors, the tightest along its path up to the
// hierarchy's root; 0 when none is set. `mountinfo` is the text of
// /proc/self/mountinfo; the quota files are read below `root` ("" for the
// real file system).
double CgroupCpuQuota(const std::string& procSelfCgroup, const std::string& mountinfo, const std::string& root);

} // namespace plat
