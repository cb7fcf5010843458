// Uses the library as a user would: the operators and the named operations,
// the text form, a hash table, a record round trip through a fraction file
// in memory, and another through a file on disk. Prints what it
// found, and exits 1 on the first thing that is not as it should be.

#include <fraction/Fraction.h>
#include <fraction/FractionFile.h>
#include <fraction/Version.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <vector>

#if defined(FRACTION_HAS_STD_FORMAT)
#include <format>
#endif

#include "second.h"

using fraction::Fraction;
using fraction::FRACTION_VERSION;
using fraction::FractionFileResult;
using fraction::FractionRecord;
using fraction::readFractionFile;
using fraction::writeFractionFile;

namespace {

int failures = 0;

void expect(bool condition, const std::string& what)
{
    std::cout << (condition ? "ok: " : "FAILED: ") << what << '\n';
    if (!condition) {
        ++failures;
    }
}

std::string textOf(const Fraction& fraction)
{
    std::ostringstream out;
    out << fraction;
    return out.str();
}

struct Equal {
    bool operator()(const Fraction& a, const Fraction& b) const { return a.equal(b); }
};

}  // namespace

int main()
{
    Fraction sum;
    sum.setValue(1, 2);
    Fraction quarter;
    quarter.setValue(3, 4);
    sum.add(quarter);
    expect(textOf(sum) == "5 / 4 ", "1/2 + 3/4 prints as 5 / 4");

    Fraction product = sum;
    product.multiply(quarter);
    expect(textOf(product) == "15 / 16 ", "5/4 * 3/4 prints as 15 / 16");
    expect(product.isGreater(quarter), "15/16 is greater than 3/4");

    Fraction zero;
    zero.setZero();
    Fraction quotient = sum;
    quotient.divide(zero);
    expect(!quotient.isValid(), "a division by zero is invalid");

    const Fraction half{1, 2};
    const Fraction threeQuarters{3, 4};
    expect(textOf(half + threeQuarters) == "5 / 4 ", "1/2 + 3/4 is 5/4 by the operator too");
    expect(textOf(half - threeQuarters) == "- 1 / 4 ", "1/2 - 3/4 is -1/4");
    expect(textOf(half * threeQuarters) == "3 / 8 ", "1/2 * 3/4 is 3/8");
    expect(textOf(half / threeQuarters) == "2 / 3 ", "1/2 / 3/4 is 2/3");
    expect(!(half / Fraction{0, 5}).isValid(), "dividing by 0/5 is invalid by the operator too");
    expect(!Fraction(1, 0).isValid(), "a zero denominator makes an invalid fraction");
    Fraction running{1, 3};
    running += Fraction{2, 3};
    running *= Fraction{5, 7};
    expect(textOf(running) == "5 / 7 ", "(1/3 + 2/3) * 5/7 is 5/7 in place");

    const std::unordered_set<Fraction, std::hash<Fraction>, Equal> values{
        Fraction{1, 2}, Fraction{2, 4}, Fraction{0, 3}, Fraction{0, 8}, Fraction{3, 4}};
    expect(values.size() == 3, "1/2 and 2/4, 0/3 and 0/8 are one key each in a hash set");

    expect(Fraction(1, -2) == Fraction(-1, 2) && Fraction(1, 0) == Fraction(3, 0),
           "== compares values, and every invalid fraction is alike");
    expect(Fraction(1, 3) < Fraction(1, 2) && Fraction(1, 2) < Fraction(1, 0),
           "< orders values, invalid last");
    expect(Fraction(4, 2) == 2 && 3 > Fraction(5, 2) && Fraction(-1, 2) < 0L,
           "fractions compare with integers on either side");
    const std::unordered_set<Fraction> byValue{Fraction{1, -2}, Fraction{-1, 2}, Fraction{2, 3}};
    expect(byValue.size() == 2, "std::hash agrees with ==");
    std::vector<Fraction> list{Fraction{1, 2}, Fraction{1, 0}, Fraction{3, 1}, Fraction{2, 4}};
    std::sort(list.begin(), list.end(), fraction::greatestFirst);
    expect(fraction::to_string(list[0]) == "3/1" && textOf(list[1]) == "1 / 2 " &&
               textOf(list[2]) == "2 / 4 " && !list[3].isValid(),
           "greatestFirst sorts as the report does");
    const std::vector<Fraction> sorted = sortedGreatestFirst({Fraction{1, 3}, Fraction{1, 0}, 2});
    expect(fraction::to_string(sorted[0]) == "2/1" && fraction::to_string(sorted[1]) == "1/3" &&
               !sorted[2].isValid(),
           "greatestFirst sorts in a second translation unit too");
    expect(widerIntegersAreExact(), "integers of any type are taken exactly or not at all");
    expect(fraction::to_string(Fraction{1, 2} + 1) == "3/2" &&
               fraction::to_string(2 * Fraction{1, 3}) == "2/3" &&
               fraction::to_string(-Fraction{1, 3}) == "-1/3",
           "arithmetic with integers on either side, and negation");
    expect(fraction::to_string(abs(Fraction{-2, 4})) == "1/2" &&
               fraction::to_string(reciprocal(Fraction{2, 5})) == "5/2" &&
               fraction::to_string(pow(Fraction{2, 3}, -2)) == "9/4",
           "abs, reciprocal and pow");
    Fraction parsed;
    const std::string compact = "-7/3";
    const auto result =
        fraction::from_chars(compact.data(), compact.data() + compact.size(), parsed);
    expect(result.ec == std::errc() && parsed == Fraction(7, -3), "from_chars reads -7/3");
    std::istringstream words("5/6 nonsense");
    Fraction read1;
    Fraction read2;
    words >> read1 >> read2;
    expect(read1 == Fraction(5, 6) && words.fail(), ">> reads 5/6 and fails on a bad word");

    std::ostringstream file;
    const FractionRecord records[] = {sum.toRecord(), quotient.toRecord()};
    writeFractionFile(file, 2, records, records + 2);
    std::istringstream in(file.str());
    const FractionFileResult read = readFractionFile(in);
    expect(read.contents.has_value() && read.contents->count == 2, "the file reads back whole");
    if (read.contents) {
        const Fraction first = Fraction::fromRecord(read.contents->records[0]);
        const Fraction second = Fraction::fromRecord(read.contents->records[1]);
        expect(first.equal(sum), "the first record is 5/4 again");
        expect(!second.isValid(), "the second record is invalid again");
    }
    expect(static_cast<double>(Fraction{-3, 4}) == -0.75 &&
               std::isnan(static_cast<double>(Fraction{1, 0})),
           "a fraction converts to double, NaN when invalid");
    expect(Fraction{6, -4}.numerator() == -3 && Fraction{6, -4}.denominator() == 2,
           "6/-4 is -3/2 in lowest terms");

    std::random_device seed;
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("fraction-consumer-" + std::to_string(seed()) + ".frac");
    const std::vector<Fraction> toWrite{Fraction{1, 2}, Fraction{1, 0}, Fraction{-7, 3}};
    expect(fraction::writeFractions(path.string(), toWrite).empty(),
           "writeFractions writes a file");
    const fraction::ReadFractionsResult back = fraction::readFractions(path.string());
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    expect(back.error.empty() && back.fractions == toWrite, "readFractions reads it back");
    expect(!fraction::readFractions(path.string()).error.empty(),
           "readFractions says why a file that is gone cannot be read");

#if defined(FRACTION_HAS_STD_FORMAT)
    const Fraction negative{3, -4};
    expect(std::format("{}", negative) == textOf(negative), "std::format writes 3/-4 as << does");
    expect(std::format("[{}]", Fraction{1, 0}) == "[" + textOf(Fraction{1, 0}) + "]",
           "std::format writes an invalid fraction as << does");
    expect(std::format("{:>12}|{:*^10}|{:<8}|", negative, Fraction{1, 2}, Fraction{1, 3}) ==
               "    - 3 / 4 |**1 / 2 **|1 / 3   |",
           "std::format takes fill, alignment and width");
    bool refused = false;
    try {
        static_cast<void>(std::vformat("{:+}", std::make_format_args(negative)));
    } catch (const std::format_error&) {
        refused = true;
    }
    expect(refused, "std::format refuses a sign option");
    const auto formatted = [](std::string_view format, const Fraction& value) {
        try {
            return std::vformat(format, std::make_format_args(value));
        } catch (const std::format_error&) {
            return std::string("format_error");
        }
    };
    expect(formatted("{:18446744073709551617}", negative) == "format_error" &&
               formatted("{:2147483648}", negative) == "format_error",
           "std::format refuses a width it cannot hold");
    expect(formatted("{:010}", Fraction{-1, 2}) == "- 001 / 2 " &&
               formatted("{:08}", Fraction{1, 2}) == "001 / 2 " &&
               formatted("{:05}", Fraction{1, 2}) == "1 / 2 ",
           "a 0 before the width pads with zeros after the sign, as for an integer");
    expect(formatted("{:>010}", Fraction{1, 2}) == "    1 / 2 " &&
               formatted("{:021}", Fraction{1, 0}) == "Invalid Fraction!!   ",
           "the 0 is ignored with an alignment and for an invalid fraction");
    std::cout << "std::format: checked\n";
#else
    std::cout << "std::format: not in this standard library\n";
#endif
    expect(!FRACTION_VERSION.empty(), "the version is " + std::string(FRACTION_VERSION));
    return failures == 0 ? 0 : 1;
}
