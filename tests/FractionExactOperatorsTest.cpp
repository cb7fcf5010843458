#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
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
constexpr std::uint64_t kTwoTo31 = std::uint64_t{1} << 31U;

// An exact value n/d, d not zero, in 128 bits: wide enough for any sum,
// product or quotient of two fractions with 32-bit parts, and for any
// fourth power of one.
struct Exact {
    ExactInteger numerator;
    ExactInteger denominator;
};

Exact exactOf(const Fraction& f)
{
    return {ExactInteger(f.numeratorPart()), ExactInteger(f.denominatorPart())};
}

std::uint64_t euclid(std::uint64_t a, std::uint64_t b)
{
    while (b != 0) {
        const std::uint64_t rest = a % b;
        a = b;
        b = rest;
    }
    return a;
}

// Whether some 32-bit parts, with a sign on either, hold the value: both
// magnitudes in lowest terms are at most 2^31 (coprime, so at most one is
// 2^31, and the sign goes where it fits).
bool holdable(const Exact& value)
{
    const ExactInteger limit(std::int64_t{1} << 31);
    const ExactInteger negativeLimit(-(std::int64_t{1} << 31));
    const auto withinLimit = [&](ExactInteger part) {
        return !(part > limit) && !(part < negativeLimit);
    };
    if (withinLimit(value.numerator) && withinLimit(value.denominator)) {
        return true;
    }
    // Sums, products and quotients of 32-bit parts stay below 2^64 in
    // magnitude: reduce them there.
    if (!value.numerator.magnitudeFits64() || !value.denominator.magnitudeFits64()) {
        return false;
    }
    const std::uint64_t top = value.numerator.magnitudeLow();
    const std::uint64_t bottom = value.denominator.magnitudeLow();
    const std::uint64_t divisor = euclid(top, bottom);
    return top / divisor <= kTwoTo31 && bottom / divisor <= kTwoTo31;
}

// A valid result has the exact value, in lowest terms (zero as 0/1); an
// invalid one is allowed only where no 32-bit parts hold the value.
void expectExact(const Fraction& result, const Exact& exact, const std::string& what)
{
    if (!result.isValid()) {
        ASSERT_FALSE(holdable(exact)) << what << " gave invalid";
        return;
    }
    const std::int32_t numerator = result.numeratorPart();
    const std::int32_t denominator = result.denominatorPart();
    const std::string got = what + " gave " + partsOf(result);
    ASSERT_NE(denominator, 0) << got;
    ASSERT_TRUE(ExactInteger(numerator) * exact.denominator ==
                exact.numerator * ExactInteger(denominator))
        << got;
    const auto magnitude = [](std::int32_t part) {
        return static_cast<std::uint64_t>(std::llabs(std::int64_t{part}));
    };
    ASSERT_EQ(euclid(magnitude(numerator), magnitude(denominator)),
              numerator == 0 ? magnitude(denominator) : 1U)
        << got << ", not in lowest terms";
    if (numerator == 0) {
        ASSERT_EQ(denominator, 1) << got;
    }
}

Exact sum(const Exact& a, const Exact& b)
{
    return {a.numerator * b.denominator + b.numerator * a.denominator,
            a.denominator * b.denominator};
}

Exact negated(const Exact& a)
{
    return {ExactInteger(0) - a.numerator, a.denominator};
}

Exact product(const Exact& a, const Exact& b)
{
    return {a.numerator * b.numerator, a.denominator * b.denominator};
}

// The parts where a naive product of denominators misses values: small ones, ones near 2^31 of
// either sign, powers of two, numbers rich in small factors, zeros over
// large denominators, and random widths.
class ExactOperators : public ::testing::Test {
protected:
    std::int32_t randomPart()
    {
        static constexpr std::array<std::int32_t, 6> kComposite = {3628800, 8064,   65536,
                                                                   362880,  720720, 46341};
        switch (kind(random)) {
            case 0:
                return small(random);
            case 1:
                return kMax - (small(random) & 0xFF);
            case 2:
                return kMin + (small(random) & 0xFF);
            case 3:
                return (small(random) < 0 ? -1 : 1) * (1 << (small(random) & 0x1E));
            case 4:
                return kComposite[static_cast<std::size_t>(small(random) & 0xFF) %
                                  kComposite.size()] *
                       (small(random) < 0 ? -1 : 1);
            default:
                return part(random) >> (small(random) & 0x1F);
        }
    }

    Fraction randomFraction()
    {
        const std::int32_t denominator = randomPart();
        if (kind(random) == 0) {
            return fromParts(0, denominator == 0 ? kMin : denominator);
        }
        return fromParts(randomPart(), denominator == 0 ? 1 : denominator);
    }

    static int pairCount()
    {
        const char* full = std::getenv("FRACTION_FULL_TESTS");
        return full != nullptr && std::string(full) == "1" ? 1000000 : 100000;
    }

private:
    std::mt19937_64 random{20261210};
    std::uniform_int_distribution<std::int32_t> part{kMin, kMax};
    std::uniform_int_distribution<std::int32_t> small{-300, 300};
    std::uniform_int_distribution<int> kind{0, 7};
};

TEST_F(ExactOperators, EveryResultIsExactInLowestTermsOrHoldsNoValue)
{
    const int count = pairCount();
    int validQuotients = 0;
    for (int i = 0; i < count; ++i) {
        const Fraction a = randomFraction();
        const Fraction b = randomFraction();
        const Exact x = exactOf(a);
        const Exact y = exactOf(b);
        const std::string pair = partsOf(a) + " and " + partsOf(b);
        expectExact(a + b, sum(x, y), pair + " +");
        expectExact(a - b, sum(x, negated(y)), pair + " -");
        expectExact(a * b, product(x, y), pair + " *");
        Fraction compound = a;
        compound += b;
        expectExact(compound, sum(x, y), pair + " +=");
        compound = a;
        compound *= b;
        expectExact(compound, product(x, y), pair + " *=");
        if (b.numeratorPart() == 0) {
            ASSERT_FALSE((a / b).isValid()) << pair << " /";
        } else {
            const Fraction quotient = a / b;
            validQuotients += quotient.isValid() ? 1 : 0;
            expectExact(quotient, product(x, {y.denominator, y.numerator}), pair + " /");
            compound = a;
            compound /= b;
            expectExact(compound, product(x, {y.denominator, y.numerator}), pair + " /=");
        }
        compound = a;
        compound -= b;
        expectExact(compound, sum(x, negated(y)), pair + " -=");
        const std::int32_t integer = b.numeratorPart();
        const Exact z{ExactInteger(integer), ExactInteger(1)};
        expectExact(a + integer, sum(x, z), pair + " + integer");
        expectExact(integer - a, sum(z, negated(x)), pair + " integer -");
        expectExact(integer * a, product(x, z), pair + " integer *");
        // An integer up to 2^62, the product of two parts, as an operand.
        const std::int64_t wide = std::int64_t{b.numeratorPart()} * b.denominatorPart();
        const Exact w{ExactInteger(wide), ExactInteger(1)};
        const std::string withWide = partsOf(a) + " and " + std::to_string(wide);
        expectExact(a + wide, sum(x, w), withWide + " + wide");
        expectExact(wide - a, sum(w, negated(x)), withWide + " wide -");
        expectExact(a * wide, product(x, w), withWide + " * wide");
        if (wide != 0) {
            expectExact(a / wide, product(x, {ExactInteger(1), w.numerator}), withWide + " / wide");
        }
        if (a.numeratorPart() != 0) {
            expectExact(wide / a, product(w, {x.denominator, x.numerator}), withWide + " wide /");
        }
        expectExact(-a, negated(x), partsOf(a) + " unary -");
        const Fraction magnitude = abs(a);
        expectExact(magnitude,
                    x.numerator.isNegative() != x.denominator.isNegative() ? negated(x) : x,
                    partsOf(a) + " abs");
        const int exponent = i % 9 - 4;
        if (exponent < 0 && a.numeratorPart() == 0) {
            ASSERT_FALSE(pow(a, exponent).isValid()) << partsOf(a) << " ^ " << exponent;
            continue;
        }
        Exact power{ExactInteger(1), ExactInteger(1)};
        const Exact factor = exponent < 0 ? Exact{x.denominator, x.numerator} : x;
        for (int k = 0; k < std::abs(exponent); ++k) {
            power = product(power, factor);
        }
        expectExact(pow(a, exponent), power, partsOf(a) + " ^ " + std::to_string(exponent));
    }
    EXPECT_GT(validQuotients, count / 4) << "the sample should reach valid results";
}

// The results the members refuse although 32-bit parts hold them.
TEST(ExactOperatorsKnown, ValuesTheMembersMiss)
{
    struct Row {
        std::string what;
        Fraction got;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"1073741823/2 + 1/2", Fraction(1073741823) / 2 + Fraction(1, 2), "536870912/1"},
        {"4357/8064 - 1/3628800", Fraction(4357, 8064) - Fraction(1) / 3628800, "1960649/3628800"},
        {"0/65536 * 1/65536", Fraction(0, 65536) * Fraction(1, 65536), "0/1"},
        {"(1/3 - 1/3) + 10^9", (Fraction(1, 3) - Fraction(1, 3)) + 1000000000, "1000000000/1"},
        {"pow(0/100000, 2)", pow(Fraction(0, 100000), 2), "0/1"},
        {"-18/-18 * INT_MIN", Fraction(-18, -18) * kMin, "-2147483648/1"},
        {"INT_MIN * -1", Fraction(kMin) * -1, "-2147483648/-1"},
        {"|INT_MIN|", abs(Fraction(kMin)), "-2147483648/-1"},
        {"|1/INT_MIN|", abs(Fraction(1, kMin)), "-1/-2147483648"},
        {"-(INT_MIN/1)", -Fraction(kMin, 1), "-2147483648/-1"},
        {"-(6/-4)", -Fraction(6, -4), "3/2"},
        {"INT_MAX + 1", Fraction(kMax) + 1, "-2147483648/-1"},
        {"INT_MAX + 2", Fraction(kMax) + 2, "invalid"},
        {"1/1 / 1/10001", Fraction(1) / Fraction(1, 10001), "10001/1"},
        {"1/2 - 1/2", Fraction(1, 2) - Fraction(1, 2), "0/1"},
        {"1/2 / 0", Fraction(1, 2) / 0, "invalid"},
        {"pow(2, 31)", pow(Fraction(2), 31), "-2147483648/-1"},
        {"pow(-2, 31)", pow(Fraction(-2), 31), "-2147483648/1"},
        {"pow(2, 32)", pow(Fraction(2), 32), "invalid"},
        {"pow(-1, INT_MIN)", pow(Fraction(-1), kMin), "1/1"},
        {"pow(1/2, -31)", pow(Fraction(1, 2), -31), "-2147483648/-1"},
        {"pow(0, -1)", pow(Fraction(0), -1), "invalid"},
        {"pow(invalid, 0)", pow(Fraction(1, 0), 0), "invalid"},
        {"invalid + 1", Fraction(1, 0) + 1, "invalid"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(partsOf(row.got), row.expected) << row.what;
    }
}

// Integers beyond 32 bits as operands: the value where 32-bit parts hold it.
TEST(ExactOperatorsKnown, WideIntegerOperands)
{
    constexpr std::int64_t kTwoTo32 = std::int64_t{1} << 32;
    constexpr std::uint64_t kUint64Max = std::numeric_limits<std::uint64_t>::max();
    struct Row {
        std::string what;
        Fraction got;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"1/-2^31 * 2^32", Fraction(1, kMin) * kTwoTo32, "-2/1"},
        {"2^32 * 1/-2^31", kTwoTo32 * Fraction(1, kMin), "-2/1"},
        {"1/3 * 2^32", Fraction(1, 3) * kTwoTo32, "invalid"},
        {"0/7 * UINT64_MAX", Fraction(0, 7) * kUint64Max, "0/1"},
        {"-2^31 + 2^32", Fraction(kMin) + kTwoTo32, "-2147483648/-1"},
        {"2^32 - 2^31 as 2^32 - f", kTwoTo32 - Fraction(kMin, -1), "-2147483648/-1"},
        {"1/2 + 2^32", Fraction(1, 2) + kTwoTo32, "invalid"},
        {"-2^31 / 2^32", Fraction(kMin) / kTwoTo32, "-1/2"},
        {"2^32 / 2^31", kTwoTo32 / Fraction(kMin, -1), "2/1"},
        {"1/2 / 2^32", Fraction(1, 2) / kTwoTo32, "invalid"},
        {"1/2 * 2147483648u", Fraction(1, 2) * 2147483648U, "1073741824/1"},
        {"1/2 += 2147483648u", Fraction(1, 2) += 2147483648U, "invalid"},
        {"3 * 2147483648u / 6 as f /= 6", (Fraction(3) *= 2147483648U) /= 6, "invalid"},
        {"(1/6 *= 2^32) /= 2^32", (Fraction(1, 6) *= kTwoTo32) /= kTwoTo32, "1/6"},
        {"invalid * 2^32", Fraction(1, 0) * kTwoTo32, "invalid"},
        {"UINT64_MAX / 0/1", kUint64Max / Fraction(0), "invalid"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(partsOf(row.got), row.expected) << row.what;
    }
}

// The members keep their own algorithm: the operators' wider reach does
// not leak into them.
TEST(ExactOperatorsKnown, MembersStillRefuseWhatTheyRefused)
{
    Fraction sumByMember = Fraction(1073741823) / 2;
    sumByMember.add(Fraction(1, 2));
    EXPECT_FALSE(sumByMember.isValid());
    Fraction zeroByMember(1, 2);
    zeroByMember.subtract(Fraction(1, 2));
    EXPECT_EQ(partsOf(zeroByMember), "0/4");
    Fraction quotientByMember(1);
    quotientByMember.divide(Fraction(1, 10001));
    EXPECT_FALSE(quotientByMember.isValid());
}

}  // namespace
