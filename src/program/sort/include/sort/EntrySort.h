#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>

#include "fraction/FractionRecord.h"

namespace sorting {

// Told how far a sort has come: first once with `done` 0 and the steps the
// whole sort takes, then as steps finish, `done` only growing. Always on
// the thread that called sortEntries.
using SortSteps = std::function<void(std::uint64_t done, std::uint64_t total)>;

struct EntrySortOptions {
    // How many threads may sort at once, the caller's among them.
    unsigned threads = 1;
    // The bytes the sort may take beside the entries themselves. A key sort
    // needs as many again as the entries take; without them, or when they
    // cannot be had, the entries are sorted in place by comparisons.
    std::uint64_t spareBytes = std::numeric_limits<std::uint64_t>::max();
    // Empty for a sort that tells nobody.
    SortSteps steps;
    // Room for as many entries as are sorted, which the key sort may use
    // instead of spare bytes; null for none.
    fraction::FractionRecord* scratch = nullptr;
};

// Puts sort entries (see SortEntry.h) in the report's order, entryOrder:
// greatest value first, invalid entries last, equal values by their parts.
// That order leaves no two different entries equivalent, so every way of
// sorting gives the same bytes; this picks the fastest the size, the
// memory and the threads allow.
void sortEntries(fraction::FractionRecord* first, fraction::FractionRecord* last,
                 const EntrySortOptions& options = {});

// The entries from which a key sort, given the memory, beats sorting by
// comparisons: below it the comparisons cost less than the key's passes
// (measured: 17 us against 20 us at 1024 entries, 35 us against 32 us at
// 2048, both shapes of bench/make_fraction_file.py alike).
constexpr std::size_t kKeySortThreshold = 2048;

// The least entries worth a thread of their own.
constexpr std::size_t kEntriesPerThread = std::size_t{1} << 16U;

}  // namespace sorting
