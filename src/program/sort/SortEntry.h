#pragma once

#include <algorithm>
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

// The report's order over sort entries: valid entries first, greatest
// first, invalid ones last. Entries of equal value (1/-2 and -1/2, zeros
// over different denominators) are equivalent here. Free of branches on
// the values.
[[nodiscard]] inline bool valueOrder(const fraction::FractionRecord& a,
                                     const fraction::FractionRecord& b) noexcept
{
    const auto aValid = static_cast<unsigned>(a.denominator != 0);
    const auto bInvalid = static_cast<unsigned>(b.denominator == 0);
    const auto aGreater = static_cast<unsigned>(
        fraction::isGreaterValue(a.numerator, a.denominator, b.numerator, b.denominator));
    return (aValid & (bInvalid | aGreater)) != 0U;
}

// True when two valid entries have the same value.
[[nodiscard]] inline bool sameValue(const fraction::FractionRecord& a,
                                    const fraction::FractionRecord& b) noexcept
{
    return std::int64_t{a.numerator} * b.denominator == std::int64_t{b.numerator} * a.denominator;
}

// valueOrder made total: entries of equal value come by denominator, then
// by numerator, least first; invalid entries are all alike. Entries that
// compare equal are the same bytes, so a list in this order depends only
// on which entries it holds, not on their order before or on the sort.
[[nodiscard]] inline bool entryOrder(const fraction::FractionRecord& a,
                                     const fraction::FractionRecord& b) noexcept
{
    const auto aValid = static_cast<unsigned>(a.denominator != 0);
    const auto firstAmongEqual =
        static_cast<unsigned>(sameValue(a, b)) & static_cast<unsigned>(partsKey(a) < partsKey(b));
    return static_cast<unsigned>(valueOrder(a, b)) != 0U || (aValid & firstAmongEqual) != 0U;
}

// valueOrder as a type, so that a sort inlines it.
struct ValueOrder {
    bool operator()(const fraction::FractionRecord& a,
                    const fraction::FractionRecord& b) const noexcept
    {
        return valueOrder(a, b);
    }
};

// entryOrder as a type.
struct EntryOrder {
    bool operator()(const fraction::FractionRecord& a,
                    const fraction::FractionRecord& b) const noexcept
    {
        return entryOrder(a, b);
    }
};

// Brings entries sorted by valueOrder into entryOrder: each stretch of
// equal values is put in order of its parts. Sorting by the cheaper
// valueOrder first and then this costs less than sorting by entryOrder,
// since equal values are few next to all the comparisons of a sort.
inline void orderEquivalents(fraction::FractionRecord* first, const fraction::FractionRecord* last)
{
    const auto byParts = [](const fraction::FractionRecord& a, const fraction::FractionRecord& b) {
        return partsKey(a) < partsKey(b);
    };
    const auto allAlike = [](const fraction::FractionRecord* from,
                             const fraction::FractionRecord* to) {
        return std::all_of(
            from, to, [from](const fraction::FractionRecord& entry) { return entry == *from; });
    };
    while (first != last && first->denominator != 0) {
        fraction::FractionRecord* end = first + 1;
        while (end != last && end->denominator != 0 && sameValue(*first, *end)) {
            ++end;
        }
        if (end - first > 1) {
            // A value other than zero has, in lowest terms, one record with
            // a negative denominator and one with a positive one, so
            // splitting by that sign is usually all it takes; the sort
            // settles zeros and whatever else remains.
            fraction::FractionRecord* const positive = std::partition(
                first, end,
                [](const fraction::FractionRecord& entry) { return entry.denominator < 0; });
            if (first->numerator == 0 || !allAlike(first, positive) || !allAlike(positive, end)) {
                std::sort(first, end, byParts);
            }
        }
        first = end;
    }
}
