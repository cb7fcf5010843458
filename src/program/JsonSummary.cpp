#include "JsonSummary.h"

#include <array>
#include <charconv>
#include <optional>
#include <string_view>

namespace {

// The shortest text that reads back as the same double; JSON has no form
// for infinities or NaN, which a sum of 32-bit fractions never reaches.
void appendNumber(std::string& text, double value)
{
    std::array<char, 32> digits{};
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    text.append(digits.data(), written.ptr);
}

void appendField(std::string& text, std::string_view name)
{
    text += text.size() == 1 ? "\"" : ",\"";
    text += name;
    text += "\":";
}

void appendFraction(std::string& text, std::string_view name, const fraction::Fraction& value)
{
    appendField(text, name);
    if (!value.isValid()) {
        text += "null";
        return;
    }
    text += '"';
    text += fraction::to_string(value);
    text += '"';
}

void appendValue(std::string& text, std::string_view name, std::optional<double> value)
{
    appendField(text, name);
    if (value) {
        appendNumber(text, *value);
    } else {
        text += "null";
    }
}

// The exact value of a valid fraction's parts, rounded once; none for an
// invalid fraction.
std::optional<double> valueOf(const fraction::Fraction& value)
{
    if (!value.isValid()) {
        return std::nullopt;
    }
    return static_cast<double>(value.numeratorPart()) /
           static_cast<double>(value.denominatorPart());
}

}  // namespace

std::string jsonSummaryText(const JsonSummary& summary)
{
    std::string text = "{";
    appendField(text, "records");
    text += std::to_string(summary.records);
    appendField(text, "valid");
    text += std::to_string(summary.valid);
    appendField(text, "invalid");
    text += std::to_string(summary.records - static_cast<std::uint64_t>(summary.valid));
    appendFraction(text, "sum", summary.sum);
    appendFraction(text, "average", summary.average);
    appendFraction(text, "median", summary.median);
    appendFraction(text, "least", summary.least);
    appendFraction(text, "greatest", summary.greatest);
    appendValue(text, "sum_value", summary.sumValue);
    appendValue(
        text, "average_value",
        summary.valid > 0 ? std::optional<double>(summary.sumValue / summary.valid) : std::nullopt);
    appendValue(text, "median_value", valueOf(summary.median));
    appendValue(text, "least_value", valueOf(summary.least));
    appendValue(text, "greatest_value", valueOf(summary.greatest));
    text += "}\n";
    return text;
}
