#pragma once

#include <iosfwd>
#include <memory>

#include "Answers.h"

// Answers typed at a terminal with line editing: Tab completes file names,
// the arrow keys move through the line and through the answers given so
// far. Null when the program was built without a line editor; the build
// compiles exactly one of LibeditLineEditor.cpp and NoLineEditor.cpp.
// `output` receives the prompt when an answer is already waiting on the
// line typed before.
[[nodiscard]] std::unique_ptr<AnswerSource> lineEditedAnswers(std::ostream& output);
