#include "terminal/TypedWords.h"

#include <cctype>
#include <cstddef>

namespace {

bool isSpace(char character)
{
    return std::isspace(static_cast<unsigned char>(character)) != 0;
}

// Adds to `word` a double-quoted part of `line`, from `position`, just past
// its opening quote, to its closing quote, where a backslash before '"' or
// '\\' stands for that character. Returns the position past the closing quote.
std::size_t takeDoubleQuoted(std::string_view line, std::size_t position, std::string& word)
{
    while (position < line.size() && line[position] != '"') {
        const bool escape = line[position] == '\\' && position + 1 < line.size() &&
                            (line[position + 1] == '"' || line[position + 1] == '\\');
        position += escape ? 1 : 0;
        word += line[position++];
    }
    return position + 1;
}

}  // namespace

std::vector<std::string> splitTypedWords(std::string_view line)
{
    std::vector<std::string> words;
    std::string word;
    // True once the word has begun, so that a quoted empty word counts.
    bool inWord = false;
    std::size_t position = 0;
    const auto atEnd = [&] { return position >= line.size(); };
    while (!atEnd()) {
        const char character = line[position++];
        if (isSpace(character)) {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (character == '\\') {
            word += atEnd() ? '\\' : line[position++];
        } else if (character == '\'') {
            while (!atEnd() && line[position] != '\'') {
                word += line[position++];
            }
            ++position;
        } else if (character == '"') {
            position = takeDoubleQuoted(line, position, word);
        } else {
            word += character;
        }
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}
