// Line editing through libedit's readline interface, whose default
// completion is file names.

#include <editline/readline.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "terminal/LineEditor.h"
#include "terminal/TypedWords.h"

namespace {

struct FreeLine {
    void operator()(char* line) const noexcept
    {
        std::free(line);
    }  // NOLINT(cppcoreguidelines-no-malloc)
};

class EditedAnswers : public AnswerSource {
public:
    EditedAnswers(std::ostream& output, std::ostream* errorTerminal)
        : out(output),
          terminal(errorTerminal != nullptr ? *errorTerminal : output),
          promptsToOutput(errorTerminal != nullptr)
    {
        rl_readline_name = "fraction";
        if (promptsToOutput) {
            // Read before the first line is edited.
            rl_outstream = stderr;
        }
        using_history();
    }

    [[nodiscard]] std::optional<std::string> nextWord(std::string_view prompt) override
    {
        if (promptsToOutput) {
            // The output keeps the prompts exactly as a plain reading writes them.
            write(out, prompt);
        }
        if (!waiting.empty()) {
            // Typed already on an earlier line: the prompt goes out as text.
            write(terminal, prompt);
        }
        const std::string promptText(prompt);
        while (waiting.empty()) {
            const std::unique_ptr<char, FreeLine> line(readline(promptText.c_str()));
            if (!line) {
                // The end of input leaves the cursor after the prompt; what
                // the program says next belongs on a line of its own.
                terminal << '\n' << std::flush;
                return std::nullopt;
            }
            if (*line != '\0') {
                add_history(line.get());
            }
            // Quoted as completion writes names, so that a completed name
            // with a space in it is one answer.
            std::vector<std::string> words = splitTypedWords(line.get());
            waiting.insert(waiting.end(), std::make_move_iterator(words.begin()),
                           std::make_move_iterator(words.end()));
        }
        std::string word = std::move(waiting.front());
        waiting.pop_front();
        return word;
    }

private:
    static void write(std::ostream& stream, std::string_view text)
    {
        stream.write(text.data(), static_cast<std::streamsize>(text.size()));
        stream.flush();
    }

    std::ostream& out;
    std::ostream& terminal;
    bool promptsToOutput;
    std::deque<std::string> waiting;
};

}  // namespace

std::unique_ptr<AnswerSource> lineEditedAnswers(std::ostream& output, std::ostream* errorTerminal)
{
    return std::make_unique<EditedAnswers>(output, errorTerminal);
}
