#!/usr/bin/env bash
# Measures the test suite's coverage: builds everything with --coverage in
# build/coverage (unoptimised, so that lines map to code), runs the whole
# ctest suite but the install tests (which link the library into programs
# of their own, built without coverage), and prints gcovr's table of line
# and branch coverage per file of the programs and the library.
# Usage: scripts/coverage.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh gcovr libedit-dev

build=build/coverage
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DFRACTION_WERROR=ON \
    -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j2 >/dev/null
find "$build" -name '*.gcda' -delete
# Some tests run the programs as another user (nobody): their counts, too,
# must be able to land beside the objects, in files that others made.
chmod -R a+rwX "$build"
# FRACTION_COVERAGE tells the tests that cannot run under coverage. The
# terminal tests run apart, without the open umask, which tmux refuses.
(umask 000 && cd "$build" && FRACTION_COVERAGE=1 ctest -j2 -E '^(install|terminal)\.' \
    --output-on-failure) | tail -n 3
(cd "$build" && ctest -R '^terminal\.' --output-on-failure) | tail -n 3

# Branches the compiler adds for exceptions and for code it proves
# unreachable are not choices the tests could make.
filters=(--root . --filter 'src/' --filter 'tools/' --filter 'include/'
    --exclude-throw-branches --exclude-unreachable-branches)
echo "--- lines per file"
gcovr "${filters[@]}" "$build"
echo "--- branches per file"
gcovr "${filters[@]}" --branches --print-summary "$build"
