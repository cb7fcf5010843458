#include "Report.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <istream>
#include <ostream>
#include <string_view>
#include <utility>

#include "InputFile.h"
#include "OutputFile.h"
#include "sort/EntrySort.h"
#include "sort/ExternalSort.h"
#include "sort/MemoryBudget.h"
#include "sort/RunFile.h"
#include "terminal/TerminalText.h"

using fraction::Fraction;
using fraction::FRACTION_RECORD_SIZE;
using fraction::FractionFileHeader;
using fraction::FractionRecord;
using fraction::RecordList;
using fraction::writeFractionFile;

namespace {

constexpr int kExitFailure = 1;
constexpr std::string_view kMessagePrefix = "fraction: ";
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
class Report::FirstListing {
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
class Report::SortedListing {
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

Report::Report(AnswerSource& source, std::ostream& output, std::ostream& errors,
               const ReportOptions& options)
    : answers(source),
      outputStream(output),
      out(output, options.flushEveryLine),
      shownText(options.text),
      err(errors),
      hint(options.hint),
      progress(options.progressTerminal),
      memoryBudget(options.memoryBudget),
      threads(options.threads),
      temporaryDirectory(options.temporaryDirectory),
      givenInput(options.inputName),
      givenOutput(options.outputName),
      standardInput(options.standardInput)
{
}

void Report::complain(const std::string& message)
{
    // Flushed first so that a combined capture keeps the order of events.
    out.flush();
    progress.clear();
    // Made whole before any of it is written: what fails to allocate here
    // is then told alone, not after a prefix already written.
    const std::string shown = terminalSafe(message);
    err << kMessagePrefix << shown << std::endl;
}

std::optional<std::string> Report::readName()
{
    progress.clear();
    return answers.nextWord(out.takeUnfinishedLine());
}

Report::InputOutcome Report::readInputFile(InputFile& input)
{
    if (givenInput) {
        const InputOutcome outcome = loadInputFile(*givenInput, true, input);
        return outcome == InputOutcome::refused ? InputOutcome::failed : outcome;
    }
    if (!hint.empty()) {
        out.flush();
        err << kMessagePrefix << hint << std::endl;
    }
    while (true) {
        const std::optional<std::string> name = readName();
        if (!name) {
            complain("end of input while waiting for an input file name");
            return InputOutcome::endOfInput;
        }
        const InputOutcome outcome = loadInputFile(*name, false, input);
        if (outcome != InputOutcome::refused) {
            return outcome;
        }
        out.text("Cannot open the file!! \nPlease enter another input file name ? ");
    }
}

Report::InputOutcome Report::loadInputFile(const std::string& name, bool given, InputFile& input)
{
    // Only a name given on the command line means standard input: an
    // answer "-" is a file of that name, as it always was.
    const bool fromStandardInput = given && name == "-" && standardInput != nullptr;
    const std::string shownName = fromStandardInput ? "standard input" : name;
    input.streamOnly.reset();
    input.file = std::make_unique<std::ifstream>();
    input.stream = input.file.get();
    if (fromStandardInput) {
        input.stream = standardInput;
    } else {
        const std::string reason = openInputFile(name, *input.file);
        if (!reason.empty()) {
            complain(name + ": " + reason);
            return InputOutcome::refused;
        }
    }
    if (!inputHasSize(fromStandardInput ? std::string() : name)) {
        input.streamOnly = std::make_unique<StreamOnly>(*input.stream);
        input.stream = input.streamOnly.get();
    }
    progress.phase("reading", 0, FRACTION_RECORD_SIZE);
    const fraction::FractionFileHeaderResult header =
        fraction::readFractionFileHeader(*input.stream);
    std::string message = header.message;
    const TakeOutcome taken = header.header ? takeRecords(shownName, *header.header, input, message)
                                            : TakeOutcome::unusable;
    if (taken == TakeOutcome::ready) {
        return InputOutcome::ready;
    }
    complain(taken == TakeOutcome::failed ? message : shownName + ": " + message);
    return taken == TakeOutcome::failed ? InputOutcome::failed : InputOutcome::refused;
}

Report::TakeOutcome Report::takeRecords(const std::string& name, const FractionFileHeader& header,
                                        InputFile& input, std::string& message)
{
    std::istream& file = *input.stream;
    // Nothing of an earlier name that could not be used is kept.
    input.source.reset();
    input.count = header.count;
    const auto count = static_cast<std::uint64_t>(std::max(header.count, 0));
    const std::uint64_t expectedBytes = count * FRACTION_RECORD_SIZE;
    std::uint64_t capacity = memoryBudget / sizeof(FractionRecord);
    input.outside = count > capacity;
    if (!input.outside && !input.records.allocate(static_cast<std::size_t>(count))) {
        input.outside = true;
    }
    if (!input.outside) {
        std::uint64_t arrived = 0;
        for (std::uint64_t first = 0; first < count; first += kReadingBlock) {
            progress.advanced(first * FRACTION_RECORD_SIZE, expectedBytes);
            const auto wanted =
                static_cast<std::size_t>(std::min<std::uint64_t>(kReadingBlock, count - first));
            const std::uint64_t got =
                fraction::readFractionRecords(file, input.records.data() + first, wanted);
            arrived += got;
            if (got < wanted * FRACTION_RECORD_SIZE) {
                message = fraction::describeShortFile(header.count, arrived);
                return TakeOutcome::unusable;
            }
        }
    } else {
        // The records pass through a workspace of the budget's size, or of
        // less when not even that much can be had.
        capacity = std::min(capacity, count);
        while (!input.records.allocate(static_cast<std::size_t>(capacity))) {
            if (capacity * sizeof(FractionRecord) <= sorting::kMinimumBudget) {
                message = name + ": out of memory: even " +
                          std::to_string(capacity * sizeof(FractionRecord)) +
                          " bytes cannot be had to sort in";
                return TakeOutcome::failed;
            }
            capacity /= 2;
        }
        if (header.bytesLeft) {
            input.source.emplace(file, name);
        } else {
            std::uint64_t arrived = 0;
            input.source =
                sorting::RecordSource::copyOf(file, count, temporaryDirectory, arrived, message);
            if (!input.source) {
                return TakeOutcome::failed;
            }
            if (arrived < expectedBytes) {
                message = fraction::describeShortFile(header.count, arrived);
                return TakeOutcome::unusable;
            }
        }
    }
    const bool trailing = header.bytesLeft ? *header.bytesLeft > expectedBytes
                                           : file.peek() != std::istream::traits_type::eof();
    if (trailing) {
        complain(name + ": " + describeTrailingBytes(header.count));
    }
    return TakeOutcome::ready;
}

int Report::run()
{
    InputFile input;
    if (readInputFile(input) != InputOutcome::ready) {
        return kExitFailure;
    }
    if (input.outside) {
        return reportOutsideMemory(input);
    }
    FractionRecord* const records = input.records.data();
    const std::size_t count = input.records.size();
    if (!listAndSummarise(records, count, input.count)) {
        return outputLost();
    }
    return writeOutputFile([&](std::ostream& stream) {
        progress.phase("writing", std::uint64_t{count} * FRACTION_RECORD_SIZE,
                       FRACTION_RECORD_SIZE);
        writeFractionFile(stream, input.count, records, records + count, &progress);
        return std::string();
    });
}

void Report::listAndSummarise(RecordList& records, std::int32_t nData)
{
    // Whoever calls this checks the output stream itself.
    static_cast<void>(listAndSummarise(records.begin(), records.size(), nData));
}

bool Report::listAndSummarise(FractionRecord* records, std::size_t count, std::int32_t nData)
{
    const bool listing = shownText == ReportText::full;
    listHeading(nData);
    FirstListing first(out, progress, listing);
    progress.phase("listing", count, 1);
    if (!first.list(records, count)) {
        return false;
    }

    sortEntries(records, count);
    if (listing) {
        out.text("The sorted array is\n");
    }
    SortedListing sorted(out, progress, first.validCount(), listing);
    progress.phase("listing sorted", count, 1);
    if (!sorted.list(records, count)) {
        return false;
    }
    summarise(first.sum(), first.validCount(), sorted);
    return true;
}

int Report::outputLost()
{
    // The entry tells it, once, as it checks standard output before it
    // ends. No output file is written: one made beside its target is
    // dropped, leaving the old file as it was.
    progress.clear();
    return kExitFailure;
}

int Report::reportOutsideMemory(InputFile& input)
{
    std::string error;
    std::optional<sorting::RunFile> runFile = sorting::RunFile::create(temporaryDirectory, error);
    if (!runFile) {
        complain(error);
        return kExitFailure;
    }
    FractionRecord* const workspace = input.records.data();
    const std::size_t workspaceSize = input.records.size();
    // Optional only so that its runs can be let go once merged.
    std::optional<sorting::ExternalSorter> sorter;
    sorter.emplace(std::move(*runFile), workspace, workspaceSize, temporaryDirectory, progress);
    const auto total = static_cast<std::uint64_t>(std::max(input.count, 0));

    const bool listing = shownText == ReportText::full;
    listHeading(input.count);
    FirstListing first(out, progress, listing);
    // One phase for every run, counted in records listed: a phase for each
    // step of each run would flip back and forth and never show how far the
    // whole has come.
    progress.phase("listing and sorting runs", total, 1);
    for (std::uint64_t done = 0; done < total;) {
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(workspaceSize, total - done));
        const std::size_t got = input.source->read(workspace, wanted, error);
        if (got < wanted) {
            complain(error);
            return kExitFailure;
        }
        if (!first.list(workspace, got)) {
            return outputLost();
        }
        sorting::sortEntries(workspace, workspace + got,
                             {threads, spareBytes(workspaceSize), nullptr});
        error = sorter->addRun(workspace, got);
        if (!error.empty()) {
            complain(error);
            return kExitFailure;
        }
        done += got;
    }
    error = sorter->mergeDown();
    if (!error.empty()) {
        complain(error);
        return kExitFailure;
    }

    // The merged list, as written, is kept for the output file: writing it
    // once and reading it back measured cheaper than merging again.
    std::optional<sorting::RunFile> merged = sorting::RunFile::create(temporaryDirectory, error);
    if (!merged) {
        complain(error);
        return kExitFailure;
    }
    merged->startRun();
    if (listing) {
        out.text("The sorted array is\n");
    }
    SortedListing sorted(out, progress, first.validCount(), listing);
    progress.phase("merging and listing sorted", total, 1);
    error = sorter->forEachSorted([&sorted, &merged](FractionRecord* entries, std::size_t count) {
        // Any message stops the merge; the output's state tells the reason.
        return sorted.list(entries, count) ? merged->append(entries, count) : std::string("lost");
    });
    sorter.reset();
    if (out.failed()) {
        return outputLost();
    }
    if (!error.empty()) {
        complain(error);
        return kExitFailure;
    }
    summarise(first.sum(), first.validCount(), sorted);

    return writeOutputFile([&](std::ostream& stream) {
        progress.phase("writing", total, 1);
        fraction::writeCount(stream, input.count);
        for (std::uint64_t done = 0; done < total;) {
            const auto count =
                static_cast<std::size_t>(std::min<std::uint64_t>(workspaceSize, total - done));
            std::string failure = merged->read(done, workspace, count);
            if (!failure.empty()) {
                return failure;
            }
            fraction::writeRecords(stream, workspace, workspace + count);
            done += count;
            progress.advance(done);
        }
        return std::string();
    });
}

void Report::listHeading(std::int32_t nData)
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

void Report::summarise(Fraction sum, std::int32_t validCount, const SortedListing& sorted)
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

void Report::sortEntries(FractionRecord* entries, std::size_t count)
{
    sorting::SortSteps steps;
    if (progress.enabled()) {
        steps = [this](std::uint64_t done, std::uint64_t total) {
            if (done == 0) {
                progress.phase("sorting", total);
            }
            progress.advance(done);
        };
    }
    sorting::sortEntries(entries, entries + count, {threads, spareBytes(count), steps});
}

std::uint64_t Report::spareBytes(std::size_t heldEntries) const noexcept
{
    const std::uint64_t held = std::uint64_t{heldEntries} * sizeof(FractionRecord);
    return memoryBudget > held ? memoryBudget - held : 0;
}

int Report::writeOutputFile(const RecordWriter& writeRecords)
{
    // A report that could not be shown neither asks for nor writes a file.
    out.flush();
    if (out.failed()) {
        return outputLost();
    }
    std::optional<OutputFile> output;
    std::string outputName;
    if (givenOutput) {
        if (*givenOutput == "-") {
            return writeToStandardOutput(writeRecords);
        }
        output.emplace(*givenOutput);
        if (!output->isOpen()) {
            complain(*givenOutput + ": " + output->openFailure());
            return kExitFailure;
        }
        outputName = *givenOutput;
    } else {
        out.text("Please enter an output file name ? ");
    }
    while (!output) {
        const std::optional<std::string> name = readName();
        if (!name) {
            complain("end of input while waiting for an output file name");
            return kExitFailure;
        }
        output.emplace(*name);
        if (output->isOpen()) {
            outputName = *name;
            break;
        }
        complain(*name + ": " + output->openFailure());
        output.reset();
        out.text("Cannot open the file!! \nPlease enter another file name for output ? ");
    }

    // The output may be standard output itself: the text comes first. A run
    // that cannot show its report fails, and puts no file in place.
    out.flush();
    if (out.failed()) {
        return outputLost();
    }
    const std::string failure = writeRecords(output->stream());
    if (!failure.empty()) {
        // The output file is dropped unfinished: what was there stays.
        complain(failure);
        return kExitFailure;
    }
    const std::string error = output->finish();
    progress.clear();
    if (!error.empty()) {
        complain(outputName + ": " + error);
        return kExitFailure;
    }
    out.flush();
    return EXIT_SUCCESS;
}

int Report::writeToStandardOutput(const RecordWriter& writeRecords)
{
    // After the report's text, in the order written. A lost standard
    // output is reported once, by the entry, which checks it before it ends.
    out.flush();
    if (!outputStream) {
        return kExitFailure;
    }
    OutputFile output(platform::StandardStream::output);
    const std::string failure = writeRecords(output.stream());
    if (!failure.empty()) {
        complain(failure);
        return kExitFailure;
    }
    const std::string error = output.finish();
    progress.clear();
    if (!error.empty()) {
        complain("standard output: " + error);
        return kExitFailure;
    }
    return EXIT_SUCCESS;
}
