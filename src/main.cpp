#include <cstdlib>
#include <iostream>
#include <new>
#include <string_view>

#include "Report.h"
#include "fraction/Fraction.h"
#include "platform/Platform.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kProgramName = "fraction";

constexpr const char* kUsage =
    "Usage: fraction [--report]\n"
    "Runs the self-test of the Fraction type.\n"
    "\n"
    "  --report    after the self-test, read the name of a fraction file on standard\n"
    "              input, list its fractions, sort them greatest first, print their\n"
    "              sum, average and median, then read an output file name and write\n"
    "              the sorted fractions to it\n"
    "  -h, --help  show this help\n";

int runReport()
{
    // The program throws nothing of its own, and the report's large
    // allocation is made without exceptions, so what can arrive here is the
    // standard library failing a small allocation (a name, a stream buffer)
    // on a machine with no memory left. It is caught here, once, to end with
    // a message and a status instead of an abort; the output file's
    // temporary is removed as the stack unwinds.
    try {
        Report report(std::cin, std::cout, std::cerr,
                      platform::isTerminal(platform::StandardStream::output));
        return report.run();
    } catch (const std::bad_alloc&) {
        std::cout.flush();
        std::cerr << kProgramName << ": out of memory" << std::endl;
        return kExitFailure;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    // Standard output is written only through std::cout.
    std::ios::sync_with_stdio(false);
    platform::useBinaryStandardStreams();

    bool reportRequested = false;
    if (argc > 2) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    if (argc == 2) {
        const std::string_view argument(argv[1]);
        if (argument == "-h" || argument == "--help") {
            std::cout << kUsage;
            return EXIT_SUCCESS;
        }
        if (argument != "--report") {
            std::cerr << kProgramName << ": unknown argument '" << argument << "'\n" << kUsage;
            return kExitUsage;
        }
        reportRequested = true;
    }

    unitTest();
    const int status = reportRequested ? runReport() : EXIT_SUCCESS;
    // Output that never arrived is a failure, not a success.
    if (!std::cout.flush()) {
        std::cerr << kProgramName << ": cannot write standard output" << std::endl;
        return kExitFailure;
    }
    return status;
}
