// A second translation unit that includes every public header, as any
// project of more than one file does: a function a header defines without
// `inline` would be defined here and in main.cpp, and the link would fail.

#include <fraction/Fraction.h>
#include <fraction/FractionFile.h>
#include <fraction/FractionRecord.h>
#include <fraction/Version.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "second.h"

std::vector<fraction::Fraction> sortedGreatestFirst(std::vector<fraction::Fraction> values)
{
    std::sort(values.begin(), values.end(), fraction::greatestFirst);
    return values;
}

bool widerIntegersAreExact()
{
    // Built with -Wconversion: none of these may warn, and none may narrow.
    const std::size_t count = 4;
    const std::int64_t wide = std::int64_t{1} << 40;
    fraction::Fraction value(wide, 2 * wide);
    const bool half = value == fraction::Fraction(1, 2) && value.setValue(count, 8U);
    return half && fraction::Fraction(1, 2147483648U) > 0 && value < count &&
           !fraction::Fraction(wide, 1).isValid() && !(value + wide).isValid();
}
