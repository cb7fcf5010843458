#include "terminal/Answers.h"

#include <istream>
#include <ostream>

std::optional<std::string> StreamAnswers::nextWord(std::string_view prompt)
{
    for (std::ostream* const stream : {&out, terminal}) {
        if (stream != nullptr) {
            stream->write(prompt.data(), static_cast<std::streamsize>(prompt.size()));
            stream->flush();
        }
    }
    std::string word;
    if (!(in >> word)) {
        return std::nullopt;
    }
    return word;
}
