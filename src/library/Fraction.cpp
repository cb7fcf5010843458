#include "fraction/Fraction.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <istream>
#include <limits>
#include <numeric>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "fraction/FractionRecord.h"

namespace fraction {

namespace {

constexpr double kInvalidDouble = VALUE_LIMIT + 1.0;
constexpr std::string_view kInvalidText = "Invalid Fraction!! ";
constexpr std::string_view kMinusSign = "- ";
constexpr std::string_view kPartSeparator = " / ";
// Digits of the largest magnitude, 2147483648.
constexpr std::ptrdiff_t kMaxDigits = 10;
static_assert(kInvalidText.size() <= FRACTION_TEXT_CAPACITY);
static_assert(kMinusSign.size() + 2 * kMaxDigits + kPartSeparator.size() + 1 ==
              FRACTION_TEXT_CAPACITY);

}  // namespace

std::int32_t gcd(std::int32_t a, std::int32_t b) noexcept
{
    constexpr std::uint32_t kUnrepresentable = 0x80000000U;
    const std::uint32_t divisor = detail::commonDivisor(a, b);
    return static_cast<std::int32_t>(divisor == kUnrepresentable ? divisor / 2 : divisor);
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
    if (!detail::fitsInPart(top) || !detail::fitsInPart(bottom)) {
        return {0, 1};
    }
    return {static_cast<std::int32_t>(top), static_cast<std::int32_t>(bottom)};
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
    end = std::to_chars(end, end + kMaxDigits, detail::magnitude(storedNumerator)).ptr;
    std::memcpy(end, kPartSeparator.data(), kPartSeparator.size());
    end += kPartSeparator.size();
    end = std::to_chars(end, end + kMaxDigits, detail::magnitude(storedDenominator)).ptr;
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
        const std::uint32_t mask = detail::signMask(lowest.storedDenominator);
        const std::int64_t signedNumerator =
            mask != 0 ? -std::int64_t{lowest.storedNumerator} : lowest.storedNumerator;
        bits = (static_cast<std::uint64_t>(signedNumerator) << 32U) ^
               detail::magnitude(lowest.storedDenominator);
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

std::ostream& operator<<(std::ostream& out, const Fraction& fraction)
{
    // As a string: padded to the stream's width with its fill, on the side
    // its adjustment says (before, unless left), and the width reset to 0.
    std::array<char, FRACTION_TEXT_CAPACITY> text{};
    const char* const end = fraction.formatText(text.data());
    return out << std::string_view(text.data(), static_cast<std::size_t>(end - text.data()));
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
    const std::int64_t numerator = negative
                                       ? -std::int64_t{detail::magnitude(lowest.numeratorPart())}
                                       : detail::magnitude(lowest.numeratorPart());
    const std::uint32_t denominator =
        lowest.numeratorPart() == 0 ? 1 : detail::magnitude(lowest.denominatorPart());
    std::to_chars_result result = std::to_chars(first, last, numerator);
    if (result.ec != std::errc() || result.ptr == last) {
        return {last, std::errc::value_too_large};
    }
    *result.ptr = '/';
    return std::to_chars(result.ptr + 1, last, denominator);
}

namespace {

constexpr std::string_view kInvalidWord = "invalid";
// What print() writes for an invalid fraction, without its closing space.
constexpr std::string_view kPrintedInvalidWord = "Invalid Fraction!!";
constexpr std::string_view kSpaces = " \t\r";

const char* skipSpaces(const char* first, const char* last, PartsText form) noexcept
{
    if (form == PartsText::spaced) {
        while (first != last && kSpaces.find(*first) != std::string_view::npos) {
            ++first;
        }
    }
    return first;
}

// One part as written: its sign and its magnitude, 64 bits wide so that a
// value written with wider parts can still be brought to 32-bit ones.
struct ScannedPart {
    const char* digits;
    const char* end;
    // invalid_argument: no part starts here; result_out_of_range: wider
    // than 64 bits, with `end` past its digits.
    std::errc error;
    bool negative;
    std::uint64_t magnitude;
};

ScannedPart scanPart(const char* first, const char* last, PartsText form) noexcept
{
    const char* digits = first;
    bool negative = false;
    if (digits != last && (*digits == '-' || (form == PartsText::spaced && *digits == '+'))) {
        negative = *digits == '-';
        digits = skipSpaces(digits + 1, last, form);
    }
    if (digits == last || *digits < '0' || *digits > '9') {
        return {first, first, std::errc::invalid_argument, false, 0};
    }
    std::uint64_t magnitude = 0;
    const std::from_chars_result result = std::from_chars(digits, last, magnitude);
    return {digits, result.ptr, result.ec, negative, magnitude};
}

// The one reading of both text forms: the word, or the parts as written.
struct ScannedParts {
    const char* end;
    std::errc error;
    bool invalidWord;
    ScannedPart numerator;
    ScannedPart denominator;
};

ScannedParts scanParts(const char* first, const char* last, PartsText form) noexcept
{
    const std::string_view text(first, static_cast<std::size_t>(last - first));
    const auto word = [&](std::string_view name) {
        return ScannedParts{first + name.size(), std::errc(), true, {}, {}};
    };
    if (text.substr(0, kInvalidWord.size()) == kInvalidWord) {
        return word(kInvalidWord);
    }
    if (form == PartsText::spaced &&
        text.substr(0, kPrintedInvalidWord.size()) == kPrintedInvalidWord) {
        return word(kPrintedInvalidWord);
    }
    const ScannedPart numerator = scanPart(first, last, form);
    const ScannedParts none{first, std::errc::invalid_argument, false, {}, {}};
    if (numerator.error == std::errc::invalid_argument) {
        return none;
    }
    ScannedPart denominator{numerator.end, numerator.end, std::errc(), false, 1};
    const char* const slash = skipSpaces(numerator.end, last, form);
    bool hasDenominator = false;
    if (slash != last && *slash == '/') {
        const ScannedPart given = scanPart(skipSpaces(slash + 1, last, form), last, form);
        hasDenominator = given.error != std::errc::invalid_argument;
        if (hasDenominator) {
            denominator = given;
        }
    }
    if (form == PartsText::spaced && !hasDenominator) {
        return none;
    }
    const bool wide = numerator.error != std::errc() || denominator.error != std::errc();
    return {denominator.end, wide ? std::errc::result_out_of_range : std::errc(), false, numerator,
            denominator};
}

// The value of these signed magnitudes, where 32-bit parts hold it.
std::from_chars_result takeParts(const ScannedParts& scanned, detail::SignedMagnitude numerator,
                                 detail::SignedMagnitude denominator, Fraction& value) noexcept
{
    const detail::PartsResult parts = detail::partsFor(numerator, denominator);
    if (!parts.fits) {
        return {scanned.end, std::errc::result_out_of_range};
    }
    value = Fraction::fromRecord({parts.numerator, parts.denominator});
    return {scanned.end, std::errc()};
}

// A natural number of any size: 32-bit limbs, least significant first,
// with no zero limb at the top (zero has none). For parts written with
// more digits than 64 bits hold, which may still have a value that fits.
using Natural = std::vector<std::uint32_t>;

void trim(Natural& number)
{
    while (!number.empty() && number.back() == 0) {
        number.pop_back();
    }
}

Natural naturalOf(const char* digit, const char* end)
{
    constexpr std::uint64_t kChunk = 1000000000;  // nine digits at a time
    Natural number;
    while (digit != end) {
        std::uint64_t scale = 1;
        std::uint64_t chunk = 0;
        for (; digit != end && scale != kChunk; ++digit, scale *= 10) {
            chunk = chunk * 10 + static_cast<std::uint64_t>(*digit - '0');
        }
        std::uint64_t carry = chunk;
        for (std::uint32_t& limb : number) {
            carry += limb * scale;
            limb = static_cast<std::uint32_t>(carry);
            carry >>= 32U;
        }
        if (carry != 0) {
            number.push_back(static_cast<std::uint32_t>(carry));
        }
    }
    trim(number);
    return number;
}

std::size_t bitLength(const Natural& number)
{
    return number.empty()
               ? 0
               : 32 * (number.size() - 1) + static_cast<std::size_t>(std::bit_width(number.back()));
}

// Limb `index` of number * 2^shift.
std::uint32_t shiftedLimb(const Natural& number, std::size_t shift, std::size_t index)
{
    const std::size_t whole = shift / 32;
    const auto bits = static_cast<unsigned>(shift % 32);
    const auto limbAt = [&](std::size_t at) {
        return at >= whole && at - whole < number.size() ? number[at - whole] : 0U;
    };
    const std::uint32_t low = index >= 1 ? limbAt(index - 1) : 0U;
    return bits == 0 ? limbAt(index) : (limbAt(index) << bits) | (low >> (32U - bits));
}

// a := a - b * 2^shift where that is not negative; true when it was.
bool subtractShifted(Natural& a, const Natural& b, std::size_t shift)
{
    const std::size_t limbs = (bitLength(b) + shift + 31) / 32;
    if (limbs > a.size()) {
        return false;
    }
    for (std::size_t i = limbs; a.size() == limbs && i-- > 0;) {
        const std::uint32_t other = shiftedLimb(b, shift, i);
        if (a[i] != other) {
            if (a[i] < other) {
                return false;
            }
            break;
        }
    }
    std::uint64_t borrow = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::uint64_t other = (i < limbs ? shiftedLimb(b, shift, i) : 0U) + borrow;
        borrow = a[i] < other ? 1 : 0;
        a[i] = static_cast<std::uint32_t>((std::uint64_t{1} << 32U) * borrow + a[i] - other);
    }
    trim(a);
    return true;
}

// a := a mod b for a non-zero b, by shifts and subtractions; returns the
// quotient, or a value beyond 2^31 where it is larger than that.
std::uint64_t divideInPlace(Natural& a, const Natural& b)
{
    constexpr std::uint64_t kBeyond = detail::TWO_TO_31 + 1;
    std::uint64_t quotient = 0;
    const std::size_t bLength = bitLength(b);
    for (std::size_t shift = bitLength(a) >= bLength ? bitLength(a) - bLength + 1 : 0;
         shift-- > 0;) {
        if (subtractShifted(a, b, shift)) {
            quotient =
                shift >= 32 ? kBeyond : std::min(kBeyond, quotient + (std::uint64_t{1} << shift));
        }
    }
    return quotient;
}

// The part's magnitude: from its digits where 64 bits do not hold it, as
// scanned otherwise (the denominator 1 that a missing one stands for has no
// digits).
Natural naturalOf(const ScannedPart& part)
{
    if (part.error == std::errc::result_out_of_range) {
        return naturalOf(part.digits, part.end);
    }
    Natural number{static_cast<std::uint32_t>(part.magnitude),
                   static_cast<std::uint32_t>(part.magnitude >> 32U)};
    trim(number);
    return number;
}

// The magnitudes n/d in lowest terms, for parts of any length, where both
// are at most 2^31; nothing otherwise.
std::optional<std::pair<std::uint64_t, std::uint64_t>> lowestOfDigits(const ScannedPart& top,
                                                                      const ScannedPart& bottom)
{
    const Natural numerator = naturalOf(top);
    const Natural denominator = naturalOf(bottom);
    if (denominator.empty() || numerator.empty()) {
        return std::pair<std::uint64_t, std::uint64_t>{0, denominator.empty() ? 0 : 1};
    }
    Natural divisor = numerator;
    Natural other = denominator;
    while (!other.empty()) {
        divideInPlace(divisor, other);
        divisor.swap(other);
    }
    Natural rest = numerator;
    const std::uint64_t topLowest = divideInPlace(rest, divisor);
    rest = denominator;
    const std::uint64_t bottomLowest = divideInPlace(rest, divisor);
    if (topLowest > detail::TWO_TO_31 || bottomLowest > detail::TWO_TO_31) {
        return std::nullopt;
    }
    return std::pair{topLowest, bottomLowest};
}

// Parts wider than 32 bits, brought to lowest terms, where a magnitude of
// 2^31 fits with the signs moved; parts of any length.
std::from_chars_result fromWideParts(const char* first, const char* last, Fraction& value) noexcept
{
    const ScannedParts scanned = scanParts(first, last, PartsText::compact);
    if (scanned.error == std::errc::result_out_of_range) {
        // Wider than 64 bits: worked out in naturals of any size.
        try {
            const auto lowest = lowestOfDigits(scanned.numerator, scanned.denominator);
            if (!lowest) {
                return {scanned.end, std::errc::result_out_of_range};
            }
            if (lowest->second == 0) {
                return {first, std::errc::invalid_argument};
            }
            return takeParts(scanned, {scanned.numerator.negative, lowest->first},
                             {scanned.denominator.negative, lowest->second}, value);
        } catch (...) {
            // Only the naturals' memory can fail here. Caught as anything,
            // so that the library names no type outside its namespace.
            return {scanned.end, std::errc::not_enough_memory};
        }
    }
    if (scanned.error != std::errc()) {
        return {scanned.end, scanned.error};
    }
    if (scanned.denominator.magnitude == 0) {
        return {first, std::errc::invalid_argument};
    }
    return takeParts(scanned, {scanned.numerator.negative, scanned.numerator.magnitude},
                     {scanned.denominator.negative, scanned.denominator.magnitude}, value);
}

}  // namespace

std::from_chars_result from_chars(const char* first, const char* last, FractionRecord& parts,
                                  PartsText form) noexcept
{
    const ScannedParts scanned = scanParts(first, last, form);
    if (scanned.error != std::errc()) {
        return {scanned.end, scanned.error};
    }
    if (scanned.invalidWord) {
        parts = INVALID_RECORD;
        return {scanned.end, std::errc()};
    }
    const ScannedPart& top = scanned.numerator;
    const ScannedPart& bottom = scanned.denominator;
    if (!detail::fitsAsPart(top.magnitude, top.negative) ||
        !detail::fitsAsPart(bottom.magnitude, bottom.negative)) {
        return {scanned.end, std::errc::result_out_of_range};
    }
    const FractionRecord written{detail::partOf(top.magnitude, top.negative),
                                 detail::partOf(bottom.magnitude, bottom.negative)};
    // The marker pair would read back as an invalid fraction: 1/1 is its value.
    parts = isMarkerPair(written) ? FractionRecord{1, 1} : written;
    return {scanned.end, std::errc()};
}

std::from_chars_result from_chars(const char* first, const char* last, Fraction& value) noexcept
{
    FractionRecord parts;
    const std::from_chars_result written = from_chars(first, last, parts);
    if (written.ec == std::errc::result_out_of_range) {
        // Parts that do not fit as written may still hold the value.
        return fromWideParts(first, last, value);
    }
    if (written.ec != std::errc()) {
        return written;
    }
    if (parts.denominator == 0) {
        return {first, std::errc::invalid_argument};
    }
    value = Fraction::fromRecord(parts);
    return written;
}

std::string to_string(const Fraction& value)
{
    std::array<char, 24> text{};
    const std::to_chars_result result = to_chars(text.data(), text.data() + text.size(), value);
    return {text.data(), result.ptr};
}

namespace {

// Reads one fraction's text from a stream whose leading whitespace is
// skipped, as `<<` writes it ("- 3 / 4 ", "Invalid Fraction!! ") or in the
// compact form ("-3/4", "invalid"), into the compact form. A sign and a
// slash may have blanks after them, and a slash blanks before it. False
// where the text is none of these or runs on into something else.
class FractionTextReader {
public:
    explicit FractionTextReader(std::istream& stream) : in(stream) {}

    bool read(std::string& compact)
    {
        if (peek() == 'I') {
            compact = kInvalidWord;
            return expectWord(kPrintedInvalidWord) && endsHere();
        }
        if (peek() == 'i') {
            compact = kInvalidWord;
            return expectWord(kInvalidWord) && endsHere();
        }
        if (!signedDigits(compact)) {
            return false;
        }
        // Blanks after the numerator end the text unless a slash follows.
        const bool blanks = skipBlanks();
        if (peek() != '/') {
            return blanks || endsHere();
        }
        get();
        compact += '/';
        skipBlanks();
        return signedDigits(compact) && endsHere();
    }

private:
    // The stream's buffer, read directly: the stream's own peek() after
    // the end would set failbit, which a fraction ending the text is not.
    int peek()
    {
        const int next = in.rdbuf()->sgetc();
        if (next == std::char_traits<char>::eof()) {
            in.setstate(std::ios_base::eofbit);
        }
        return next;
    }
    int get() { return in.rdbuf()->sbumpc(); }

    // True when there were any.
    bool skipBlanks()
    {
        bool any = false;
        while (peek() == ' ' || peek() == '\t') {
            get();
            any = true;
        }
        return any;
    }

    bool expectWord(std::string_view word)
    {
        // Each matching character is taken from the stream in turn: a
        // predicate of all_of should not consume input.
        for (const char expected : word) {  // NOLINT(readability-use-anyofallof)
            if (peek() != expected) {
                return false;
            }
            get();
        }
        return true;
    }

    // An optional "-" (blanks may follow it), then at least one digit.
    bool signedDigits(std::string& compact)
    {
        if (peek() == '-') {
            get();
            compact += '-';
            skipBlanks();
        }
        const std::size_t before = compact.size();
        while (peek() >= '0' && peek() <= '9') {
            compact += static_cast<char>(get());
        }
        return compact.size() != before;
    }

    // The text ends at whitespace or the end of the stream.
    bool endsHere()
    {
        const int next = peek();
        return next == std::char_traits<char>::eof() ||
               std::isspace(static_cast<unsigned char>(next)) != 0;
    }

    std::istream& in;
};

}  // namespace

std::istream& operator>>(std::istream& in, Fraction& value)
{
    const std::istream::sentry started(in);
    if (!started) {
        return in;
    }
    std::string compact;
    if (!FractionTextReader(in).read(compact)) {
        in.setstate(std::ios_base::failbit);
        return in;
    }
    Fraction parsed;
    const char* const end = compact.data() + compact.size();
    const std::from_chars_result result = from_chars(compact.data(), end, parsed);
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
