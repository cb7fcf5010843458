#include "sort/ExternalSort.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "SortKey.h"
#include "sort/SortEntry.h"
#include "sort/TaskPool.h"

namespace sorting {

namespace {

// The smallest block a run is read in during a merge: smaller blocks would
// cost a system call for every few entries. At 8 KiB, any workspace of
// 17 MiB or more merges the runs of the largest file in one pass.
constexpr std::size_t kSmallestBlock = 1024;

// The blocks of the workspace that are not the runs': one that the merge
// fills while the other is taken.
constexpr std::size_t kMergedBlocks = 2;

// Where one run stands in a merge: the entries of its block not yet taken,
// the key of the next, and what of the run is still in the file.
struct Cursor {
    fraction::FractionRecord* block = nullptr;
    const fraction::FractionRecord* next = nullptr;
    const fraction::FractionRecord* end = nullptr;
    std::uint64_t key = 0;
    std::uint64_t position = 0;
    std::uint64_t left = 0;
};

// A heap of the runs that still have entries, the run whose next entry
// comes first on top. Runs are weighed by the keys of their next entries,
// kept in the cursors, and by the exact order only where the keys are
// equal: a key is worked out once for each entry, the exact order would
// be for each of the heap's comparisons.
class RunHeap {
public:
    explicit RunHeap(std::vector<Cursor>& runs) : cursors(runs)
    {
        for (std::size_t run = 0; run < cursors.size(); ++run) {
            if (cursors[run].next != cursors[run].end) {
                cursors[run].key = valueKey(*cursors[run].next);
                heap.push_back(run);
            }
        }
        for (std::size_t at = heap.size() / 2; at-- > 0;) {
            siftDown(at);
        }
    }

    [[nodiscard]] bool empty() const noexcept { return heap.empty(); }
    [[nodiscard]] Cursor& top() noexcept { return cursors[heap.front()]; }

    // The top run's next entry has changed: puts the run where it belongs.
    void topChanged()
    {
        Cursor& changed = top();
        changed.key = valueKey(*changed.next);
        siftDown(0);
    }

    // The top run has no entries left.
    void dropTop()
    {
        heap.front() = heap.back();
        heap.pop_back();
        if (!heap.empty()) {
            siftDown(0);
        }
    }

private:
    [[nodiscard]] bool before(std::size_t a, std::size_t b) const noexcept
    {
        const Cursor& first = cursors[heap[a]];
        const Cursor& second = cursors[heap[b]];
        if (first.key != second.key) {
            return first.key < second.key;
        }
        return entryOrder(*first.next, *second.next);
    }

    void siftDown(std::size_t at) noexcept
    {
        while (true) {
            const std::size_t left = 2 * at + 1;
            if (left >= heap.size()) {
                return;
            }
            std::size_t first = left;
            if (left + 1 < heap.size() && before(left + 1, left)) {
                first = left + 1;
            }
            if (!before(first, at)) {
                return;
            }
            std::swap(heap[first], heap[at]);
            at = first;
        }
    }

    std::vector<Cursor>& cursors;
    std::vector<std::size_t> heap;
};

// Loads the next block of a run, and asks the system to start reading the
// one after, so that the disk works while the merge does.
Status refill(RunFile& file, Cursor& cursor, std::size_t blockSize)
{
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(cursor.left, blockSize));
    Status read = file.read(cursor.position, cursor.block, count);
    cursor.position += count;
    cursor.left -= count;
    cursor.next = cursor.block;
    cursor.end = cursor.block + count;
    if (cursor.left > 0) {
        file.adviseReadSoon(cursor.position, static_cast<std::size_t>(
                                                 std::min<std::uint64_t>(cursor.left, blockSize)));
    }
    return read;
}

// Takes each block the merge has filled, and gives the block to fill next,
// or null for the merge to stop.
using MergedBlocks =
    std::function<fraction::FractionRecord*(fraction::FractionRecord* filled, std::size_t count)>;

// Merges the runs of `cursors`, each with its first block loaded, into
// `block` and the blocks that `handOn` gives back. Fails only when a run
// cannot be read.
Status mergeInto(RunFile& file, std::vector<Cursor>& cursors, std::size_t blockSize,
                 fraction::FractionRecord* block, const MergedBlocks& handOn)
{
    std::size_t used = 0;
    RunHeap heap(cursors);
    while (!heap.empty()) {
        Cursor& cursor = heap.top();
        block[used++] = *cursor.next++;
        if (used == blockSize) {
            block = handOn(block, used);
            if (block == nullptr) {
                return {};
            }
            used = 0;
        }
        if (cursor.next == cursor.end) {
            if (cursor.left == 0) {
                heap.dropTop();
                continue;
            }
            Status filled = refill(file, cursor, blockSize);
            if (!filled) {
                return filled;
            }
        }
        heap.topChanged();
    }
    if (used > 0) {
        handOn(block, used);
    }
    return {};
}

// The merged blocks on their way from a merge on one thread to whoever
// takes them on another: the merge goes on into one block while the other
// is taken.
class BlockRelay {
public:
    explicit BlockRelay(std::array<fraction::FractionRecord*, kMergedBlocks> blocks)
        : merged(blocks)
    {
    }

    // For the merge: the block to fill next, once it is free, or null once
    // the taker has stopped.
    fraction::FractionRecord* freeBlock()
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [this] { return stopped || handed - taken < kMergedBlocks; });
        return stopped ? nullptr : merged[handed % kMergedBlocks];
    }

    // For the merge: the block it had last holds `count` entries.
    void hand(std::size_t count)
    {
        {
            const std::scoped_lock guard(lock);
            counts[handed % kMergedBlocks] = count;
            ++handed;
        }
        changed.notify_all();
    }

    // For the merge: no block follows once it is gone, however it ends.
    class Ending {
    public:
        explicit Ending(BlockRelay& used) noexcept : relay(used) {}
        Ending(const Ending&) = delete;
        Ending& operator=(const Ending&) = delete;
        ~Ending()
        {
            {
                const std::scoped_lock guard(relay.lock);
                relay.ended = true;
            }
            relay.changed.notify_all();
        }

    private:
        BlockRelay& relay;
    };

    // For the taker: hands each block on to `sink` in turn, until the merge
    // ends or the sink fails or throws.
    Status takeAll(const EntrySink& sink)
    {
        // A sink that throws stops the merge as one that fails does, so
        // that the merge does not wait for the taker for ever.
        const auto stop = [this] {
            {
                const std::scoped_lock guard(lock);
                stopped = true;
            }
            changed.notify_all();
        };
        try {
            return takeEach(sink);
        } catch (...) {
            stop();
            throw;
        }
    }

private:
    Status takeEach(const EntrySink& sink)
    {
        for (;;) {
            fraction::FractionRecord* block = nullptr;
            std::size_t count = 0;
            {
                std::unique_lock<std::mutex> guard(lock);
                changed.wait(guard, [this] { return taken < handed || ended; });
                if (taken == handed) {
                    return {};
                }
                block = merged[taken % kMergedBlocks];
                count = counts[taken % kMergedBlocks];
            }
            Status status = sink(block, count);
            {
                const std::scoped_lock guard(lock);
                ++taken;
                stopped = !status;
            }
            changed.notify_all();
            if (!status) {
                return status;
            }
        }
    }

    std::mutex lock;
    std::condition_variable changed;
    std::array<fraction::FractionRecord*, kMergedBlocks> merged;
    std::array<std::size_t, kMergedBlocks> counts{};
    std::uint64_t handed = 0;
    std::uint64_t taken = 0;
    bool ended = false;
    bool stopped = false;
};

// Merges `count` runs from `first` on into `sink`, with the workspace cut
// into one block for each run and two for what is merged. With two threads
// or more the merge runs on a thread of its own, so that it goes on while
// the sink works; the sink is called on one thread at a time all the same.
Status mergeRuns(RunFile& file, const Run* first, std::size_t count,
                 fraction::FractionRecord* workspace, std::size_t workspaceSize, unsigned threads,
                 const EntrySink& sink, SortProgress& progress, std::uint64_t& done)
{
    const std::size_t blockSize = workspaceSize / (count + kMergedBlocks);
    std::vector<Cursor> cursors(count);
    for (std::size_t run = 0; run < count; ++run) {
        cursors[run].block = workspace + run * blockSize;
        cursors[run].position = first[run].first;
        cursors[run].left = first[run].count;
        Status filled = refill(file, cursors[run], blockSize);
        if (!filled) {
            return filled;
        }
    }
    fraction::FractionRecord* const mergedBlock = workspace + count * blockSize;
    const auto take = [&sink, &progress, &done](fraction::FractionRecord* block, std::size_t size) {
        Status taken = sink(block, size);
        if (taken) {
            done += size;
            progress.advance(done);
        }
        return taken;
    };

    TaskPool pool(threads > 1 ? 2 : 1);
    if (pool.size() < 2) {
        Status taken;
        Status merged =
            mergeInto(file, cursors, blockSize, mergedBlock,
                      [&take, &taken](fraction::FractionRecord* block, std::size_t size) {
                          taken = take(block, size);
                          return taken ? block : nullptr;
                      });
        return merged ? taken : merged;
    }
    BlockRelay relay({mergedBlock, mergedBlock + blockSize});
    Status merged;
    Status taken;
    // The blocks are taken on the caller's thread, which alone takes the
    // signals a write in the sink may raise; the merge goes on a helper.
    pool.run(
        1,
        [&](std::size_t) {
            const BlockRelay::Ending ending(relay);
            fraction::FractionRecord* const block = relay.freeBlock();
            if (block != nullptr) {
                merged = mergeInto(file, cursors, blockSize, block,
                                   [&relay](fraction::FractionRecord*, std::size_t size) {
                                       relay.hand(size);
                                       return relay.freeBlock();
                                   });
            }
        },
        [&] { taken = relay.takeAll(take); });
    return merged ? taken : merged;
}

}  // namespace

ExternalSorter::ExternalSorter(RunFile runFile, fraction::FractionRecord* memory,
                               std::size_t memorySize, std::string where, SortProgress& shown,
                               unsigned threadCount)
    : runs(std::move(runFile)),
      workspace(memory),
      workspaceSize(memorySize),
      directory(std::move(where)),
      progress(shown),
      threads(threadCount)
{
}

std::size_t ExternalSorter::fanIn(std::size_t workspaceSize) noexcept
{
    // One block for each run merged and two for what is merged; never fewer
    // than four, so that a merge always takes two runs at least.
    const std::size_t blocks =
        std::max<std::size_t>(workspaceSize / kSmallestBlock, 2 + kMergedBlocks);
    return blocks - kMergedBlocks;
}

Status ExternalSorter::addRun(const fraction::FractionRecord* entries, std::size_t count)
{
    runs.startRun();
    entryCount += count;
    return runs.append(entries, count);
}

Status ExternalSorter::mergeDown()
{
    const std::size_t most = fanIn(workspaceSize);
    // Every pass is one part of a single phase, so that its share only grows.
    std::uint64_t passes = 0;
    for (std::size_t left = runs.runs().size(); left > most; left = (left + most - 1) / most) {
        ++passes;
    }
    if (passes > 0) {
        progress.phase("merging runs", entryCount * passes);
    }
    std::uint64_t done = 0;
    while (runs.runs().size() > most) {
        Result<RunFile> merged = RunFile::create(directory);
        if (!merged) {
            return merged.status();
        }
        const std::vector<Run>& all = runs.runs();
        for (std::size_t group = 0; group < all.size(); group += most) {
            merged.value().startRun();
            const std::size_t count = std::min(most, all.size() - group);
            Status passed = mergeRuns(
                runs, all.data() + group, count, workspace, workspaceSize, threads,
                [&merged](fraction::FractionRecord* block, std::size_t size) {
                    return merged.value().append(block, size);
                },
                progress, done);
            if (!passed) {
                return passed;
            }
        }
        runs = std::move(merged).value();
    }
    return {};
}

Status ExternalSorter::forEachSorted(const EntrySink& sink)
{
    std::uint64_t done = 0;
    return mergeRuns(runs, runs.runs().data(), runs.runs().size(), workspace, workspaceSize,
                     threads, sink, progress, done);
}

}  // namespace sorting
