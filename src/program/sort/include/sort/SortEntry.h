#pragma once

#include <algorithm>
#include <cstdint>

#include "fraction/Fraction.h"
#include "fraction/FractionRecord.h"

// The report's order is the library's fraction::greatestFirst, kept over
// sort entries, which it defines: the parts of the reduced fraction, or
// {0, 0} for an invalid one. The entry of a reduced fraction is the record
// toRecord() gives it, since reducing undoes the marker pair.
[[nodiscard]] inline fraction::FractionRecord sortEntry(const fraction::Fraction& value) noexcept
{
    return fraction::detail::orderEntry(value);
}

using fraction::detail::entryOrder;
using fraction::detail::partsKey;
using fraction::detail::sameValue;
using fraction::detail::valueOrder;

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
