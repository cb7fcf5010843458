#include "sort/SortedStore.h"

#include <algorithm>
#include <utility>

#include "common/Check.h"
#include "sort/EntrySort.h"
#include "sort/MemoryBudget.h"

using fraction::FractionRecord;

namespace sorting {

namespace {

// Entries held in memory are handed on in blocks of this many, so that
// whoever takes them can show how far it has come.
constexpr std::size_t kHandedBlock = std::size_t{1} << 20U;

// A merge needs a block for each of two runs and two for what it merges.
constexpr std::uint64_t kLeastWorkspace = 4;

}  // namespace

SortedStore::SortedStore(std::string where, SortProgress& shown, unsigned sortThreads)
    : directory(std::move(where)), progress(shown), threads(sortThreads)
{
}

Status SortedStore::reserve(std::uint64_t count, std::uint64_t budget)
{
    merged.reset();
    sorter.reset();
    held = 0;
    runsWanted = false;
    memoryBudget = budget;
    std::uint64_t capacity = budget / sizeof(FractionRecord);
    if (count <= capacity && memory.allocate(static_cast<std::size_t>(count))) {
        return {};
    }
    runsWanted = true;
    capacity = std::max(std::min(capacity, count), kLeastWorkspace);
    while (!memory.allocate(static_cast<std::size_t>(capacity))) {
        if (capacity * sizeof(FractionRecord) <= kMinimumBudget) {
            return Failure("out of memory: even " +
                           std::to_string(capacity * sizeof(FractionRecord)) +
                           " bytes cannot be had to sort in");
        }
        capacity /= 2;
    }
    // A run gathered in half the workspace is sorted by key, on every
    // thread, with the other half as the key sort's scratch: several times
    // faster than sorting twice the entries in place on one thread, for
    // twice the runs, which the merges take in one pass all the same.
    runSize = memory.size() / 2 >= kKeySortThreshold ? memory.size() / 2 : memory.size();
    return {};
}

Status SortedStore::prepare()
{
    if (!runsWanted || sorter) {
        return {};
    }
    Result<RunFile> runs = RunFile::create(directory);
    if (!runs) {
        return runs.status();
    }
    sorter.emplace(std::move(runs).value(), memory.data(), memory.size(), directory, progress,
                   threads);
    return {};
}

Status SortedStore::add(std::size_t count)
{
    if (!runsWanted) {
        held += count;
        return {};
    }
    FRACTION_CHECK(sorter.has_value());  // prepare() made the run file
    sortBlock(memory.data(), count, false);
    return sorter->addRun(memory.data(), count);
}

Status SortedStore::finish()
{
    if (!runsWanted) {
        sortBlock(memory.data(), held, progress.enabled());
        return {};
    }
    FRACTION_CHECK(sorter.has_value());
    Status done = sorter->mergeDown();
    if (!done) {
        return done;
    }
    Result<RunFile> made = RunFile::create(directory);
    if (!made) {
        return made.status();
    }
    merged = std::move(made).value();
    return {};
}

void SortedStore::sortBlock(FractionRecord* entries, std::size_t count, bool watched)
{
    SortSteps steps;
    if (watched) {
        steps = [this](std::uint64_t done, std::uint64_t total) {
            if (done == 0) {
                progress.phase("sorting", total);
            }
            progress.advance(done);
        };
    }
    // What the budget leaves beside the entries held is the sort's to use.
    const std::uint64_t heldBytes = std::uint64_t{memory.size()} * sizeof(FractionRecord);
    const std::uint64_t spare = memoryBudget > heldBytes ? memoryBudget - heldBytes : 0;
    // Runs are sorted with the rest of the workspace as scratch, when it
    // has room for them.
    FractionRecord* const scratch =
        runsWanted && runSize < memory.size() ? memory.data() + runSize : nullptr;
    sortEntries(entries, entries + count, {threads, spare, steps, scratch});
}

Status SortedStore::forEachSorted(const EntrySink& sink)
{
    if (runsWanted) {
        FRACTION_CHECK(merged.has_value());
        return sorter ? passMerged(sink) : readMerged(sink);
    }
    for (std::size_t first = 0; first < held; first += kHandedBlock) {
        Status taken = sink(memory.data() + first, std::min(kHandedBlock, held - first));
        if (!taken) {
            return taken;
        }
    }
    return {};
}

Status SortedStore::passMerged(const EntrySink& sink)
{
    // A pass that stops leaves the runs, so that the next one merges again
    // into a run of its own.
    merged->startRun();
    Status passed =
        sorter->forEachSorted([this, &sink](FractionRecord* entries, std::size_t count) {
            Status taken = sink(entries, count);
            return taken ? merged->append(entries, count) : taken;
        });
    if (passed) {
        sorter.reset();
    }
    return passed;
}

Status SortedStore::readMerged(const EntrySink& sink)
{
    const Run& run = merged->runs().back();
    FractionRecord* const block = memory.data();
    for (std::uint64_t done = 0; done < run.count;) {
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(memory.size(), run.count - done));
        Status passed = merged->read(run.first + done, block, count);
        if (passed) {
            passed = sink(block, count);
        }
        if (!passed) {
            return passed;
        }
        done += count;
    }
    return {};
}

}  // namespace sorting
