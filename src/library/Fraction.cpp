#include "fraction/Fraction.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <istream>
#include <limits>
#include <numeric>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "fraction/FractionRecord.h"

namespace fraction {

namespace {

constexpr std::int64_t kMinPart = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMaxPart = std::numeric_limits<std::int32_t>::max();
constexpr double kInvalidDouble = VALUE_LIMIT + 1.0;
constexpr std::string_view kInvalidText = "Invalid Fraction!! ";
constexpr std::string_view kMinusSign = "- ";
constexpr std::string_view kPartSeparator = " / ";
// Digits of the largest magnitude, 2147483648.
constexpr std::ptrdiff_t kMaxDigits = 10;
static_assert(kInvalidText.size() <= FRACTION_TEXT_CAPACITY);
static_assert(kMinusSign.size() + 2 * kMaxDigits + kPartSeparator.size() + 1 ==
              FRACTION_TEXT_CAPACITY);

bool fitsInPart(std::int64_t value) noexcept
{
    return value >= kMinPart && value <= kMaxPart;
}

// All ones for a negative value, zero otherwise.
std::uint32_t signMask(std::int32_t value) noexcept
{
    return 0U - (static_cast<std::uint32_t>(value) >> 31U);
}

// bits, negated modulo 2^32 where mask is all ones. Arithmetic rather than a
// branch: signs in real data follow no pattern a processor could predict.
std::uint32_t negateWhere(std::uint32_t mask, std::uint32_t bits) noexcept
{
    return (bits ^ mask) - mask;
}

// |value| in unsigned arithmetic, where -2147483648 has a magnitude too.
std::uint32_t magnitude(std::int32_t value) noexcept
{
    return negateWhere(signMask(value), static_cast<std::uint32_t>(value));
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
    auto odd = static_cast<std::int32_t>(x >> std::countr_zero(x));
    auto other = static_cast<std::int32_t>(y >> std::countr_zero(y));
    while (odd != other) {
        const std::int32_t difference = other - odd;
        odd = std::min(odd, other);
        other = (difference < 0 ? -difference : difference) >>
                std::countr_zero(static_cast<std::uint32_t>(difference));
    }
    return static_cast<std::uint32_t>(odd) << std::countr_zero(x | y);
}

// value / divisor for a divisor of value, in unsigned arithmetic on the
// magnitude; the quotient's magnitude is at most |value|, so it fits back.
std::int32_t divideBy(std::int32_t value, std::uint32_t divisor) noexcept
{
    const std::uint32_t mask = signMask(value);
    return static_cast<std::int32_t>(negateWhere(mask, magnitude(value) / divisor));
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

// The product a * b. When it leaves the 32-bit range `valid` becomes false;
// while it is false every call answers 1, so a chain of products stops
// contributing at the first overflow.
std::int32_t checkedMultiply(bool& valid, std::int32_t a, std::int32_t b) noexcept
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

// The sum a + b, checked as checkedMultiply checks a product.
std::int32_t checkedSum(bool& valid, std::int64_t a, std::int64_t b) noexcept
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
        storedNumerator = source.storedNumerator;
        storedDenominator = source.storedDenominator;
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
    storedNumerator = newNumerator;
    storedDenominator = newDenominator;
    valid = true;
    return true;
}

void Fraction::setZero() noexcept
{
    storedNumerator = 0;
    storedDenominator = 1;
    valid = true;
}

double Fraction::toDouble() const noexcept
{
    return valid ? static_cast<double>(storedNumerator) / storedDenominator : kInvalidDouble;
}

FractionRecord Fraction::lowestTerms() const noexcept
{
    if (!valid || storedNumerator == 0) {
        return {0, 1};
    }
    Fraction lowest(*this);
    lowest.reduce();
    // The sign goes to the numerator in 64 bits, where 2^31 is a magnitude.
    const bool turn = lowest.storedDenominator < 0;
    const std::int64_t top = turn ? -std::int64_t{lowest.storedNumerator} : lowest.storedNumerator;
    const std::int64_t bottom =
        turn ? -std::int64_t{lowest.storedDenominator} : lowest.storedDenominator;
    if (!fitsInPart(top) || !fitsInPart(bottom)) {
        return {0, 1};
    }
    return {static_cast<std::int32_t>(top), static_cast<std::int32_t>(bottom)};
}

void Fraction::reduce() noexcept
{
    cancelCommonFactor(storedNumerator, storedDenominator);
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
    if (left.storedNumerator == 0 && right.storedNumerator == 0) {
        return true;
    }
    return left.storedNumerator == right.storedNumerator &&
           left.storedDenominator == right.storedDenominator;
}

char* Fraction::formatText(char* buffer) const noexcept
{
    if (!valid) {
        std::memcpy(buffer, kInvalidText.data(), kInvalidText.size());
        return buffer + kInvalidText.size();
    }
    const bool negative = storedNumerator != 0 && storedDenominator != 0 &&
                          (storedNumerator < 0) != (storedDenominator < 0);
    // The sign is always written and then kept or not, which costs less than
    // a branch that the signs of real data leave unpredictable.
    std::memcpy(buffer, kMinusSign.data(), kMinusSign.size());
    char* end = buffer + (negative ? kMinusSign.size() : 0);
    end = std::to_chars(end, end + kMaxDigits, magnitude(storedNumerator)).ptr;
    std::memcpy(end, kPartSeparator.data(), kPartSeparator.size());
    end += kPartSeparator.size();
    end = std::to_chars(end, end + kMaxDigits, magnitude(storedDenominator)).ptr;
    *end = ' ';
    return end + 1;
}

void Fraction::print(std::ostream& out) const
{
    std::array<char, FRACTION_TEXT_CAPACITY> text{};
    const char* const end = formatText(text.data());
    out.write(text.data(), end - text.data());
}

std::size_t Fraction::hash() const noexcept
{
    // Equal values have the same parts once in lowest terms with the sign
    // on the numerator, and every zero the numerator 0 whatever its
    // denominator. The numerator is then 64 bits wide: -2147483648/-1 is
    // 2147483648/1, and 1/-2147483648 is -1 over 2^31.
    constexpr std::uint64_t kInvalidBits = 0x696e76616c6964ULL;
    std::uint64_t bits = kInvalidBits;
    if (valid && storedNumerator == 0) {
        bits = 0;
    } else if (valid) {
        Fraction lowest(*this);
        lowest.reduce();
        const std::uint32_t mask = signMask(lowest.storedDenominator);
        const std::int64_t signedNumerator =
            mask != 0 ? -std::int64_t{lowest.storedNumerator} : lowest.storedNumerator;
        bits = (static_cast<std::uint64_t>(signedNumerator) << 32U) ^
               magnitude(lowest.storedDenominator);
    }
    // The finaliser of splitmix64, so that every bit of the parts reaches
    // the low bits a hash table uses first.
    bits ^= bits >> 30U;
    bits *= 0xbf58476d1ce4e5b9ULL;
    bits ^= bits >> 27U;
    bits *= 0x94d049bb133111ebULL;
    bits ^= bits >> 31U;
    return static_cast<std::size_t>(bits);
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
    // Reducing the operands first, as the rule has it, divides each product
    // below and the sum by a positive whole number, and the sum's lowest
    // terms are the same either way. So while everything formed from the
    // parts as they stand fits in 32 bits, the reduced forms fit too and one
    // gcd gives the very result. A zero sum keeps the reduced operands'
    // denominator, which only the full way knows.
    const std::int64_t ownScaledAsIs = std::int64_t{storedNumerator} * other.storedDenominator;
    const std::int64_t termScaledAsIs = std::int64_t{storedDenominator} * other.storedNumerator;
    const std::int64_t denominatorAsIs = std::int64_t{storedDenominator} * other.storedDenominator;
    // Summed only once both terms are known to fit in 32 bits: two products
    // of 2^62 would overflow even 64 bits.
    if (fitsInPart(ownScaledAsIs) && fitsInPart(termScaledAsIs) && fitsInPart(denominatorAsIs)) {
        const std::int64_t sumAsIs =
            negateOther ? ownScaledAsIs - termScaledAsIs : ownScaledAsIs + termScaledAsIs;
        if (sumAsIs != 0 && fitsInPart(sumAsIs)) {
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
        commonDivisor(storedDenominator, term.storedDenominator);
    // The common denominator is the plain product of the reduced
    // denominators, so its sign says whether exactly one of them is negative.
    const std::int32_t commonDenominator =
        checkedMultiply(valid, storedDenominator, term.storedDenominator);
    const std::int32_t ownScaled = checkedMultiply(valid, storedNumerator, term.storedDenominator);
    const std::int32_t termScaled = checkedMultiply(valid, storedDenominator, term.storedNumerator);
    // Subtraction negates the scaled term in 64 bits: negating the operand's
    // numerator first would overflow for -2147483648.
    storedNumerator =
        checkedSum(valid, ownScaled, negateOther ? -std::int64_t{termScaled} : termScaled);
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
        commonDivisor(divideBy(storedNumerator, denominatorsDivisor), smallDivisor);
    if (factor != 1) {
        storedNumerator = divideBy(storedNumerator, factor);
        storedDenominator = divideBy(storedDenominator, factor);
    }
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
    // The result, when not zero, is the product in lowest terms with the
    // signs where they fall, however it is reached; while the plain products
    // fit in 32 bits, so do the reduced ones, and one gcd does.
    const std::int64_t numeratorAsIs = std::int64_t{storedNumerator} * other.storedNumerator;
    const std::int64_t denominatorAsIs = std::int64_t{storedDenominator} * other.storedDenominator;
    if (numeratorAsIs != 0 && fitsInPart(numeratorAsIs) && fitsInPart(denominatorAsIs)) {
        storedNumerator = static_cast<std::int32_t>(numeratorAsIs);
        storedDenominator = static_cast<std::int32_t>(denominatorAsIs);
        reduce();
        return;
    }
    // Take the operand's parts first: other may be this very fraction.
    std::int32_t otherNumerator = other.storedNumerator;
    std::int32_t otherDenominator = other.storedDenominator;
    cancelCommonFactor(otherNumerator, otherDenominator);
    reduce();
    // Cancelling across before multiplying keeps the products as small as
    // the result allows and leaves the result in lowest terms.
    cancelCommonFactor(storedNumerator, otherDenominator);
    cancelCommonFactor(storedDenominator, otherNumerator);
    storedNumerator = checkedMultiply(valid, storedNumerator, otherNumerator);
    storedDenominator = checkedMultiply(valid, storedDenominator, otherDenominator);
}

void Fraction::divide(const Fraction& other) noexcept
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
    Fraction reciprocal;
    reciprocal.setValue(other.storedDenominator, other.storedNumerator);
    multiply(reciprocal);
}

std::ostream& operator<<(std::ostream& out, const Fraction& fraction)
{
    fraction.print(out);
    return out;
}

std::to_chars_result to_chars(char* first, char* last, const Fraction& value) noexcept
{
    constexpr std::string_view kInvalidWord = "invalid";
    if (!value.isValid()) {
        if (last - first < static_cast<std::ptrdiff_t>(kInvalidWord.size())) {
            return {last, std::errc::value_too_large};
        }
        std::memcpy(first, kInvalidWord.data(), kInvalidWord.size());
        return {first + kInvalidWord.size(), std::errc()};
    }
    Fraction lowest(value);
    lowest.reduce();
    const bool negative = lowest.numeratorPart() != 0 &&
                          (lowest.numeratorPart() < 0) != (lowest.denominatorPart() < 0);
    const std::int64_t numerator = negative ? -std::int64_t{magnitude(lowest.numeratorPart())}
                                            : magnitude(lowest.numeratorPart());
    const std::uint32_t denominator =
        lowest.numeratorPart() == 0 ? 1 : magnitude(lowest.denominatorPart());
    std::to_chars_result result = std::to_chars(first, last, numerator);
    if (result.ec != std::errc() || result.ptr == last) {
        return {last, std::errc::value_too_large};
    }
    *result.ptr = '/';
    return std::to_chars(result.ptr + 1, last, denominator);
}

namespace {

// A decimal integer with an optional "-", as its sign and magnitude.
struct ParsedInteger {
    const char* end;
    std::errc error;
    bool negative;
    std::uint64_t magnitude;
};

ParsedInteger parseInteger(const char* first, const char* last) noexcept
{
    const bool negative = first != last && *first == '-';
    const char* const digits = negative ? first + 1 : first;
    std::uint64_t value = 0;
    const std::from_chars_result result = std::from_chars(digits, last, value);
    // "-" alone, or a second sign, is no integer.
    if (result.ec == std::errc::invalid_argument || (digits != last && *digits == '-')) {
        return {first, std::errc::invalid_argument, false, 0};
    }
    return {result.ptr, result.ec, negative, value};
}

}  // namespace

std::from_chars_result from_chars(const char* first, const char* last, Fraction& value) noexcept
{
    constexpr std::string_view kInvalidWord = "invalid";
    if (std::string_view(first, static_cast<std::size_t>(last - first))
            .substr(0, kInvalidWord.size()) == kInvalidWord) {
        value = Fraction();
        return {first + kInvalidWord.size(), std::errc()};
    }
    const ParsedInteger numerator = parseInteger(first, last);
    if (numerator.error == std::errc::invalid_argument) {
        return {first, std::errc::invalid_argument};
    }
    ParsedInteger denominator{numerator.end, std::errc(), false, 1};
    if (numerator.end != last && *numerator.end == '/') {
        const ParsedInteger given = parseInteger(numerator.end + 1, last);
        if (given.error != std::errc::invalid_argument) {
            denominator = given;
        }
    }
    if (numerator.error != std::errc() || denominator.error != std::errc()) {
        return {denominator.end, std::errc::result_out_of_range};
    }
    if (denominator.magnitude == 0) {
        return {first, std::errc::invalid_argument};
    }
    // Parts that fit are kept as written; others are brought to lowest
    // terms, where a magnitude of 2^31 fits with the signs moved.
    constexpr std::uint64_t kTwoTo31 = std::uint64_t{1} << 31U;
    std::uint64_t top = numerator.magnitude;
    std::uint64_t bottom = denominator.magnitude;
    bool topNegative = numerator.negative;
    bool bottomNegative = denominator.negative;
    const auto fits = [](std::uint64_t magnitude, bool negative) {
        return magnitude < kTwoTo31 || (negative && magnitude == kTwoTo31);
    };
    if (!fits(top, topNegative) || !fits(bottom, bottomNegative)) {
        const std::uint64_t divisor = std::gcd(top, bottom);
        top /= divisor;
        bottom /= divisor;
        // A negative value's sign goes on the numerator, unless the
        // denominator is 2^31, which only its negative fits; a positive
        // value with a part of 2^31 takes a sign on both.
        const bool negative = top != 0 && topNegative != bottomNegative;
        const bool wide = top == kTwoTo31 || bottom == kTwoTo31;
        topNegative = negative ? bottom != kTwoTo31 : wide;
        bottomNegative = negative ? bottom == kTwoTo31 : wide;
        if (!fits(top, topNegative) || !fits(bottom, bottomNegative)) {
            return {denominator.end, std::errc::result_out_of_range};
        }
    }
    const auto signedPart = [](std::uint64_t magnitude, bool negative) {
        return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                                  : static_cast<std::int64_t>(magnitude));
    };
    const FractionRecord parts{signedPart(top, topNegative), signedPart(bottom, bottomNegative)};
    // The marker pair would read back as an invalid fraction: 1/1 is its value.
    value = Fraction::fromRecord(isMarkerPair(parts) ? FractionRecord{1, 1} : parts);
    return {denominator.end, std::errc()};
}

std::string to_string(const Fraction& value)
{
    std::array<char, 24> text{};
    const std::to_chars_result result = to_chars(text.data(), text.data() + text.size(), value);
    return {text.data(), result.ptr};
}

std::istream& operator>>(std::istream& in, Fraction& value)
{
    std::string word;
    if (!(in >> word)) {
        return in;
    }
    Fraction parsed;
    const char* const end = word.data() + word.size();
    const std::from_chars_result result = from_chars(word.data(), end, parsed);
    if (result.ec != std::errc() || result.ptr != end) {
        in.setstate(std::ios_base::failbit);
        return in;
    }
    value = parsed;
    return in;
}

void Fraction::writeBinary(std::ostream& out) const
{
    std::array<char, FRACTION_RECORD_SIZE> bytes{};
    encodeRecord(toRecord(), bytes.data());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Fraction::readBinary(std::istream& in)
{
    std::array<char, FRACTION_RECORD_SIZE> bytes{};
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size())) {
        valid = false;
        return;
    }
    setFromRecord(decodeRecord(bytes.data()));
}

}  // namespace fraction
