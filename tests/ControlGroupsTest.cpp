#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/ControlGroups.h"

namespace {

using platform::control_groups::memoryLeft;
using platform::control_groups::processorQuota;

// The files of a made-up system, by path.
platform::control_groups::FileReader filesOf(const std::map<std::string, std::string>& files)
{
    return [files](const std::string& path) -> std::optional<std::string> {
        const auto found = files.find(path);
        if (found == files.end()) {
            return std::nullopt;
        }
        return found->second;
    };
}

constexpr const char* kMounts =
    "31 23 0:28 / /sys/fs/cgroup rw,relatime - tmpfs tmpfs rw,mode=755\n"
    "35 31 0:32 / /sys/fs/cgroup/memory rw,relatime - cgroup cgroup rw,memory\n"
    "36 31 0:33 / /sys/fs/cgroup/cpu,cpuacct rw - cgroup cgroup rw,cpu,cpuacct\n"
    "41 31 0:38 / /sys/fs/cgroup/unified rw,relatime - cgroup2 cgroup2 rw\n";

TEST(ControlGroups, AVersion1GroupLeavesItsLimitLessWhatItUses)
{
    const std::string group = "/sys/fs/cgroup/memory/box/job";
    const auto read = filesOf({
        {group + "/memory.limit_in_bytes", "100000000\n"},
        {group + "/memory.usage_in_bytes", "30000000\n"},
        // Inactive page cache is taken back at once, so it is not counted.
        {group + "/memory.stat", "cache 9000000\ntotal_inactive_file 6000000\n"},
        {"/sys/fs/cgroup/memory/box/memory.limit_in_bytes", "9223372036854771712\n"},
        {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"},
    });
    EXPECT_EQ(memoryLeft("4:memory:/box/job\n1:cpu,cpuacct:/\n0::/\n", kMounts, read),
              std::uint64_t{76000000});
}

TEST(ControlGroups, AParentGroupsLimitBindsItsChildren)
{
    const auto read = filesOf({
        {"/sys/fs/cgroup/memory/box/job/memory.limit_in_bytes", "100000000\n"},
        {"/sys/fs/cgroup/memory/box/job/memory.usage_in_bytes", "1000000\n"},
        {"/sys/fs/cgroup/memory/box/memory.limit_in_bytes", "50000000\n"},
        {"/sys/fs/cgroup/memory/box/memory.usage_in_bytes", "20000000\n"},
    });
    EXPECT_EQ(memoryLeft("4:memory:/box/job\n", kMounts, read), std::uint64_t{30000000});
}

TEST(ControlGroups, AVersion2GroupAndItsMaximum)
{
    const std::string mounts = "30 1 0:26 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n";
    const auto read = filesOf({
        {"/sys/fs/cgroup/user.slice/app/memory.max", "104857600\n"},
        {"/sys/fs/cgroup/user.slice/app/memory.current", "4857600\n"},
        {"/sys/fs/cgroup/user.slice/app/memory.stat", "anon 4000000\ninactive_file 0\n"},
        {"/sys/fs/cgroup/user.slice/memory.max", "max\n"},
    });
    EXPECT_EQ(memoryLeft("0::/user.slice/app\n", mounts, read), std::uint64_t{100000000});
}

TEST(ControlGroups, NoLimitAnywhereIsNoLimit)
{
    const auto read = filesOf({
        {"/sys/fs/cgroup/unified/memory.max", "max\n"},
        {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"},
    });
    EXPECT_FALSE(memoryLeft("4:memory:/\n0::/\n", kMounts, read));
    // A group mounted from elsewhere than its root, as in a container that
    // sees only its own subtree.
    const std::string mounts = "30 1 0:26 /docker/abc /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n";
    const auto inContainer = filesOf({{"/sys/fs/cgroup/memory.max", "64000000\n"}});
    EXPECT_EQ(memoryLeft("0::/docker/abc\n", mounts, inContainer), std::uint64_t{64000000});
    // A group whose name only begins with the mounted root's is not under
    // it, though a path made by joining the names exists.
    const std::string nextTo = "30 1 0:26 /docker/abc /sys/fs/cgroup/a rw - cgroup2 cgroup2 rw\n";
    const auto besideIt = filesOf({{"/sys/fs/cgroup/ad/memory.max", "64000000\n"}});
    EXPECT_FALSE(memoryLeft("0::/docker/abcd\n", nextTo, besideIt));
}

struct QuotaRow {
    std::string cgroups;
    std::string mounts;
    std::map<std::string, std::string> files;
    std::optional<unsigned> processors;
};

TEST(ControlGroups, ACpuQuotaGivesWholeProcessorsTheLeastUpToTheRoot)
{
    const std::string v2 = "30 1 0:26 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n";
    const std::string group = "/sys/fs/cgroup/cpu,cpuacct/box/job";
    const std::vector<QuotaRow> cases = {
        // Version 2: one and a half processors round up to two.
        {"0::/app\n", v2, {{"/sys/fs/cgroup/app/cpu.max", "150000 100000\n"}}, 2},
        {"0::/app\n", v2, {{"/sys/fs/cgroup/app/cpu.max", "max 100000\n"}}, std::nullopt},
        {"0::/app\n", v2, {{"/sys/fs/cgroup/app/cpu.max", "50000 100000\n"}}, 1},
        // A parent's quota binds its child.
        {"0::/a/b\n",
         v2,
         {{"/sys/fs/cgroup/a/b/cpu.max", "800000 100000\n"},
          {"/sys/fs/cgroup/a/cpu.max", "300000 100000\n"}},
         3},
        // Version 1: -1 is no quota.
        {"2:cpu,cpuacct:/box/job\n",
         kMounts,
         {{group + "/cpu.cfs_quota_us", "400000\n"}, {group + "/cpu.cfs_period_us", "100000\n"}},
         4},
        {"2:cpu,cpuacct:/box/job\n",
         kMounts,
         {{group + "/cpu.cfs_quota_us", "-1\n"}, {group + "/cpu.cfs_period_us", "100000\n"}},
         std::nullopt},
        // The memory hierarchy's files say nothing of processors.
        {"4:memory:/box/job\n",
         kMounts,
         {{"/sys/fs/cgroup/memory/box/job/cpu.cfs_quota_us", "100000\n"},
          {"/sys/fs/cgroup/memory/box/job/cpu.cfs_period_us", "100000\n"}},
         std::nullopt},
    };
    for (const auto& given : cases) {
        EXPECT_EQ(processorQuota(given.cgroups, given.mounts, filesOf(given.files)),
                  given.processors)
            << given.cgroups;
    }
}

}  // namespace
