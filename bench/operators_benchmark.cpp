// The value operators + - * / of Fraction beside boost::rational<std::int32_t>
// over a million pairs drawn afresh, too many for a branch predictor to
// learn, as the fractions of a real file are. Written against nothing but
// setValue and the four operators, so that the same source builds against
// earlier versions of the library too and times them alike.
//
// The parts run from 1 to 9999, numerators of both signs: every product and
// sum stays far inside 32 bits (boost::rational does not check for
// overflow) and every reciprocal within setValue's bound.

#include <benchmark/benchmark.h>

#include <boost/rational.hpp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "fraction/Fraction.h"

namespace {

using fraction::Fraction;
using BoostRational = boost::rational<std::int32_t>;

constexpr std::size_t kFreshPairs = std::size_t{1}
                                    << 20;  // a power of two: the index wraps with a mask
constexpr std::int32_t kLargestPart = 9999;

struct Parts {
    std::int32_t numerator;
    std::int32_t denominator;
};

std::vector<Parts> makeParts(std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::int32_t> part(1, kLargestPart);
    std::bernoulli_distribution negative(0.5);
    std::vector<Parts> parts(kFreshPairs);
    for (Parts& p : parts) {
        const std::int32_t magnitude = part(random);
        p.numerator = negative(random) ? -magnitude : magnitude;
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

template <typename T>
std::vector<T> convertAll(const std::vector<Parts>& parts, T (*convert)(const Parts&))
{
    std::vector<T> values;
    values.reserve(parts.size());
    for (const Parts& p : parts) {
        values.push_back(convert(p));
    }
    return values;
}

// Runs `left[i] op right[i]` for a fresh pair each iteration; both types
// get the same pairs in the same order.
template <typename T, typename Operation>
void runFreshPairs(benchmark::State& state, T (*convert)(const Parts&), Operation operation)
{
    static const std::vector<Parts> leftParts = makeParts(11);
    static const std::vector<Parts> rightParts = makeParts(12);
    const std::vector<T> left = convertAll(leftParts, convert);
    const std::vector<T> right = convertAll(rightParts, convert);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(operation(left[i], right[i]));
        i = (i + 1) & (kFreshPairs - 1);
    }
    state.SetItemsProcessed(state.iterations());
}

template <typename Operation>
void fractionOperator(benchmark::State& state)
{
    runFreshPairs(state, toFraction, Operation{});
}
template <typename Operation>
void boostOperator(benchmark::State& state)
{
    runFreshPairs(state, toBoost, Operation{});
}

}  // namespace

// Named operation/library, as bench/operators_ratios.py reads them.
BENCHMARK(fractionOperator<std::plus<>>)->Name("add/fraction");
BENCHMARK(boostOperator<std::plus<>>)->Name("add/boost");
BENCHMARK(fractionOperator<std::minus<>>)->Name("subtract/fraction");
BENCHMARK(boostOperator<std::minus<>>)->Name("subtract/boost");
BENCHMARK(fractionOperator<std::multiplies<>>)->Name("multiply/fraction");
BENCHMARK(boostOperator<std::multiplies<>>)->Name("multiply/boost");
BENCHMARK(fractionOperator<std::divides<>>)->Name("divide/fraction");
BENCHMARK(boostOperator<std::divides<>>)->Name("divide/boost");

BENCHMARK_MAIN();
