#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "common/Outcome.h"
#include "fraction/FractionRecord.h"
#include "sort/RunFile.h"
#include "sort/SortProgress.h"

namespace sorting {

// Takes sorted entries a block at a time; a failure stops the merge.
using EntrySink = std::function<Status(fraction::FractionRecord*, std::size_t)>;

// Sorts more entries than memory holds: runs sorted in memory are kept in
// a run file, then merged in the report's order (entryOrder), as many at
// once as the workspace has blocks for; an earlier pass merges groups of
// runs only when there are more runs than that.
class ExternalSorter {
public:
    // `memory` is where the caller gathers each run; once the runs are all
    // added, the merges use it. It holds four entries at least. With two
    // threads or more, each merge goes on while what it merged is taken.
    ExternalSorter(RunFile runFile, fraction::FractionRecord* memory, std::size_t memorySize,
                   std::string where, SortProgress& shown, unsigned threadCount = 1);

    // Keeps `count` entries, already in order, as the next run.
    [[nodiscard]] Status addRun(const fraction::FractionRecord* entries, std::size_t count);

    // Merges groups of runs until one pass can merge all that are left.
    [[nodiscard]] Status mergeDown();

    // Passes every entry, in order, to `sink`. Can be called again: the runs
    // stay as they are.
    [[nodiscard]] Status forEachSorted(const EntrySink& sink);

    // How many runs one pass merges with a workspace of `workspaceSize` entries.
    [[nodiscard]] static std::size_t fanIn(std::size_t workspaceSize) noexcept;

    [[nodiscard]] std::size_t runCount() const noexcept { return runs.runs().size(); }

private:
    RunFile runs;
    fraction::FractionRecord* workspace;
    std::size_t workspaceSize;
    std::string directory;
    SortProgress& progress;
    unsigned threads;
    std::uint64_t entryCount = 0;
};

}  // namespace sorting
