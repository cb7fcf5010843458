#pragma once

#include <string>
#include <string_view>
#include <vector>

// The words of a line typed at a terminal, with the quoting that file-name
// completion writes and a shell reader expects: whitespace separates words;
// a backslash takes the next character as it is ("my\ file" is one word);
// single quotes take everything up to the closing quote as it is; double
// quotes do the same except that a backslash in them still takes a
// following " or \ as it is. Quotes join the word around them, so
// 'my file'.frac is one word, and '' is an empty word. An unclosed quote
// runs to the end of the line; a backslash that ends the line stands for
// itself.
[[nodiscard]] std::vector<std::string> splitTypedWords(std::string_view line);
