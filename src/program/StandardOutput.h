#pragma once

#include <streambuf>
#include <string>

#include "OutputFile.h"

// Standard output, written through std::cout while this lives, keeping the
// system's reason for the first write that fails: a program ends with
// "cannot write standard output: No space left on device", not without
// the reason. Made first thing in a program that writes to std::cout.
class StandardOutput {
public:
    StandardOutput();
    StandardOutput(const StandardOutput&) = delete;
    StandardOutput& operator=(const StandardOutput&) = delete;
    // Gives std::cout its own buffer back, after what is left is flushed.
    ~StandardOutput();

    // Flushes std::cout. True when everything written arrived; otherwise
    // false, after the line that says why on std::cerr.
    [[nodiscard]] bool finish();

    // The system's reason for the first write that failed; empty while none has.
    [[nodiscard]] std::string failureReason() const;

private:
    OutputFile file;
    std::streambuf* previous;
};
