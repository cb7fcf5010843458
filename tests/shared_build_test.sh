#!/usr/bin/env bash
# Builds the project with BUILD_SHARED_LIBS=ON in a temporary folder, then
# checks that build's install (consumers through CMake and pkg-config) and
# Debian packages (libfraction2 among them, lintian-clean where lintian is
# installed) as the static build's are checked.
# Usage: shared_build_test.sh SOURCE_DIR CXX_COMPILER
set -uo pipefail
source=$(realpath "$1")
compiler=$2
here=$(dirname "$(realpath "$0")")
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT
build=$workdir/build

fail() { echo "FAIL: $*" >&2; exit 1; }

if ! cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER="$compiler" \
    -DBUILD_SHARED_LIBS=ON -DFRACTION_TESTS=OFF -DFRACTION_WERROR=ON >"$workdir/build.log" 2>&1 ||
    ! cmake --build "$build" -j 2 >>"$workdir/build.log" 2>&1; then
    fail "the shared build fails: $(tail -n 30 "$workdir/build.log")"
fi
man_pages=0
[ -e "$build/doc/fraction.1" ] && man_pages=1
bash "$here/install_test.sh" "$build" "$source" "$compiler" "$man_pages" || exit 1
bash "$here/package_test.sh" "$build" || exit 1
bash "$here/package_test.sh" "$build" lintian
status=$?
[ "$status" = 0 ] || [ "$status" = 77 ] || exit 1
