// Fraction's operations side by side with the libraries a user would pick
// instead: boost::rational<std::int32_t> and GMP's mpq_class. Every library
// gets the same values, chosen so that no operation overflows: parts from 1
// to 9999 (numerators of both signs), so that products and sums stay far
// inside 32 bits and every reciprocal is within Fraction's bound.

#include <benchmark/benchmark.h>
#include <gmpxx.h>

#include <algorithm>
#include <boost/integer/common_factor_rt.hpp>
#include <boost/rational.hpp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
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

// Runs `operation(left[i], right[i])` over the shared pairs, one per iteration.
template <typename T, typename Convert, typename Operation>
void runPairs(benchmark::State& state, Convert convert, Operation operation)
{
    const std::vector<T> left = convertAll<T>(leftParts(), convert);
    const std::vector<T> right = convertAll<T>(rightParts(), convert);
    std::size_t i = 0;
    for (auto _ : state) {
        operation(left[i], right[i]);
        i = (i + 1) & (kPairs - 1);
    }
    state.SetItemsProcessed(state.iterations());
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
    constexpr std::size_t kFreshPairs = std::size_t{1} << 20;
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
BENCHMARK(sortFraction)->Name("sort100k/fraction")->Unit(benchmark::kMillisecond);
BENCHMARK(sortBoost)->Name("sort100k/boost")->Unit(benchmark::kMillisecond);
BENCHMARK(sortGmp)->Name("sort100k/gmp")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
