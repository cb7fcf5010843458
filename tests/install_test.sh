#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what lands there, then
# builds and runs a small project of a user's own against it, and once more
# against the source tree through add_subdirectory.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR CXX_COMPILER MAN_PAGES(1 or 0)
set -uo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
compiler=$3
man_pages=$4
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT
prefix=$workdir/prefix

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$workdir/install.log" 2>&1 ||
    fail "cmake --install: $(cat "$workdir/install.log")"
expected=(bin/fraction bin/fracfile)
[ "$man_pages" = 0 ] || expected+=(share/man/man1/fraction.1 share/man/man1/fracfile.1)
for file in "${expected[@]}" include/fraction/Fraction.h include/fraction/FractionRecord.h include/fraction/FractionFile.h \
    include/fraction/Version.h lib/libfraction.a lib/cmake/Fraction/FractionConfig.cmake \
    lib/cmake/Fraction/FractionConfigVersion.cmake lib/cmake/Fraction/FractionTargets.cmake \
    share/doc/fraction/LICENSE; do
    [ -e "$prefix/$file" ] || fail "not installed: $file"
done
extra=$(find "$prefix/include/fraction" -mindepth 1 -maxdepth 1 -printf '%f\n' |
    grep -v -x -E 'Fraction.h|FractionRecord.h|FractionFile.h|Version.h')
[ -z "$extra" ] || fail "headers the programs alone use were installed: $extra"
"$prefix/bin/fraction" </dev/null >/dev/null 2>&1 || fail "the installed fraction does not run"
(cd "$workdir" && rm -f unitTest.dat)

# build_consumer NAME CMAKE_ARGUMENTS...: configures, builds and runs it.
build_consumer() {
    local name=$1
    shift
    local dir=$workdir/$name
    if ! cmake -S "$source/tests/consumer" -B "$dir" -DCMAKE_CXX_COMPILER="$compiler" "$@" \
        >"$dir.log" 2>&1 || ! cmake --build "$dir" -j 2 >>"$dir.log" 2>&1; then
        fail "the consumer against $name does not build: $(tail -n 30 "$dir.log")"
    fi
    "$dir/app" || fail "the consumer against $name found faults"
}
build_consumer installed -DCMAKE_PREFIX_PATH="$prefix"
build_consumer source-tree -DFRACTION_SOURCE_DIR="$source"
echo "installed files and both consumers as expected"
