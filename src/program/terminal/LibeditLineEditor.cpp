// Line editing through libedit's readline interface, whose default
// completion is file names.

#include <editline/readline.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/LineEditor.h"
#include "terminal/TerminalText.h"
#include "terminal/TypedWords.h"

namespace {

// A copy libedit can free.
char* duplicate(const std::string& text)
{
    char* const copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy != nullptr) {
        text.copy(copy, text.size());
        copy[text.size()] = '\0';
    }
    return copy;
}

void freeMatches(char** matches)
{
    for (char** match = matches; *match != nullptr; ++match) {
        std::free(*match);
    }
    std::free(matches);
}

// Whether the cursor of the line being edited stands inside quotes.
struct Quoting {
    bool single = false;
    bool dual = false;
};

Quoting quotingAtCursor()
{
    Quoting quoting;
    const std::string_view before(rl_line_buffer, static_cast<std::size_t>(rl_point));
    for (std::size_t at = 0; at < before.size(); ++at) {
        const char c = before[at];
        if (c == '\\' && !quoting.single) {
            ++at;
        } else if (c == '\'' && !quoting.dual) {
            quoting.single = !quoting.single;
        } else if (c == '"' && !quoting.single) {
            quoting.dual = !quoting.dual;
        }
    }
    return quoting;
}

// A file name written into the line as libedit's own completion writes
// it, so that splitTypedWords reads it back whole.
std::string quoted(std::string_view name, Quoting quoting)
{
    constexpr std::string_view kSpecial = "'\"()\\<>$# \n\t?;`@=|{}&*[";
    constexpr std::string_view kSpecialInDoubleQuotes = "\"\\`$";
    std::string line;
    for (const char c : name) {
        if (quoting.single) {
            line += c == '\'' ? std::string_view("'\\''") : std::string_view(&c, 1);
            continue;
        }
        const std::string_view special = quoting.dual ? kSpecialInDoubleQuotes : kSpecial;
        if (special.find(c) != std::string_view::npos) {
            line += '\\';
        }
        line += c;
    }
    return line;
}

// File-name completion whose listing shows each name as every message
// does, escaped (libedit lists the names as they are, so a name could
// retitle or steer the terminal), while the line gets the name itself.
// libedit lists matches[1] on and writes matches[0] into the line, quoted
// by this function: it quotes only its own completion's names.
char** completeFileName(const char* text, int /*start*/, int /*end*/)
{
    rl_attempted_completion_over = 1;
    // The word as typed, its backslashes taken away as the line's reading
    // does; libedit never hands over a quote itself.
    std::string word;
    for (const char* at = text; *at != '\0'; ++at) {
        if (*at == '\\' && at[1] != '\0') {
            ++at;
        }
        word += *at;
    }
    char** const names = rl_completion_matches(word.c_str(), rl_filename_completion_function);
    if (names == nullptr) {
        return nullptr;
    }
    std::size_t count = 0;
    while (names[count + 1] != nullptr) {
        ++count;
    }
    const bool single = count == 0 || (count == 1 && std::strcmp(names[0], names[1]) == 0);
    const Quoting quoting = quotingAtCursor();
    std::string completion = quoted(names[0], quoting);
    if (single && (quoting.single || quoting.dual)) {
        completion += quoting.single ? '\'' : '"';
    }
    const std::size_t listed = single ? 0 : count;
    auto** const matches = static_cast<char**>(std::calloc(listed + 2, sizeof(char*)));
    bool whole = matches != nullptr;
    for (std::size_t at = 0; whole && at <= listed; ++at) {
        matches[at] = duplicate(at == 0 ? completion : terminalSafe(names[at]));
        whole = matches[at] != nullptr;
    }
    freeMatches(names);
    if (!whole && matches != nullptr) {
        freeMatches(matches);
        return nullptr;
    }
    return matches;
}

struct FreeLine {
    void operator()(char* line) const noexcept { std::free(line); }
};

class EditedAnswers : public AnswerSource {
public:
    EditedAnswers(std::ostream& output, std::ostream* errorTerminal)
        : out(output),
          terminal(errorTerminal != nullptr ? *errorTerminal : output),
          promptsToOutput(errorTerminal != nullptr)
    {
        rl_readline_name = "fraction";
        rl_attempted_completion_function = completeFileName;
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
