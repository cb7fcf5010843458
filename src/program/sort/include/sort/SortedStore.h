#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/Outcome.h"
#include "fraction/FractionRecord.h"
#include "sort/EntryBlock.h"
#include "sort/ExternalSort.h"
#include "sort/RunFile.h"
#include "sort/SortProgress.h"

namespace sorting {

// Sort entries gathered a block at a time and handed back in the report's
// order (entryOrder). Entries that fit the memory budget stay in one block
// of memory, sorted once they are all in; more are sorted a block at a
// time into runs in a temporary file and merged. Whoever fills the store
// sees only the room it offers.
class SortedStore {
public:
    // Run files go to the directory `where`; the work shows on `shown`; a
    // sort may use up to `sortThreads` threads.
    SortedStore(std::string where, SortProgress& shown, unsigned sortThreads = 1);

    // Makes room for `count` entries in `budget` bytes: for all of them when
    // they fit and the memory can be had, or else a workspace of the
    // budget's size, or of less when not even that much can be had. Drops
    // whatever the store held. A failure's reason is fit to follow
    // "NAME: ".
    [[nodiscard]] Status reserve(std::uint64_t count, std::uint64_t budget);

    // Makes the file the runs go to, where the entries do not fit: before
    // anything is listed, so that a directory that takes no file ends the
    // report before it begins. Called once after reserve(), before the
    // first add().
    [[nodiscard]] Status prepare();

    // Where the next entries are gathered, and how many fit there.
    [[nodiscard]] fraction::FractionRecord* room() noexcept { return memory.data() + held; }
    [[nodiscard]] std::size_t roomSize() const noexcept
    {
        return runsWanted ? runSize : memory.size() - held;
    }

    // Takes the `count` entries gathered in room().
    [[nodiscard]] Status add(std::size_t count);

    // After the last entries are added: sorts what is held in memory, or
    // merges runs until one merge can take all that are left.
    [[nodiscard]] Status finish();

    // Hands every entry, in order, to `sink`, a block at a time. Can be
    // called again: what the sink leaves in a block is what the next call
    // hands on.
    [[nodiscard]] Status forEachSorted(const EntrySink& sink);

    // The phases that show how far the store's work has come: while the
    // entries are listed and added, and while they are listed in order.
    [[nodiscard]] const char* addingPhase() const noexcept
    {
        return runsWanted ? "listing and sorting runs" : "listing";
    }
    [[nodiscard]] const char* sortedPhase() const noexcept
    {
        return runsWanted ? "merging and listing sorted" : "listing sorted";
    }

private:
    // Every sort of a block of entries goes through here; `watched` shows
    // its progress.
    void sortBlock(fraction::FractionRecord* entries, std::size_t count, bool watched);
    [[nodiscard]] Status passMerged(const EntrySink& sink);
    [[nodiscard]] Status readMerged(const EntrySink& sink);

    std::string directory;
    SortProgress& progress;
    unsigned threads;
    std::uint64_t memoryBudget = 0;
    EntryBlock memory;
    // Entries gathered in memory, when they all fit.
    std::size_t held = 0;
    // The entries do not fit: they pass through the memory as runs of
    // runSize, gathered at its start.
    bool runsWanted = false;
    std::size_t runSize = 0;
    // Optional only so that its runs can be let go once merged.
    std::optional<ExternalSorter> sorter;
    // The merged list, as first handed on, kept for the next pass: writing
    // it once and reading it back measured cheaper than merging again.
    std::optional<RunFile> merged;
};

}  // namespace sorting
