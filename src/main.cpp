#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Fraction.h"
#include "FractionFile.h"
#include "OutputFile.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kProgramName = "fraction";

constexpr const char* kUsage =
    "Usage: fraction [--report]\n"
    "Runs the self-test of the Fraction type.\n"
    "\n"
    "  --report    after the self-test, read the name of a fraction file on standard\n"
    "              input, list its fractions, sort them greatest first, print their\n"
    "              sum, average and median, then read an output file name and write\n"
    "              the sorted fractions to it\n"
    "  -h, --help  show this help\n";

// The report's order: valid fractions first, greatest first; invalid ones
// after them, all equivalent. With the exact isGreater this is a strict weak
// order, as std::sort requires.
bool reportOrder(const Fraction& a, const Fraction& b)
{
    if (!a.isValid()) {
        return false;
    }
    if (!b.isValid()) {
        return true;
    }
    return a.isGreater(b);
}

// The interactive report: reads a fraction file named on `in`, lists, sorts
// and summarises it on `out`, and writes the sorted list to a second file
// named on `in`. Errors go to `err`.
class Report {
public:
    Report(std::istream& input, std::ostream& output, std::ostream& errors, bool interactive)
        : in(input), out(output), err(errors), flushEveryLine(interactive)
    {
    }

    // Returns the exit status: 0 when the report is complete and written.
    int run();

    // Lists the fractions (reduced) on `out`, sorts them into the report's
    // order, and prints their sum, average and median.
    void listAndSummarise(std::vector<Fraction>& fractions, std::int32_t nData);

private:
    std::optional<std::string> readName();
    std::optional<FractionFileContents> readInputFile();
    int writeOutputFile(std::int32_t nData, const std::vector<Fraction>& fractions);
    void listEntry(std::size_t index, const Fraction& fraction);
    void endLine();
    void complain(const std::string& message);

    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    // A terminal sees every line as it is written; a file or a pipe gets
    // the same bytes without a flush per line.
    bool flushEveryLine;
};

void Report::endLine()
{
    out << '\n';
    if (flushEveryLine) {
        out.flush();
    }
}

void Report::complain(const std::string& message)
{
    // Flushed first so that a combined capture keeps the order of events.
    out.flush();
    err << kProgramName << ": " << message << std::endl;
}

std::optional<std::string> Report::readName()
{
    out.flush();
    std::string name;
    if (!(in >> name)) {
        return std::nullopt;
    }
    return name;
}

std::optional<FractionFileContents> Report::readInputFile()
{
    while (true) {
        const std::optional<std::string> name = readName();
        if (!name) {
            complain("end of input while waiting for an input file name");
            return std::nullopt;
        }
        std::error_code ignored;
        std::ifstream file;
        // A directory opens on some systems but can never be read.
        if (!std::filesystem::is_directory(*name, ignored)) {
            file.open(*name, std::ios::binary | std::ios::in);
        }
        if (file.is_open()) {
            FractionFileResult result = readFractionFile(file);
            if (result.contents) {
                if (result.contents->hasTrailingBytes) {
                    complain(*name + ": ignoring the bytes after the " +
                             std::to_string(result.contents->count) + " counted records");
                }
                return std::move(result.contents);
            }
            complain(*name + ": " + result.error);
        }
        out << "Cannot open the file!! \nPlease enter another input file name ? ";
    }
}

void Report::listEntry(std::size_t index, const Fraction& fraction)
{
    out << std::setw(3) << index << ": ";
    fraction.print(out);
    endLine();
}

int Report::run()
{
    std::optional<FractionFileContents> input = readInputFile();
    if (!input) {
        return kExitFailure;
    }
    const std::int32_t nData = input->count;
    std::vector<Fraction> fractions = decodeFractions(input->records);
    input.reset();
    listAndSummarise(fractions, nData);
    return writeOutputFile(nData, fractions);
}

void Report::listAndSummarise(std::vector<Fraction>& fractions, std::int32_t nData)
{
    out << "nData=" << nData;
    endLine();
    out << "The original array is \n";
    Fraction sum;
    sum.setZero();
    std::int32_t validCount = 0;
    for (std::size_t i = 0; i < fractions.size(); ++i) {
        Fraction& fraction = fractions[i];
        fraction.reduce();
        listEntry(i, fraction);
        if (fraction.isValid()) {
            sum.add(fraction);
            ++validCount;
        }
    }

    std::sort(fractions.begin(), fractions.end(), reportOrder);
    out << "The sorted array is\n";
    for (std::size_t i = 0; i < fractions.size(); ++i) {
        listEntry(i, fractions[i]);
    }

    sum.reduce();
    out << "The sum is ";
    sum.print(out);
    endLine();

    // Multiplying by 1/count gives what dividing by count/1 gives, also for
    // counts beyond the bound that setValue puts on count/1. No valid
    // fraction makes 1/0, which is refused and leaves the average invalid.
    Fraction reciprocal;
    reciprocal.setValue(1, validCount);
    Fraction& average = sum;
    average.multiply(reciprocal);
    out << "The average is ";
    average.print(out);
    endLine();

    out << "The medium is ";
    if (validCount > 0) {
        fractions[static_cast<std::size_t>((validCount + 1) / 2 - 1)].print(out);
    } else {
        Fraction().print(out);
    }
    endLine();
}

int Report::writeOutputFile(std::int32_t nData, const std::vector<Fraction>& fractions)
{
    out << "Please enter an output file name ? ";
    std::optional<OutputFile> output;
    std::string outputName;
    while (true) {
        const std::optional<std::string> name = readName();
        if (!name) {
            complain("end of input while waiting for an output file name");
            return kExitFailure;
        }
        output.emplace(*name);
        if (output->isOpen()) {
            outputName = *name;
            break;
        }
        output.reset();
        out << "Cannot open the file!! \nPlease enter another file name for output ? ";
    }

    writeFractionFile(output->stream(), nData, fractions);
    const std::string error = output->finish();
    if (!error.empty()) {
        complain(outputName + ": " + error);
        return kExitFailure;
    }
    out.flush();
    return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv)
{
    // Standard output is written only through std::cout.
    std::ios::sync_with_stdio(false);

    bool runReport = false;
    if (argc > 2) {
        std::cerr << kUsage;
        return kExitUsage;
    }
    if (argc == 2) {
        const std::string_view argument(argv[1]);
        if (argument == "-h" || argument == "--help") {
            std::cout << kUsage;
            return EXIT_SUCCESS;
        }
        if (argument != "--report") {
            std::cerr << kProgramName << ": unknown argument '" << argument << "'\n" << kUsage;
            return kExitUsage;
        }
        runReport = true;
    }

    unitTest();
    int status = EXIT_SUCCESS;
    if (runReport) {
        Report report(std::cin, std::cout, std::cerr, ::isatty(STDOUT_FILENO) == 1);
        status = report.run();
    }
    // Output that never arrived is a failure, not a success.
    if (!std::cout.flush()) {
        std::cerr << kProgramName << ": cannot write standard output" << std::endl;
        return kExitFailure;
    }
    return status;
}
