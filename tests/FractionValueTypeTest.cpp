#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "FractionTestSupport.h"
#include "fraction/Fraction.h"

using fraction::Fraction;

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// The constructor holds any parts with a non-zero denominator, as a record
// does; only setValue keeps the bound.
TEST(FractionConstruction, FromPartsHoldsAnyNonZeroDenominator)
{
    struct Row {
        std::int32_t numerator, denominator;
        std::string parts;
        bool setValueTakes;
    };
    const std::vector<Row> rows = {
        {6, -4, "6/-4", true},
        {10000, 1, "10000/1", true},
        {-10000, 1, "-10000/1", true},
        {10001, 1, "10001/1", false},
        {10001, -1, "10001/-1", false},
        {20000, 1, "20000/1", false},
        {1234, 0, "invalid", false},
        {kMin, kMin, "-2147483648/-2147483648", true},
        {kMax, 1, "2147483647/1", false},
        {1, kMin, "1/-2147483648", true},
        {0, kMin, "0/-2147483648", true},
    };
    for (const Row& row : rows) {
        const Fraction constructed(row.numerator, row.denominator);
        EXPECT_EQ(partsOf(constructed), row.parts) << row.numerator << "/" << row.denominator;
        EXPECT_EQ(partsOf(fromParts(row.numerator, row.denominator)),
                  row.denominator == 0 ? "invalid" : row.parts)
            << "as a record holds it";
        Fraction set;
        EXPECT_EQ(set.setValue(row.numerator, row.denominator), row.setValueTakes)
            << row.numerator << "/" << row.denominator;
    }
}

TEST(FractionConstruction, DefaultIsInvalidAndZeroStartsASum)
{
    const std::vector<Fraction> values{Fraction(1, 2), Fraction(1, 3), Fraction(1, 6)};
    EXPECT_FALSE(Fraction{}.isValid());
    EXPECT_FALSE(std::accumulate(values.begin(), values.end(), Fraction{}).isValid());
    EXPECT_EQ(std::accumulate(values.begin(), values.end(), Fraction{0}), 1);
}

// Where the named operation gives a value, the operator gives the same
// parts (a zero as 0/1, where the operation keeps the denominator it
// computed); the operators' exactness beyond that is tested on its own.
TEST(FractionOperators, AgreeWithTheNamedOperationsWhereTheyGiveAValue)
{
    const std::vector<Fraction> values = {
        fromParts(1, 2),     fromParts(6, -4),   fromParts(0, 7),     fromParts(-3, -9),
        fromParts(kMax, 1),  fromParts(kMin, 3), fromParts(1, 46341), fromParts(10001, 1),
        fromParts(1, 10001), invalidFraction(),  fromParts(-5, 1),    fromParts(7, kMin)};
    using Member = void (Fraction::*)(const Fraction&) noexcept;
    using Operator = std::function<Fraction(Fraction, const Fraction&)>;
    struct Form {
        const char* name;
        Member member;
        Operator byOperator;
        Operator compound;
    };
    const std::vector<Form> forms = {
        {"+", &Fraction::add, [](const Fraction& a, const Fraction& b) { return a + b; },
         [](Fraction a, const Fraction& b) { return a += b; }},
        {"-", &Fraction::subtract, [](const Fraction& a, const Fraction& b) { return a - b; },
         [](Fraction a, const Fraction& b) { return a -= b; }},
        {"*", &Fraction::multiply, [](const Fraction& a, const Fraction& b) { return a * b; },
         [](Fraction a, const Fraction& b) { return a *= b; }},
        {"/", &Fraction::divide, [](const Fraction& a, const Fraction& b) { return a / b; },
         [](Fraction a, const Fraction& b) { return a /= b; }},
    };
    int agreed = 0;
    for (const Fraction& left : values) {
        for (const Fraction& right : values) {
            for (const Form& form : forms) {
                const std::string pair = partsOf(left) + " " + form.name + " " + partsOf(right);
                Fraction expected = left;
                (expected.*form.member)(right);
                if (!expected.isValid()) {
                    continue;
                }
                if (expected.isZero()) {
                    expected = Fraction(0);
                }
                EXPECT_EQ(partsOf(form.byOperator(left, right)), partsOf(expected)) << pair;
                EXPECT_EQ(partsOf(form.compound(left, right)), partsOf(expected)) << pair;
                ++agreed;
            }
        }
    }
    EXPECT_GT(agreed, 200);
}

TEST(FractionOperators, KnownResultsAndOperandsLeftAsTheyWere)
{
    const Fraction a(504, 3273);
    const Fraction b(43, 27);
    EXPECT_EQ(partsOf(a - b), "-42377/29457");
    EXPECT_EQ(partsOf(Fraction(1, 2) + Fraction(1, 2)), "1/1");
    EXPECT_EQ(partsOf(Fraction(1, 2) - Fraction(1, 2)), "0/1");
    EXPECT_EQ(partsOf(Fraction(2, 18) / Fraction(4, 3)), "1/12");
    EXPECT_EQ(partsOf(Fraction(1, 2) / Fraction(0, 7)), "invalid");
    EXPECT_EQ(partsOf(a), "504/3273");
    EXPECT_EQ(partsOf(b), "43/27");
}

TEST(FractionOperators, CompoundFormsReturnTheReceiverAndAcceptItself)
{
    Fraction value(6, 4);
    const Fraction& sameValue = value;
    Fraction& result = (value += Fraction(1, 2));
    EXPECT_EQ(&result, &value);
    EXPECT_EQ(partsOf(value), "2/1");
    value *= sameValue;
    EXPECT_EQ(partsOf(value), "4/1");
    value -= sameValue;
    EXPECT_EQ(partsOf(value), "0/1");
    EXPECT_EQ(&(value /= Fraction(1, 3)), &value);
}

TEST(FractionStreamOutput, WritesTheTextFormAsPrintDoes)
{
    for (const Fraction& value : {fromParts(-42377, 29457), fromParts(1245, -1230),
                                  fromParts(0, -5), fromParts(kMin, kMin), invalidFraction()}) {
        std::ostringstream viaOperator;
        viaOperator << value << '|';
        EXPECT_EQ(viaOperator.str(), textOf(value) + "|");
    }
    std::ostringstream chained;
    chained << Fraction(1, 2) << Fraction(-3, 4);
    EXPECT_EQ(chained.str(), "1 / 2 - 3 / 4 ");
}

TEST(FractionHash, EqualFractionsHashAlike)
{
    const std::hash<Fraction> hashOf;
    EXPECT_EQ(hashOf(Fraction(1, 2)), hashOf(Fraction(2, 4)));
    EXPECT_EQ(hashOf(Fraction(-1, 2)), hashOf(Fraction(-3, 6)));
    EXPECT_EQ(hashOf(Fraction(1, -2)), hashOf(Fraction(5, -10)));
    EXPECT_EQ(hashOf(Fraction(0, 1)), hashOf(Fraction(0, -5)));
    EXPECT_EQ(hashOf(fromParts(0, kMin)), hashOf(fromParts(0, 7)));
    EXPECT_EQ(hashOf(fromParts(kMin, kMin)), hashOf(Fraction(-1, -1)));
    // Equal values under ==, whichever part holds the sign.
    EXPECT_EQ(hashOf(Fraction(1, -2)), hashOf(Fraction(-1, 2)));
    EXPECT_EQ(hashOf(fromParts(kMin, kMin)), hashOf(Fraction(1, 1)));
    EXPECT_EQ(hashOf(invalidFraction()), hashOf(Fraction(3, 0)));
    EXPECT_EQ(hashOf(Fraction(1, 2)), Fraction(1, 2).hash());
}

// Not a promise of the contract, but a hash that collides often makes hash
// tables slow: distinct values should almost never share one, in the low
// bits a table uses first either.
TEST(FractionHash, DistinctValuesRarelyCollide)
{
    const std::hash<Fraction> hashOf;
    std::set<std::size_t> hashes;
    std::set<std::size_t> lowBits;
    int values = 0;
    for (std::int32_t numerator = -40; numerator <= 40; ++numerator) {
        for (std::int32_t denominator = 1; denominator <= 40; ++denominator) {
            if (numerator != 0 && fraction::gcd(numerator, denominator) == 1) {
                hashes.insert(hashOf(Fraction(numerator, denominator)));
                lowBits.insert(hashOf(Fraction(numerator, denominator)) & 0xFFFFFU);
                ++values;
            }
        }
    }
    EXPECT_EQ(static_cast<int>(hashes.size()), values);
    EXPECT_GT(static_cast<int>(lowBits.size()), values * 99 / 100);
}

TEST(FractionHash, KeysAHashSetByEqual)
{
    struct Equal {
        bool operator()(const Fraction& a, const Fraction& b) const { return a.equal(b); }
    };
    std::unordered_set<Fraction, std::hash<Fraction>, Equal> values;
    for (const Fraction& value : {Fraction(1, 2), Fraction(2, 4), Fraction(-1, 2), Fraction(1, -2),
                                  Fraction(0, 3), Fraction(0, -9), Fraction(3, 4)}) {
        values.insert(value);
    }
    EXPECT_EQ(values.size(), 5U) << "1/2 = 2/4 and 0/3 = 0/-9; -1/2 and 1/-2 differ as stored";
    EXPECT_EQ(values.count(Fraction(6, 12)), 1U);
    EXPECT_EQ(values.count(Fraction(-2, 4)), 1U);
    EXPECT_EQ(values.count(Fraction(1, 3)), 0U);
}

}  // namespace
