#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "FractionTestSupport.h"
#include "fraction/Fraction.h"

using fraction::Fraction;
using fraction::INVALID_MARK;

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

std::vector<unsigned> bytesOf(const Fraction& fraction)
{
    std::ostringstream out;
    fraction.writeBinary(out);
    const std::string text = out.str();
    std::vector<unsigned> bytes(text.size());
    std::transform(text.begin(), text.end(), bytes.begin(),
                   [](char byte) { return static_cast<unsigned char>(byte); });
    return bytes;
}

Fraction readBack(const std::string& bytes, const Fraction& before)
{
    std::istringstream in(bytes);
    Fraction fraction = before;
    fraction.readBinary(in);
    return fraction;
}

Fraction roundTrip(const Fraction& fraction)
{
    std::ostringstream out;
    fraction.writeBinary(out);
    return readBack(out.str(), Fraction());
}

const std::string kMarkerPair("\x15\xCD\x5B\x07\x15\xCD\x5B\x07", 8);

TEST(FractionRecord, WritesPartsAsStoredInLittleEndian)
{
    Fraction fraction;
    fraction.setValue(-42377, 29457);
    EXPECT_EQ(bytesOf(fraction),
              (std::vector<unsigned>{0x77, 0x5A, 0xFF, 0xFF, 0x11, 0x73, 0x00, 0x00}));
    EXPECT_EQ(bytesOf(fromParts(kMin, kMax)),
              (std::vector<unsigned>{0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(bytesOf(fromParts(2, -4)),
              (std::vector<unsigned>{0x02, 0x00, 0x00, 0x00, 0xFC, 0xFF, 0xFF, 0xFF}));
}

TEST(FractionRecord, ValidValuesSurviveTheRoundTripExactly)
{
    std::mt19937 random(99);
    std::uniform_int_distribution<std::int32_t> part(kMin, kMax);
    for (int i = 0; i < 10000; ++i) {
        const std::int32_t numerator = part(random);
        const std::int32_t denominator = part(random) | 1;
        const Fraction written = fromParts(numerator, denominator);
        const Fraction read = roundTrip(written);
        ASSERT_EQ(partsOf(read), partsOf(written));
    }
}

TEST(FractionRecord, InvalidFractionIsTheMarkerPairAndReadsBackInvalid)
{
    const Fraction invalid = invalidFraction();
    EXPECT_EQ(bytesOf(invalid),
              (std::vector<unsigned>{0x15, 0xCD, 0x5B, 0x07, 0x15, 0xCD, 0x5B, 0x07}));

    const Fraction read = readBack(kMarkerPair, fromParts(3, 4));
    EXPECT_FALSE(read.isValid());
    EXPECT_EQ(read.numeratorPart(), 3) << "the marker leaves the parts as they were";
    EXPECT_EQ(read.denominatorPart(), 4);
}

// Only the pair of markers means invalid; one marker is an ordinary part.
TEST(FractionRecord, ASingleMarkerPartIsAnOrdinaryValue)
{
    Fraction bigNumerator;
    ASSERT_TRUE(bigNumerator.setValue(INVALID_MARK, 12346));
    EXPECT_EQ(partsOf(roundTrip(bigNumerator)), "123456789/12346");
    EXPECT_EQ(partsOf(roundTrip(fromParts(1, INVALID_MARK))), "1/123456789");
}

// The writer never produces the marker pair for a valid value.
TEST(FractionRecord, ValidMarkerOverMarkerIsWrittenAsOne)
{
    Fraction one;
    ASSERT_TRUE(one.setValue(INVALID_MARK, INVALID_MARK));
    EXPECT_EQ(bytesOf(one), (std::vector<unsigned>{1, 0, 0, 0, 1, 0, 0, 0}));
    const Fraction read = roundTrip(one);
    EXPECT_TRUE(read.isValid());
    EXPECT_TRUE(read.equal(one));
}

TEST(FractionRecord, ZeroDenominatorOrShortRecordReadsInvalidWithPartsUnchanged)
{
    const std::string zeroDenominator("\x05\x00\x00\x00\x00\x00\x00\x00", 8);
    const std::string cutShort("\x05\x00\x00\x00\x02\x00", 6);
    for (const std::string& bytes : {zeroDenominator, cutShort, std::string()}) {
        const Fraction read = readBack(bytes, fromParts(3, 4));
        EXPECT_FALSE(read.isValid()) << bytes.size() << " bytes";
        EXPECT_EQ(partsOf(fromParts(read.numeratorPart(), read.denominatorPart())), "3/4");
    }
}

TEST(FractionRecord, ReadsConsecutiveRecordsAndFailsAtTheEnd)
{
    std::ostringstream out;
    fromParts(1, 2).writeBinary(out);
    invalidFraction().writeBinary(out);
    fromParts(-3, 4).writeBinary(out);
    std::istringstream in(out.str());
    Fraction fraction;
    fraction.readBinary(in);
    EXPECT_EQ(partsOf(fraction), "1/2");
    fraction.readBinary(in);
    EXPECT_EQ(partsOf(fraction), "invalid");
    fraction.readBinary(in);
    EXPECT_EQ(partsOf(fraction), "-3/4");
    fraction.readBinary(in);
    EXPECT_EQ(partsOf(fraction), "invalid");
}

}  // namespace
