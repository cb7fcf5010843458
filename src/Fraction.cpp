#include "Fraction.h"

#include <array>
#include <cstddef>
#include <fstream>
#include <iostream>
#include <limits>
#include <ostream>

#include "Check.h"
#include "LittleEndian.h"

namespace {

constexpr std::int64_t kMinPart = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMaxPart = std::numeric_limits<std::int32_t>::max();
constexpr double kInvalidDouble = VALUE_LIMIT + 1.0;

bool fitsInPart(std::int64_t value) noexcept
{
    return value >= kMinPart && value <= kMaxPart;
}

// |value| in unsigned arithmetic, where -2147483648 has a magnitude too.
std::uint32_t magnitude(std::int32_t value) noexcept
{
    const auto bits = static_cast<std::uint32_t>(value);
    return value < 0 ? 0U - bits : bits;
}

// The greatest common divisor of the magnitudes, or 1 when either is zero.
// Unsigned, so that 2^31 is a possible answer.
std::uint32_t commonDivisor(std::int32_t a, std::int32_t b) noexcept
{
    std::uint32_t x = magnitude(a);
    std::uint32_t y = magnitude(b);
    if (x == 0 || y == 0) {
        return 1;
    }
    while (y != 0) {
        const std::uint32_t rest = x % y;
        x = y;
        y = rest;
    }
    return x;
}

// value / divisor for a divisor of value, in unsigned arithmetic on the
// magnitude; the quotient's magnitude is at most |value|, so it fits back.
std::int32_t divideBy(std::int32_t value, std::uint32_t divisor) noexcept
{
    const std::uint32_t quotient = magnitude(value) / divisor;
    if (value >= 0) {
        return static_cast<std::int32_t>(quotient);
    }
    // quotient is at least 1 here and at most 2^31, so quotient - 1 fits.
    return -static_cast<std::int32_t>(quotient - 1) - 1;
}

// Divides both arguments by their greatest common divisor, keeping signs.
void cancelCommonFactor(std::int32_t& a, std::int32_t& b) noexcept
{
    const std::uint32_t divisor = commonDivisor(a, b);
    if (divisor != 1) {
        a = divideBy(a, divisor);
        b = divideBy(b, divisor);
    }
}

}  // namespace

std::int32_t gcd(std::int32_t a, std::int32_t b) noexcept
{
    constexpr std::uint32_t kUnrepresentable = 0x80000000U;
    const std::uint32_t divisor = commonDivisor(a, b);
    return static_cast<std::int32_t>(divisor == kUnrepresentable ? divisor / 2 : divisor);
}

void Fraction::copyFrom(const Fraction& source) noexcept
{
    valid = source.valid;
    if (source.valid) {
        numerator = source.numerator;
        denominator = source.denominator;
    }
}

bool Fraction::setValue(std::int32_t newNumerator, std::int32_t newDenominator) noexcept
{
    if (newDenominator == 0) {
        valid = false;
        return false;
    }
    const double quotient = static_cast<double>(newNumerator) / newDenominator;
    if (quotient > VALUE_LIMIT || quotient < -VALUE_LIMIT) {
        valid = false;
        return false;
    }
    numerator = newNumerator;
    denominator = newDenominator;
    valid = true;
    return true;
}

void Fraction::setZero() noexcept
{
    numerator = 0;
    denominator = 1;
    valid = true;
}

bool Fraction::isValid() const noexcept
{
    return valid;
}

bool Fraction::isZero() const noexcept
{
    return valid && numerator == 0;
}

bool Fraction::isPositive() const noexcept
{
    return valid && numerator != 0 &&
           ((numerator > 0 && denominator > 0) || (numerator < 0 && denominator < 0));
}

double Fraction::toDouble() const noexcept
{
    return valid ? static_cast<double>(numerator) / denominator : kInvalidDouble;
}

void Fraction::reduce() noexcept
{
    cancelCommonFactor(numerator, denominator);
}

bool Fraction::equal(const Fraction& other) const noexcept
{
    if (this == &other) {
        return true;
    }
    if (!valid || !other.valid) {
        return false;
    }
    Fraction left(*this);
    Fraction right(other);
    left.reduce();
    right.reduce();
    if (left.numerator == 0 && right.numerator == 0) {
        return true;
    }
    return left.numerator == right.numerator && left.denominator == right.denominator;
}

void Fraction::print(std::ostream& out) const
{
    if (!valid) {
        out << "Invalid Fraction!! ";
        return;
    }
    // The sign test runs in floating point, where the product cannot overflow.
    if (static_cast<double>(numerator) * denominator < 0) {
        out << "- ";
    }
    out << magnitude(numerator) << " / " << magnitude(denominator) << ' ';
}

std::int32_t Fraction::checkedMultiply(std::int32_t a, std::int32_t b) noexcept
{
    if (!valid) {
        return 1;
    }
    const std::int64_t product = std::int64_t{a} * b;
    if (!fitsInPart(product)) {
        valid = false;
        return 1;
    }
    return static_cast<std::int32_t>(product);
}

std::int32_t Fraction::checkedSum(std::int64_t a, std::int64_t b) noexcept
{
    if (!valid) {
        return 1;
    }
    const std::int64_t sum = a + b;
    if (!fitsInPart(sum)) {
        valid = false;
        return 1;
    }
    return static_cast<std::int32_t>(sum);
}

void Fraction::add(const Fraction& other) noexcept
{
    accumulate(other, false);
}

void Fraction::subtract(const Fraction& other) noexcept
{
    accumulate(other, true);
}

void Fraction::accumulate(const Fraction& other, bool negateOther) noexcept
{
    if (!valid || !other.valid) {
        valid = false;
        return;
    }
    reduce();
    Fraction term(other);
    term.reduce();
    // The common denominator is the plain product of the reduced
    // denominators, so its sign says whether exactly one of them is negative.
    const std::int32_t commonDenominator = checkedMultiply(denominator, term.denominator);
    const std::int32_t ownScaled = checkedMultiply(numerator, term.denominator);
    const std::int32_t termScaled = checkedMultiply(denominator, term.numerator);
    // Subtraction negates the scaled term in 64 bits: negating the operand's
    // numerator first would overflow for -2147483648.
    numerator = checkedSum(ownScaled, negateOther ? -std::int64_t{termScaled} : termScaled);
    denominator = commonDenominator;
    reduce();
}

void Fraction::multiply(const Fraction& other) noexcept
{
    if (!valid) {
        return;
    }
    if (!other.valid) {
        valid = false;
        return;
    }
    // Take the operand's parts first: other may be this very fraction.
    std::int32_t otherNumerator = other.numerator;
    std::int32_t otherDenominator = other.denominator;
    cancelCommonFactor(otherNumerator, otherDenominator);
    reduce();
    // Cancelling across before multiplying keeps the products as small as
    // the result allows and leaves the result in lowest terms.
    cancelCommonFactor(numerator, otherDenominator);
    cancelCommonFactor(denominator, otherNumerator);
    numerator = checkedMultiply(numerator, otherNumerator);
    denominator = checkedMultiply(denominator, otherDenominator);
}

void Fraction::divide(const Fraction& other) noexcept
{
    if (!valid) {
        return;
    }
    if (!other.valid || other.numerator == 0) {
        valid = false;
        return;
    }
    // The reciprocal goes through setValue, whose bound refuses divisors
    // closer to zero than 1/VALUE_LIMIT.
    Fraction reciprocal;
    reciprocal.setValue(other.denominator, other.numerator);
    multiply(reciprocal);
}

bool Fraction::isGreater(const Fraction& other) const noexcept
{
    if (!valid || !other.valid) {
        return false;
    }
    // Cross-multiplied over positive denominators; every part's magnitude is
    // at most 2^31, so the 64-bit products are exact.
    const std::int64_t ownSign = denominator < 0 ? -1 : 1;
    const std::int64_t otherSign = other.denominator < 0 ? -1 : 1;
    const std::int64_t ownNumerator = ownSign * numerator;
    const std::int64_t ownDenominator = ownSign * denominator;
    const std::int64_t otherNumerator = otherSign * other.numerator;
    const std::int64_t otherDenominator = otherSign * other.denominator;
    return ownNumerator * otherDenominator > otherNumerator * ownDenominator;
}

void Fraction::writeBinary(std::ostream& out) const
{
    std::array<char, FRACTION_RECORD_SIZE> record{};
    if (!valid) {
        encodeInt32(INVALID_MARK, record.data());
        encodeInt32(INVALID_MARK, record.data() + 4);
    } else if (numerator == INVALID_MARK && denominator == INVALID_MARK) {
        encodeInt32(1, record.data());
        encodeInt32(1, record.data() + 4);
    } else {
        encodeInt32(numerator, record.data());
        encodeInt32(denominator, record.data() + 4);
    }
    out.write(record.data(), static_cast<std::streamsize>(record.size()));
}

void Fraction::readBinary(std::istream& in)
{
    std::array<char, FRACTION_RECORD_SIZE> record{};
    in.read(record.data(), static_cast<std::streamsize>(record.size()));
    if (in.gcount() != static_cast<std::streamsize>(record.size())) {
        valid = false;
        return;
    }
    const std::int32_t storedNumerator = decodeInt32(record.data());
    const std::int32_t storedDenominator = decodeInt32(record.data() + 4);
    const bool marked = storedNumerator == INVALID_MARK && storedDenominator == INVALID_MARK;
    if (marked || storedDenominator == 0) {
        valid = false;
        return;
    }
    numerator = storedNumerator;
    denominator = storedDenominator;
    valid = true;
}

void unitTest()
{
    Fraction f1;
    FRACTION_CHECK(f1.setValue(1245, -1230));
    f1.print(std::cout);
    std::cout << std::endl;
    FRACTION_CHECK(!f1.isPositive());
    FRACTION_CHECK(!f1.setValue(1234, 0));
    FRACTION_CHECK(!f1.setValue(10001, 1));
    FRACTION_CHECK(!f1.setValue(10001, -1));

    Fraction f2;
    f2.copyFrom(f1);
    FRACTION_CHECK(!f2.isValid());
    FRACTION_CHECK(f1.setValue(1234, 5678));
    f2.copyFrom(f1);
    FRACTION_CHECK(f1.equal(f2));
    f1.setZero();
    FRACTION_CHECK(f2.setValue(0, 100));
    FRACTION_CHECK(f2.isZero());
    FRACTION_CHECK(f1.equal(f2));

    FRACTION_CHECK(gcd(12, 94) == 2);
    FRACTION_CHECK(gcd(12, 84) == 12);
    FRACTION_CHECK(gcd(14235, 1235) == 65);
    FRACTION_CHECK(gcd(-2345434, 234556) == 14);
    FRACTION_CHECK(gcd(1234, 0) == 1);

    f1.setValue(14235, 1235);
    f2.setValue(14235, 1235);
    f1.reduce();
    FRACTION_CHECK(f1.equal(f2));
    f1.setValue(949, 14235);
    f2.setValue(1, 15);
    f1.reduce();
    FRACTION_CHECK(f1.equal(f2));
    FRACTION_CHECK(f1.equal(f1));
    f1.setValue(100001, 1);
    f2.setValue(100001, 1);
    FRACTION_CHECK(!f1.equal(f2));

    f1.setValue(1, 2);
    f2.setValue(3, 4);
    FRACTION_CHECK(f2.isGreater(f1));
    f1.multiply(f2);
    f2.setValue(3, 8);
    FRACTION_CHECK(f1.equal(f2));
    f1.setValue(2, 18);
    f2.setValue(3, 4);
    f1.multiply(f2);
    f2.setValue(1, 12);
    FRACTION_CHECK(f1.equal(f2));
    f1.setValue(2, 18);
    f2.setValue(4, 3);
    f1.divide(f2);
    f2.setValue(1, 12);
    FRACTION_CHECK(f1.equal(f2));
    f1.setValue(123, 456);
    f2.setValue(789, 6543);
    f1.add(f2);
    f2.setValue(129397, 331512);
    FRACTION_CHECK(f1.equal(f2));
    f1.setValue(504, 3273);
    f2.setValue(43, 27);
    f1.subtract(f2);
    f2.setValue(-42377, 29457);
    FRACTION_CHECK(f1.equal(f2));
    f1.print(std::cout);
    std::cout << std::endl;

    // The round trip's stream results are deliberately not examined: the
    // comparison after reading back is what tells whether the file worked.
    std::ofstream recordOut("unitTest.dat", std::ios::binary | std::ios::out | std::ios::trunc);
    f1.writeBinary(recordOut);
    recordOut.close();
    std::ifstream recordIn("unitTest.dat", std::ios::binary | std::ios::in);
    f2.setZero();
    f2.readBinary(recordIn);
    recordIn.close();
    FRACTION_CHECK(f1.equal(f2));

    FRACTION_CHECK(f1.setValue(-5406247, 3750));
    f1.print(std::cout);
    std::cout << std::endl;
    FRACTION_CHECK(!f1.isPositive());

    std::cout << "All unit tests completed\n";
}
