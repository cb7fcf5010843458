#!/usr/bin/env bash
# Runs the operation benchmarks against boost::rational and GMP's mpq_class
# and prints a table, then the value operators' ratios against 7dd8d8c and
# boost::rational (bench/operators_ratios.sh). Installs libbenchmark-dev, libgmp-dev and
# libboost-dev when they are missing. Usage: bench/operations.sh [MIN_TIME_S]
set -euo pipefail
min_time=${1:-0.5}
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh libbenchmark-dev libgmp-dev libboost-dev python3
cmake --preset release >/dev/null
cmake --build --preset release --target operations_benchmark >/dev/null
results=$(mktemp)
trap 'rm -f "$results"' EXIT
./build/release/bench/operations_benchmark --benchmark_min_time="$min_time" \
    --benchmark_format=console --benchmark_out="$results" --benchmark_out_format=json
python3 bench/operations_table.py "$results"
bash bench/operators_ratios.sh
