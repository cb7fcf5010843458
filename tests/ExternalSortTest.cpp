#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sort/ExternalSort.h"
#include "sort/RunFile.h"
#include "sort/SortEntry.h"
#include "sort/SortProgress.h"

using fraction::FractionRecord;
using sorting::ExternalSorter;
using sorting::RunFile;

namespace {

// Nobody watches these sorts.
class Unwatched : public sorting::SortProgress {
public:
    [[nodiscard]] bool enabled() const noexcept override { return false; }
    void phase(std::string_view /*name*/, std::uint64_t /*total*/,
               std::uint64_t /*stepsPerRecord*/) override
    {
    }

private:
    void look(std::uint64_t /*done*/) override {}
};

std::string temporaryDirectory()
{
    return std::filesystem::temp_directory_path().string();
}

// Entries of few values, so that equivalent ones abound: signs on either
// part, zeros over many denominators, invalid ones as {0, 0}.
std::vector<FractionRecord> crowdedEntries(std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::int32_t> part(-4, 4);
    std::vector<FractionRecord> entries(count);
    for (FractionRecord& entry : entries) {
        entry = {part(random), part(random)};
        if (entry.denominator == 0) {
            entry.numerator = 0;
        }
    }
    return entries;
}

// Sorts `entries` through runs of `runSize` in a workspace of
// `workspaceSize`, and returns what the final merge passes on.
std::vector<FractionRecord> sortOutside(std::vector<FractionRecord> entries, std::size_t runSize,
                                        std::size_t workspaceSize, std::size_t* runsLeft = nullptr,
                                        unsigned threads = 1)
{
    Result<RunFile> runs = RunFile::create(temporaryDirectory());
    EXPECT_TRUE(runs.ok());
    std::vector<FractionRecord> workspace(workspaceSize);
    Unwatched quiet;
    ExternalSorter sorter(std::move(runs).value(), workspace.data(), workspace.size(),
                          temporaryDirectory(), quiet, threads);
    for (std::size_t first = 0; first < entries.size(); first += runSize) {
        const std::size_t count = std::min(runSize, entries.size() - first);
        std::copy_n(entries.begin() + static_cast<std::ptrdiff_t>(first), count, workspace.begin());
        std::sort(workspace.begin(), workspace.begin() + static_cast<std::ptrdiff_t>(count),
                  EntryOrder());
        EXPECT_TRUE(sorter.addRun(workspace.data(), count).ok());
    }
    EXPECT_TRUE(sorter.mergeDown().ok());
    if (runsLeft != nullptr) {
        *runsLeft = sorter.runCount();
    }
    std::vector<FractionRecord> merged;
    EXPECT_TRUE(sorter
                    .forEachSorted([&merged](FractionRecord* block, std::size_t count) {
                        merged.insert(merged.end(), block, block + count);
                        return Status();
                    })
                    .ok());
    return merged;
}

TEST(ExternalSort, MergesRunsIntoWhatASortInMemoryGives)
{
    std::vector<FractionRecord> entries = crowdedEntries(50000, 1);
    std::vector<FractionRecord> expected = entries;
    std::sort(expected.begin(), expected.end(), EntryOrder());
    // 25 runs; a workspace of 20000 merges 17 at once, so two passes.
    // With two threads, each merge hands its blocks to another thread.
    for (const unsigned threads : {1U, 2U}) {
        std::size_t runsLeft = 0;
        EXPECT_EQ(sortOutside(entries, 2000, 20000, &runsLeft, threads), expected);
        EXPECT_LE(runsLeft, ExternalSorter::fanIn(20000));
    }
    // One run only, and runs of one entry merged two at a time.
    EXPECT_EQ(sortOutside(entries, entries.size(), entries.size()), expected);
    const std::vector<FractionRecord> few(expected.begin(), expected.begin() + 100);
    std::vector<FractionRecord> fewSorted = few;
    std::sort(fewSorted.begin(), fewSorted.end(), EntryOrder());
    EXPECT_EQ(sortOutside(few, 1, 12), fewSorted);
}

TEST(ExternalSort, TheOrderDependsOnlyOnTheEntries)
{
    std::vector<FractionRecord> entries = crowdedEntries(30000, 2);
    const std::vector<FractionRecord> first = sortOutside(entries, 3000, 20000);
    std::shuffle(entries.begin(), entries.end(), std::mt19937(3));
    EXPECT_EQ(sortOutside(entries, 1700, 9000), first);
}

TEST(ExternalSort, MergesCanBeRepeated)
{
    Result<RunFile> runs = RunFile::create(temporaryDirectory());
    ASSERT_TRUE(runs.ok()) << runs.reason();
    std::vector<FractionRecord> workspace(9000);
    Unwatched quiet;
    ExternalSorter sorter(std::move(runs).value(), workspace.data(), workspace.size(),
                          temporaryDirectory(), quiet);
    for (std::int32_t run = 0; run < 3; ++run) {
        const std::vector<FractionRecord> entries = {{3 - run, 1}, {-run, 1}};
        ASSERT_TRUE(sorter.addRun(entries.data(), entries.size()).ok());
    }
    const std::vector<FractionRecord> expected = {{3, 1}, {2, 1}, {1, 1}, {0, 1}, {-1, 1}, {-2, 1}};
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<FractionRecord> merged;
        ASSERT_TRUE(sorter
                        .forEachSorted([&merged](FractionRecord* block, std::size_t count) {
                            merged.insert(merged.end(), block, block + count);
                            return Status();
                        })
                        .ok());
        EXPECT_EQ(merged, expected);
    }
}

TEST(ExternalSort, ASinkThatFailsStopsTheMerge)
{
    for (const unsigned threads : {1U, 2U}) {
        Result<RunFile> runs = RunFile::create(temporaryDirectory());
        ASSERT_TRUE(runs.ok()) << runs.reason();
        std::vector<FractionRecord> workspace(9000);
        Unwatched quiet;
        ExternalSorter sorter(std::move(runs).value(), workspace.data(), workspace.size(),
                              temporaryDirectory(), quiet, threads);
        const std::vector<FractionRecord> entries(5000, FractionRecord{1, 1});
        ASSERT_TRUE(sorter.addRun(entries.data(), entries.size()).ok());
        ASSERT_TRUE(sorter.addRun(entries.data(), entries.size()).ok());
        int calls = 0;
        EXPECT_EQ(sorter
                      .forEachSorted([&calls](FractionRecord*, std::size_t) {
                          ++calls;
                          return Status(Failure("stop"));
                      })
                      .reason(),
                  "stop");
        EXPECT_EQ(calls, 1) << threads << " threads";
    }
}

TEST(RunFile, EntriesReadBackAsWrittenAndNoFurther)
{
    Result<RunFile> runs = RunFile::create(temporaryDirectory());
    ASSERT_TRUE(runs.ok()) << runs.reason();
    runs.value().startRun();
    const std::vector<FractionRecord> entries = {{1, 2}, {-3, 4}, {5, -6}};
    ASSERT_TRUE(runs.value().append(entries.data(), entries.size()).ok());
    std::vector<FractionRecord> back(2);
    ASSERT_TRUE(runs.value().read(1, back.data(), back.size()).ok());
    EXPECT_EQ(back, (std::vector<FractionRecord>{{-3, 4}, {5, -6}}));
    EXPECT_EQ(runs.value().read(2, back.data(), back.size()).reason(),
              temporaryDirectory() + ": cannot read a temporary file: it ended early");
}

TEST(RunFile, ARunFileInAMissingDirectorySaysWhere)
{
    const Result<RunFile> runs = RunFile::create("/no/such/directory");
    ASSERT_FALSE(runs.ok());
    const std::string& error = runs.reason();
    // The reason is the system's own words, which differ between systems.
    const std::string where = "/no/such/directory: cannot make a temporary file: ";
    ASSERT_GT(error.size(), where.size());
    EXPECT_EQ(error.substr(0, where.size()), where);
}

}  // namespace
