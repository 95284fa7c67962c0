#include "platform/ParallelFor.h"
#include "platform/Processors.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <mutex>

#include <sched.h>

using namespace plat;

namespace {

class CgroupFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/brenvik-cgroup-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_root); }

    void Write(const std::string& path, const std::string& text)
    {
        std::filesystem::create_directories(std::filesystem::path(m_root + path).parent_path());
        std::ofstream(m_root + path) << text;
    }

    std::string m_root;
};

} // namespace

TEST_F(CgroupFiles, TheTightestQuotaOnTheGroupsPathCountsInEitherHierarchyAndNoneGivesZero)
{
    // Unified hierarchy: the parent's 1.5 processors bind the group's own 3.
    const std::string v2Mounts = "29 1 0:26 / /sys/fs/cgroup rw,nosuid shared:4 - cgroup2 cgroup2 rw\n";
    Write("/sys/fs/cgroup/cpu.max", "max 100000\n");
    Write("/sys/fs/cgroup/jobs/cpu.max", "150000 100000\n");
    Write("/sys/fs/cgroup/jobs/build/cpu.max", "300000 100000\n");
    EXPECT_DOUBLE_EQ(CgroupCpuQuota("0::/jobs/build\n", v2Mounts, m_root), 1.5);
    // Without a quota anywhere, none.
    Write("/sys/fs/cgroup/jobs/cpu.max", "max 100000\n");
    Write("/sys/fs/cgroup/jobs/build/cpu.max", "max 100000\n");
    EXPECT_EQ(CgroupCpuQuota("0::/jobs/build\n", v2Mounts, m_root), 0.0);

    // Version 1, the cpu controller mounted with cpuacct (a comma in the
    // folder's name), among other controllers; the parent has none.
    const std::string v1Mounts =
        "33 32 0:30 / /sys/fs/cgroup/memory rw,relatime - cgroup cgroup rw,memory\n"
        "34 32 0:31 / /sys/fs/cgroup/cpu,cpuacct rw,relatime - cgroup cgroup rw,cpu,cpuacct\n";
    const std::string v1Groups = "5:memory:/docker/abc\n4:cpu,cpuacct:/docker/abc\n1:name=systemd:/\n";
    Write("/sys/fs/cgroup/cpu,cpuacct/docker/abc/cpu.cfs_quota_us", "250000\n");
    Write("/sys/fs/cgroup/cpu,cpuacct/docker/abc/cpu.cfs_period_us", "100000\n");
    Write("/sys/fs/cgroup/cpu,cpuacct/docker/cpu.cfs_quota_us", "-1\n");
    Write("/sys/fs/cgroup/cpu,cpuacct/docker/cpu.cfs_period_us", "100000\n");
    EXPECT_DOUBLE_EQ(CgroupCpuQuota(v1Groups, v1Mounts, m_root), 2.5);

    // A mount point with a space, written as \040; a backslash not before
    // three octal digits stays as it is.
    const std::string spaced = "29 1 0:26 / /srv/cg\\040one\\999 rw - cgroup2 cgroup2 rw\n";
    Write("/srv/cg one\\999/jobs/cpu.max", "50000 100000\n");
    EXPECT_DOUBLE_EQ(CgroupCpuQuota("0::/jobs\n", spaced, m_root), 0.5);

    // A group the mounts do not show, or no files at all: none.
    EXPECT_EQ(CgroupCpuQuota("4:cpu:/elsewhere\n", v2Mounts, m_root), 0.0);
    EXPECT_EQ(CgroupCpuQuota("", "", m_root), 0.0);
}

TEST(Processors, ALoopPinnedToOneProcessorRunsOnItsOwnThreadAlone)
{
    cpu_set_t saved;
    ASSERT_EQ(::sched_getaffinity(0, sizeof saved, &saved), 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &saved)) {
            CPU_SET(cpu, &one);
            break;
        }
    }
    ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(UsableProcessors(), 1u);
    std::mutex mutex;
    std::set<std::thread::id> threads;
    std::atomic<int> runs{0};
    ParallelFor(64, [&](std::size_t) {
        const std::lock_guard<std::mutex> lock(mutex);
        threads.insert(std::this_thread::get_id());
        ++runs;
    });
    ::sched_setaffinity(0, sizeof saved, &saved);
    EXPECT_EQ(runs.load(), 64);
    EXPECT_EQ(threads, std::set<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(UsableProcessors(), static_cast<unsigned>(CPU_COUNT(&saved)));
}
