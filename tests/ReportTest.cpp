#include <gtest/gtest.h>

#include <algorithm>
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
#include "sort/SortEntry.h"

using fraction::Fraction;

using fraction::FractionRecord;

namespace {

// The report's order: valid fractions first, greatest first; invalid ones
// after them, all equivalent. With the exact isGreater this is a strict
// weak order, as std::sort requires.
[[nodiscard]] bool reportOrder(const fraction::Fraction& a, const fraction::Fraction& b) noexcept
{
    if (!a.isValid()) {
        return false;
    }
    if (!b.isValid()) {
        return true;
    }
    return a.isGreater(b);
}

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
// without branches. The order must be reportOrder's wherever that decides,
// and between entries reportOrder leaves equivalent it must follow the fixed
// rule: by denominator, then by numerator, least first; invalid entries
// stay alike. Distinct entries are then never equivalent.
TEST(ReportOrder, SortEntriesFollowTheReportOrderThenTheFixedRule)
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
            const FractionRecord entryA = sortEntry(a);
            const FractionRecord entryB = sortEntry(b);
            bool expected = reportOrder(a, b);
            if (!expected && !reportOrder(b, a) && a.isValid()) {
                expected = entryA.denominator != entryB.denominator
                               ? entryA.denominator < entryB.denominator
                               : entryA.numerator < entryB.numerator;
            }
            ASSERT_EQ(entryOrder(entryA, entryB), expected)
                << partsOf(a) << " before " << partsOf(b);
            if (entryA != entryB) {
                ASSERT_NE(entryOrder(entryA, entryB), entryOrder(entryB, entryA))
                    << partsOf(a) << " and " << partsOf(b);
            }
        }
    }
}

// Equal values stored with their signs on different parts, and zeros over
// different denominators, come in one order whatever order they start in.
TEST(ReportOrder, EquivalentEntriesHaveOneArrangement)
{
    const std::vector<FractionRecord> expected = {{-2, -2}, {-1, -1}, {1, 1}, {-1, -2}, {1, 2},
                                                  {0, -5},  {0, -1},  {0, 1}, {0, 7},   {1, -2},
                                                  {-1, 2},  {0, 0},   {0, 0}};
    std::vector<FractionRecord> entries = expected;
    std::mt19937 random(7);
    for (int shuffle = 0; shuffle < 50; ++shuffle) {
        std::shuffle(entries.begin(), entries.end(), random);
        std::sort(entries.begin(), entries.end(), EntryOrder());
        ASSERT_EQ(entries, expected);
        // The report's way: the cheaper order, then the equivalents arranged.
        std::shuffle(entries.begin(), entries.end(), random);
        std::sort(entries.begin(), entries.end(), ValueOrder());
        orderEquivalents(entries.data(), entries.data() + entries.size());
        ASSERT_EQ(entries, expected);
    }
}

// The library's greatestFirst and the report's sort of its entries are one
// order: sorting random fractions either way gives the same entries.
TEST(ReportOrder, IsTheLibrarysGreatestFirst)
{
    std::mt19937_64 random(4711);
    for (int round = 0; round < 20; ++round) {
        std::vector<Fraction> values;
        for (int i = 0; i < 300; ++i) {
            Fraction value = randomRepresentation(random);
            if (i % 3 == 0) {
                value.reduce();
            }
            values.push_back(value);
        }
        // Some equal values, so that the parts must settle their order.
        values.insert(values.end(), values.begin(), values.begin() + 40);
        std::vector<FractionRecord> entries(values.size());
        std::transform(values.begin(), values.end(), entries.begin(),
                       [](const Fraction& value) { return sortEntry(value); });
        std::sort(entries.begin(), entries.end(), ValueOrder());
        orderEquivalents(entries.data(), entries.data() + entries.size());
        std::sort(values.begin(), values.end(), fraction::greatestFirst);
        for (std::size_t i = 0; i < values.size(); ++i) {
            ASSERT_EQ(sortEntry(values[i]), entries[i]) << "at " << i << ": " << partsOf(values[i]);
        }
    }
}

}  // namespace
