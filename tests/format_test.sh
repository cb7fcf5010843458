#!/usr/bin/env bash
# Builds the consumer project against the source tree with a standard
# library that has std::format, so that the library's std::formatter is
# compiled and run: the default compiler where its library has <format>,
# else clang with libc++ 16 or later. Exits 77 where neither is installed.
# Usage: format_test.sh SOURCE_DIR CXX_COMPILER
set -uo pipefail
source=$(realpath "$1")
default_compiler=$2
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# has_formatter COMPILER [FLAG...]: whether the header offers the formatter there.
has_formatter() {
    printf '#include <fraction/Fraction.h>\n#ifndef FRACTION_HAS_STD_FORMAT\n#error\n#endif\n' |
        "$1" -std=c++20 "${@:2}" -I "$source/include" -I "$workdir/probe" -fsyntax-only -x c++ - \
            >/dev/null 2>&1
}
# The probe needs Export.h, which the build generates; an empty macro does.
mkdir -p "$workdir/probe/fraction"
echo '#define FRACTION_EXPORT' >"$workdir/probe/fraction/Export.h"

compiler=
flags=
if has_formatter "$default_compiler"; then
    compiler=$default_compiler
else
    for version in 19 18 17 16; do
        if command -v "clang++-$version" >/dev/null &&
            has_formatter "clang++-$version" -stdlib=libc++ -fexperimental-library; then
            compiler=clang++-$version
            flags="-stdlib=libc++ -fexperimental-library"
            break
        fi
    done
fi
if [ -z "$compiler" ]; then
    echo "skipped: no compiler here has a standard library with std::format"
    exit 77
fi

build=$workdir/build
if ! cmake -S "$source/tests/consumer" -B "$build" -DFRACTION_SOURCE_DIR="$source" \
    -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_CXX_STANDARD=20 \
    -DCMAKE_CXX_FLAGS="$flags -Wall -Wextra -Wpedantic -Werror" -DFRACTION_WERROR=ON \
    >"$workdir/build.log" 2>&1 || ! cmake --build "$build" -j 2 >>"$workdir/build.log" 2>&1; then
    fail "the consumer does not build with $compiler $flags: $(tail -n 30 "$workdir/build.log")"
fi
"$build/app" >"$workdir/app.out" || fail "the consumer found faults: $(cat "$workdir/app.out")"
grep -q -x 'std::format: checked' "$workdir/app.out" ||
    fail "the consumer did not check std::format: $(cat "$workdir/app.out")"
echo "std::format checked with $compiler $flags"
