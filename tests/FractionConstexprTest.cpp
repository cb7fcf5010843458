#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "FractionTestSupport.h"
#include "fraction/Fraction.h"

using fraction::Fraction;

namespace {

// Each result is worked out by the compiler; a wrong one stops the build.
// The same expressions are then worked out at run time below, from parts
// the compiler cannot see, and must come out alike.
struct Case {
    Fraction result;
    std::int32_t numerator;
    std::int32_t denominator;
    bool valid;
};

constexpr std::array<Case, 9> kCases = {{
    {Fraction(1, 2) + Fraction(1, 3), 5, 6, true},
    {Fraction(1, 2) - Fraction(1, 2), 0, 1, true},
    {Fraction(6, 4) * Fraction(2, -3), 1, -1, true},
    {Fraction(3, 4) / Fraction(-3, 8), 2, -1, true},
    {Fraction(1, 2) / Fraction(0, 1), 0, 1, false},
    {Fraction(20000, 1), 20000, 1, true},
    {pow(Fraction(2, 3), -3), 27, 8, true},
    {abs(Fraction(-6, 4)), 3, 2, true},
    {Fraction(2147483647) + 1, INT32_MIN, -1, true},
}};

static_assert(Fraction(1, 2) + Fraction(1, 3) == Fraction(5, 6));
static_assert(Fraction(1, 3) < Fraction(1, 2));
static_assert(static_cast<double>(Fraction(1, 4)) == 0.25);
static_assert(!(Fraction(1, 0)).isValid());
static_assert(Fraction::fromRecord({3, 4}).toRecord().numerator == 3);
static_assert([] {
    Fraction value;
    const bool taken = value.setValue(-6, 4);
    value.reduce();
    return taken && value.numeratorPart() == -3 && value.denominatorPart() == 2;
}());

TEST(FractionConstexpr, CompileTimeResultsMatchRunTimeOnes)
{
    // Operands read from records, so that nothing here is folded.
    const auto at = [](std::int32_t numerator, std::int32_t denominator) {
        return fromParts(numerator, denominator);
    };
    const std::vector<Fraction> runTime = {
        at(1, 2) + at(1, 3),  at(1, 2) - at(1, 2), at(6, 4) * at(2, -3),
        at(3, 4) / at(-3, 8), at(1, 2) / at(0, 1), Fraction(at(20000, 1).numeratorPart(), 1),
        pow(at(2, 3), -3),    abs(at(-6, 4)),      at(2147483647, 1) + 1,
    };
    ASSERT_EQ(runTime.size(), kCases.size());
    for (std::size_t i = 0; i < runTime.size(); ++i) {
        SCOPED_TRACE(i);
        const Case& expected = kCases[i];
        ASSERT_EQ(runTime[i].isValid(), expected.result.isValid());
        EXPECT_EQ(expected.result.isValid(), expected.valid);
        if (expected.valid) {
            EXPECT_EQ(runTime[i].numeratorPart(), expected.result.numeratorPart());
            EXPECT_EQ(runTime[i].denominatorPart(), expected.result.denominatorPart());
            EXPECT_EQ(expected.result.numeratorPart(), expected.numerator);
            EXPECT_EQ(expected.result.denominatorPart(), expected.denominator);
        }
    }
}

}  // namespace
