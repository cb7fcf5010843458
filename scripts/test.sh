#!/usr/bin/env bash
# Builds and runs every test: the suite as an optimised release build,
# again under AddressSanitizer and UndefinedBehaviorSanitizer, and again
# under ThreadSanitizer, warnings as errors, each build made while the
# suite before it runs; then the fuzzers for a bounded time. The static
# checks run beside all of it, at the lowest priority.
# FRACTION_FULL_TESTS=1 (CI sets it) runs the full counts of the repeated
# tests, has clang-tidy check every file instead of what changed, and fuzzes
# each target 60 seconds instead of 20; FUZZ_SECONDS sets the fuzzing time
# outright.
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
# output kept in build/PRESET.log and shown when it fails. The static checks
# need only the compile databases: they run from the start at the lowest
# priority, on the time the builds and suites leave, their output in
# build/lint.log. The release suite's output is also the log
# scripts/platforms.sh keeps for this platform, so that CI does not build
# and run it twice.
mkdir -p build/platforms
# A failing step ends the script: the static checks, in a process group of
# their own, are stopped; a build still running beside it ends first.
stop_beside() {
    [ -z "${lint:-}" ] || kill -- "-$lint" 2>/dev/null
    wait
}
trap '[ $? -eq 0 ] || stop_beside' EXIT
for preset in release sanitize tsan fuzz; do
    cmake --preset "$preset" --fresh >"build/$preset.log" 2>&1 ||
        { cat "build/$preset.log"; exit 1; }
done
setsid nice -n 19 bash scripts/lint.sh >build/lint.log 2>&1 &
lint=$!
start_build() {
    cmake --build --preset "$1" >>"build/$1.log" 2>&1 &
    building=$!
    building_preset=$1
}
finish_build() {
    if ! wait "$building"; then
        tail -n 40 "build/$building_preset.log"
        echo "the $building_preset build failed (see build/$building_preset.log)" >&2
        exit 1
    fi
}

echo "=== release build (the static checks beside everything from here) ==="
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

echo "=== fuzzers ==="
fuzz_status=0
bash scripts/fuzz.sh "$fuzz_seconds" || fuzz_status=$?
echo "=== static checks ==="
lint_status=0
wait "$lint" || lint_status=$?
cat build/lint.log
[ "$lint_status" -eq 0 ] || echo "the static checks failed" >&2
[ "$fuzz_status" -eq 0 ] || echo "the fuzzers failed" >&2
[ "$lint_status" -eq 0 ] && [ "$fuzz_status" -eq 0 ]
