#include "ReportPipeline.h"

#include <algorithm>
#include <array>
#include <istream>
#include <ostream>
#include <string_view>

#include "InputFile.h"
#include "fraction/FractionFile.h"
#include "sort/SortEntry.h"

using fraction::Fraction;
using fraction::FRACTION_RECORD_SIZE;
using fraction::FractionRecord;

namespace {

constexpr std::size_t kIndexWidth = 3;

// The index column of a listing, "  0", "  1", ... "999", "1000", counted
// up as text, so that no line pays for converting its number to decimal.
class IndexColumn {
public:
    IndexColumn() noexcept
    {
        digits.fill(' ');
        digits.back() = '0';
    }

    [[nodiscard]] std::string_view text() const noexcept
    {
        return {digits.data() + first, digits.size() - first};
    }

    void advance() noexcept
    {
        // The spaces in front of the field are the room a carry grows into.
        for (std::size_t position = digits.size(); position-- > 0;) {
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
    // Room for every index of a list, which has fewer than 2^31 entries.
    std::array<char, 12> digits{};
    std::size_t first = digits.size() - kIndexWidth;
};

// Records are read this many at a time, so that progress can be shown.
constexpr std::size_t kReadingBlock = std::size_t{1} << 20U;

// A listing checks this often that its text still reaches the output, so
// that a full disk or a reader gone (a closed pipe) stops the report within
// a block of text instead of after the whole file.
constexpr std::size_t kLinesBetweenChecks = 1024;

void listEntry(TextOutput& out, std::string_view index, const Fraction& value)
{
    out.text(index);
    out.text(": ");
    out.fraction(value);
    out.endLine();
}

}  // namespace

// The listing in file order, carried on from block to block of records,
// with the sum and the count of the valid ones.
class ReportPipeline::FirstListing {
public:
    FirstListing(TextOutput& text, Progress& shown, bool showLines)
        : out(text), progress(shown), listing(showLines)
    {
        total.setZero();
    }

    // Lists the records, each reduced, and turns each into its sort entry.
    // False, with the rest left as they are, once the text cannot be written.
    [[nodiscard]] bool list(FractionRecord* records, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            if (i % kLinesBetweenChecks == 0 && out.failed()) {
                return false;
            }
            progress.advance(listed + i);
            current.setFromRecord(records[i]);
            // An invalid record's parts carry no meaning: reducing them would
            // change nothing that is listed or written.
            if (current.isValid()) {
                current.reduce();
            }
            if (listing) {
                listEntry(out, index.text(), current);
                index.advance();
            }
            if (current.isValid()) {
                total.add(current);
                ++valid;
            }
            records[i] = sortEntry(current);
        }
        listed += count;
        return !out.failed();
    }

    [[nodiscard]] const Fraction& sum() const noexcept { return total; }
    [[nodiscard]] std::int32_t validCount() const noexcept { return valid; }

private:
    TextOutput& out;
    Progress& progress;
    bool listing;
    IndexColumn index;
    std::uint64_t listed = 0;
    Fraction total;
    std::int32_t valid = 0;
    // One fraction receives every record: an invalid record only clears
    // its flag. Its entry is {0, 0} through the sort, and the marker pair
    // once the sorted listing has passed it.
    Fraction current;
};

// The listing in the report's order, carried on from block to block of
// entries, which keeps the median, the greatest and the least valid value
// as it passes.
class ReportPipeline::SortedListing {
public:
    SortedListing(TextOutput& text, Progress& shown, std::int32_t validCount, bool showLines)
        : out(text),
          progress(shown),
          listing(showLines),
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
        for (std::size_t i = 0; i < count; ++i) {
            if (i % kLinesBetweenChecks == 0 && out.failed()) {
                return false;
            }
            progress.advance(listed + i);
            const Fraction entry = Fraction::fromRecord(entries[i]);
            if (listing) {
                listEntry(out, index.text(), entry);
                index.advance();
            }
            entries[i] = entry.toRecord();
        }
        keep(entries, count, medianIndex, middle);
        keep(entries, count, leastIndex, leastValue);
        keep(entries, count, greatestIndex, greatestValue);
        listed += count;
        return !out.failed();
    }

    // Each is invalid until it has been listed; with no valid entry it
    // stays invalid.
    [[nodiscard]] const Fraction& median() const noexcept { return middle; }
    [[nodiscard]] const Fraction& least() const noexcept { return leastValue; }
    [[nodiscard]] const Fraction& greatest() const noexcept { return greatestValue; }

private:
    // The entry at `position` of the whole list, when it is in this block.
    void keep(const FractionRecord* entries, std::size_t count, std::uint64_t position,
              Fraction& value) const noexcept
    {
        if (position - listed < count) {
            value = Fraction::fromRecord(entries[position - listed]);
        }
    }

    TextOutput& out;
    Progress& progress;
    bool listing;
    IndexColumn index;
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
      store(settings.temporaryDirectory, shown, settings.threads)
{
}

ReportPipeline::Result ReportPipeline::take(std::istream& in, const std::string& name)
{
    // Nothing of an earlier file is kept.
    source.reset();
    progress.phase("reading", 0, FRACTION_RECORD_SIZE);
    const fraction::FractionFileHeaderResult header = fraction::readFractionFileHeader(in);
    if (!header.header) {
        return {Outcome::unusable, name + ": " + header.message, {}};
    }
    nData = header.header->count;
    total = static_cast<std::uint64_t>(std::max(nData, 0));
    const std::uint64_t expectedBytes = total * FRACTION_RECORD_SIZE;
    const Status reserved = store.reserve(total, memoryBudget);
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
                return {Outcome::unusable,
                        name + ": " + fraction::describeShortFile(nData, arrived),
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
            return {
                Outcome::unusable, name + ": " + fraction::describeShortFile(nData, arrived), {}};
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
    FirstListing first(out, progress, listing);
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
    SortedListing sorted(out, progress, first.validCount(), listing);
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
    summarise(first.sum(), first.validCount(), sorted);
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

void ReportPipeline::listHeading()
{
    if (shownText == ReportText::none) {
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

    // Multiplying by 1/count gives what dividing by count/1 gives, also for
    // counts beyond the bound that setValue puts on count/1. No valid
    // fraction makes 1/0, which is refused and leaves the average invalid.
    Fraction reciprocal;
    reciprocal.setValue(1, validCount);
    Fraction& average = sum;
    average.multiply(reciprocal);
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
