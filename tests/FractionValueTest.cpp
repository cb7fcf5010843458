#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include "FractionTestSupport.h"
#include "fraction/Fraction.h"

using fraction::Fraction;
using fraction::gcd;

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(FractionConstruction, DefaultHoldsDefinedPartsAndIsInvalid)
{
    const Fraction fraction;
    EXPECT_FALSE(fraction.isValid());
    EXPECT_EQ(fraction.numeratorPart(), 0);
    EXPECT_EQ(fraction.denominatorPart(), 1);
}

TEST(FractionConstruction, CopyFromInvalidSourceKeepsPartsButAssignmentCopiesThem)
{
    Fraction source;
    source.setValue(7, 9);
    source.setValue(1, 0);

    Fraction viaCopyFrom;
    viaCopyFrom.setValue(3, 5);
    viaCopyFrom.copyFrom(source);
    EXPECT_FALSE(viaCopyFrom.isValid());
    EXPECT_EQ(viaCopyFrom.numeratorPart(), 3);
    EXPECT_EQ(viaCopyFrom.denominatorPart(), 5);

    Fraction viaAssignment;
    viaAssignment.setValue(3, 5);
    viaAssignment = source;
    EXPECT_FALSE(viaAssignment.isValid());
    EXPECT_EQ(viaAssignment.numeratorPart(), 7);
    EXPECT_EQ(viaAssignment.denominatorPart(), 9);
}

struct SetValueRow {
    std::int32_t numerator;
    std::int32_t denominator;
    bool accepted;
};

TEST(FractionSetValue, AcceptsExactlyTheBoundedQuotients)
{
    const std::vector<SetValueRow> rows = {
        {1245, -1230, true}, {10000, 1, true},      {-10000, 1, true},    {10001, 1, false},
        {10001, -1, false},  {-10001, 1, false},    {1234, 0, false},     {0, 0, false},
        {100001, 1, false},  {kMax, kMax, true},    {kMin, kMin, true},   {kMin, 1, false},
        {1, kMin, true},     {kMax, 214748, false}, {kMax, 214749, true}, {0, kMin, true},
    };
    for (const auto& row : rows) {
        Fraction fraction;
        fraction.setValue(3, 4);
        EXPECT_EQ(fraction.setValue(row.numerator, row.denominator), row.accepted)
            << row.numerator << "/" << row.denominator;
        EXPECT_EQ(fraction.isValid(), row.accepted);
        if (row.accepted) {
            EXPECT_EQ(partsOf(fraction),
                      std::to_string(row.numerator) + "/" + std::to_string(row.denominator));
        } else {
            EXPECT_EQ(fraction.numeratorPart(), 3);
            EXPECT_EQ(fraction.denominatorPart(), 4);
        }
    }
}

TEST(FractionPredicates, SignAndZeroFollowBothParts)
{
    EXPECT_TRUE(fromParts(1, 2).isPositive());
    EXPECT_TRUE(fromParts(-1, -2).isPositive());
    EXPECT_TRUE(fromParts(kMin, -1).isPositive());
    EXPECT_FALSE(fromParts(1245, -1230).isPositive());
    EXPECT_FALSE(fromParts(-1, 2).isPositive());
    EXPECT_FALSE(fromParts(0, 5).isPositive());
    EXPECT_FALSE(invalidFraction().isPositive());

    EXPECT_TRUE(fromParts(0, -5).isZero());
    EXPECT_FALSE(fromParts(1, 5).isZero());
    Fraction zeroParts;
    EXPECT_FALSE(zeroParts.isZero()) << "a default fraction holds 0/1 but is not valid";
}

TEST(FractionPredicates, ToDoubleGivesTheQuotientOrOneAboveTheBound)
{
    EXPECT_DOUBLE_EQ(fromParts(1, -4).toDouble(), -0.25);
    EXPECT_DOUBLE_EQ(fromParts(kMin, 1).toDouble(), -2147483648.0);
    EXPECT_DOUBLE_EQ(invalidFraction().toDouble(), 10001.0);
}

TEST(FractionPredicates, ExplicitDoubleGivesTheQuotientOrNaN)
{
    EXPECT_DOUBLE_EQ(static_cast<double>(fromParts(-3, 4)), -0.75);
    EXPECT_DOUBLE_EQ(static_cast<double>(fromParts(kMin, -1)), 2147483648.0);
    EXPECT_TRUE(std::isnan(static_cast<double>(invalidFraction())));
    EXPECT_TRUE(std::isnan(static_cast<double>(Fraction())));
}

TEST(FractionLowestTerms, NumeratorAndDenominatorHaveThePositiveDenominatorForm)
{
    struct Row {
        Fraction value;
        std::int32_t numerator;
        std::int32_t denominator;
    };
    const std::vector<Row> rows = {
        {fromParts(6, 4), 3, 2},
        {fromParts(6, -4), -3, 2},
        {fromParts(-6, -4), 3, 2},
        {fromParts(0, -7), 0, 1},
        {fromParts(kMin, 1), kMin, 1},
        {fromParts(kMin, -2), 1073741824, 1},
        {fromParts(kMin, kMin), 1, 1},
        {fromParts(kMax, -1), -kMax, 1},
        {fromParts(-1, kMax), -1, kMax},
        // No 32-bit form with a positive denominator: given as an invalid one.
        {fromParts(kMin, -1), 0, 1},
        {fromParts(kMin, -3), 0, 1},
        {fromParts(1, kMin), 0, 1},
        {fromParts(-3, kMin), 0, 1},
        {invalidFraction(), 0, 1},
        {Fraction(), 0, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(textOf(row.value));
        EXPECT_EQ(row.value.numerator(), row.numerator);
        EXPECT_EQ(row.value.denominator(), row.denominator);
    }
}

TEST(FractionGcd, KnownValues)
{
    EXPECT_EQ(gcd(12, 94), 2);
    EXPECT_EQ(gcd(12, 84), 12);
    EXPECT_EQ(gcd(14235, 1235), 65);
    EXPECT_EQ(gcd(-2345434, 234556), 14);
    EXPECT_EQ(gcd(1234, 0), 1);
    EXPECT_EQ(gcd(0, 1234), 1);
    EXPECT_EQ(gcd(0, 0), 1);
    EXPECT_EQ(gcd(kMin, 0), 1);
    EXPECT_EQ(gcd(kMin, 6), 2);
    EXPECT_EQ(gcd(kMin, kMax), 1);
    EXPECT_EQ(gcd(kMin, 1 << 30), 1 << 30);
    EXPECT_EQ(gcd(kMax, kMax), kMax);
}

TEST(FractionGcd, MostNegativePairGivesACommonDivisorThatFits)
{
    const std::int32_t divisor = gcd(kMin, kMin);
    EXPECT_GE(divisor, 1);
    EXPECT_EQ(kMin % divisor, 0);
}

TEST(FractionGcd, AgreesWithTheStandardGcdOnRandomPairs)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<std::int32_t> part(kMin, kMax);
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t a = part(random) >> (i % 31);
        const std::int32_t b = part(random) >> (i % 29);
        if (a == 0 || b == 0 || (a == kMin && b == kMin)) {
            continue;
        }
        EXPECT_EQ(gcd(a, b), std::gcd(std::int64_t{a}, std::int64_t{b})) << a << ", " << b;
    }
}

// Random pairs rarely share more than a small factor; these share large
// ones, powers of two among them, where the shifts and the divisions of the
// algorithm meet.
TEST(FractionGcd, AgreesWithTheStandardGcdOnPairsWithLargeCommonFactors)
{
    std::mt19937 random(54321);
    for (int i = 0; i < 20000; ++i) {
        const int factorBits = 1 + (i % 30);
        const auto widest = static_cast<std::int32_t>((std::int64_t{1} << factorBits) - 1);
        const std::int32_t factor =
            i % 4 == 0 ? std::int32_t{1} << (factorBits - 1)
                       : std::uniform_int_distribution<std::int32_t>(1, widest)(random);
        const std::int32_t room = kMax / factor;
        std::uniform_int_distribution<std::int32_t> multiple(-room, room);
        const std::int32_t a = factor * multiple(random);
        const std::int32_t b = factor * multiple(random);
        if (a == 0 || b == 0) {
            continue;
        }
        EXPECT_EQ(gcd(a, b), std::gcd(std::int64_t{a}, std::int64_t{b})) << a << ", " << b;
    }
    EXPECT_EQ(gcd(1 << 30, 3 << 20), 1 << 20);
    EXPECT_EQ(gcd(kMin, 3 << 29), 1 << 29);
    EXPECT_EQ(gcd(kMax - 1, (kMax - 1) / 2), (kMax - 1) / 2);
}

TEST(FractionReduce, KeepsEachSignOnItsPart)
{
    struct ReduceRow {
        std::int32_t numerator, denominator;
        const char* reduced;
    };
    const std::vector<ReduceRow> rows = {
        {14235, 1235, "219/19"},
        {949, 14235, "1/15"},
        {6, -4, "3/-2"},
        {-6, -4, "-3/-2"},
        {0, 5, "0/5"},
        {kMin, kMin, "-1/-1"},
        {kMin, 2, "-1073741824/1"},
        {kMin, 3, "-2147483648/3"},
        {4, kMin, "1/-536870912"},
        {kMax, kMax, "1/1"},
    };
    for (const auto& row : rows) {
        Fraction fraction = fromParts(row.numerator, row.denominator);
        fraction.reduce();
        EXPECT_EQ(partsOf(fraction), row.reduced);
    }
}

TEST(FractionEqual, ComparesReducedValuesWithSignsAsStored)
{
    EXPECT_TRUE(fromParts(2, 4).equal(fromParts(1, 2)));
    EXPECT_TRUE(fromParts(14235, 1235).equal(fromParts(219, 19)));
    EXPECT_TRUE(fromParts(0, 1).equal(fromParts(0, -100)));
    EXPECT_FALSE(fromParts(1, -2).equal(fromParts(-1, 2)));
    EXPECT_FALSE(fromParts(-1, -2).equal(fromParts(1, 2)));
    EXPECT_FALSE(fromParts(1, 2).equal(fromParts(1, 3)));

    const Fraction invalid = invalidFraction();
    EXPECT_TRUE(invalid.equal(invalid));
    EXPECT_FALSE(invalid.equal(invalidFraction()));
    EXPECT_FALSE(fromParts(0, 1).equal(invalid));
}

TEST(FractionEqual, LeavesBothOperandsUnreduced)
{
    const Fraction left = fromParts(2, 4);
    const Fraction right = fromParts(3, 6);
    EXPECT_TRUE(left.equal(right));
    EXPECT_EQ(partsOf(left), "2/4");
    EXPECT_EQ(partsOf(right), "3/6");
}

TEST(FractionPrint, WritesTheTextForm)
{
    EXPECT_EQ(textOf(fromParts(1245, -1230)), "- 1245 / 1230 ");
    EXPECT_EQ(textOf(fromParts(-42377, 29457)), "- 42377 / 29457 ");
    EXPECT_EQ(textOf(fromParts(-1, -2)), "1 / 2 ");
    EXPECT_EQ(textOf(fromParts(0, -5)), "0 / 5 ");
    EXPECT_EQ(textOf(fromParts(kMin, 1)), "- 2147483648 / 1 ");
    EXPECT_EQ(textOf(fromParts(kMin, kMin)), "2147483648 / 2147483648 ");
    EXPECT_EQ(textOf(invalidFraction()), "Invalid Fraction!! ");
}

}  // namespace
