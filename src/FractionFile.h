#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "Fraction.h"

// A fraction file: a 32-bit little-endian count, then that many 8-byte
// fraction records, with no magic number, version or trailer.

constexpr std::size_t FRACTION_COUNT_SIZE = 4;

// A fraction file read whole, as the bytes of its counted records.
struct FractionFileContents {
    std::int32_t count = 0;
    // Exactly count records of FRACTION_RECORD_SIZE bytes (none when count <= 0).
    std::string records;
    // True when the file goes on after the counted records; those bytes are
    // not read.
    bool hasTrailingBytes = false;
};

struct FractionFileResult {
    std::optional<FractionFileContents> contents;
    // When contents is empty: what is wrong, fit to follow "NAME: ".
    std::string error;
};

// Reads a whole fraction file from the stream. Memory grows only with the
// bytes actually read, so a header claiming far more records than the file
// holds costs no more than the file itself.
[[nodiscard]] FractionFileResult readFractionFile(std::istream& in);

// The records as fractions, read in order with Fraction::readBinary into
// one fraction that receives every record, a copy of which is kept each
// time: an invalid record keeps the parts its predecessor left.
[[nodiscard]] std::vector<Fraction> decodeFractions(std::string& records);

// Writes the file's count field.
void writeCount(std::ostream& out, std::int32_t count);

// Writes a whole fraction file: the count, then each fraction's record.
void writeFractionFile(std::ostream& out, std::int32_t count,
                       const std::vector<Fraction>& fractions);
