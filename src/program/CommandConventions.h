#pragma once

#include <string>
#include <string_view>

// What both programs say and return as GNU tools do.

constexpr int kExitUsage = 2;

// The --version text: name and version, the copyright and the licence.
[[nodiscard]] std::string versionText(std::string_view program);

// Writes `text` (the --help or --version output) to standard output and
// makes sure it arrived. Returns the exit status: 0, or 1 after a line on
// standard error such as "fraction: write error: No space left on device".
[[nodiscard]] int writeInformation(std::string_view program, std::string_view text);

// Says on standard error what was wrong with the arguments, in one line,
// then where to find the usage, after the `advice` for the command the
// arguments suggest when there is one. Returns the exit status for wrong
// usage.
[[nodiscard]] int usageError(std::string_view program, std::string_view reason,
                             std::string_view advice = {});

// Keeps the standard streams' numbers for them (see
// platform::reserveStandardDescriptors), first thing in main. False, after
// a line on standard error where it can still be written, when the program
// must end at once with status 1.
[[nodiscard]] bool reserveStandardStreams(std::string_view program) noexcept;
