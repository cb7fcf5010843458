#include <gtest/gtest.h>

#include <iomanip>

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "FractionTestSupport.h"
#include "fraction/Fraction.h"

using fraction::Fraction;

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(FractionToChars, WritesLowestTermsWithAPositiveDenominator)
{
    struct Row {
        Fraction value;
        const char* text;
    };
    const std::vector<Row> rows = {{Fraction(6, -4), "-3/2"},
                                   {Fraction(-1, -2), "1/2"},
                                   {Fraction(0, -7), "0/1"},
                                   {Fraction(3), "3/1"},
                                   {invalidFraction(), "invalid"},
                                   {fromParts(kMin, 1), "-2147483648/1"},
                                   {fromParts(kMin, -1), "2147483648/1"},
                                   {fromParts(-1, kMin), "1/2147483648"},
                                   {fromParts(kMin, kMin), "1/1"},
                                   {fromParts(kMax, kMin), "-2147483647/2147483648"}};
    for (const auto& row : rows) {
        EXPECT_EQ(to_string(row.value), row.text) << partsOf(row.value);
    }
    std::array<char, 22> exact{};
    const std::to_chars_result fits =
        to_chars(exact.data(), exact.data() + exact.size(), fromParts(kMax, kMin));
    EXPECT_EQ(fits.ec, std::errc());
    EXPECT_EQ(fits.ptr, exact.data() + exact.size());
    const std::to_chars_result tooSmall =
        to_chars(exact.data(), exact.data() + exact.size() - 1, fromParts(kMax, kMin));
    EXPECT_EQ(tooSmall.ec, std::errc::value_too_large);
    EXPECT_EQ(to_chars(exact.data(), exact.data() + 6, invalidFraction()).ec,
              std::errc::value_too_large);
}

TEST(FractionFromChars, TakesTheCompactFormOrSaysWhyNot)
{
    struct Row {
        std::string_view text;
        std::errc error;
        std::size_t used;
        const char* parts;
    };
    const std::vector<Row> rows = {
        {"2/4", std::errc(), 3, "2/4"},
        {"-3", std::errc(), 2, "-3/1"},
        {"1/-2", std::errc(), 4, "1/-2"},
        {"7/x", std::errc(), 1, "7/1"},
        {"5 / 6", std::errc(), 1, "5/1"},
        {"invalid!", std::errc(), 7, "invalid"},
        {"2147483648/3", std::errc(), 12, "-2147483648/-3"},
        {"-1/2147483648", std::errc(), 13, "1/-2147483648"},
        {"4294967296/2", std::errc(), 12, "-2147483648/-1"},
        {"-9223372036854775808/4294967296", std::errc(), 31, "-2147483648/1"},
        {"123456789/123456789", std::errc(), 19, "1/1"},
        {"2147483649/2", std::errc::result_out_of_range, 12, "unchanged"},
        {"99999999999999999999/1", std::errc::result_out_of_range, 22, "unchanged"},
        {"36893488147419103232/18446744073709551616", std::errc(), 41, "2/1"},
        {"-36893488147419103232/18446744073709551616", std::errc(), 42, "-2/1"},
        {"18446744073709551616/36893488147419103232", std::errc(), 41, "1/2"},
        {"00000000000000000000000000000000000000007/3", std::errc(), 43, "7/3"},
        {"0000000000000000000000000000000000000000012", std::errc(), 43, "12/1"},
        {"18446744073709551616", std::errc::result_out_of_range, 20, "unchanged"},
        {"-99999999999999999999999", std::errc::result_out_of_range, 24, "unchanged"},
        {"36893488147419103232/", std::errc::result_out_of_range, 20, "unchanged"},
        {"99999999999999999999/99999999999999999999", std::errc(), 41, "1/1"},
        {"39614081257132168796771975168/18446744073709551616", std::errc(), 50, "-2147483648/-1"},
        {"-18446744073709551616/39614081257132168796771975168", std::errc(), 51, "1/-2147483648"},
        {"39614081257132168796771975168/9223372036854775808", std::errc::result_out_of_range, 49,
         "unchanged"},
        {"184467440737095516150/1844674407370955161500", std::errc(), 44, "1/10"},
        {"100000000000000000000000000000/3", std::errc::result_out_of_range, 32, "unchanged"},
        {"0/100000000000000000000000000000", std::errc(), 32, "0/1"},
        {"00000000000000000000000000000001/000000000000000000000000000",
         std::errc::invalid_argument, 0, "unchanged"},
        {"1/0", std::errc::invalid_argument, 0, "unchanged"},
        {"+1/2", std::errc::invalid_argument, 0, "unchanged"},
        {"-", std::errc::invalid_argument, 0, "unchanged"},
        {"--1", std::errc::invalid_argument, 0, "unchanged"},
        {" 1/2", std::errc::invalid_argument, 0, "unchanged"},
        {"", std::errc::invalid_argument, 0, "unchanged"},
    };
    for (const auto& row : rows) {
        Fraction value(9, 8);
        const std::from_chars_result result =
            from_chars(row.text.data(), row.text.data() + row.text.size(), value);
        EXPECT_EQ(result.ec, row.error) << row.text;
        EXPECT_EQ(result.ptr, row.text.data() + row.used) << row.text;
        EXPECT_EQ(partsOf(value), row.error == std::errc() ? row.parts : "9/8") << row.text;
    }
}

// The parts as written, in both forms: what a fraction file stores, so
// 1/0 and 2/4 stay as they are and a part past 32 bits is refused.
TEST(RecordFromChars, TakesThePartsAsWrittenInEitherForm)
{
    using fraction::FractionRecord;
    using fraction::PartsText;
    constexpr PartsText kCompact = PartsText::compact;
    constexpr PartsText kSpaced = PartsText::spaced;
    struct Row {
        std::string_view text;
        PartsText form;
        std::errc error;
        std::size_t used;
        FractionRecord parts;
    };
    const FractionRecord unchanged{9, 8};
    const std::vector<Row> rows = {
        {"1/0", kCompact, std::errc(), 3, {1, 0}},
        {"2/4", kCompact, std::errc(), 3, {2, 4}},
        {"-0/-7", kCompact, std::errc(), 5, {0, -7}},
        {"-3", kCompact, std::errc(), 2, {-3, 1}},
        {"7/x", kCompact, std::errc(), 1, {7, 1}},
        {"5 / 6", kCompact, std::errc(), 1, {5, 1}},
        {"2147483647/-2147483648", kCompact, std::errc(), 22, {kMax, kMin}},
        {"0000000000000000000012/1", kCompact, std::errc(), 24, {12, 1}},
        {"invalid", kCompact, std::errc(), 7, fraction::INVALID_RECORD},
        {"123456789/123456789", kCompact, std::errc(), 19, {1, 1}},
        {"2147483648/3", kCompact, std::errc::result_out_of_range, 12, unchanged},
        {"1/-2147483649", kCompact, std::errc::result_out_of_range, 13, unchanged},
        {"99999999999999999999/1", kCompact, std::errc::result_out_of_range, 22, unchanged},
        {"+1/2", kCompact, std::errc::invalid_argument, 0, unchanged},
        {"- 1/2", kCompact, std::errc::invalid_argument, 0, unchanged},
        {"Invalid Fraction!!", kCompact, std::errc::invalid_argument, 0, unchanged},
        {"", kCompact, std::errc::invalid_argument, 0, unchanged},
        {"- 3 / 4", kSpaced, std::errc(), 7, {-3, 4}},
        {"+3\t/\r-\t4 ", kSpaced, std::errc(), 8, {3, -4}},
        {"1/0", kSpaced, std::errc(), 3, {1, 0}},
        {"-2147483648 / - 2147483648", kSpaced, std::errc(), 26, {kMin, kMin}},
        {"Invalid Fraction!! ", kSpaced, std::errc(), 18, fraction::INVALID_RECORD},
        {"invalid", kSpaced, std::errc(), 7, fraction::INVALID_RECORD},
        {"123456789 / 123456789", kSpaced, std::errc(), 21, {1, 1}},
        {"1/2/3", kSpaced, std::errc(), 3, {1, 2}},
        {"2147483648 / 1", kSpaced, std::errc::result_out_of_range, 14, unchanged},
        {"1/-99999999999", kSpaced, std::errc::result_out_of_range, 14, unchanged},
        {"3", kSpaced, std::errc::invalid_argument, 0, unchanged},
        {"3 /", kSpaced, std::errc::invalid_argument, 0, unchanged},
        {" 1/2", kSpaced, std::errc::invalid_argument, 0, unchanged},
        {"--1/2", kSpaced, std::errc::invalid_argument, 0, unchanged},
        {"1/+-2", kSpaced, std::errc::invalid_argument, 0, unchanged},
        {"1\v/2", kSpaced, std::errc::invalid_argument, 0, unchanged},
    };
    for (const auto& row : rows) {
        FractionRecord parts = unchanged;
        const std::from_chars_result result =
            from_chars(row.text.data(), row.text.data() + row.text.size(), parts, row.form);
        const bool spaced = row.form == kSpaced;
        EXPECT_EQ(result.ec, row.error) << row.text << (spaced ? " (spaced)" : "");
        EXPECT_EQ(result.ptr, row.text.data() + row.used) << row.text;
        EXPECT_EQ(parts.numerator, row.parts.numerator) << row.text;
        EXPECT_EQ(parts.denominator, row.parts.denominator) << row.text;
    }
}

// Every fraction, of every width and representation and invalid ones,
// reads back equal from what to_chars writes.
TEST(FractionText, RoundTripsEveryValue)
{
    std::mt19937_64 random(31);
    std::vector<Fraction> values = {
        fromParts(kMin, 1),    fromParts(kMin, -1),   fromParts(1, kMin),
        fromParts(-1, kMin),   fromParts(kMin, kMin), fromParts(kMax, kMin),
        fromParts(kMin, kMax), fromParts(0, kMin),    invalidFraction()};
    while (values.size() < 20000) {
        values.push_back(randomRepresentation(random));
    }
    for (const Fraction& value : values) {
        const std::string text = to_string(value);
        Fraction back(5, 7);
        const std::from_chars_result result =
            from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(result.ec, std::errc()) << text;
        ASSERT_EQ(result.ptr, text.data() + text.size()) << text;
        ASSERT_TRUE(back == value) << partsOf(value) << " came back as " << partsOf(back);
    }
}

TEST(FractionStreamInput, ReadsWordsAndFailsOnBadOnes)
{
    std::istringstream in("3/4 -5 invalid 1/0");
    Fraction a;
    Fraction b;
    Fraction c(1, 2);
    in >> a >> b >> c;
    EXPECT_EQ(partsOf(a), "3/4");
    EXPECT_EQ(partsOf(b), "-5/1");
    EXPECT_FALSE(c.isValid());
    Fraction d(1, 3);
    EXPECT_FALSE(in >> d);
    EXPECT_EQ(partsOf(d), "1/3") << "a failed read leaves the fraction as it was";
    std::istringstream partly("3/4x");
    EXPECT_FALSE(partly >> d) << "a word must be a compact form whole";
}

TEST(FractionStreamInput, ReadsWhatOutputWrites)
{
    const std::vector<Fraction> values = {
        Fraction(1, 2),         Fraction(-1, 2),        Fraction(3, -4),
        Fraction(-5, -6),       Fraction(0, 7),         Fraction(1, 0),
        Fraction(INT32_MIN, 1), Fraction(1, INT32_MIN), Fraction(INT32_MAX, 3)};
    std::ostringstream out;
    for (const Fraction& value : values) {
        out << value;
    }
    std::istringstream in(out.str());
    for (const Fraction& value : values) {
        Fraction back(9, 8);
        ASSERT_TRUE(in >> back) << "after " << partsOf(value) << " in \"" << out.str() << '"';
        EXPECT_TRUE(back == value) << partsOf(value) << " came back as " << partsOf(back);
    }
    Fraction last(9, 8);
    EXPECT_FALSE(in >> last);
}

TEST(FractionStreamInput, TakesOrRefusesEachText)
{
    struct Row {
        std::string text;
        bool taken;
        std::string parts;
    };
    const std::vector<Row> rows = {
        {"- 1 / 2 ", true, "-1/2"},
        {"  -3 /\t4\n", true, "-3/4"},
        {"1/ -2", true, "1/-2"},
        {"Invalid Fraction!! ", true, "invalid"},
        {"36893488147419103232/18446744073709551616", true, "2/1"},
        {"7", true, "7/1"},
        {"- 1 / ", false, ""},
        {"Invalid Fraction", false, ""},
        {"- - 1 / 2", false, ""},
        {"1 / 2x", false, ""},
        {"invalidity", false, ""},
        {"+1/2", false, ""},
    };
    for (const Row& row : rows) {
        std::istringstream in(row.text);
        Fraction value(9, 8);
        in >> value;
        EXPECT_EQ(!in.fail(), row.taken) << row.text;
        EXPECT_EQ(partsOf(value), row.taken ? row.parts : "9/8") << row.text;
    }
}

TEST(FractionStreamOutput, PadsToTheWidthAndResetsIt)
{
    std::ostringstream out;
    out << '[' << std::setw(8) << Fraction(1, 2) << ']' << std::setw(3) << 7 << '|';
    out << std::left << std::setfill('*') << std::setw(10) << Fraction(-1, 2) << '|';
    out << std::setw(2) << Fraction(3, 4) << Fraction(1, 4) << '|';
    EXPECT_EQ(out.str(), "[  1 / 2 ]  7|- 1 / 2 **|3 / 4 1 / 4 |");
    EXPECT_EQ(out.width(), 0);
}

}  // namespace
