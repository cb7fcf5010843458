// Line editing through libedit's readline interface, whose default
// completion is file names.

#include <editline/readline.h>

#include <cctype>
#include <cstdlib>
#include <deque>
#include <ostream>
#include <string>

#include "terminal/LineEditor.h"

namespace {

struct FreeLine {
    void operator()(char* line) const noexcept
    {
        std::free(line);
    }  // NOLINT(cppcoreguidelines-no-malloc)
};

class EditedAnswers : public AnswerSource {
public:
    explicit EditedAnswers(std::ostream& output) : out(output)
    {
        rl_readline_name = "fraction";
        using_history();
    }

    [[nodiscard]] std::optional<std::string> nextWord(std::string_view prompt) override
    {
        if (!waiting.empty()) {
            // Typed already on an earlier line: the prompt goes out as text.
            out.write(prompt.data(), static_cast<std::streamsize>(prompt.size()));
            out.flush();
        }
        const std::string promptText(prompt);
        while (waiting.empty()) {
            const std::unique_ptr<char, FreeLine> line(readline(promptText.c_str()));
            if (!line) {
                // The end of input leaves the cursor after the prompt; what
                // the program says next belongs on a line of its own.
                out << '\n' << std::flush;
                return std::nullopt;
            }
            if (*line != '\0') {
                add_history(line.get());
            }
            splitIntoWords(line.get());
        }
        std::string word = std::move(waiting.front());
        waiting.pop_front();
        return word;
    }

private:
    // Words as `std::istream >> std::string` would take them.
    void splitIntoWords(const char* line)
    {
        std::string word;
        for (const char* character = line;; ++character) {
            const bool end = *character == '\0';
            if (end || std::isspace(static_cast<unsigned char>(*character)) != 0) {
                if (!word.empty()) {
                    waiting.push_back(std::move(word));
                    word.clear();
                }
                if (end) {
                    return;
                }
            } else {
                word.push_back(*character);
            }
        }
    }

    std::ostream& out;
    std::deque<std::string> waiting;
};

}  // namespace

std::unique_ptr<AnswerSource> lineEditedAnswers(std::ostream& output)
{
    return std::make_unique<EditedAnswers>(output);
}
