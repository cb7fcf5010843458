#pragma once

#include <bit>
#include <cstdint>

#include "fraction/FractionRecord.h"

namespace sorting {

// The key keeps the top 48 bits of a double: the sign, the exponent and
// 36 bits of the significand tell apart all but a few of a million values,
// and whoever sorts by it settles those few by the exact order.
constexpr unsigned kKeyBits = 48;
constexpr std::uint64_t kInvalidKey = (std::uint64_t{1} << kKeyBits) - 1;

// A key in the order of valueOrder, though coarser: a greater value never
// has a greater key, equal values have equal keys, and invalid entries the
// greatest. The double nearest a value is monotonic in the value, so its
// bits, read as an unsigned number that counts down from the greatest
// value, are too, and so is any top part of them.
[[nodiscard]] inline std::uint64_t valueKey(const fraction::FractionRecord& entry) noexcept
{
    if (entry.denominator == 0) {
        return kInvalidKey;
    }
    // Adding zero makes the -0 of a zero over a negative denominator +0.
    const double value =
        static_cast<double>(entry.numerator) / static_cast<double>(entry.denominator) + 0.0;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    // A negative double's bits count down as the value goes up, a positive
    // one's up, above every negative one once the sign bit is set.
    constexpr std::uint64_t kSignBit = std::uint64_t{1} << 63U;
    const std::uint64_t ascending = bits ^ ((0 - (bits >> 63U)) | kSignBit);
    return ~ascending >> (64U - kKeyBits);
}

}  // namespace sorting
