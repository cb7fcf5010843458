#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

class StandardOutput;

// What both programs say and return as GNU tools do, under the name set by
// setProgramName.

constexpr int kExitUsage = 2;

// The --version text: name and version, the copyright and the licence.
[[nodiscard]] std::string versionText();

// Writes one line to `err`: the program's name, ": " and the message, made
// safe for a terminal. The line is made whole before any of it is written:
// what fails to allocate is then told alone, not after a prefix.
void tellProblem(std::ostream& err, std::string_view message);

// Writes `text` (the --help or --version output) to standard output and
// makes sure it arrived. Returns the exit status: 0, or 1 after a line on
// standard error such as "fraction: write error: No space left on device",
// the reason as `output` kept it.
[[nodiscard]] int writeInformation(std::string_view text, const StandardOutput& output);

// Says on standard error what was wrong with the arguments, in one line,
// then where to find the usage, after the `advice` for the command the
// arguments suggest when there is one. Returns the exit status for wrong
// usage.
[[nodiscard]] int usageError(std::string_view reason, std::string_view advice = {});

// A fraction file's bytes would garble a screen: when standard output is a
// terminal, says so in one line on standard error and returns false.
[[nodiscard]] bool fractionFileMayGoToStandardOutput();

// Keeps the standard streams' numbers for them (see
// platform::reserveStandardDescriptors), first thing in main. False, after
// a line on standard error where it can still be written, when the program
// must end at once with status 1.
[[nodiscard]] bool reserveStandardStreams() noexcept;
