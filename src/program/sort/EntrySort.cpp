#include "sort/EntrySort.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "SortKey.h"
#include "sort/EntryBlock.h"
#include "sort/SortEntry.h"
#include "sort/TaskPool.h"

namespace sorting {
namespace {

using fraction::FractionRecord;

// Four passes of 12 bits each over the 48-bit key keep every pass's counts
// in the first-level cache.
constexpr unsigned kDigitBits = 12;
constexpr unsigned kPasses = kKeyBits / kDigitBits;
constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;

[[nodiscard]] std::size_t digit(std::uint64_t key, unsigned pass) noexcept
{
    return static_cast<std::size_t>(key >> (pass * kDigitBits)) & (kBuckets - 1);
}

// Counts the steps of a sort that several threads share, and tells them
// on the thread that asked for the sort.
class StepCount {
public:
    StepCount(const SortSteps& told, std::uint64_t steps)
        : tell(told), total(steps), caller(std::this_thread::get_id())
    {
        if (tell) {
            tell(0, total);
        }
    }

    void step(std::uint64_t count = 1)
    {
        const std::uint64_t now = done.fetch_add(count, std::memory_order_relaxed) + count;
        if (tell && std::this_thread::get_id() == caller) {
            tell(now, total);
        }
    }

    // Tells the steps the other threads finished last.
    void finish()
    {
        if (tell) {
            tell(done.load(), total);
        }
    }

private:
    const SortSteps& tell;
    std::uint64_t total;
    std::thread::id caller;
    std::atomic<std::uint64_t> done{0};
};

// A sort by comparisons tells its progress in comparisons, against an
// estimate of all a sort of this size makes, every few thousand of them so
// that telling costs nothing.
constexpr std::uint64_t kTellEvery = 4096;

[[nodiscard]] std::uint64_t comparisonsEstimate(std::size_t count) noexcept
{
    const auto size = static_cast<double>(count);
    return static_cast<std::uint64_t>(size * std::log2(std::max(size, 2.0)));
}

// Sorts by comparisons, in place: the cheaper valueOrder, then the few
// stretches of equal values by their parts.
void compareSort(FractionRecord* first, FractionRecord* last, const SortSteps& tell)
{
    if (!tell) {
        std::sort(first, last, ValueOrder());
        orderEquivalents(first, last);
        return;
    }
    const std::uint64_t estimate = comparisonsEstimate(static_cast<std::size_t>(last - first));
    tell(0, estimate);
    std::uint64_t comparisons = 0;
    std::sort(first, last, [&tell, &comparisons, estimate](const auto& a, const auto& b) {
        if (++comparisons % kTellEvery == 0) {
            tell(comparisons, estimate);
        }
        return valueOrder(a, b);
    });
    orderEquivalents(first, last);
}

// Puts each stretch of entries with one key, sorted by key, in entryOrder:
// different values that share a key are rare, equal values are not.
void settleEqualKeys(FractionRecord* first, FractionRecord* last)
{
    while (first != last) {
        const std::uint64_t key = valueKey(*first);
        if (key == kInvalidKey) {
            // The rest are invalid, all {0, 0}.
            return;
        }
        FractionRecord* end = first + 1;
        while (end != last && valueKey(*end) == key) {
            ++end;
        }
        // A stretch is mostly one value in a form or two, which
        // orderEquivalents settles without sorting.
        const auto sameAsFirst = [first](const FractionRecord& entry) {
            return sameValue(*first, entry);
        };
        if (end - first > 1) {
            if (!std::all_of(first + 1, end, sameAsFirst)) {
                std::sort(first, end, ValueOrder());
            }
            orderEquivalents(first, end);
        }
        first = end;
    }
}

// The steps keySort counts.
constexpr std::uint64_t kKeySortSteps = kPasses + 1;

// The count of each digit in each pass: 64 KiB, too much for the stack of
// a program that runs in a small one.
using DigitCounts = std::array<std::array<std::uint32_t, kBuckets>, kPasses>;

// Sorts `count` entries by a least-significant-digit radix sort on their
// keys, back and forth between `entries` and `scratch`, then settles equal
// keys. Returns which of the two holds the sorted entries.
FractionRecord* keySort(FractionRecord* entries, FractionRecord* scratch, std::size_t count,
                        DigitCounts& counts, StepCount& steps)
{
    // Fewer than 2^31 entries: the counts fit 32 bits.
    for (std::array<std::uint32_t, kBuckets>& pass : counts) {
        pass.fill(0);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t key = valueKey(entries[i]);
        for (unsigned pass = 0; pass < kPasses; ++pass) {
            ++counts[pass][digit(key, pass)];
        }
    }
    FractionRecord* from = entries;
    FractionRecord* to = scratch;
    const std::uint64_t firstKey = count > 0 ? valueKey(entries[0]) : 0;
    for (unsigned pass = 0; pass < kPasses; ++pass) {
        std::array<std::uint32_t, kBuckets>& starts = counts[pass];
        // A digit that all the entries share would move none of them.
        if (count == 0 || starts[digit(firstKey, pass)] == count) {
            steps.step();
            continue;
        }
        std::uint32_t start = 0;
        for (std::uint32_t& bucket : starts) {
            const std::uint32_t size = bucket;
            bucket = start;
            start += size;
        }
        for (std::size_t i = 0; i < count; ++i) {
            to[starts[digit(valueKey(from[i]), pass)]++] = from[i];
        }
        std::swap(from, to);
        steps.step();
    }
    settleEqualKeys(from, from + count);
    steps.step();
    return from;
}

// How many of the first `outputs` entries of the merge of a and b come
// from a, where the merge takes a's entry first of two equivalent ones.
std::size_t takenFromFirst(const FractionRecord* a, std::size_t aSize, const FractionRecord* b,
                           std::size_t bSize, std::size_t outputs)
{
    std::size_t low = outputs > bSize ? outputs - bSize : 0;
    std::size_t high = std::min(outputs, aSize);
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        // Too many of a's when b's last taken entry comes before a's
        // first left.
        if (entryOrder(b[outputs - middle - 1], a[middle])) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

// A merge of two sorted runs into one, in `pieces` pieces that threads
// merge at once.
struct Merge {
    const FractionRecord* a;
    std::size_t aSize;
    const FractionRecord* b;
    std::size_t bSize;
    FractionRecord* out;
    std::size_t pieces;
};

// Merges the piece `piece` of `merge.pieces` of the merge's output.
void mergePiece(const Merge& merge, std::size_t piece)
{
    const std::size_t total = merge.aSize + merge.bSize;
    const std::size_t begin = total * piece / merge.pieces;
    const std::size_t end = total * (piece + 1) / merge.pieces;
    const std::size_t aBegin = takenFromFirst(merge.a, merge.aSize, merge.b, merge.bSize, begin);
    const std::size_t aEnd = takenFromFirst(merge.a, merge.aSize, merge.b, merge.bSize, end);
    std::merge(merge.a + aBegin, merge.a + aEnd, merge.b + (begin - aBegin), merge.b + (end - aEnd),
               merge.out + begin, EntryOrder());
}

// Sorts `parts` parts of the entries at once, then merges them in pairs,
// each merge in pieces, until one run is left.
class ThreadedSort {
public:
    ThreadedSort(std::size_t entries, std::size_t partCount, unsigned threadCount)
        : count(entries),
          parts(partCount),
          pool(threadCount),
          counts(parts),
          piecesPerPair(parts + 1)
    {
        // Everything it keeps is had here, before an entry moves: what
        // cannot be had leaves the entries as they were.
        bounds.resize(parts + 1);
        merged.reserve(parts + 1);
        merges.reserve(parts);
        std::size_t mostTasks = 0;
        for (std::size_t runs = parts; runs > 1; runs = (runs + 1) / 2) {
            const std::size_t pairs = runs / 2;
            piecesPerPair[runs] = (pool.size() + pairs - 1) / pairs;
            mergeSteps += pairs * piecesPerPair[runs] + runs % 2;
            mostTasks = std::max<std::size_t>(mostTasks, pairs * piecesPerPair[runs] + runs % 2);
        }
        tasks.reserve(mostTasks);
    }

    void sort(FractionRecord* entries, FractionRecord* scratch, const SortSteps& tell)
    {
        for (std::size_t part = 0; part <= parts; ++part) {
            bounds[part] = count * part / parts;
        }
        StepCount steps(tell, parts * kKeySortSteps + mergeSteps);
        pool.run(parts, [&](std::size_t part) {
            const std::size_t begin = bounds[part];
            const std::size_t size = bounds[part + 1] - begin;
            const FractionRecord* const sorted =
                keySort(entries + begin, scratch + begin, size, counts[part], steps);
            if (sorted != entries + begin) {
                std::copy(sorted, sorted + size, entries + begin);
            }
        });

        FractionRecord* from = entries;
        FractionRecord* to = scratch;
        while (bounds.size() > 2) {
            mergeRound(from, to, steps);
            std::swap(from, to);
        }
        if (from != entries) {
            std::copy(from, from + count, entries);
        }
        steps.finish();
    }

private:
    void mergeRound(const FractionRecord* from, FractionRecord* to, StepCount& steps)
    {
        const std::size_t runs = bounds.size() - 1;
        const std::size_t pieces = piecesPerPair[runs];
        merges.clear();
        merged.clear();
        tasks.clear();
        for (std::size_t run = 0; run < runs; run += 2) {
            const bool pair = run + 2 <= runs;
            const std::size_t begin = bounds[run];
            const std::size_t middle = bounds[run + 1];
            const std::size_t end = pair ? bounds[run + 2] : middle;
            // A run left alone is copied across as a merge with nothing.
            merges.push_back({from + begin, middle - begin, from + middle, end - middle, to + begin,
                              pair ? pieces : 1});
            merged.push_back(begin);
            for (std::size_t piece = 0; piece < merges.back().pieces; ++piece) {
                tasks.emplace_back(merges.size() - 1, piece);
            }
        }
        merged.push_back(count);
        pool.run(tasks.size(), [&](std::size_t task) {
            mergePiece(merges[tasks[task].first], tasks[task].second);
            steps.step();
        });
        std::swap(bounds, merged);
    }

    std::size_t count;
    std::size_t parts;
    TaskPool pool;
    std::vector<DigitCounts> counts;
    // For each count of runs, the pieces each merge of two is cut into.
    std::vector<std::size_t> piecesPerPair;
    std::uint64_t mergeSteps = 0;
    // Where each run begins, and the end.
    std::vector<std::size_t> bounds;
    std::vector<std::size_t> merged;
    std::vector<Merge> merges;
    // Each piece of a merge: the merge and the piece.
    std::vector<std::pair<std::size_t, std::size_t>> tasks;
};

// Sorts by comparisons, in place, on several threads: the entries are
// first split, in place, into one bucket for each thread around values
// sampled evenly from them, every entry of a bucket before every entry of
// the next, then the buckets are sorted at once as compareSort does. Equal
// values always land in one bucket, so each bucket settles its own.
class BucketedSort {
public:
    BucketedSort(std::size_t bucketCount, unsigned threadCount)
        : buckets(bucketCount),
          pool(threadCount),
          sample(buckets * kSamplesPerBucket),
          splitters(buckets - 1),
          bounds(buckets + 1)
    {
        // Everything it keeps is had here, before an entry moves.
        ranges.reserve(buckets);
        nextRanges.reserve(buckets);
    }

    void sort(FractionRecord* first, FractionRecord* last, const SortSteps& tell)
    {
        split(first, last);
        StepCount steps(tell, comparisonsEstimate(static_cast<std::size_t>(last - first)));
        pool.run(buckets, [this, &tell, &steps](std::size_t bucket) {
            FractionRecord* const begin = bounds[bucket];
            FractionRecord* const end = bounds[bucket + 1];
            if (tell) {
                std::uint64_t comparisons = 0;
                std::sort(begin, end, [&steps, &comparisons](const auto& a, const auto& b) {
                    if (++comparisons % kTellEvery == 0) {
                        steps.step(kTellEvery);
                    }
                    return valueOrder(a, b);
                });
            } else {
                std::sort(begin, end, ValueOrder());
            }
            orderEquivalents(begin, end);
        });
        steps.finish();
    }

private:
    // Enough samples that the buckets come out about equal in size.
    static constexpr std::size_t kSamplesPerBucket = 64;

    // The buckets [low, high), which lie between bounds[low] and bounds[high].
    struct Range {
        std::size_t low;
        std::size_t high;
    };

    // Splits the entries into the buckets, halving ranges of buckets round
    // after round, the ranges of a round on all the threads at once.
    void split(FractionRecord* first, FractionRecord* last)
    {
        const auto count = static_cast<std::uint64_t>(last - first);
        for (std::size_t i = 0; i < sample.size(); ++i) {
            sample[i] = first[static_cast<std::size_t>(i * count / sample.size())];
        }
        std::sort(sample.begin(), sample.end(), ValueOrder());
        for (std::size_t i = 0; i < splitters.size(); ++i) {
            splitters[i] = sample[(i + 1) * kSamplesPerBucket];
        }
        bounds.front() = first;
        bounds.back() = last;
        ranges.assign(1, Range{0, buckets});
        while (!ranges.empty()) {
            pool.run(ranges.size(), [this](std::size_t task) {
                const Range range = ranges[task];
                const std::size_t middle = (range.low + range.high) / 2;
                const FractionRecord& splitter = splitters[middle - 1];
                bounds[middle] = std::partition(bounds[range.low], bounds[range.high],
                                                [&splitter](const FractionRecord& entry) {
                                                    return valueOrder(entry, splitter);
                                                });
            });
            nextRanges.clear();
            for (const Range& range : ranges) {
                const std::size_t middle = (range.low + range.high) / 2;
                const std::array halves = {Range{range.low, middle}, Range{middle, range.high}};
                std::copy_if(halves.begin(), halves.end(), std::back_inserter(nextRanges),
                             [](const Range& half) { return half.high - half.low > 1; });
            }
            std::swap(ranges, nextRanges);
        }
    }

    std::size_t buckets;
    TaskPool pool;
    std::vector<FractionRecord> sample;
    std::vector<FractionRecord> splitters;
    // Where each bucket begins, and the end.
    std::vector<FractionRecord*> bounds;
    std::vector<Range> ranges;
    std::vector<Range> nextRanges;
};

// Sorts in place, on as many threads as are worth it.
void sortInPlace(FractionRecord* first, FractionRecord* last, const EntrySortOptions& options)
{
    const auto count = static_cast<std::size_t>(last - first);
    const std::size_t buckets =
        std::clamp<std::size_t>(count / kEntriesPerThread, 1, std::max(options.threads, 1U));
    if (buckets > 1) {
        std::optional<BucketedSort> bucketed;
        try {
            bucketed.emplace(buckets, options.threads);
        } catch (const std::bad_alloc&) {
            // One thread needs nothing more.
        }
        if (bucketed) {
            bucketed->sort(first, last, options.steps);
            return;
        }
    }
    compareSort(first, last, options.steps);
}

}  // namespace

void sortEntries(FractionRecord* first, FractionRecord* last, const EntrySortOptions& options)
{
    const auto count = static_cast<std::size_t>(last - first);
    // The key sort's digit counts are 32 bits wide, and it needs as much
    // room again as the entries take: without either, the sort is in place.
    const bool keyable = count >= kKeySortThreshold && count <= UINT32_MAX;
    EntryBlock ownScratch;
    FractionRecord* scratch = options.scratch;
    if (keyable && scratch == nullptr &&
        std::uint64_t{count} * sizeof(FractionRecord) <= options.spareBytes &&
        ownScratch.allocate(count)) {
        scratch = ownScratch.data();
    }
    if (!keyable || scratch == nullptr) {
        sortInPlace(first, last, options);
        return;
    }
    const std::size_t parts =
        std::clamp<std::size_t>(count / kEntriesPerThread, 1, std::max(options.threads, 1U));
    if (parts > 1) {
        std::optional<ThreadedSort> threaded;
        try {
            threaded.emplace(count, parts, options.threads);
        } catch (const std::bad_alloc&) {
            // One thread needs nothing more than the scratch.
        }
        if (threaded) {
            threaded->sort(first, scratch, options.steps);
            return;
        }
    }
    const std::unique_ptr<DigitCounts> counts(new (std::nothrow) DigitCounts);
    if (!counts) {
        sortInPlace(first, last, options);
        return;
    }
    StepCount steps(options.steps, kKeySortSteps);
    const FractionRecord* const sorted = keySort(first, scratch, count, *counts, steps);
    if (sorted != first) {
        std::copy(sorted, sorted + count, first);
    }
}

}  // namespace sorting
