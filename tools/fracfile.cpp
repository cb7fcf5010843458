// fracfile: makes fraction files from text and shows any fraction file as text.
//
//   fracfile pack OUT   reads fractions from standard input and writes OUT
//   fracfile dump FILE  prints FILE's count and records as text
//                       (with --no-count, the records alone)
//
// The text form has one record a line: "numerator/denominator" (spaces
// around the parts and a sign on either part allowed) or "invalid" for the
// marker pair; the report's own text form ("- 3 / 4 ", "Invalid Fraction!! ",
// with or without a listing's index column) is read too, and so is an
// integer alone, as n/1. An optional first
// line "count N" gives the file's count; pack otherwise counts the records.
// Blank lines and lines starting with '#' are skipped. dump prints the
// count line, so pack of a dump gives back the same bytes for every whole
// fraction file.

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "ArgumentParser.h"
#include "CommandConventions.h"
#include "InputFile.h"
#include "OutputFile.h"
#include "StandardOutput.h"
#include "common/Outcome.h"
#include "common/ReadFailure.h"
#include "fraction/Fraction.h"
#include "fraction/FractionFile.h"
#include "fraction/FractionRecord.h"

using fraction::FractionRecord;
using fraction::isMarkerPair;
using fraction::writeFractionFile;

namespace {

constexpr std::string_view kProgramName = "fracfile";

constexpr std::string_view kUsage =
    "Usage: fracfile [OPTION]... pack OUT\n"
    "  or:  fracfile [OPTION]... dump FILE\n"
    "Make the fraction file OUT from the text on standard input (pack), or show\n"
    "the fraction file FILE as that text (dump). OUT - is standard output, FILE -\n"
    "standard input.\n"
    "\n"
    "      --no-count  dump the records alone, without the count line first\n"
    "  -h, --help      display this help and exit\n"
    "      --version   output version information and exit\n"
    "\n"
    "One record a line: numerator/denominator (for example -3/4 or 1 / -2) or the\n"
    "word invalid; an integer alone (3) is n/1. The report's text form (- 3 / 4,\n"
    "Invalid Fraction!!, with or without a listing's index column such as\n"
    "\"  0: \") is read too. An optional first line \"count N\" sets the file's\n"
    "count; blank lines and lines starting with # are skipped. A valid 123456789/123456789 is "
    "stored as 1/1, since that\n"
    "pair marks an invalid fraction.\n"
    "\n"
    "Exit status:\n"
    " 0  done;\n"
    " 1  a line of the text is not a record, the count line disagrees with the\n"
    "    records, a file could not be opened, read or written, or the file to\n"
    "    dump is shorter than its count says;\n"
    " 2  wrong usage.\n";

// Records are written and shown this many at a time.
constexpr std::size_t kPackBlock = 8192;

// Bad lines of a text reported one by one; the rest are only counted.
constexpr std::size_t kBadLinesShown = 10;
// How much of a bad line a message quotes.
constexpr std::size_t kQuotedBytes = 40;
// More than any valid line of the text form holds, with room for all the
// spaces around it anyone would type: a longer line is bad, and is not held
// in memory whole.
constexpr std::size_t kLongestLine = 4096;

// Reads the next line of `in`, without its end, into `buffer`, holding no
// more than kLongestLine bytes of it: `cut` tells that more followed, which
// was read and dropped. Empty at the end of the input, or when a read fails
// (then `in` is bad).
std::optional<std::string_view> readLine(std::istream& in,
                                         std::array<char, kLongestLine + 1>& buffer, bool& cut)
{
    in.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    // Counted, not measured: a line may hold NUL bytes, which are not its
    // end. The line's end, when there was one, counts too.
    const auto extracted = static_cast<std::size_t>(in.gcount());
    cut = false;
    if (in.bad() || (in.fail() && extracted == 0)) {
        return std::nullopt;
    }
    if (in.fail()) {
        // Stopped by the buffer's end, not the line's.
        cut = true;
        in.clear();
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        if (in.bad()) {
            return std::nullopt;
        }
        return std::string_view(buffer.data(), extracted);
    }
    // Without an end, the input's last line.
    return std::string_view(buffer.data(), in.eof() ? extracted : extracted - 1);
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

// The count line's number, filling the whole of `text`, spaces allowed
// around its sign; nullopt when it is not one or does not fit in 32 bits.
std::optional<std::int32_t> parseCount(std::string_view text)
{
    text = trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text = trim(text.substr(1));
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
            return std::nullopt;
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

// A listing's line without its index column: "  0: 1 / 2 " gives "1 / 2".
std::string_view withoutIndex(std::string_view text)
{
    const std::size_t colon = text.find(':');
    if (colon == 0 || colon == std::string_view::npos ||
        text.substr(0, colon).find_first_not_of("0123456789") != std::string_view::npos) {
        return text;
    }
    return trim(text.substr(colon + 1));
}

// At most kQuotedBytes of `text`, cut where a character begins, with "..."
// when something was left out.
std::string quoted(std::string_view text)
{
    std::size_t end = text.size();
    if (end > kQuotedBytes) {
        end = kQuotedBytes;
        constexpr unsigned kContinuationMask = 0xC0U;
        constexpr unsigned kContinuation = 0x80U;
        while (end > 0 &&
               (static_cast<unsigned char>(text[end]) & kContinuationMask) == kContinuation) {
            --end;
        }
    }
    std::string quote;
    quote.reserve(end + 5);
    quote += '\'';
    quote.append(text.substr(0, end));
    quote += '\'';
    if (end < text.size()) {
        quote += "...";
    }
    return quote;
}

// The record of one line that is neither blank, a comment nor a count, or
// what is wrong with the line. The parts are kept as written (a stored
// 1/0 comes back), in the spaced form the report writes too, or in the
// compact form, which takes an integer alone as n/1.
Result<FractionRecord> parseRecord(std::string_view text)
{
    text = withoutIndex(text);
    const char* const end = text.data() + text.size();
    FractionRecord parts;
    const std::from_chars_result spaced =
        fraction::from_chars(text.data(), end, parts, fraction::PartsText::spaced);
    if (spaced.ec == std::errc() && spaced.ptr == end) {
        return parts;
    }
    const std::from_chars_result compact =
        fraction::from_chars(text.data(), end, parts, fraction::PartsText::compact);
    if (compact.ec == std::errc() && compact.ptr == end) {
        return parts;
    }
    // The compact form reads the number before any "/" alone: its range
    // counts only where that number is the whole line.
    const bool outOfRange = spaced.ec == std::errc::result_out_of_range ||
                            (compact.ec == std::errc::result_out_of_range && compact.ptr == end);
    return Failure(outOfRange ? "a part outside the 32-bit range" : "not a fraction");
}

// Takes each record as it is parsed.
using RecordTaker = std::function<void(const FractionRecord&)>;

// Parses the whole text form, passing each record to `take` and the count
// line's value to `count`. Every bad line is reported (the first
// kBadLinesShown with their numbers and a quote, the rest counted), and
// then false is returned.
bool parseText(std::istream& in, std::optional<std::int32_t>& count, const RecordTaker& take)
{
    // On the heap: the programs must run with a small stack.
    const auto buffer = std::make_unique<std::array<char, kLongestLine + 1>>();
    bool cut = false;
    std::size_t lineNumber = 0;
    std::size_t badLines = 0;
    bool seenContent = false;
    const auto bad = [&](const std::string& what) {
        if (++badLines <= kBadLinesShown) {
            tellProblem(std::cerr, "line " + std::to_string(lineNumber) + ": " + what);
        }
    };
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    while (const std::optional<std::string_view> line = readLine(in, *buffer, cut)) {
        ++lineNumber;
        std::string_view text = *line;
        if (lineNumber == 1 && text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
            text.remove_prefix(kByteOrderMark.size());
        }
        text = trim(text);
        // A blank line is skipped, but not one that went on past the buffer.
        if ((text.empty() && !cut) || (!text.empty() && text.front() == '#')) {
            continue;
        }
        if (cut) {
            bad("not a fraction: " + quoted(text.empty() ? *line : text));
        } else if (text.rfind("count", 0) == 0) {
            const std::optional<std::int32_t> given = parseCount(text.substr(5));
            if (seenContent) {
                bad("a count line must come before every record");
            } else if (!given) {
                bad("not a count: " + quoted(text));
            } else {
                count = given;
            }
        } else {
            const Result<FractionRecord> record = parseRecord(text);
            if (record) {
                take(record.value());
            } else {
                bad(record.reason() + ": " + quoted(text));
            }
        }
        seenContent = true;
    }
    // Lines are read into a buffer that never grows: a bad stream is a
    // failed read (a directory, a device error).
    if (in.bad()) {
        tellProblem(std::cerr, "standard input: cannot read: " + shortReadReason(in, {}));
        return false;
    }
    if (badLines > kBadLinesShown) {
        const std::size_t more = badLines - kBadLinesShown;
        tellProblem(std::cerr,
                    std::to_string(more) + (more == 1 ? " more bad line" : " more bad lines"));
    }
    return badLines == 0;
}

// The count the file gets: the count line's, which must agree with the
// records, or theirs. Empty, with the error written, when they disagree.
std::optional<std::int32_t> fileCount(const std::optional<std::int32_t>& countLine,
                                      std::uint64_t records)
{
    if (records > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        tellProblem(std::cerr, "too many records for a fraction file");
        return std::nullopt;
    }
    const auto ownCount = static_cast<std::int32_t>(records);
    const std::int32_t count = countLine.value_or(ownCount);
    if (count != ownCount && !(count <= 0 && ownCount == 0)) {
        std::string says = std::to_string(count);
        if (count < 0) {
            says += ", which means no records,";
        } else {
            says += count == 1 ? " record," : " records,";
        }
        tellProblem(std::cerr,
                    "the count line says " + says + " the text holds " + std::to_string(ownCount));
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
    Status written = output.rewriteStart(header.data(), header.size());
    if (written) {
        written = output.finish();
    }
    if (!written) {
        tellProblem(std::cerr, outputName + ": " + written.reason());
        return kExitFailure;
    }
    return EXIT_SUCCESS;
}

// Standard output, checked after everything is written.
int finishStandardOutput(StandardOutput& standardOutput)
{
    return standardOutput.finish() ? EXIT_SUCCESS : kExitFailure;
}

int pack(const std::string& outputName, StandardOutput& standardOutput)
{
    const bool toStandardOutput = outputName == "-";
    if (toStandardOutput && !fractionFileMayGoToStandardOutput()) {
        return kExitFailure;
    }
    std::unique_ptr<OutputFile> output;
    if (!toStandardOutput) {
        Result<std::unique_ptr<OutputFile>> opened = OutputFile::open(outputName);
        if (!opened) {
            tellProblem(std::cerr, outputName + ": " + opened.reason());
            return kExitFailure;
        }
        output = std::move(opened).value();
        if (output->canRewriteStart()) {
            return packStreaming(*output, outputName);
        }
    }
    // Standard output, a device or a pipe is written in one go once the whole text is known
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
    if (toStandardOutput) {
        writeFractionFile(std::cout, *count, records.data(), records.data() + records.size());
        return finishStandardOutput(standardOutput);
    }
    writeFractionFile(output->stream(), *count, records.data(), records.data() + records.size());
    const Status finished = output->finish();
    if (!finished) {
        tellProblem(std::cerr, outputName + ": " + finished.reason());
        return kExitFailure;
    }
    return EXIT_SUCCESS;
}

// Prints the records as they are read, a block at a time, after the count
// line when `withCount`.
int dump(const std::string& inputName, bool withCount, StandardOutput& standardOutput)
{
    std::ifstream opened;
    const bool fromStandardInput = inputName == "-";
    if (!fromStandardInput) {
        const Status readable = openInputFile(inputName, opened);
        if (!readable) {
            tellProblem(std::cerr, inputName + ": " + readable.reason());
            return kExitFailure;
        }
    }
    std::istream& given = fromStandardInput ? std::cin : opened;
    std::optional<StreamOnly> streamOnly;
    if (!inputHasSize(fromStandardInput ? std::string() : inputName)) {
        streamOnly.emplace(given);
    }
    std::istream& file = streamOnly ? *streamOnly : given;
    const std::string shownName = fromStandardInput ? "standard input" : inputName;
    const fraction::FractionFileHeaderResult header = fraction::readFractionFileHeader(file);
    if (!header.header) {
        tellProblem(std::cerr, shownName + ": " + shortReadReason(file, header.message));
        return kExitFailure;
    }
    const std::int32_t count = header.header->count;
    const auto expected = static_cast<std::uint64_t>(std::max(count, 0));
    if (withCount) {
        std::cout << "count " << count << '\n';
    }
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
        // No reader for the rest (a full disk, a pipe closed): stop here.
        if (!std::cout) {
            return finishStandardOutput(standardOutput);
        }
        if (records < wanted) {
            std::cout.flush();
            tellProblem(std::cerr, shownName + ": " +
                                       shortReadReason(
                                           file, fraction::describeShortFile(count, arrivedBytes)));
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
        tellProblem(std::cerr, shownName + ": " + describeTrailingBytes(count));
    }
    return finishStandardOutput(standardOutput);
}

constexpr std::array<OptionDefinition, 3> kOptions = {{
    {"no-count", '\0', false},
    {"help", 'h', false},
    {"version", '\0', false},
}};

int run(const std::vector<std::string_view>& arguments)
{
    StandardOutput standardOutput;
    const ArgumentsOutcome outcome = parseArguments(arguments, kOptions);
    if (!outcome.parsed) {
        return usageError(outcome.error);
    }
    // The first of --help and --version wins, wherever it stands.
    bool withCount = true;
    for (const GivenOption& option : outcome.parsed->options) {
        const std::string_view name = option.definition->longName;
        if (name == "help" || name == "version") {
            return name == "help" ? writeInformation(kUsage, standardOutput)
                                  : writeInformation(versionText(), standardOutput);
        }
        withCount = false;
    }
    const std::vector<std::string>& operands = outcome.parsed->operands;
    if (operands.empty()) {
        return usageError("missing command: pack or dump");
    }
    const std::string& command = operands[0];
    if (command != "pack" && command != "dump") {
        return usageError("unknown command '" + command + "'");
    }
    if (operands.size() < 2) {
        return usageError("missing file operand after '" + command + "'");
    }
    if (operands.size() > 2) {
        return usageError("extra operand '" + operands[2] + "'");
    }
    if (command == "pack" && !withCount) {
        return usageError("--no-count is an option of dump");
    }
    return command == "pack" ? pack(operands[1], standardOutput)
                             : dump(operands[1], withCount, standardOutput);
}

}  // namespace

int main(int argc, char** argv)
{
    return runAsMain(kProgramName, argc, argv, run);
}
