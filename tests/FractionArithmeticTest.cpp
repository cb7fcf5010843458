#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "ExactInteger.h"
#include "FractionTestSupport.h"
#include "fraction/Fraction.h"

using fraction::Fraction;

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

using Wide = ExactInteger;

using Operation = void (Fraction::*)(const Fraction&);

struct OperationRow {
    Operation operation;
    const char* name;
    Fraction receiver;
    Fraction operand;
    const char* result;
};

std::string apply(const OperationRow& row)
{
    Fraction receiver = row.receiver;
    (receiver.*row.operation)(row.operand);
    return partsOf(receiver);
}

void expectResults(const std::vector<OperationRow>& rows)
{
    for (const auto& row : rows) {
        EXPECT_EQ(apply(row), row.result)
            << partsOf(row.receiver) << " " << row.name << " " << partsOf(row.operand);
    }
}

constexpr Operation kAdd = &Fraction::add;
constexpr Operation kSubtract = &Fraction::subtract;
constexpr Operation kMultiply = &Fraction::multiply;
constexpr Operation kDivide = &Fraction::divide;

TEST(FractionArithmetic, KnownResultsInLowestTermsWithSignsWhereTheyFall)
{
    expectResults({
        {kMultiply, "*", fromParts(1, 2), fromParts(3, 4), "3/8"},
        {kMultiply, "*", fromParts(2, 18), fromParts(3, 4), "1/12"},
        {kMultiply, "*", fromParts(0, 7), fromParts(3, 4), "0/28"},
        {kDivide, "/", fromParts(2, 18), fromParts(4, 3), "1/12"},
        {kDivide, "/", fromParts(1, 1), fromParts(1, 10000), "10000/1"},
        {kDivide, "/", fromParts(1, 1), fromParts(-1, 10000), "10000/-1"},
        {kAdd, "+", fromParts(123, 456), fromParts(789, 6543), "129397/331512"},
        {kAdd, "+", fromParts(10000, 1), fromParts(10000, 1), "20000/1"},
        {kSubtract, "-", fromParts(504, 3273), fromParts(43, 27), "-42377/29457"},
        {kSubtract, "-", fromParts(1, -2), fromParts(1, 3), "5/-6"},
        {kSubtract, "-", fromParts(1, 2), fromParts(1, -3), "-5/-6"},
        {kSubtract, "-", fromParts(-1, -2), fromParts(1, -3), "5/6"},
    });
}

// A sum's common factor is found from the denominators' one when both
// operands are in lowest terms; a zero over a denominator other than 1 is
// not, and must still give the sum in lowest terms.
TEST(FractionArithmetic, SumsWithAZeroOperandOverAnyDenominator)
{
    expectResults({
        {kAdd, "+", fromParts(0, 6), fromParts(1, 4), "1/4"},
        {kAdd, "+", fromParts(1, 4), fromParts(0, 6), "1/4"},
        {kAdd, "+", fromParts(0, -6), fromParts(3, 4), "-3/-4"},
        {kSubtract, "-", fromParts(0, 6), fromParts(1, 4), "-1/4"},
        {kSubtract, "-", fromParts(5, 12), fromParts(0, 10), "5/12"},
        {kAdd, "+", fromParts(0, 6), fromParts(0, 4), "0/24"},
        {kAdd, "+", fromParts(1, 6), fromParts(1, 10), "4/15"},
        {kAdd, "+", fromParts(1, 6), fromParts(1, 3), "1/2"},
        {kAdd, "+", fromParts(5, 64), fromParts(-3, 64), "1/32"},
    });
}

TEST(FractionArithmetic, ZeroResultKeepsItsDenominator)
{
    Fraction difference = fromParts(1, 2);
    difference.subtract(fromParts(1, 2));
    EXPECT_EQ(partsOf(difference), "0/4");
    EXPECT_TRUE(difference.isZero());
    EXPECT_TRUE(difference.equal(fromParts(0, 1)));
}

TEST(FractionArithmetic, DivisionByZeroOrByAReciprocalOutOfBoundIsInvalid)
{
    expectResults({
        {kDivide, "/", fromParts(1, 2), fromParts(0, 7), "invalid"},
        {kDivide, "/", fromParts(1, 2), fromParts(1, 10001), "invalid"},
        {kDivide, "/", fromParts(1, 2), fromParts(-1, 10001), "invalid"},
    });
}

TEST(FractionArithmetic, InvalidOperandOrReceiverGivesInvalidAndOperandNeverChanges)
{
    for (const Operation operation : {kAdd, kSubtract, kMultiply, kDivide}) {
        Fraction receiver = fromParts(1, 2);
        const Fraction invalid = invalidFraction();
        (receiver.*operation)(invalid);
        EXPECT_FALSE(receiver.isValid());

        Fraction invalidReceiver = invalidFraction();
        const Fraction operand = fromParts(6, 4);
        (invalidReceiver.*operation)(operand);
        EXPECT_FALSE(invalidReceiver.isValid());
        EXPECT_EQ(partsOf(operand), "6/4");

        Fraction validReceiver = fromParts(1, 3);
        (validReceiver.*operation)(operand);
        EXPECT_TRUE(validReceiver.isValid());
        EXPECT_EQ(partsOf(operand), "6/4") << "an operand is never reduced";
    }
}

TEST(FractionArithmetic, OperandMayBeTheReceiverItself)
{
    Fraction value = fromParts(6, 4);
    value.add(value);
    EXPECT_EQ(partsOf(value), "3/1");
    value = fromParts(6, 4);
    value.subtract(value);
    EXPECT_EQ(partsOf(value), "0/4");
    value = fromParts(6, 4);
    value.multiply(value);
    EXPECT_EQ(partsOf(value), "9/4");
    value = fromParts(6, 4);
    value.divide(value);
    EXPECT_EQ(partsOf(value), "1/1");
}

TEST(FractionArithmetic, IntegerProductsFitExactlyThe32BitRange)
{
    struct ProductRow {
        std::int32_t a, b;
        bool fits;
    };
    const std::vector<ProductRow> rows = {
        {46340, 46341, true}, {46341, 46341, false}, {65536, 32768, false}, {-65536, 32768, true},
        {kMax, 1, true},      {kMax, -1, true},      {kMin, 1, true},       {kMin, -1, false},
        {kMin, kMin, false},  {0, kMin, true},
    };
    for (const auto& row : rows) {
        Fraction product = fromParts(row.a, 1);
        product.multiply(fromParts(row.b, 1));
        ASSERT_EQ(product.isValid(), row.fits) << row.a << " * " << row.b;
        if (row.fits) {
            EXPECT_EQ(product.numeratorPart(), std::int64_t{row.a} * row.b);
            EXPECT_EQ(product.denominatorPart(), 1);
        }
    }
}

TEST(FractionCheckedMultiply, GivesTheProductOrOneAndInvalidatesOnOverflow)
{
    struct ProductRow {
        std::int32_t a, b, product;
        bool staysValid;
    };
    const std::vector<ProductRow> rows = {
        {46340, 46341, 2147441940, true},
        {46341, 46341, 1, false},
        {-65536, 32768, kMin, true},
        {65536, 32768, 1, false},
        {kMax, -1, -kMax, true},
        {kMin, 1, kMin, true},
        {kMin, -1, 1, false},
        {kMin, kMin, 1, false},
        {0, kMin, 0, true},
        {-7, -6, 42, true},
    };
    for (const auto& row : rows) {
        Fraction receiver = fromParts(3, 4);
        EXPECT_EQ(receiver.checkedMultiply(row.a, row.b), row.product) << row.a << " * " << row.b;
        EXPECT_EQ(receiver.isValid(), row.staysValid) << row.a << " * " << row.b;
        EXPECT_EQ(receiver.numeratorPart(), 3);
        EXPECT_EQ(receiver.denominatorPart(), 4);
    }
}

TEST(FractionCheckedMultiply, AnInvalidReceiverAnswersOneFromThenOn)
{
    Fraction receiver = invalidFraction();
    EXPECT_EQ(receiver.checkedMultiply(6, 7), 1);
    Fraction chain = fromParts(1, 2);
    EXPECT_EQ(chain.checkedMultiply(65536, 65536), 1);
    EXPECT_EQ(chain.checkedMultiply(2, 3), 1);
    EXPECT_FALSE(chain.isValid());
}

TEST(FractionArithmetic, ProductsAtThe32BitBoundaries)
{
    expectResults({
        {kMultiply, "*", fromParts(1, 46340), fromParts(1, 46341), "1/2147441940"},
        {kMultiply, "*", fromParts(1, 46341), fromParts(1, 46341), "invalid"},
        {kMultiply, "*", fromParts(kMax, 1), fromParts(1, 1), "2147483647/1"},
        {kMultiply, "*", fromParts(-65536, 1), fromParts(32768, 1), "-2147483648/1"},
        {kMultiply, "*", fromParts(65536, 1), fromParts(32768, 1), "invalid"},
        {kMultiply, "*", fromParts(kMin, 3), fromParts(3, 1), "-2147483648/1"},
        {kMultiply, "*", fromParts(kMin, 1), fromParts(-1, 1), "invalid"},
        {kMultiply, "*", fromParts(kMin, 1), fromParts(1, kMin), "-1/-1"},
        {kDivide, "/", fromParts(kMin, 1), fromParts(-1, 1), "-2147483648/-1"},
        {kDivide, "/", fromParts(kMin, 1), fromParts(2, 1), "-1073741824/1"},
    });
}

// Where the sum of the cross products leaves 32 bits the result is invalid,
// never a wrapped numerator.
TEST(FractionArithmetic, SumOutsideThe32BitRangeIsInvalid)
{
    expectResults({
        {kAdd, "+", fromParts(kMax - 1, 1), fromParts(1, 1), "2147483647/1"},
        {kAdd, "+", fromParts(kMax, 1), fromParts(1, 1), "invalid"},
        {kAdd, "+", fromParts(kMin, 1), fromParts(-1, 1), "invalid"},
        {kAdd, "+", fromParts(kMin + 1, 1), fromParts(-1, 1), "-2147483648/1"},
        {kAdd, "+", fromParts(kMin, 1), fromParts(kMin, 1), "invalid"},
        {kSubtract, "-", fromParts(kMin, 1), fromParts(1, 1), "invalid"},
        {kSubtract, "-", fromParts(kMax, 1), fromParts(-1, 1), "invalid"},
        {kAdd, "+", fromParts(1073741824, 3), fromParts(1073741824, 3), "invalid"},
    });
}

TEST(FractionArithmetic, MostNegativePartIsNegatedWithoutOverflow)
{
    expectResults({
        {kSubtract, "-", fromParts(1, 1), fromParts(kMin, 2), "1073741825/1"},
        {kSubtract, "-", fromParts(-1, 1), fromParts(kMin, 1), "2147483647/1"},
        {kSubtract, "-", fromParts(0, 1), fromParts(kMin, 1), "invalid"},
        {kSubtract, "-", fromParts(kMin, 1), fromParts(kMin, 1), "0/1"},
    });
}

TEST(FractionIsGreater, StrictOrderOfValues)
{
    EXPECT_TRUE(fromParts(3, 4).isGreater(fromParts(1, 2)));
    EXPECT_FALSE(fromParts(1, 2).isGreater(fromParts(3, 4)));
    EXPECT_FALSE(fromParts(1, 2).isGreater(fromParts(2, 4)));
    EXPECT_FALSE(fromParts(1, -2).isGreater(fromParts(-1, 2)));
    EXPECT_FALSE(fromParts(-1, 2).isGreater(fromParts(1, -2)));
    EXPECT_TRUE(fromParts(-1, -2).isGreater(fromParts(1, -2)));
    EXPECT_TRUE(fromParts(0, -3).isGreater(fromParts(-1, 3)));
    EXPECT_FALSE(fromParts(0, -3).isGreater(fromParts(0, 7)));
    EXPECT_FALSE(invalidFraction().isGreater(fromParts(-5, 1)));
    EXPECT_FALSE(fromParts(5, 1).isGreater(invalidFraction()));
}

// Differences of these pairs do not fit in 32 bits, in either direction; the
// order must still be answered.
TEST(FractionIsGreater, ExactWhereADifferenceWouldOverflow)
{
    const Fraction justAboveOne = fromParts(kMax, kMax - 1);
    const Fraction furtherAboveOne = fromParts(kMax - 1, kMax - 2);
    EXPECT_TRUE(furtherAboveOne.isGreater(justAboveOne));
    EXPECT_FALSE(justAboveOne.isGreater(furtherAboveOne));

    const Fraction belowMinusOne = fromParts(kMin, kMax);
    const Fraction furtherBelow = fromParts(kMin + 1, kMax - 1);
    EXPECT_TRUE(belowMinusOne.isGreater(furtherBelow));
    EXPECT_FALSE(furtherBelow.isGreater(belowMinusOne));

    EXPECT_TRUE(fromParts(kMax, 1).isGreater(fromParts(kMax - 1, 1)));
    EXPECT_TRUE(fromParts(kMin + 1, 1).isGreater(fromParts(kMin, 1)));
    EXPECT_TRUE(fromParts(kMin, -1).isGreater(fromParts(kMax, 1)));
}

// The rules of the operations, followed step by step in 64 bits: reduce
// both operands, form every product (and the sum) and refuse any that
// leaves 32 bits, then reduce. The operations take shortcuts where they can
// prove the answer the same; this holds them to the same parts, and to the
// same choice of which results are invalid.
class FractionByTheRules : public ::testing::Test {
protected:
    struct Parts {
        std::int64_t numerator;
        std::int64_t denominator;
    };

    static std::int64_t ruleGcd(std::int64_t a, std::int64_t b)
    {
        return a == 0 || b == 0 ? 1 : std::gcd(a, b);
    }
    static Parts lowest(Parts value)
    {
        const std::int64_t divisor = ruleGcd(value.numerator, value.denominator);
        return {value.numerator / divisor, value.denominator / divisor};
    }
    static bool fits(std::int64_t value) { return value >= kMin && value <= kMax; }
    static Parts partsOfValid(const Fraction& fraction)
    {
        return {fraction.numeratorPart(), fraction.denominatorPart()};
    }
    static std::string show(std::optional<Parts> parts)
    {
        return parts ? std::to_string(parts->numerator) + "/" + std::to_string(parts->denominator)
                     : "invalid";
    }

    static std::optional<Parts> sum(const Fraction& a, const Fraction& b, bool subtract)
    {
        if (!a.isValid() || !b.isValid()) {
            return std::nullopt;
        }
        const Parts left = lowest(partsOfValid(a));
        const Parts right = lowest(partsOfValid(b));
        const std::int64_t denominator = left.denominator * right.denominator;
        const std::int64_t ownScaled = left.numerator * right.denominator;
        const std::int64_t termScaled = left.denominator * right.numerator;
        if (!fits(denominator) || !fits(ownScaled) || !fits(termScaled)) {
            return std::nullopt;
        }
        const std::int64_t numerator = subtract ? ownScaled - termScaled : ownScaled + termScaled;
        if (!fits(numerator)) {
            return std::nullopt;
        }
        return lowest({numerator, denominator});
    }

    static std::optional<Parts> product(const Fraction& a, Parts operand)
    {
        const Parts left = lowest(partsOfValid(a));
        operand = lowest(operand);
        const std::int64_t first = ruleGcd(left.numerator, operand.denominator);
        const std::int64_t second = ruleGcd(left.denominator, operand.numerator);
        const std::int64_t numerator = (left.numerator / first) * (operand.numerator / second);
        const std::int64_t denominator =
            (left.denominator / second) * (operand.denominator / first);
        if (!fits(numerator) || !fits(denominator)) {
            return std::nullopt;
        }
        return Parts{numerator, denominator};
    }

    static std::optional<Parts> quotient(const Fraction& a, const Fraction& b)
    {
        if (!a.isValid() || !b.isValid() || b.numeratorPart() == 0) {
            return std::nullopt;
        }
        Fraction reciprocal;
        if (!reciprocal.setValue(b.denominatorPart(), b.numeratorPart())) {
            return std::nullopt;
        }
        return product(a, partsOfValid(reciprocal));
    }

    // Parts narrowed to a random width, so that small values (where every
    // shortcut applies) come as often as wide ones (where none does).
    Fraction randomFraction()
    {
        const std::int32_t numerator = part(random) >> width(random);
        const std::int32_t denominator = part(random) >> width(random);
        return fromParts(numerator, denominator == 0 ? 1 : denominator);
    }

private:
    std::mt19937_64 random{20261209};
    std::uniform_int_distribution<std::int32_t> part{kMin, kMax};
    std::uniform_int_distribution<int> width{0, 31};
};

TEST_F(FractionByTheRules, EveryOperationGivesTheRulesPartsAndInvalidity)
{
    int validSums = 0;
    int validProducts = 0;
    for (int i = 0; i < 200000; ++i) {
        const Fraction a = randomFraction();
        const Fraction b = i % 5 == 0 ? a : randomFraction();
        const std::string pair = partsOf(a) + " and " + partsOf(b);

        Fraction sumResult = a;
        sumResult.add(b);
        const std::optional<Parts> expectedSum = sum(a, b, false);
        ASSERT_EQ(partsOf(sumResult), show(expectedSum)) << pair << " +";
        validSums += expectedSum ? 1 : 0;

        Fraction difference = a;
        difference.subtract(b);
        ASSERT_EQ(partsOf(difference), show(sum(a, b, true))) << pair << " -";

        Fraction productResult = a;
        productResult.multiply(b);
        const std::optional<Parts> expectedProduct = product(a, partsOfValid(b));
        ASSERT_EQ(partsOf(productResult), show(expectedProduct)) << pair << " *";
        validProducts += expectedProduct ? 1 : 0;

        Fraction quotientResult = a;
        quotientResult.divide(b);
        ASSERT_EQ(partsOf(quotientResult), show(quotient(a, b))) << pair << " /";
    }
    EXPECT_GT(validSums, 50000) << "the sample should reach the valid sums, not only overflows";
    EXPECT_GT(validProducts, 50000);
}

TEST_F(FractionByTheRules, ShortcutsStopAtTheEdgesOf32Bits)
{
    // Operands not in lowest terms whose plain products leave 32 bits while
    // the reduced ones fit (even 64 bits, for the sum of two products of
    // -2^31 and -2^31), and zero results, which keep a denominator.
    const std::vector<std::pair<Fraction, Fraction>> pairs = {
        {fromParts(65536, 65536), fromParts(65536, 65536)},
        {fromParts(kMin, 2), fromParts(kMin, 2)},
        {fromParts(kMax, kMax), fromParts(-kMax, kMax)},
        {fromParts(3 * 46341, 3), fromParts(46341, 1)},
        {fromParts(6, 4), fromParts(-9, 6)},
        {fromParts(1 << 20, 3 << 20), fromParts(-(1 << 20), 3 << 20)},
        {fromParts(0, 6), fromParts(5, 10)},
        {fromParts(kMin, 1), fromParts(1, kMin)},
        {fromParts(kMin, kMin), fromParts(kMin, kMin)},
        {fromParts(kMin, kMin), fromParts(kMax, kMin)},
    };
    for (const auto& [a, b] : pairs) {
        const std::string pair = partsOf(a) + " and " + partsOf(b);
        Fraction result = a;
        result.add(b);
        EXPECT_EQ(partsOf(result), show(sum(a, b, false))) << pair << " +";
        result = a;
        result.subtract(b);
        EXPECT_EQ(partsOf(result), show(sum(a, b, true))) << pair << " -";
        result = a;
        result.multiply(b);
        EXPECT_EQ(partsOf(result), show(product(a, partsOfValid(b)))) << pair << " *";
        result = a;
        result.divide(b);
        EXPECT_EQ(partsOf(result), show(quotient(a, b))) << pair << " /";
    }
}

// The reference itself, at values beyond 64 bits.
TEST(ExactReference, ProductsAndSumsBeyondSixtyFourBits)
{
    const Wide twoTo62 = Wide(std::int64_t{1} << 62);
    EXPECT_TRUE(twoTo62 * Wide(4) > Wide(std::numeric_limits<std::int64_t>::max()));
    EXPECT_TRUE(twoTo62 * Wide(-4) < Wide(std::numeric_limits<std::int64_t>::min()));
    EXPECT_TRUE(twoTo62 * Wide(4) - twoTo62 * Wide(4) == Wide(0));
    EXPECT_TRUE(Wide(kMin) * Wide(kMin) * Wide(kMin) == Wide(kMin) * Wide(std::int64_t{1} << 62));
    EXPECT_TRUE(twoTo62 + twoTo62 + twoTo62 + twoTo62 == twoTo62 * Wide(4));
    EXPECT_TRUE(Wide(-1) < Wide(0));
    EXPECT_TRUE(Wide(kMax) * Wide(kMax) * Wide(3) > Wide(kMax) * Wide(kMax) * Wide(2));
}

// Random fractions over the whole 32-bit range, checked against exact
// 128-bit arithmetic: a valid result has exactly the true value, and the
// order agrees with the true order.
class FractionAgainstExactArithmetic : public ::testing::Test {
protected:
    Fraction randomFraction()
    {
        const int bits = std::uniform_int_distribution<int>(1, 32)(random);
        const std::int32_t numerator = part(random) >> (32 - bits);
        std::int32_t denominator =
            part(random) >> (32 - std::uniform_int_distribution<int>(1, 32)(random));
        if (denominator == 0) {
            denominator = 1;
        }
        return fromParts(numerator, denominator);
    }

    static bool hasValue(const Fraction& fraction, Wide numerator, Wide denominator)
    {
        return Wide{fraction.numeratorPart()} * denominator ==
               numerator * Wide{fraction.denominatorPart()};
    }

private:
    std::mt19937_64 random{20261208};
    std::uniform_int_distribution<std::int32_t> part{kMin, kMax};
};

TEST_F(FractionAgainstExactArithmetic, ValidResultsAreExact)
{
    int validResults = 0;
    for (int i = 0; i < 50000; ++i) {
        const Fraction a = randomFraction();
        const Fraction b = randomFraction();
        const Wide an{a.numeratorPart()};
        const Wide ad{a.denominatorPart()};
        const Wide bn{b.numeratorPart()};
        const Wide bd{b.denominatorPart()};

        Fraction sum = a;
        sum.add(b);
        Fraction difference = a;
        difference.subtract(b);
        Fraction product = a;
        product.multiply(b);
        Fraction quotient = a;
        quotient.divide(b);

        if (sum.isValid()) {
            EXPECT_TRUE(hasValue(sum, an * bd + bn * ad, ad * bd))
                << partsOf(a) << " + " << partsOf(b);
            ++validResults;
        }
        if (difference.isValid()) {
            EXPECT_TRUE(hasValue(difference, an * bd - bn * ad, ad * bd))
                << partsOf(a) << " - " << partsOf(b);
        }
        if (product.isValid()) {
            EXPECT_TRUE(hasValue(product, an * bn, ad * bd)) << partsOf(a) << " * " << partsOf(b);
        }
        if (quotient.isValid()) {
            EXPECT_TRUE(hasValue(quotient, an * bd, ad * bn)) << partsOf(a) << " / " << partsOf(b);
        }
        const bool greater = (an * bd - bn * ad) * Wide(ad * bd > Wide(0) ? 1 : -1) > Wide(0);
        EXPECT_EQ(a.isGreater(b), greater) << partsOf(a) << " > " << partsOf(b);
    }
    EXPECT_GT(validResults, 5000) << "the sample should exercise valid sums, not only overflows";
}

}  // namespace
