#include "sort/RunFile.h"

namespace sorting {

namespace {

constexpr std::size_t kEntrySize = sizeof(fraction::FractionRecord);

}  // namespace

std::optional<RunFile> RunFile::create(const std::string& directory, std::string& error)
{
    std::string reason;
    platform::TemporaryFile file = platform::TemporaryFile::create(directory, reason);
    if (!file.isOpen()) {
        error = directory + ": cannot make a temporary file: " + reason;
        return std::nullopt;
    }
    return RunFile(std::move(file), directory);
}

void RunFile::startRun()
{
    stored.push_back({end, 0});
}

std::string RunFile::append(const fraction::FractionRecord* entries, std::size_t count)
{
    // The entries are plain pairs of integers: their bytes are the data.
    const std::string reason =
        file.writeAt(end * kEntrySize, reinterpret_cast<const char*>(entries), count * kEntrySize);
    if (!reason.empty()) {
        return directory + ": cannot write a temporary file: " + reason;
    }
    end += count;
    stored.back().count += count;
    return {};
}

std::string RunFile::read(std::uint64_t position, fraction::FractionRecord* entries,
                          std::size_t count)
{
    std::size_t got = 0;
    std::string reason = file.readAt(position * kEntrySize, reinterpret_cast<char*>(entries),
                                     count * kEntrySize, got);
    if (reason.empty() && got != count * kEntrySize) {
        reason = "it ended early";
    }
    if (!reason.empty()) {
        return directory + ": cannot read a temporary file: " + reason;
    }
    return {};
}

}  // namespace sorting
