#include "sort/RecordSource.h"

#include <algorithm>
#include <array>
#include <istream>

#include "common/ReadFailure.h"
#include "fraction/FractionFile.h"

namespace sorting {

namespace {

constexpr std::size_t kCopyBlock = 8192;
constexpr std::size_t kEntrySize = sizeof(fraction::FractionRecord);

}  // namespace

Result<RecordSource> RecordSource::copyOf(std::istream& stream, std::uint64_t count,
                                          const std::string& directory, std::uint64_t& arrivedBytes)
{
    Result<platform::TemporaryFile> made = platform::TemporaryFile::create(directory);
    if (!made) {
        return Failure(directory + ": cannot make a temporary file: " + made.reason());
    }
    platform::TemporaryFile file = std::move(made).value();
    // Kept decoded, in the machine's own layout, ready to be read back.
    std::array<fraction::FractionRecord, kCopyBlock> block{};
    arrivedBytes = 0;
    for (std::uint64_t copied = 0; copied < count;) {
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, count - copied));
        const std::uint64_t got = fraction::readFractionRecords(stream, block.data(), wanted);
        arrivedBytes += got;
        const auto records = static_cast<std::size_t>(got / fraction::FRACTION_RECORD_SIZE);
        const Status written = file.writeAt(
            copied * kEntrySize, reinterpret_cast<const char*>(block.data()), records * kEntrySize);
        if (!written) {
            return Failure(directory + ": cannot write a temporary file: " + written.reason());
        }
        copied += records;
        if (records < wanted) {
            break;
        }
    }
    return RecordSource(std::move(file), directory);
}

Status RecordSource::read(fraction::FractionRecord* records, std::size_t count)
{
    if (in != nullptr) {
        const auto got = static_cast<std::size_t>(
            fraction::readFractionRecords(*in, records, count) / fraction::FRACTION_RECORD_SIZE);
        if (got < count) {
            return Failure(directory + ": " + shortReadReason(*in, "the file ended early"));
        }
        return {};
    }
    const Result<std::size_t> bytes =
        copy.readAt(position * kEntrySize, reinterpret_cast<char*>(records), count * kEntrySize);
    if (!bytes) {
        return Failure(directory + ": cannot read a temporary file: " + bytes.reason());
    }
    const std::size_t got = bytes.value() / kEntrySize;
    position += got;
    if (got < count) {
        return Failure(directory + ": cannot read a temporary file: it ended early");
    }
    return {};
}

}  // namespace sorting
