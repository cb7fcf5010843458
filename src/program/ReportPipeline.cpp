#include "ReportPipeline.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <functional>
#include <istream>
#include <limits>
#include <ostream>
#include <string_view>
#include <vector>

#include "InputFile.h"
#include "JsonSummary.h"
#include "WideSum.h"
#include "common/ReadFailure.h"
#include "fraction/FractionFile.h"
#include "sort/MemoryBudget.h"
#include "sort/SortEntry.h"
#include "sort/TaskPool.h"

using fraction::Fraction;
using fraction::FRACTION_RECORD_SIZE;
using fraction::FractionRecord;

namespace {

// The report's average of the valid values from their sum as the report
// has it, in lowest terms. Multiplying by 1/count gives what dividing by
// count/1 gives, also for counts beyond the bound that setValue puts on
// count/1. No valid fraction makes 1/0, which is refused and leaves the
// average invalid.
Fraction averageOf(const Fraction& reducedSum, std::int32_t validCount) noexcept
{
    Fraction reciprocal;
    reciprocal.setValue(1, validCount);
    Fraction average = reducedSum;
    average.multiply(reciprocal);
    return average;
}

constexpr std::size_t kIndexWidth = 3;
constexpr std::size_t kLongestIndex = std::numeric_limits<std::uint64_t>::digits10 + 1;

// The index column of a listing, "  0", "  1", ... "999", "1000", counted
// up as text, so that no line pays for converting its number to decimal.
class IndexColumn {
public:
    explicit IndexColumn(std::uint64_t start) noexcept
    {
        std::array<char, kLongestIndex> number{};
        char* const end = std::to_chars(number.data(), number.data() + number.size(), start).ptr;
        const auto length = static_cast<std::size_t>(end - number.data());
        digits.fill(' ');
        std::copy(number.data(), end, digits.begin() + kLongestIndex - length);
        first = std::min(first, kLongestIndex - length);
    }

    // Writes the index at `out`, and returns the end of it. The copy is
    // always kLongestIndex bytes, a size the compiler copies in a few
    // moves where a call would cost as much as the rest of the line:
    // `out` must have room for that many, and what follows the index is
    // to be written over.
    char* writeTo(char* out) const noexcept
    {
        std::memcpy(out, digits.data() + first, kLongestIndex);
        return out + (kLongestIndex - first);
    }

    void advance() noexcept
    {
        // The spaces in front of the field are the room a carry grows into.
        for (std::size_t position = kLongestIndex; position-- > 0;) {
            char& digit = digits[position];
            if (digit == '9') {
                digit = '0';
                continue;
            }
            digit = digit == ' ' ? '1' : static_cast<char>(digit + 1);
            first = std::min(first, position);
            return;
        }
    }

private:
    // The field, room for any index at all though a list has fewer than
    // 2^31 entries, then as much again that writeTo may read past it.
    std::array<char, 2 * kLongestIndex> digits{};
    std::size_t first = kLongestIndex - kIndexWidth;
};

// The longest line of a listing: an index, ": ", a fraction's text and the
// line break.
constexpr std::size_t kLongestLine = kLongestIndex + 2 + fraction::FRACTION_TEXT_CAPACITY + 1;

// The lines of one range of a listing, formatted apart from the others.
class ListingLines {
public:
    void start(std::size_t lines, std::uint64_t firstIndex)
    {
        text.resize(lines * kLongestLine);
        end = text.data();
        index = IndexColumn(firstIndex);
    }

    void add(const Fraction& value) noexcept
    {
        end = index.writeTo(end);
        *end++ = ':';
        *end++ = ' ';
        end = value.formatText(end);
        *end++ = '\n';
        index.advance();
    }

    [[nodiscard]] std::string_view lines() const noexcept
    {
        return {text.data(), static_cast<std::size_t>(end - text.data())};
    }

private:
    std::vector<char> text;
    char* end = nullptr;
    IndexColumn index{0};
};

// The most lines of a stretch, shared out among the threads. Each stretch
// costs waking the threads and waiting for the last, which on this
// project's virtual machines took as long as formatting a few thousand
// lines; the text of two stretches, some 3 MiB, is little next to the
// records.
constexpr std::size_t kStretchLines = std::size_t{1} << 15U;

// The text of two stretches comes out of the memory budget, an eighth of
// it at most: a small budget lists in shorter stretches.
constexpr std::uint64_t kListingShare = 8;

[[nodiscard]] std::size_t stretchLinesWithin(std::uint64_t budget) noexcept
{
    constexpr std::size_t kFewestLines = 64;
    const std::uint64_t lines = budget / kListingShare / (2 * kLongestLine);
    return static_cast<std::size_t>(std::clamp<std::uint64_t>(lines, kFewestLines, kStretchLines));
}

// Records are read this many at a time, so that progress can be shown.
constexpr std::size_t kReadingBlock = std::size_t{1} << 20U;

// Goes through a block of records a stretch at a time: the ranges of a
// stretch are worked on at once, on every thread of the pool, each listed
// into its own lines, while the stretch before is settled: its lines
// written out in order and the work that must go in order done.
class StretchedWork {
public:
    // Turns the records [begin, end) of the block into what follows them,
    // and lists each in `lines` when it is not null.
    using RangeWork = std::function<void(std::size_t begin, std::size_t end, ListingLines* lines)>;
    // The work on the records [begin, end) that must go in their order.
    using InOrder = std::function<void(std::size_t begin, std::size_t end)>;

    // Stretches of `linesPerStretch` lines, listed when `showLines`.
    StretchedWork(sorting::TaskPool& threads, TextOutput& text, Progress& shown, bool showLines,
                  std::size_t linesPerStretch)
        : pool(threads),
          out(text),
          progress(shown),
          listing(showLines),
          stretchLines(linesPerStretch)
    {
    }

    // False, with the rest left as they are, once the text cannot be written.
    [[nodiscard]] bool run(std::size_t count, const RangeWork& work, const InOrder& inOrder)
    {
        const std::size_t rangeLines = (stretchLines + pool.size() - 1) / pool.size();
        std::size_t settledTo = 0;
        bool written = true;
        for (std::size_t begin = 0; begin < count || settledTo < begin;) {
            const std::size_t end = std::min(count, begin + stretchLines);
            const std::size_t ranges = (end - begin + rangeLines - 1) / rangeLines;
            std::vector<ListingLines>& fresh = lines[stretches % 2];
            std::vector<ListingLines>& previous = lines[(stretches + 1) % 2];
            const bool settling = settledTo < begin;
            if (fresh.size() < ranges) {
                fresh.resize(ranges);
            }
            // The text is written on the caller's thread alone: a write to
            // a reader that has left raises SIGPIPE there, which ends the
            // program as it does on one thread, where a helper would keep it
            // blocked and the write fail.
            const auto settlePrevious = [&] {
                if (settling) {
                    written = settle(previous, settledTo, begin, rangeLines, inOrder);
                }
            };
            pool.run(
                ranges,
                [&](std::size_t task) {
                    const std::size_t rangeBegin = begin + task * rangeLines;
                    const std::size_t rangeEnd = std::min(end, rangeBegin + rangeLines);
                    ListingLines* const rangeText = listing ? &fresh[task] : nullptr;
                    if (rangeText != nullptr) {
                        rangeText->start(rangeEnd - rangeBegin, listed + rangeBegin);
                    }
                    work(rangeBegin, rangeEnd, rangeText);
                },
                settlePrevious);
            if (!written) {
                return false;
            }
            settledTo = begin;
            begin = end;
            ++stretches;
        }
        listed += count;
        return true;
    }

    // Counts the lines of the next listing from 0 again.
    void restart() noexcept { listed = 0; }

private:
    bool settle(std::vector<ListingLines>& ranges, std::size_t settledTo, std::size_t upTo,
                std::size_t rangeLines, const InOrder& inOrder)
    {
        if (listing) {
            for (std::size_t range = 0; range * rangeLines < upTo - settledTo; ++range) {
                out.lines(ranges[range].lines());
            }
        }
        inOrder(settledTo, upTo);
        progress.advance(listed + upTo);
        return !out.failed();
    }

    sorting::TaskPool& pool;
    TextOutput& out;
    Progress& progress;
    bool listing;
    std::size_t stretchLines;
    std::uint64_t listed = 0;
    std::uint64_t stretches = 0;
    std::array<std::vector<ListingLines>, 2> lines;
};

}  // namespace

// The listing in file order, carried on from block to block of records,
// with the sum and the count of the valid ones.
class ReportPipeline::FirstListing {
public:
    FirstListing(StretchedWork& work, bool wideSum) : stretches(work), keepsWideSum(wideSum)
    {
        total.setZero();
    }

    // Lists the records, each reduced, and turns each into its sort entry.
    // False, with the rest left as they are, once the text cannot be written.
    [[nodiscard]] bool list(FractionRecord* records, std::size_t count)
    {
        const auto reduce = [records](std::size_t begin, std::size_t end, ListingLines* lines) {
            for (std::size_t i = begin; i < end; ++i) {
                Fraction value = Fraction::fromRecord(records[i]);
                // An invalid record's parts carry no meaning: reducing them
                // would change nothing that is listed or written.
                if (value.isValid()) {
                    value.reduce();
                }
                if (lines != nullptr) {
                    lines->add(value);
                }
                records[i] = sortEntry(value);
            }
        };
        // The sum goes in file order: where it overflows, and so whether it
        // stays valid, depends on the order of the terms.
        const auto addInOrder = [this, records](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                const Fraction value = Fraction::fromRecord(records[i]);
                if (value.isValid()) {
                    total.add(value);
                    ++valid;
                    if (keepsWideSum) {
                        wide.add(value.numeratorPart(), value.denominatorPart());
                    }
                }
            }
        };
        return stretches.run(count, reduce, addInOrder);
    }

    [[nodiscard]] const Fraction& sum() const noexcept { return total; }
    [[nodiscard]] std::int32_t validCount() const noexcept { return valid; }
    // The sum of the valid values without the overflow of sum(); kept only
    // when asked for.
    [[nodiscard]] const WideSum& wideSum() const noexcept { return wide; }

private:
    StretchedWork& stretches;
    Fraction total;
    std::int32_t valid = 0;
    bool keepsWideSum;
    WideSum wide;
};

// The listing in the report's order, carried on from block to block of
// entries, which keeps the median, the greatest and the least valid value
// as it passes.
class ReportPipeline::SortedListing {
public:
    SortedListing(StretchedWork& work, std::int32_t validCount)
        : stretches(work),
          medianIndex(validCount > 0 ? static_cast<std::uint64_t>((validCount + 1) / 2 - 1)
                                     : UINT64_MAX),
          leastIndex(validCount > 0 ? static_cast<std::uint64_t>(validCount - 1) : UINT64_MAX),
          greatestIndex(validCount > 0 ? 0 : UINT64_MAX)
    {
    }

    // Lists the entries; each becomes the record written for it. False, with
    // the rest left as they are, once the text cannot be written.
    [[nodiscard]] bool list(FractionRecord* entries, std::size_t count)
    {
        const auto toRecords = [entries](std::size_t begin, std::size_t end, ListingLines* lines) {
            for (std::size_t i = begin; i < end; ++i) {
                const Fraction entry = Fraction::fromRecord(entries[i]);
                if (lines != nullptr) {
                    lines->add(entry);
                }
                entries[i] = entry.toRecord();
            }
        };
        const auto keepAll = [this, entries](std::size_t begin, std::size_t end) {
            keep(entries, begin, end, medianIndex, middle);
            keep(entries, begin, end, leastIndex, leastValue);
            keep(entries, begin, end, greatestIndex, greatestValue);
        };
        const bool written = stretches.run(count, toRecords, keepAll);
        listed += count;
        return written;
    }

    // Each is invalid until it has been listed; with no valid entry it
    // stays invalid.
    [[nodiscard]] const Fraction& median() const noexcept { return middle; }
    [[nodiscard]] const Fraction& least() const noexcept { return leastValue; }
    [[nodiscard]] const Fraction& greatest() const noexcept { return greatestValue; }

private:
    // The entry at `position` of the whole list, when it is among the
    // entries [begin, end) of this block.
    void keep(const FractionRecord* entries, std::size_t begin, std::size_t end,
              std::uint64_t position, Fraction& value) const noexcept
    {
        if (position >= listed + begin && position < listed + end) {
            value = Fraction::fromRecord(entries[position - listed]);
        }
    }

    StretchedWork& stretches;
    std::uint64_t listed = 0;
    std::uint64_t medianIndex;
    std::uint64_t leastIndex;
    std::uint64_t greatestIndex;
    Fraction middle;
    Fraction leastValue;
    Fraction greatestValue;
};

ReportPipeline::ReportPipeline(TextOutput& text, Progress& shown, const Settings& settings)
    : out(text),
      progress(shown),
      shownText(settings.text),
      memoryBudget(settings.memoryBudget),
      temporaryDirectory(settings.temporaryDirectory),
      threads(sorting::threadsWithin(settings.memoryBudget, settings.threads)),
      store(settings.temporaryDirectory, shown, threads)
{
}

ReportPipeline::Result ReportPipeline::take(std::istream& in, const std::string& name)
{
    // Nothing of an earlier file is kept.
    source.reset();
    progress.phase("reading", 0, FRACTION_RECORD_SIZE);
    const fraction::FractionFileHeaderResult header = fraction::readFractionFileHeader(in);
    if (!header.header) {
        return {Outcome::unusable, name + ": " + shortReadReason(in, header.message), {}};
    }
    nData = header.header->count;
    total = static_cast<std::uint64_t>(std::max(nData, 0));
    const std::uint64_t expectedBytes = total * FRACTION_RECORD_SIZE;
    // The listing's lines and the threads' own memory come out of the
    // budget; the records have the rest.
    const std::uint64_t beside = listingBytes() + sorting::threadBytes(threads);
    const Status reserved = store.reserve(total, memoryBudget > beside ? memoryBudget - beside : 0);
    if (!reserved) {
        return {Outcome::failed, name + ": " + reserved.reason(), {}};
    }
    if (total <= store.roomSize()) {
        // Read whole at once where they fit: a file cut short is then
        // refused before anything is listed, as one that tells its size is.
        FractionRecord* const records = store.room();
        std::uint64_t arrived = 0;
        for (std::uint64_t first = 0; first < total; first += kReadingBlock) {
            progress.advanced(first * FRACTION_RECORD_SIZE, expectedBytes);
            const auto wanted =
                static_cast<std::size_t>(std::min<std::uint64_t>(kReadingBlock, total - first));
            const std::uint64_t got = fraction::readFractionRecords(in, records + first, wanted);
            arrived += got;
            if (got < wanted * FRACTION_RECORD_SIZE) {
                return {
                    Outcome::unusable,
                    name + ": " + shortReadReason(in, fraction::describeShortFile(nData, arrived)),
                    {}};
            }
        }
    } else if (header.header->bytesLeft) {
        source.emplace(in, name);
    } else {
        std::uint64_t arrived = 0;
        auto copy = sorting::RecordSource::copyOf(in, total, temporaryDirectory, arrived);
        if (!copy) {
            return {Outcome::failed, copy.reason(), {}};
        }
        source = std::move(copy).value();
        if (arrived < expectedBytes) {
            return {Outcome::unusable,
                    name + ": " + shortReadReason(in, fraction::describeShortFile(nData, arrived)),
                    {}};
        }
    }
    const std::optional<std::uint64_t>& bytesLeft = header.header->bytesLeft;
    const bool trailing =
        bytesLeft ? *bytesLeft > expectedBytes : in.peek() != std::istream::traits_type::eof();
    return {Outcome::ready, {}, trailing ? name + ": " + describeTrailingBytes(nData) : ""};
}

ReportPipeline::Result ReportPipeline::show()
{
    // The text could not be written: whoever checks the output tells it.
    const auto lost = [] { return Result{Outcome::failed, {}, {}}; };
    Status status = store.prepare();
    if (!status) {
        return {Outcome::failed, status.reason(), {}};
    }
    const bool listing = shownText == ReportText::full;
    listHeading();
    sorting::TaskPool pool(threads);
    // One for both listings: the second reuses the first one's lines.
    StretchedWork stretches(pool, out, progress, listing, stretchLinesWithin(memoryBudget));
    FirstListing first(stretches, shownText == ReportText::json);
    // One phase for the whole listing, counted in records listed: a phase
    // for each step of each run would flip back and forth and never show
    // how far the whole has come.
    progress.phase(store.addingPhase(), total, 1);
    for (std::uint64_t done = 0; done < total;) {
        FractionRecord* const block = store.room();
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(store.roomSize(), total - done));
        if (source) {
            status = source->read(block, wanted);
            if (!status) {
                return {Outcome::failed, status.reason(), {}};
            }
        }
        if (!first.list(block, wanted)) {
            return lost();
        }
        status = store.add(wanted);
        if (!status) {
            return {Outcome::failed, status.reason(), {}};
        }
        done += wanted;
    }
    if (out.failed()) {
        return lost();
    }
    status = store.finish();
    if (!status) {
        return {Outcome::failed, status.reason(), {}};
    }

    if (listing) {
        out.text("The sorted array is\n");
    }
    stretches.restart();
    SortedListing sorted(stretches, first.validCount());
    progress.phase(store.sortedPhase(), total, 1);
    status = store.forEachSorted([&sorted](FractionRecord* entries, std::size_t count) {
        // Any failure stops the store; the output's state tells the reason.
        return sorted.list(entries, count) ? Status() : Status(Failure("lost"));
    });
    if (out.failed()) {
        return lost();
    }
    if (!status) {
        return {Outcome::failed, status.reason(), {}};
    }
    if (shownText == ReportText::json) {
        summariseAsJson(first.sum(), first, sorted);
    } else {
        summarise(first.sum(), first.validCount(), sorted);
    }
    return {};
}

Status ReportPipeline::write(std::ostream& file)
{
    progress.phase("writing", total, 1);
    fraction::writeCount(file, nData);
    std::uint64_t done = 0;
    return store.forEachSorted([this, &file, &done](FractionRecord* records, std::size_t count) {
        fraction::writeRecords(file, records, records + count);
        done += count;
        progress.advance(done);
        return Status();
    });
}

std::uint64_t ReportPipeline::listingBytes() const noexcept
{
    return shownText == ReportText::full
               ? std::uint64_t{2} * stretchLinesWithin(memoryBudget) * kLongestLine
               : 0;
}

void ReportPipeline::listHeading()
{
    if (shownText == ReportText::none || shownText == ReportText::json) {
        return;
    }
    out.text("nData=");
    out.integer(nData);
    out.endLine();
    if (shownText == ReportText::full) {
        out.text("The original array is \n");
    }
}

void ReportPipeline::summarise(Fraction sum, std::int32_t validCount, const SortedListing& sorted)
{
    if (shownText == ReportText::none) {
        return;
    }
    const bool summary = shownText == ReportText::summary;
    if (summary) {
        out.text("The valid count is ");
        out.integer(validCount);
        out.endLine();
    }
    sum.reduce();
    out.text("The sum is ");
    out.fraction(sum);
    out.endLine();

    const Fraction average = averageOf(sum, validCount);
    out.text("The average is ");
    out.fraction(average);
    out.endLine();

    out.text("The medium is ");
    out.fraction(sorted.median());
    out.endLine();
    if (summary) {
        out.text("The least is ");
        out.fraction(sorted.least());
        out.endLine();
        out.text("The greatest is ");
        out.fraction(sorted.greatest());
        out.endLine();
    }
}

void ReportPipeline::summariseAsJson(const Fraction& sum, const FirstListing& first,
                                     const SortedListing& sorted)
{
    JsonSummary summary;
    summary.records = total;
    summary.valid = first.validCount();
    summary.sum = sum;
    summary.sum.reduce();
    summary.average = averageOf(summary.sum, first.validCount());
    summary.median = sorted.median();
    summary.least = sorted.least();
    summary.greatest = sorted.greatest();
    summary.sumValue = first.wideSum().value();
    out.lines(jsonSummaryText(summary));
}
