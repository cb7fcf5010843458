#include "sort/MemoryBudget.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <utility>

namespace sorting {

namespace {

// The share of what the machine leaves that the report takes by default.
// Beside its budget the report's resident memory is about 5 MiB, and a
// memory cgroup is also charged for the page cache of the run files and of
// the report's output, which it must take back as it goes. Measured with
// the 20,000,000-record file in a 100 MB group: a budget of half of what
// the group leaves took 11.4 s (peak 51 MiB), three quarters 11.0 s, nine
// tenths 16.7 s with five times as many hits on the limit. Half stays far
// from that cliff for 4 % of the time, and leaves the rest of a machine or
// a group to whatever else runs there.
constexpr std::uint64_t kShareNumerator = 1;
constexpr std::uint64_t kShareDenominator = 2;

// What an explicit budget leaves free of what the machine leaves: the same
// measurements put three quarters of a group's room at no cost beside a
// half, so a quarter is kept back, and never less than the program's own
// resident memory with room to spare.
constexpr std::uint64_t kKeptBackDenominator = 4;
constexpr std::uint64_t kOwnRoom = std::uint64_t{8} << 20U;

// When no source says anything at all.
constexpr std::uint64_t kBudgetWithoutLimits = std::uint64_t{1} << 30U;

}  // namespace

std::uint64_t workableBudget(std::uint64_t requested)
{
    // Half the address space at the most, so that a size in bytes never wraps.
    constexpr std::uint64_t kAddressable = std::numeric_limits<std::size_t>::max() / 2;
    return std::clamp(requested, kMinimumBudget, kAddressable);
}

MemoryFacts gatherMemoryFacts()
{
    return {platform::controlGroupMemoryLeft(), platform::memoryLimits()};
}

namespace {

std::optional<std::uint64_t> leastLeft(const MemoryFacts& facts)
{
    const std::array<std::optional<std::uint64_t>, 4> limits = {
        facts.controlGroupLeft, facts.process.addressSpaceLeft, facts.process.dataSegmentLeft,
        facts.process.systemAvailable};
    return std::accumulate(
        limits.begin(), limits.end(), std::optional<std::uint64_t>(),
        [](std::optional<std::uint64_t> least, std::optional<std::uint64_t> left) {
            return left && (!least || *left < *least) ? left : least;
        });
}

constexpr std::uint64_t kKibi = std::uint64_t{1} << 10U;
constexpr std::uint64_t kMebi = std::uint64_t{1} << 20U;
constexpr std::uint64_t kGibi = std::uint64_t{1} << 30U;
constexpr std::uint64_t kTebi = std::uint64_t{1} << 40U;
constexpr std::uint64_t kPebi = std::uint64_t{1} << 50U;
constexpr std::uint64_t kExbi = std::uint64_t{1} << 60U;

}  // namespace

GrantedBudget grantedBudget(std::uint64_t requested, const MemoryFacts& facts)
{
    const std::uint64_t wanted = workableBudget(requested);
    // More than the address space holds is lowered too, and told as such
    // (a 32-bit process asked for a terabyte); a budget raised to the least
    // that works is not.
    const bool beyondAddressSpace = wanted < requested;
    const std::optional<std::uint64_t> least = leastLeft(facts);
    if (!least) {
        return {wanted, beyondAddressSpace};
    }
    const std::uint64_t keptBack = std::max(kOwnRoom, *least / kKeptBackDenominator);
    std::uint64_t most = *least > keptBack ? *least - keptBack : 0;
    // In whole units, so that the size told is the size used.
    most -= most % (most >= kMebi ? kMebi : kKibi);
    most = workableBudget(most);
    if (wanted <= most) {
        return {wanted, beyondAddressSpace};
    }
    return {most, true};
}

unsigned threadsWithin(std::uint64_t budget, unsigned wanted) noexcept
{
    // A quarter leaves the records most of a small budget; a large one
    // holds any thread count that is asked for.
    constexpr std::uint64_t kThreadShare = 4;
    const std::uint64_t held = 1 + budget / kThreadShare / kThreadBytes;
    return static_cast<unsigned>(std::clamp<std::uint64_t>(held, 1, std::max(wanted, 1U)));
}

std::uint64_t threadBytes(unsigned threads) noexcept
{
    return threads > 1 ? std::uint64_t{threads - 1} * kThreadBytes : 0;
}

std::string sizeText(std::uint64_t bytes)
{
    // The letters -S takes, so that a size said can be given back.
    constexpr std::array<std::pair<std::uint64_t, char>, 6> kUnits = {
        {{kExbi, 'E'}, {kPebi, 'P'}, {kTebi, 'T'}, {kGibi, 'G'}, {kMebi, 'M'}, {kKibi, 'K'}}};
    for (const auto& [unit, letter] : kUnits) {
        if (bytes != 0 && bytes % unit == 0) {
            return std::to_string(bytes / unit) + letter;
        }
    }
    return std::to_string(bytes);
}

std::uint64_t defaultBudget(const MemoryFacts& facts)
{
    const std::optional<std::uint64_t> least = leastLeft(facts);
    if (!least) {
        return workableBudget(kBudgetWithoutLimits);
    }
    return workableBudget(*least / kShareDenominator * kShareNumerator);
}

std::string defaultTemporaryDirectory()
{
    // Read once, before anything else in the process could change it.
    const char* const named = std::getenv("TMPDIR");
    if (named != nullptr && *named != '\0') {
        return named;
    }
    return platform::systemTemporaryDirectory();
}

}  // namespace sorting
