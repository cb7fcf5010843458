// A second translation unit that includes every public header, as any
// project of more than one file does: a function a header defines without
// `inline` would be defined here and in main.cpp, and the link would fail.

#include <fraction/Fraction.h>
#include <fraction/FractionFile.h>
#include <fraction/FractionRecord.h>
#include <fraction/Version.h>

#include <algorithm>
#include <vector>

#include "second.h"

std::vector<fraction::Fraction> sortedGreatestFirst(std::vector<fraction::Fraction> values)
{
    std::sort(values.begin(), values.end(), fraction::greatestFirst);
    return values;
}
