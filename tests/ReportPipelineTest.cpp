#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "InputFile.h"
#include "ReportPipeline.h"
#include "ScratchDirectory.h"
#include "TextOutput.h"
#include "fraction/Fraction.h"
#include "fraction/FractionFile.h"
#include "sort/SortEntry.h"
#include "terminal/Progress.h"

using fraction::Fraction;
using fraction::FractionRecord;
using Outcome = ReportPipeline::Outcome;

namespace {

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();
// Room for one entry: two records or more go through runs.
constexpr std::uint64_t kOneEntry = sizeof(FractionRecord);
constexpr FractionRecord kMarker = {123456789, 123456789};

std::string fractionFile(std::int32_t count, const std::vector<FractionRecord>& records,
                         const std::string& after = "")
{
    std::ostringstream file;
    fraction::writeCount(file, count);
    fraction::writeRecords(file, records.data(), records.data() + records.size());
    return file.str() + after;
}

struct Outcomes {
    ReportPipeline::Result taken;
    ReportPipeline::Result shown;
    std::string text;
    std::string written;
};

// The pipeline over `file`, as a stream that tells its size or, through
// StreamOnly, as one that does not (a pipe's).
Outcomes runPipeline(const std::string& file, bool sized, std::uint64_t budget,
                     const std::string& directory, ReportText shownText = ReportText::full)
{
    std::istringstream bytes(file);
    StreamOnly unsized(bytes);
    std::ostringstream text;
    std::ostringstream written;
    Outcomes run;
    {
        TextOutput out(text, false);
        Progress quiet(nullptr);
        ReportPipeline pipeline(out, quiet, {shownText, budget, directory});
        run.taken = pipeline.take(sized ? static_cast<std::istream&>(bytes) : unsized, "in.frac");
        if (run.taken.outcome == Outcome::ready) {
            run.shown = pipeline.show();
            if (run.shown.outcome == Outcome::ready) {
                const Status wrote = pipeline.write(written);
                if (!wrote) {
                    run.shown.message = wrote.reason();
                }
            }
        }
    }
    run.text = text.str();
    run.written = written.str();
    return run;
}

struct PipelineCase {
    const char* what;
    std::string file;
    Outcome taken;
    // The message when the file is not taken, else the warning.
    std::string message;
    std::string text;
    std::string written;
};

TEST(ReportPipeline, ListsSortsAndWritesTheSameWhereverTheEntriesAre)
{
    const std::vector<PipelineCase> cases = {
        {"no bytes", "", Outcome::unusable,
         "in.frac: not a fraction file: 0 bytes, too short for the 4-byte count", "", ""},
        {"no records", fractionFile(0, {}), Outcome::ready, "",
         "nData=0\nThe original array is \nThe sorted array is\nThe sum is 0 / 1 \n"
         "The average is Invalid Fraction!! \nThe medium is Invalid Fraction!! \n",
         fractionFile(0, {})},
        {"a negative count", fractionFile(-3, {}), Outcome::ready, "",
         "nData=-3\nThe original array is \nThe sorted array is\nThe sum is 0 / 1 \n"
         "The average is Invalid Fraction!! \nThe medium is Invalid Fraction!! \n",
         fractionFile(-3, {})},
        {"one record", fractionFile(1, {{6, 8}}), Outcome::ready, "",
         "nData=1\nThe original array is \n  0: 3 / 4 \nThe sorted array is\n  0: 3 / 4 \n"
         "The sum is 3 / 4 \nThe average is 3 / 4 \nThe medium is 3 / 4 \n",
         fractionFile(1, {{3, 4}})},
        {"equal values and invalid records",
         fractionFile(
             9, {{1, 2}, {-2, -4}, kMarker, {2, 4}, {0, 5}, {-3, 6}, {5, 0}, {0, -3}, {0, 0}}),
         Outcome::ready, "",
         "nData=9\nThe original array is \n  0: 1 / 2 \n  1: 1 / 2 \n  2: Invalid Fraction!! \n"
         "  3: 1 / 2 \n  4: 0 / 5 \n  5: - 1 / 2 \n  6: Invalid Fraction!! \n  7: 0 / 3 \n"
         "  8: Invalid Fraction!! \n"
         "The sorted array is\n  0: 1 / 2 \n  1: 1 / 2 \n  2: 1 / 2 \n  3: 0 / 3 \n  4: 0 / 5 \n"
         "  5: - 1 / 2 \n  6: Invalid Fraction!! \n  7: Invalid Fraction!! \n"
         "  8: Invalid Fraction!! \n"
         "The sum is 1 / 1 \nThe average is 1 / 6 \nThe medium is 1 / 2 \n",
         fractionFile(
             9, {{-1, -2}, {1, 2}, {1, 2}, {0, -3}, {0, 5}, {-1, 2}, kMarker, kMarker, kMarker})},
        {"cut short", fractionFile(3, {{1, 2}, {1, 3}}, "abc"), Outcome::unusable,
         "in.frac: header says 3 records, file holds 2 and 3 bytes of another", "", ""},
        {"bytes after the records", fractionFile(1, {{1, 3}}, "xy"), Outcome::ready,
         "in.frac: ignoring the bytes after the 1 counted record",
         "nData=1\nThe original array is \n  0: 1 / 3 \nThe sorted array is\n  0: 1 / 3 \n"
         "The sum is 1 / 3 \nThe average is 1 / 3 \nThe medium is 1 / 3 \n",
         fractionFile(1, {{1, 3}})},
    };
    const ScratchDirectory directory;
    for (const PipelineCase& row : cases) {
        for (const std::uint64_t budget : {kUnlimited, kOneEntry}) {
            for (const bool sized : {true, false}) {
                SCOPED_TRACE(std::string(row.what) + (sized ? ", sized" : ", a stream") +
                             (budget == kOneEntry ? ", in runs" : ""));
                const Outcomes run = runPipeline(row.file, sized, budget, directory.name());
                EXPECT_EQ(run.taken.outcome, row.taken);
                EXPECT_EQ(row.taken == Outcome::ready ? run.taken.warning : run.taken.message,
                          row.message);
                EXPECT_EQ(run.shown.outcome, Outcome::ready);
                EXPECT_EQ(run.shown.message, "");
                EXPECT_EQ(run.text, row.text);
                EXPECT_EQ(run.written, row.written);
                EXPECT_EQ(directory.entries(), 0U);
            }
        }
    }
}

// Many runs, merged in several passes, give every byte that one sort in
// memory gives, for every kind of text; the written entries are all there,
// in the report's order.
TEST(ReportPipeline, RunsMergedInPassesGiveWhatMemoryGives)
{
    std::mt19937 random(2718);
    std::uniform_int_distribution<std::int32_t> part(-9, 9);
    std::vector<FractionRecord> records(20000);
    std::generate(records.begin(), records.end(), [&random, &part] {
        return random() % 50 == 0 ? kMarker : FractionRecord{part(random), part(random)};
    });
    const std::string file = fractionFile(static_cast<std::int32_t>(records.size()), records);
    // What a plain sort by entryOrder makes of the reduced values.
    std::vector<FractionRecord> expected(records.size());
    std::transform(records.begin(), records.end(), expected.begin(), [](FractionRecord record) {
        Fraction value = Fraction::fromRecord(record);
        value.reduce();
        return sortEntry(value);
    });
    std::sort(expected.begin(), expected.end(), EntryOrder());
    std::transform(expected.begin(), expected.end(), expected.begin(),
                   [](FractionRecord entry) { return Fraction::fromRecord(entry).toRecord(); });

    const ScratchDirectory directory;
    for (const ReportText shown : {ReportText::full, ReportText::summary, ReportText::none}) {
        const Outcomes inMemory = runPipeline(file, true, kUnlimited, directory.name(), shown);
        EXPECT_EQ(inMemory.written,
                  fractionFile(static_cast<std::int32_t>(records.size()), expected));
        // A hundred entries a run: two hundred runs, merged two at a time.
        for (const bool sized : {true, false}) {
            const Outcomes inRuns =
                runPipeline(file, sized, 100 * kOneEntry, directory.name(), shown);
            EXPECT_EQ(inRuns.shown.outcome, Outcome::ready) << inRuns.shown.message;
            EXPECT_EQ(inRuns.text, inMemory.text);
            EXPECT_EQ(inRuns.written, inMemory.written);
        }
    }
    EXPECT_EQ(directory.entries(), 0U);
}

// A directory that takes no run file ends the report before anything is
// listed; a file that fits in memory needs none.
TEST(ReportPipeline, ADirectoryWithoutRoomForRunsStopsTheReportBeforeItBegins)
{
    const std::string missing = ScratchDirectory().name();
    const std::string file = fractionFile(5, {{1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}});
    const std::string reason = missing + ": cannot make a temporary file: ";
    const Outcomes sized = runPipeline(file, true, kOneEntry, missing);
    EXPECT_EQ(sized.taken.outcome, Outcome::ready);
    EXPECT_EQ(sized.shown.outcome, Outcome::failed);
    EXPECT_EQ(sized.shown.message.substr(0, reason.size()), reason);
    EXPECT_EQ(sized.text, "");
    const Outcomes stream = runPipeline(file, false, kOneEntry, missing);
    EXPECT_EQ(stream.taken.outcome, Outcome::failed);
    EXPECT_EQ(stream.taken.message.substr(0, reason.size()), reason);
    const Outcomes inMemory = runPipeline(file, false, kUnlimited, missing);
    EXPECT_EQ(inMemory.shown.outcome, Outcome::ready);
    EXPECT_EQ(inMemory.written.size(), 4 + 5 * sizeof(FractionRecord));
    // The listing's lines come out of the budget: records that fill it
    // alone go to runs when listed, and stay in memory when only summed.
    const std::uint64_t recordBytes = 5 * kOneEntry;
    EXPECT_EQ(runPipeline(file, true, recordBytes, missing).shown.outcome, Outcome::failed);
    EXPECT_EQ(runPipeline(file, true, recordBytes, missing, ReportText::summary).shown.outcome,
              Outcome::ready);
}

}  // namespace
