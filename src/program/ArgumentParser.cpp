#include "ArgumentParser.h"

#include <algorithm>
#include <cstddef>

namespace {

class Parser {
public:
    Parser(std::span<const std::string_view> arguments,
           std::span<const OptionDefinition> table) noexcept
        : args(arguments), options(table)
    {
    }

    ArgumentsOutcome run()
    {
        bool optionsEnded = false;
        while (next < args.size()) {
            const std::string_view argument = args[next++];
            if (optionsEnded || argument == "-" || argument.size() < 2 || argument[0] != '-') {
                parsed.operands.emplace_back(argument);
            } else if (argument == "--") {
                optionsEnded = true;
            } else if (argument[1] == '-') {
                longOption(argument.substr(2));
            } else {
                shortOptions(argument.substr(1));
            }
            if (!error.empty()) {
                return {std::nullopt, std::move(error)};
            }
        }
        return {std::move(parsed), {}};
    }

private:
    void longOption(std::string_view text)
    {
        const std::size_t equals = text.find('=');
        const std::string_view name = text.substr(0, equals);
        const OptionDefinition* const option = findLong(name);
        if (option == nullptr) {
            return;
        }
        const std::string shownName = "'--" + std::string(option->longName) + "'";
        if (equals != std::string_view::npos) {
            if (!option->takesValue && !option->valueOptional) {
                error = "option " + shownName + " doesn't allow an argument";
                return;
            }
            parsed.options.push_back({option, std::string(text.substr(equals + 1))});
            return;
        }
        if (!option->takesValue || option->valueOptional) {
            parsed.options.push_back({option, {}});
            return;
        }
        if (next == args.size()) {
            error = "option " + shownName + " requires an argument";
            return;
        }
        parsed.options.push_back({option, std::string(args[next++])});
    }

    // The option `name` names, whole or by an unambiguous beginning; null,
    // with the error set, when there is none or more than one.
    const OptionDefinition* findLong(std::string_view name)
    {
        const OptionDefinition* found = nullptr;
        std::string candidates;
        for (const OptionDefinition& option : options) {
            if (option.longName == name) {
                return &option;
            }
            if (!name.empty() && option.longName.substr(0, name.size()) == name) {
                candidates += " '--" + std::string(option.longName) + "'";
                found = found == nullptr ? &option : &ambiguous;
            }
        }
        if (found == nullptr) {
            error = "unrecognized option '--" + std::string(name) + "'";
            return nullptr;
        }
        if (found == &ambiguous) {
            error =
                "option '--" + std::string(name) + "' is ambiguous; possibilities:" + candidates;
            return nullptr;
        }
        return found;
    }

    void shortOptions(std::string_view cluster)
    {
        for (std::size_t position = 0; position < cluster.size(); ++position) {
            const char letter = cluster[position];
            const OptionDefinition* const option = findShort(letter);
            if (option == nullptr) {
                error = std::string("invalid option -- '") + letter + "'";
                return;
            }
            if (!option->takesValue) {
                parsed.options.push_back({option, {}});
                continue;
            }
            // The rest of the cluster is the value, or else the next argument.
            if (position + 1 < cluster.size()) {
                parsed.options.push_back({option, std::string(cluster.substr(position + 1))});
            } else if (next < args.size()) {
                parsed.options.push_back({option, std::string(args[next++])});
            } else {
                error = std::string("option requires an argument -- '") + letter + "'";
            }
            return;
        }
    }

    const OptionDefinition* findShort(char letter) const noexcept
    {
        const auto found =
            std::find_if(options.begin(), options.end(), [letter](const OptionDefinition& option) {
                return option.shortName != '\0' && option.shortName == letter;
            });
        return found == options.end() ? nullptr : &*found;
    }

    // Stands for "more than one option matches" while a name is looked up.
    static constexpr OptionDefinition ambiguous{};

    std::span<const std::string_view> args;
    std::span<const OptionDefinition> options;
    std::size_t next = 0;
    ParsedArguments parsed;
    std::string error;
};

}  // namespace

ArgumentsOutcome parseArguments(std::span<const std::string_view> arguments,
                                std::span<const OptionDefinition> table)
{
    return Parser(arguments, table).run();
}
