#pragma once

#include <cstdint>
#include <string>

#include "fraction/Fraction.h"

// The report's summary for scripts. The fractions are the report's own
// values, an invalid one standing for what the report prints as invalid;
// `sumValue` is the sum of the valid values without the report's overflow.
struct JsonSummary {
    std::uint64_t records = 0;
    std::int32_t valid = 0;
    fraction::Fraction sum;
    fraction::Fraction average;
    fraction::Fraction median;
    fraction::Fraction least;
    fraction::Fraction greatest;
    double sumValue = 0;
};

// One JSON object on one line, ended by a line break: the counts, each
// fraction as its compact "n/d" string or null where invalid, and each as a
// number: the sum and the average from `sumValue`, the others from their
// parts (null where there is no valid value).
[[nodiscard]] std::string jsonSummaryText(const JsonSummary& summary);
