#include "FractionCommandLine.h"

#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <limits>
#include <system_error>

#include "ArgumentParser.h"

namespace {

constexpr std::array<OptionDefinition, 8> kOptions = {{
    {"report", '\0', false},
    {"quiet", 'q', false},
    {"summary", '\0', false, true},
    {"buffer-size", 'S', true},
    {"temporary-directory", 'T', true},
    {"parallel", '\0', true},
    {"help", 'h', false},
    {"version", '\0', false},
}};

// The reason `text` cannot serve as the temporary directory, or empty.
std::string temporaryDirectoryProblem(const std::string& text)
{
    if (text.empty()) {
        return "an empty name";
    }
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(text, error);
    if (error) {
        return error.message();
    }
    if (!std::filesystem::is_directory(status)) {
        return std::make_error_code(std::errc::not_a_directory).message();
    }
    return {};
}

// A thread count as --parallel takes it: a whole number from 1 to
// kThreadsAtMost.
std::optional<unsigned> parseThreads(std::string_view text)
{
    unsigned threads = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), threads);
    if (error != std::errc() || end != text.data() + text.size() || threads == 0 ||
        threads > kThreadsAtMost) {
        return std::nullopt;
    }
    return threads;
}

}  // namespace

ByteSize parseByteSize(std::string_view text)
{
    constexpr const char* kForm = "expected a number of bytes, or of K, M, G, T, P, E or %";
    constexpr std::string_view kUnits = "BKMGTPE";
    unsigned shift = 0;
    bool percent = false;
    if (!text.empty()) {
        const auto suffix =
            static_cast<char>(std::toupper(static_cast<unsigned char>(text.back())));
        const std::size_t unit = kUnits.find(suffix);
        percent = suffix == '%';
        if (unit != std::string_view::npos) {
            constexpr unsigned kBitsPerUnit = 10;
            shift = static_cast<unsigned>(unit) * kBitsPerUnit;
        }
        if (percent || unit != std::string_view::npos) {
            text.remove_suffix(1);
        }
    }
    if (text.empty()) {
        return {std::nullopt, kForm};
    }
    constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t number = 0;
    bool tooLarge = false;
    for (const char digit : text) {
        if (digit < '0' || digit > '9') {
            return {std::nullopt, kForm};
        }
        const auto value = static_cast<std::uint64_t>(digit - '0');
        tooLarge = tooLarge || number > (kLargest - value) / 10;
        if (!tooLarge) {
            number = number * 10 + value;
        }
    }
    if (tooLarge || number > kLargest >> shift) {
        return {std::nullopt, "too large"};
    }
    if (number == 0) {
        return {std::nullopt, "a buffer needs more than 0 bytes"};
    }
    if (percent) {
        return {std::nullopt, {}, number};
    }
    return {number << shift, {}};
}

std::uint64_t shareOfMemory(std::uint64_t percent, std::uint64_t memory) noexcept
{
    constexpr std::uint64_t kWhole = 100;
    constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();
    // A hundredth at a time, so that no product passes 64 bits unnoticed.
    const std::uint64_t hundredth = memory / kWhole;
    const std::uint64_t rest = memory % kWhole;
    if (hundredth != 0 && percent > kLargest / hundredth) {
        return kLargest;
    }
    const std::uint64_t whole = percent * hundredth;
    const std::uint64_t fromRest = percent / kWhole * rest + percent % kWhole * rest / kWhole;
    return fromRest > kLargest - whole ? kLargest : whole + fromRest;
}

namespace {

// Takes one option other than --help and --version into `invocation`: the
// reason its value is wrong, or empty.
std::string takeOption(const GivenOption& option, FractionInvocation& invocation)
{
    const std::string_view name = option.definition->longName;
    if (name == "report") {
        invocation.action = FractionInvocation::Action::report;
    } else if (name == "buffer-size") {
        const ByteSize size = parseByteSize(option.value);
        if (!size.bytes && !size.percent) {
            return "invalid buffer size '" + option.value + "': " + size.problem;
        }
        invocation.bufferSize = size.bytes;
        invocation.bufferPercent = size.percent;
    } else if (name == "temporary-directory") {
        const std::string problem = temporaryDirectoryProblem(option.value);
        if (!problem.empty()) {
            return "invalid temporary directory '" + option.value + "': " + problem;
        }
        invocation.temporaryDirectory = option.value;
    } else if (name == "parallel") {
        invocation.threads = parseThreads(option.value);
        if (!invocation.threads) {
            return "invalid number of threads '" + option.value +
                   "': expected a whole number from 1 to " + std::to_string(kThreadsAtMost);
        }
    } else if (name == "quiet") {
        invocation.quiet = true;
    } else if (name == "summary") {
        if (option.value.empty()) {
            invocation.summary = FractionInvocation::Summary::text;
        } else if (option.value == "json") {
            // Standard output is then one JSON document: nothing else goes
            // there, as with --quiet.
            invocation.summary = FractionInvocation::Summary::json;
            invocation.quiet = true;
        } else {
            return "invalid summary form '" + option.value + "': expected json, or none";
        }
    }
    return {};
}

// The invocation of the options taken, with its operands, once the options
// and operands are checked against each other.
FractionCommandLine withOperands(FractionInvocation invocation,
                                 const std::vector<std::string>& operands, bool answersFromTerminal)
{
    const bool report = invocation.action == FractionInvocation::Action::report;
    const bool reportOptionGiven =
        invocation.bufferSize || invocation.bufferPercent || invocation.temporaryDirectory;
    if (!report && reportOptionGiven) {
        return {std::nullopt, "--buffer-size and --temporary-directory need --report"};
    }
    const bool summary = invocation.summary != FractionInvocation::Summary::none;
    if (!report && summary) {
        return {std::nullopt, "--summary needs --report"};
    }
    if (!report && invocation.threads) {
        return {std::nullopt, "--parallel needs --report"};
    }
    const std::size_t allowedOperands = report ? 2 : 0;
    if (operands.size() > allowedOperands) {
        // A file named without --report was most likely meant for it.
        return {std::nullopt, "extra operand '" + operands[allowedOperands] + "'",
                report ? std::string() : std::string("'fraction --report FILE' to report on FILE")};
    }
    if (!operands.empty()) {
        invocation.inputName = operands[0];
    }
    if (operands.size() > 1) {
        invocation.outputName = operands[1];
    }
    if (invocation.inputName && !invocation.outputName) {
        if (summary) {
            invocation.writesOutputFile = false;
        } else if (*invocation.inputName == "-") {
            // The fraction file then fills standard input, where the answers
            // would be.
            return {std::nullopt, "with '-' as INPUT, OUTPUT must be given too"};
        } else if (!answersFromTerminal) {
            return {std::nullopt, "missing OUTPUT operand after '" + *invocation.inputName +
                                      "' (a name is asked for only at a terminal)"};
        }
    }
    return {invocation, {}};
}

}  // namespace

FractionCommandLine parseFractionCommandLine(std::span<const std::string_view> arguments,
                                             bool answersFromTerminal)
{
    ArgumentsOutcome outcome = parseArguments(arguments, kOptions);
    if (!outcome.parsed) {
        return {std::nullopt, std::move(outcome.error)};
    }
    const ParsedArguments& parsed = *outcome.parsed;
    FractionInvocation invocation;
    for (const GivenOption& option : parsed.options) {
        const std::string_view name = option.definition->longName;
        // The first of --help and --version wins, whatever else is given.
        if (name == "help" || name == "version") {
            invocation.action = name == "help" ? FractionInvocation::Action::help
                                               : FractionInvocation::Action::version;
            return {invocation, {}};
        }
    }
    for (const GivenOption& option : parsed.options) {
        std::string problem = takeOption(option, invocation);
        if (!problem.empty()) {
            return {std::nullopt, std::move(problem)};
        }
    }
    return withOperands(std::move(invocation), parsed.operands, answersFromTerminal);
}
