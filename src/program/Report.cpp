#include "Report.h"

#include <cstdlib>
#include <fstream>
#include <istream>
#include <ostream>
#include <string_view>

#include "CommandConventions.h"
#include "InputFile.h"
#include "OutputFile.h"

Report::Report(AnswerSource& source, std::ostream& output, std::ostream& errors,
               const ReportOptions& options)
    : answers(source),
      out(output, options.flushEveryLine),
      separatePrompts(options.promptStream != nullptr
                          ? std::make_unique<TextOutput>(*options.promptStream, true)
                          : nullptr),
      prompts(separatePrompts ? *separatePrompts : out),
      err(errors),
      hint(options.hint),
      progress(options.progressTerminal),
      settings(options.pipeline),
      givenInput(options.inputName),
      givenOutput(options.outputName),
      standardInput(options.standardInput),
      writesOutputFile(options.writesOutputFile)
{
}

void Report::complain(const std::string& message)
{
    // Flushed first so that a combined capture keeps the order of events.
    out.flush();
    progress.clear();
    tellProblem(err, message);
}

void Report::prompt(std::string_view text)
{
    prompts.text(text);
}

std::optional<std::string> Report::readName()
{
    progress.clear();
    return answers.nextWord(prompts.takeUnfinishedLine());
}

Report::InputOutcome Report::readInputFile(InputFile& input, ReportPipeline& pipeline)
{
    if (givenInput) {
        const InputOutcome outcome = loadInputFile(*givenInput, true, input, pipeline);
        return outcome == InputOutcome::refused ? InputOutcome::failed : outcome;
    }
    if (!hint.empty()) {
        out.flush();
        tellProblem(err, hint);
    }
    while (true) {
        const std::optional<std::string> name = readName();
        if (!name) {
            complain("end of input while waiting for an input file name");
            return InputOutcome::endOfInput;
        }
        const InputOutcome outcome = loadInputFile(*name, false, input, pipeline);
        if (outcome != InputOutcome::refused) {
            return outcome;
        }
        prompt("Cannot open the file!! \nPlease enter another input file name ? ");
    }
}

Report::InputOutcome Report::loadInputFile(const std::string& name, bool given, InputFile& input,
                                           ReportPipeline& pipeline)
{
    // Only a name given on the command line means standard input: an
    // answer "-" is a file of that name, as it always was.
    const bool fromStandardInput = given && name == "-" && standardInput != nullptr;
    input.streamOnly.reset();
    input.file = std::make_unique<std::ifstream>();
    std::istream* stream = input.file.get();
    if (fromStandardInput) {
        stream = standardInput;
    } else {
        const Status opened = openInputFile(name, *input.file);
        if (!opened) {
            complain(name + ": " + opened.reason());
            return InputOutcome::refused;
        }
    }
    if (!inputHasSize(fromStandardInput ? std::string() : name)) {
        input.streamOnly = std::make_unique<StreamOnly>(*stream);
        stream = input.streamOnly.get();
    }
    const ReportPipeline::Result taken =
        pipeline.take(*stream, fromStandardInput ? "standard input" : name);
    switch (taken.outcome) {
        case ReportPipeline::Outcome::ready:
            if (!taken.warning.empty()) {
                complain(taken.warning);
            }
            return InputOutcome::ready;
        case ReportPipeline::Outcome::unusable:
            complain(taken.message);
            return InputOutcome::refused;
        case ReportPipeline::Outcome::failed:
            break;
    }
    complain(taken.message);
    return InputOutcome::failed;
}

int Report::run()
{
    InputFile input;
    ReportPipeline pipeline(out, progress, settings);
    if (readInputFile(input, pipeline) != InputOutcome::ready) {
        return kExitFailure;
    }
    const ReportPipeline::Result shown = pipeline.show();
    if (shown.outcome != ReportPipeline::Outcome::ready) {
        if (shown.message.empty()) {
            return outputLost();
        }
        complain(shown.message);
        return kExitFailure;
    }
    if (!writesOutputFile) {
        out.flush();
        return out.failed() ? outputLost() : EXIT_SUCCESS;
    }
    return writeOutputFile(pipeline);
}

int Report::outputLost()
{
    // The entry tells it, once, as it checks standard output before it
    // ends. No output file is written: one made beside its target is
    // dropped, leaving the old file as it was.
    progress.clear();
    return kExitFailure;
}

int Report::writeOutputFile(ReportPipeline& pipeline)
{
    // A report that could not be shown neither asks for nor writes a file.
    out.flush();
    if (out.failed()) {
        return outputLost();
    }
    std::unique_ptr<OutputFile> output;
    std::string outputName;
    if (givenOutput) {
        if (*givenOutput == "-") {
            // After the report's text, in the order written.
            output = std::make_unique<OutputFile>(platform::StandardStream::output);
            outputName = "standard output";
        } else {
            Result<std::unique_ptr<OutputFile>> opened = OutputFile::open(*givenOutput);
            if (!opened) {
                complain(*givenOutput + ": " + opened.reason());
                return kExitFailure;
            }
            output = std::move(opened).value();
            outputName = *givenOutput;
        }
    } else {
        prompt("Please enter an output file name ? ");
    }
    while (!output) {
        const std::optional<std::string> name = readName();
        if (!name) {
            complain("end of input while waiting for an output file name");
            return kExitFailure;
        }
        Result<std::unique_ptr<OutputFile>> opened = OutputFile::open(*name);
        if (opened) {
            output = std::move(opened).value();
            outputName = *name;
            break;
        }
        complain(*name + ": " + opened.reason());
        prompt("Cannot open the file!! \nPlease enter another file name for output ? ");
    }

    // The output may be standard output itself: the text comes first. A run
    // that cannot show its report fails, and puts no file in place; a lost
    // standard output is told once, by the entry, which checks it before it
    // ends.
    out.flush();
    if (out.failed()) {
        return outputLost();
    }
    const Status written = pipeline.write(output->stream());
    if (!written) {
        // The output file is dropped unfinished: what was there stays.
        complain(written.reason());
        return kExitFailure;
    }
    const Status finished = output->finish();
    progress.clear();
    if (!finished) {
        complain(outputName + ": " + finished.reason());
        return kExitFailure;
    }
    out.flush();
    return EXIT_SUCCESS;
}
