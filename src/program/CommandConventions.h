#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

class StandardOutput;

// What both programs say and return as GNU tools do, under the name set by
// setProgramName.

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The start both programs share, as their `main`: names the program, keeps
// the standard streams' numbers, makes the standard streams binary and
// unsynchronised with C's, sets up the removal of temporary files on a
// termination signal before any file is made, and keeps a memory reserve;
// then returns what `program` returns for the arguments. Any allocation the
// standard library fails on the way ends with one line and status 1 rather
// than an abort, once the stack has unwound (removing temporary files).
[[nodiscard]] int runAsMain(std::string_view name, int argc, char** argv,
                            int (*program)(const std::vector<std::string_view>& arguments));

// Says "NAME: out of memory" straight to the descriptor (the standard
// streams may be what could not get its buffer), after what standard
// output holds; returns the failure status.
int tellOutOfMemory() noexcept;

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
