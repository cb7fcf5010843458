#pragma once

#include <cstddef>
#include <cstdint>

/// @file
/// The 8-byte fraction record: the numerator, then the denominator, each a
/// 32-bit little-endian two's-complement integer, whatever the machine's own
/// byte order. No padding, no separator between records.

namespace fraction {

/// Bytes in one fraction record.
constexpr std::size_t FRACTION_RECORD_SIZE = 8;

/// Both fields of a record hold this value when the fraction written was invalid.
constexpr std::int32_t INVALID_MARK = 123456789;

/// The two fields of a record, as plain integers in the machine's own order.
struct FractionRecord {
    /// The first field.
    std::int32_t numerator = 0;
    /// The second field.
    std::int32_t denominator = 0;
};

/// True for the pair of INVALID_MARKs that stands for an invalid fraction.
[[nodiscard]] constexpr bool isMarkerPair(const FractionRecord& record) noexcept
{
    return record.numerator == INVALID_MARK && record.denominator == INVALID_MARK;
}

/// Both fields alike.
[[nodiscard]] constexpr bool operator==(const FractionRecord& a, const FractionRecord& b) noexcept
{
    return a.numerator == b.numerator && a.denominator == b.denominator;
}

/// Either field different.
[[nodiscard]] inline bool operator!=(const FractionRecord& a, const FractionRecord& b) noexcept
{
    return !(a == b);
}

/// What an invalid fraction is written as.
constexpr FractionRecord INVALID_RECORD{INVALID_MARK, INVALID_MARK};

/// Writes value as 4 bytes, little-endian two's complement.
inline void encodeInt32(std::int32_t value, char* bytes) noexcept
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (unsigned byte = 0; byte < 4; ++byte) {
        bytes[byte] = static_cast<char>(static_cast<unsigned char>(bits >> (8 * byte)));
    }
}

/// Reads 4 bytes, little-endian two's complement.
[[nodiscard]] inline std::int32_t decodeInt32(const char* bytes) noexcept
{
    std::uint32_t bits = 0;
    for (unsigned byte = 0; byte < 4; ++byte) {
        bits |= std::uint32_t{static_cast<unsigned char>(bytes[byte])} << (8 * byte);
    }
    // Decoded by hand, so that no out-of-range conversion is needed.
    constexpr std::uint32_t kSignBit = 0x80000000U;
    if ((bits & kSignBit) == 0) {
        return static_cast<std::int32_t>(bits);
    }
    return -static_cast<std::int32_t>(~bits) - 1;
}

/// Writes the record's FRACTION_RECORD_SIZE bytes.
inline void encodeRecord(const FractionRecord& record, char* bytes) noexcept
{
    encodeInt32(record.numerator, bytes);
    encodeInt32(record.denominator, bytes + 4);
}

/// Reads FRACTION_RECORD_SIZE bytes as a record.
[[nodiscard]] inline FractionRecord decodeRecord(const char* bytes) noexcept
{
    return {decodeInt32(bytes), decodeInt32(bytes + 4)};
}

}  // namespace fraction
