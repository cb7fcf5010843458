#pragma once

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "fraction/Fraction.h"

// The report's text on its way to a stream: gathered in a fixed block and
// written out in large pieces, so that a long listing costs one stream call
// per block instead of several per line. A terminal sees every line as it
// is ended; a file or a pipe gets the same bytes in blocks.
class TextOutput {
public:
    TextOutput(std::ostream& stream, bool lineByLine) : out(stream), flushEveryLine(lineByLine) {}
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;
    ~TextOutput() { flush(); }

    void text(std::string_view characters)
    {
        if (characters.size() <= kLongestPiece && characters.size() <= block.size() - used) {
            commit(std::copy(characters.begin(), characters.end(), block.data() + used));
            return;
        }
        longText(characters);
    }

    void integer(std::int64_t value)
    {
        char* const start = reserve(kLongestPiece);
        commit(std::to_chars(start, start + kLongestPiece, value).ptr);
    }

    void fraction(const fraction::Fraction& value)
    {
        commit(value.formatText(reserve(kLongestPiece)));
    }

    // Whole lines at once; on a terminal they are shown at once.
    void lines(std::string_view characters)
    {
        text(characters);
        if (flushEveryLine) {
            flush();
        }
    }

    // A line break; on a terminal the line is shown at once.
    void endLine()
    {
        char* const start = reserve(1);
        *start = '\n';
        commit(start + 1);
        if (flushEveryLine) {
            flush();
        }
    }

    // Hands everything gathered so far to the stream and flushes it.
    void flush();

    // True once the stream has refused some of the text (a full disk, a
    // reader gone): what follows would be lost too.
    [[nodiscard]] bool failed() const;

    // Hands everything up to the last line break to the stream and flushes
    // it, and returns the unfinished line after it instead of writing it:
    // the prompt that whoever reads the answer shows.
    [[nodiscard]] std::string takeUnfinishedLine();

private:
    // The longest single piece appended at once: a fraction's text or a number.
    static constexpr std::size_t kLongestPiece = fraction::FRACTION_TEXT_CAPACITY;
    static constexpr std::size_t kBlockSize = std::size_t{64} * 1024;

    // Room for `size` more characters (at most kLongestPiece) at the end.
    char* reserve(std::size_t size)
    {
        if (block.size() - used < size) {
            writeBlock();
        }
        return block.data() + used;
    }
    void commit(const char* end) noexcept { used = static_cast<std::size_t>(end - block.data()); }
    // Text of a block or more, written to the stream directly; or text that
    // does not fit the room left, written in as many blocks as it takes.
    void longText(std::string_view characters);
    void writeBlock();

    std::ostream& out;
    bool flushEveryLine;
    // On the heap: the report that owns this object lives on the stack,
    // which must stay small enough for any stack limit.
    std::vector<char> block = std::vector<char>(kBlockSize);
    std::size_t used = 0;
};
