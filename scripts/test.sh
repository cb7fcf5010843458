#!/usr/bin/env bash
# Builds and runs every test: the suite as an optimised release build,
# again under AddressSanitizer and UndefinedBehaviorSanitizer, and again
# under ThreadSanitizer, warnings as errors; then the fuzzers for a bounded
# time and the static checks.
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

for preset in release sanitize tsan; do
    echo "=== $preset build and tests ==="
    cmake --workflow --preset "$preset" --fresh
done

echo "=== fuzzers ==="
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

echo "=== static checks ==="
bash scripts/lint.sh
