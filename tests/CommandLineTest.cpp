#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "ArgumentParser.h"
#include "FractionCommandLine.h"

namespace {

constexpr std::array<OptionDefinition, 4> kTable = {{
    {"report", '\0', false},
    {"reverse", 'r', false},
    {"buffer-size", 'S', true},
    {"quiet", 'q', false},
}};

ArgumentsOutcome parse(const std::vector<std::string_view>& arguments)
{
    return parseArguments(arguments, kTable);
}

// The options of an outcome as "name=value" words, in order.
std::vector<std::string> optionsOf(const ArgumentsOutcome& outcome)
{
    std::vector<std::string> words(outcome.parsed->options.size());
    std::transform(outcome.parsed->options.begin(), outcome.parsed->options.end(), words.begin(),
                   [](const GivenOption& option) {
                       return std::string(option.definition->longName) + "=" + option.value;
                   });
    return words;
}

using Words = std::vector<std::string>;

TEST(ArgumentParser, OptionsMayStandAnywhereAmongOperands)
{
    const ArgumentsOutcome outcome = parse({"in", "--report", "out", "-q"});
    ASSERT_TRUE(outcome.parsed) << outcome.error;
    EXPECT_EQ(optionsOf(outcome), (Words{"report=", "quiet="}));
    EXPECT_EQ(outcome.parsed->operands, (Words{"in", "out"}));
}

TEST(ArgumentParser, DoubleDashEndsOptionsAndDashIsAnOperand)
{
    const ArgumentsOutcome outcome = parse({"-", "--", "--report", "-q", "--"});
    ASSERT_TRUE(outcome.parsed) << outcome.error;
    EXPECT_TRUE(outcome.parsed->options.empty());
    EXPECT_EQ(outcome.parsed->operands, (Words{"-", "--report", "-q", "--"}));
}

TEST(ArgumentParser, LongOptionValuesInEveryForm)
{
    const ArgumentsOutcome outcome =
        parse({"--buffer-size=10K", "--buffer-size", "-5", "--buffer-size=", "--buf=7"});
    ASSERT_TRUE(outcome.parsed) << outcome.error;
    EXPECT_EQ(optionsOf(outcome),
              (Words{"buffer-size=10K", "buffer-size=-5", "buffer-size=", "buffer-size=7"}));
}

TEST(ArgumentParser, ShortOptionsClusterAndTakeValues)
{
    const ArgumentsOutcome outcome = parse({"-qr", "-S10", "-qS", "20", "-S", "--"});
    ASSERT_TRUE(outcome.parsed) << outcome.error;
    EXPECT_EQ(optionsOf(outcome), (Words{"quiet=", "reverse=", "buffer-size=10",
                                         "quiet=", "buffer-size=20", "buffer-size=--"}));
    EXPECT_TRUE(outcome.parsed->operands.empty());
}

TEST(ArgumentParser, AnExactNameBeatsALongerOneItBegins)
{
    constexpr std::array<OptionDefinition, 2> table = {
        {{"verbose-all", '\0', false}, {"verbose", '\0', false}}};
    const std::vector<std::string_view> arguments = {"--verbose"};
    const ArgumentsOutcome outcome = parseArguments(arguments, table);
    ASSERT_TRUE(outcome.parsed) << outcome.error;
    EXPECT_EQ(outcome.parsed->options.at(0).definition->longName, "verbose");
}

struct ErrorRow {
    std::vector<std::string_view> arguments;
    const char* error;
};

TEST(ArgumentParser, WrongUsageIsNamedAsGetoptNamesIt)
{
    const std::vector<ErrorRow> rows = {
        {{"--bogus"}, "unrecognized option '--bogus'"},
        {{"in", "--bogus=1"}, "unrecognized option '--bogus'"},
        {{"--re"}, "option '--re' is ambiguous; possibilities: '--report' '--reverse'"},
        {{"--report=yes"}, "option '--report' doesn't allow an argument"},
        {{"--buffer-size"}, "option '--buffer-size' requires an argument"},
        {{"-x"}, "invalid option -- 'x'"},
        {{"-qx"}, "invalid option -- 'x'"},
        {{"-S"}, "option requires an argument -- 'S'"},
        {{"---"}, "unrecognized option '---'"},
    };
    for (const ErrorRow& row : rows) {
        const ArgumentsOutcome outcome = parse(row.arguments);
        EXPECT_FALSE(outcome.parsed) << row.error;
        EXPECT_EQ(outcome.error, row.error);
    }
}

struct SizeRow {
    std::string_view text;
    std::uint64_t bytes;
};

TEST(BufferSize, BytesOrKMG)
{
    const std::vector<SizeRow> rows = {
        {"1", 1},
        {"4096", 4096},
        {"1K", 1024},
        {"1k", 1024},
        {"3M", std::uint64_t{3} << 20U},
        {"2g", std::uint64_t{2} << 30U},
        {"007", 7},
        {"18446744073709551615", UINT64_MAX},
        {"17179869183G", std::uint64_t{17179869183} << 30U},
        {"100b", 100},
        {"7B", 7},
        {"1T", std::uint64_t{1} << 40U},
        {"3p", std::uint64_t{3} << 50U},
        {"15E", std::uint64_t{15} << 60U},
    };
    for (const SizeRow& row : rows) {
        const ByteSize size = parseByteSize(row.text);
        EXPECT_EQ(size.bytes, row.bytes) << row.text << ": " << size.problem;
    }
}

TEST(BufferSize, RefusedWithAReason)
{
    for (const std::string_view text :
         {"", "K", "%", "abc", "1.5K", "-1", "+1", "1KB", "1Z", "5%%", " 1", "5 ", "M5", "12x"}) {
        const ByteSize size = parseByteSize(text);
        EXPECT_FALSE(size.bytes) << text;
        EXPECT_FALSE(size.percent) << text;
        EXPECT_EQ(size.problem, "expected a number of bytes, or of K, M, G, T, P, E or %") << text;
    }
    for (const std::string_view text :
         {"18446744073709551616", "17179869184G", "16E", "99999999999999999999999"}) {
        EXPECT_EQ(parseByteSize(text).problem, "too large") << text;
    }
    EXPECT_EQ(parseByteSize("0").problem, "a buffer needs more than 0 bytes");
    EXPECT_EQ(parseByteSize("0M").problem, "a buffer needs more than 0 bytes");
    EXPECT_EQ(parseByteSize("0%").problem, "a buffer needs more than 0 bytes");
}

TEST(BufferSize, PercentOfTheMachinesMemory)
{
    const ByteSize half = parseByteSize("50%");
    EXPECT_FALSE(half.bytes);
    EXPECT_EQ(half.percent, 50U);
    EXPECT_EQ(parseByteSize("250%").percent, 250U);
    EXPECT_EQ(shareOfMemory(50, 1000), 500U);
    EXPECT_EQ(shareOfMemory(1, 199), 1U);
    EXPECT_EQ(shareOfMemory(100, UINT64_MAX), UINT64_MAX);
    EXPECT_EQ(shareOfMemory(33, UINT64_MAX), UINT64_MAX / 100 * 33 + UINT64_MAX % 100 * 33 / 100);
    EXPECT_EQ(shareOfMemory(UINT64_MAX, 1000), UINT64_MAX);
    EXPECT_EQ(shareOfMemory(150, 7), 10U);
}

FractionCommandLine parseFraction(const std::vector<std::string_view>& arguments)
{
    return parseFractionCommandLine(arguments);
}

TEST(FractionCommandLine, OperandsAnswerTheReportsPrompts)
{
    const FractionCommandLine none = parseFraction({});
    ASSERT_TRUE(none.invocation);
    EXPECT_EQ(none.invocation->action, FractionInvocation::Action::selfTest);

    const FractionCommandLine both = parseFraction({"in.frac", "--report", "out.frac"});
    ASSERT_TRUE(both.invocation) << both.error;
    EXPECT_EQ(both.invocation->action, FractionInvocation::Action::report);
    EXPECT_EQ(both.invocation->inputName, "in.frac");
    EXPECT_EQ(both.invocation->outputName, "out.frac");

    const FractionCommandLine one = parseFraction({"--report", "--", "-in.frac"});
    ASSERT_TRUE(one.invocation) << one.error;
    EXPECT_EQ(one.invocation->inputName, "-in.frac");
    EXPECT_FALSE(one.invocation->outputName);

    const FractionCommandLine streams = parseFraction({"--report", "-", "-"});
    ASSERT_TRUE(streams.invocation) << streams.error;
    EXPECT_EQ(streams.invocation->inputName, "-");
    EXPECT_EQ(streams.invocation->outputName, "-");
}

TEST(FractionCommandLine, ReportOptionsAreHandedOn)
{
    const FractionCommandLine given =
        parseFraction({"--report", "-S", "64M", "--temporary-directory=.", "--parallel=3"});
    ASSERT_TRUE(given.invocation) << given.error;
    EXPECT_EQ(given.invocation->bufferSize, std::uint64_t{64} << 20U);
    EXPECT_EQ(given.invocation->temporaryDirectory, ".");
    EXPECT_EQ(given.invocation->threads, 3U);

    const FractionCommandLine defaults = parseFraction({"--report"});
    ASSERT_TRUE(defaults.invocation) << defaults.error;
    EXPECT_FALSE(defaults.invocation->bufferSize);
    EXPECT_FALSE(defaults.invocation->temporaryDirectory);
    EXPECT_FALSE(defaults.invocation->threads);
    EXPECT_FALSE(defaults.invocation->quiet);
    EXPECT_EQ(defaults.invocation->summary, FractionInvocation::Summary::none);
    EXPECT_TRUE(defaults.invocation->writesOutputFile);

    const FractionCommandLine text = parseFraction({"in.frac", "-q", "--report", "--summary"});
    ASSERT_TRUE(text.invocation) << text.error;
    EXPECT_TRUE(text.invocation->quiet);
    EXPECT_EQ(text.invocation->summary, FractionInvocation::Summary::text);
    // A summary needs no output file: without OUTPUT none is written.
    EXPECT_FALSE(text.invocation->writesOutputFile);
    const FractionCommandLine json = parseFraction({"--report", "--summary=json", "-", "out"});
    ASSERT_TRUE(json.invocation) << json.error;
    EXPECT_EQ(json.invocation->summary, FractionInvocation::Summary::json);
    EXPECT_TRUE(json.invocation->quiet);
    EXPECT_TRUE(json.invocation->writesOutputFile);
    // Quiet, the self-test alone is still a thing to run.
    const FractionCommandLine quietSelfTest = parseFraction({"--quiet"});
    ASSERT_TRUE(quietSelfTest.invocation) << quietSelfTest.error;
    EXPECT_EQ(quietSelfTest.invocation->action, FractionInvocation::Action::selfTest);
}

TEST(FractionCommandLine, NamesAreAskedForOnlyAtATerminal)
{
    const std::vector<std::string_view> inputOnly = {"--report", "in.frac"};
    EXPECT_TRUE(parseFractionCommandLine(inputOnly, true).invocation);
    const FractionCommandLine script = parseFractionCommandLine(inputOnly, false);
    EXPECT_FALSE(script.invocation);
    EXPECT_EQ(script.error,
              "missing OUTPUT operand after 'in.frac' (a name is asked for only at a terminal)");
    const std::vector<std::string_view> summary = {"--report", "--summary", "in.frac"};
    EXPECT_TRUE(parseFractionCommandLine(summary, false).invocation);
    // With no operands the names are read wherever standard input is.
    const std::vector<std::string_view> none = {"--report"};
    EXPECT_TRUE(parseFractionCommandLine(none, false).invocation);
}

TEST(FractionCommandLine, HelpAndVersionWinWhereverTheyStand)
{
    const FractionCommandLine help = parseFraction({"--report", "a", "b", "c", "-h", "--version"});
    ASSERT_TRUE(help.invocation) << help.error;
    EXPECT_EQ(help.invocation->action, FractionInvocation::Action::help);
    const FractionCommandLine version = parseFraction({"extra", "--vers", "--help"});
    ASSERT_TRUE(version.invocation) << version.error;
    EXPECT_EQ(version.invocation->action, FractionInvocation::Action::version);
}

TEST(FractionCommandLine, WrongUsageHasOneReason)
{
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "fraction-command-line-test.txt";
    std::ofstream(file) << "not a directory\n";
    const std::string fileName = file.string();
    const std::vector<ErrorRow> rows = {
        {{"in.frac"}, "extra operand 'in.frac'"},
        {{"--report", "a", "b", "c"}, "extra operand 'c'"},
        {{"--report", "-"}, "with '-' as INPUT, OUTPUT must be given too"},
        {{"-S", "1M"}, "--buffer-size and --temporary-directory need --report"},
        {{"--summary", "-q"}, "--summary needs --report"},
        {{"--report", "--summary=xml"}, "invalid summary form 'xml': expected json, or none"},
        {{"--parallel=2"}, "--parallel needs --report"},
        {{"--report", "--parallel=0"},
         "invalid number of threads '0': expected a whole number from 1 to 256"},
        {{"--report", "--parallel", "257"},
         "invalid number of threads '257': expected a whole number from 1 to 256"},
        {{"--report", "--parallel=2x"},
         "invalid number of threads '2x': expected a whole number from 1 to 256"},
        {{"--report", "--buffer-size=lots"},
         "invalid buffer size 'lots': expected a number of bytes, or of K, M, G, T, P, E or %"},
        {{"--report", "-S0"}, "invalid buffer size '0': a buffer needs more than 0 bytes"},
        {{"--report", "-T", "/no/such/directory"},
         "invalid temporary directory '/no/such/directory': No such file or directory"},
        {{"--report", "-T", fileName}, nullptr},
        {{"--report", "-T", ""}, "invalid temporary directory '': an empty name"},
        {{"--bogus"}, "unrecognized option '--bogus'"},
    };
    for (const ErrorRow& row : rows) {
        const FractionCommandLine commandLine = parseFraction(row.arguments);
        EXPECT_FALSE(commandLine.invocation);
        const std::string expected = row.error != nullptr ? row.error
                                                          : "invalid temporary directory '" +
                                                                fileName + "': Not a directory";
        EXPECT_EQ(commandLine.error, expected);
    }
    std::filesystem::remove(file);
}

TEST(FractionCommandLine, AFileWithoutReportIsPointedToIt)
{
    struct Row {
        std::vector<std::string_view> arguments;
        const char* advice;
    };
    const std::vector<Row> rows = {
        {{"my.frac"}, "'fraction --report FILE' to report on FILE"},
        {{"-q", "my.frac", "out.frac"}, "'fraction --report FILE' to report on FILE"},
        {{"--report", "in.frac", "out.frac", "my.frac"}, ""},
    };
    for (const Row& row : rows) {
        const FractionCommandLine commandLine = parseFraction(row.arguments);
        EXPECT_FALSE(commandLine.invocation);
        EXPECT_EQ(commandLine.error, "extra operand 'my.frac'");
        EXPECT_EQ(commandLine.advice, row.advice);
    }
}

}  // namespace
