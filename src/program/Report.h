#pragma once

#include <cstdint>
#include <fstream>
#include <iosfwd>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "ReportPipeline.h"
#include "TextOutput.h"
#include "fraction/Fraction.h"
#include "sort/SortEntry.h"
#include "terminal/Answers.h"
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
// second file named by `answers`. Errors go to `errors`. This is the
// dialogue about names; the work on the file is the ReportPipeline's.
class Report {
public:
    Report(AnswerSource& source, std::ostream& output, std::ostream& errors,
           const ReportOptions& options);

    // Returns the exit status: 0 when the report is complete and written,
    // 1 when it cannot be.
    int run();

private:
    enum class InputOutcome { ready, refused, endOfInput, failed };

    // The input file once one that can be used is found.
    struct InputFile {
        std::unique_ptr<std::ifstream> file;
        // Reads the file or standard input as a stream, when it is not a
        // regular file and so has no size.
        std::unique_ptr<std::istream> streamOnly;
    };

    std::optional<std::string> readName();
    InputOutcome readInputFile(InputFile& input, ReportPipeline& pipeline);
    // Opens the fraction file `name`, or standard input for a given "-",
    // and has the pipeline take it.
    InputOutcome loadInputFile(const std::string& name, bool given, InputFile& input,
                               ReportPipeline& pipeline);
    // Ends a report whose text cannot be written; returns the exit status.
    int outputLost();
    // Asks for the output's name where none was given, and writes the
    // sorted file there.
    int writeOutputFile(ReportPipeline& pipeline);
    void complain(const std::string& message);

    AnswerSource& answers;
    TextOutput out;
    std::ostream& err;
    std::string hint;
    Progress progress;
    ReportPipeline::Settings settings;
    std::optional<std::string> givenInput;
    std::optional<std::string> givenOutput;
    std::istream* standardInput;
};
