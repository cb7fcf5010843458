#pragma once

#include <iosfwd>
#include <memory>

#include "terminal/Answers.h"

// Answers typed at a terminal with line editing: Tab completes file names,
// the arrow keys move through the line and through the answers given so
// far. Null when the program was built without a line editor; the build
// compiles exactly one of LibeditLineEditor.cpp and NoLineEditor.cpp.
// `output` is where the report's text goes. Without `errorTerminal` it is
// the terminal the line is edited on, and receives the prompt as text when
// an answer is already waiting on the line typed before. With it, the line
// is edited on standard error, `errorTerminal` being that stream, while
// `output` (a file) receives every prompt as the plain reading writes it.
[[nodiscard]] std::unique_ptr<AnswerSource> lineEditedAnswers(std::ostream& output,
                                                              std::ostream* errorTerminal);
