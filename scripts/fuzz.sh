#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each from its committed seed corpus
# for a bounded time. A finding fails the run and leaves the input that
# caused it under build/fuzz/findings/.
# Usage: fuzz.sh [SECONDS_PER_TARGET]
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh clang libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

findings=$PWD/build/fuzz/findings
mkdir -p "$findings"
for target in report operations; do
    echo "--- fuzzing $target for ${seconds}s"
    corpus=$(mktemp -d)
    cp fuzz/corpus/"$target"/* "$corpus"/
    if ! build/fuzz/fuzz/"${target}"_fuzzer -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/${target}-" \
        "$corpus" 2>"$findings/$target.log"; then
        tail -n 40 "$findings/$target.log"
        echo "fuzzer $target found a failure; its input is in $findings" >&2
        rm -rf "$corpus"
        exit 1
    fi
    grep -E '^stat::number_of_executed_units|^Done' "$findings/$target.log" || true
    rm -rf "$corpus"
done
