// The report's sort: by comparisons in place, by key, and on threads, on
// the two shapes of bench/make_fraction_file.py at several sizes.
//
//   cmake --build --preset release --target entry_sort_benchmark
//   build/release/bench/entry_sort_benchmark --benchmark_filter=wide

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "fraction/Fraction.h"
#include "sort/EntrySort.h"
#include "sort/SortEntry.h"

#ifdef FRACTION_BENCH_TBB
#include <execution>
#endif

namespace {

using fraction::Fraction;
using fraction::FractionRecord;

constexpr std::int32_t kPartLimit = (1 << 30) - 1;

// The entries the report sorts: each record reduced, invalid ones {0, 0}.
FractionRecord entryOf(FractionRecord record)
{
    Fraction value = Fraction::fromRecord(record);
    if (value.isValid()) {
        value.reduce();
    }
    return sortEntry(value);
}

// Shape 0: wide parts of both signs, one in ten invalid. Shape 1: small
// numerators over powers of two up to 64, the sign on either part, one in
// twenty invalid.
std::vector<FractionRecord> entries(int shape, std::size_t count)
{
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::uniform_int_distribution<std::int32_t> wide(-kPartLimit, kPartLimit);
    std::uniform_int_distribution<std::int32_t> small(-1000, 1000);
    std::uniform_int_distribution<unsigned> power(0, 6);
    std::vector<FractionRecord> made(count);
    for (FractionRecord& entry : made) {
        FractionRecord record = fraction::INVALID_RECORD;
        if (shape == 0 && chance(random) >= 0.1) {
            record = {wide(random), 0};
            while (record.denominator == 0) {
                record.denominator = wide(random);
            }
        } else if (shape == 1 && chance(random) >= 0.05) {
            const std::int32_t denominator = std::int32_t{1} << power(random);
            record = {small(random), chance(random) < 0.3 ? -denominator : denominator};
        }
        entry = entryOf(record);
    }
    return made;
}

template <typename Sort>
void measure(benchmark::State& state, const Sort& sort)
{
    const std::vector<FractionRecord> original =
        entries(static_cast<int>(state.range(0)), static_cast<std::size_t>(state.range(1)));
    std::vector<FractionRecord> work(original.size());
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(original.begin(), original.end(), work.begin());
        state.ResumeTiming();
        sort(work.data(), work.data() + work.size());
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}

// Today's sort before the key sort: comparisons, in place.
void compared(benchmark::State& state)
{
    measure(state, [](FractionRecord* first, FractionRecord* last) {
        sorting::sortEntries(first, last, {1, 0, nullptr});
    });
}

void keyed(benchmark::State& state)
{
    const auto threads = static_cast<unsigned>(state.range(2));
    measure(state, [threads](FractionRecord* first, FractionRecord* last) {
        sorting::sortEntries(first, last, {threads, UINT64_MAX, nullptr});
    });
}

#ifdef FRACTION_BENCH_TBB
// The standard's parallel sort, which libstdc++ runs on oneTBB.
void parallelStandard(benchmark::State& state)
{
    measure(state, [](FractionRecord* first, FractionRecord* last) {
        std::sort(std::execution::par, first, last, ValueOrder());
        orderEquivalents(first, last);
    });
}
#endif

void sizes(benchmark::internal::Benchmark* bench)
{
    for (const std::int64_t shape : {0, 1}) {
        for (const std::int64_t size : {256, 512, 1024, 2048, 4096, 8192, 16384, 65536, 1 << 20}) {
            bench->Args({shape, size, 1});
        }
    }
}

void threaded(benchmark::internal::Benchmark* bench)
{
    for (const std::int64_t shape : {0, 1}) {
        for (const std::int64_t threads : {1, 2}) {
            bench->Args({shape, 1 << 20, threads});
        }
    }
}

}  // namespace

BENCHMARK(compared)->Apply(sizes)->ArgNames({"shape", "n", "threads"});
BENCHMARK(keyed)->Apply(sizes)->ArgNames({"shape", "n", "threads"});
BENCHMARK(keyed)->Apply(threaded)->ArgNames({"shape", "n", "threads"})->UseRealTime();
#ifdef FRACTION_BENCH_TBB
BENCHMARK(parallelStandard)
    ->Args({0, 1 << 20, 2})
    ->Args({1, 1 << 20, 2})
    ->ArgNames({"shape", "n", "threads"})
    ->UseRealTime();
#endif

BENCHMARK_MAIN();
