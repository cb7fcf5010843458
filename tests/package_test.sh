#!/usr/bin/env bash
# Makes the .deb of a build with cpack and checks what it holds and what it
# says of itself. Usage: package_test.sh BUILD_DIR VERSION
set -uo pipefail
build=$(realpath "$1")
version=$2
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
(cd "$workdir" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log 2>&1) ||
    fail "cpack: $(tail -n 20 "$workdir/cpack.log")"
packages=("$workdir"/fraction_"$version"_*.deb)
package=${packages[0]}
[ -e "$package" ] || package=""
[ -n "$package" ] || fail "no fraction_${version}_*.deb: $(ls "$workdir")"

contents=$(dpkg-deb -c "$package" | awk '{print $NF}')
for file in ./usr/bin/fraction ./usr/bin/fracfile ./usr/share/man/man1/fraction.1 \
    ./usr/share/man/man1/fracfile.1 ./usr/include/fraction/Fraction.h \
    ./usr/include/fraction/FractionFile.h ./usr/include/fraction/FractionRecord.h \
    ./usr/include/fraction/Version.h ./usr/lib/libfraction.a \
    ./usr/lib/cmake/Fraction/FractionConfig.cmake \
    ./usr/lib/cmake/Fraction/FractionConfigVersion.cmake; do
    grep -qx -- "$file" <<<"$contents" || fail "the package lacks $file"
done
[ "$(dpkg-deb -f "$package" Package)" = fraction ] || fail "package name"
[ "$(dpkg-deb -f "$package" Version)" = "$version" ] || fail "package version"
[ -n "$(dpkg-deb -f "$package" Maintainer)" ] || fail "no maintainer"
[ -n "$(dpkg-deb -f "$package" Description)" ] || fail "no description"
depends=$(dpkg-deb -f "$package" Depends)
grep -q libc6 <<<"$depends" || fail "dependencies not worked out: '$depends'"
echo "$(basename "$package"): $(wc -l <<<"$contents") entries; depends: $depends"
