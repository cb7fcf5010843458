#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "sort/MemoryBudget.h"

using sorting::defaultBudget;
using sorting::grantedBudget;
using sorting::kMinimumBudget;
using sorting::kThreadBytes;
using sorting::MemoryFacts;
using sorting::sizeText;
using sorting::threadBytes;
using sorting::threadsWithin;
using sorting::workableBudget;

namespace {

constexpr std::uint64_t kMebi = std::uint64_t{1} << 20U;

TEST(MemoryBudget, ATooSmallBudgetIsRaisedToTheSmallestWorkable)
{
    EXPECT_EQ(workableBudget(0), kMinimumBudget);
    EXPECT_EQ(workableBudget(kMinimumBudget - 1), kMinimumBudget);
    EXPECT_EQ(workableBudget(32 * kMebi), 32 * kMebi);
}

TEST(MemoryBudget, TheDefaultIsAShareOfTheLeastThatAnySourceLeaves)
{
    MemoryFacts facts;
    facts.process.systemAvailable = 1000 * kMebi;
    facts.process.addressSpaceLeft = 400 * kMebi;
    facts.controlGroupLeft = 96 * kMebi;
    EXPECT_EQ(defaultBudget(facts), 48 * kMebi);
    facts.controlGroupLeft.reset();
    EXPECT_EQ(defaultBudget(facts), 200 * kMebi);
    facts.process.dataSegmentLeft = 10 * kMebi;
    EXPECT_EQ(defaultBudget(facts), 5 * kMebi);
    facts.process.dataSegmentLeft = 0;
    EXPECT_EQ(defaultBudget(facts), kMinimumBudget);
}

TEST(MemoryBudget, AnExplicitBudgetIsLoweredToWhatTheLimitsGrant)
{
    constexpr std::uint64_t kGibi = 1024 * kMebi;
    MemoryFacts facts;
    // No source limits anything: what is asked for is what is used (up to
    // half the address space, which on a 32-bit target is under 2 GiB).
    EXPECT_EQ(grantedBudget(kGibi, facts).bytes, kGibi);
    EXPECT_FALSE(grantedBudget(kGibi, facts).lowered);
    // More than the address space holds is lowered to it, and told.
    const std::uint64_t beyond = std::numeric_limits<std::uint64_t>::max();
    EXPECT_EQ(grantedBudget(beyond, facts).bytes, workableBudget(beyond));
    EXPECT_TRUE(grantedBudget(beyond, facts).lowered);
    facts.process.systemAvailable = 20 * kGibi;
    facts.controlGroupLeft = 57 * kMebi;
    // Three quarters of what the group leaves, in whole MiB, more than
    // the default's half.
    EXPECT_EQ(grantedBudget(kGibi, facts).bytes, 42 * kMebi);
    EXPECT_TRUE(grantedBudget(kGibi, facts).lowered);
    EXPECT_GT(grantedBudget(kGibi, facts).bytes, defaultBudget(facts));
    // What fits is kept as asked, to the byte.
    EXPECT_EQ(grantedBudget(40 * kMebi + 1, facts).bytes, 40 * kMebi + 1);
    EXPECT_FALSE(grantedBudget(40 * kMebi + 1, facts).lowered);
    // A small limit keeps back the program's own room, not a quarter.
    facts.process.addressSpaceLeft = 20 * kMebi;
    EXPECT_EQ(grantedBudget(kGibi, facts).bytes, 12 * kMebi);
    // Nothing left grants the least budget the report works in, no less.
    facts.process.dataSegmentLeft = kMebi;
    EXPECT_EQ(grantedBudget(kGibi, facts).bytes, kMinimumBudget);
    EXPECT_FALSE(grantedBudget(kMinimumBudget, facts).lowered);
}

// The threads' own memory takes a quarter of the budget at most: a small
// budget gets fewer threads than asked for, never none, and a large one
// all of them.
TEST(MemoryBudget, ThreadsAreLoweredToWhatTheBudgetHolds)
{
    EXPECT_EQ(threadsWithin(42 * kMebi, 256), 85U);
    EXPECT_LE(threadBytes(threadsWithin(42 * kMebi, 256)), 42 * kMebi / 4);
    EXPECT_EQ(threadsWithin(kMinimumBudget, 8), 1U);
    EXPECT_EQ(threadsWithin(kMinimumBudget, 0), 1U);
    EXPECT_EQ(threadsWithin(1024 * kMebi, 8), 8U);
    EXPECT_EQ(threadsWithin(4 * kMebi, 3), 3U);
    EXPECT_EQ(threadBytes(1), 0U);
    EXPECT_EQ(threadBytes(0), 0U);
    EXPECT_EQ(threadBytes(3), 2 * kThreadBytes);
}

TEST(MemoryBudget, SizesAreToldAsTheOptionTakesThem)
{
    EXPECT_EQ(sizeText(1024 * kMebi), "1G");
    EXPECT_EQ(sizeText(std::uint64_t{15} << 60U), "15E");
    EXPECT_EQ(sizeText(std::uint64_t{3} << 50U), "3P");
    EXPECT_EQ(sizeText(std::uint64_t{1025} << 30U), "1025G");
    EXPECT_EQ(sizeText(42 * kMebi), "42M");
    EXPECT_EQ(sizeText(kMinimumBudget), "256K");
    EXPECT_EQ(sizeText(1000), "1000");
    EXPECT_EQ(sizeText(0), "0");
}

}  // namespace
