// fracfile: makes fraction files from text and shows any fraction file as text.
//
//   fracfile pack OUT   reads fractions from standard input and writes OUT
//   fracfile dump FILE  prints FILE's count and records as text
//
// The text form has one record a line: "numerator/denominator" (spaces
// around the parts and a sign on either part allowed) or "invalid" for the
// marker pair. An optional first line "count N" gives the file's count; pack
// otherwise counts the records. Blank lines and lines starting with '#' are
// skipped. dump prints the count line, so pack of a dump gives back the
// same bytes for every whole fraction file.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Interruption.h"
#include "MemoryReserve.h"
#include "OutputFile.h"
#include "fraction/FractionFile.h"
#include "fraction/FractionRecord.h"
#include "fraction/Version.h"
#include "platform/Platform.h"
#include "terminal/TerminalText.h"

using fraction::FRACTION_VERSION;
using fraction::FractionRecord;
using fraction::INVALID_RECORD;
using fraction::isMarkerPair;
using fraction::writeFractionFile;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Records are written and shown this many at a time.
constexpr std::size_t kPackBlock = 8192;

constexpr const char* kUsage =
    "Usage: fracfile pack OUT     write the fractions read from standard input to OUT\n"
    "       fracfile dump FILE    print the count and records of a fraction file\n"
    "       fracfile --help       show this help\n"
    "       fracfile --version    show the program's name and version\n"
    "\n"
    "One record a line: numerator/denominator (for example -3/4 or 1 / -2) or the\n"
    "word invalid. An optional first line \"count N\" sets the file's count; blank\n"
    "lines and lines starting with # are skipped.\n";

// One line on standard error; what it quotes of the input or of a file
// name is shown escaped where it could steer the terminal.
void complain(const std::string& message)
{
    std::cerr << "fracfile: " << terminalSafe(message) << '\n';
}

std::string_view trim(std::string_view text)
{
    constexpr std::string_view kSpace = " \t\r";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// A signed decimal integer filling the whole of `text`; nullopt when it is
// not one or does not fit in 32 bits (`outOfRange` tells which).
std::optional<std::int32_t> parseInt32(std::string_view text, bool& outOfRange)
{
    text = trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9') {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + (digit - '0');
        if (magnitude > kLimit) {
            outOfRange = true;
            return std::nullopt;
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        outOfRange = true;
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

// Takes each record as it is parsed.
using RecordTaker = std::function<void(const FractionRecord&)>;

// Parses the whole text form, passing each record to `take` and the count
// line's value to `count`; on a bad line writes the error and returns false.
bool parseText(std::istream& in, std::optional<std::int32_t>& count, const RecordTaker& take)
{
    std::string line;
    std::size_t lineNumber = 0;
    bool seenContent = false;
    while (std::getline(in, line)) {
        ++lineNumber;
        const std::string_view text = trim(line);
        if (text.empty() || text.front() == '#') {
            continue;
        }
        const auto fail = [&](const std::string& what) {
            complain("line " + std::to_string(lineNumber) + ": " + what);
            return false;
        };
        bool outOfRange = false;
        if (text.rfind("count", 0) == 0) {
            if (seenContent) {
                return fail("a count line must come before every record");
            }
            count = parseInt32(text.substr(5), outOfRange);
            if (!count) {
                return fail("not a count: '" + std::string(text) + "'");
            }
        } else if (text == "invalid") {
            take(INVALID_RECORD);
        } else {
            const auto slash = text.find('/');
            if (slash == std::string_view::npos) {
                return fail("not a fraction: '" + std::string(text) + "'");
            }
            const auto numerator = parseInt32(text.substr(0, slash), outOfRange);
            const auto denominator = parseInt32(text.substr(slash + 1), outOfRange);
            if (!numerator || !denominator) {
                return fail(
                    (outOfRange ? "a part outside the 32-bit range: '" : "not a fraction: '") +
                    std::string(text) + "'");
            }
            take({*numerator, *denominator});
        }
        seenContent = true;
    }
    if (in.bad()) {
        complain("cannot read standard input");
        return false;
    }
    return true;
}

// The count the file gets: the count line's, which must agree with the
// records, or theirs. Empty, with the error written, when they disagree.
std::optional<std::int32_t> fileCount(const std::optional<std::int32_t>& countLine,
                                      std::uint64_t records)
{
    if (records > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        complain("too many records for a fraction file");
        return std::nullopt;
    }
    const auto ownCount = static_cast<std::int32_t>(records);
    const std::int32_t count = countLine.value_or(ownCount);
    if (count != ownCount && !(count <= 0 && ownCount == 0)) {
        complain("the count line says " + std::to_string(count) + " records, the text holds " +
                 std::to_string(ownCount));
        return std::nullopt;
    }
    return count;
}

// Writes the records as they are parsed, then the count over the one
// written first: for an output that is written beside its target.
int packStreaming(OutputFile& output, const std::string& outputName)
{
    fraction::writeCount(output.stream(), 0);
    std::vector<FractionRecord> block;
    block.reserve(kPackBlock);
    std::uint64_t records = 0;
    std::optional<std::int32_t> countLine;
    const bool parsed = parseText(std::cin, countLine, [&](const FractionRecord& record) {
        block.push_back(record);
        ++records;
        if (block.size() == kPackBlock) {
            fraction::writeRecords(output.stream(), block.data(), block.data() + block.size());
            block.clear();
        }
    });
    if (!parsed) {
        return kExitFailure;
    }
    fraction::writeRecords(output.stream(), block.data(), block.data() + block.size());
    const std::optional<std::int32_t> count = fileCount(countLine, records);
    if (!count) {
        return kExitFailure;
    }
    std::array<char, fraction::FRACTION_COUNT_SIZE> header{};
    fraction::encodeInt32(*count, header.data());
    std::string error = output.rewriteStart(header.data(), header.size());
    if (error.empty()) {
        error = output.finish();
    }
    if (!error.empty()) {
        complain(outputName + ": " + error);
        return kExitFailure;
    }
    return EXIT_SUCCESS;
}

int pack(const std::string& outputName)
{
    OutputFile output(outputName);
    if (output.isOpen() && output.canRewriteStart()) {
        return packStreaming(output, outputName);
    }
    // A device or a pipe is written in one go once the whole text is known
    // to be good, so nothing reaches it from a text with a bad line.
    std::vector<FractionRecord> records;
    std::optional<std::int32_t> countLine;
    if (!parseText(std::cin, countLine,
                   [&records](const FractionRecord& record) { records.push_back(record); })) {
        return kExitFailure;
    }
    const std::optional<std::int32_t> count = fileCount(countLine, records.size());
    if (!count) {
        return kExitFailure;
    }
    if (!output.isOpen()) {
        complain(outputName + ": cannot open for writing: " + output.openFailure());
        return kExitFailure;
    }
    writeFractionFile(output.stream(), *count, records.data(), records.data() + records.size());
    const std::string error = output.finish();
    if (!error.empty()) {
        complain(outputName + ": " + error);
        return kExitFailure;
    }
    return EXIT_SUCCESS;
}

// Prints the records as they are read, a block at a time.
int dump(const std::string& inputName)
{
    std::error_code ignored;
    std::ifstream file;
    if (!std::filesystem::is_directory(inputName, ignored)) {
        file.open(inputName, std::ios::binary | std::ios::in);
    }
    if (!file.is_open()) {
        const int openError = errno;
        complain(inputName + ": cannot open: " +
                 (openError != 0 ? std::strerror(openError) : "not a readable file"));
        return kExitFailure;
    }
    const fraction::FractionFileHeaderResult header = fraction::readFractionFileHeader(file);
    if (!header.header) {
        complain(inputName + ": " + header.message);
        return kExitFailure;
    }
    const std::int32_t count = header.header->count;
    const auto expected = static_cast<std::uint64_t>(std::max(count, 0));
    std::cout << "count " << count << '\n';
    std::vector<FractionRecord> block(kPackBlock);
    std::uint64_t arrivedBytes = 0;
    for (std::uint64_t done = 0; done < expected;) {
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(kPackBlock, expected - done));
        const std::uint64_t got = fraction::readFractionRecords(file, block.data(), wanted);
        arrivedBytes += got;
        const auto records = static_cast<std::size_t>(got / fraction::FRACTION_RECORD_SIZE);
        for (const FractionRecord& record : std::span(block.data(), records)) {
            if (isMarkerPair(record)) {
                std::cout << "invalid\n";
            } else {
                std::cout << record.numerator << '/' << record.denominator << '\n';
            }
        }
        if (records < wanted) {
            std::cout.flush();
            complain(inputName + ": " + fraction::describeShortFile(count, arrivedBytes));
            return kExitFailure;
        }
        done += records;
    }
    const bool trailing =
        header.header->bytesLeft
            ? *header.header->bytesLeft > expected * fraction::FRACTION_RECORD_SIZE
            : file.peek() != std::istream::traits_type::eof();
    std::cout.flush();
    if (trailing) {
        complain(inputName + ": ignoring the bytes after the " + std::to_string(count) +
                 " counted records");
    }
    if (!std::cout) {
        complain("cannot write standard output");
        return kExitFailure;
    }
    return EXIT_SUCCESS;
}

int run(const std::vector<std::string_view>& arguments)
{
    if (arguments.size() == 1 && (arguments[0] == "-h" || arguments[0] == "--help")) {
        std::cout << kUsage;
        return EXIT_SUCCESS;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        std::cout << "fracfile " << FRACTION_VERSION << '\n';
        return EXIT_SUCCESS;
    }
    if (arguments.size() == 2 && arguments[0] == "pack") {
        return pack(std::string(arguments[1]));
    }
    if (arguments.size() == 2 && arguments[0] == "dump") {
        return dump(std::string(arguments[1]));
    }
    std::cerr << kUsage;
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    platform::useBinaryStandardStreams();
    // No temporary file of pack outlives a Ctrl-C or a kill.
    interruption::install();
    // The program throws nothing of its own; what can arrive here is the
    // standard library failing an allocation (a long text, a large file) on
    // a machine with no memory left. Caught once, to end with a message and
    // a status instead of an abort.
    try {
        if (memoryReserve::prepare()) {
            return run(std::vector<std::string_view>(argv + 1, argv + argc));
        }
    } catch (const std::bad_alloc&) {
        // Told below, as when not even the reserve can be had.
    }
    // Straight to the descriptor: the stream may be what could not get its
    // buffer.
    constexpr std::string_view kMessage = "fracfile: out of memory\n";
    platform::writeToErrorsAtOnce(kMessage.data(), kMessage.size());
    return kExitFailure;
}
