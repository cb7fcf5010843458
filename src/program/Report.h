#pragma once

#include <fstream>
#include <iosfwd>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "ReportPipeline.h"
#include "TextOutput.h"
#include "terminal/Answers.h"
#include "terminal/Progress.h"

// How the report meets its user.
struct ReportOptions {
    // What is printed, the memory, the temporary files and the threads.
    ReportPipeline::Settings pipeline;
    // Shows every line as it ends, for a terminal; a file or a pipe gets
    // the same bytes in large blocks.
    bool flushEveryLine = false;
    // A line for the errors stream before the first name is read, telling
    // a user at a terminal what the silence waits for; empty for none.
    std::string hint;
    // Where to show how far long work has come (a terminal); null for
    // nowhere.
    std::ostream* progressTerminal = nullptr;
    // The names given on the command line, each used once instead of asking
    // for one: a name that cannot be used ends the report. "-" as the input
    // reads the fraction file from `standardInput`; as the output it writes
    // the file to the report's output stream, after the text.
    std::optional<std::string> inputName;
    std::optional<std::string> outputName;
    std::istream* standardInput = nullptr;
    // False when the report is wanted for its text alone: no output file
    // is asked for or written.
    bool writesOutputFile = true;
    // Where the prompts go when not with the report's text, which then
    // holds nothing but what was asked for (quiet); null for the text's
    // stream.
    std::ostream* promptStream = nullptr;
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
    // Shows a prompt, or the start of one, where the prompts go.
    void prompt(std::string_view text);

    AnswerSource& answers;
    TextOutput out;
    // The prompts' own output when they do not go with the text.
    std::unique_ptr<TextOutput> separatePrompts;
    TextOutput& prompts;
    std::ostream& err;
    std::string hint;
    Progress progress;
    ReportPipeline::Settings settings;
    std::optional<std::string> givenInput;
    std::optional<std::string> givenOutput;
    std::istream* standardInput;
    bool writesOutputFile;
};
