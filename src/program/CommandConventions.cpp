#include "CommandConventions.h"

#include <cstring>
#include <iostream>
#include <new>

#include "MemoryReserve.h"
#include "StandardOutput.h"
#include "common/ProgramName.h"
#include "fraction/Version.h"
#include "platform/Interruption.h"
#include "platform/Platform.h"
#include "terminal/TerminalText.h"

std::string versionText()
{
    std::string text(programName());
    text += ' ';
    text += fraction::FRACTION_VERSION;
    text +=
        "\n"
        "Copyright (C) 2026 The fraction developers.\n"
        "License MIT: <https://opensource.org/licenses/MIT>.\n"
        "This is free software: you are free to change and redistribute it.\n"
        "There is NO WARRANTY, to the extent permitted by law.\n";
    return text;
}

void tellProblem(std::ostream& err, std::string_view message)
{
    std::string line(programName());
    line += ": ";
    line += terminalSafe(message);
    line += '\n';
    err << line << std::flush;
}

int writeInformation(std::string_view text, const StandardOutput& output)
{
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (std::cout.flush()) {
        return 0;
    }
    const std::string reason = output.failureReason();
    tellProblem(std::cerr, reason.empty() ? std::string("write error") : "write error: " + reason);
    return 1;
}

int usageError(std::string_view reason, std::string_view advice)
{
    std::cout.flush();
    tellProblem(std::cerr, reason);
    std::cerr << "Try ";
    if (!advice.empty()) {
        std::cerr << advice << ", or ";
    }
    std::cerr << "'" << programName() << " --help' for more information." << std::endl;
    return kExitUsage;
}

bool fractionFileMayGoToStandardOutput()
{
    if (!platform::isTerminal(platform::StandardStream::output)) {
        return true;
    }
    tellProblem(std::cerr, "standard output is a terminal: a fraction file is not written there");
    return false;
}

bool reserveStandardStreams() noexcept
{
    const std::string_view program = programName();
    const char* const reason = platform::reserveStandardDescriptors();
    if (reason == nullptr) {
        return true;
    }
    // In pieces, straight to the descriptor: nothing is set up yet, and
    // nothing may be allocated. With standard error closed it goes nowhere.
    const std::string_view what = ": cannot open the null device: ";
    platform::writeToErrorsAtOnce(program.data(), program.size());
    platform::writeToErrorsAtOnce(what.data(), what.size());
    platform::writeToErrorsAtOnce(reason, std::strlen(reason));
    platform::writeToErrorsAtOnce("\n", 1);
    return false;
}

int tellOutOfMemory() noexcept
{
    const std::string_view program = programName();
    const std::string_view what = ": out of memory\n";
    std::cout.flush();
    platform::writeToErrorsAtOnce(program.data(), program.size());
    platform::writeToErrorsAtOnce(what.data(), what.size());
    return kExitFailure;
}

int runAsMain(std::string_view name, int argc, char** argv,
              int (*program)(const std::vector<std::string_view>& arguments))
{
    setProgramName(name);
    if (!reserveStandardStreams()) {
        return kExitFailure;
    }
    platform::useBinaryStandardStreams();
    interruption::install();
    // The programs throw nothing of their own; what can arrive here is the
    // standard library failing an allocation (a long text, a large file) on
    // a machine with no memory left.
    try {
        // Standard output is written only through std::cout, and standard
        // input read through its own buffer, as a named file is: a read the
        // system fails then fails the stream, which can tell why. The
        // buffers are allocated here, where running out is told.
        std::ios::sync_with_stdio(false);
        if (!memoryReserve::prepare()) {
            return tellOutOfMemory();
        }
        return program(std::vector<std::string_view>(argv + 1, argv + argc));
    } catch (const std::bad_alloc&) {
        return tellOutOfMemory();
    }
}
