#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CommandConventions.h"
#include "FractionCommandLine.h"
#include "Report.h"
#include "SelfTest.h"
#include "StandardOutput.h"
#include "platform/Platform.h"
#include "sort/MemoryBudget.h"
#include "terminal/Answers.h"
#include "terminal/LineEditor.h"

namespace {

constexpr std::string_view kProgramName = "fraction";

constexpr std::string_view kUsage =
    "Usage: fraction [OPTION]... [--report [INPUT [OUTPUT]]]\n"
    "Run the self-test of the Fraction type, and with --report then the report.\n"
    "\n"
    "The report reads the fraction file INPUT, lists its fractions, sorts them\n"
    "greatest first, prints their sum, average and median, and writes the sorted\n"
    "fractions to the fraction file OUTPUT. With no operand, the names are read\n"
    "from standard input, and asked again while they cannot be used. A name given\n"
    "that cannot be used ends the report; with INPUT given, OUTPUT is asked for\n"
    "only at a terminal, and a summary needs none (no file is then written).\n"
    "INPUT - reads the fraction file from standard input; OUTPUT - writes it to\n"
    "standard output, after the report's text, but never to a terminal. A -\n"
    "typed at a prompt is a file named -.\n"
    "\n"
    "The median of an even count of valid fractions is the greater of the two\n"
    "middle ones: 3/4, 1/2, 0/3, -5/6 give 1/2.\n"
    "\n"
    "      --report             after the self-test, run the report\n"
    "  -q, --quiet              print neither the self-test's lines nor the\n"
    "                           report's text, except a summary asked for; the\n"
    "                           prompts (on standard error) and the reasons\n"
    "                           still show\n"
    "      --summary[=json]     print, instead of the listings, the count of\n"
    "                           valid fractions, their sum, average and median,\n"
    "                           and the least and the greatest of them; with\n"
    "                           json, as one JSON object alone on standard\n"
    "                           output (as with -q), the values also as numbers\n"
    "  -S, --buffer-size=SIZE   let the report hold at most SIZE bytes of records\n"
    "                           in memory; SIZE is bytes, or a number with b, K,\n"
    "                           M, G, T, P or E, or with % for a share of the\n"
    "                           machine's memory; records that need more are\n"
    "                           sorted in runs kept in temporary files (default:\n"
    "                           half of what the machine, the process limits and\n"
    "                           the memory control group leave)\n"
    "  -T, --temporary-directory=DIR\n"
    "                           put those files in DIR (default: TMPDIR, else the\n"
    "                           system's temporary directory); DIR must be a\n"
    "                           directory when the arguments are read\n"
    "      --parallel=N         let the report work with N threads (default: the\n"
    "                           processors this process may use, at most 8); the\n"
    "                           report is the same for every N; fewer start\n"
    "                           where the buffer size cannot hold their memory\n"
    "  -h, --help               display this help and exit\n"
    "      --version            output version information and exit\n"
    "\n"
    "Exit status:\n"
    " 0  the self-test passed and, with --report, the report was written;\n"
    " 1  a name given could not be used, standard input ended before a usable\n"
    "    name, a temporary file could not be made or written, an output could\n"
    "    not be written, or a fraction file would go to a terminal;\n"
    " 2  wrong usage, a -T DIR that is not a directory included.\n"
    "A failed self-test check ends the program abnormally.\n";

int runReport(const FractionInvocation& invocation)
{
    using platform::StandardStream;
    const bool inputIsTerminal = platform::isTerminal(StandardStream::input);
    const bool outputIsTerminal = platform::isTerminal(StandardStream::output);
    const bool errorsAreTerminal = platform::isTerminal(StandardStream::error);

    // The program throws nothing of its own, and the report's large
    // allocation is made without exceptions, so what can arrive here is the
    // standard library failing a small allocation (a name, a stream buffer)
    // on a machine with no memory left. It is caught here, once, to end with
    // a message and a status instead of an abort; the output file's
    // temporary is removed as the stack unwinds.
    try {
        // Line editing only where a person types and reads: scripts and
        // pipes get exactly the plain reading. With the output going to a
        // file, the prompts show on standard error, where the person looks,
        // and go to the file as well, as a plain reading writes them.
        // Quiet, standard output holds only what was asked for: the prompts
        // go to standard error alone.
        std::ostream discarded(nullptr);
        const bool promptsOnErrors =
            inputIsTerminal && errorsAreTerminal && (invocation.quiet || !outputIsTerminal);
        std::ostream* const promptTerminal = promptsOnErrors ? &std::cerr : nullptr;
        std::ostream& promptOutput = invocation.quiet ? std::cerr : std::cout;
        const bool editing = invocation.quiet
                                 ? promptsOnErrors
                                 : inputIsTerminal && (outputIsTerminal || promptsOnErrors);
        const std::unique_ptr<AnswerSource> edited =
            editing ? lineEditedAnswers(invocation.quiet ? discarded : std::cout, promptTerminal)
                    : nullptr;
        StreamAnswers plain(std::cin, promptOutput, invocation.quiet ? nullptr : promptTerminal);
        ReportOptions options;
        options.inputName = invocation.inputName;
        options.outputName = invocation.outputName;
        options.standardInput = &std::cin;
        options.writesOutputFile = invocation.writesOutputFile;
        if (invocation.quiet) {
            options.promptStream = &std::cerr;
        }
        if (invocation.summary == FractionInvocation::Summary::text) {
            options.pipeline.text = ReportText::summary;
        } else if (invocation.summary == FractionInvocation::Summary::json) {
            options.pipeline.text = ReportText::json;
        } else if (invocation.quiet) {
            options.pipeline.text = ReportText::none;
        }
        options.flushEveryLine = outputIsTerminal;
        if (inputIsTerminal && errorsAreTerminal) {
            options.hint = std::string("name a fraction file to report on (") +
                           (edited ? "Tab completes, " : "") + platform::endOfInputKeys() +
                           " quits)";
        }
        const sorting::MemoryFacts facts = sorting::gatherMemoryFacts();
        std::optional<std::uint64_t> bufferSize = invocation.bufferSize;
        if (invocation.bufferPercent) {
            if (!facts.process.physicalMemory) {
                tellProblem(std::cerr, "cannot tell the machine's memory for a buffer size in %");
                return kExitFailure;
            }
            bufferSize = shareOfMemory(*invocation.bufferPercent, *facts.process.physicalMemory);
        }
        if (bufferSize) {
            // A budget the limits cannot grant would have the process killed
            // once its records filled it: it is lowered, and the user told.
            const sorting::GrantedBudget granted = sorting::grantedBudget(*bufferSize, facts);
            if (granted.lowered) {
                std::cout.flush();
                tellProblem(std::cerr, "buffer size " + sorting::sizeText(*bufferSize) +
                                           " is more than the memory limits allow; using " +
                                           sorting::sizeText(granted.bytes));
            }
            options.pipeline.memoryBudget = granted.bytes;
        } else {
            options.pipeline.memoryBudget = sorting::defaultBudget(facts);
        }
        // The defaults are looked for only when no option gives the value.
        options.pipeline.temporaryDirectory = invocation.temporaryDirectory
                                                  ? *invocation.temporaryDirectory
                                                  : sorting::defaultTemporaryDirectory();
        options.pipeline.threads =
            invocation.threads ? *invocation.threads
                               : std::min(platform::processorsAvailable(), kDefaultThreadsAtMost);
        // Threads the budget cannot hold are not started; at a terminal,
        // where someone asked for them, that is said.
        const unsigned held =
            sorting::threadsWithin(options.pipeline.memoryBudget, options.pipeline.threads);
        if (invocation.threads && held < *invocation.threads && errorsAreTerminal) {
            std::cout.flush();
            tellProblem(std::cerr, "--parallel=" + std::to_string(*invocation.threads) +
                                       " is more threads than the buffer size holds; using " +
                                       std::to_string(held));
        }
        // A listing on the terminal shows its own progress.
        if (errorsAreTerminal && !outputIsTerminal) {
            options.progressTerminal = &std::cerr;
        }
        Report report(edited ? *edited : plain, std::cout, std::cerr, options);
        return report.run();
    } catch (const std::bad_alloc&) {
        return tellOutOfMemory();
    }
}

int runProgram(const std::vector<std::string_view>& arguments)
{
    StandardOutput standardOutput;
    const FractionCommandLine commandLine =
        parseFractionCommandLine(arguments, platform::isTerminal(platform::StandardStream::input));
    if (!commandLine.invocation) {
        return usageError(commandLine.error, commandLine.advice);
    }
    const FractionInvocation& invocation = *commandLine.invocation;
    switch (invocation.action) {
        case FractionInvocation::Action::help:
            return writeInformation(kUsage, standardOutput);
        case FractionInvocation::Action::version:
            return writeInformation(versionText(), standardOutput);
        case FractionInvocation::Action::selfTest:
        case FractionInvocation::Action::report:
            break;
    }
    if (invocation.outputName == "-" && !fractionFileMayGoToStandardOutput()) {
        return kExitFailure;
    }

    // Quiet, the self-test still checks everything and writes its record
    // file; its lines go nowhere (a stream without a buffer takes nothing).
    std::ostream nowhere(nullptr);
    unitTest(invocation.quiet ? nowhere : std::cout);
    const int status = invocation.action == FractionInvocation::Action::report
                           ? runReport(invocation)
                           : EXIT_SUCCESS;
    // Output that never arrived is a failure, not a success.
    if (!standardOutput.finish()) {
        return kExitFailure;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    return runAsMain(kProgramName, argc, argv, runProgram);
}
