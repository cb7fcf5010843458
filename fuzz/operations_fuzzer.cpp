// Fuzzes every operation of Fraction over pairs of fractions with any 32-bit
// parts, valid or not, against exact 128-bit arithmetic.
//
// Each fraction takes 9 bytes: the 8 bytes of a record, then a control byte
// whose lowest bit makes the fraction invalid and whose other bits narrow
// its parts, so that small values, where results fit, are found as often
// as the extremes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

#include "common/Check.h"
#include "fraction/Fraction.h"
#include "fraction/FractionRecord.h"

using fraction::decodeInt32;
using fraction::encodeInt32;
using fraction::Fraction;
using fraction::FRACTION_RECORD_SIZE;
using fraction::gcd;
using fraction::VALUE_LIMIT;

namespace {

__extension__ using Wide = __int128;

constexpr std::size_t kBytesPerFraction = FRACTION_RECORD_SIZE + 1;
constexpr Wide kMinPart = -Wide{2147483648LL};
constexpr Wide kMaxPart = Wide{2147483647LL};

bool fits(Wide value)
{
    return value >= kMinPart && value <= kMaxPart;
}

Wide magnitude(Wide value)
{
    return value < 0 ? -value : value;
}

Wide exactGcd(Wide a, Wide b)
{
    a = magnitude(a);
    b = magnitude(b);
    if (a == 0 || b == 0) {
        return 1;
    }
    while (b != 0) {
        const Wide rest = a % b;
        a = b;
        b = rest;
    }
    return a;
}

struct Exact {
    Wide numerator;
    Wide denominator;
};

Exact reduced(Exact value)
{
    const Wide divisor = exactGcd(value.numerator, value.denominator);
    return {value.numerator / divisor, value.denominator / divisor};
}

Exact partsOf(const Fraction& fraction)
{
    return {fraction.numeratorPart(), fraction.denominatorPart()};
}

// Narrows a part to `bits` bits with its sign, by the remainder.
std::int32_t narrow(std::int32_t part, unsigned bits)
{
    if (bits >= 32) {
        return part;
    }
    const std::int64_t modulus = std::int64_t{1} << bits;
    return static_cast<std::int32_t>(std::int64_t{part} % modulus);
}

Fraction makeFraction(const std::uint8_t* bytes)
{
    const unsigned control = bytes[FRACTION_RECORD_SIZE];
    std::array<char, FRACTION_RECORD_SIZE> record{};
    const auto* chars = reinterpret_cast<const char*>(bytes);
    encodeInt32(narrow(decodeInt32(chars), 1 + ((control >> 1U) & 31U)), record.data());
    encodeInt32(narrow(decodeInt32(chars + 4), 1 + ((control >> 3U) & 31U)), record.data() + 4);
    std::istringstream in(std::string(record.data(), record.size()));
    Fraction fraction;
    fraction.readBinary(in);
    if ((control & 1U) != 0) {
        fraction.setValue(1, 0);
    }
    return fraction;
}

bool sameState(const Fraction& a, const Fraction& b)
{
    return a.isValid() == b.isValid() && a.numeratorPart() == b.numeratorPart() &&
           a.denominatorPart() == b.denominatorPart();
}

// The result `add` or `subtract` must give, or nothing where it must be invalid.
std::optional<Exact> expectedSum(const Fraction& a, const Fraction& b, bool subtract)
{
    if (!a.isValid() || !b.isValid()) {
        return std::nullopt;
    }
    const Exact left = reduced(partsOf(a));
    const Exact right = reduced(partsOf(b));
    const Wide denominator = left.denominator * right.denominator;
    const Wide ownScaled = left.numerator * right.denominator;
    const Wide otherScaled = left.denominator * right.numerator;
    const Wide numerator = subtract ? ownScaled - otherScaled : ownScaled + otherScaled;
    if (!fits(denominator) || !fits(ownScaled) || !fits(otherScaled) || !fits(numerator)) {
        return std::nullopt;
    }
    return reduced({numerator, denominator});
}

std::optional<Exact> expectedProduct(const Fraction& a, Exact operand)
{
    Exact left = reduced(partsOf(a));
    operand = reduced(operand);
    const Wide first = exactGcd(left.numerator, operand.denominator);
    const Wide second = exactGcd(left.denominator, operand.numerator);
    const Wide numerator = (left.numerator / first) * (operand.numerator / second);
    const Wide denominator = (left.denominator / second) * (operand.denominator / first);
    if (!fits(numerator) || !fits(denominator)) {
        return std::nullopt;
    }
    return Exact{numerator, denominator};
}

std::optional<Exact> expectedQuotient(const Fraction& a, const Fraction& b)
{
    if (!a.isValid() || !b.isValid() || b.numeratorPart() == 0) {
        return std::nullopt;
    }
    const double reciprocal =
        static_cast<double>(b.denominatorPart()) / static_cast<double>(b.numeratorPart());
    if (reciprocal > VALUE_LIMIT || reciprocal < -VALUE_LIMIT) {
        return std::nullopt;
    }
    return expectedProduct(a, {b.denominatorPart(), b.numeratorPart()});
}

void checkResult(const Fraction& result, const std::optional<Exact>& expected)
{
    FRACTION_CHECK(result.isValid() == expected.has_value());
    if (expected) {
        FRACTION_CHECK(result.numeratorPart() == expected->numerator);
        FRACTION_CHECK(result.denominatorPart() == expected->denominator);
    }
}

// The value of a valid result is the true value of the operation.
void checkValue(const Fraction& result, Wide numerator, Wide denominator)
{
    if (result.isValid()) {
        FRACTION_CHECK(Wide{result.numeratorPart()} * denominator ==
                       numerator * Wide{result.denominatorPart()});
    }
}

bool exactlyGreater(const Fraction& a, const Fraction& b)
{
    const Wide crossDifference = Wide{a.numeratorPart()} * b.denominatorPart() -
                                 Wide{b.numeratorPart()} * a.denominatorPart();
    const bool sameDenominatorSigns = (a.denominatorPart() < 0) == (b.denominatorPart() < 0);
    return sameDenominatorSigns ? crossDifference > 0 : crossDifference < 0;
}

std::string expectedText(const Fraction& fraction)
{
    if (!fraction.isValid()) {
        return "Invalid Fraction!! ";
    }
    const std::int64_t numerator = fraction.numeratorPart();
    const std::int64_t denominator = fraction.denominatorPart();
    const bool negative = (numerator < 0) != (denominator < 0) && numerator != 0;
    return std::string(negative ? "- " : "") + std::to_string(std::llabs(numerator)) + " / " +
           std::to_string(std::llabs(denominator)) + " ";
}

void checkAlone(const Fraction& a)
{
    std::ostringstream text;
    a.print(text);
    FRACTION_CHECK(text.str() == expectedText(a));

    const std::int32_t divisor = gcd(a.numeratorPart(), a.denominatorPart());
    FRACTION_CHECK(divisor >= 1);
    FRACTION_CHECK(a.numeratorPart() % divisor == 0 && a.denominatorPart() % divisor == 0);

    Fraction lowest = a;
    lowest.reduce();
    FRACTION_CHECK(Wide{lowest.numeratorPart()} == reduced(partsOf(a)).numerator);
    FRACTION_CHECK(Wide{lowest.denominatorPart()} == reduced(partsOf(a)).denominator);

    std::ostringstream record;
    a.writeBinary(record);
    FRACTION_CHECK(record.str().size() == FRACTION_RECORD_SIZE);
    std::istringstream recordIn(record.str());
    Fraction readBack;
    readBack.readBinary(recordIn);
    FRACTION_CHECK(readBack.isValid() == a.isValid());
    FRACTION_CHECK(!a.isValid() || readBack.equal(a));

    Fraction self = a;
    self.subtract(self);
    FRACTION_CHECK(!self.isValid() || self.isZero());
    FRACTION_CHECK(!a.isGreater(a));
    FRACTION_CHECK(a.equal(a));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2 * kBytesPerFraction) {
        return 0;
    }
    const Fraction a = makeFraction(data);
    const Fraction b = makeFraction(data + kBytesPerFraction);
    // A copy on purpose: the operations must leave their operand as it was.
    const Fraction operandBefore = b;  // NOLINT(performance-unnecessary-copy-initialization)
    checkAlone(a);

    const Wide an = a.numeratorPart();
    const Wide ad = a.denominatorPart();
    const Wide bn = b.numeratorPart();
    const Wide bd = b.denominatorPart();

    Fraction sum = a;
    sum.add(b);
    checkResult(sum, expectedSum(a, b, false));
    checkValue(sum, an * bd + bn * ad, ad * bd);

    Fraction difference = a;
    difference.subtract(b);
    checkResult(difference, expectedSum(a, b, true));
    checkValue(difference, an * bd - bn * ad, ad * bd);

    Fraction product = a;
    product.multiply(b);
    checkResult(product, a.isValid() && b.isValid() ? expectedProduct(a, partsOf(b))
                                                    : std::optional<Exact>());
    checkValue(product, an * bn, ad * bd);

    Fraction quotient = a;
    quotient.divide(b);
    checkResult(quotient, expectedQuotient(a, b));
    checkValue(quotient, an * bd, ad * bn);

    FRACTION_CHECK(sameState(b, operandBefore));

    const bool bothValid = a.isValid() && b.isValid();
    FRACTION_CHECK(a.isGreater(b) == (bothValid && exactlyGreater(a, b)));
    const Exact left = reduced(partsOf(a));
    const Exact right = reduced(partsOf(b));
    const bool equalParts =
        (left.numerator == 0 && right.numerator == 0) ||
        (left.numerator == right.numerator && left.denominator == right.denominator);
    FRACTION_CHECK(a.equal(b) == (bothValid && equalParts));
    FRACTION_CHECK(sameState(b, operandBefore));
    return 0;
}
