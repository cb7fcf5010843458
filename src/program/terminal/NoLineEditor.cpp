// The build without a line editor: a terminal gets the plain reading.

#include "terminal/LineEditor.h"

std::unique_ptr<AnswerSource> lineEditedAnswers(std::ostream& /*output*/,
                                                std::ostream* /*errorTerminal*/)
{
    return nullptr;
}
