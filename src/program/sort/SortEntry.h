#pragma once

#include <cstdint>

#include "fraction/Fraction.h"
#include "fraction/FractionRecord.h"

// A list entry as the sort holds it: the parts of the reduced fraction, or
// {0, 0} for an invalid one. A valid fraction never has a zero denominator,
// so one comparison tells the two apart.
[[nodiscard]] inline fraction::FractionRecord sortEntry(const fraction::Fraction& value) noexcept
{
    return value.isValid() ? value.toRecord() : fraction::FractionRecord{0, 0};
}

// The parts of an entry as one unsigned number that orders by denominator,
// then by numerator, as signed values.
[[nodiscard]] inline std::uint64_t partsKey(const fraction::FractionRecord& entry) noexcept
{
    constexpr std::uint32_t kSignBit = 0x80000000U;
    return (std::uint64_t{static_cast<std::uint32_t>(entry.denominator) ^ kSignBit} << 32U) |
           (static_cast<std::uint32_t>(entry.numerator) ^ kSignBit);
}

// The report's order over sort entries, made total: valid entries first,
// greatest first; entries of equal value (1/-2 and -1/2, zeros over
// different denominators) by denominator, then by numerator, least first;
// invalid entries last, all alike. Entries that compare equal are the same
// bytes, so the sorted list depends only on which entries there are, not
// on their order or on the sort. Free of branches on the values.
[[nodiscard]] inline bool entryOrder(const fraction::FractionRecord& a,
                                     const fraction::FractionRecord& b) noexcept
{
    const auto aValid = static_cast<unsigned>(a.denominator != 0);
    const auto bInvalid = static_cast<unsigned>(b.denominator == 0);
    const auto aGreater = static_cast<unsigned>(
        fraction::isGreaterValue(a.numerator, a.denominator, b.numerator, b.denominator));
    const auto sameValue = static_cast<unsigned>(std::int64_t{a.numerator} * b.denominator ==
                                                 std::int64_t{b.numerator} * a.denominator);
    const auto aFirstAmongEqual = static_cast<unsigned>(partsKey(a) < partsKey(b));
    return (aValid & (bInvalid | aGreater | (sameValue & aFirstAmongEqual))) != 0U;
}

// entryOrder as a type, so that a sort or a merge inlines it.
struct EntryOrder {
    bool operator()(const fraction::FractionRecord& a,
                    const fraction::FractionRecord& b) const noexcept
    {
        return entryOrder(a, b);
    }
};
