#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fraction/Export.h"
#include "fraction/Fraction.h"
#include "fraction/FractionRecord.h"

/// @file
/// Reading and writing whole fraction files. A fraction file is a 32-bit
/// little-endian count, then that many 8-byte fraction records, with no
/// magic number, version or trailer.

namespace fraction {

/// Bytes in the count that starts a fraction file.
constexpr std::size_t FRACTION_COUNT_SIZE = 4;

/// Records in one block of memory. Allocation never throws: a block that
/// cannot be had is reported by the call that asked for it.
class FRACTION_EXPORT RecordList {
public:
    /// An empty list.
    RecordList() noexcept = default;

    /// Makes room for exactly `count` records, keeping the first ones that
    /// were there and zeroing the rest. Returns false, with the list as it
    /// was, when the memory cannot be had.
    [[nodiscard]] bool resize(std::size_t count) noexcept;

    /// The number of records.
    [[nodiscard]] std::size_t size() const noexcept { return count; }
    /// The first record.
    [[nodiscard]] FractionRecord* begin() noexcept { return records.get(); }
    /// One past the last record.
    [[nodiscard]] FractionRecord* end() noexcept { return records.get() + count; }
    /// The first record.
    [[nodiscard]] const FractionRecord* begin() const noexcept { return records.get(); }
    /// One past the last record.
    [[nodiscard]] const FractionRecord* end() const noexcept { return records.get() + count; }
    /// The record at `index`, which is below size().
    [[nodiscard]] FractionRecord& operator[](std::size_t index) noexcept { return records[index]; }
    /// The record at `index`, which is below size().
    [[nodiscard]] const FractionRecord& operator[](std::size_t index) const noexcept
    {
        return records[index];
    }

private:
    std::unique_ptr<FractionRecord[]> records;  // NOLINT(modernize-avoid-c-arrays)
    std::size_t count = 0;
};

/// A fraction file read whole.
struct FractionFileContents {
    /// The count the file starts with.
    std::int32_t count = 0;
    /// Exactly count records (none when count <= 0), in file order.
    RecordList records;
    /// True when the file goes on after the counted records; those bytes are
    /// not read.
    bool hasTrailingBytes = false;
};

/// Why a fraction file could not be read.
enum class FractionFileError {
    /// The bytes are not a whole fraction file (too short, or a count this
    /// process cannot address); another file may do.
    unusable,
    /// The file's records need more memory than can be had.
    outOfMemory,
};

/// What readFractionFile found: the contents, or why there are none.
struct FractionFileResult {
    /// The file read whole, or nothing when it could not be.
    std::optional<FractionFileContents> contents;
    /// When contents is empty: what went wrong, and a description fit to
    /// follow "NAME: ".
    FractionFileError error = FractionFileError::unusable;
    /// See error.
    std::string message;
};

/// Told, now and then, how far reading or writing a fraction file has come.
class FRACTION_EXPORT FileProgress {
public:
    FileProgress() = default;
    FileProgress(const FileProgress&) = delete;
    FileProgress& operator=(const FileProgress&) = delete;
    /// Lets a listener be deleted through this interface.
    virtual ~FileProgress() = default;

    /// `done` of `total` bytes are read or written.
    virtual void advanced(std::uint64_t done, std::uint64_t total) = 0;
};

/// Reads a whole fraction file from the stream. A stream that can tell its
/// length is checked against the count before anything is allocated, and
/// its records then take exactly the memory they need; any other stream is
/// read in growing blocks, so that a count claiming more records than
/// arrive costs no more than what did arrive.
/// `progress`, when given, hears of every block read.
[[nodiscard]] FRACTION_EXPORT FractionFileResult readFractionFile(std::istream& in,
                                                                  FileProgress* progress = nullptr);

/// The count of a fraction file read as a stream, for a reader that takes
/// its records a block at a time rather than whole.
struct FractionFileHeader {
    /// The count the file starts with.
    std::int32_t count = 0;
    /// The bytes after the count, when the stream can tell its length.
    std::optional<std::uint64_t> bytesLeft;
};

/// What readFractionFileHeader found: the header, or why there is none.
struct FractionFileHeaderResult {
    /// The count read, or nothing when it could not be.
    std::optional<FractionFileHeader> header;
    /// When header is empty: a description fit to follow "NAME: ".
    std::string message;
};

/// Reads the count. A stream that can tell its length is checked against it:
/// a file shorter than its count says is refused here, before any record is
/// read.
[[nodiscard]] FRACTION_EXPORT FractionFileHeaderResult readFractionFileHeader(std::istream& in);

/// Reads up to `count` records into `records`, decoded; returns how many
/// bytes arrived, fewer than count * FRACTION_RECORD_SIZE only where the
/// stream ended or failed (a record cut short is then not decoded).
[[nodiscard]] FRACTION_EXPORT std::uint64_t readFractionRecords(std::istream& in,
                                                                FractionRecord* records,
                                                                std::size_t count);

/// What a file whose count says `count` records but that holds only
/// `recordBytes` bytes after the count is refused with.
[[nodiscard]] FRACTION_EXPORT std::string describeShortFile(std::int32_t count,
                                                            std::uint64_t recordBytes);

/// Writes the file's count field.
FRACTION_EXPORT void writeCount(std::ostream& out, std::int32_t count);

/// Writes the records in order, without a count.
FRACTION_EXPORT void writeRecords(std::ostream& out, const FractionRecord* first,
                                  const FractionRecord* last);

/// Writes a whole fraction file: the count, then the records in order.
/// `progress`, when given, hears of every block written.
FRACTION_EXPORT void writeFractionFile(std::ostream& out, std::int32_t count,
                                       const FractionRecord* first, const FractionRecord* last,
                                       FileProgress* progress = nullptr);

/// What readFractions found: the fractions, or why there are none.
struct ReadFractionsResult {
    /// The file's fractions in file order; empty when it could not be read.
    std::vector<Fraction> fractions;
    /// Empty when the file was read; otherwise why not, fit to follow
    /// "NAME: ": the system's words for a file that cannot be opened ("No
    /// such file or directory"), or readFractionFile's message.
    std::string error;
};

/// Reads the whole fraction file at `path`, as readFractionFile reads a
/// stream. Bytes after the counted records are not read, and a negative
/// count gives no fractions, as in the report.
[[nodiscard]] FRACTION_EXPORT ReadFractionsResult readFractions(const std::string& path);

/// Writes the fractions in [first, last) as a whole fraction file at
/// `path`, replacing what was there. Returns an empty string, or why the
/// file could not be written, fit to follow "NAME: ": "cannot write: "
/// and the system's words, or that there are more fractions than the
/// count can say.
[[nodiscard]] FRACTION_EXPORT std::string writeFractions(const std::string& path,
                                                         const Fraction* first,
                                                         const Fraction* last);

/// writeFractions for any range of fractions: a vector, an array, a list.
template <typename Range>
[[nodiscard]] std::string writeFractions(const std::string& path, const Range& fractions)
{
    const std::vector<Fraction> copied(std::begin(fractions), std::end(fractions));
    return writeFractions(path, copied.data(), copied.data() + copied.size());
}

}  // namespace fraction
