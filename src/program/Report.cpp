#include "Report.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <string_view>
#include <system_error>
#include <utility>

#include "OutputFile.h"
#include "terminal/TerminalText.h"

using fraction::Fraction;
using fraction::FRACTION_RECORD_SIZE;
using fraction::FractionFileContents;
using fraction::FractionFileError;
using fraction::FractionFileResult;
using fraction::FractionRecord;
using fraction::readFractionFile;
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

// A type rather than a function, so that the sort inlines the comparison.
struct EntryOrder {
    bool operator()(const FractionRecord& a, const FractionRecord& b) const noexcept
    {
        return entryOrder(a, b);
    }
};

}  // namespace

Report::Report(AnswerSource& source, std::ostream& output, std::ostream& errors,
               const ReportOptions& options)
    : answers(source),
      out(output, options.flushEveryLine),
      err(errors),
      hint(options.hint),
      progress(options.progressTerminal)
{
}

void Report::complain(const std::string& message)
{
    // Flushed first so that a combined capture keeps the order of events.
    out.flush();
    progress.clear();
    err << kMessagePrefix << terminalSafe(message) << std::endl;
}

std::optional<std::string> Report::readName()
{
    progress.clear();
    return answers.nextWord(out.takeUnfinishedLine());
}

Report::InputOutcome Report::readInputFile(FractionFileContents& contents)
{
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
        std::error_code ignored;
        std::ifstream file;
        // A directory opens on some systems but can never be read.
        if (!std::filesystem::is_directory(*name, ignored)) {
            file.open(*name, std::ios::binary | std::ios::in);
        }
        if (file.is_open()) {
            progress.phase("reading", 0);
            FractionFileResult result = readFractionFile(file, &progress);
            if (result.contents) {
                if (result.contents->hasTrailingBytes) {
                    complain(*name + ": ignoring the bytes after the " +
                             std::to_string(result.contents->count) + " counted records");
                }
                contents = std::move(*result.contents);
                return InputOutcome::ready;
            }
            complain(*name + ": " + result.message);
            if (result.error == FractionFileError::outOfMemory) {
                return InputOutcome::outOfMemory;
            }
        }
        out.text("Cannot open the file!! \nPlease enter another input file name ? ");
    }
}

void Report::listEntry(std::string_view index, const Fraction& value)
{
    out.text(index);
    out.text(": ");
    out.fraction(value);
    out.endLine();
}

int Report::run()
{
    FractionFileContents input;
    if (readInputFile(input) != InputOutcome::ready) {
        return kExitFailure;
    }
    listAndSummarise(input.records, input.count);
    return writeOutputFile(input.count, input.records);
}

void Report::listAndSummarise(RecordList& records, std::int32_t nData)
{
    out.text("nData=");
    out.integer(nData);
    out.endLine();
    out.text("The original array is \n");
    Fraction sum;
    sum.setZero();
    std::int32_t validCount = 0;
    // One fraction receives every record: an invalid record only clears
    // its flag. Its entry is {0, 0} through the sort, and the marker pair
    // once the sorted listing has passed it.
    Fraction current;
    IndexColumn originalIndex;
    progress.phase("listing", records.size());
    for (std::size_t i = 0; i < records.size(); ++i, originalIndex.advance()) {
        progress.advance(i);
        current.setFromRecord(records[i]);
        // An invalid record's parts carry no meaning: reducing them would
        // change nothing that is listed or written.
        if (current.isValid()) {
            current.reduce();
        }
        listEntry(originalIndex.text(), current);
        if (current.isValid()) {
            sum.add(current);
            ++validCount;
        }
        records[i] = sortEntry(current);
    }

    sortEntries(records);
    out.text("The sorted array is\n");
    // Each entry becomes the record written for it as it is listed.
    IndexColumn sortedIndex;
    progress.phase("listing", records.size());
    for (std::size_t i = 0; i < records.size(); ++i, sortedIndex.advance()) {
        progress.advance(i);
        const Fraction entry = Fraction::fromRecord(records[i]);
        listEntry(sortedIndex.text(), entry);
        records[i] = entry.toRecord();
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
    if (validCount > 0) {
        out.fraction(
            Fraction::fromRecord(records[static_cast<std::size_t>((validCount + 1) / 2 - 1)]));
    } else {
        out.fraction(Fraction());
    }
    out.endLine();
}

void Report::sortEntries(RecordList& records)
{
    if (!progress.enabled()) {
        std::sort(records.begin(), records.end(), EntryOrder());
        return;
    }
    // The same order, counting its comparisons against an estimate of all a
    // sort of this size makes. It gives the same answers, so the sort moves
    // the entries exactly as it does unwatched.
    const auto size = static_cast<double>(records.size());
    const auto estimate = static_cast<std::uint64_t>(size * std::log2(std::max(size, 2.0)));
    progress.phase("sorting", estimate);
    std::uint64_t comparisons = 0;
    std::sort(records.begin(), records.end(),
              [this, &comparisons](const FractionRecord& a, const FractionRecord& b) {
                  progress.advance(++comparisons);
                  return entryOrder(a, b);
              });
}

int Report::writeOutputFile(std::int32_t nData, const RecordList& records)
{
    out.text("Please enter an output file name ? ");
    std::optional<OutputFile> output;
    std::string outputName;
    while (true) {
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
        output.reset();
        out.text("Cannot open the file!! \nPlease enter another file name for output ? ");
    }

    progress.phase("writing", std::uint64_t{records.size()} * FRACTION_RECORD_SIZE);
    writeFractionFile(output->stream(), nData, records.begin(), records.end(), &progress);
    const std::string error = output->finish();
    progress.clear();
    if (!error.empty()) {
        complain(outputName + ": " + error);
        return kExitFailure;
    }
    out.flush();
    return EXIT_SUCCESS;
}
