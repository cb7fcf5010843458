#!/usr/bin/env bash
# Makes the Debian packages of a build with cpack and checks what each holds
# and says of itself: fraction (the programs), the files to build against
# (libfraction-dev from a shared build, libfraction-static-dev from a static
# one, so that the two never share a name) and, for a shared build,
# libfraction2 (the library); and that the programs and the library are
# built with Debian's hardening. With `lintian` as the second argument it
# then has lintian check them, failing on any error or warning, hardening
# tag or override that nothing needs, and reports skipped (77) where
# lintian is missing.
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
# g++ turns some of the programs' calls into the C library's checked ones
# under _FORTIFY_SOURCE; clang++, with the sizes it can prove, leaves none
# there to check, and lintian then says so (hardening-no-fortify-functions).
checked_calls=1 tolerated='^$'
case $(basename "$(cache_value CMAKE_CXX_COMPILER)") in
*clang*) checked_calls=0 tolerated=': hardening-no-fortify-functions ' ;;
esac
libdir=./usr/$(cache_value CMAKE_INSTALL_LIBDIR)
if [ "$(cache_value BUILD_SHARED_LIBS)" = ON ]; then
    programs_name=fraction other_programs_name=fraction-static
    development_name=libfraction-dev other_development_name=libfraction-static-dev
    names=("$programs_name" "$development_name" libfraction2)
else
    programs_name=fraction-static other_programs_name=fraction
    development_name=libfraction-static-dev other_development_name=libfraction-dev
    names=("$programs_name" "$development_name")
fi
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
        package=$(package_of "$name") || exit 1
        # Shown with the overridden tags and their reasons, and the pedantic
        # and informational ones; errors and warnings fail, and so do the
        # informational tags of missing hardening and of overrides that
        # match nothing.
        echo "lintian $(basename "$package"):"
        tags=$(lintian -L '>=pedantic' --tag-display-limit 0 --show-overrides "$package" 2>&1)
        grep -v 'running with root privileges' <<<"$tags" | sed 's/^/  /'
        unwanted=$(grep -E ': (hardening-[a-z-]+|unused-override|mismatched-override) ' <<<"$tags" |
            grep -vE "$tolerated")
        [ -z "$unwanted" ] || fail "lintian: $unwanted"
        lintian --fail-on error,warning "$package" >/dev/null 2>&1 ||
            fail "lintian finds errors or warnings in $(basename "$package")"
    done
    exit 0
fi

version=""
for name in "${names[@]}"; do
    package=$(package_of "$name") || exit 1
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

programs=$(package_of "$programs_name") || exit 1
holds "$programs" ./usr/bin/fraction ./usr/bin/fracfile ./usr/share/man/man1/fraction.1.gz \
    ./usr/share/man/man1/fracfile.1.gz
dpkg-deb -x "$programs" "$workdir/programs"
for program in fraction fracfile; do
    # Each output read whole before it is searched, as below: grep -q leaves
    # at the first match, and a writer still writing would die of SIGPIPE.
    described=$(file "$workdir/programs/usr/bin/$program")
    grep -q ', stripped' <<<"$described" || fail "$program is not stripped"
done
depends=$(dpkg-deb -f "$programs" Depends)
grep -q libc6 <<<"$depends" || fail "dependencies not worked out: '$depends'"

# Built with what `dpkg-buildflags` gives for hardening: read-only
# relocations bound at start (relro, BIND_NOW), the stack protector and
# _FORTIFY_SOURCE's checked calls; programs position-independent.
hardened() {
    local binary=$1 name dynamic segments header symbols
    name=$(basename "$binary")
    dynamic=$(readelf -d "$binary")
    segments=$(readelf -lW "$binary")
    header=$(readelf -h "$binary")
    symbols=$(readelf --dyn-syms -W "$binary")
    grep -qE '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).* NOW' <<<"$dynamic" ||
        fail "$name is not linked with BIND_NOW (-z now)"
    grep -q GNU_RELRO <<<"$segments" || fail "$name has no relro segment (-z relro)"
    grep -q ' __stack_chk_fail@' <<<"$symbols" || fail "$name is built without the stack protector"
    if [ "${2:-}" = program ]; then
        grep -q 'Type: *DYN' <<<"$header" || fail "$name is not a position-independent executable"
        grep -q 'FLAGS_1.*PIE' <<<"$dynamic" || fail "$name is not marked position-independent"
        [ "$checked_calls" = 0 ] || grep -qE ' __[a-z]+_chk@' <<<"$symbols" ||
            fail "$name calls no checked function (_FORTIFY_SOURCE)"
    fi
}
for program in fraction fracfile; do
    hardened "$workdir/programs/usr/bin/$program" program
done

development=$(package_of "$development_name") || exit 1
for relation in Conflicts Replaces; do
    [ "$(dpkg-deb -f "$programs" "$relation")" = "$other_programs_name" ] ||
        fail "$programs_name does not say $relation: $other_programs_name"
    [ "$(dpkg-deb -f "$development" "$relation")" = "$other_development_name" ] ||
        fail "$development_name does not say $relation: $other_development_name"
done
holds "$development" ./usr/include/fraction/Fraction.h ./usr/include/fraction/FractionFile.h \
    ./usr/include/fraction/FractionRecord.h ./usr/include/fraction/Version.h \
    ./usr/include/fraction/Export.h "$libdir/cmake/Fraction/FractionConfig.cmake" \
    "$libdir/cmake/Fraction/FractionConfigVersion.cmake" "$libdir/pkgconfig/fraction.pc"
# The packages install under /usr, whatever the build's own prefix.
pc_prefix=$(dpkg-deb --fsys-tarfile "$development" | tar -xO "$libdir/pkgconfig/fraction.pc" |
    sed -n 's/^prefix=//p')
[ "$pc_prefix" = /usr ] || fail "fraction.pc in $development_name has the prefix '$pc_prefix'"
if [ "${#names[@]}" = 3 ]; then
    library=$(package_of libfraction2) || exit 1
    holds "$library" "$libdir/libfraction.so.2" "$libdir/libfraction.so.${version%-*}"
    holds "$development" "$libdir/libfraction.so"
    dpkg-deb -x "$library" "$workdir/library"
    hardened "$workdir/library/$libdir/libfraction.so.2"
    for dependent in "$programs" "$development"; do
        depends=$(dpkg-deb -f "$dependent" Depends)
        grep -q "libfraction2 (= $version)" <<<"$depends" ||
            fail "$(basename "$dependent") does not depend on libfraction2 (= $version)"
    done
    shlibs=$(dpkg-deb --ctrl-tarfile "$library" | tar -xO ./shlibs)
    grep -q '^libfraction 2 libfraction2' <<<"$shlibs" ||
        fail "libfraction2 has no shlibs file"
else
    holds "$development" "$libdir/libfraction.a"
    [ "$(dpkg-deb -f "$programs" Provides)" = "fraction (= $version)" ] ||
        fail "$programs_name does not provide fraction (= $version)"
    [ "$(dpkg-deb -f "$development" Provides)" = "libfraction-dev (= $version)" ] ||
        fail "$development_name does not provide libfraction-dev (= $version)"
    dpkg-deb -x "$development" "$workdir/development"
    archive_symbols=$(nm "$workdir/development/$libdir/libfraction.a")
    grep -q ' U __stack_chk_fail$' <<<"$archive_symbols" ||
        fail "libfraction.a is built without the stack protector"
fi
for name in "${names[@]}"; do
    package=$(package_of "$name") || exit 1
    echo "$(basename "$package"): $(dpkg-deb -c "$package" | grep -vc '/$') files;" \
        "depends: $(dpkg-deb -f "$package" Depends)"
done
