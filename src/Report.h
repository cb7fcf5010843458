#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "TextOutput.h"
#include "fraction/Fraction.h"
#include "fraction/FractionFile.h"

// The report's order: valid fractions first, greatest first; invalid ones
// after them, all equivalent. With the exact isGreater this is a strict
// weak order, as std::sort requires.
[[nodiscard]] inline bool reportOrder(const Fraction& a, const Fraction& b) noexcept
{
    if (!a.isValid()) {
        return false;
    }
    if (!b.isValid()) {
        return true;
    }
    return a.isGreater(b);
}

// A list entry as the sort holds it: the parts of the reduced fraction, or
// {0, 0} for an invalid one. A valid fraction never has a zero denominator,
// so one comparison tells the two apart.
[[nodiscard]] inline FractionRecord sortEntry(const Fraction& fraction) noexcept
{
    return fraction.isValid() ? fraction.toRecord() : FractionRecord{0, 0};
}

// reportOrder over sort entries, free of branches on the values.
[[nodiscard]] inline bool entryOrder(const FractionRecord& a, const FractionRecord& b) noexcept
{
    // Bitwise, like isGreaterValue, to stay free of branches.
    const auto aValid = static_cast<unsigned>(a.denominator != 0);
    const auto bInvalid = static_cast<unsigned>(b.denominator == 0);
    const auto aGreater = static_cast<unsigned>(
        isGreaterValue(a.numerator, a.denominator, b.numerator, b.denominator));
    return (aValid & (bInvalid | aGreater)) != 0U;
}

// The interactive report: reads a fraction file named on `input`, lists,
// sorts and summarises it on `output`, and writes the sorted list to a
// second file named on `input`. Errors go to `errors`.
class Report {
public:
    Report(std::istream& input, std::ostream& output, std::ostream& errors, bool interactive);

    // Returns the exit status: 0 when the report is complete and written,
    // 1 when it cannot be.
    int run();

    // Lists the records on the output (each reduced in place, so that the
    // list holds what is listed), sorts them into the report's order, and
    // prints their sum, average and median.
    void listAndSummarise(RecordList& records, std::int32_t nData);

private:
    enum class InputOutcome { ready, endOfInput, outOfMemory };

    std::optional<std::string> readName();
    InputOutcome readInputFile(FractionFileContents& contents);
    int writeOutputFile(std::int32_t nData, const RecordList& records);
    void listEntry(std::string_view index, const Fraction& fraction);
    void complain(const std::string& message);

    std::istream& in;
    TextOutput out;
    std::ostream& err;
};
