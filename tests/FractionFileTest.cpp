#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <istream>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "LargeAllocations.h"
#include "ScratchDirectory.h"
#include "fraction/FractionFile.h"

using fraction::encodeInt32;
using fraction::FileProgress;
using fraction::FractionFileError;
using fraction::FractionFileResult;
using fraction::FractionRecord;
using fraction::INVALID_RECORD;
using fraction::readFractionFile;
using fraction::RecordList;
using fraction::writeFractionFile;

namespace {

std::string int32Bytes(std::int32_t value)
{
    std::string bytes(4, '\0');
    encodeInt32(value, bytes.data());
    return bytes;
}

std::string fileBytes(std::int32_t count, const std::vector<FractionRecord>& records)
{
    std::string bytes = int32Bytes(count);
    for (const FractionRecord& record : records) {
        bytes += int32Bytes(record.numerator) + int32Bytes(record.denominator);
    }
    return bytes;
}

// A stream that can only be read forwards, as a pipe can: it cannot tell
// its length, so the reader must grow its list with what arrives.
class ForwardOnlyBuffer : public std::streambuf {
public:
    explicit ForwardOnlyBuffer(std::string contents) : bytes(std::move(contents))
    {
        setg(bytes.data(), bytes.data(), bytes.data() + bytes.size());
    }

private:
    std::string bytes;
};

// A file that shrinks while it is read: the length it tells beforehand is
// more than then arrives.
class ShrinkingBuffer : public std::streambuf {
public:
    ShrinkingBuffer(std::string contents, std::streamoff toldLength)
        : bytes(std::move(contents)), told(toldLength)
    {
        setg(bytes.data(), bytes.data(), bytes.data() + bytes.size());
    }

private:
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override
    {
        if (direction == std::ios_base::end) {
            seenEnd = true;
            return told + offset;
        }
        if (direction == std::ios_base::cur && offset == 0) {
            return seenEnd ? told : gptr() - eback();
        }
        return std::streambuf::seekoff(offset, direction, which);
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode /*which*/) override
    {
        seenEnd = false;
        const auto offset = static_cast<std::size_t>(off_type(position));
        setg(eback(), eback() + std::min(offset, bytes.size()), egptr());
        return position;
    }

    std::string bytes;
    std::streamoff told;
    bool seenEnd = false;
};

struct ReadBoth {
    FractionFileResult seekable;
    FractionFileResult forwardOnly;
};

ReadBoth readBothWays(const std::string& bytes)
{
    std::istringstream seekable(bytes);
    ForwardOnlyBuffer buffer(bytes);
    std::istream forwardOnly(&buffer);
    return {readFractionFile(seekable), readFractionFile(forwardOnly)};
}

std::vector<FractionRecord> recordsOf(const FractionFileResult& result)
{
    return {result.contents->records.begin(), result.contents->records.end()};
}

TEST(FractionFileRead, WholeFilesReadTheSameFromAnyStream)
{
    std::vector<FractionRecord> records;
    records.reserve(20002);
    // More than one block of records, so that reading and growing go on.
    for (std::int32_t i = 0; i < 20000; ++i) {
        records.push_back({i * 37 - 5000, i % 2 == 0 ? -(i + 1) : i + 1});
    }
    records.push_back(INVALID_RECORD);
    records.push_back({-2147483647 - 1, 2147483647});
    const auto count = static_cast<std::int32_t>(records.size());
    const ReadBoth read = readBothWays(fileBytes(count, records));
    for (const FractionFileResult* result : {&read.seekable, &read.forwardOnly}) {
        ASSERT_TRUE(result->contents.has_value()) << result->message;
        EXPECT_EQ(result->contents->count, count);
        EXPECT_FALSE(result->contents->hasTrailingBytes);
        EXPECT_EQ(recordsOf(*result), records);
    }
}

TEST(FractionFileRead, ShortFilesAreRefusedWithTheSameWordsFromAnyStream)
{
    struct ShortRow {
        std::string bytes;
        const char* message;
    };
    const std::vector<ShortRow> rows = {
        {"", "not a fraction file: 0 bytes, too short for the 4-byte count"},
        {std::string("\x01\x00", 2),
         "not a fraction file: 2 bytes, too short for the 4-byte count"},
        {fileBytes(3, {{1, 2}}) + "abc",
         "header says 3 records, file holds 1 and 3 bytes of another"},
    };
    for (const ShortRow& row : rows) {
        const ReadBoth read = readBothWays(row.bytes);
        for (const FractionFileResult* result : {&read.seekable, &read.forwardOnly}) {
            EXPECT_FALSE(result->contents.has_value());
            EXPECT_EQ(result->error, FractionFileError::unusable);
            EXPECT_EQ(result->message, row.message);
        }
    }
}

// A file's length is checked before its count is trusted, so that a count
// whose bytes would not fit a 32-bit size is refused as short there too.
// A file that did not open is told apart from an empty one.
TEST(FractionFileRead, AFailedStreamIsSaidToHaveFailed)
{
    std::ifstream missing("/nonexistent/no such fraction file");
    const fraction::FractionFileResult whole = fraction::readFractionFile(missing);
    EXPECT_FALSE(whole.contents.has_value());
    EXPECT_EQ(whole.message, "the stream had failed before anything was read");
    const fraction::FractionFileHeaderResult header = fraction::readFractionFileHeader(missing);
    EXPECT_FALSE(header.header.has_value());
    EXPECT_EQ(header.message, "the stream had failed before anything was read");
}

TEST(FractionFileRead, AFileIsMeasuredBeforeItsCountIsTrusted)
{
    std::istringstream in(int32Bytes(2147483647) + fileBytes(1, {{1, 2}}).substr(4));
    const FractionFileResult result = readFractionFile(in);
    ASSERT_FALSE(result.contents.has_value());
    EXPECT_EQ(result.error, FractionFileError::unusable);
    EXPECT_EQ(result.message, "header says 2147483647 records, file holds 1");
}

// Without a length to check first, a count whose bytes exceed what a size
// can hold is refused before any allocation, never wrapped.
TEST(FractionFileRead, ACountBeyondTheAddressSpaceIsRefusedNeverWrapped)
{
    ForwardOnlyBuffer buffer(int32Bytes(2147483647) + fileBytes(1, {{1, 2}}));
    std::istream in(&buffer);
    const FractionFileResult result = readFractionFile(in);
    ASSERT_FALSE(result.contents.has_value());
    EXPECT_EQ(result.error, FractionFileError::unusable);
    if (sizeof(std::size_t) == 4) {
        EXPECT_EQ(result.message,
                  "header says 2147483647 records, more than this system can address");
    } else {
        EXPECT_EQ(result.message,
                  "header says 2147483647 records, file holds 1 and 4 bytes of another");
    }
}

TEST(FractionFileRead, NoRecordsForACountOfZeroOrLessAndTrailingBytesAreNoticed)
{
    for (const std::int32_t count : {0, -3}) {
        const ReadBoth read = readBothWays(int32Bytes(count));
        for (const FractionFileResult* result : {&read.seekable, &read.forwardOnly}) {
            ASSERT_TRUE(result->contents.has_value());
            EXPECT_EQ(result->contents->count, count);
            EXPECT_EQ(result->contents->records.size(), 0U);
            EXPECT_FALSE(result->contents->hasTrailingBytes);
        }
    }
    const ReadBoth read = readBothWays(fileBytes(1, {{1, 2}}) + "x");
    for (const FractionFileResult* result : {&read.seekable, &read.forwardOnly}) {
        ASSERT_TRUE(result->contents.has_value());
        EXPECT_TRUE(result->contents->hasTrailingBytes);
        EXPECT_EQ(recordsOf(*result), (std::vector<FractionRecord>{{1, 2}}));
    }
}

TEST(FractionFileRead, AFileShorterThanItToldIsRefusedAsShort)
{
    ShrinkingBuffer buffer(fileBytes(3, {{1, 2}}), 28);
    std::istream in(&buffer);
    const FractionFileResult result = readFractionFile(in);
    ASSERT_FALSE(result.contents.has_value());
    EXPECT_EQ(result.error, FractionFileError::unusable);
    EXPECT_EQ(result.message, "header says 3 records, file holds 1");
}

std::vector<FractionRecord> countingRecords(std::int32_t count)
{
    std::vector<FractionRecord> records;
    records.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        records.push_back({i, 7});
    }
    return records;
}

// A list that cannot be had is told as such, never thrown or crashed on. A
// stream of known length asks for the whole list at once; any other grows
// its list with what arrives, so it fails only once that passes the limit.
TEST(FractionFileRead, RecordsThatMemoryCannotHoldAreRefusedAsOutOfMemory)
{
    constexpr std::size_t kLimit = std::size_t{1} << 20U;
    const std::string bytes = fileBytes(200000, countingRecords(200000));
    std::istringstream seekable(bytes);
    ForwardOnlyBuffer buffer(bytes);
    std::istream forwardOnly(&buffer);
    const std::string fitting = fileBytes(100000, countingRecords(100000));
    std::istringstream fits(fitting);
    const LargeAllocationsFail noLargeBlocks(kLimit);

    const FractionFileResult whole = readFractionFile(seekable);
    ASSERT_FALSE(whole.contents.has_value());
    EXPECT_EQ(whole.error, FractionFileError::outOfMemory);
    EXPECT_EQ(whole.message, "out of memory: 200000 records need 1600000 bytes");

    const FractionFileResult grown = readFractionFile(forwardOnly);
    ASSERT_FALSE(grown.contents.has_value());
    EXPECT_EQ(grown.error, FractionFileError::outOfMemory);
    EXPECT_EQ(grown.message, "out of memory: 131072 records need 1048576 bytes");

    const FractionFileResult small = readFractionFile(fits);
    ASSERT_TRUE(small.contents.has_value()) << small.message;
    EXPECT_EQ(small.contents->records.size(), 100000U);
}

class RecordedProgress : public FileProgress {
public:
    void advanced(std::uint64_t done, std::uint64_t total) override
    {
        told.emplace_back(done, total);
    }

    [[nodiscard]] const std::vector<std::pair<std::uint64_t, std::uint64_t>>& heard() const
    {
        return told;
    }

private:
    std::vector<std::pair<std::uint64_t, std::uint64_t>> told;
};

TEST(FractionFileProgress, EveryBlockReadOrWrittenIsHeardOfTheSameFromAnyStream)
{
    const std::vector<FractionRecord> records = countingRecords(20000);
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> expected = {
        {0, 160000}, {65536, 160000}, {131072, 160000}};
    const std::string bytes = fileBytes(20000, records);
    std::istringstream seekable(bytes);
    ForwardOnlyBuffer buffer(bytes);
    std::istream forwardOnly(&buffer);
    for (std::istream* in : {static_cast<std::istream*>(&seekable), &forwardOnly}) {
        RecordedProgress progress;
        const FractionFileResult result = readFractionFile(*in, &progress);
        ASSERT_TRUE(result.contents.has_value()) << result.message;
        EXPECT_EQ(progress.heard(), expected);
    }
    RecordedProgress progress;
    std::ostringstream out;
    writeFractionFile(out, 20000, records.data(), records.data() + records.size(), &progress);
    EXPECT_EQ(progress.heard(), expected);
    EXPECT_EQ(out.str(), bytes);
}

TEST(FractionFileWrite, WritesTheCountThenEachRecordLittleEndian)
{
    std::vector<FractionRecord> records;
    records.reserve(9000);
    for (std::int32_t i = 0; i < 9000; ++i) {
        records.push_back({-i, i + 1});
    }
    std::ostringstream out;
    writeFractionFile(out, 9000, records.data(), records.data() + records.size());
    EXPECT_EQ(out.str(), fileBytes(9000, records));
    EXPECT_EQ(out.str().substr(0, 12),
              std::string("\x28\x23\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00", 12));
}

TEST(FractionFileRecords, ResizeKeepsTheFirstRecordsAndZeroesTheRest)
{
    RecordList list;
    ASSERT_TRUE(list.resize(2));
    list[0] = {5, 7};
    list[1] = {-1, 3};
    ASSERT_TRUE(list.resize(4));
    EXPECT_EQ(std::vector<FractionRecord>(list.begin(), list.end()),
              (std::vector<FractionRecord>{{5, 7}, {-1, 3}, {0, 0}, {0, 0}}));
    ASSERT_TRUE(list.resize(1));
    EXPECT_EQ(std::vector<FractionRecord>(list.begin(), list.end()),
              (std::vector<FractionRecord>{{5, 7}}));
}

}  // namespace

TEST(FractionFilesByPath, RoundTripKeepsEveryFractionAsStored)
{
    const ScratchDirectory scratch;
    const std::vector<fraction::Fraction> written = {
        fraction::Fraction(6, -4), fraction::Fraction(0, 3), fraction::Fraction(),
        fraction::Fraction::fromRecord({-2147483647 - 1, -1})};
    const std::string path = scratch / "round.frac";
    ASSERT_EQ(fraction::writeFractions(path, written), "");
    const fraction::ReadFractionsResult read = fraction::readFractions(path);
    EXPECT_EQ(read.error, "");
    ASSERT_EQ(read.fractions.size(), written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(read.fractions[i].toRecord(), written[i].toRecord()) << i;
    }
    // An array writes as a vector does; an empty range makes a file of no fractions.
    const std::array pair = {fraction::Fraction(1, 2), fraction::Fraction(3)};
    ASSERT_EQ(fraction::writeFractions(path, pair), "");
    EXPECT_EQ(fraction::readFractions(path).fractions.size(), 2U);
    ASSERT_EQ(fraction::writeFractions(path, std::vector<fraction::Fraction>()), "");
    const fraction::ReadFractionsResult empty = fraction::readFractions(path);
    EXPECT_EQ(empty.error, "");
    EXPECT_TRUE(empty.fractions.empty());
}

TEST(FractionFilesByPath, FailuresSayWhyInTheReadersWords)
{
    const ScratchDirectory scratch;
    const fraction::ReadFractionsResult missing = fraction::readFractions(scratch / "none");
    EXPECT_TRUE(missing.fractions.empty());
    EXPECT_EQ(missing.error, std::make_error_code(std::errc::no_such_file_or_directory).message());

    const std::string shortFile = scratch / "short.frac";
    std::ofstream(shortFile, std::ios::binary) << fileBytes(3, {{1, 2}}) + "abc";
    const fraction::ReadFractionsResult cut = fraction::readFractions(shortFile);
    EXPECT_TRUE(cut.fractions.empty());
    EXPECT_EQ(cut.error, "header says 3 records, file holds 1 and 3 bytes of another");

    EXPECT_EQ(
        fraction::writeFractions(scratch / "no/such/dir", std::vector<fraction::Fraction>()),
        "cannot write: " + std::make_error_code(std::errc::no_such_file_or_directory).message());
}
