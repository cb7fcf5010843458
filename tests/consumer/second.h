#pragma once

#include <fraction/Fraction.h>

#include <vector>

// The values in the report's order, sorted in the other translation unit.
std::vector<fraction::Fraction> sortedGreatestFirst(std::vector<fraction::Fraction> values);
