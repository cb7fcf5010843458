#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "FractionTestSupport.h"
#include "Report.h"
#include "TextOutput.h"
#include "fraction/Fraction.h"

using fraction::Fraction;

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

struct TextRow {
    Fraction value;
    const char* text;
};

// The listing formats into its own buffer; what it writes must be exactly
// what print writes, for every kind of value.
TEST(ReportText, TheListingWritesWhatPrintWrites)
{
    const std::vector<TextRow> rows = {
        {invalidFraction(), "Invalid Fraction!! "},
        {fromParts(0, 1), "0 / 1 "},
        {fromParts(0, -5), "0 / 5 "},
        {fromParts(0, kMin), "0 / 2147483648 "},
        {fromParts(3, 4), "3 / 4 "},
        {fromParts(-3, 4), "- 3 / 4 "},
        {fromParts(3, -4), "- 3 / 4 "},
        {fromParts(-3, -4), "3 / 4 "},
        {fromParts(kMin, 1), "- 2147483648 / 1 "},
        {fromParts(1, kMin), "- 1 / 2147483648 "},
        {fromParts(kMin, kMin), "2147483648 / 2147483648 "},
        {fromParts(kMin, kMax), "- 2147483648 / 2147483647 "},
        {fromParts(kMax, -kMax), "- 2147483647 / 2147483647 "},
        {fromParts(123456789, 2), "123456789 / 2 "},
        {fromParts(-7, 123456789), "- 7 / 123456789 "},
    };
    for (const TextRow& row : rows) {
        std::ostringstream listed;
        {
            TextOutput out(listed, false);
            out.fraction(row.value);
        }
        EXPECT_EQ(listed.str(), row.text) << partsOf(row.value);
        EXPECT_EQ(textOf(row.value), row.text) << partsOf(row.value);
    }
}

TEST(ReportText, GathersPiecesInOrderAcrossBlocks)
{
    std::ostringstream written;
    std::string expected;
    {
        TextOutput out(written, false);
        for (int line = 0; line < 5000; ++line) {
            out.text("n=");
            out.integer(line - 2500);
            out.text(": ");
            out.fraction(fromParts(line, 7));
            out.endLine();
            expected +=
                "n=" + std::to_string(line - 2500) + ": " + textOf(fromParts(line, 7)) + "\n";
        }
        out.text(std::string(100000, 'x'));
        expected += std::string(100000, 'x');
    }
    EXPECT_EQ(written.str(), expected);
}

// The sort's entries hold an invalid fraction as {0, 0} and are compared
// without branches; the order must be reportOrder's, answer for answer.
TEST(ReportOrder, SortEntriesAnswerAsTheFractionsDo)
{
    std::mt19937 random(2026);
    std::uniform_int_distribution<std::int32_t> part(kMin, kMax);
    std::uniform_int_distribution<std::int32_t> small(-6, 6);
    std::vector<Fraction> values = {invalidFraction(),  fromParts(0, 5),    fromParts(0, -1),
                                    fromParts(1, -2),   fromParts(-1, 2),   fromParts(kMin, 1),
                                    fromParts(kMax, 1), fromParts(1, kMin), fromParts(kMin, kMax)};
    for (int i = 0; i < 400; ++i) {
        const bool wide = i % 2 == 0;
        Fraction value =
            wide ? fromParts(part(random), part(random)) : fromParts(small(random), small(random));
        value.reduce();
        values.push_back(value);
    }
    for (const Fraction& a : values) {
        for (const Fraction& b : values) {
            ASSERT_EQ(entryOrder(sortEntry(a), sortEntry(b)), reportOrder(a, b))
                << partsOf(a) << " before " << partsOf(b);
        }
    }
}

}  // namespace
