#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/Outcome.h"

namespace {

Status statusOf(bool works)
{
    if (!works) {
        return Failure("cannot work");
    }
    return {};
}

// A value that cannot be copied comes out whole, and a failure keeps its
// reason on the way up.
Result<std::unique_ptr<int>> made(bool works)
{
    if (!works) {
        return Failure("cannot make");
    }
    return std::make_unique<int>(7);
}

Status handedOn(bool works)
{
    Result<std::unique_ptr<int>> result = made(works);
    if (!result) {
        return Failure("first: " + result.reason());
    }
    return result.status();
}

TEST(Outcome, SaysWhetherItWorkedAndWhyNot)
{
    for (const bool works : {true, false}) {
        SCOPED_TRACE(works);
        const Status status = statusOf(works);
        EXPECT_EQ(status.ok(), works);
        EXPECT_EQ(static_cast<bool>(status), works);
        Result<std::unique_ptr<int>> result = made(works);
        EXPECT_EQ(result.ok(), works);
        EXPECT_EQ(handedOn(works).ok(), works);
        if (works) {
            EXPECT_EQ(*result.value(), 7);
            const std::unique_ptr<int> taken = std::move(result).value();
            EXPECT_EQ(*taken, 7);
        } else {
            EXPECT_EQ(status.reason(), "cannot work");
            EXPECT_EQ(status.failure().reason(), "cannot work");
            EXPECT_EQ(result.reason(), "cannot make");
            EXPECT_EQ(result.status().reason(), "cannot make");
            EXPECT_EQ(handedOn(works).reason(), "first: cannot make");
        }
    }
}

// Even an empty reason is a failure: success is said apart from it.
TEST(Outcome, AnEmptyReasonStillFails)
{
    const Status status = Failure("");
    EXPECT_FALSE(status.ok());
    const Result<std::string> result = Failure("");
    EXPECT_FALSE(result.ok());
    const Result<std::string> emptyValue = std::string();
    ASSERT_TRUE(emptyValue.ok());
    EXPECT_EQ(emptyValue.value(), "");
}

// Asking a success for its reason, or a failure for its value, is a fault
// of the caller's, stopped in every build.
TEST(OutcomeDeathTest, AskingForWhatIsNotThereStops)
{
    EXPECT_DEATH(static_cast<void>(Status().reason()), "Assertion `failed' failed");
    EXPECT_DEATH(static_cast<void>(Result<int>(Failure("no")).value()),
                 "Assertion `ok\\(\\)' failed");
    EXPECT_DEATH(static_cast<void>(Result<int>(3).reason()), "Assertion `!ok\\(\\)' failed");
}

}  // namespace
