#include "sort/RecordSource.h"

#include <algorithm>
#include <array>
#include <istream>

#include "fraction/FractionFile.h"

namespace sorting {

namespace {

constexpr std::size_t kCopyBlock = 8192;
constexpr std::size_t kEntrySize = sizeof(fraction::FractionRecord);

}  // namespace

std::optional<RecordSource> RecordSource::copyOf(std::istream& stream, std::uint64_t count,
                                                 const std::string& directory,
                                                 std::uint64_t& arrivedBytes, std::string& error)
{
    std::string reason;
    platform::TemporaryFile file = platform::TemporaryFile::create(directory, reason);
    if (!file.isOpen()) {
        error = directory + ": cannot make a temporary file: " + reason;
        return std::nullopt;
    }
    // Kept decoded, in the machine's own layout, ready to be read back.
    std::array<fraction::FractionRecord, kCopyBlock> block{};
    arrivedBytes = 0;
    for (std::uint64_t copied = 0; copied < count;) {
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, count - copied));
        const std::uint64_t got = fraction::readFractionRecords(stream, block.data(), wanted);
        arrivedBytes += got;
        const auto records = static_cast<std::size_t>(got / fraction::FRACTION_RECORD_SIZE);
        reason = file.writeAt(copied * kEntrySize, reinterpret_cast<const char*>(block.data()),
                              records * kEntrySize);
        if (!reason.empty()) {
            error = directory;
            error += ": cannot write a temporary file: ";
            error += reason;
            return std::nullopt;
        }
        copied += records;
        if (records < wanted) {
            break;
        }
    }
    return RecordSource(std::move(file), directory);
}

std::size_t RecordSource::read(fraction::FractionRecord* records, std::size_t count,
                               std::string& error)
{
    std::size_t got = 0;
    if (in != nullptr) {
        got = static_cast<std::size_t>(fraction::readFractionRecords(*in, records, count) /
                                       fraction::FRACTION_RECORD_SIZE);
        if (got < count) {
            error = directory + ": the file ended early";
        }
        return got;
    }
    std::size_t bytes = 0;
    const std::string reason = copy.readAt(position * kEntrySize, reinterpret_cast<char*>(records),
                                           count * kEntrySize, bytes);
    got = bytes / kEntrySize;
    position += got;
    if (!reason.empty()) {
        error = directory + ": cannot read a temporary file: " + reason;
    } else if (got < count) {
        error = directory + ": cannot read a temporary file: it ended early";
    }
    return got;
}

}  // namespace sorting
