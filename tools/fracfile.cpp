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

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "OutputFile.h"
#include "fraction/FractionFile.h"
#include "fraction/FractionRecord.h"
#include "fraction/Version.h"
#include "platform/Platform.h"
#include "terminal/TerminalText.h"

using fraction::FRACTION_VERSION;
using fraction::FractionFileContents;
using fraction::FractionFileResult;
using fraction::FractionRecord;
using fraction::INVALID_RECORD;
using fraction::isMarkerPair;
using fraction::readFractionFile;
using fraction::writeFractionFile;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

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

struct ParsedText {
    std::optional<std::int32_t> count;
    std::vector<FractionRecord> records;
};

// Parses the whole text form; on a bad line writes the error and returns nullopt.
std::optional<ParsedText> parseText(std::istream& in)
{
    ParsedText parsed;
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
            return std::nullopt;
        };
        bool outOfRange = false;
        if (text.rfind("count", 0) == 0) {
            if (seenContent) {
                return fail("a count line must come before every record");
            }
            parsed.count = parseInt32(text.substr(5), outOfRange);
            if (!parsed.count) {
                return fail("not a count: '" + std::string(text) + "'");
            }
        } else if (text == "invalid") {
            parsed.records.push_back(INVALID_RECORD);
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
            parsed.records.push_back({*numerator, *denominator});
        }
        seenContent = true;
    }
    if (in.bad()) {
        complain("cannot read standard input");
        return std::nullopt;
    }
    return parsed;
}

int pack(const std::string& outputName)
{
    const std::optional<ParsedText> parsed = parseText(std::cin);
    if (!parsed) {
        return kExitFailure;
    }
    const std::size_t recordCount = parsed->records.size();
    if (recordCount > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        complain("too many records for a fraction file");
        return kExitFailure;
    }
    const auto ownCount = static_cast<std::int32_t>(recordCount);
    const std::int32_t count = parsed->count.value_or(ownCount);
    if (count != ownCount && !(count <= 0 && ownCount == 0)) {
        complain("the count line says " + std::to_string(count) + " records, the text holds " +
                 std::to_string(ownCount));
        return kExitFailure;
    }

    OutputFile output(outputName);
    if (!output.isOpen()) {
        complain(outputName + ": cannot open for writing");
        return kExitFailure;
    }
    const FractionRecord* const records = parsed->records.data();
    writeFractionFile(output.stream(), count, records, records + recordCount);
    const std::string error = output.finish();
    if (!error.empty()) {
        complain(outputName + ": " + error);
        return kExitFailure;
    }
    return EXIT_SUCCESS;
}

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
    const FractionFileResult result = readFractionFile(file);
    if (!result.contents) {
        complain(inputName + ": " + result.message);
        return kExitFailure;
    }
    const FractionFileContents& contents = *result.contents;
    if (contents.hasTrailingBytes) {
        complain(inputName + ": ignoring the bytes after the " + std::to_string(contents.count) +
                 " counted records");
    }
    std::cout << "count " << contents.count << '\n';
    for (const FractionRecord& record : contents.records) {
        if (isMarkerPair(record)) {
            std::cout << "invalid\n";
        } else {
            std::cout << record.numerator << '/' << record.denominator << '\n';
        }
    }
    std::cout.flush();
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
    // The program throws nothing of its own; what can arrive here is the
    // standard library failing an allocation (a long text, a large file) on
    // a machine with no memory left. Caught once, to end with a message and
    // a status instead of an abort.
    try {
        return run(std::vector<std::string_view>(argv + 1, argv + argc));
    } catch (const std::bad_alloc&) {
        std::cerr << "fracfile: out of memory\n";
        return kExitFailure;
    }
}
