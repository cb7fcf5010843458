#include "Answers.h"

#include <istream>
#include <ostream>

std::optional<std::string> StreamAnswers::nextWord(std::string_view prompt)
{
    out.write(prompt.data(), static_cast<std::streamsize>(prompt.size()));
    out.flush();
    std::string word;
    if (!(in >> word)) {
        return std::nullopt;
    }
    return word;
}
