#include "WideSum.h"

#include <cmath>

namespace {

constexpr unsigned kLimbBits = 32;
constexpr std::size_t kUnitsLimb = 4;

}  // namespace

void WideSum::add(std::int32_t numerator, std::int32_t denominator) noexcept
{
    const bool negative = (numerator < 0) != (denominator < 0);
    // Both parts come from 32-bit values, so their magnitudes fit.
    const std::uint64_t top = numerator < 0 ? 0 - static_cast<std::uint64_t>(numerator)
                                            : static_cast<std::uint64_t>(numerator);
    const std::uint64_t divisor = denominator < 0 ? 0 - static_cast<std::uint64_t>(denominator)
                                                  : static_cast<std::uint64_t>(denominator);
    // |n| * 2^128 / |d|, by long division a limb at a time: the remainder
    // stays below |d| <= 2^32, so remainder * 2^32 + limb fits 64 bits.
    Limbs quotient{};
    std::uint64_t remainder = 0;
    for (std::size_t at = kLimbs; at-- > 0;) {
        std::uint64_t limb = 0;
        if (at == kUnitsLimb) {
            limb = top & 0xFFFFFFFFU;
        } else if (at == kUnitsLimb + 1) {
            limb = top >> kLimbBits;
        }
        const std::uint64_t dividend = (remainder << kLimbBits) | limb;
        quotient[at] = static_cast<std::uint32_t>(dividend / divisor);
        remainder = dividend % divisor;
    }
    // To nearest, halves away from zero: a term and its negation round to
    // opposite values, and cancel.
    std::uint64_t carry = remainder >= divisor - remainder ? 1 : 0;
    for (std::uint32_t& limb : quotient) {
        const std::uint64_t digit = std::uint64_t{limb} + carry;
        limb = static_cast<std::uint32_t>(digit);
        carry = digit >> kLimbBits;
    }
    // Subtracting is adding the two's complement: the limbs inverted, plus one.
    carry = negative ? 1 : 0;
    for (std::size_t at = 0; at < kLimbs; ++at) {
        const std::uint32_t term = negative ? ~quotient[at] : quotient[at];
        const std::uint64_t digit = std::uint64_t{limbs[at]} + term + carry;
        limbs[at] = static_cast<std::uint32_t>(digit);
        carry = digit >> kLimbBits;
    }
}

double WideSum::value() const noexcept
{
    const bool negative = (limbs[kLimbs - 1] >> (kLimbBits - 1)) != 0;
    Limbs magnitude = limbs;
    if (negative) {
        std::uint64_t carry = 1;
        for (std::uint32_t& limb : magnitude) {
            const std::uint64_t digit = std::uint64_t{~limb} + carry;
            limb = static_cast<std::uint32_t>(digit);
            carry = digit >> kLimbBits;
        }
    }
    // From the most significant limb down: each step rounds once, and only
    // the first three nonzero limbs can still change the double.
    double sum = 0;
    for (std::size_t at = kLimbs; at-- > 0;) {
        sum = sum * 4294967296.0 + magnitude[at];
    }
    const double scaled = std::ldexp(sum, -static_cast<int>(kUnitsLimb * kLimbBits));
    return negative ? -scaled : scaled;
}
