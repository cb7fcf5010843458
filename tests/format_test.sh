#!/usr/bin/env bash
# Builds the consumer project against the source tree with a standard
# library that has std::format, so that the library's std::formatter is
# compiled and run: the default compiler where its library has <format>,
# else clang with libc++ 16 or later. Exits 77 where neither is installed,
# and fails where the link needs a package the test command does not install.
# Usage: format_test.sh SOURCE_DIR CXX_COMPILER
set -uo pipefail
source=$(realpath "$1")
default_compiler=$2
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# The probes need Export.h, which the build generates; an empty macro does.
mkdir -p "$workdir/probe/fraction"
echo '#define FRACTION_EXPORT' >"$workdir/probe/fraction/Export.h"
# compile_header STANDARD COMPILER [FLAG...]: compiles the header alone, with
# whatever follows it on standard input.
compile_header() {
    { echo '#include <fraction/Fraction.h>'; cat; } |
        "$2" -std="$1" "${@:3}" -Wall -Wextra -Werror -I "$source/include" -I "$workdir/probe" \
            -fsyntax-only -x c++ - 2>&1
}
# has_formatter COMPILER [FLAG...]: whether the header offers the formatter
# with that compiler and library. A compiler whose library is not installed
# is passed over; any other error in the header fails the test.
has_formatter() {
    echo '#include <version>' | "$1" -std=c++20 "${@:2}" -fsyntax-only -x c++ - >/dev/null 2>&1 ||
        return 1
    local output
    output=$(printf '#ifndef FRACTION_HAS_STD_FORMAT\n#error NO_STD_FORMAT\n#endif\n' |
        compile_header c++20 "$@") && return 0
    [ "$(grep -c 'error:' <<<"$output")" = 1 ] && grep -q NO_STD_FORMAT <<<"$output" && return 1
    fail "the header does not compile with $*: $output"
}

compiler=
flags=()
if has_formatter "$default_compiler"; then
    compiler=$default_compiler
else
    for version in 19 18 17 16; do
        if command -v "clang++-$version" >/dev/null &&
            has_formatter "clang++-$version" -stdlib=libc++ -fexperimental-library; then
            compiler=clang++-$version
            flags=(-stdlib=libc++ -fexperimental-library)
            break
        fi
    done
fi
if [ -z "$compiler" ]; then
    echo "skipped: no compiler here has a standard library with std::format"
    exit 77
fi
# What links here must link on a new machine too.
# shellcheck source=tests/link_packages.sh
source "$source/tests/link_packages.sh"
output=$(check_link_packages "$source" "$compiler" "${flags[@]}") || fail "$output"

# The header promises C++17: there it must leave the formatter out cleanly.
output=$(compile_header c++17 "$compiler" "${flags[@]}" </dev/null) ||
    fail "the header does not compile as C++17 with $compiler ${flags[*]}: $output"

build=$workdir/build
if ! cmake -S "$source/tests/consumer" -B "$build" -DFRACTION_SOURCE_DIR="$source" \
    -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_CXX_STANDARD=20 \
    -DCMAKE_CXX_FLAGS="${flags[*]} -Wall -Wextra -Wpedantic -Werror" -DFRACTION_WERROR=ON \
    >"$workdir/build.log" 2>&1 || ! cmake --build "$build" -j 2 >>"$workdir/build.log" 2>&1; then
    fail "the consumer does not build with $compiler ${flags[*]}: $(tail -n 30 "$workdir/build.log")"
fi
"$build/app" >"$workdir/app.out" || fail "the consumer found faults: $(cat "$workdir/app.out")"
grep -q -x 'std::format: checked' "$workdir/app.out" ||
    fail "the consumer did not check std::format: $(cat "$workdir/app.out")"
echo "std::format checked with $compiler ${flags[*]}; the header compiles as C++17 there too"
