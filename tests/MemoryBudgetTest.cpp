#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "sort/MemoryBudget.h"

using sorting::controlGroupMemoryLeft;
using sorting::defaultBudget;
using sorting::grantedBudget;
using sorting::kMinimumBudget;
using sorting::MemoryFacts;
using sorting::sizeText;
using sorting::workableBudget;

namespace {

constexpr std::uint64_t kMebi = std::uint64_t{1} << 20U;

TEST(MemoryBudget, ATooSmallBudgetIsRaisedToTheSmallestWorkable)
{
    EXPECT_EQ(workableBudget(0), kMinimumBudget);
    EXPECT_EQ(workableBudget(kMinimumBudget - 1), kMinimumBudget);
    EXPECT_EQ(workableBudget(32 * kMebi), 32 * kMebi);
}

TEST(MemoryBudget, TheDefaultIsAShareOfTheLeastThatAnySourceLeaves)
{
    MemoryFacts facts;
    facts.process.systemAvailable = 1000 * kMebi;
    facts.process.addressSpaceLeft = 400 * kMebi;
    facts.controlGroupLeft = 96 * kMebi;
    EXPECT_EQ(defaultBudget(facts), 48 * kMebi);
    facts.controlGroupLeft.reset();
    EXPECT_EQ(defaultBudget(facts), 200 * kMebi);
    facts.process.dataSegmentLeft = 10 * kMebi;
    EXPECT_EQ(defaultBudget(facts), 5 * kMebi);
    facts.process.dataSegmentLeft = 0;
    EXPECT_EQ(defaultBudget(facts), kMinimumBudget);
}

TEST(MemoryBudget, AnExplicitBudgetIsLoweredToWhatTheLimitsGrant)
{
    constexpr std::uint64_t kGibi = 1024 * kMebi;
    MemoryFacts facts;
    // No source limits anything: what is asked for is what is used (up to
    // half the address space, which on a 32-bit target is under 2 GiB).
    EXPECT_EQ(grantedBudget(kGibi, facts).bytes, kGibi);
    EXPECT_FALSE(grantedBudget(kGibi, facts).lowered);
    facts.process.systemAvailable = 20 * kGibi;
    facts.controlGroupLeft = 57 * kMebi;
    // Three quarters of what the group leaves, in whole MiB, more than
    // the default's half.
    EXPECT_EQ(grantedBudget(kGibi, facts).bytes, 42 * kMebi);
    EXPECT_TRUE(grantedBudget(kGibi, facts).lowered);
    EXPECT_GT(grantedBudget(kGibi, facts).bytes, defaultBudget(facts));
    // What fits is kept as asked, to the byte.
    EXPECT_EQ(grantedBudget(40 * kMebi + 1, facts).bytes, 40 * kMebi + 1);
    EXPECT_FALSE(grantedBudget(40 * kMebi + 1, facts).lowered);
    // A small limit keeps back the program's own room, not a quarter.
    facts.process.addressSpaceLeft = 20 * kMebi;
    EXPECT_EQ(grantedBudget(kGibi, facts).bytes, 12 * kMebi);
    // Nothing left grants the least budget the report works in, no less.
    facts.process.dataSegmentLeft = kMebi;
    EXPECT_EQ(grantedBudget(kGibi, facts).bytes, kMinimumBudget);
    EXPECT_FALSE(grantedBudget(kMinimumBudget, facts).lowered);
}

TEST(MemoryBudget, SizesAreToldAsTheOptionTakesThem)
{
    EXPECT_EQ(sizeText(1024 * kMebi), "1G");
    EXPECT_EQ(sizeText(42 * kMebi), "42M");
    EXPECT_EQ(sizeText(kMinimumBudget), "256K");
    EXPECT_EQ(sizeText(1000), "1000");
    EXPECT_EQ(sizeText(0), "0");
}

// The files of a made-up system, by path.
sorting::FileReader filesOf(const std::map<std::string, std::string>& files)
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

TEST(MemoryBudget, AVersion1GroupLeavesItsLimitLessWhatItUses)
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
    EXPECT_EQ(controlGroupMemoryLeft("4:memory:/box/job\n1:cpu,cpuacct:/\n0::/\n", kMounts, read),
              std::uint64_t{76000000});
}

TEST(MemoryBudget, AParentGroupsLimitBindsItsChildren)
{
    const auto read = filesOf({
        {"/sys/fs/cgroup/memory/box/job/memory.limit_in_bytes", "100000000\n"},
        {"/sys/fs/cgroup/memory/box/job/memory.usage_in_bytes", "1000000\n"},
        {"/sys/fs/cgroup/memory/box/memory.limit_in_bytes", "50000000\n"},
        {"/sys/fs/cgroup/memory/box/memory.usage_in_bytes", "20000000\n"},
    });
    EXPECT_EQ(controlGroupMemoryLeft("4:memory:/box/job\n", kMounts, read),
              std::uint64_t{30000000});
}

TEST(MemoryBudget, AVersion2GroupAndItsMaximum)
{
    const std::string mounts = "30 1 0:26 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n";
    const auto read = filesOf({
        {"/sys/fs/cgroup/user.slice/app/memory.max", "104857600\n"},
        {"/sys/fs/cgroup/user.slice/app/memory.current", "4857600\n"},
        {"/sys/fs/cgroup/user.slice/app/memory.stat", "anon 4000000\ninactive_file 0\n"},
        {"/sys/fs/cgroup/user.slice/memory.max", "max\n"},
    });
    EXPECT_EQ(controlGroupMemoryLeft("0::/user.slice/app\n", mounts, read),
              std::uint64_t{100000000});
}

TEST(MemoryBudget, NoLimitAnywhereIsNoLimit)
{
    const auto read = filesOf({
        {"/sys/fs/cgroup/unified/memory.max", "max\n"},
        {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"},
    });
    EXPECT_FALSE(controlGroupMemoryLeft("4:memory:/\n0::/\n", kMounts, read));
    // A group mounted from elsewhere than its root, as in a container that
    // sees only its own subtree.
    const std::string mounts = "30 1 0:26 /docker/abc /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n";
    const auto inContainer = filesOf({{"/sys/fs/cgroup/memory.max", "64000000\n"}});
    EXPECT_EQ(controlGroupMemoryLeft("0::/docker/abc\n", mounts, inContainer),
              std::uint64_t{64000000});
}

}  // namespace
