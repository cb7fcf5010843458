#pragma once

#include <string_view>

// The name this program's messages begin with ("fraction: ..."), set once,
// first thing in main: the code both programs share says it through here.
void setProgramName(std::string_view name) noexcept;

// The name set, or "fraction" before any is.
[[nodiscard]] std::string_view programName() noexcept;
