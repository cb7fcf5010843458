#pragma once

/// @file
/// The Fraction value type: a bounded rational number with 32-bit parts.

#include <charconv>
#if defined(__has_include)
#if __has_include(<bit>)
#include <bit>
#endif
#endif
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <limits>
#include <numeric>
#include <string>
#include <type_traits>

#include "fraction/Export.h"
#include "fraction/FractionRecord.h"

#if defined(__has_include)
#if __has_include(<version>)
#include <version>
#endif
#endif
/// Defined as 1 where the standard library has a complete std::format, and
/// with it the std::formatter for Fraction below: where the library says so
/// through __cpp_lib_format, and in C++20 with libc++ 16 to 18, whose
/// std::format is complete (in 16 behind -fexperimental-library) though they
/// do not define that macro.
#if defined(__cpp_lib_format) ||                                                        \
    (__cplusplus >= 202002L && defined(_LIBCPP_VERSION) && _LIBCPP_VERSION >= 160000 && \
     !defined(_LIBCPP_HAS_NO_INCOMPLETE_FORMAT))
#define FRACTION_HAS_STD_FORMAT 1
#include <array>
#include <format>
#endif

/// Defined as 1 where the language and the library have operator<=>: there
/// Fraction has it, and the other relational operators come from it.
#if defined(__cpp_impl_three_way_comparison) && defined(__cpp_lib_three_way_comparison)
#define FRACTION_HAS_THREE_WAY_COMPARISON 1
#include <compare>
#endif

/// constexpr where a Fraction can be: from C++20, which allows its virtual
/// destructor in a constant expression. Before that, nothing.
#if defined(__cpp_constexpr) && __cpp_constexpr >= 201907L
#define FRACTION_CONSTEXPR constexpr
#else
#define FRACTION_CONSTEXPR
#endif

/// Keeps a rarely taken path out of the function that calls it, so that the
/// compiler inlines the common path's own calls there.
#if defined(__GNUC__)
#define FRACTION_RARE_PATH __attribute__((noinline, cold))
#else
#define FRACTION_RARE_PATH
#endif

/// Everything the fraction library declares.
namespace fraction {

/// setValue accepts only values whose quotient lies within plus or minus this bound.
constexpr std::int32_t VALUE_LIMIT = 10000;

/// The longest text form: "- ", two ten-digit magnitudes around " / ", a space.
constexpr std::size_t FRACTION_TEXT_CAPACITY = 26;

/// Greatest common divisor of the magnitudes of a and b, always at least 1 so
/// that dividing by it is safe: 1 when either argument is 0. The one common
/// divisor that does not fit, 2^31 (both arguments -2147483648), is answered
/// with 2^30, which still divides both.
[[nodiscard]] FRACTION_EXPORT std::int32_t gcd(std::int32_t a, std::int32_t b) noexcept;

/// What the public declarations need and no user should call.
namespace detail {

/// Integer types a fraction compares and computes with: any but bool (one
/// wider than 64 bits is compared, and refused where computed with).
template <typename Integer>
using IfInteger = std::enable_if_t<
    std::is_integral_v<Integer> && !std::is_same_v<std::remove_cv_t<Integer>, bool>, int>;

/// The one magnitude a part holds only when negative.
constexpr std::uint64_t TWO_TO_31 = std::uint64_t{1} << 31U;

/// True when a part of this sign and magnitude fits in 32 bits.
constexpr bool fitsAsPart(std::uint64_t magnitude, bool negative) noexcept
{
    return magnitude < TWO_TO_31 || (negative && magnitude == TWO_TO_31);
}

/// The part of this sign and magnitude, which fitsAsPart.
constexpr std::int32_t partOf(std::uint64_t magnitude, bool negative) noexcept
{
    const auto bits = static_cast<std::uint32_t>(magnitude);
    return static_cast<std::int32_t>(negative ? 0U - bits : bits);
}

/// The sign of any integer, and its magnitude, which 64 bits always hold.
struct SignedMagnitude {
    /// True for a value below zero.
    bool negative;
    /// |value|.
    std::uint64_t magnitude;
};

/// The sign and magnitude of value.
template <typename Integer>
constexpr SignedMagnitude signedMagnitude(Integer value) noexcept
{
    static_assert(sizeof(Integer) <= sizeof(std::uint64_t),
                  "a fraction computes with integers of at most 64 bits");
    if constexpr (std::is_signed_v<Integer>) {
        if (value < 0) {
            return {true, 0U - static_cast<std::uint64_t>(value)};
        }
    }
    return {false, static_cast<std::uint64_t>(value)};
}

/// 32-bit parts for the value n / d, with `fits` false where none hold it.
struct PartsResult {
    /// False where no 32-bit parts hold the value.
    bool fits;
    /// The numerator, where the value fits.
    std::int32_t numerator;
    /// The denominator, where the value fits.
    std::int32_t denominator;
};

/// Parts that fit are kept as given (2/4 stays 2/4, signs where they are);
/// others are brought to lowest terms and the signs moved to where they
/// fit: a negative value's sign goes on the numerator, unless the
/// denominator is 2^31, which only its negative holds; a positive value
/// with a part of 2^31 takes a sign on both. A zero denominator never fits.
constexpr PartsResult partsFor(SignedMagnitude n, SignedMagnitude d) noexcept
{
    if (d.magnitude == 0) {
        return {false, 0, 1};
    }
    if (fitsAsPart(n.magnitude, n.negative) && fitsAsPart(d.magnitude, d.negative)) {
        return {true, partOf(n.magnitude, n.negative), partOf(d.magnitude, d.negative)};
    }
    std::uint64_t top = n.magnitude;
    std::uint64_t bottom = d.magnitude;
    const std::uint64_t divisor = std::gcd(top, bottom);
    top /= divisor;
    bottom /= divisor;
    const bool negative = top != 0 && n.negative != d.negative;
    const bool wide = top == TWO_TO_31 || bottom == TWO_TO_31;
    const bool topNegative = negative ? bottom != TWO_TO_31 : wide;
    const bool bottomNegative = negative ? bottom == TWO_TO_31 : wide;
    if (!fitsAsPart(top, topNegative) || !fitsAsPart(bottom, bottomNegative)) {
        return {false, 0, 1};
    }
    return {true, partOf(top, topNegative), partOf(bottom, bottomNegative)};
}

/// A value as its sign and the magnitudes of its parts, wide enough for
/// the exact sum, product or quotient of two fractions' values.
struct SignedFraction {
    /// True for a value below zero.
    bool negative;
    /// |numerator|.
    std::uint64_t numerator;
    /// |denominator|, not zero.
    std::uint64_t denominator;
};

/// Parts for the value in lowest terms (0/1 for zero), the sign on the
/// numerator where it fits there.
constexpr PartsResult lowestParts(SignedFraction value) noexcept
{
    const std::uint64_t divisor = std::gcd(value.numerator, value.denominator);
    const std::uint64_t top = value.numerator / divisor;
    return partsFor({value.negative && top != 0, top}, {false, value.denominator / divisor});
}

// The operations below take values of 32-bit parts: every magnitude is at
// most 2^31, so each product is at most 2^62 and a sum of two at most 2^63.

/// a + b, exactly.
constexpr PartsResult exactSum(SignedFraction a, SignedFraction b) noexcept
{
    const std::uint64_t left = a.numerator * b.denominator;
    const std::uint64_t right = b.numerator * a.denominator;
    const std::uint64_t denominator = a.denominator * b.denominator;
    if (a.negative == b.negative) {
        return lowestParts({a.negative, left + right, denominator});
    }
    return left >= right ? lowestParts({a.negative, left - right, denominator})
                         : lowestParts({b.negative, right - left, denominator});
}

/// a - b, exactly.
constexpr PartsResult exactDifference(SignedFraction a, SignedFraction b) noexcept
{
    return exactSum(a, {!b.negative, b.numerator, b.denominator});
}

/// a * b, exactly.
constexpr PartsResult exactProduct(SignedFraction a, SignedFraction b) noexcept
{
    return lowestParts(
        {a.negative != b.negative, a.numerator * b.numerator, a.denominator * b.denominator});
}

/// a / b, exactly; nothing fits for a zero divisor.
constexpr PartsResult exactQuotient(SignedFraction a, SignedFraction b) noexcept
{
    if (b.numerator == 0) {
        return {false, 0, 1};
    }
    return lowestParts(
        {a.negative != b.negative, a.numerator * b.denominator, a.denominator * b.numerator});
}

/// base to the power exponent, exactly, for a base that is not zero where
/// the exponent is negative. In lowest terms the parts of a power are
/// powers of the base's lowest parts, so they are raised one factor at a
/// time until one passes 2^31, which a base other than 0, 1 and -1 does
/// within 32 factors.
constexpr PartsResult exactPower(SignedFraction base, int exponent) noexcept
{
    const std::uint64_t divisor = std::gcd(base.numerator, base.denominator);
    std::uint64_t top = base.numerator / divisor;
    std::uint64_t bottom = base.denominator / divisor;
    auto remaining = static_cast<unsigned>(exponent);
    remaining = exponent < 0 ? 0U - remaining : remaining;
    const bool negative = base.negative && (remaining & 1U) != 0;
    if (exponent < 0) {
        const std::uint64_t swapped = top;
        top = bottom;
        bottom = swapped;
    }
    std::uint64_t topPower = 1;
    std::uint64_t bottomPower = 1;
    if (remaining != 0 && top <= 1 && bottom == 1) {
        topPower = top;
    } else {
        for (; remaining != 0 && topPower <= TWO_TO_31 && bottomPower <= TWO_TO_31; --remaining) {
            topPower *= top;
            bottomPower *= bottom;
        }
    }
    return partsFor({negative && topPower != 0, topPower}, {false, bottomPower});
}

/// Beyond the magnitude of every fraction, 2^31, and small enough that its
/// product with any part fits in 64 bits.
constexpr std::int64_t INTEGER_BOUND = (std::int64_t{1} << 31) + 1;

/// value, or the nearer of plus and minus INTEGER_BOUND when it lies beyond
/// them: no fraction lies between the bound and anything past it, so every
/// comparison with a fraction comes out the same.
template <typename Integer>
constexpr std::int64_t clampedInteger(Integer value) noexcept
{
    if constexpr (std::is_signed_v<Integer>) {
        if (value < -INTEGER_BOUND) {
            return -INTEGER_BOUND;
        }
        if (value > INTEGER_BOUND) {
            return INTEGER_BOUND;
        }
    } else if (static_cast<std::uint64_t>(value) > static_cast<std::uint64_t>(INTEGER_BOUND)) {
        return INTEGER_BOUND;
    }
    return static_cast<std::int64_t>(value);
}

/// a / b > c / d, exactly, for non-zero b and d with signs on any part.
[[nodiscard]] constexpr bool isGreaterValue(std::int32_t a, std::int32_t b, std::int32_t c,
                                            std::int32_t d) noexcept
{
    // Cross-multiplied in 64 bits, where every product of two parts is exact;
    // multiplying by b * d turns the order round when that is negative.
    // Bitwise operators keep it free of branches on the values, which a sort
    // could not predict.
    const std::int64_t left = std::int64_t{a} * d;
    const std::int64_t right = std::int64_t{c} * b;
    const auto turned = static_cast<unsigned>(b < 0) ^ static_cast<unsigned>(d < 0);
    const auto differ = static_cast<unsigned>(left != right);
    return (differ & (static_cast<unsigned>(left > right) ^ turned)) != 0U;
}

/// -1, 0 or 1 as a / b is less than, equal to or greater than c / d, for
/// non-zero b and d with signs on any part; exact, in 64 bits.
constexpr int compareValues(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) noexcept
{
    // Multiplying both sides by b * d turns the order round when that is
    // negative. Compared rather than subtracted: the difference of two
    // products of 2^62 would not fit.
    const std::int64_t left = a * d;
    const std::int64_t right = c * b;
    const int order = static_cast<int>(left > right) - static_cast<int>(left < right);
    return (b < 0) != (d < 0) ? -order : order;
}

/// The number of zero bits below the lowest one, in a non-zero value.
inline FRACTION_CONSTEXPR int trailingZeros(std::uint32_t bits) noexcept
{
#if defined(__cpp_lib_bitops)
    return std::countr_zero(bits);
#elif defined(__GNUC__)
    return __builtin_ctz(bits);
#else
    int zeros = 0;
    for (; (bits & 1U) == 0; bits >>= 1U) {
        ++zeros;
    }
    return zeros;
#endif
}

/// True when the value fits in a 32-bit part.
inline FRACTION_CONSTEXPR bool fitsInPart(std::int64_t value) noexcept
{
    return value >= INT32_MIN && value <= INT32_MAX;
}

/// All ones for a negative value, zero otherwise.
inline FRACTION_CONSTEXPR std::uint32_t signMask(std::int32_t value) noexcept
{
    return 0U - (static_cast<std::uint32_t>(value) >> 31U);
}

/// bits, negated modulo 2^32 where mask is all ones. Arithmetic rather than a
/// branch: signs in real data follow no pattern a processor could predict.
inline FRACTION_CONSTEXPR std::uint32_t negateWhere(std::uint32_t mask, std::uint32_t bits) noexcept
{
    return (bits ^ mask) - mask;
}

/// |value| in unsigned arithmetic, where -2147483648 has a magnitude too.
inline FRACTION_CONSTEXPR std::uint32_t magnitude(std::int32_t value) noexcept
{
    return negateWhere(signMask(value), static_cast<std::uint32_t>(value));
}

/// The greatest common divisor of the magnitudes, or 1 when either is zero.
/// Unsigned, so that 2^31 is a possible answer.
inline FRACTION_CONSTEXPR std::uint32_t commonDivisor(std::int32_t a, std::int32_t b) noexcept
{
    std::uint32_t x = magnitude(a);
    std::uint32_t y = magnitude(b);
    if (x == 0 || y == 0) {
        return 1;
    }
    // A part sixteen times the other or more, as a whole number over a small
    // denominator, is first brought down by one of Euclid's divisions, which
    // sheds those bits at once where the loop below would take a step for
    // every one or two of them. Neither part is made the larger first: which
    // one is, is a coin toss in real data, and a branch on it would be
    // mispredicted half the time.
    if ((x >> 4U) >= y) {
        x %= y;
        if (x == 0) {
            return y;
        }
    } else if ((y >> 4U) >= x) {
        y %= x;
        if (y == 0) {
            return x;
        }
    }
    // Stein's binary algorithm without a branch inside the loop: the signs
    // of differences in real data follow no pattern that a processor could
    // predict. (Sedjelmaci's mixed binary Euclid, Boost's choice, branches
    // on them: faster over a few thousand pairs gone through again and
    // again, whose branches the processor learns, and much slower over a
    // report's fresh fractions.) The trailing zeros are taken from the difference itself, so
    // that counting them runs beside taking its magnitude. Both odd parts
    // lie in [1, 2^31 - 1] (the odd part of 2^31 is 1), so their difference
    // and its magnitude fit in a signed 32-bit integer, which 32-bit
    // processors handle in one register.
    auto odd = static_cast<std::int32_t>(x >> trailingZeros(x));
    auto other = static_cast<std::int32_t>(y >> trailingZeros(y));
    while (odd != other) {
        const std::int32_t difference = other - odd;
        odd = odd < other ? odd : other;
        other = (difference < 0 ? -difference : difference) >>
                trailingZeros(static_cast<std::uint32_t>(difference));
    }
    return static_cast<std::uint32_t>(odd) << trailingZeros(x | y);
}

/// value / divisor for a divisor of value, in unsigned arithmetic on the
/// magnitude; the quotient's magnitude is at most |value|, so it fits back.
inline FRACTION_CONSTEXPR std::int32_t divideBy(std::int32_t value, std::uint32_t divisor) noexcept
{
    const std::uint32_t mask = signMask(value);
    return static_cast<std::int32_t>(negateWhere(mask, magnitude(value) / divisor));
}

/// Divides both arguments by their greatest common divisor, keeping signs.
inline FRACTION_CONSTEXPR void cancelCommonFactor(std::int32_t& a, std::int32_t& b) noexcept
{
    const std::uint32_t divisor = commonDivisor(a, b);
    if (divisor != 1) {
        a = divideBy(a, divisor);
        b = divideBy(b, divisor);
    }
}

/// The product a * b. When it leaves the 32-bit range `valid` becomes false;
/// while it is false every call answers 1, so a chain of products stops
/// contributing at the first overflow.
inline FRACTION_CONSTEXPR std::int32_t checkedMultiply(bool& valid, std::int32_t a,
                                                       std::int32_t b) noexcept
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

/// The sum a + b, checked as checkedMultiply checks a product.
inline FRACTION_CONSTEXPR std::int32_t checkedSum(bool& valid, std::int64_t a,
                                                  std::int64_t b) noexcept
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

}  // namespace detail

/// A rational number with 32-bit parts and a validity flag. Operations never
/// fail loudly: anything that cannot produce a sound value (a zero denominator,
/// a division by zero, a result outside 32 bits, an invalid operand) marks the
/// result invalid instead.
///
/// The arithmetic operators (+ - * / with fractions or integers on either
/// side, their compound forms, unary -, abs and pow) are exact: they give
/// the value in lowest terms (a zero as 0/1) whenever some 32-bit parts,
/// with a sign on either, hold it, and an invalid fraction otherwise. The
/// named operations add(), subtract(), multiply() and divide() keep their
/// own algorithm, on which the program's self-test and report rely: every
/// product is checked in 32 bits on the way, so they refuse some results
/// that fit (1073741823/2 + 1/2), a zero keeps the denominator it was
/// computed with, and divide() refuses a divisor nearer zero than
/// 1/VALUE_LIMIT. Where a named operation gives a value, the operator gives
/// the same one.
///
/// The comparison operators compare values: `==` holds between equal values
/// however they are stored (1/-2, -1/2 and 2/-4 are all equal), and between
/// any two invalid fractions, which are all alike and equal to no valid
/// one. The order puts every invalid fraction after every valid value.
/// They differ from the older equal() and isGreater(): equal() compares
/// signs as stored (1/-2 does not equal -1/2) and an invalid fraction there
/// equals only itself; isGreater() is false whenever either fraction is
/// invalid. A fraction compares with an integer of any type exactly, on
/// either side. No valid fraction has a zero denominator: setValue,
/// setFromRecord and readBinary refuse one, and no operation makes one.
class FRACTION_EXPORT Fraction {
public:
    /// Holds 0/1 and is NOT valid: `Fraction{}` is no zero. A default
    /// fraction is one not yet given a value, and everything computed from
    /// it is invalid too, so start a sum at `Fraction{0}`:
    /// `std::accumulate(v.begin(), v.end(), fraction::Fraction{0})`.
    Fraction() noexcept = default;
    /// numeratorValue/denominatorValue stored exactly as given (no
    /// reduction, signs where they are), valid for any non-zero denominator,
    /// as a record holds it: setValue's bound of VALUE_LIMIT is not a
    /// constructor's (Fraction(20000, 1) is valid). A zero denominator gives
    /// an invalid fraction (holding 0/1).
    FRACTION_CONSTEXPR Fraction(std::int32_t numeratorValue, std::int32_t denominatorValue) noexcept
        : valid(denominatorValue != 0),
          storedDenominator(denominatorValue != 0 ? denominatorValue : 1),
          storedNumerator(denominatorValue != 0 ? numeratorValue : 0)
    {
    }
    /// numeratorValue/denominatorValue of any integer types, their exact
    /// value or invalid: parts that fit in 32 bits are taken as the
    /// constructor of two 32-bit parts takes them; wider ones are brought
    /// to lowest terms and the signs moved to fit (Fraction(1, 2147483648u)
    /// is -1/-2147483648). Where no 32-bit parts hold the value, or the
    /// denominator is zero, the fraction is invalid.
    template <typename Numerator, typename Denominator, detail::IfInteger<Numerator> = 0,
              detail::IfInteger<Denominator> = 0>
    FRACTION_CONSTEXPR Fraction(Numerator numeratorValue, Denominator denominatorValue) noexcept
    {
        const detail::PartsResult parts = detail::partsFor(
            detail::signedMagnitude(numeratorValue), detail::signedMagnitude(denominatorValue));
        if (parts.fits) {
            storedNumerator = parts.numerator;
            storedDenominator = parts.denominator;
            valid = true;
        }
    }
    /// The integer's exact value, as Fraction(value, 1): value/1 when it
    /// fits in 32 bits, -2147483648/-1 for 2^31, invalid beyond. Implicit,
    /// so that `x + 1` and `x < 2` read as they would for a built-in number.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    // cppcheck-suppress noExplicitConstructor ; implicit on purpose, as above
    FRACTION_CONSTEXPR Fraction(Integer value) noexcept : Fraction(value, 1)
    {
    }
    /// Copies the flag and both parts exactly, valid or not.
    Fraction(const Fraction&) noexcept = default;
    /// Copies the flag and both parts exactly, valid or not.
    Fraction& operator=(const Fraction&) noexcept = default;
    /// Nothing to release: the fraction owns no resources.
    // Braces rather than = default: GCC 12 takes a defaulted virtual
    // constexpr destructor for one not yet defined where a braced list of
    // fractions is constant-initialized.
    FRACTION_CONSTEXPR virtual ~Fraction() {}  // NOLINT(modernize-use-equals-default)

    /// Takes the source's validity, but its parts only when the source is
    /// valid: an invalid source leaves this fraction's parts as they were.
    FRACTION_CONSTEXPR void copyFrom(const Fraction& source) noexcept
    {
        valid = source.valid;
        if (source.valid) {
            storedNumerator = source.storedNumerator;
            storedDenominator = source.storedDenominator;
        }
    }

    /// Stores newNumerator/newDenominator exactly as given (no reduction,
    /// signs where they are) when the denominator is non-zero and the quotient
    /// lies within plus or minus VALUE_LIMIT; otherwise marks the fraction
    /// invalid, keeps its parts and returns false.
    FRACTION_CONSTEXPR bool setValue(std::int32_t newNumerator,
                                     std::int32_t newDenominator) noexcept
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
        storedNumerator = newNumerator;
        storedDenominator = newDenominator;
        valid = true;
        return true;
    }

    /// setValue for parts of any integer types: their exact value, as the
    /// constructor of two integers takes it, goes through the 32-bit
    /// setValue; where no 32-bit parts hold it the fraction becomes invalid
    /// with its parts unchanged.
    template <typename Numerator, typename Denominator, detail::IfInteger<Numerator> = 0,
              detail::IfInteger<Denominator> = 0>
    FRACTION_CONSTEXPR bool setValue(Numerator newNumerator, Denominator newDenominator) noexcept
    {
        const detail::PartsResult parts = detail::partsFor(detail::signedMagnitude(newNumerator),
                                                           detail::signedMagnitude(newDenominator));
        if (!parts.fits) {
            valid = false;
            return false;
        }
        return setValue(parts.numerator, parts.denominator);
    }

    /// Makes the fraction a valid 0/1.
    FRACTION_CONSTEXPR void setZero() noexcept
    {
        storedNumerator = 0;
        storedDenominator = 1;
        valid = true;
    }

    /// True when the fraction holds a sound value.
    [[nodiscard]] FRACTION_CONSTEXPR bool isValid() const noexcept { return valid; }
    /// True for a valid fraction with numerator 0, whatever its denominator.
    [[nodiscard]] FRACTION_CONSTEXPR bool isZero() const noexcept
    {
        return valid && storedNumerator == 0;
    }
    /// True for a valid, non-zero fraction whose parts have the same sign.
    [[nodiscard]] FRACTION_CONSTEXPR bool isPositive() const noexcept
    {
        return valid && storedNumerator != 0 &&
               ((storedNumerator > 0 && storedDenominator > 0) ||
                (storedNumerator < 0 && storedDenominator < 0));
    }
    /// The quotient of the parts; 10001.0, one above VALUE_LIMIT, when invalid.
    [[nodiscard]] double toDouble() const noexcept;
    /// The quotient of the parts, or NaN when the fraction is invalid: unlike
    /// toDouble(), whose 10001.0 is a number, no arithmetic or comparison can
    /// take an invalid fraction's double for a value.
    [[nodiscard]] explicit FRACTION_CONSTEXPR operator double() const noexcept
    {
        return valid ? static_cast<double>(storedNumerator) / storedDenominator
                     : std::numeric_limits<double>::quiet_NaN();
    }

    /// The numerator of the value in lowest terms with a positive
    /// denominator: 3 for 6/4, -3 for 6/-4 and 3/-2, 0 for every zero.
    /// An invalid fraction gives 0, with denominator() 1. So does a valid
    /// value with no such form in 32 bits, one whose lowest terms have a
    /// part of 2^31 that cannot be made negative: 2147483648
    /// (-2147483648/-1) and n/2147483648 (1/-2147483648); numerator() is 0
    /// for a non-zero valid value only then. to_chars writes every value.
    [[nodiscard]] std::int32_t numerator() const noexcept { return lowestTerms().numerator; }
    /// The denominator of the value in lowest terms, always positive: 2 for
    /// 6/4 and 6/-4, 1 for every zero; 1 where numerator() gives 0 for want
    /// of a form.
    [[nodiscard]] std::int32_t denominator() const noexcept { return lowestTerms().denominator; }

    /// The parts as stored; they carry no meaning while the fraction is invalid.
    [[nodiscard]] FRACTION_CONSTEXPR std::int32_t numeratorPart() const noexcept
    {
        return storedNumerator;
    }
    /// See numeratorPart().
    [[nodiscard]] FRACTION_CONSTEXPR std::int32_t denominatorPart() const noexcept
    {
        return storedDenominator;
    }

    /// Divides both parts by their greatest common divisor; each part keeps
    /// its sign (6/-4 becomes 3/-2). Runs whether or not the fraction is valid.
    FRACTION_CONSTEXPR void reduce() noexcept
    {
        detail::cancelCommonFactor(storedNumerator, storedDenominator);
    }

    /// Value equality with signs compared as stored: 2/4 equals 1/2, but 1/-2
    /// does not equal -1/2. Any two zeros are equal. A fraction always equals
    /// itself; otherwise an invalid fraction equals nothing.
    [[nodiscard]] bool equal(const Fraction& other) const noexcept;

    /// The text form: "- " for a negative value, the magnitudes of the parts
    /// as stored around " / ", and a space; or "Invalid Fraction!! ". No line
    /// end. Written into `buffer`, which holds at least FRACTION_TEXT_CAPACITY
    /// characters; returns the end of what was written.
    char* formatText(char* buffer) const noexcept;

    /// Writes the text form to the stream.
    void print(std::ostream& out) const;

    /// A hash consistent with operator== (and so with equal(), which holds
    /// between fewer pairs): fractions of equal value hash alike whatever
    /// their parts (1/2, 2/4, -1/-2; 1/-2 and -1/2; every zero), and all
    /// invalid fractions share one hash.
    [[nodiscard]] std::size_t hash() const noexcept;

    /// The product a * b, the one checked product every member operation
    /// forms: 1 when this fraction is already invalid, and 1 with this
    /// fraction made invalid when the product leaves the 32-bit range. Once
    /// one product overflows, every later one answers 1, so a chain of them
    /// stops contributing. Only the flag is used; the parts stay as they are.
    FRACTION_CONSTEXPR std::int32_t checkedMultiply(std::int32_t a, std::int32_t b) noexcept
    {
        return detail::checkedMultiply(valid, a, b);
    }

    /// In-place arithmetic. The operand is never changed and may be this very
    /// fraction. Results are in lowest terms, except that a zero result keeps
    /// the denominator it was computed with (1/2 - 1/2 gives 0/4). A result
    /// that cannot be formed in 32 bits, an invalid operand, or a division by
    /// zero (or by a fraction whose reciprocal setValue refuses) leaves the
    /// receiver invalid.
    FRACTION_CONSTEXPR void add(const Fraction& other) noexcept { accumulate(other, false); }
    /// Subtracts other, as add() adds it.
    FRACTION_CONSTEXPR void subtract(const Fraction& other) noexcept { accumulate(other, true); }
    /// Multiplies by other, under the rules of add().
    FRACTION_CONSTEXPR void multiply(const Fraction& other) noexcept
    {
        if (!valid) {
            return;
        }
        if (!other.valid) {
            valid = false;
            return;
        }
        // The result, when not zero, is the product in lowest terms with the
        // signs where they fall, however it is reached; while the plain products
        // fit in 32 bits, so do the reduced ones, and one gcd does.
        const std::int64_t numeratorAsIs = std::int64_t{storedNumerator} * other.storedNumerator;
        const std::int64_t denominatorAsIs =
            std::int64_t{storedDenominator} * other.storedDenominator;
        if (numeratorAsIs != 0 && detail::fitsInPart(numeratorAsIs) &&
            detail::fitsInPart(denominatorAsIs)) {
            storedNumerator = static_cast<std::int32_t>(numeratorAsIs);
            storedDenominator = static_cast<std::int32_t>(denominatorAsIs);
            reduce();
            return;
        }
        // Take the operand's parts first: other may be this very fraction.
        std::int32_t otherNumerator = other.storedNumerator;
        std::int32_t otherDenominator = other.storedDenominator;
        detail::cancelCommonFactor(otherNumerator, otherDenominator);
        reduce();
        // Cancelling across before multiplying keeps the products as small as
        // the result allows and leaves the result in lowest terms.
        detail::cancelCommonFactor(storedNumerator, otherDenominator);
        detail::cancelCommonFactor(storedDenominator, otherNumerator);
        storedNumerator = detail::checkedMultiply(valid, storedNumerator, otherNumerator);
        storedDenominator = detail::checkedMultiply(valid, storedDenominator, otherDenominator);
    }
    /// Divides by other, under the rules of add().
    FRACTION_CONSTEXPR void divide(const Fraction& other) noexcept
    {
        if (!valid) {
            return;
        }
        if (!other.valid || other.storedNumerator == 0) {
            valid = false;
            return;
        }
        // The reciprocal goes through setValue, whose bound refuses divisors
        // closer to zero than 1/VALUE_LIMIT.
        Fraction inverse;
        inverse.setValue(other.storedDenominator, other.storedNumerator);
        multiply(inverse);
    }

private:
    // left op right in 64-bit magnitudes, for the few operands where the
    // member refuses.
    template <detail::PartsResult (*exact)(detail::SignedFraction, detail::SignedFraction) noexcept>
    [[nodiscard]] FRACTION_RARE_PATH static FRACTION_CONSTEXPR Fraction
    inWideParts(const Fraction& left, const Fraction& right) noexcept
    {
        return fromParts(exact(left.signedFraction(), right.signedFraction()));
    }

    // left op right, exactly. The member operation comes first: it is
    // exact where it succeeds, and quick, its products in 32 bits. Where it
    // refuses, the value is worked out in 64-bit magnitudes, where every
    // sum, product and quotient of 32-bit parts is exact. Both operations
    // are template arguments, not function arguments, so that the compiler
    // knows them where it compiles this and can inline the member. Defined
    // before the operators that use it: clang evaluates them at compile
    // time only with the template's body already seen.
    template <void (Fraction::*member)(const Fraction&) noexcept,
              detail::PartsResult (*exact)(detail::SignedFraction, detail::SignedFraction) noexcept>
    [[nodiscard]] static FRACTION_CONSTEXPR Fraction exactly(const Fraction& left,
                                                             const Fraction& right) noexcept
    {
        if (!left.valid || !right.valid) {
            return invalidFraction();
        }
        Fraction result(left);
        (result.*member)(right);
        if (result.valid) {
            // The member keeps a zero's denominator (1/2 - 1/2 is 0/4).
            if (result.storedNumerator == 0) {
                result.storedDenominator = 1;
            }
            return result;
        }
        return inWideParts<exact>(left, right);
    }

public:
    /// The exact sum, in lowest terms; invalid only for an invalid operand
    /// or where no 32-bit parts, with a sign on either, hold the value.
    /// Unlike add(), which keeps its own algorithm (the plain product of
    /// the reduced denominators, every product checked in 32 bits) and so
    /// refuses some sums that fit, such as 1073741823/2 + 1/2.
    FRACTION_CONSTEXPR Fraction& operator+=(const Fraction& other) noexcept
    {
        return *this = exactly<&Fraction::add, detail::exactSum>(*this, other);
    }
    /// The exact difference, as += gives the sum.
    FRACTION_CONSTEXPR Fraction& operator-=(const Fraction& other) noexcept
    {
        return *this = exactly<&Fraction::subtract, detail::exactDifference>(*this, other);
    }
    /// The exact product, as += gives the sum; 0 * anything valid is 0/1.
    FRACTION_CONSTEXPR Fraction& operator*=(const Fraction& other) noexcept
    {
        return *this = exactly<&Fraction::multiply, detail::exactProduct>(*this, other);
    }
    /// The exact quotient, as += gives the sum; invalid for a zero divisor.
    /// Unlike divide(), no bound applies to the divisor's reciprocal.
    FRACTION_CONSTEXPR Fraction& operator/=(const Fraction& other) noexcept
    {
        return *this = exactly<&Fraction::divide, detail::exactQuotient>(*this, other);
    }

    /// The exact sum; see operator+=.
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction operator+(Fraction left,
                                                               const Fraction& right) noexcept
    {
        return left += right;
    }
    /// The exact difference; see operator+=.
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction operator-(Fraction left,
                                                               const Fraction& right) noexcept
    {
        return left -= right;
    }
    /// The exact product; see operator+=.
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction operator*(Fraction left,
                                                               const Fraction& right) noexcept
    {
        return left *= right;
    }
    /// The exact quotient; see operator+=.
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction operator/(Fraction left,
                                                               const Fraction& right) noexcept
    {
        return left /= right;
    }

    /// The exact sum with an integer of any type, also one beyond 32 bits
    /// (Fraction(-2147483648) + 4294967296u is -2147483648/-1).
    template <typename Integer, detail::IfInteger<Integer> = 0>
    FRACTION_CONSTEXPR Fraction& operator+=(Integer other) noexcept
    {
        return *this = withInteger(*this, detail::signedMagnitude(other), '+');
    }
    /// The exact difference with an integer of any type.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    FRACTION_CONSTEXPR Fraction& operator-=(Integer other) noexcept
    {
        return *this = withInteger(*this, detail::signedMagnitude(other), '-');
    }
    /// The exact product with an integer of any type, also one beyond 32
    /// bits (Fraction(1, -2147483648) * 4294967296 is -2/1).
    template <typename Integer, detail::IfInteger<Integer> = 0>
    FRACTION_CONSTEXPR Fraction& operator*=(Integer other) noexcept
    {
        return *this = withInteger(*this, detail::signedMagnitude(other), '*');
    }
    /// The exact quotient by an integer of any type.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    FRACTION_CONSTEXPR Fraction& operator/=(Integer other) noexcept
    {
        return *this = withInteger(*this, detail::signedMagnitude(other), '/');
    }
    /// See operator+=(Integer).
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction operator+(Fraction left,
                                                               Integer right) noexcept
    {
        return left += right;
    }
    /// See operator+=(Integer).
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction operator+(Integer left,
                                                               const Fraction& right) noexcept
    {
        return withInteger(right, detail::signedMagnitude(left), '+');
    }
    /// See operator-=(Integer).
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction operator-(Fraction left,
                                                               Integer right) noexcept
    {
        return left -= right;
    }
    /// left - right: -(right - left), exactly.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction operator-(Integer left,
                                                               const Fraction& right) noexcept
    {
        return -withInteger(right, detail::signedMagnitude(left), '-');
    }
    /// See operator*=(Integer).
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction operator*(Fraction left,
                                                               Integer right) noexcept
    {
        return left *= right;
    }
    /// See operator*=(Integer).
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction operator*(Integer left,
                                                               const Fraction& right) noexcept
    {
        return withInteger(right, detail::signedMagnitude(left), '*');
    }
    /// See operator/=(Integer).
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction operator/(Fraction left,
                                                               Integer right) noexcept
    {
        return left /= right;
    }
    /// left / right: left times the reciprocal of right, exactly.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction operator/(Integer left,
                                                               const Fraction& right) noexcept
    {
        if (!right.valid || right.storedNumerator == 0) {
            return invalidFraction();
        }
        return withInteger(reciprocal(right), detail::signedMagnitude(left), '*');
    }

    /// The same value with the opposite sign, in lowest terms; invalid for
    /// an invalid fraction. Never fails otherwise: the sign goes where it
    /// fits (-(-2147483648/1) is -2147483648/-1).
    [[nodiscard]] FRACTION_CONSTEXPR Fraction operator-() const noexcept
    {
        if (!valid) {
            return *this;
        }
        const detail::SignedFraction value = signedFraction();
        return fromParts(
            detail::lowestParts({!value.negative, value.numerator, value.denominator}));
    }

    /// The magnitude, in lowest terms (0/1 for zero); invalid only for an
    /// invalid fraction: a magnitude of 2^31 takes a sign on both parts
    /// (|-2147483648/1| is -2147483648/-1).
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction abs(const Fraction& value) noexcept
    {
        if (!value.valid) {
            return value;
        }
        const detail::SignedFraction magnitude = value.signedFraction();
        return fromParts(detail::lowestParts({false, magnitude.numerator, magnitude.denominator}));
    }

    /// The parts exchanged, which is always exact; invalid for zero or an
    /// invalid fraction. `1 / value` has the same value, in lowest terms.
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction reciprocal(const Fraction& value) noexcept
    {
        Fraction result(value);
        result.storedNumerator = value.storedDenominator;
        result.storedDenominator = value.storedNumerator;
        result.valid = value.valid && value.storedNumerator != 0;
        return result;
    }

    /// base multiplied by itself `exponent` times (the reciprocal of that
    /// for a negative exponent), exact and in lowest terms; 1 for exponent
    /// 0, whatever the base. Invalid for an invalid base, for zero to a
    /// negative power, and where no 32-bit parts hold the result.
    [[nodiscard]] friend FRACTION_CONSTEXPR Fraction pow(const Fraction& base,
                                                         int exponent) noexcept
    {
        if (!base.valid || (exponent < 0 && base.storedNumerator == 0)) {
            return invalidFraction();
        }
        return fromParts(detail::exactPower(base.signedFraction(), exponent));
    }

    /// Exact strict order of the values; false when either fraction is invalid.
    [[nodiscard]] FRACTION_CONSTEXPR bool isGreater(const Fraction& other) const noexcept
    {
        return valid && other.valid &&
               detail::isGreaterValue(storedNumerator, storedDenominator, other.storedNumerator,
                                      other.storedDenominator);
    }

    /// Equal values, or both invalid.
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator==(const Fraction& left,
                                                            const Fraction& right) noexcept
    {
        if (!left.valid || !right.valid) {
            return left.valid == right.valid;
        }
        return std::int64_t{left.storedNumerator} * right.storedDenominator ==
               std::int64_t{right.storedNumerator} * left.storedDenominator;
    }
    /// A valid fraction whose value is the integer; never an invalid one.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator==(const Fraction& left,
                                                            Integer right) noexcept
    {
        return left.compareWith(detail::clampedInteger(right)) == 0;
    }

private:
    // The value of a valid fraction as a sign and two magnitudes.
    [[nodiscard]] FRACTION_CONSTEXPR detail::SignedFraction signedFraction() const noexcept
    {
        return {storedNumerator != 0 && (storedNumerator < 0) != (storedDenominator < 0),
                detail::magnitude(storedNumerator), detail::magnitude(storedDenominator)};
    }
    [[nodiscard]] static FRACTION_CONSTEXPR Fraction invalidFraction() noexcept
    {
        return Fraction{};
    }
    // The fraction of these parts, or an invalid one where none fit.
    [[nodiscard]] static FRACTION_CONSTEXPR Fraction fromParts(detail::PartsResult parts) noexcept
    {
        return parts.fits ? Fraction(parts.numerator, parts.denominator) : invalidFraction();
    }

    // fraction op integer, exactly, for an integer of any magnitude. One
    // that fits in 32 bits goes the way of a fraction; a wider one can
    // still give a value 32-bit parts hold, once the fraction in lowest
    // terms shares its factors (1/-2147483648 * 2^32), and is narrowed
    // first to a magnitude of at most 2^32, which keeps every sum and
    // product within 64 bits, or found to give none.
    [[nodiscard]] static FRACTION_CONSTEXPR Fraction withInteger(const Fraction& fraction,
                                                                 detail::SignedMagnitude integer,
                                                                 char operation) noexcept
    {
        constexpr std::uint64_t kTwoTo32 = detail::TWO_TO_31 * 2;
        if (detail::fitsAsPart(integer.magnitude, integer.negative)) {
            const Fraction other(detail::partOf(integer.magnitude, integer.negative));
            switch (operation) {
                case '+':
                    return fraction + other;
                case '-':
                    return fraction - other;
                case '*':
                    return fraction * other;
                default:
                    return fraction / other;
            }
        }
        if (!fraction.valid) {
            return invalidFraction();
        }
        detail::SignedFraction value = fraction.signedFraction();
        const std::uint64_t divisor = std::gcd(value.numerator, value.denominator);
        value.numerator /= divisor;
        value.denominator /= divisor;
        std::uint64_t wide = integer.magnitude;
        if (operation == '*') {
            const std::uint64_t common = std::gcd(wide, value.denominator);
            wide /= common;
            value.denominator /= common;
        } else if (operation == '/') {
            const std::uint64_t common = std::gcd(wide, value.numerator);
            wide /= common;
            value.numerator /= common;
        }
        // A magnitude beyond 2^32 leaves a sum or difference beyond 2^31,
        // and what is left of one in a product or quotient is a factor of
        // a part in lowest terms, so none of them fits.
        if (wide > kTwoTo32 || (operation != '+' && operation != '-' && wide > detail::TWO_TO_31)) {
            return operation == '*' && value.numerator == 0 ? Fraction(0) : invalidFraction();
        }
        const detail::SignedFraction other{integer.negative && wide != 0, wide, 1};
        switch (operation) {
            case '+':
                return fromParts(detail::exactSum(value, other));
            case '-':
                return fromParts(detail::exactDifference(value, other));
            case '*':
                return fromParts(detail::exactProduct(value, other));
            default:
                return fromParts(detail::exactQuotient(value, other));
        }
    }

    // -1, 0 or 1 as this fraction is before, alike or after other in the
    // order of the operators: by value, every invalid one last.
    [[nodiscard]] FRACTION_CONSTEXPR int compareWith(const Fraction& other) const noexcept
    {
        if (!valid || !other.valid) {
            return static_cast<int>(!valid) - static_cast<int>(!other.valid);
        }
        return detail::compareValues(storedNumerator, storedDenominator, other.storedNumerator,
                                     other.storedDenominator);
    }
    // As compareWith, against an integer within plus or minus INTEGER_BOUND.
    [[nodiscard]] FRACTION_CONSTEXPR int compareWith(std::int64_t integer) const noexcept
    {
        return valid ? detail::compareValues(storedNumerator, storedDenominator, integer, 1) : 1;
    }

public:
#if defined(FRACTION_HAS_THREE_WAY_COMPARISON)
    /// The order of values, with every invalid fraction after every valid
    /// one and all invalid fractions equivalent.
    [[nodiscard]] friend FRACTION_CONSTEXPR std::weak_ordering operator<=>(
        const Fraction& left, const Fraction& right) noexcept
    {
        return left.compareWith(right) <=> 0;
    }
    /// The order of the value against the integer; an invalid fraction comes
    /// after every integer.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR std::weak_ordering operator<=>(const Fraction& left,
                                                                           Integer right) noexcept
    {
        return left.compareWith(detail::clampedInteger(right)) <=> 0;
    }
#else
    /// Not ==.
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator!=(const Fraction& left,
                                                            const Fraction& right) noexcept
    {
        return !(left == right);
    }
    /// The order of values, with every invalid fraction after every valid one.
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator<(const Fraction& left,
                                                           const Fraction& right) noexcept
    {
        return left.compareWith(right) < 0;
    }
    /// See operator<.
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator>(const Fraction& left,
                                                           const Fraction& right) noexcept
    {
        return left.compareWith(right) > 0;
    }
    /// See operator<.
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator<=(const Fraction& left,
                                                            const Fraction& right) noexcept
    {
        return left.compareWith(right) <= 0;
    }
    /// See operator<.
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator>=(const Fraction& left,
                                                            const Fraction& right) noexcept
    {
        return left.compareWith(right) >= 0;
    }
    /// See operator==.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator==(Integer left,
                                                            const Fraction& right) noexcept
    {
        return right == left;
    }
    /// See operator==.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator!=(const Fraction& left,
                                                            Integer right) noexcept
    {
        return !(left == right);
    }
    /// See operator==.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator!=(Integer left,
                                                            const Fraction& right) noexcept
    {
        return !(right == left);
    }
    /// The order of the value against the integer; an invalid fraction comes
    /// after every integer.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator<(const Fraction& left,
                                                           Integer right) noexcept
    {
        return left.compareWith(detail::clampedInteger(right)) < 0;
    }
    /// See operator<.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator>(const Fraction& left,
                                                           Integer right) noexcept
    {
        return left.compareWith(detail::clampedInteger(right)) > 0;
    }
    /// See operator<.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator<=(const Fraction& left,
                                                            Integer right) noexcept
    {
        return left.compareWith(detail::clampedInteger(right)) <= 0;
    }
    /// See operator<.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator>=(const Fraction& left,
                                                            Integer right) noexcept
    {
        return left.compareWith(detail::clampedInteger(right)) >= 0;
    }
    /// See operator<.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator<(Integer left,
                                                           const Fraction& right) noexcept
    {
        return right > left;
    }
    /// See operator<.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator>(Integer left,
                                                           const Fraction& right) noexcept
    {
        return right < left;
    }
    /// See operator<.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator<=(Integer left,
                                                            const Fraction& right) noexcept
    {
        return right >= left;
    }
    /// See operator<.
    template <typename Integer, detail::IfInteger<Integer> = 0>
    [[nodiscard]] friend FRACTION_CONSTEXPR bool operator>=(Integer left,
                                                            const Fraction& right) noexcept
    {
        return right <= left;
    }
#endif

    /// The record this fraction is stored as: its parts, or INVALID_RECORD
    /// when it is invalid. A valid 123456789/123456789 is stored as 1/1, so
    /// that the marker pair always means an invalid fraction.
    [[nodiscard]] FRACTION_CONSTEXPR FractionRecord toRecord() const noexcept
    {
        if (!valid) {
            return INVALID_RECORD;
        }
        const FractionRecord parts{storedNumerator, storedDenominator};
        return isMarkerPair(parts) ? FractionRecord{1, 1} : parts;
    }

    /// The fraction a record stores, as setFromRecord takes it into a new one.
    [[nodiscard]] static FRACTION_CONSTEXPR Fraction
    fromRecord(const FractionRecord& record) noexcept
    {
        Fraction fraction;
        fraction.setFromRecord(record);
        return fraction;
    }

    /// Takes the value a record stores. The marker pair or a zero denominator
    /// make the fraction invalid with its parts unchanged.
    FRACTION_CONSTEXPR void setFromRecord(const FractionRecord& record) noexcept
    {
        if (isMarkerPair(record) || record.denominator == 0) {
            valid = false;
            return;
        }
        storedNumerator = record.numerator;
        storedDenominator = record.denominator;
        valid = true;
    }

    /// Writes toRecord() as FRACTION_RECORD_SIZE bytes.
    void writeBinary(std::ostream& out) const;

    /// Reads one record into the fraction as setFromRecord does. A record cut
    /// short by the end of the stream or a read error makes the fraction
    /// invalid with its parts unchanged.
    void readBinary(std::istream& in);

private:
    // What numerator() and denominator() give, both at once.
    [[nodiscard]] FractionRecord lowestTerms() const noexcept;
    // Shared by add and subtract: adds other, or its negation, to this fraction.
    FRACTION_CONSTEXPR void accumulate(const Fraction& other, bool negateOther) noexcept
    {
        if (!valid || !other.valid) {
            valid = false;
            return;
        }
        // Reducing the operands first, as the rule has it, divides each product
        // below and the sum by a positive whole number, and the sum's lowest
        // terms are the same either way. So while everything formed from the
        // parts as they stand fits in 32 bits, the reduced forms fit too and one
        // gcd gives the very result. A zero sum keeps the reduced operands'
        // denominator, which only the full way knows.
        const std::int64_t ownScaledAsIs = std::int64_t{storedNumerator} * other.storedDenominator;
        const std::int64_t termScaledAsIs = std::int64_t{storedDenominator} * other.storedNumerator;
        const std::int64_t denominatorAsIs =
            std::int64_t{storedDenominator} * other.storedDenominator;
        // Summed only once both terms are known to fit in 32 bits: two products
        // of 2^62 would overflow even 64 bits.
        if (detail::fitsInPart(ownScaledAsIs) && detail::fitsInPart(termScaledAsIs) &&
            detail::fitsInPart(denominatorAsIs)) {
            const std::int64_t sumAsIs =
                negateOther ? ownScaledAsIs - termScaledAsIs : ownScaledAsIs + termScaledAsIs;
            if (sumAsIs != 0 && detail::fitsInPart(sumAsIs)) {
                storedNumerator = static_cast<std::int32_t>(sumAsIs);
                storedDenominator = static_cast<std::int32_t>(denominatorAsIs);
                reduce();
                return;
            }
        }
        reduce();
        Fraction term(other);
        term.reduce();
        const std::int32_t ownNumerator = storedNumerator;
        const std::uint32_t denominatorsDivisor =
            detail::commonDivisor(storedDenominator, term.storedDenominator);
        // The common denominator is the plain product of the reduced
        // denominators, so its sign says whether exactly one of them is negative.
        const std::int32_t commonDenominator =
            detail::checkedMultiply(valid, storedDenominator, term.storedDenominator);
        const std::int32_t ownScaled =
            detail::checkedMultiply(valid, storedNumerator, term.storedDenominator);
        const std::int32_t termScaled =
            detail::checkedMultiply(valid, storedDenominator, term.storedNumerator);
        // Subtraction negates the scaled term in 64 bits: negating the operand's
        // numerator first would overflow for -2147483648.
        storedNumerator = detail::checkedSum(valid, ownScaled,
                                             negateOther ? -std::int64_t{termScaled} : termScaled);
        storedDenominator = commonDenominator;
        if (!valid || ownNumerator == 0 || term.storedNumerator == 0 || storedNumerator == 0) {
            reduce();
            return;
        }
        // Both operands are in lowest terms and neither is zero, so the sum's
        // common factor is g * gcd(sum / g, g), where g divides both denominators
        // (Henrici): two gcds of small numbers instead of one of the large sum.
        // The denominators' product fits in 32 bits here, so g < 2^16.
        const auto smallDivisor = static_cast<std::int32_t>(denominatorsDivisor);
        const std::uint32_t factor =
            denominatorsDivisor *
            detail::commonDivisor(detail::divideBy(storedNumerator, denominatorsDivisor),
                                  smallDivisor);
        if (factor != 1) {
            storedNumerator = detail::divideBy(storedNumerator, factor);
            storedDenominator = detail::divideBy(storedDenominator, factor);
        }
    }

    // Invariant: both parts always hold defined integers, also before a first
    // value is given. While `valid` is false they carry no meaning. The sign
    // may sit on either part or both (1/-2, -1/2 and -1/-2 are all kept as
    // they are); nothing is kept in lowest terms except by reduce and by the
    // arithmetic. A valid fraction never has a zero denominator: setValue and
    // readBinary refuse one, and no arithmetic produces one.
    bool valid = false;
    std::int32_t storedDenominator = 1;
    std::int32_t storedNumerator = 0;
};

namespace detail {

/// What the report sorts in place of a fraction: its parts as stored, or
/// {0, 0} for an invalid one. A valid fraction never has a zero
/// denominator, so one comparison tells the two apart.
[[nodiscard]] inline FRACTION_CONSTEXPR FractionRecord orderEntry(const Fraction& value) noexcept
{
    return value.isValid() ? FractionRecord{value.numeratorPart(), value.denominatorPart()}
                           : FractionRecord{0, 0};
}

/// The parts of an entry as one unsigned number that orders by
/// denominator, then by numerator, as signed values.
[[nodiscard]] constexpr std::uint64_t partsKey(const FractionRecord& entry) noexcept
{
    constexpr std::uint32_t kSignBit = 0x80000000U;
    return (std::uint64_t{static_cast<std::uint32_t>(entry.denominator) ^ kSignBit} << 32U) |
           (static_cast<std::uint32_t>(entry.numerator) ^ kSignBit);
}

/// greatestFirst between entries, by value alone: valid entries first,
/// greatest first, invalid ones last; equal values are equivalent here.
/// Free of branches on the values.
[[nodiscard]] constexpr bool valueOrder(const FractionRecord& a, const FractionRecord& b) noexcept
{
    const auto aValid = static_cast<unsigned>(a.denominator != 0);
    const auto bInvalid = static_cast<unsigned>(b.denominator == 0);
    const auto aGreater = static_cast<unsigned>(
        isGreaterValue(a.numerator, a.denominator, b.numerator, b.denominator));
    return (aValid & (bInvalid | aGreater)) != 0U;
}

/// True when two valid entries have the same value.
[[nodiscard]] constexpr bool sameValue(const FractionRecord& a, const FractionRecord& b) noexcept
{
    return std::int64_t{a.numerator} * b.denominator == std::int64_t{b.numerator} * a.denominator;
}

/// greatestFirst between entries: valueOrder made total by the parts.
[[nodiscard]] constexpr bool entryOrder(const FractionRecord& a, const FractionRecord& b) noexcept
{
    const auto aValid = static_cast<unsigned>(a.denominator != 0);
    const auto firstAmongEqual =
        static_cast<unsigned>(sameValue(a, b)) & static_cast<unsigned>(partsKey(a) < partsKey(b));
    return static_cast<unsigned>(valueOrder(a, b)) != 0U || (aValid & firstAmongEqual) != 0U;
}

}  // namespace detail

/// The report's order, as a strict weak order for std::sort and the like:
/// greatest value first, every invalid fraction last; fractions of equal
/// value by their parts as stored, denominator first, then numerator, least
/// first (so 1/1, -1/-1 and 2/2 come as -1/-1, 1/1, 2/2). Two fractions are
/// equivalent only when both are invalid or both have the same parts, so a
/// sorted range depends only on which fractions it holds.
struct GreatestFirst {
    /// True when `a` comes before `b`.
    [[nodiscard]] FRACTION_CONSTEXPR bool operator()(const Fraction& a,
                                                     const Fraction& b) const noexcept
    {
        return detail::entryOrder(detail::orderEntry(a), detail::orderEntry(b));
    }
};

/// The report's order: `std::sort(v.begin(), v.end(), fraction::greatestFirst)`.
inline constexpr GreatestFirst greatestFirst{};

/// Writes the text form print() writes, as a string is written: padded to
/// the stream's width with its fill, before the text unless the stream is
/// set to left, and the width then reset to 0.
FRACTION_EXPORT std::ostream& operator<<(std::ostream& out, const Fraction& fraction);

/// Writes the compact form: the value in lowest terms with a positive
/// denominator, as "n/d" (always with a denominator: "3/1", "0/1"), or
/// "invalid". The parts are those of the value, so a denominator may be
/// 2147483648 (-1/-2147483648 is "1/2147483648"). At most 23 characters.
/// As std::to_chars: {end, errc()} or, where it does not fit, {last,
/// errc::value_too_large} with the range's contents unspecified.
FRACTION_EXPORT std::to_chars_result to_chars(char* first, char* last,
                                              const Fraction& value) noexcept;

/// Reads the compact form from the start of [first, last): "invalid", or a
/// numerator, then optionally "/" and a denominator, each decimal digits
/// with an optional leading "-" (no "+", no spaces); an integer alone is
/// n/1. As std::from_chars, it takes the longest such start and returns
/// where it ended. A value is taken when some 32-bit parts hold it, however
/// many digits its parts are written with: parts that fit are kept as
/// written (2/4 stays 2/4); others are brought to
/// lowest terms and the signs moved to fit ("2147483648/3" gives
/// -2147483648/-3). Fails with errc::invalid_argument, ptr == first and
/// `value` unchanged, where no form starts or the denominator is 0; with
/// errc::result_out_of_range where no 32-bit parts hold the value. So
/// from_chars(to_chars(x)) == x for every fraction x. The parts are read
/// as from_chars into a FractionRecord reads them (PartsText::compact).
FRACTION_EXPORT std::from_chars_result from_chars(const char* first, const char* last,
                                                  Fraction& value) noexcept;

/// The text forms whose parts from_chars reads into a FractionRecord.
enum class PartsText {
    /// The compact form, as to_chars writes it: "n/d" or "invalid", each
    /// part decimal digits with an optional leading "-" (no "+", no
    /// spaces); an integer alone is n/1.
    compact,
    /// The spaced form, as print() writes it and fracfile reads it:
    /// "- 3 / 4", "1/-2" or "Invalid Fraction!!" (or "invalid"). A part
    /// may have a "+" or "-" sign; blanks, tabs and carriage returns may
    /// stand after the sign and around the "/" (not before the first part
    /// nor after the last). Both parts are needed.
    spaced,
};

/// Reads a record's two parts as written, from the start of [first, last),
/// in the given form: "n/d" gives {n, d} whatever their value (1/0 and
/// 2/4 stay so: they are what a fraction file stores), "invalid" gives
/// INVALID_RECORD, and a written pair of INVALID_MARKs gives 1/1, that
/// value's stored form, since the pair itself is the invalid marker. As
/// std::from_chars, it takes the longest such start and returns where it
/// ended. Fails, leaving `parts` unchanged, with errc::invalid_argument and
/// ptr == first where no form starts; with errc::result_out_of_range, ptr
/// past the form, where a part does not fit in 32 bits ("2147483648/3",
/// "-1/99999999999"). from_chars into a Fraction reads through it.
FRACTION_EXPORT std::from_chars_result from_chars(const char* first, const char* last,
                                                  FractionRecord& parts,
                                                  PartsText form = PartsText::compact) noexcept;

/// The compact form as a string; see to_chars.
[[nodiscard]] FRACTION_EXPORT std::string to_string(const Fraction& value);

/// Reads one fraction, after any whitespace: the text `<<` writes ("- 3 / 4 ",
/// "Invalid Fraction!! ") or the compact form ("-3/4", "invalid"), its
/// value taken as from_chars takes it. Blanks may follow a sign and
/// surround the slash. Text that is neither, or that runs on into anything
/// but whitespace ("3/4x"), sets failbit and leaves `value` as it was.
FRACTION_EXPORT std::istream& operator>>(std::istream& in, Fraction& value);

}  // namespace fraction

namespace std {

/// Hashes a fraction by Fraction::hash(), consistently with operator==.
template <>
struct hash<fraction::Fraction> {
    /// Fraction::hash() of the fraction.
    std::size_t operator()(const fraction::Fraction& fraction) const noexcept
    {
        return fraction.hash();
    }
};

#if defined(FRACTION_HAS_STD_FORMAT)
/// Formats a fraction as its text form, the one print() writes, with the
/// standard fill, alignment and width: "{}", "{:>30}", "{:*^30}". Left
/// aligned by default, as text is. As for an integer, a "0" before the
/// width pads with zeros after the sign ("{:010}" writes "- 001 / 2 " for
/// -1/2) and is ignored where an alignment is given or the fraction is
/// invalid, whose text has no digits to pad. A width beyond 2147483647, as
/// the standard's own formatters hold it, throws std::format_error.
template <>
struct formatter<fraction::Fraction, char> {
    /// Takes [[fill]align][0][width], the width as digits.
    constexpr auto parse(std::format_parse_context& context)
    {
        auto position = context.begin();
        const auto end = context.end();
        const auto isAlign = [](char c) { return c == '<' || c == '^' || c == '>'; };
        if (position != end && position + 1 != end && isAlign(*(position + 1)) &&
            *position != '{' && *position != '}') {
            fill = *position;
            align = *(position + 1);
            position += 2;
        } else if (position != end && isAlign(*position)) {
            align = *position;
            ++position;
        }
        if (position != end && *position == '0') {
            zeroPadded = align == '\0';
            ++position;
        }
        constexpr std::size_t kWidestWidth = 2147483647;
        while (position != end && *position >= '0' && *position <= '9') {
            const auto digit = static_cast<std::size_t>(*position - '0');
            if (width > (kWidestWidth - digit) / 10) {
                throw std::format_error("a fraction's width must be at most 2147483647");
            }
            width = width * 10 + digit;
            ++position;
        }
        if (position != end && *position != '}') {
            throw std::format_error("a fraction takes only fill, alignment, 0 and width");
        }
        return position;
    }

    /// Writes the text form, padded to the width.
    template <typename FormatContext>
    auto format(const fraction::Fraction& fraction, FormatContext& context) const
    {
        std::array<char, fraction::FRACTION_TEXT_CAPACITY> text{};
        const char* const end = fraction.formatText(text.data());
        const auto length = static_cast<std::size_t>(end - text.data());
        const std::size_t padding = width > length ? width - length : 0;
        // Zeros go between the sign and the digits, spaces around the text.
        const char* digits = text.data();
        if (zeroPadded && fraction.isValid() && *digits == '-') {
            digits += 2;
        }
        const bool zeros = zeroPadded && fraction.isValid();
        std::size_t before = 0;
        if (align == '>' || zeros) {
            before = padding;
        } else if (align == '^') {
            before = padding / 2;
        }
        auto out = context.out();
        for (const char* character = text.data(); zeros && character != digits; ++character) {
            *out++ = *character;
        }
        for (std::size_t i = 0; i < before; ++i) {
            *out++ = zeros ? '0' : fill;
        }
        for (const char* character = zeros ? digits : text.data(); character != end; ++character) {
            *out++ = *character;
        }
        for (std::size_t i = before; i < padding; ++i) {
            *out++ = fill;
        }
        return out;
    }

private:
    char fill = ' ';
    // '\0' where none is given: left, as for text.
    char align = '\0';
    bool zeroPadded = false;
    std::size_t width = 0;
};
#endif

}  // namespace std
