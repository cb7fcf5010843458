#include "fraction/FractionFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <limits>
#include <new>
#include <ostream>
#include <system_error>

namespace fraction {

namespace {

// Records are read this many at a time, straight into their list: large
// enough that a stream call costs nothing beside the bytes.
constexpr std::size_t kBlockRecords = 8192;

// Records are encoded for writing this many at a time, in a staging block
// on the stack: 4 KiB, so that a caller with a small stack can write. The
// stream's own buffer gathers the blocks into larger writes.
constexpr std::size_t kWriteBlockRecords = 512;

// A stream that cannot tell its length starts with this many records and
// doubles them with what arrives.
constexpr std::size_t kFirstGrowth = 8192;

// The most records a std::size_t can count the bytes of.
constexpr std::size_t kAddressableRecords =
    std::numeric_limits<std::size_t>::max() / FRACTION_RECORD_SIZE;

// "1 record", "2 records".
std::string recordCount(std::int64_t count)
{
    return std::to_string(count) + (count == 1 ? " record" : " records");
}

FractionFileResult unusable(std::string message)
{
    return {std::nullopt, FractionFileError::unusable, std::move(message)};
}

FractionFileResult outOfMemory(std::size_t records)
{
    return {std::nullopt, FractionFileError::outOfMemory,
            "out of memory: " + recordCount(static_cast<std::int64_t>(records)) + " need " +
                std::to_string(std::uint64_t{records} * FRACTION_RECORD_SIZE) + " bytes"};
}

// The bytes from the stream's position to its end, when it can tell.
std::optional<std::uint64_t> bytesLeft(std::istream& in)
{
    const std::streampos here = in.tellg();
    if (here == std::streampos(-1)) {
        in.clear();
        return std::nullopt;
    }
    in.seekg(0, std::ios::end);
    const std::streampos end = in.tellg();
    in.seekg(here);
    const std::streamoff length = end - here;
    if (!in || end == std::streampos(-1) || length < 0) {
        in.clear();
        in.seekg(here);
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(length);
}

// Reads records [from, to) of the list as raw bytes; returns how many
// bytes arrived. `progress` hears of the bytes of the whole file so far.
std::size_t readRaw(std::istream& in, RecordList& records, std::size_t from, std::size_t to,
                    std::uint64_t totalBytes, FileProgress* progress)
{
    std::size_t arrived = 0;
    for (std::size_t first = from; first < to; first += kBlockRecords) {
        if (progress != nullptr) {
            progress->advanced(std::uint64_t{first} * FRACTION_RECORD_SIZE, totalBytes);
        }
        const std::size_t wanted = std::min(kBlockRecords, to - first) * FRACTION_RECORD_SIZE;
        // The records are trivially copyable, so their bytes may be filled
        // directly; they are decoded in place afterwards.
        in.read(reinterpret_cast<char*>(&records[first]), static_cast<std::streamsize>(wanted));
        const auto got = static_cast<std::size_t>(in.gcount());
        arrived += got;
        if (got < wanted) {
            break;
        }
    }
    return arrived;
}

// Turns the raw little-endian bytes of each record into its fields.
void decodeInPlace(RecordList& records)
{
    for (FractionRecord& record : records) {
        std::array<char, FRACTION_RECORD_SIZE> bytes{};
        std::memcpy(bytes.data(), &record, bytes.size());
        record = decodeRecord(bytes.data());
    }
}

}  // namespace

bool RecordList::resize(std::size_t newCount) noexcept
{
    // A runtime-sized block from the non-throwing new: std::vector would
    // throw where this reports.
    std::unique_ptr<FractionRecord[]> grown(  // NOLINT(modernize-avoid-c-arrays)
        new (std::nothrow) FractionRecord[newCount]);
    if (!grown) {
        return false;
    }
    std::copy(begin(), begin() + std::min(count, newCount), grown.get());
    records = std::move(grown);
    count = newCount;
    return true;
}

namespace {
constexpr const char* kFailedStream = "the stream had failed before anything was read";
}  // namespace

FractionFileResult readFractionFile(std::istream& in, FileProgress* progress)
{
    // A stream failed before anything is read (a file that did not open) is
    // no short file.
    if (!in) {
        return unusable(kFailedStream);
    }
    std::array<char, FRACTION_COUNT_SIZE> header{};
    in.read(header.data(), header.size());
    const auto headerBytes = static_cast<std::size_t>(in.gcount());
    if (headerBytes != header.size()) {
        return unusable("not a fraction file: " + std::to_string(headerBytes) +
                        " bytes, too short for the 4-byte count");
    }

    FractionFileContents contents;
    contents.count = decodeInt32(header.data());
    const std::size_t expected = contents.count > 0 ? static_cast<std::size_t>(contents.count) : 0;
    const std::uint64_t expectedBytes = std::uint64_t{expected} * FRACTION_RECORD_SIZE;
    const std::optional<std::uint64_t> available = bytesLeft(in);
    if (available && *available < expectedBytes) {
        return unusable(describeShortFile(contents.count, *available));
    }
    if (expected > kAddressableRecords) {
        return unusable("header says " + std::to_string(contents.count) +
                        " records, more than this system can address");
    }

    if (available) {
        if (!contents.records.resize(expected)) {
            return outOfMemory(expected);
        }
        const std::size_t arrived =
            readRaw(in, contents.records, 0, expected, expectedBytes, progress);
        if (arrived < expectedBytes) {
            return unusable(describeShortFile(contents.count, arrived));
        }
        contents.hasTrailingBytes = *available > expectedBytes;
    } else {
        // Growth follows what has arrived rather than the header's claim.
        std::size_t have = 0;
        std::size_t arrivedBytes = 0;
        while (have < expected) {
            const std::size_t target = std::min(expected, std::max(kFirstGrowth, have * 2));
            if (!contents.records.resize(target)) {
                return outOfMemory(target);
            }
            const std::size_t got =
                readRaw(in, contents.records, have, target, expectedBytes, progress);
            arrivedBytes += got;
            if (got < (target - have) * FRACTION_RECORD_SIZE) {
                return unusable(describeShortFile(contents.count, arrivedBytes));
            }
            have = target;
        }
        contents.hasTrailingBytes = in.peek() != std::istream::traits_type::eof();
    }
    decodeInPlace(contents.records);
    return {std::move(contents), FractionFileError::unusable, {}};
}

std::string describeShortFile(std::int32_t count, std::uint64_t recordBytes)
{
    std::string message = "header says " + recordCount(count) + ", file holds " +
                          std::to_string(recordBytes / FRACTION_RECORD_SIZE);
    if (recordBytes % FRACTION_RECORD_SIZE != 0) {
        message +=
            " and " + std::to_string(recordBytes % FRACTION_RECORD_SIZE) + " bytes of another";
    }
    return message;
}

FractionFileHeaderResult readFractionFileHeader(std::istream& in)
{
    if (!in) {
        return {std::nullopt, kFailedStream};
    }
    std::array<char, FRACTION_COUNT_SIZE> bytes{};
    in.read(bytes.data(), bytes.size());
    const auto headerBytes = static_cast<std::size_t>(in.gcount());
    if (headerBytes != bytes.size()) {
        return {std::nullopt, "not a fraction file: " + std::to_string(headerBytes) +
                                  " bytes, too short for the 4-byte count"};
    }
    FractionFileHeader header;
    header.count = decodeInt32(bytes.data());
    header.bytesLeft = bytesLeft(in);
    const auto expected = static_cast<std::uint64_t>(std::max<std::int32_t>(header.count, 0));
    if (header.bytesLeft && *header.bytesLeft < expected * FRACTION_RECORD_SIZE) {
        return {std::nullopt, describeShortFile(header.count, *header.bytesLeft)};
    }
    return {header, {}};
}

std::uint64_t readFractionRecords(std::istream& in, FractionRecord* records, std::size_t count)
{
    std::uint64_t arrived = 0;
    for (std::size_t first = 0; first < count; first += kBlockRecords) {
        const std::size_t wanted = std::min(kBlockRecords, count - first);
        // The records are trivially copyable, so their bytes may be filled
        // directly; they are decoded in place afterwards.
        in.read(reinterpret_cast<char*>(records + first),
                static_cast<std::streamsize>(wanted * FRACTION_RECORD_SIZE));
        const auto got = static_cast<std::size_t>(in.gcount());
        for (FractionRecord* record = records + first;
             record != records + first + got / FRACTION_RECORD_SIZE; ++record) {
            std::array<char, FRACTION_RECORD_SIZE> raw{};
            std::memcpy(raw.data(), record, raw.size());
            *record = decodeRecord(raw.data());
        }
        arrived += got;
        if (got < wanted * FRACTION_RECORD_SIZE) {
            break;
        }
    }
    return arrived;
}

void writeCount(std::ostream& out, std::int32_t count)
{
    std::array<char, FRACTION_COUNT_SIZE> bytes{};
    encodeInt32(count, bytes.data());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void writeRecords(std::ostream& out, const FractionRecord* first, const FractionRecord* last)
{
    std::array<char, kWriteBlockRecords * FRACTION_RECORD_SIZE> block{};
    while (first != last) {
        const auto records = std::min(kWriteBlockRecords, static_cast<std::size_t>(last - first));
        char* bytes = block.data();
        for (const FractionRecord* end = first + records; first != end; ++first) {
            encodeRecord(*first, bytes);
            bytes += FRACTION_RECORD_SIZE;
        }
        out.write(block.data(), bytes - block.data());
    }
}

void writeFractionFile(std::ostream& out, std::int32_t count, const FractionRecord* first,
                       const FractionRecord* last, FileProgress* progress)
{
    writeCount(out, count);
    const auto totalBytes = static_cast<std::uint64_t>(last - first) * FRACTION_RECORD_SIZE;
    while (first != last) {
        if (progress != nullptr) {
            progress->advanced(static_cast<std::uint64_t>(totalBytes) -
                                   static_cast<std::uint64_t>(last - first) * FRACTION_RECORD_SIZE,
                               totalBytes);
        }
        const auto records = std::min(kBlockRecords, static_cast<std::size_t>(last - first));
        writeRecords(out, first, first + records);
        first += records;
    }
}

namespace {

// The system's words for the last failure, or `fallback` where it gave none.
std::string systemReason(const char* fallback)
{
    const int error = errno;
    return error != 0 ? std::error_code(error, std::generic_category()).message() : fallback;
}

}  // namespace

ReadFractionsResult readFractions(const std::string& path)
{
    errno = 0;
    std::ifstream in(path, std::ios::binary | std::ios::in);
    if (!in.is_open()) {
        return {{}, systemReason("cannot be read")};
    }
    const FractionFileResult read = readFractionFile(in);
    if (!read.contents) {
        return {{}, read.message};
    }
    ReadFractionsResult result;
    result.fractions.reserve(read.contents->records.size());
    for (const FractionRecord& record : read.contents->records) {
        result.fractions.push_back(Fraction::fromRecord(record));
    }
    return result;
}

std::string writeFractions(const std::string& path, const Fraction* first, const Fraction* last)
{
    const auto count = static_cast<std::size_t>(last - first);
    if (count > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return std::to_string(count) + " fractions, more than a fraction file can count";
    }
    std::vector<FractionRecord> records;
    records.reserve(count);
    for (const Fraction* fraction = first; fraction != last; ++fraction) {
        records.push_back(fraction->toRecord());
    }
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!out.is_open()) {
        return "cannot write: " + systemReason("cannot be opened");
    }
    writeFractionFile(out, static_cast<std::int32_t>(count), records.data(),
                      records.data() + records.size());
    out.close();
    if (out.fail()) {
        return "cannot write: " + systemReason("the stream failed");
    }
    return {};
}

}  // namespace fraction
