#pragma once

#include <cstdint>
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
