#include "WideSum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr std::int32_t kLeast = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kGreatest = std::numeric_limits<std::int32_t>::max();

TEST(WideSum, EmptyIsZero)
{
    EXPECT_EQ(WideSum().value(), 0.0);
}

TEST(WideSum, TermsThatCancelGiveExactlyZero)
{
    WideSum sum;
    sum.add(1, 3);
    sum.add(-1, 3);
    sum.add(2, -6);
    sum.add(-2, -6);
    sum.add(kLeast, kGreatest);
    sum.add(kLeast, -kGreatest);
    EXPECT_EQ(sum.value(), 0.0);
}

TEST(WideSum, KeepsWhatA32BitSumLoses)
{
    WideSum sum;
    for (int i = 0; i < 1000; ++i) {
        sum.add(kLeast, 1);
    }
    EXPECT_EQ(sum.value(), -2147483648000.0);
    // -1/2^31 is below the double's last place here; the 1 is not.
    sum.add(1, kLeast);
    sum.add(kLeast, kLeast);
    EXPECT_EQ(sum.value(), -2147483647999.0);
    WideSum tiny;
    tiny.add(1, kLeast);
    EXPECT_EQ(tiny.value(), -std::ldexp(1.0, -31));
}

TEST(WideSum, SmallAndLargeTogether)
{
    WideSum sum;
    sum.add(kGreatest, 1);
    sum.add(1, kGreatest);
    sum.add(-kGreatest, 1);
    // Only the smallest term is left, within the rounding of one step.
    const double expected = 1.0 / static_cast<double>(kGreatest);
    EXPECT_NEAR(sum.value(), expected, expected * 1e-15);
}

}  // namespace
