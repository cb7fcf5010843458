// Fraction's operations side by side with the libraries a user would pick
// instead: boost::rational<std::int32_t> and GMP's mpq_class. Every library
// gets the same values, chosen so that no operation overflows: parts from 1
// to 9999 (numerators of both signs), so that products and sums stay far
// inside 32 bits and every reciprocal is within Fraction's bound. The
// comparisons and the text forms also get parts of every width from one to
// nine digits, which none of them can overflow.

#include <benchmark/benchmark.h>
#include <gmpxx.h>

#include <algorithm>
#include <array>
#include <boost/integer/common_factor_rt.hpp>
#include <boost/rational.hpp>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <numeric>
#include <ostream>
#include <random>
#include <streambuf>
#include <string>
#include <vector>

#include "fraction/Fraction.h"

using fraction::Fraction;
using fraction::gcd;

namespace {

using BoostRational = boost::rational<std::int32_t>;

constexpr std::size_t kPairs = 4096;  // a power of two, so the index wraps with a mask
constexpr std::size_t kSortSize = 100000;
constexpr std::int32_t kLargestPart = 9999;

struct Parts {
    std::int32_t numerator;
    std::int32_t denominator;
};

std::vector<Parts> makeParts(std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::int32_t> part(1, kLargestPart);
    std::bernoulli_distribution negative(0.5);
    std::vector<Parts> parts(count);
    for (Parts& p : parts) {
        p.numerator = negative(random) ? -part(random) : part(random);
        p.denominator = part(random);
    }
    return parts;
}

Fraction toFraction(const Parts& p)
{
    Fraction fraction;
    fraction.setValue(p.numerator, p.denominator);
    return fraction;
}
BoostRational toBoost(const Parts& p)
{
    return {p.numerator, p.denominator};
}
mpq_class toGmp(const Parts& p)
{
    mpq_class value(p.numerator, p.denominator);
    value.canonicalize();
    return value;
}

template <typename T, typename Convert>
std::vector<T> convertAll(const std::vector<Parts>& parts, Convert convert)
{
    std::vector<T> values;
    values.reserve(parts.size());
    std::transform(parts.begin(), parts.end(), std::back_inserter(values), convert);
    return values;
}

const std::vector<Parts>& leftParts()
{
    static const std::vector<Parts> parts = makeParts(kPairs, 1);
    return parts;
}
const std::vector<Parts>& rightParts()
{
    static const std::vector<Parts> parts = makeParts(kPairs, 2);
    return parts;
}

// A value whose parts have the same number of digits, from one to nine
// for each value alike, so that the quotient stays far inside the bound.
Parts anyWidth(std::mt19937& random)
{
    std::uniform_int_distribution<int> digits(1, 9);
    std::int32_t low = 1;
    for (int i = digits(random); i > 1; --i) {
        low *= 10;
    }
    std::uniform_int_distribution<std::int32_t> part(low, low * 10 - 1);
    std::bernoulli_distribution negative(0.5);
    const std::int32_t numerator = part(random);
    return {negative(random) ? -numerator : numerator, part(random)};
}

// The same value as `value` in another form: its lowest terms times a factor
// that keeps both parts within 32 bits, with the sign on either part (or on
// both, for a positive value).
Parts otherForm(const Parts& value, std::mt19937& random)
{
    const std::int32_t divisor = std::gcd(value.numerator, value.denominator);
    const std::int32_t numerator = value.numerator / divisor;
    const std::int32_t denominator = value.denominator / divisor;
    const std::int32_t largest = std::max(numerator < 0 ? -numerator : numerator, denominator);
    std::uniform_int_distribution<std::int32_t> factor(1, std::min(2147483647 / largest, 1000));
    const std::int32_t scale = factor(random);
    const std::int32_t turn = std::bernoulli_distribution(0.5)(random) ? -1 : 1;
    return {numerator * scale * turn, denominator * scale * turn};
}

// Pairs of values of every width for ==: half of them the same value in
// two forms, half two values drawn apart.
struct ComparisonPairs {
    std::vector<Parts> left;
    std::vector<Parts> right;
};
ComparisonPairs makeEqualityPairs(std::size_t count)
{
    std::mt19937 random(6);
    ComparisonPairs made{std::vector<Parts>(count), std::vector<Parts>(count)};
    for (std::size_t i = 0; i < count; ++i) {
        const Parts value = anyWidth(random);
        const bool equal = std::bernoulli_distribution(0.5)(random);
        made.left[i] = otherForm(value, random);
        made.right[i] = equal ? otherForm(value, random) : anyWidth(random);
    }
    return made;
}
const ComparisonPairs& equalityPairs()
{
    static const ComparisonPairs pairs = makeEqualityPairs(kPairs);
    return pairs;
}
// A million such pairs: a branch on whether the values are equal, which the
// 4096 pairs gone through again and again let the processor learn, is then
// right only half the time, as over the fractions of a real file. Their
// values no longer fit in the caches, so the size of each type counts too.
constexpr std::size_t kFreshPairs = std::size_t{1} << 20;
const ComparisonPairs& freshEqualityPairs()
{
    static const ComparisonPairs pairs = makeEqualityPairs(kFreshPairs);
    return pairs;
}
std::vector<Parts> makeWidthParts(std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<Parts> parts(kPairs);
    std::generate(parts.begin(), parts.end(), [&] { return anyWidth(random); });
    return parts;
}
// Values of every width: the left-hand sides of <, and the values of the
// text forms.
const std::vector<Parts>& widthParts()
{
    static const std::vector<Parts> parts = makeWidthParts(7);
    return parts;
}
// The right-hand sides of <.
const std::vector<Parts>& otherWidthParts()
{
    static const std::vector<Parts> parts = makeWidthParts(8);
    return parts;
}

// Runs `operation(left[i], right[i])` over the given pairs, one per iteration.
template <typename T, typename Convert, typename Operation>
void runPairsOf(benchmark::State& state, const std::vector<Parts>& leftOperands,
                const std::vector<Parts>& rightOperands, Convert convert, Operation operation)
{
    const std::vector<T> left = convertAll<T>(leftOperands, convert);
    const std::vector<T> right = convertAll<T>(rightOperands, convert);
    const std::size_t mask = left.size() - 1;  // a power of two
    std::size_t i = 0;
    for (auto _ : state) {
        operation(left[i], right[i]);
        i = (i + 1) & mask;
    }
    state.SetItemsProcessed(state.iterations());
}
// The same over the shared pairs of parts from 1 to 9999.
template <typename T, typename Convert, typename Operation>
void runPairs(benchmark::State& state, Convert convert, Operation operation)
{
    runPairsOf<T>(state, leftParts(), rightParts(), convert, operation);
}

// gcd over the same 31-bit pairs for every library.
template <typename Gcd>
void runGcd(benchmark::State& state, Gcd gcdOf)
{
    std::mt19937 random(3);
    std::uniform_int_distribution<std::int32_t> part(1, 2147483647);
    std::vector<std::int32_t> values(2 * kPairs);
    std::generate(values.begin(), values.end(), [&] { return part(random); });
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gcdOf(values[2 * i], values[2 * i + 1]));
        i = (i + 1) & (kPairs - 1);
    }
    state.SetItemsProcessed(state.iterations());
}

// The same, over a million pairs drawn afresh: too many for a branch
// predictor to learn, as the fractions of a real file are, where the 4096
// pairs above, gone through again and again, let it learn every branch of
// an algorithm that branches on the values.
template <typename Gcd>
void runGcdFresh(benchmark::State& state, Gcd gcdOf)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<std::int32_t> part(1, 2147483647);
    std::vector<std::int32_t> values(2 * kFreshPairs);
    std::generate(values.begin(), values.end(), [&] { return part(random); });
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gcdOf(values[2 * i], values[2 * i + 1]));
        i = (i + 1) & (kFreshPairs - 1);
    }
    state.SetItemsProcessed(state.iterations());
}

void gcdFraction(benchmark::State& state)
{
    runGcd(state, [](std::int32_t a, std::int32_t b) { return gcd(a, b); });
}
void gcdBoost(benchmark::State& state)
{
    runGcd(state, [](std::int32_t a, std::int32_t b) { return boost::integer::gcd(a, b); });
}
void gcdGmp(benchmark::State& state)
{
    mpz_class a;
    mpz_class b;
    mpz_class result;
    runGcd(state, [&](std::int32_t x, std::int32_t y) {
        a = x;
        b = y;
        mpz_gcd(result.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
        return result.get_si();
    });
}

void gcdFreshFraction(benchmark::State& state)
{
    runGcdFresh(state, [](std::int32_t a, std::int32_t b) { return gcd(a, b); });
}
void gcdFreshBoost(benchmark::State& state)
{
    runGcdFresh(state, [](std::int32_t a, std::int32_t b) { return boost::integer::gcd(a, b); });
}
void gcdFreshGmp(benchmark::State& state)
{
    mpz_class a;
    mpz_class b;
    mpz_class result;
    runGcdFresh(state, [&](std::int32_t x, std::int32_t y) {
        a = x;
        b = y;
        mpz_gcd(result.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
        return result.get_si();
    });
}

// Reduction from parts that share a factor: each pair is scaled by the
// numerator of its partner, which keeps every part within 32 bits.
void reduceFraction(benchmark::State& state)
{
    runPairs<Parts>(
        state, [](const Parts& p) { return p; },
        [](const Parts& a, const Parts& b) {
            Fraction value;
            value.setValue(a.numerator * b.denominator, a.denominator * b.denominator);
            value.reduce();
            benchmark::DoNotOptimize(value);
        });
}
void reduceBoost(benchmark::State& state)
{
    runPairs<Parts>(
        state, [](const Parts& p) { return p; },
        [](const Parts& a, const Parts& b) {
            BoostRational value(a.numerator * b.denominator, a.denominator * b.denominator);
            benchmark::DoNotOptimize(value);
        });
}
void reduceGmp(benchmark::State& state)
{
    mpq_class value;
    runPairs<Parts>(
        state, [](const Parts& p) { return p; },
        [&](const Parts& a, const Parts& b) {
            const long numerator = static_cast<long>(a.numerator) * b.denominator;
            const auto denominator = static_cast<unsigned long>(a.denominator) *
                                     static_cast<unsigned long>(b.denominator);
            mpq_set_si(value.get_mpq_t(), numerator, denominator);
            value.canonicalize();
            benchmark::DoNotOptimize(value.get_mpq_t());
        });
}

// `result = a; apply(result, b)` for the types with in-place operators.
template <typename T, typename Convert, typename Apply>
void inPlaceOperation(benchmark::State& state, Convert convert, Apply apply)
{
    runPairs<T>(state, convert, [&](const T& a, const T& b) {
        T result = a;
        apply(result, b);
        benchmark::DoNotOptimize(result);
    });
}
template <typename Apply>
void fractionOperation(benchmark::State& state, Apply apply)
{
    inPlaceOperation<Fraction>(state, toFraction, apply);
}
template <typename Apply>
void boostOperation(benchmark::State& state, Apply apply)
{
    inPlaceOperation<BoostRational>(state, toBoost, apply);
}
template <typename Apply>
void gmpOperation(benchmark::State& state, Apply apply)
{
    mpq_class result;
    runPairs<mpq_class>(state, toGmp, [&](const mpq_class& a, const mpq_class& b) {
        apply(result, a, b);
        benchmark::DoNotOptimize(result.get_mpq_t());
    });
}

void addFraction(benchmark::State& s)
{
    fractionOperation(s, [](Fraction& r, const Fraction& b) { r.add(b); });
}
void addBoost(benchmark::State& s)
{
    boostOperation(s, [](BoostRational& r, const BoostRational& b) { r += b; });
}
void addGmp(benchmark::State& s)
{
    gmpOperation(s, [](mpq_class& r, const mpq_class& a, const mpq_class& b) { r = a + b; });
}

void multiplyFraction(benchmark::State& s)
{
    fractionOperation(s, [](Fraction& r, const Fraction& b) { r.multiply(b); });
}
void multiplyBoost(benchmark::State& s)
{
    boostOperation(s, [](BoostRational& r, const BoostRational& b) { r *= b; });
}
void multiplyGmp(benchmark::State& s)
{
    gmpOperation(s, [](mpq_class& r, const mpq_class& a, const mpq_class& b) { r = a * b; });
}

void divideFraction(benchmark::State& s)
{
    fractionOperation(s, [](Fraction& r, const Fraction& b) { r.divide(b); });
}
void divideBoost(benchmark::State& s)
{
    boostOperation(s, [](BoostRational& r, const BoostRational& b) { r /= b; });
}
void divideGmp(benchmark::State& s)
{
    gmpOperation(s, [](mpq_class& r, const mpq_class& a, const mpq_class& b) { r = a / b; });
}

void isGreaterFraction(benchmark::State& state)
{
    runPairs<Fraction>(state, toFraction, [](const Fraction& a, const Fraction& b) {
        benchmark::DoNotOptimize(a.isGreater(b));
    });
}
void isGreaterBoost(benchmark::State& state)
{
    runPairs<BoostRational>(state, toBoost, [](const BoostRational& a, const BoostRational& b) {
        benchmark::DoNotOptimize(a > b);
    });
}
void isGreaterGmp(benchmark::State& state)
{
    runPairs<mpq_class>(state, toGmp, [](const mpq_class& a, const mpq_class& b) {
        benchmark::DoNotOptimize(a > b);
    });
}

void equalFractionOver(benchmark::State& state, const ComparisonPairs& pairs)
{
    runPairsOf<Fraction>(
        state, pairs.left, pairs.right, toFraction,
        [](const Fraction& a, const Fraction& b) { benchmark::DoNotOptimize(a == b); });
}
void equalBoostOver(benchmark::State& state, const ComparisonPairs& pairs)
{
    runPairsOf<BoostRational>(
        state, pairs.left, pairs.right, toBoost,
        [](const BoostRational& a, const BoostRational& b) { benchmark::DoNotOptimize(a == b); });
}
void equalGmpOver(benchmark::State& state, const ComparisonPairs& pairs)
{
    runPairsOf<mpq_class>(
        state, pairs.left, pairs.right, toGmp,
        [](const mpq_class& a, const mpq_class& b) { benchmark::DoNotOptimize(a == b); });
}
void equalFraction(benchmark::State& state)
{
    equalFractionOver(state, equalityPairs());
}
void equalBoost(benchmark::State& state)
{
    equalBoostOver(state, equalityPairs());
}
void equalGmp(benchmark::State& state)
{
    equalGmpOver(state, equalityPairs());
}
void equalFreshFraction(benchmark::State& state)
{
    equalFractionOver(state, freshEqualityPairs());
}
void equalFreshBoost(benchmark::State& state)
{
    equalBoostOver(state, freshEqualityPairs());
}
void equalFreshGmp(benchmark::State& state)
{
    equalGmpOver(state, freshEqualityPairs());
}

void lessFraction(benchmark::State& state)
{
    runPairsOf<Fraction>(
        state, widthParts(), otherWidthParts(), toFraction,
        [](const Fraction& a, const Fraction& b) { benchmark::DoNotOptimize(a < b); });
}
void lessBoost(benchmark::State& state)
{
    runPairsOf<BoostRational>(
        state, widthParts(), otherWidthParts(), toBoost,
        [](const BoostRational& a, const BoostRational& b) { benchmark::DoNotOptimize(a < b); });
}
void lessGmp(benchmark::State& state)
{
    runPairsOf<mpq_class>(
        state, widthParts(), otherWidthParts(), toGmp,
        [](const mpq_class& a, const mpq_class& b) { benchmark::DoNotOptimize(a < b); });
}

// A stream over a range of characters, with nothing copied or allocated, so
// that Boost's stream operators, its only text form, pay for themselves
// and not for a string stream.
class CharacterRange : public std::streambuf {
public:
    void readFrom(std::string& text) { setg(text.data(), text.data(), text.data() + text.size()); }
    void writeTo(char* first, char* last) { setp(first, last); }
    [[nodiscard]] const char* written() const { return pptr(); }
};

// Every value of widthParts() as "n/d", as a person would write it: the
// parts as drawn, not always in lowest terms, the sign on the numerator.
const std::vector<std::string>& texts()
{
    static const std::vector<std::string> made = [] {
        std::vector<std::string> all(widthParts().size());
        std::transform(widthParts().begin(), widthParts().end(), all.begin(), [](const Parts& p) {
            return std::to_string(p.numerator) + "/" + std::to_string(p.denominator);
        });
        return all;
    }();
    return made;
}

// Runs `parse(texts()[i])` for a fresh text each iteration.
template <typename Parse>
void runParse(benchmark::State& state, Parse parse)
{
    std::vector<std::string> all = texts();
    std::size_t i = 0;
    for (auto _ : state) {
        parse(all[i]);
        i = (i + 1) & (kPairs - 1);
    }
    state.SetItemsProcessed(state.iterations());
}
void parseFraction(benchmark::State& state)
{
    Fraction value;
    runParse(state, [&](const std::string& text) {
        benchmark::DoNotOptimize(
            fraction::from_chars(text.data(), text.data() + text.size(), value));
        benchmark::DoNotOptimize(value);
    });
}
void parseBoost(benchmark::State& state)
{
    CharacterRange range;
    std::istream in(&range);
    BoostRational value;
    runParse(state, [&](std::string& text) {
        range.readFrom(text);
        in.clear();
        in >> value;
        benchmark::DoNotOptimize(value);
    });
}
void parseGmp(benchmark::State& state)
{
    mpq_class value;
    runParse(state, [&](const std::string& text) {
        benchmark::DoNotOptimize(mpq_set_str(value.get_mpq_t(), text.c_str(), 10));
        value.canonicalize();
        benchmark::DoNotOptimize(value.get_mpq_t());
    });
}

// Runs `format(value[i], buffer)` over the values of the texts above.
template <typename T, typename Convert, typename Format>
void runFormat(benchmark::State& state, Convert convert, Format format)
{
    const std::vector<T> values = convertAll<T>(widthParts(), convert);
    std::array<char, 32> buffer{};
    std::size_t i = 0;
    for (auto _ : state) {
        format(values[i], buffer.data(), buffer.data() + buffer.size());
        benchmark::DoNotOptimize(buffer.data());
        i = (i + 1) & (kPairs - 1);
    }
    state.SetItemsProcessed(state.iterations());
}
void formatFraction(benchmark::State& state)
{
    runFormat<Fraction>(state, toFraction, [](const Fraction& value, char* first, char* last) {
        benchmark::DoNotOptimize(fraction::to_chars(first, last, value));
    });
}
void formatBoost(benchmark::State& state)
{
    CharacterRange range;
    std::ostream out(&range);
    runFormat<BoostRational>(state, toBoost,
                             [&](const BoostRational& value, char* first, char* last) {
                                 range.writeTo(first, last);
                                 out << value;
                                 benchmark::DoNotOptimize(range.written());
                             });
}
void formatGmp(benchmark::State& state)
{
    runFormat<mpq_class>(state, toGmp, [](const mpq_class& value, char* first, char*) {
        benchmark::DoNotOptimize(mpq_get_str(first, 10, value.get_mpq_t()));
    });
}

// Sorts 100,000 values greatest first; the copy to sort is made outside the timing.
template <typename T, typename Convert, typename Greater>
void runSort(benchmark::State& state, Convert convert, Greater greater)
{
    const std::vector<T> values = convertAll<T>(makeParts(kSortSize, 4), convert);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<T> copy = values;
        state.ResumeTiming();
        std::sort(copy.begin(), copy.end(), greater);
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kSortSize));
}
void sortFraction(benchmark::State& state)
{
    runSort<Fraction>(state, toFraction,
                      [](const Fraction& a, const Fraction& b) { return a.isGreater(b); });
}
void sortBoost(benchmark::State& state)
{
    runSort<BoostRational>(state, toBoost, std::greater<>());
}
void sortGmp(benchmark::State& state)
{
    runSort<mpq_class>(state, toGmp, std::greater<>());
}

}  // namespace

BENCHMARK(gcdFraction)->Name("gcd/fraction");
BENCHMARK(gcdBoost)->Name("gcd/boost");
BENCHMARK(gcdGmp)->Name("gcd/gmp");
BENCHMARK(gcdFreshFraction)->Name("gcd-1M-fresh/fraction");
BENCHMARK(gcdFreshBoost)->Name("gcd-1M-fresh/boost");
BENCHMARK(gcdFreshGmp)->Name("gcd-1M-fresh/gmp");
BENCHMARK(reduceFraction)->Name("reduce/fraction");
BENCHMARK(reduceBoost)->Name("reduce/boost");
BENCHMARK(reduceGmp)->Name("reduce/gmp");
BENCHMARK(addFraction)->Name("add/fraction");
BENCHMARK(addBoost)->Name("add/boost");
BENCHMARK(addGmp)->Name("add/gmp");
BENCHMARK(multiplyFraction)->Name("multiply/fraction");
BENCHMARK(multiplyBoost)->Name("multiply/boost");
BENCHMARK(multiplyGmp)->Name("multiply/gmp");
BENCHMARK(divideFraction)->Name("divide/fraction");
BENCHMARK(divideBoost)->Name("divide/boost");
BENCHMARK(divideGmp)->Name("divide/gmp");
BENCHMARK(isGreaterFraction)->Name("isGreater/fraction");
BENCHMARK(isGreaterBoost)->Name("isGreater/boost");
BENCHMARK(isGreaterGmp)->Name("isGreater/gmp");
BENCHMARK(equalFraction)->Name("==/fraction");
BENCHMARK(equalBoost)->Name("==/boost");
BENCHMARK(equalGmp)->Name("==/gmp");
BENCHMARK(equalFreshFraction)->Name("==-1M-fresh/fraction");
BENCHMARK(equalFreshBoost)->Name("==-1M-fresh/boost");
BENCHMARK(equalFreshGmp)->Name("==-1M-fresh/gmp");
BENCHMARK(lessFraction)->Name("</fraction");
BENCHMARK(lessBoost)->Name("</boost");
BENCHMARK(lessGmp)->Name("</gmp");
BENCHMARK(parseFraction)->Name("parse/fraction");
BENCHMARK(parseBoost)->Name("parse/boost");
BENCHMARK(parseGmp)->Name("parse/gmp");
BENCHMARK(formatFraction)->Name("format/fraction");
BENCHMARK(formatBoost)->Name("format/boost");
BENCHMARK(formatGmp)->Name("format/gmp");
BENCHMARK(sortFraction)->Name("sort100k/fraction")->Unit(benchmark::kMillisecond);
BENCHMARK(sortBoost)->Name("sort100k/boost")->Unit(benchmark::kMillisecond);
BENCHMARK(sortGmp)->Name("sort100k/gmp")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
