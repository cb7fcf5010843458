#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The command-line conventions of GNU tools, shared by both programs.
//
// Options may stand anywhere among the operands. A long option is written
// --name, --name=VALUE or, when it takes a value, --name VALUE; any
// unambiguous beginning of its name will do. Short options are -x, several
// together as -xy, and one that takes a value -SVALUE or -S VALUE. "--"
// ends the options: everything after it is an operand. "-" alone is an
// operand (by custom, standard input or output).
struct OptionDefinition {
    std::string_view longName;
    // '\0' for an option that has no short form.
    char shortName = '\0';
    bool takesValue = false;
    // A long option whose value, when it has one, is attached as
    // --name=VALUE, as getopt's optional arguments are; given as --name
    // its value is empty.
    bool valueOptional = false;
};

struct GivenOption {
    // Points into the table given to parseArguments.
    const OptionDefinition* definition = nullptr;
    // Empty for an option that takes no value.
    std::string value;
};

struct ParsedArguments {
    // In the order they were given.
    std::vector<GivenOption> options;
    std::vector<std::string> operands;
};

struct ArgumentsOutcome {
    // Empty when the arguments break the conventions; `error` then says
    // how, as GNU getopt would ("unrecognized option '--bogus'").
    std::optional<ParsedArguments> parsed;
    std::string error;
};

// `arguments` are the program's arguments without its name.
[[nodiscard]] ArgumentsOutcome parseArguments(std::span<const std::string_view> arguments,
                                              std::span<const OptionDefinition> table);
