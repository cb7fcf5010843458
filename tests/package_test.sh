#!/usr/bin/env bash
# Makes the Debian packages of a build with cpack and checks what each holds
# and says of itself: fraction (the programs), libfraction-dev (the files to
# build against) and, for a shared build, libfraction2 (the library). With
# `lintian` as the second argument it then has lintian check them, failing
# on any error or warning, and reports skipped (77) where lintian is missing.
# Usage: package_test.sh BUILD_DIR [lintian]
set -uo pipefail
build=$(realpath "$1")
mode=${2:-contents}
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
if [ "$mode" = lintian ] && ! command -v lintian >/dev/null; then
    echo "lintian is not installed: skipped"
    exit 77
fi

(cd "$workdir" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log 2>&1) ||
    fail "cpack: $(tail -n 20 "$workdir/cpack.log")"
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
libdir=./usr/$(cache_value CMAKE_INSTALL_LIBDIR)
names=(fraction libfraction-dev)
[ "$(cache_value BUILD_SHARED_LIBS)" = ON ] && names+=(libfraction2)
made=$(find "$workdir" -maxdepth 1 -name '*.deb' | wc -l)
[ "$made" = "${#names[@]}" ] || fail "cpack made $made packages, not ${#names[@]}: $(ls "$workdir")"

package_of() {
    local files=("$workdir/$1"_*.deb)
    [ -e "${files[0]}" ] || fail "no $1 package: $(ls "$workdir")"
    echo "${files[0]}"
}
holds() {
    local contents
    contents=$(dpkg-deb -c "$1" | awk '{print $6}')
    shift
    for file in "$@"; do
        grep -qx -- "$file" <<<"$contents" || fail "$(basename "$package") lacks $file"
    done
}

if [ "$mode" = lintian ]; then
    for name in "${names[@]}"; do
        package=$(package_of "$name")
        # Shown with the overridden tags and their reasons, and the pedantic
        # and informational ones; only errors and warnings fail.
        echo "lintian $(basename "$package"):"
        lintian -L '>=pedantic' --tag-display-limit 0 --show-overrides "$package" 2>&1 |
            grep -v 'running with root privileges' | sed 's/^/  /'
        lintian --fail-on error,warning "$package" >/dev/null 2>&1 ||
            fail "lintian finds errors or warnings in $(basename "$package")"
    done
    exit 0
fi

version=""
for name in "${names[@]}"; do
    package=$(package_of "$name")
    [ "$(dpkg-deb -f "$package" Package)" = "$name" ] || fail "package name of $package"
    this_version=$(dpkg-deb -f "$package" Version)
    [ -z "$version" ] || [ "$this_version" = "$version" ] || fail "$name has version $this_version"
    version=$this_version
    [ -n "$(dpkg-deb -f "$package" Maintainer)" ] || fail "no maintainer in $name"
    long_lines=$(dpkg-deb -f "$package" Description | awk 'length > 80')
    [ -z "$long_lines" ] || fail "description lines over 80 characters in $name: $long_lines"
    [ "$(dpkg-deb -f "$package" Description | wc -l)" -gt 2 ] || fail "no long description in $name"
    holds "$package" "./usr/share/doc/$name/copyright" "./usr/share/doc/$name/changelog.Debian.gz"
    copyright=$(dpkg-deb --fsys-tarfile "$package" | tar -xO "./usr/share/doc/$name/copyright")
    [ "$(head -n 1 <<<"$copyright")" = \
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
        fail "the copyright file of $name is not in the machine-readable format"
    changelog_version=$(dpkg-deb --fsys-tarfile "$package" |
        tar -xO "./usr/share/doc/$name/changelog.Debian.gz" | gzip -dc | sed -n '1s/.*(\(.*\)).*/\1/p')
    [ "$changelog_version" = "$version" ] ||
        fail "the changelog's latest entry is $changelog_version, the package $version"
done

programs=$(package_of fraction)
holds "$programs" ./usr/bin/fraction ./usr/bin/fracfile ./usr/share/man/man1/fraction.1.gz \
    ./usr/share/man/man1/fracfile.1.gz
dpkg-deb -x "$programs" "$workdir/programs"
for program in fraction fracfile; do
    file "$workdir/programs/usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped"
done
depends=$(dpkg-deb -f "$programs" Depends)
grep -q libc6 <<<"$depends" || fail "dependencies not worked out: '$depends'"

development=$(package_of libfraction-dev)
holds "$development" ./usr/include/fraction/Fraction.h ./usr/include/fraction/FractionFile.h \
    ./usr/include/fraction/FractionRecord.h ./usr/include/fraction/Version.h \
    ./usr/include/fraction/Export.h "$libdir/cmake/Fraction/FractionConfig.cmake" \
    "$libdir/cmake/Fraction/FractionConfigVersion.cmake" "$libdir/pkgconfig/fraction.pc"
# The packages install under /usr, whatever the build's own prefix.
pc_prefix=$(dpkg-deb --fsys-tarfile "$development" | tar -xO "$libdir/pkgconfig/fraction.pc" |
    sed -n 's/^prefix=//p')
[ "$pc_prefix" = /usr ] || fail "fraction.pc in libfraction-dev has the prefix '$pc_prefix'"
if [ "${#names[@]}" = 3 ]; then
    library=$(package_of libfraction2)
    holds "$library" "$libdir/libfraction.so.2" "$libdir/libfraction.so.${version%-*}"
    holds "$development" "$libdir/libfraction.so"
    for dependent in "$programs" "$development"; do
        dpkg-deb -f "$dependent" Depends | grep -q "libfraction2 (= $version)" ||
            fail "$(basename "$dependent") does not depend on libfraction2 (= $version)"
    done
    dpkg-deb --ctrl-tarfile "$library" | tar -xO ./shlibs | grep -q '^libfraction 2 libfraction2' ||
        fail "libfraction2 has no shlibs file"
else
    holds "$development" "$libdir/libfraction.a"
fi
for name in "${names[@]}"; do
    package=$(package_of "$name")
    echo "$(basename "$package"): $(dpkg-deb -c "$package" | grep -vc '/$') files;" \
        "depends: $(dpkg-deb -f "$package" Depends)"
done
