#include "FractionFile.h"

#include <algorithm>
#include <array>
#include <istream>
#include <ostream>
#include <streambuf>

#include "LittleEndian.h"

namespace {

// A streambuf over bytes already in memory, so that records can be read
// with Fraction::readBinary without copying them into a stringstream.
class MemoryBuffer : public std::streambuf {
public:
    explicit MemoryBuffer(std::string& bytes)
    {
        char* begin = bytes.data();
        setg(begin, begin, begin + bytes.size());
    }
};

constexpr std::size_t kFirstChunk = std::size_t{64} * 1024;

std::string describeShortFile(std::int32_t count, std::size_t recordBytes)
{
    const std::size_t wholeRecords = recordBytes / FRACTION_RECORD_SIZE;
    std::string error = "header says " + std::to_string(count) + " records, file holds " +
                        std::to_string(wholeRecords);
    if (recordBytes % FRACTION_RECORD_SIZE != 0) {
        error += " and " + std::to_string(recordBytes % FRACTION_RECORD_SIZE) + " bytes of another";
    }
    return error;
}

}  // namespace

FractionFileResult readFractionFile(std::istream& in)
{
    std::array<char, FRACTION_COUNT_SIZE> header{};
    in.read(header.data(), header.size());
    const auto headerBytes = static_cast<std::size_t>(in.gcount());
    if (headerBytes != header.size()) {
        return {std::nullopt, "not a fraction file: " + std::to_string(headerBytes) +
                                  " bytes, too short for the 4-byte count"};
    }

    FractionFileContents contents;
    contents.count = decodeInt32(header.data());
    const std::size_t expected =
        contents.count > 0 ? static_cast<std::size_t>(contents.count) * FRACTION_RECORD_SIZE : 0;

    // Chunks double with what has arrived, so allocation follows the data
    // rather than the header's claim.
    std::size_t chunk = kFirstChunk;
    while (contents.records.size() < expected) {
        const std::size_t have = contents.records.size();
        const std::size_t wanted = std::min(chunk, expected - have);
        contents.records.resize(have + wanted);
        in.read(&contents.records[have], static_cast<std::streamsize>(wanted));
        const auto got = static_cast<std::size_t>(in.gcount());
        contents.records.resize(have + got);
        if (got < wanted) {
            return {std::nullopt, describeShortFile(contents.count, contents.records.size())};
        }
        chunk *= 2;
    }
    contents.hasTrailingBytes = in.peek() != std::istream::traits_type::eof();
    return {std::move(contents), {}};
}

void writeCount(std::ostream& out, std::int32_t count)
{
    std::array<char, FRACTION_COUNT_SIZE> bytes{};
    encodeInt32(count, bytes.data());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<Fraction> decodeFractions(std::string& records)
{
    const std::size_t count = records.size() / FRACTION_RECORD_SIZE;
    std::vector<Fraction> fractions;
    fractions.reserve(count);
    MemoryBuffer buffer(records);
    std::istream in(&buffer);
    Fraction current;
    for (std::size_t i = 0; i < count; ++i) {
        current.readBinary(in);
        fractions.push_back(current);
    }
    return fractions;
}

void writeFractionFile(std::ostream& out, std::int32_t count,
                       const std::vector<Fraction>& fractions)
{
    writeCount(out, count);
    for (const Fraction& fraction : fractions) {
        fraction.writeBinary(out);
    }
}
