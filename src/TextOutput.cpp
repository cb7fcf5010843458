#include "TextOutput.h"

#include <algorithm>
#include <ostream>

void TextOutput::writeBlock()
{
    out.write(block.data(), static_cast<std::streamsize>(used));
    used = 0;
}

void TextOutput::longText(std::string_view characters)
{
    while (!characters.empty()) {
        const std::size_t room = block.size() - used;
        if (room == 0) {
            writeBlock();
            continue;
        }
        const std::size_t piece = std::min(characters.size(), room);
        commit(std::copy_n(characters.data(), piece, block.data() + used));
        characters.remove_prefix(piece);
    }
}

void TextOutput::alignRight(char* start, std::size_t length, std::size_t width)
{
    // A field wider than a piece would not fit the room reserved for it.
    const std::size_t field = std::min(width, kLongestPiece);
    const std::size_t padding = field - length;
    std::copy_backward(start, start + length, start + field);
    std::fill_n(start, padding, ' ');
    commit(start + field);
}

void TextOutput::flush()
{
    writeBlock();
    out.flush();
}

std::string TextOutput::takeUnfinishedLine()
{
    const std::string_view gathered(block.data(), used);
    const std::size_t lineEnd = gathered.rfind('\n');
    const std::size_t unfinished = lineEnd == std::string_view::npos ? 0 : lineEnd + 1;
    std::string line(gathered.substr(unfinished));
    used = unfinished;
    flush();
    return line;
}
