#!/usr/bin/env bash
# Builds and runs every test: the suite as an optimised release build,
# again under AddressSanitizer and UndefinedBehaviorSanitizer, and again
# under ThreadSanitizer, warnings as errors, each build made while the
# suite before it runs; then the fuzzers for a bounded time, while the
# static checks run beside them.
# FRACTION_FULL_TESTS=1 (CI sets it) runs the full counts of the repeated
# tests and fuzzes each target 60 seconds instead of 20; FUZZ_SECONDS sets
# the fuzzing time outright.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh clang clang-tidy clang-format cppcheck libclang-rt-14-dev \
    libedit-dev help2man man-db tmux dpkg-dev doxygen lintian pkg-config file binutils
# A standard library with std::format, for the library's formatter: clang 16
# with its libc++, and libc++abi, which libc++ links but does not bring.
# Where a distribution has no such packages, only the test of the formatter
# is skipped.
bash scripts/install-deps.sh clang-16 libc++-16-dev libc++abi-16-dev ||
    echo "no clang 16 with libc++ here: the test of std::format will be skipped" >&2

export FRACTION_FULL_TESTS=${FRACTION_FULL_TESTS:-0}
if [ "$FRACTION_FULL_TESTS" = 1 ]; then
    fuzz_seconds=${FUZZ_SECONDS:-60}
else
    fuzz_seconds=${FUZZ_SECONDS:-20}
fi

# A suite spends much of its time waiting on the programs it starts, the
# terminal and the package tools: the next preset builds meanwhile, its
# output kept in build/PRESET.log and shown when it fails. The release
# suite's output is also the log scripts/platforms.sh keeps for this
# platform, so that CI does not build and run it twice.
mkdir -p build/platforms
# A failing step ends the script: a build still running beside it ends first.
trap wait EXIT
start_build() {
    local preset=$1 log=build/$1.log
    { cmake --preset "$preset" --fresh && cmake --build --preset "$preset"; } >"$log" 2>&1 &
    building=$!
    building_preset=$preset
}
finish_build() {
    if ! wait "$building"; then
        tail -n 40 "build/$building_preset.log"
        echo "the $building_preset build failed (see build/$building_preset.log)" >&2
        exit 1
    fi
}

echo "=== release build ==="
cmake --preset release --fresh
cmake --build --preset release
start_build sanitize
echo "=== release tests (the sanitize build beside them) ==="
ctest --preset release 2>&1 | tee build/platforms/linux-x86_64-gcc.log
finish_build
start_build tsan
echo "=== sanitize tests (the tsan build beside them) ==="
ctest --preset sanitize
finish_build
start_build fuzz
echo "=== tsan tests (the fuzz build beside them) ==="
ctest --preset tsan
finish_build

# The fuzzers take one core for a fixed time, the static checks the rest:
# they run side by side, the fuzzers' output shown once they end.
echo "=== fuzzers, and the static checks beside them ==="
bash scripts/fuzz.sh "$fuzz_seconds" >build/fuzzers.log 2>&1 &
fuzzers=$!
lint_status=0
bash scripts/lint.sh || lint_status=$?
fuzz_status=0
wait "$fuzzers" || fuzz_status=$?
echo "--- fuzzers"
cat build/fuzzers.log
[ "$lint_status" -eq 0 ] || echo "the static checks failed" >&2
[ "$fuzz_status" -eq 0 ] || echo "the fuzzers failed" >&2
[ "$lint_status" -eq 0 ] && [ "$fuzz_status" -eq 0 ]
