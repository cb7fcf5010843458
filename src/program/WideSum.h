#pragma once

#include <array>
#include <cstdint>

// A sum of fractions kept in fixed point, wide enough that no sum of 64-bit
// many 32-bit fractions overflows: 128 bits before the binary point, 128
// after, in two's complement. Each term n/d is rounded to the nearest
// multiple of 2^-128 as it is added (a term's error is at most 2^-129, so
// N terms are off by at most N * 2^-129 in all), and terms that cancel
// exactly, such as 1/3 and -1/3, cancel here too. The report's own sum is
// a Fraction and overflows; this one gives the value a script can use.
class WideSum {
public:
    // Adds numerator/denominator; `denominator` is not 0. The parts are
    // 32-bit: the long division is exact only for divisors below 2^32.
    void add(std::int32_t numerator, std::int32_t denominator) noexcept;

    // The sum, rounded to a double (relative error within 2^-50).
    [[nodiscard]] double value() const noexcept;

private:
    static constexpr std::size_t kLimbs = 8;
    using Limbs = std::array<std::uint32_t, kLimbs>;

    // Two's complement, least significant limb first; limb 4 holds the
    // units.
    Limbs limbs{};
};
