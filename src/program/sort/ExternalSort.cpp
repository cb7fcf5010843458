#include "sort/ExternalSort.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "sort/SortEntry.h"

namespace sorting {

namespace {

// The smallest block a run is read in during a merge: smaller blocks would
// cost a system call for every few entries.
constexpr std::size_t kSmallestBlock = 4096;

// Where one run stands in a merge: the entries of its block not yet taken,
// and what of it is still in the file.
struct Cursor {
    fraction::FractionRecord* block = nullptr;
    const fraction::FractionRecord* next = nullptr;
    const fraction::FractionRecord* end = nullptr;
    std::uint64_t position = 0;
    std::uint64_t left = 0;
};

// A heap of the runs that still have entries, the run whose next entry
// comes first on top.
class RunHeap {
public:
    explicit RunHeap(std::vector<Cursor>& runs) : cursors(runs)
    {
        for (std::size_t run = 0; run < cursors.size(); ++run) {
            if (cursors[run].next != cursors[run].end) {
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
    void topChanged() { siftDown(0); }

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
        return entryOrder(*cursors[heap[a]].next, *cursors[heap[b]].next);
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

// Loads the next block of a run.
Status refill(RunFile& file, Cursor& cursor, std::size_t blockSize)
{
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(cursor.left, blockSize));
    Status read = file.read(cursor.position, cursor.block, count);
    cursor.position += count;
    cursor.left -= count;
    cursor.next = cursor.block;
    cursor.end = cursor.block + count;
    return read;
}

// Merges `count` runs from `first` on into `sink`, with the workspace cut
// into one block for each run and one for what is merged.
Status mergeRuns(RunFile& file, const Run* first, std::size_t count,
                 fraction::FractionRecord* workspace, std::size_t workspaceSize,
                 const EntrySink& sink, SortProgress& progress, std::uint64_t& done)
{
    const std::size_t blockSize = workspaceSize / (count + 1);
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
    fraction::FractionRecord* const merged = workspace + count * blockSize;
    std::size_t used = 0;
    RunHeap heap(cursors);
    while (!heap.empty()) {
        Cursor& cursor = heap.top();
        merged[used++] = *cursor.next++;
        if (used == blockSize) {
            Status taken = sink(merged, used);
            if (!taken) {
                return taken;
            }
            done += used;
            progress.advance(done);
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
    done += used;
    return used == 0 ? Status() : sink(merged, used);
}

}  // namespace

ExternalSorter::ExternalSorter(RunFile runFile, fraction::FractionRecord* memory,
                               std::size_t memorySize, std::string where, SortProgress& shown)
    : runs(std::move(runFile)),
      workspace(memory),
      workspaceSize(memorySize),
      directory(std::move(where)),
      progress(shown)
{
}

std::size_t ExternalSorter::fanIn(std::size_t workspaceSize) noexcept
{
    // One block for each run merged and one for what is merged; never fewer
    // than three, so that a merge always takes two runs at least.
    const std::size_t blocks = std::max<std::size_t>(workspaceSize / kSmallestBlock, 3);
    return blocks - 1;
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
                runs, all.data() + group, count, workspace, workspaceSize,
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
    return mergeRuns(runs, runs.runs().data(), runs.runs().size(), workspace, workspaceSize, sink,
                     progress, done);
}

}  // namespace sorting
