#pragma once

#include <string>
#include <string_view>

// `text` made harmless to show on a terminal: control characters and bytes
// that are not valid UTF-8 become escapes such as \x1b, so that a file name
// or a line of input quoted in a message cannot move the cursor, recolour
// or retitle the terminal. Printable ASCII and valid UTF-8 are kept as they
// are, and so is a text that needs no escape. A backslash stays as it is,
// for the sake of Windows paths, so a name that spells an escape reads as
// one.
[[nodiscard]] std::string terminalSafe(std::string_view text);
