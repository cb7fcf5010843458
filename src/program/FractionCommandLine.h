#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// What `fraction` was asked to do, read from its arguments:
//
//   fraction [OPTION]... [--report [INPUT [OUTPUT]]]
struct FractionInvocation {
    enum class Action { selfTest, report, help, version };
    // What --summary prints instead of the listings: none without it, the
    // report's own lines with it, one JSON object with --summary=json.
    enum class Summary { none, text, json };

    Action action = Action::selfTest;
    // The answers the report would otherwise read from standard input; "-"
    // stands for standard input or output.
    std::optional<std::string> inputName;
    std::optional<std::string> outputName;
    // The report's memory budget (--buffer-size), in bytes or as a
    // percentage of the machine's memory, and where its temporary files go
    // (--temporary-directory); unset for the defaults.
    std::optional<std::uint64_t> bufferSize;
    std::optional<std::uint64_t> bufferPercent;
    std::optional<std::string> temporaryDirectory;
    // The threads the report works with (--parallel); unset for as many as
    // the processors this process may use, up to kDefaultThreadsAtMost.
    std::optional<unsigned> threads;
    // --quiet: the self-test's lines and the report's text are not
    // printed, only a summary asked for, and the prompts go to standard
    // error.
    bool quiet = false;
    Summary summary = Summary::none;
    // A summary with the input named and no output: no file is written.
    bool writesOutputFile = true;
};

// More threads than this are not used unless asked for: past them a
// report gains little, and a shared machine's other work loses.
constexpr unsigned kDefaultThreadsAtMost = 8;
// Nor more than this when asked.
constexpr unsigned kThreadsAtMost = 256;

struct FractionCommandLine {
    // Empty for wrong usage; `error` then gives the reason in one line.
    std::optional<FractionInvocation> invocation;
    std::string error;
    // When the arguments suggest another command, the Try line's advice for
    // it, such as "'fraction --report FILE' to report on FILE"; else empty.
    std::string advice = {};
};

// `arguments` are the program's arguments without its name. A name is
// asked for only where a person can answer: with any operand given and
// `answersFromTerminal` false, a missing OUTPUT is wrong usage, so that a
// script's standard input is never taken for a file name.
[[nodiscard]] FractionCommandLine parseFractionCommandLine(
    std::span<const std::string_view> arguments, bool answersFromTerminal = true);

struct ByteSize {
    // A number of bytes, or with the suffix % a percentage of the machine's
    // memory; both empty when the text is not a size, `problem` then
    // saying why.
    std::optional<std::uint64_t> bytes;
    std::string problem;
    std::optional<std::uint64_t> percent = {};
};

// A size as GNU sort's --buffer-size takes it: a whole number, of bytes
// alone or with the suffix b, of KiB, MiB, GiB, TiB, PiB or EiB with the
// suffix K, M, G, T, P or E (either case), or of percent of the machine's
// memory with the suffix %. It must be more than zero and, in bytes, fit
// in 64 bits.
[[nodiscard]] ByteSize parseByteSize(std::string_view text);

// `percent` of `memory` bytes, as many bytes as 64 bits hold at the most.
[[nodiscard]] std::uint64_t shareOfMemory(std::uint64_t percent, std::uint64_t memory) noexcept;
