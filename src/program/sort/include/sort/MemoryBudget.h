#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"

// How much memory the report may hold its records in, and where it keeps
// what does not fit.
namespace sorting {

// The least budget the report works in: a run of 32768 entries, or room
// to merge seven runs at once in blocks of 4096.
constexpr std::uint64_t kMinimumBudget = std::uint64_t{256} * 1024;

// The budget the report works with when `requested` is asked for: never
// below kMinimumBudget, and never more than this process can address.
[[nodiscard]] std::uint64_t workableBudget(std::uint64_t requested);

// What the machine lets this process have, from each source that limits it.
struct MemoryFacts {
    // The memory limit of the process's control group (and of every group
    // above it), less what the group already uses.
    std::optional<std::uint64_t> controlGroupLeft;
    platform::MemoryLimits process;
};

[[nodiscard]] MemoryFacts gatherMemoryFacts();

// The default budget: a share of the least that any source leaves.
[[nodiscard]] std::uint64_t defaultBudget(const MemoryFacts& facts);

// The budget asked for with -S, lowered to what the limits can grant: an
// explicit budget may take more than the default's share, but not what the
// program itself needs beside it.
struct GrantedBudget {
    std::uint64_t bytes = 0;
    // The limits could not grant what was asked for.
    bool lowered = false;
};

[[nodiscard]] GrantedBudget grantedBudget(std::uint64_t requested, const MemoryFacts& facts);

// What each thread beyond the first needs of its own beside the records:
// its stack in the listing's pool and in the sort's, as much again in the
// kernel, and its part's digit counts in the key sort (64 KiB).
constexpr std::uint64_t kThreadBytes = std::uint64_t{128} * 1024;

// The most threads, at most `wanted` and at least one, whose own memory
// takes no more than a quarter of `budget`.
[[nodiscard]] unsigned threadsWithin(std::uint64_t budget, unsigned wanted) noexcept;

// What `threads` threads need of the budget beyond the first one's.
[[nodiscard]] std::uint64_t threadBytes(unsigned threads) noexcept;

// A size as -S takes it: "1G", "23M", "256K", or bytes when no unit
// divides it.
[[nodiscard]] std::string sizeText(std::uint64_t bytes);

// Where run files go when no directory is named: TMPDIR, else the system's
// temporary directory.
[[nodiscard]] std::string defaultTemporaryDirectory();

}  // namespace sorting
