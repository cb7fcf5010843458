#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// What the Linux control groups a process is in grant it, read from the
// text of /proc/self/cgroup and /proc/self/mountinfo and from the groups'
// own files. Kept apart from the system calls so that any tree of groups,
// version 1 or 2, can be tried with files made up for it.
namespace platform::control_groups {

// Reads a whole file of the system; empty when it cannot be read.
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;

// What the memory limits of the groups leave: each limit less what its
// group already uses, the least of them from the process's own group up
// to the root. Empty when no group limits memory.
[[nodiscard]] std::optional<std::uint64_t> memoryLeft(std::string_view cgroups,
                                                      std::string_view mounts,
                                                      const FileReader& read);

// The processors the groups' CPU quotas (cpu.max, or cpu.cfs_quota_us over
// cpu.cfs_period_us) allow, rounded up to whole processors, the least of
// them up to the root. Empty when no group sets a quota.
[[nodiscard]] std::optional<unsigned> processorQuota(std::string_view cgroups,
                                                     std::string_view mounts,
                                                     const FileReader& read);

// The file as a whole, or empty.
[[nodiscard]] std::optional<std::string> readWholeFile(const std::string& path);

}  // namespace platform::control_groups
