#pragma once

#include <fraction/Fraction.h>

#include <vector>

// The values in the report's order, sorted in the other translation unit.
std::vector<fraction::Fraction> sortedGreatestFirst(std::vector<fraction::Fraction> values);

// True when integers of types wider than 32 bits or unsigned give exact
// values, or invalid ones, and never a value cut to 32 bits.
bool widerIntegersAreExact();
