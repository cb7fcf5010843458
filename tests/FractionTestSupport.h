#pragma once

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "fraction/Fraction.h"

// A valid fraction with exactly these parts, beyond setValue's bound if need
// be: it is read from a record, as a fraction file would deliver it.
inline fraction::Fraction fromParts(std::int32_t numerator, std::int32_t denominator)
{
    std::string record;
    for (const std::int32_t part : {numerator, denominator}) {
        const auto bits = static_cast<std::uint32_t>(part);
        for (int byte = 0; byte < 4; ++byte) {
            record.push_back(static_cast<char>((bits >> (8 * byte)) & 0xFFU));
        }
    }
    std::istringstream in(record);
    fraction::Fraction fraction;
    fraction.readBinary(in);
    return fraction;
}

inline fraction::Fraction invalidFraction()
{
    fraction::Fraction fraction;
    fraction.setValue(1, 0);
    return fraction;
}

inline std::string textOf(const fraction::Fraction& fraction)
{
    std::ostringstream out;
    fraction.print(out);
    return out.str();
}

// Parts as "n/d" (or "invalid"), so that a failed comparison shows both.
inline std::string partsOf(const fraction::Fraction& fraction)
{
    if (!fraction.isValid()) {
        return "invalid";
    }
    return std::to_string(fraction.numeratorPart()) + "/" +
           std::to_string(fraction.denominatorPart());
}

// A fraction of random width (1 to 32 bits a part), with its value stored
// in any of the ways a file may hold it: signs on either part or both, a
// common factor left in, the extreme parts now and then; one in twelve
// invalid, with parts of its own.
template <typename Random>
fraction::Fraction randomRepresentation(Random& random)
{
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    std::uniform_int_distribution<std::int32_t> part(kMin, kMax);
    std::uniform_int_distribution<int> bits(1, 32);
    std::uniform_int_distribution<int> kind(0, 11);
    const auto narrowed = [&] { return part(random) >> (32 - bits(random)); };
    std::int32_t numerator = narrowed();
    std::int32_t denominator = narrowed();
    switch (kind(random)) {
        case 0:
            return {numerator, 0};
        case 1:
            numerator = kMin;
            break;
        case 2:
            denominator = kMin;
            break;
        case 3:
            numerator = kind(random) < 6 ? kMax : 0;
            break;
        case 4:
        case 5: {
            // The same value over a multiple, where it fits.
            const std::int64_t factor = std::uniform_int_distribution<int>(-6, 6)(random);
            if (factor != 0 && std::abs(std::int64_t{numerator} * factor) <= kMax &&
                std::abs(std::int64_t{denominator} * factor) <= kMax) {
                numerator = static_cast<std::int32_t>(numerator * factor);
                denominator = static_cast<std::int32_t>(denominator * factor);
            }
            break;
        }
        default:
            break;
    }
    return fromParts(numerator, denominator == 0 ? 1 : denominator);
}
