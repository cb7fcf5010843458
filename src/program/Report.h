#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "Answers.h"
#include "TextOutput.h"
#include "fraction/Fraction.h"
#include "fraction/FractionFile.h"
#include "terminal/Progress.h"

// The report's order: valid fractions first, greatest first; invalid ones
// after them, all equivalent. With the exact isGreater this is a strict
// weak order, as std::sort requires.
[[nodiscard]] inline bool reportOrder(const fraction::Fraction& a,
                                      const fraction::Fraction& b) noexcept
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
[[nodiscard]] inline fraction::FractionRecord sortEntry(const fraction::Fraction& value) noexcept
{
    return value.isValid() ? value.toRecord() : fraction::FractionRecord{0, 0};
}

// reportOrder over sort entries, free of branches on the values.
[[nodiscard]] inline bool entryOrder(const fraction::FractionRecord& a,
                                     const fraction::FractionRecord& b) noexcept
{
    // Bitwise, like isGreaterValue, to stay free of branches.
    const auto aValid = static_cast<unsigned>(a.denominator != 0);
    const auto bInvalid = static_cast<unsigned>(b.denominator == 0);
    const auto aGreater = static_cast<unsigned>(
        fraction::isGreaterValue(a.numerator, a.denominator, b.numerator, b.denominator));
    return (aValid & (bInvalid | aGreater)) != 0U;
}

// How the report meets its user.
struct ReportOptions {
    // Shows every line as it ends, for a terminal; a file or a pipe gets
    // the same bytes in large blocks.
    bool flushEveryLine = false;
    // A line for the errors stream before the first name is read, telling
    // a user at a terminal what the silence waits for; empty for none.
    std::string hint;
    // Where to show how far long work has come (a terminal); null for
    // nowhere.
    std::ostream* progressTerminal = nullptr;
};

// The interactive report: reads a fraction file named by `answers`, lists,
// sorts and summarises it on `output`, and writes the sorted list to a
// second file named by `answers`. Errors go to `errors`.
class Report {
public:
    Report(AnswerSource& source, std::ostream& output, std::ostream& errors,
           const ReportOptions& options);

    // Returns the exit status: 0 when the report is complete and written,
    // 1 when it cannot be.
    int run();

    // Lists the records on the output (each reduced in place, so that the
    // list holds what is listed), sorts them into the report's order, and
    // prints their sum, average and median.
    void listAndSummarise(fraction::RecordList& records, std::int32_t nData);

private:
    enum class InputOutcome { ready, endOfInput, outOfMemory };

    std::optional<std::string> readName();
    InputOutcome readInputFile(fraction::FractionFileContents& contents);
    int writeOutputFile(std::int32_t nData, const fraction::RecordList& records);
    void listEntry(std::string_view index, const fraction::Fraction& value);
    void sortEntries(fraction::RecordList& records);
    void complain(const std::string& message);

    AnswerSource& answers;
    TextOutput out;
    std::ostream& err;
    std::string hint;
    Progress progress;
};
