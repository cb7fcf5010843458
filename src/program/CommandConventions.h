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
