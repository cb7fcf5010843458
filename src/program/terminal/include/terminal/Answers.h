#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

// Where the report's answers come from: one whitespace-delimited word at a
// time, several words on one line being several answers in order.
class AnswerSource {
public:
    AnswerSource() = default;
    AnswerSource(const AnswerSource&) = delete;
    AnswerSource& operator=(const AnswerSource&) = delete;
    virtual ~AnswerSource() = default;

    // Shows `prompt`, the unfinished last line of the report's output, and
    // returns the next word; nullopt at the end of the input or on an error
    // reading it.
    [[nodiscard]] virtual std::optional<std::string> nextWord(std::string_view prompt) = 0;
};

// Answers read from a stream, the prompt written to another as it stands,
// and also to `promptTerminal` when one is given: the terminal a person
// reads while the output goes elsewhere.
class StreamAnswers : public AnswerSource {
public:
    StreamAnswers(std::istream& input, std::ostream& output,
                  std::ostream* promptTerminal = nullptr) noexcept
        : in(input), out(output), terminal(promptTerminal)
    {
    }

    [[nodiscard]] std::optional<std::string> nextWord(std::string_view prompt) override;

private:
    std::istream& in;
    std::ostream& out;
    std::ostream* terminal;
};
