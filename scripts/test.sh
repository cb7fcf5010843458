#!/usr/bin/env bash
# Builds and runs every test: the suite as an optimised release build and
# again under AddressSanitizer and UndefinedBehaviorSanitizer, warnings as
# errors; then the fuzzers for a bounded time and the static checks.
set -euo pipefail
cd "$(dirname "$0")/.."
# clang 16 and its libc++ bring a std::format, for the library's formatter.
bash scripts/install-deps.sh clang clang-tidy clang-format cppcheck libclang-rt-14-dev \
    libedit-dev help2man man-db tmux dpkg-dev doxygen lintian pkg-config file binutils \
    clang-16 libc++-16-dev libc++abi-16-dev

for preset in release sanitize; do
    echo "=== $preset build and tests ==="
    cmake --workflow --preset "$preset" --fresh
done

echo "=== fuzzers ==="
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

echo "=== static checks ==="
bash scripts/lint.sh
