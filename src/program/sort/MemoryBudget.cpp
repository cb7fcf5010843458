#include "sort/MemoryBudget.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <utility>
#include <vector>

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

// A cgroup v1 limit at or above this means "no limit" (the kernel shows
// its largest page-aligned value).
constexpr std::uint64_t kUnlimitedV1 = std::uint64_t{1} << 60U;

std::optional<std::uint64_t> parseNumber(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> pieces;
    while (true) {
        const std::size_t at = text.find(separator);
        pieces.push_back(text.substr(0, at));
        if (at == std::string_view::npos) {
            return pieces;
        }
        text.remove_prefix(at + 1);
    }
}

// The value of "NAME VALUE" in a memory.stat file.
std::optional<std::uint64_t> statField(const std::optional<std::string>& stat,
                                       std::string_view name)
{
    if (!stat) {
        return std::nullopt;
    }
    const std::vector<std::string_view> lines = split(*stat, '\n');
    const auto found = std::find_if(lines.begin(), lines.end(), [name](std::string_view line) {
        return line.size() > name.size() && line.substr(0, name.size()) == name &&
               line[name.size()] == ' ';
    });
    if (found == lines.end()) {
        return std::nullopt;
    }
    return parseNumber(found->substr(name.size() + 1));
}

// The lesser of two limits, either of which may be absent.
std::optional<std::uint64_t> lesser(std::optional<std::uint64_t> a, std::optional<std::uint64_t> b)
{
    if (a && b) {
        return std::min(*a, *b);
    }
    return a ? a : b;
}

// A mounted cgroup hierarchy: where it is, and which group is its root.
struct Hierarchy {
    std::string mountPoint;
    std::string root;
};

// The mount of the unified (v2) hierarchy, or of the v1 hierarchy that has
// the memory controller.
std::optional<Hierarchy> findMount(std::string_view mounts, bool unified)
{
    for (const std::string_view line : split(mounts, '\n')) {
        const std::size_t dash = line.find(" - ");
        if (dash == std::string_view::npos) {
            continue;
        }
        const std::vector<std::string_view> before = split(line.substr(0, dash), ' ');
        const std::vector<std::string_view> after = split(line.substr(dash + 3), ' ');
        if (before.size() < 5 || after.size() < 3) {
            continue;
        }
        const std::vector<std::string_view> options = split(after[2], ',');
        const bool matches =
            unified ? after[0] == "cgroup2"
                    : after[0] == "cgroup" &&
                          std::find(options.begin(), options.end(), "memory") != options.end();
        if (matches) {
            return Hierarchy{std::string(before[4]), std::string(before[3])};
        }
    }
    return std::nullopt;
}

// What one group's limit leaves: the limit less the memory the group uses,
// not counting the page cache the kernel can take back at once (inactive
// file pages), as container runtimes count a group's working set.
std::optional<std::uint64_t> groupLeft(const std::string& directory, bool unified,
                                       const FileReader& read)
{
    const std::optional<std::string> limitText =
        read(directory + (unified ? "/memory.max" : "/memory.limit_in_bytes"));
    if (!limitText) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> limit = parseNumber(*limitText);
    if (!limit || (!unified && *limit >= kUnlimitedV1)) {
        return std::nullopt;  // "max", or v1's way of saying the same
    }
    const std::optional<std::string> usageText =
        read(directory + (unified ? "/memory.current" : "/memory.usage_in_bytes"));
    std::uint64_t usage = usageText ? parseNumber(*usageText).value_or(0) : 0;
    const std::uint64_t reclaimable = statField(read(directory + "/memory.stat"),
                                                unified ? "inactive_file" : "total_inactive_file")
                                          .value_or(0);
    usage -= std::min(usage, reclaimable);
    return *limit > usage ? *limit - usage : 0;
}

// The least any group leaves, from the process's own group up to the root
// of the hierarchy: a parent's limit binds its children too.
std::optional<std::uint64_t> hierarchyLeft(const Hierarchy& hierarchy, std::string_view path,
                                           bool unified, const FileReader& read)
{
    const std::string_view root = hierarchy.root == "/" ? std::string_view() : hierarchy.root;
    if (path.substr(0, root.size()) != root) {
        return std::nullopt;  // the group is outside what is mounted here
    }
    std::string relative(path.substr(root.size()));
    std::optional<std::uint64_t> least;
    while (true) {
        const std::optional<std::uint64_t> left =
            groupLeft(hierarchy.mountPoint + relative, unified, read);
        least = lesser(least, left);
        const std::size_t slash = relative.rfind('/');
        if (relative.empty() || slash == std::string::npos) {
            return least;
        }
        relative.erase(slash);
    }
}

std::optional<std::string> readWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

std::uint64_t workableBudget(std::uint64_t requested)
{
    // Half the address space at the most, so that a size in bytes never wraps.
    constexpr std::uint64_t kAddressable = std::numeric_limits<std::size_t>::max() / 2;
    return std::clamp(requested, kMinimumBudget, kAddressable);
}

std::optional<std::uint64_t> controlGroupMemoryLeft(std::string_view cgroups,
                                                    std::string_view mounts, const FileReader& read)
{
    std::optional<std::uint64_t> least;
    for (const std::string_view line : split(cgroups, '\n')) {
        const std::vector<std::string_view> fields = split(line, ':');
        if (fields.size() < 3) {
            continue;
        }
        const std::vector<std::string_view> controllers = split(fields[1], ',');
        const bool unified = fields[0] == "0" && fields[1].empty();
        const bool memoryV1 =
            std::find(controllers.begin(), controllers.end(), "memory") != controllers.end();
        if (!unified && !memoryV1) {
            continue;
        }
        const std::optional<Hierarchy> hierarchy = findMount(mounts, unified);
        if (!hierarchy) {
            continue;
        }
        // The path may itself hold colons; it is everything after the second.
        const std::string_view path = line.substr(fields[0].size() + fields[1].size() + 2);
        least = lesser(least, hierarchyLeft(*hierarchy, path, unified, read));
    }
    return least;
}

MemoryFacts gatherMemoryFacts()
{
    MemoryFacts facts;
    const std::optional<std::string> cgroups = readWholeFile("/proc/self/cgroup");
    const std::optional<std::string> mounts = readWholeFile("/proc/self/mountinfo");
    if (cgroups && mounts) {
        facts.controlGroupLeft = controlGroupMemoryLeft(*cgroups, *mounts, readWholeFile);
    }
    facts.process = platform::memoryLimits();
    return facts;
}

namespace {

std::optional<std::uint64_t> leastLeft(const MemoryFacts& facts)
{
    return lesser(lesser(facts.controlGroupLeft, facts.process.addressSpaceLeft),
                  lesser(facts.process.dataSegmentLeft, facts.process.systemAvailable));
}

constexpr std::uint64_t kKibi = std::uint64_t{1} << 10U;
constexpr std::uint64_t kMebi = std::uint64_t{1} << 20U;
constexpr std::uint64_t kGibi = std::uint64_t{1} << 30U;

}  // namespace

GrantedBudget grantedBudget(std::uint64_t requested, const MemoryFacts& facts)
{
    const std::uint64_t wanted = workableBudget(requested);
    const std::optional<std::uint64_t> least = leastLeft(facts);
    if (!least) {
        return {wanted, false};
    }
    const std::uint64_t keptBack = std::max(kOwnRoom, *least / kKeptBackDenominator);
    std::uint64_t most = *least > keptBack ? *least - keptBack : 0;
    // In whole units, so that the size told is the size used.
    most -= most % (most >= kMebi ? kMebi : kKibi);
    most = workableBudget(most);
    if (wanted <= most) {
        return {wanted, false};
    }
    return {most, true};
}

std::string sizeText(std::uint64_t bytes)
{
    constexpr std::array<std::pair<std::uint64_t, char>, 3> kUnits = {
        {{kGibi, 'G'}, {kMebi, 'M'}, {kKibi, 'K'}}};
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
    const char* const named = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe)
    if (named != nullptr && *named != '\0') {
        return named;
    }
    return platform::systemTemporaryDirectory();
}

}  // namespace sorting
