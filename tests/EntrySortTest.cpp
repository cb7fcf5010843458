#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "LargeAllocations.h"
#include "sort/EntrySort.h"
#include "sort/SortEntry.h"

using fraction::FractionRecord;

namespace {

constexpr std::int32_t kMost = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kLeast = std::numeric_limits<std::int32_t>::min();

enum class Shape { wide, smallDenominators, equalValues, nearlyEqual, extremes };

// Entries of one shape, each valid one with a denominator other than zero
// and each invalid one {0, 0}, as the report sorts them.
std::vector<FractionRecord> entries(Shape shape, std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    const auto among = [&random](std::int32_t low, std::int32_t high) {
        return std::uniform_int_distribution<std::int32_t>(low, high)(random);
    };
    const auto sign = [&among] { return among(0, 1) == 0 ? -1 : 1; };
    std::vector<FractionRecord> made(count);
    for (FractionRecord& entry : made) {
        switch (shape) {
            case Shape::wide:
                entry = {among(kLeast, kMost), among(kLeast, kMost)};
                break;
            case Shape::smallDenominators:
                entry = {among(-1000, 1000), sign() * (1 << among(0, 6))};
                break;
            case Shape::equalValues: {
                // A few values, each in many forms: 1/2, -1/-2, 3/6; zeros over
                // any denominator.
                const std::int32_t factor = sign() * among(1, 40);
                entry = {among(-3, 3) * factor, among(0, 4) * factor};
                break;
            }
            case Shape::nearlyEqual:
                // Values a hair apart, which share a double and so a key.
                entry = {sign() * (kMost - among(0, 60)), kMost - among(0, 60)};
                break;
            case Shape::extremes: {
                constexpr std::array kParts = {kLeast, kLeast + 1, -1, 0, 1, kMost - 1, kMost};
                entry = {kParts.at(static_cast<std::size_t>(among(0, 6))),
                         kParts.at(static_cast<std::size_t>(among(0, 6)))};
                break;
            }
        }
        if (entry.denominator == 0 || among(0, 15) == 0) {
            entry = {0, 0};
        }
    }
    return made;
}

std::vector<FractionRecord> expected(std::vector<FractionRecord> unsorted)
{
    std::sort(unsorted.begin(), unsorted.end(), EntryOrder());
    return unsorted;
}

bool sameEntries(const std::vector<FractionRecord>& a, const std::vector<FractionRecord>& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// What a sort told of its steps.
struct ToldSteps {
    std::uint64_t total = 0;
    std::uint64_t last = 0;
    std::uint64_t calls = 0;
    bool inOrder = true;
};

// A hook that keeps in `told` what a sort tells it, and whether that came
// in order, on the thread that set it up.
sorting::SortSteps keep(ToldSteps& told)
{
    return [&told, caller = std::this_thread::get_id()](std::uint64_t done, std::uint64_t steps) {
        told.inOrder = told.inOrder && std::this_thread::get_id() == caller &&
                       (told.calls == 0 ? done == 0 : done >= told.last && steps == told.total);
        told.total = steps;
        told.last = done;
        ++told.calls;
    };
}

}  // namespace

TEST(EntrySort, GivesTheReportsOrderForEveryShapeSizeAndThreadCount)
{
    constexpr std::size_t kThreshold = sorting::kKeySortThreshold;
    constexpr std::size_t kPart = sorting::kEntriesPerThread;
    const std::vector<std::size_t> sizes = {
        0, 1, 2, 100, kThreshold - 1, kThreshold, kThreshold + 1, 3 * kPart + 7};
    std::uint32_t seed = 1;
    for (const Shape shape : {Shape::wide, Shape::smallDenominators, Shape::equalValues,
                              Shape::nearlyEqual, Shape::extremes}) {
        for (const std::size_t size : sizes) {
            const std::vector<FractionRecord> unsorted = entries(shape, size, ++seed);
            const std::vector<FractionRecord> wanted = expected(unsorted);
            // By key with room to spare, and in place by comparisons without.
            for (const std::uint64_t spare : {std::uint64_t{UINT64_MAX}, std::uint64_t{0}}) {
                for (const unsigned threads : {1U, 2U, 3U, 8U}) {
                    std::vector<FractionRecord> sorted = unsorted;
                    ToldSteps told;
                    sorting::sortEntries(sorted.data(), sorted.data() + sorted.size(),
                                         {threads, spare, keep(told)});
                    EXPECT_TRUE(sameEntries(sorted, wanted))
                        << "shape " << static_cast<int>(shape) << ", " << size << " entries, "
                        << threads << " threads, spare " << spare;
                    EXPECT_TRUE(told.calls > 0 && told.inOrder)
                        << "steps told out of order: shape " << static_cast<int>(shape) << ", "
                        << size << " entries, " << threads << " threads, spare " << spare;
                }
            }
        }
    }
}

TEST(EntrySort, MergesManyPartsOnManyThreads)
{
    // Nine parts on eight threads: merges of pairs and of a part alone,
    // three rounds of them.
    const std::vector<FractionRecord> unsorted =
        entries(Shape::wide, 9 * sorting::kEntriesPerThread + 5, 99);
    for (const unsigned threads : {8U, 9U}) {
        std::vector<FractionRecord> sorted = unsorted;
        ToldSteps told;
        sorting::sortEntries(sorted.data(), sorted.data() + sorted.size(),
                             {threads, UINT64_MAX, keep(told)});
        EXPECT_TRUE(sameEntries(sorted, expected(unsorted))) << threads << " threads";
        EXPECT_TRUE(told.inOrder);
        EXPECT_EQ(told.last, told.total) << "every step of the key sort and merges counted";
    }
}

TEST(EntrySort, SortsInPlaceWhenTheScratchDoesNotFitOrCannotBeHad)
{
    const std::size_t size = 2 * sorting::kEntriesPerThread;
    const std::vector<FractionRecord> unsorted = entries(Shape::equalValues, size, 7);
    const std::uint64_t scratchBytes = size * sizeof(FractionRecord);
    // Key sort: a handful of passes. In place: comparisons, about n log n.
    const std::uint64_t comparisons = size * 16;
    struct Case {
        const char* what;
        std::uint64_t spare;
        bool refused;
        bool inPlace;
        bool scratchGiven = false;
    };
    std::vector<FractionRecord> givenScratch(size);
    for (const Case& test :
         {Case{"room to spare", scratchBytes, false, false},
          Case{"a byte short", scratchBytes - 1, false, true},
          Case{"none to spare", 0, false, true}, Case{"room, but refused", UINT64_MAX, true, true},
          Case{"none to spare, scratch given", 0, true, false, true}}) {
        for (const unsigned threads : {1U, 2U}) {
            std::vector<FractionRecord> sorted = unsorted;
            ToldSteps told;
            {
                LargeAllocationsFail refuse(test.refused ? scratchBytes
                                                         : std::numeric_limits<std::size_t>::max());
                sorting::sortEntries(sorted.data(), sorted.data() + sorted.size(),
                                     {threads, test.spare, keep(told),
                                      test.scratchGiven ? givenScratch.data() : nullptr});
            }
            EXPECT_TRUE(sameEntries(sorted, expected(unsorted))) << test.what;
            EXPECT_EQ(told.total >= comparisons, test.inPlace) << test.what << ": " << told.total;
        }
    }
}
