#!/usr/bin/env bash
# Builds and runs every test: the suite as an optimised release build,
# again under AddressSanitizer and UndefinedBehaviorSanitizer, and again
# under ThreadSanitizer, warnings as errors; then the fuzzers for a bounded
# time, while the static checks run beside them.
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

# The release suite's output is also the log scripts/platforms.sh keeps for
# this platform, so that CI does not build and run it twice.
mkdir -p build/platforms
echo "=== release build and tests ==="
cmake --workflow --preset release --fresh 2>&1 | tee build/platforms/linux-x86_64-gcc.log
for preset in sanitize tsan; do
    echo "=== $preset build and tests ==="
    cmake --workflow --preset "$preset" --fresh
done

# The fuzzers take one core for a fixed time, the static checks the rest:
# they run side by side, the fuzzers' output shown once they end. The fuzz
# build comes first, as the static checks read its compile database.
echo "=== fuzzers, and the static checks beside them ==="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz
bash scripts/fuzz.sh "$fuzz_seconds" >build/fuzz/fuzz.log 2>&1 &
fuzzers=$!
lint_status=0
bash scripts/lint.sh || lint_status=$?
fuzz_status=0
wait "$fuzzers" || fuzz_status=$?
echo "--- fuzzers"
cat build/fuzz/fuzz.log
[ "$lint_status" -eq 0 ] || echo "the static checks failed" >&2
[ "$fuzz_status" -eq 0 ] || echo "the fuzzers failed" >&2
[ "$lint_status" -eq 0 ] && [ "$fuzz_status" -eq 0 ]
