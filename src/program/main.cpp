#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Answers.h"
#include "Interruption.h"
#include "MemoryReserve.h"
#include "Report.h"
#include "SelfTest.h"
#include "fraction/Version.h"
#include "platform/Platform.h"
#include "sort/MemoryBudget.h"
#include "terminal/LineEditor.h"
#include "terminal/TerminalText.h"

using fraction::FRACTION_VERSION;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kProgramName = "fraction";

constexpr const char* kUsage =
    "Usage: fraction [--report [--buffer-size=SIZE] [--temporary-directory=DIR]]\n"
    "Runs the self-test of the Fraction type.\n"
    "\n"
    "  --report    after the self-test, read the name of a fraction file on standard\n"
    "              input, list its fractions, sort them greatest first, print their\n"
    "              sum, average and median, then read an output file name and write\n"
    "              the sorted fractions to it\n"
    "  --buffer-size=SIZE  the memory the report's records may take, in bytes or\n"
    "              with K, M or G; records that need more are sorted in runs kept\n"
    "              in temporary files (default: half of what the machine, the\n"
    "              process limits and the memory control group leave)\n"
    "  --temporary-directory=DIR  where those files go (default: TMPDIR, else\n"
    "              the system's temporary directory)\n"
    "  -h, --help  show this help\n"
    "  --version   show the program's name and version\n";

// Says so straight to the descriptor: the standard streams themselves may
// be what could not get its buffer.
int outOfMemory() noexcept
{
    constexpr std::string_view kMessage = "fraction: out of memory\n";
    std::cout.flush();
    platform::writeToErrorsAtOnce(kMessage.data(), kMessage.size());
    return kExitFailure;
}

// Where the report may sort outside memory, as the command line says.
struct SortOptions {
    std::optional<std::uint64_t> bufferSize;
    std::optional<std::string> temporaryDirectory;
};

int runReport(const SortOptions& sortOptions)
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
        // pipes get exactly the plain reading.
        const std::unique_ptr<AnswerSource> edited =
            inputIsTerminal && outputIsTerminal ? lineEditedAnswers(std::cout) : nullptr;
        StreamAnswers plain(std::cin, std::cout);
        ReportOptions options;
        options.flushEveryLine = outputIsTerminal;
        if (inputIsTerminal && errorsAreTerminal) {
            options.hint = std::string("name a fraction file to report on (") +
                           (edited ? "Tab completes, " : "") + platform::endOfInputKeys() +
                           " quits)";
        }
        options.memoryBudget = sortOptions.bufferSize
                                   ? sorting::workableBudget(*sortOptions.bufferSize)
                                   : sorting::defaultBudget(sorting::gatherMemoryFacts());
        options.temporaryDirectory =
            sortOptions.temporaryDirectory.value_or(sorting::defaultTemporaryDirectory());
        // A listing on the terminal shows its own progress.
        if (errorsAreTerminal && !outputIsTerminal) {
            options.progressTerminal = &std::cerr;
        }
        Report report(edited ? *edited : plain, std::cout, std::cerr, options);
        return report.run();
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

int runProgram(int argc, char** argv)
{
    // Standard output is written only through std::cout.
    std::ios::sync_with_stdio(false);
    platform::useBinaryStandardStreams();

    bool reportRequested = false;
    SortOptions sortOptions;
    std::vector<std::string_view> arguments;
    constexpr std::string_view kBufferSize = "--buffer-size=";
    constexpr std::string_view kTemporaryDirectory = "--temporary-directory=";
    for (const std::string_view argument : std::vector<std::string_view>(argv + 1, argv + argc)) {
        if (argument.substr(0, kBufferSize.size()) == kBufferSize) {
            sortOptions.bufferSize = sorting::parseSize(argument.substr(kBufferSize.size()));
            if (!sortOptions.bufferSize) {
                std::cerr << kProgramName << ": invalid buffer size '"
                          << terminalSafe(argument.substr(kBufferSize.size())) << "'\n";
                return kExitUsage;
            }
        } else if (argument.substr(0, kTemporaryDirectory.size()) == kTemporaryDirectory &&
                   argument.size() > kTemporaryDirectory.size()) {
            sortOptions.temporaryDirectory = argument.substr(kTemporaryDirectory.size());
        } else {
            arguments.push_back(argument);
        }
    }
    if (arguments.size() > 1 ||
        (arguments.empty() && (sortOptions.bufferSize || sortOptions.temporaryDirectory))) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    if (arguments.size() == 1) {
        const std::string_view argument = arguments.front();
        if (argument == "-h" || argument == "--help") {
            std::cout << kUsage;
            return EXIT_SUCCESS;
        }
        if (argument == "--version") {
            std::cout << kProgramName << ' ' << FRACTION_VERSION << '\n';
            return EXIT_SUCCESS;
        }
        if (argument != "--report") {
            std::cerr << kProgramName << ": unknown argument '" << terminalSafe(argument) << "'\n"
                      << kUsage;
            return kExitUsage;
        }
        reportRequested = true;
    }

    unitTest();
    const int status = reportRequested ? runReport(sortOptions) : EXIT_SUCCESS;
    // Output that never arrived is a failure, not a success.
    if (!std::cout.flush()) {
        std::cerr << kProgramName << ": cannot write standard output" << std::endl;
        return kExitFailure;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    // Set up first, so that no temporary file of the self-test or of the
    // report outlives a Ctrl-C or a kill.
    interruption::install();
    if (!memoryReserve::prepare()) {
        return outOfMemory();
    }
    // Any allocation the standard library fails, on any path (the
    // self-test's included), ends here with one line and a status rather
    // than an abort; the stack unwinds first, removing temporary files.
    try {
        return runProgram(argc, argv);
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}
