#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "FractionTestSupport.h"
#include "fraction/Fraction.h"

using fraction::Fraction;

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// An exact value in lowest terms with a positive denominator. Every
// result of one fraction and one 32-bit integer has parts within 2^62.
struct Exact {
    std::int64_t numerator;
    std::int64_t denominator;
};

std::optional<Exact> lowest(std::int64_t numerator, std::int64_t denominator)
{
    if (denominator == 0) {
        return std::nullopt;
    }
    const std::int64_t divisor = std::gcd(numerator, denominator);
    const std::int64_t sign = denominator < 0 ? -1 : 1;
    return Exact{sign * numerator / divisor, sign * denominator / divisor};
}

std::optional<Exact> exactOf(const Fraction& f)
{
    if (!f.isValid()) {
        return std::nullopt;
    }
    return lowest(f.numeratorPart(), f.denominatorPart());
}

// Both parts fit in 32 bits with the denominator positive.
bool fits(const Exact& value)
{
    return std::abs(value.numerator) <= kMax && value.denominator <= kMax;
}

// Some 32-bit parts hold the value: with the signs moved, a magnitude of
// 2^31 fits too (1/2^31 is -1/-2147483648).
bool holdable(const Exact& value)
{
    constexpr std::int64_t kTwoTo31 = std::int64_t{1} << 31;
    return std::abs(value.numerator) <= kTwoTo31 && value.denominator <= kTwoTo31;
}

// A valid result has exactly the model's value, and a value the model has
// not, or that no 32-bit parts can hold, is invalid. (The
// operations may refuse more, by their own rules: a divisor nearer zero
// than 1/VALUE_LIMIT, a zero kept over -2147483648.)
void expectModel(const Fraction& result, const std::optional<Exact>& model, const std::string& what)
{
    if (result.isValid()) {
        const std::optional<Exact> got = exactOf(result);
        ASSERT_TRUE(model.has_value()) << what << " gave " << partsOf(result);
        ASSERT_EQ(got->numerator, model->numerator) << what << " gave " << partsOf(result);
        ASSERT_EQ(got->denominator, model->denominator) << what << " gave " << partsOf(result);
    }
    if (!model || !holdable(*model)) {
        ASSERT_FALSE(result.isValid()) << what << " gave " << partsOf(result);
    }
}

TEST(FractionFromInteger, HoldsAnyIntegerThatFits)
{
    EXPECT_EQ(partsOf(Fraction{3}), "3/1");
    EXPECT_EQ(partsOf(Fraction{20000}), "20000/1") << "the setValue bound is not an integer's";
    EXPECT_EQ(partsOf(Fraction{kMin}), "-2147483648/1");
    EXPECT_EQ(partsOf(Fraction{std::int64_t{kMax} + 1}), "-2147483648/-1");
    EXPECT_EQ(partsOf(Fraction{std::int64_t{kMax} + 2}), "invalid");
    EXPECT_EQ(partsOf(Fraction{std::numeric_limits<std::uint64_t>::max()}), "invalid");
    EXPECT_EQ(partsOf(Fraction{7U}), "7/1");
    const Fraction half(1, 2);
    EXPECT_EQ(partsOf(half + 1), "3/2");
    EXPECT_EQ(partsOf(1 - half), "1/2");
    EXPECT_EQ(partsOf(half + (std::int64_t{1} << 40)), "invalid");
}

// Arguments of every integer type give their exact value or an invalid
// fraction, never one cut down to 32 bits.
TEST(FractionFromIntegers, ArgumentsOfAnyTypeAreExactOrInvalid)
{
    constexpr std::int64_t kTwoTo32 = std::int64_t{1} << 32;
    constexpr std::uint64_t kUint64Max = std::numeric_limits<std::uint64_t>::max();
    constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();
    const auto setTo = [](auto numerator, auto denominator) {
        Fraction value(3, 4);
        const bool taken = value.setValue(numerator, denominator);
        return taken == value.isValid() ? partsOf(value) : std::string("disagrees");
    };
    struct Row {
        std::string what;
        std::string got;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"1/2147483648u", partsOf(Fraction(1, 2147483648U)), "-1/-2147483648"},
        {"-1/2147483648u", partsOf(Fraction(-1, 2147483648U)), "1/-2147483648"},
        {"UINT_MAX/1u", partsOf(Fraction(std::numeric_limits<std::uint32_t>::max(), 1U)),
         "invalid"},
        {"(2^32 + 3)/1", partsOf(Fraction(kTwoTo32 | 3, 1)), "invalid"},
        {"2^32/2^33", partsOf(Fraction(kTwoTo32, 2 * kTwoTo32)), "1/2"},
        {"-2^32/2^31", partsOf(Fraction(-kTwoTo32, std::uint64_t{1} << 31U)), "-2/1"},
        {"2^63/2^62", partsOf(Fraction(std::uint64_t{1} << 63U, std::int64_t{1} << 62)), "2/1"},
        {"INT64_MIN/INT64_MIN", partsOf(Fraction(kInt64Min, kInt64Min)), "1/1"},
        {"UINT64_MAX/UINT64_MAX", partsOf(Fraction(kUint64Max, kUint64Max)), "1/1"},
        {"short/long", partsOf(Fraction(short{-6}, 4L)), "-6/4"},
        {"char/unsigned char", partsOf(Fraction('\x07', static_cast<unsigned char>(200))), "7/200"},
        {"1/2^32, too small a value", partsOf(Fraction(1, kTwoTo32)), "invalid"},
        {"3/0u", partsOf(Fraction(3, 0U)), "invalid"},
        {"setValue 2^32/2^33", setTo(kTwoTo32, 2 * kTwoTo32), "1/2"},
        {"setValue 1/2147483648u", setTo(1, 2147483648U), "-1/-2147483648"},
        {"setValue UINT64_MAX/1", setTo(kUint64Max, 1), "invalid"},
        {"setValue (2^32 + 3)/1", setTo(kTwoTo32 | 3, 1), "invalid"},
        {"setValue 5u/2l", setTo(5U, 2L), "5/2"},
        {"setValue 2^40/1, beyond the bound", setTo(std::int64_t{1} << 40, 1), "invalid"},
        {"1/2 + 2^32", partsOf(Fraction(1, 2) + kTwoTo32), "invalid"},
        {"1/2 * 2u", partsOf(Fraction(1, 2) * 2U), "1/1"},
        {"UINT64_MAX - 1/2", partsOf(kUint64Max - Fraction(1, 2)), "invalid"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.got, row.expected) << row.what;
    }
    EXPECT_TRUE(Fraction(1, 2) < kUint64Max);
    EXPECT_TRUE(Fraction(-1) > kInt64Min);
    EXPECT_TRUE(Fraction(kMax) < 2147483648U);
    EXPECT_FALSE(Fraction(kMin) == 2147483648U);
    EXPECT_TRUE(Fraction(-2147483648LL, 1) == -2147483648LL);
}

// Every operation with an integer on either side, and the compound forms,
// against the model, over fractions of every width and integers up to the
// extremes of 32 bits.
TEST(FractionWithIntegers, ArithmeticIsExactOrInvalid)
{
    std::mt19937_64 random(99);
    std::uniform_int_distribution<std::int32_t> part(kMin, kMax);
    std::uniform_int_distribution<int> bits(0, 31);
    for (int i = 0; i < 4000; ++i) {
        const Fraction f = randomRepresentation(random);
        const std::int32_t k =
            i % 7 == 0 ? (i % 2 == 0 ? kMin : kMax) : part(random) >> bits(random);
        const std::optional<Exact> x = exactOf(f);
        const std::string what = partsOf(f) + " and " + std::to_string(k);
        const auto model = [&](auto make) -> std::optional<Exact> {
            return x ? make(*x) : std::nullopt;
        };
        const std::optional<Exact> sum =
            model([&](Exact v) { return lowest(v.numerator + k * v.denominator, v.denominator); });
        const std::optional<Exact> difference =
            model([&](Exact v) { return lowest(v.numerator - k * v.denominator, v.denominator); });
        const std::optional<Exact> product =
            model([&](Exact v) { return lowest(v.numerator * k, v.denominator); });
        const std::optional<Exact> quotient =
            model([&](Exact v) { return lowest(v.numerator, v.denominator * k); });
        const std::optional<Exact> inverse =
            model([&](Exact v) { return lowest(k * v.denominator, v.numerator); });
        expectModel(f + k, sum, what + ": +");
        expectModel(k + f, sum, what + ": + on the left");
        expectModel(f - k, difference, what + ": -");
        expectModel(k - f, model([&](Exact v) {
                        return lowest(k * v.denominator - v.numerator, v.denominator);
                    }),
                    what + ": - on the left");
        expectModel(f * k, product, what + ": *");
        expectModel(k * f, product, what + ": * on the left");
        expectModel(f / k, quotient, what + ": /");
        expectModel(k / f, inverse, what + ": / on the left");
        Fraction g = f;
        g += k;
        expectModel(g, sum, what + ": +=");
        g = f;
        g *= k;
        expectModel(g, product, what + ": *=");
        expectModel(-f, model([](Exact v) { return lowest(-v.numerator, v.denominator); }),
                    what + ": unary -");
        ASSERT_EQ(f.isValid(), (-f).isValid()) << what << ": negation never fails";
        expectModel(abs(f),
                    model([](Exact v) { return lowest(std::abs(v.numerator), v.denominator); }),
                    what + ": abs");
        expectModel(reciprocal(f),
                    model([](Exact v) { return lowest(v.denominator, v.numerator); }),
                    what + ": reciprocal");
        ASSERT_EQ(reciprocal(f).isValid(), f.isValid() && !f.isZero()) << what << ": reciprocal";
        if (x && fits(*x)) {
            ASSERT_TRUE(abs(f).isValid()) << what << ": abs";
        }
    }
}

// Powers of small bases to growing exponents, until well past 32 bits.
TEST(FractionPow, IsExactOrInvalid)
{
    const std::vector<Fraction> bases = {
        Fraction(2, 3),     Fraction(-3, 2),  Fraction(1, -7),
        Fraction(0, 5),     Fraction(-1, 1),  fromParts(kMin, 1),
        fromParts(1, kMin), fromParts(6, -4), fromParts(-46340, 1)};
    for (const Fraction& base : bases) {
        for (int exponent = -40; exponent <= 40; ++exponent) {
            std::optional<Exact> power = Exact{1, 1};
            const std::optional<Exact> b = exactOf(exponent < 0 ? reciprocal(base) : base);
            for (int i = 0; i < std::abs(exponent) && power && b; ++i) {
                power =
                    lowest(power->numerator * b->numerator, power->denominator * b->denominator);
                if (!holdable(*power)) {
                    power = Exact{std::int64_t{1} << 40, 1};  // too big; stays too big
                    break;
                }
            }
            if (!b && exponent != 0) {
                power = std::nullopt;
            }
            expectModel(pow(base, exponent), power,
                        partsOf(base) + " to the " + std::to_string(exponent));
        }
    }
    EXPECT_EQ(partsOf(pow(Fraction(2, 3), 3)), "8/27");
    EXPECT_EQ(partsOf(pow(Fraction(2, 3), -2)), "9/4");
    EXPECT_FALSE(pow(Fraction(0, 1), -1).isValid());
    EXPECT_EQ(partsOf(pow(Fraction(2, 1), 31)), "-2147483648/-1") << "2^31 with a sign on both";
    EXPECT_FALSE(pow(Fraction(2, 1), 32).isValid());
    EXPECT_EQ(partsOf(pow(Fraction(-2, 1), 31)), "-2147483648/1");
}

}  // namespace
