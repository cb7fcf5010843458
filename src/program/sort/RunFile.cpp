#include "sort/RunFile.h"

namespace sorting {

namespace {

constexpr std::size_t kEntrySize = sizeof(fraction::FractionRecord);

}  // namespace

Result<RunFile> RunFile::create(const std::string& directory)
{
    Result<platform::TemporaryFile> file = platform::TemporaryFile::create(directory);
    if (!file) {
        return Failure(directory + ": cannot make a temporary file: " + file.reason());
    }
    return RunFile(std::move(file).value(), directory);
}

void RunFile::startRun()
{
    stored.push_back({end, 0});
}

Status RunFile::append(const fraction::FractionRecord* entries, std::size_t count)
{
    // The entries are plain pairs of integers: their bytes are the data.
    const Status written =
        file.writeAt(end * kEntrySize, reinterpret_cast<const char*>(entries), count * kEntrySize);
    if (!written) {
        return Failure(directory + ": cannot write a temporary file: " + written.reason());
    }
    end += count;
    stored.back().count += count;
    return {};
}

Status RunFile::read(std::uint64_t position, fraction::FractionRecord* entries, std::size_t count)
{
    const Result<std::size_t> got =
        file.readAt(position * kEntrySize, reinterpret_cast<char*>(entries), count * kEntrySize);
    if (!got || got.value() != count * kEntrySize) {
        return Failure(directory + ": cannot read a temporary file: " +
                       (got ? std::string("it ended early") : got.reason()));
    }
    return {};
}

void RunFile::adviseReadSoon(std::uint64_t position, std::size_t count) const noexcept
{
    file.adviseReadSoon(position * kEntrySize, count * kEntrySize);
}

}  // namespace sorting
