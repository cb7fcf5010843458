#pragma once

#include <cstdint>

// 32-bit little-endian two's complement, the byte order of every integer in
// a fraction file, whatever the machine's own.

inline void encodeInt32(std::int32_t value, char* bytes) noexcept
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (unsigned byte = 0; byte < 4; ++byte) {
        bytes[byte] = static_cast<char>(static_cast<unsigned char>(bits >> (8 * byte)));
    }
}

inline std::int32_t decodeInt32(const char* bytes) noexcept
{
    std::uint32_t bits = 0;
    for (unsigned byte = 0; byte < 4; ++byte) {
        bits |= std::uint32_t{static_cast<unsigned char>(bytes[byte])} << (8 * byte);
    }
    // Decoded by hand, so that no out-of-range conversion is needed.
    constexpr std::uint32_t kSignBit = 0x80000000U;
    if ((bits & kSignBit) == 0) {
        return static_cast<std::int32_t>(bits);
    }
    return -static_cast<std::int32_t>(~bits) - 1;
}
