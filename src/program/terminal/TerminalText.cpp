#include "terminal/TerminalText.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

constexpr unsigned char kDelete = 0x7F;

// The length of the valid UTF-8 sequence at the start of `text` that
// encodes a character safe to show, or 0. Overlong forms, surrogates,
// values beyond U+10FFFF and the C1 controls U+0080 to U+009F (which some
// terminals obey) do not count.
std::size_t printableSequence(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    std::uint32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1FU;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0FU;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07U;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0U) != 0x80U) {
            return 0;
        }
        value = (value << 6U) | (next & 0x3FU);
    }
    constexpr std::array<std::uint32_t, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
    const bool overlong = value < kSmallest[length];
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    const bool c1Control = value >= 0x80 && value <= 0x9F;
    if (overlong || surrogate || c1Control || value > 0x10FFFF) {
        return 0;
    }
    return length;
}

void appendEscape(std::string& out, unsigned char byte)
{
    constexpr std::string_view kHexDigits = "0123456789abcdef";
    out += "\\x";
    out += kHexDigits[byte >> 4U];
    out += kHexDigits[byte & 0x0FU];
}

}  // namespace

std::string terminalSafe(std::string_view text)
{
    std::string safe;
    safe.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text.front());
        if (byte >= 0x20 && byte < kDelete) {
            safe += text.front();
            text.remove_prefix(1);
            continue;
        }
        const std::size_t sequence = byte > kDelete ? printableSequence(text) : 0;
        if (sequence > 0) {
            safe.append(text.substr(0, sequence));
            text.remove_prefix(sequence);
        } else {
            appendEscape(safe, byte);
            text.remove_prefix(1);
        }
    }
    return safe;
}
