#include "platform/ControlGroups.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace platform::control_groups {

namespace {

// A cgroup v1 memory limit at or above this means "no limit" (the kernel
// shows its largest page-aligned value).
constexpr std::uint64_t kUnlimitedV1 = std::uint64_t{1} << 60U;

std::string_view withoutLineEnd(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    return text;
}

template <typename Number>
std::optional<Number> parseNumber(std::string_view text)
{
    text = withoutLineEnd(text);
    Number value{};
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

bool contains(const std::vector<std::string_view>& words, std::string_view word)
{
    return std::find(words.begin(), words.end(), word) != words.end();
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
    return parseNumber<std::uint64_t>(found->substr(name.size() + 1));
}

template <typename Limit>
std::optional<Limit> lesser(std::optional<Limit> a, std::optional<Limit> b)
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
// `controller`.
std::optional<Hierarchy> findMount(std::string_view mounts, bool unified,
                                   std::string_view controller)
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
        const bool matches =
            unified ? after[0] == "cgroup2"
                    : after[0] == "cgroup" && contains(split(after[2], ','), controller);
        if (matches) {
            return Hierarchy{std::string(before[4]), std::string(before[3])};
        }
    }
    return std::nullopt;
}

// What one group grants, from its directory; empty for no limit.
template <typename Limit>
using GroupLimit = std::function<std::optional<Limit>(const std::string& directory, bool unified)>;

// The least any group grants, from the process's own group up to the root
// of the hierarchy: a parent's limit binds its children too.
template <typename Limit>
std::optional<Limit> hierarchyLimit(const Hierarchy& hierarchy, std::string_view path, bool unified,
                                    const GroupLimit<Limit>& limitOf)
{
    const std::string_view root = hierarchy.root == "/" ? std::string_view() : hierarchy.root;
    const bool underRoot = path.substr(0, root.size()) == root &&
                           (path.size() == root.size() || path[root.size()] == '/');
    if (!underRoot) {
        return std::nullopt;  // the group is outside what is mounted here
    }
    std::string relative(path.substr(root.size()));
    std::optional<Limit> least;
    while (true) {
        least = lesser(least, limitOf(hierarchy.mountPoint + relative, unified));
        const std::size_t slash = relative.rfind('/');
        if (relative.empty() || slash == std::string::npos) {
            return least;
        }
        relative.erase(slash);
    }
}

// The least that every hierarchy holding `controller` grants.
template <typename Limit>
std::optional<Limit> leastOfGroups(std::string_view cgroups, std::string_view mounts,
                                   std::string_view controller, const GroupLimit<Limit>& limitOf)
{
    std::optional<Limit> least;
    for (const std::string_view line : split(cgroups, '\n')) {
        const std::vector<std::string_view> fields = split(line, ':');
        if (fields.size() < 3) {
            continue;
        }
        const bool unified = fields[0] == "0" && fields[1].empty();
        if (!unified && !contains(split(fields[1], ','), controller)) {
            continue;
        }
        const std::optional<Hierarchy> hierarchy = findMount(mounts, unified, controller);
        if (!hierarchy) {
            continue;
        }
        // The path may itself hold colons; it is everything after the second.
        const std::string_view path = line.substr(fields[0].size() + fields[1].size() + 2);
        least = lesser(least, hierarchyLimit(*hierarchy, path, unified, limitOf));
    }
    return least;
}

// Whole processors for a quota of `quota` in every `period`, rounded up.
std::optional<unsigned> processorsFor(std::optional<std::int64_t> quota,
                                      std::optional<std::int64_t> period)
{
    if (!quota || !period || *quota <= 0 || *period <= 0) {
        return std::nullopt;
    }
    const std::int64_t whole = *quota / *period + (*quota % *period != 0 ? 1 : 0);
    return static_cast<unsigned>(std::min<std::int64_t>(whole, 1 << 16));
}

}  // namespace

std::optional<std::uint64_t> memoryLeft(std::string_view cgroups, std::string_view mounts,
                                        const FileReader& read)
{
    // A limit less what the group uses, not counting the page cache the
    // kernel can take back at once (inactive file pages), as container
    // runtimes count a group's working set.
    const GroupLimit<std::uint64_t> left = [&read](const std::string& directory, bool unified) {
        const std::optional<std::string> limitText =
            read(directory + (unified ? "/memory.max" : "/memory.limit_in_bytes"));
        const std::optional<std::uint64_t> limit =
            limitText ? parseNumber<std::uint64_t>(*limitText) : std::nullopt;
        if (!limit || (!unified && *limit >= kUnlimitedV1)) {
            return std::optional<std::uint64_t>();  // "max", or v1's way of saying it
        }
        const std::optional<std::string> usageText =
            read(directory + (unified ? "/memory.current" : "/memory.usage_in_bytes"));
        std::uint64_t usage = usageText ? parseNumber<std::uint64_t>(*usageText).value_or(0) : 0;
        const std::uint64_t reclaimable =
            statField(read(directory + "/memory.stat"),
                      unified ? "inactive_file" : "total_inactive_file")
                .value_or(0);
        usage -= std::min(usage, reclaimable);
        return std::optional<std::uint64_t>(*limit > usage ? *limit - usage : 0);
    };
    return leastOfGroups(cgroups, mounts, "memory", left);
}

std::optional<unsigned> processorQuota(std::string_view cgroups, std::string_view mounts,
                                       const FileReader& read)
{
    const GroupLimit<unsigned> quotaOf = [&read](const std::string& directory, bool unified) {
        if (unified) {
            // "max 100000" for none, "150000 100000" for one and a half.
            const std::optional<std::string> text = read(directory + "/cpu.max");
            const std::vector<std::string_view> fields =
                text ? split(withoutLineEnd(*text), ' ') : std::vector<std::string_view>();
            if (fields.size() != 2) {
                return std::optional<unsigned>();
            }
            return processorsFor(parseNumber<std::int64_t>(fields[0]),
                                 parseNumber<std::int64_t>(fields[1]));
        }
        const std::optional<std::string> quota = read(directory + "/cpu.cfs_quota_us");
        const std::optional<std::string> period = read(directory + "/cpu.cfs_period_us");
        if (!quota || !period) {
            return std::optional<unsigned>();
        }
        return processorsFor(parseNumber<std::int64_t>(*quota), parseNumber<std::int64_t>(*period));
    };
    return leastOfGroups(cgroups, mounts, "cpu", quotaOf);
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

}  // namespace platform::control_groups
