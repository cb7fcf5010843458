#pragma once

#include <cstdint>

// A signed 128-bit integer for checking results exactly on every target,
// 32-bit ones included, which have no built-in 128-bit type. Two's
// complement in two 64-bit halves; arithmetic wraps modulo 2^128, far
// beyond any value the tests form from 32-bit parts.
class ExactInteger {
public:
    constexpr explicit ExactInteger(std::int64_t value) noexcept
        : high(value < 0 ? ~std::uint64_t{0} : 0), low(static_cast<std::uint64_t>(value))
    {
    }

    friend constexpr ExactInteger operator+(ExactInteger a, ExactInteger b) noexcept
    {
        const std::uint64_t sumLow = a.low + b.low;
        return {a.high + b.high + (sumLow < a.low ? 1U : 0U), sumLow};
    }

    friend constexpr ExactInteger operator-(ExactInteger a, ExactInteger b) noexcept
    {
        return a + ExactInteger(~b.high, ~b.low) + ExactInteger(1);
    }

    friend constexpr ExactInteger operator*(ExactInteger a, ExactInteger b) noexcept
    {
        ExactInteger product = lowProduct(a.low, b.low);
        product.high += a.high * b.low + a.low * b.high;
        return product;
    }

    friend constexpr bool operator==(ExactInteger a, ExactInteger b) noexcept
    {
        return a.high == b.high && a.low == b.low;
    }

    friend constexpr bool operator<(ExactInteger a, ExactInteger b) noexcept
    {
        const auto aHigh = static_cast<std::int64_t>(a.high);
        const auto bHigh = static_cast<std::int64_t>(b.high);
        return aHigh < bHigh || (aHigh == bHigh && a.low < b.low);
    }

    friend constexpr bool operator>(ExactInteger a, ExactInteger b) noexcept { return b < a; }

    [[nodiscard]] constexpr bool isNegative() const noexcept
    {
        return static_cast<std::int64_t>(high) < 0;
    }

    // |value| modulo 2^64: the magnitude itself where it is below 2^64.
    [[nodiscard]] constexpr std::uint64_t magnitudeLow() const noexcept
    {
        return isNegative() ? 0U - low : low;
    }

    // True when |value| is below 2^64, so that magnitudeLow() is exact.
    [[nodiscard]] constexpr bool magnitudeFits64() const noexcept
    {
        const std::uint64_t magnitudeHigh = isNegative() ? ~high + (low == 0 ? 1U : 0U) : high;
        return magnitudeHigh == 0;
    }

private:
    constexpr ExactInteger(std::uint64_t highHalf, std::uint64_t lowHalf) noexcept
        : high(highHalf), low(lowHalf)
    {
    }

    // The full 128-bit product of two 64-bit halves, from 32-bit pieces.
    static constexpr ExactInteger lowProduct(std::uint64_t a, std::uint64_t b) noexcept
    {
        constexpr std::uint64_t kHalf = 0xFFFFFFFFU;
        const std::uint64_t lowLow = (a & kHalf) * (b & kHalf);
        const std::uint64_t highLow = (a >> 32U) * (b & kHalf);
        const std::uint64_t lowHigh = (a & kHalf) * (b >> 32U);
        const std::uint64_t highHigh = (a >> 32U) * (b >> 32U);
        const std::uint64_t middle = (lowLow >> 32U) + (highLow & kHalf) + (lowHigh & kHalf);
        return {highHigh + (highLow >> 32U) + (lowHigh >> 32U) + (middle >> 32U),
                (middle << 32U) | (lowLow & kHalf)};
    }

    std::uint64_t high;
    std::uint64_t low;
};
