#!/usr/bin/env bash
# Times the value operators + - * / of this tree against those of an earlier
# commit (7dd8d8c by default, before the operators became exact) and against
# boost::rational<std::int32_t>, on the same fresh pairs, and prints the
# ratios. Each library is built in release from its own tree and the same
# benchmark source is compiled against each the same way; the two
# benchmark programs run in turn, ROUNDS times, and the table takes the
# median over every repetition. Installs libbenchmark-dev and libboost-dev
# when they are missing.
# Usage: bench/operators_ratios.sh [BASE_COMMIT] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
base=$(git rev-parse --short "${1:-7dd8d8c}^{commit}")
rounds=${2:-3}
if ! bash scripts/install-deps.sh libbenchmark-dev libboost-dev python3; then
    echo "operators_ratios.sh: cannot install libbenchmark-dev and libboost-dev (Google Benchmark, Boost's headers)" >&2
    exit 1
fi

work=build/operators
base_tree=$work/source-$base
mkdir -p "$work"
if [ ! -f "$base_tree/CMakeLists.txt" ]; then
    rm -rf "$base_tree"
    mkdir -p "$base_tree"
    git archive "$base" | tar -x -C "$base_tree"
fi

# The library of the tree in $1, static and in release, built in $2; then
# the benchmark against it as $3.
build_against() {
    local source=$1 build=$2 program=$3
    if ! cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
        -DFRACTION_PROGRAMS=OFF -DFRACTION_TESTS=OFF -DFRACTION_DOCS=OFF \
        -DFRACTION_MAN_PAGES=OFF -DFRACTION_LINE_EDITING=OFF >"$build.log" 2>&1 ||
        ! cmake --build "$build" --target fraction_core -j2 >>"$build.log" 2>&1; then
        echo "operators_ratios.sh: cannot build the library of $source (see $build.log)" >&2
        exit 1
    fi
    local library
    library=$(find "$build" -name libfraction.a | head -n 1)
    "${CXX:-c++}" -std=c++20 -O3 -DNDEBUG -DFRACTION_STATIC_DEFINE -I "$source/include" \
        -I "$build/include" bench/operators_benchmark.cpp "$library" -lbenchmark -lpthread \
        -o "$program"
}
build_against "$base_tree" "$work/build-$base" "$work/operators-$base"
build_against . "$work/build-current" "$work/operators-current"

rm -f "$work"/round-*.json
for round in $(seq 1 "$rounds"); do
    for build in "$base" current; do
        "$work/operators-$build" --benchmark_repetitions=5 --benchmark_min_time=0.2 \
            --benchmark_format=json --benchmark_out="$work/round-$round-$build.json" >/dev/null
    done
done
python3 bench/operators_ratios.py "$base" "$work"/round-*-"$base".json -- "$work"/round-*-current.json
