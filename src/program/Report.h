#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iosfwd>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "Answers.h"
#include "TextOutput.h"
#include "fraction/Fraction.h"
#include "fraction/FractionFile.h"
#include "sort/EntryBlock.h"
#include "sort/RecordSource.h"
#include "sort/SortEntry.h"
#include "terminal/Progress.h"

// The report's order: valid fractions first, greatest first; invalid ones
// after them, all equivalent. With the exact isGreater this is a strict
// weak order, as std::sort requires.
[[nodiscard]] inline bool reportOrder(const fraction::Fraction& a,
                                      const fraction::Fraction& b) noexcept
{
    if (!a.isValid()) {
        return false;
    }
    if (!b.isValid()) {
        return true;
    }
    return a.isGreater(b);
}

// What the report prints of its own: everything, its summary alone (the
// counts, the sum, the average, the median and the extremes), or nothing.
// Its prompts and reasons are printed in every case.
enum class ReportText { full, summary, none };

// How the report meets its user.
struct ReportOptions {
    ReportText text = ReportText::full;
    // Shows every line as it ends, for a terminal; a file or a pipe gets
    // the same bytes in large blocks.
    bool flushEveryLine = false;
    // A line for the errors stream before the first name is read, telling
    // a user at a terminal what the silence waits for; empty for none.
    std::string hint;
    // Where to show how far long work has come (a terminal); null for
    // nowhere.
    std::ostream* progressTerminal = nullptr;
    // The bytes the records may take in memory: a file whose records need
    // more is sorted in runs kept in temporary files and merged.
    std::uint64_t memoryBudget = std::numeric_limits<std::uint64_t>::max();
    // Where those temporary files go.
    std::string temporaryDirectory = ".";
    // The threads the report may work with; its bytes are the same for any.
    unsigned threads = 1;
    // The names given on the command line, each used once instead of asking
    // for one: a name that cannot be used ends the report. "-" as the input
    // reads the fraction file from `standardInput`; as the output it writes
    // the file to the report's output stream, after the text.
    std::optional<std::string> inputName;
    std::optional<std::string> outputName;
    std::istream* standardInput = nullptr;
};

// The interactive report: reads a fraction file named by `answers`, lists,
// sorts and summarises it on `output`, and writes the sorted list to a
// second file named by `answers`. Errors go to `errors`.
class Report {
public:
    Report(AnswerSource& source, std::ostream& output, std::ostream& errors,
           const ReportOptions& options);

    // Returns the exit status: 0 when the report is complete and written,
    // 1 when it cannot be.
    int run();

    // Lists the records on the output (each reduced in place, so that the
    // list holds what is listed), sorts them into the report's order, and
    // prints their sum, average and median.
    void listAndSummarise(fraction::RecordList& records, std::int32_t nData);

private:
    enum class InputOutcome { ready, refused, endOfInput, failed };
    enum class TakeOutcome { ready, unusable, failed };

    // The input file once one that can be used is found.
    struct InputFile {
        std::unique_ptr<std::ifstream> file;
        // Reads the file or standard input as a stream, when it is not a
        // regular file and so has no size.
        std::unique_ptr<std::istream> streamOnly;
        // The file, or standard input for a given "-", or streamOnly.
        std::istream* stream = nullptr;
        std::int32_t count = 0;
        // All the records when they fit the budget; otherwise the
        // workspace they pass through.
        sorting::EntryBlock records;
        bool outside = false;
        // Where the records come from when they do not fit.
        std::optional<sorting::RecordSource> source;
    };

    class FirstListing;
    class SortedListing;

    // Writes the records of the output file to the stream; returns what
    // went wrong, or an empty string.
    using RecordWriter = std::function<std::string(std::ostream&)>;

    std::optional<std::string> readName();
    InputOutcome readInputFile(InputFile& input);
    // Opens and takes the fraction file `name`, or standard input for a
    // given "-".
    InputOutcome loadInputFile(const std::string& name, bool given, InputFile& input);
    TakeOutcome takeRecords(const std::string& name, const fraction::FractionFileHeader& header,
                            InputFile& input, std::string& message);
    // False, with the report left unfinished, once its text cannot be
    // written.
    [[nodiscard]] bool listAndSummarise(fraction::FractionRecord* records, std::size_t count,
                                        std::int32_t nData);
    // Ends a report whose text cannot be written; returns the exit status.
    int outputLost();
    int reportOutsideMemory(InputFile& input);
    void listHeading(std::int32_t nData);
    void summarise(fraction::Fraction sum, std::int32_t validCount, const SortedListing& sorted);
    int writeOutputFile(const RecordWriter& writeRecords);
    int writeToStandardOutput(const RecordWriter& writeRecords);
    void sortEntries(fraction::FractionRecord* entries, std::size_t count);
    // What the memory budget leaves beside `heldEntries` entries.
    [[nodiscard]] std::uint64_t spareBytes(std::size_t heldEntries) const noexcept;
    void complain(const std::string& message);

    AnswerSource& answers;
    std::ostream& outputStream;
    TextOutput out;
    ReportText shownText;
    std::ostream& err;
    std::string hint;
    Progress progress;
    std::uint64_t memoryBudget;
    unsigned threads;
    std::string temporaryDirectory;
    std::optional<std::string> givenInput;
    std::optional<std::string> givenOutput;
    std::istream* standardInput;
};
