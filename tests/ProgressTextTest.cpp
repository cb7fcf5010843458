#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "terminal/Progress.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

struct Row {
    const char* phase;
    std::uint64_t done;
    std::uint64_t total;
    std::uint64_t stepsPerRecord;
    std::chrono::steady_clock::duration elapsed;
    const char* text;
};

TEST(ProgressText, NamesThePhaseAndAfterTwoSecondsTheRecordsAndTimeLeft)
{
    const std::vector<Row> rows = {
        {"listing", 0, 1000, 1, seconds(0), "fraction: listing 0%"},
        {"listing sorted", 250, 1000, 1, milliseconds(1999), "fraction: listing sorted 25%"},
        {"listing sorted", 250, 1000, 1, seconds(2),
         "fraction: listing sorted 25%, 250 of 1000 records, 6 s left"},
        {"listing", 999, 1000, 1, seconds(5),
         "fraction: listing 99%, 999 of 1000 records, 1 s left"},
        // Bytes of records: the records are counted, not the bytes.
        {"writing", 8000, 80000, 8, seconds(3),
         "fraction: writing 10%, 1000 of 10000 records, 27 s left"},
        // A sort's comparisons are no records, and may run past their estimate.
        {"sorting", 500, 1000, 0, seconds(4), "fraction: sorting 50%, 4 s left"},
        {"sorting", 1500, 1000, 0, seconds(9), "fraction: sorting 99%, 0 s left"},
        {"reading", 10, 1000, 8, seconds(10),
         "fraction: reading 1%, 1 of 125 records, 17 min left"},
        {"reading", 0, 0, 8, seconds(10), "fraction: reading 0%"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(progressText(row.phase, row.done, row.total, row.stepsPerRecord, row.elapsed),
                  row.text);
    }
}

}  // namespace
