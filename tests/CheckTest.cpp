// Compiled with NDEBUG, as a release build is: the standard assert is off
// here, and the program's own check must still stop a failing run.
#ifndef NDEBUG
#error "this test must be compiled with NDEBUG"
#endif

#include <gtest/gtest.h>

#include "common/Check.h"
#include "fraction/Fraction.h"

using fraction::Fraction;

namespace {

TEST(CheckDeathTest, FailingCheckAbortsWithTheExpressionTextInReleaseBuilds)
{
    Fraction f1;
    EXPECT_DEATH(
        FRACTION_CHECK(f1.setValue(10001, 1)),
        R"(: .*CheckTest\.cpp:.*: .*TestBody.*: Assertion `f1\.setValue\(10001, 1\)' failed\.)");
}

TEST(CheckDeathTest, PassingCheckEvaluatesItsExpressionOnce)
{
    int evaluations = 0;
    FRACTION_CHECK(++evaluations == 1);
    EXPECT_EQ(evaluations, 1);
}

}  // namespace
