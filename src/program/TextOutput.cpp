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
    // Text of a block or more goes to the stream as it is, after what was
    // gathered before it, instead of being copied into the block first.
    if (characters.size() >= block.size()) {
        writeBlock();
        out.write(characters.data(), static_cast<std::streamsize>(characters.size()));
        return;
    }
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

void TextOutput::flush()
{
    writeBlock();
    out.flush();
}

bool TextOutput::failed() const
{
    return out.fail();
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
