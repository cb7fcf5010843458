#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ExactInteger.h"
#include "FractionTestSupport.h"
#include "fraction/Fraction.h"

using fraction::Fraction;

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// The order the operators promise, worked out in 128 bits: -1, 0 or 1,
// every invalid fraction after every valid one.
int modelOrder(const Fraction& a, const Fraction& b)
{
    if (!a.isValid() || !b.isValid()) {
        return static_cast<int>(!a.isValid()) - static_cast<int>(!b.isValid());
    }
    const auto positive = [](const Fraction& f, bool numerator) {
        const std::int64_t sign = f.denominatorPart() < 0 ? -1 : 1;
        return ExactInteger(sign * (numerator ? f.numeratorPart() : f.denominatorPart()));
    };
    const ExactInteger left = positive(a, true) * positive(b, false);
    const ExactInteger right = positive(b, true) * positive(a, false);
    return left < right ? -1 : (right < left ? 1 : 0);
}

// As modelOrder, against an integer.
int modelOrder(const Fraction& a, std::int64_t k)
{
    if (!a.isValid()) {
        return 1;
    }
    const std::int64_t sign = a.denominatorPart() < 0 ? -1 : 1;
    const ExactInteger left(sign * a.numeratorPart());
    const ExactInteger right = ExactInteger(k) * ExactInteger(sign * a.denominatorPart());
    return left < right ? -1 : (right < left ? 1 : 0);
}

std::vector<Fraction> sampleValues()
{
    std::mt19937_64 random(1207);
    std::vector<Fraction> values = {
        Fraction(1, -2),       Fraction(-1, 2),       Fraction(2, -4),    fromParts(-2, 4),
        fromParts(kMin, 1),    fromParts(kMin, -1),   fromParts(1, kMin), fromParts(-1, kMin),
        fromParts(kMin, kMin), fromParts(kMax, kMin), fromParts(0, kMin), fromParts(0, 1),
        invalidFraction(),     Fraction(7, 0)};
    while (values.size() < 160) {
        values.push_back(randomRepresentation(random));
    }
    return values;
}

TEST(FractionComparison, EqualValuesAreEqualInAnyRepresentation)
{
    EXPECT_TRUE(Fraction(1, -2) == Fraction(-1, 2));
    EXPECT_TRUE(Fraction(-1, 2) == Fraction(2, -4));
    EXPECT_TRUE(fromParts(kMin, kMin) == Fraction(1, 1));
    EXPECT_TRUE(fromParts(0, kMin) == Fraction(0, 3));
    EXPECT_TRUE(invalidFraction() == fromParts(5, 0)) << "every invalid fraction is alike";
    EXPECT_FALSE(invalidFraction() == Fraction(0, 1));
    EXPECT_TRUE(invalidFraction() != Fraction(0, 1));
    EXPECT_FALSE(Fraction(1, 2) != Fraction(2, 4));
    EXPECT_FALSE(Fraction(1, -2).equal(Fraction(-1, 2)))
        << "equal() keeps comparing signs as stored";
}

// ==, < and their kin agree with the model on every pair; == is then an
// equivalence and the order a total preorder, which the triples check
// directly too.
TEST(FractionComparison, OperatorsFollowTheExactOrderAndItsLaws)
{
    const std::vector<Fraction> values = sampleValues();
    const std::hash<Fraction> hashOf;
    for (const Fraction& a : values) {
        for (const Fraction& b : values) {
            const int order = modelOrder(a, b);
            ASSERT_EQ(a == b, order == 0) << partsOf(a) << " == " << partsOf(b);
            ASSERT_EQ(a != b, order != 0) << partsOf(a) << " != " << partsOf(b);
            ASSERT_EQ(a < b, order < 0) << partsOf(a) << " < " << partsOf(b);
            ASSERT_EQ(a > b, order > 0) << partsOf(a) << " > " << partsOf(b);
            ASSERT_EQ(a <= b, order <= 0) << partsOf(a) << " <= " << partsOf(b);
            ASSERT_EQ(a >= b, order >= 0) << partsOf(a) << " >= " << partsOf(b);
#if defined(FRACTION_HAS_THREE_WAY_COMPARISON)
            ASSERT_EQ(a <=> b, order <=> 0) << partsOf(a) << " <=> " << partsOf(b);
#endif
            if (a == b) {
                ASSERT_EQ(hashOf(a), hashOf(b)) << partsOf(a) << " and " << partsOf(b);
            }
            if (a.equal(b)) {
                ASSERT_TRUE(a == b) << "equal() holds between fewer pairs";
            }
        }
    }
    const std::size_t few = 100;
    for (std::size_t i = 0; i < few; ++i) {
        const Fraction& a = values[i];
        // cppcheck-suppress duplicateExpression ; reflexivity is the point
        ASSERT_TRUE(a == a) << partsOf(a);
        for (std::size_t j = 0; j < few; ++j) {
            const Fraction& b = values[j];
            // cppcheck-suppress knownConditionTrueFalse ; symmetry is the point
            ASSERT_EQ(a == b, b == a) << partsOf(a) << " " << partsOf(b);
            for (std::size_t k = 0; k < few; ++k) {
                const Fraction& c = values[k];
                if (a == b && b == c) {
                    ASSERT_TRUE(a == c) << partsOf(a) << " " << partsOf(b) << " " << partsOf(c);
                }
                if (a < b && b < c) {
                    ASSERT_TRUE(a < c) << partsOf(a) << " " << partsOf(b) << " " << partsOf(c);
                }
            }
        }
    }
}

// Against integers of several types on either side, the extremes of 64
// bits included, where a product with a part would not fit.
TEST(FractionComparison, AgainstIntegersExactlyOnEitherSide)
{
    const std::int64_t beyondMax = std::int64_t{kMax} + 1;
    const std::vector<std::int64_t> integers = {
        0,          1,         -1,           2,         -2,       kMax, kMin, beyondMax,
        kMin - 1LL, 1LL << 40, -(1LL << 40), INT64_MAX, INT64_MIN};
    for (const Fraction& a : sampleValues()) {
        for (const std::int64_t k : integers) {
            const int order = modelOrder(a, k);
            ASSERT_EQ(a == k, order == 0) << partsOf(a) << " == " << k;
            ASSERT_EQ(k == a, order == 0) << k << " == " << partsOf(a);
            ASSERT_EQ(a != k, order != 0) << partsOf(a) << " != " << k;
            ASSERT_EQ(a < k, order < 0) << partsOf(a) << " < " << k;
            ASSERT_EQ(k<a, order> 0) << k << " < " << partsOf(a);
            ASSERT_EQ(a >= k, order >= 0) << partsOf(a) << " >= " << k;
            ASSERT_EQ(k >= a, order <= 0) << k << " >= " << partsOf(a);
            if (k == static_cast<std::int32_t>(k)) {
                const auto narrow = static_cast<std::int32_t>(k);
                ASSERT_EQ(a == narrow, order == 0) << partsOf(a) << " == " << k;
                ASSERT_EQ(narrow > a, order < 0) << k << " > " << partsOf(a);
            }
        }
        ASSERT_EQ(a < UINT64_MAX, a.isValid()) << partsOf(a);
        ASSERT_EQ(a > 0U, a.isPositive() || !a.isValid()) << partsOf(a);
    }
}

// greatestFirst: the greater value first, invalid ones last, equal values
// by denominator and then numerator as stored; equivalent only when alike.
TEST(FractionGreatestFirst, OrdersByValueThenParts)
{
    const std::vector<Fraction> values = sampleValues();
    for (const Fraction& a : values) {
        for (const Fraction& b : values) {
            const int order = modelOrder(a, b);
            bool expected = a.isValid() && (order > 0 || (order < 0 && !b.isValid()));
            if (order == 0 && a.isValid()) {
                expected = a.denominatorPart() != b.denominatorPart()
                               ? a.denominatorPart() < b.denominatorPart()
                               : a.numeratorPart() < b.numeratorPart();
            }
            ASSERT_EQ(fraction::greatestFirst(a, b), expected) << partsOf(a) << " " << partsOf(b);
        }
    }
    std::vector<Fraction> sorted = {invalidFraction(), Fraction(2, 2),  Fraction(-1, 2),
                                    Fraction(1, 1),    Fraction(0, -3), Fraction(-1, -1),
                                    Fraction(1, -2),   Fraction(3, 1),  Fraction(0, 1)};
    std::sort(sorted.begin(), sorted.end(), fraction::greatestFirst);
    std::string listed;
    for (const Fraction& value : sorted) {
        listed += partsOf(value) + " ";
    }
    EXPECT_EQ(listed, "3/1 -1/-1 1/1 2/2 0/-3 0/1 1/-2 -1/2 invalid ");
}

}  // namespace
