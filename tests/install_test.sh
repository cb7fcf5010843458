#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what lands there, then
# builds and runs a small project of a user's own against it: through the
# CMake package, through `pkg-config --cflags --libs fraction` alone (from
# that prefix and from a staged install of the configured one), and once
# more against the source tree through add_subdirectory and through
# FetchContent, there also with clang and libc++ where they are installed.
# A shared build is also checked for its SONAME, its links and the names
# it exports.
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

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
libdir=$(cache_value CMAKE_INSTALL_LIBDIR)
[ -n "$libdir" ] || fail "no library folder in $build/CMakeCache.txt"
shared=0
[ "$(cache_value BUILD_SHARED_LIBS)" = ON ] && shared=1
# The build's own compiler flags, such as -stdlib=libc++: a consumer must
# use the same standard library as the library it links.
build_flags=$(cache_value CMAKE_CXX_FLAGS)

cmake --install "$build" --prefix "$prefix" >"$workdir/install.log" 2>&1 ||
    fail "cmake --install: $(cat "$workdir/install.log")"
version=$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' \
    "$prefix/$libdir/cmake/Fraction/FractionConfigVersion.cmake")
[ -n "$version" ] || fail "no version in the installed CMake package"
expected=(bin/fraction bin/fracfile include/fraction/Fraction.h include/fraction/FractionRecord.h
    include/fraction/FractionFile.h include/fraction/Version.h include/fraction/Export.h
    "$libdir/cmake/Fraction/FractionConfig.cmake" "$libdir/cmake/Fraction/FractionConfigVersion.cmake"
    "$libdir/cmake/Fraction/FractionTargets.cmake" "$libdir/pkgconfig/fraction.pc"
    share/doc/fraction/LICENSE)
[ "$man_pages" = 0 ] || expected+=(share/man/man1/fraction.1 share/man/man1/fracfile.1)
if [ "$shared" = 1 ]; then
    expected+=("$libdir/libfraction.so" "$libdir/libfraction.so.2" "$libdir/libfraction.so.$version")
else
    expected+=("$libdir/libfraction.a")
fi
for file in "${expected[@]}"; do
    [ -e "$prefix/$file" ] || fail "not installed: $file"
done
extra=$(find "$prefix/include/fraction" -mindepth 1 -maxdepth 1 -printf '%f\n' |
    grep -v -x -E 'Fraction.h|FractionRecord.h|FractionFile.h|Version.h|Export.h')
[ -z "$extra" ] || fail "headers the programs alone use were installed: $extra"

# Names the library defines for others to link: all of them in namespace
# fraction. The only others are the standard library's own template
# statics (std::), which every user of <charconv> gets as well, and what
# the compiler itself adds (gcc's reference to its personality routine,
# clang's call of std::terminate from a noexcept function).
foreign_names() {
    grep -v -E ' (fraction|std)::' | grep -v -E '^$|:$|DW\.ref\.__gxx_personality_v0|W __clang_call_terminate$'
}
if [ "$shared" = 1 ]; then
    [ "$(readlink "$prefix/$libdir/libfraction.so")" = libfraction.so.2 ] ||
        fail "libfraction.so does not link to libfraction.so.2"
    [ "$(readlink "$prefix/$libdir/libfraction.so.2")" = "libfraction.so.$version" ] ||
        fail "libfraction.so.2 does not link to the versioned file"
    soname=$(readelf -d "$prefix/$libdir/libfraction.so.$version" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
    [ "$soname" = libfraction.so.2 ] || fail "SONAME is '$soname'"
    # Read whole before it is searched: grep -q leaves at the first match,
    # and a writer still writing then dies of SIGPIPE, failing the pipe.
    needed=$(readelf -d "$prefix/bin/fraction")
    grep -q 'NEEDED.*\[libfraction.so.2\]' <<<"$needed" ||
        fail "the installed fraction does not use the shared library"
    names=$(nm -DC --defined-only "$prefix/$libdir/libfraction.so.$version" | foreign_names)
    exported=$(nm -DC --defined-only "$prefix/$libdir/libfraction.so.$version" | grep -c ' fraction::')
    [ "$exported" -gt 10 ] || fail "the shared library exports only $exported names of its own"
    # Found through the programs' relative run path, with nothing set.
    env -u LD_LIBRARY_PATH "$prefix/bin/fraction" </dev/null >/dev/null 2>&1 ||
        fail "the installed fraction does not find its library by itself"
    export LD_LIBRARY_PATH="$prefix/$libdir"
else
    names=$(nm -C -g --defined-only "$prefix/$libdir/libfraction.a" | foreign_names)
fi
[ -z "$names" ] || fail "names outside namespace fraction: $names"

"$prefix/bin/fraction" </dev/null >/dev/null 2>&1 || fail "the installed fraction does not run"
(cd "$workdir" && rm -f unitTest.dat)

# build_consumer NAME CMAKE_ARGUMENTS...: configures, builds and runs it.
build_consumer() {
    local name=$1
    shift
    local dir=$workdir/$name
    if ! cmake -S "$source/tests/consumer" -B "$dir" -DCMAKE_CXX_COMPILER="$compiler" \
        -DCMAKE_CXX_FLAGS="$build_flags" "$@" \
        >"$dir.log" 2>&1 || ! cmake --build "$dir" -j 2 >>"$dir.log" 2>&1; then
        fail "the consumer against $name does not build: $(tail -n 30 "$dir.log")"
    fi
    "$dir/app" >"$dir.out" || fail "the consumer against $name found faults: $(cat "$dir.out")"
}
# Two translation units, in the oldest standard the headers promise and in
# C++20, where they are constexpr: a function a header defines without
# `inline` links in neither.
for standard in 17 20; do
    build_consumer "installed-c++$standard" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_STANDARD=$standard
done
build_consumer source-tree -DFRACTION_SOURCE_DIR="$source"

# The tree as a part of another project, options left alone: it builds
# only the library, and installs only the library and its package beside
# the project's own program.
build_consumer part -DFRACTION_SOURCE_DIR="$source" -DFRACTION_AS_PART=ON
for program in fraction fracfile; do
    [ ! -e "$workdir/part/fraction/$program" ] || fail "the tree as a part built $program"
done
part_prefix=$workdir/part-prefix
cmake --install "$workdir/part" --prefix "$part_prefix" >"$workdir/part-install.log" 2>&1 ||
    fail "cmake --install of the project with the tree as a part: $(cat "$workdir/part-install.log")"
if [ ! -e "$part_prefix/bin/app" ] || [ ! -e "$part_prefix/include/fraction/Fraction.h" ] ||
    [ -z "$(find "$part_prefix" -name FractionConfig.cmake)" ] ||
    [ -z "$(find "$part_prefix" -name 'libfraction.*')" ]; then
    fail "the tree as a part did not install the library and its package: $(cd "$part_prefix" && find . -type f)"
fi
extra=$(cd "$part_prefix" && find . -type f | grep -v -E '^\./(bin/app|include/fraction/|lib[^/]*/.*(libfraction|cmake/Fraction/|pkgconfig/fraction.pc)|share/doc/fraction/)')
[ -z "$extra" ] || fail "the tree as a part installed more than the library: $extra"

# The tree through FetchContent, from its folder: the same library alone.
build_consumer fetched -DFRACTION_SOURCE_DIR="$source" -DFRACTION_FETCH=ON
for program in fraction fracfile; do
    [ -z "$(find "$workdir/fetched" -name "$program" -type f)" ] || fail "FetchContent of the tree built $program"
done
# And with libc++, whose names differ from libstdc++'s, so the library is
# built from the tree with it too: static and shared, C++17 and C++20. Run
# without the library path a shared install above set, which would load
# that libfraction.so.2, built for the other library, in place of the
# consumer's own.
libcxx_compiler=$(command -v clang++-16 || true)
if [ -n "$libcxx_compiler" ] && printf '#include <string>\nint main() { return std::string().empty() ? 0 : 1; }\n' |
    "$libcxx_compiler" -stdlib=libc++ -x c++ - -o "$workdir/libcxx-probe" >/dev/null 2>&1; then
    for standard in 17 20; do
        for shared_libs in OFF ON; do
            (
                unset LD_LIBRARY_PATH
                build_consumer "libc++-c++$standard-shared-$shared_libs" -DFRACTION_SOURCE_DIR="$source" \
                    -DFRACTION_FETCH=ON -DCMAKE_CXX_COMPILER="$libcxx_compiler" \
                    -DCMAKE_CXX_FLAGS=-stdlib=libc++ -DCMAKE_CXX_STANDARD=$standard \
                    -DBUILD_SHARED_LIBS=$shared_libs
                loaded=$(ldd "$workdir/libc++-c++$standard-shared-$shared_libs/app")
                grep -q 'libc++\.so' <<<"$loaded" ||
                    fail "the consumer built for libc++ (C++$standard, shared $shared_libs) does not use it"
            ) || exit 1
        done
    done
else
    echo "no clang++-16 with libc++ here: the consumers against libc++ were not built" >&2
fi

# The same consumer with nothing but what pkg-config says, in C++17 and
# C++20, with this build's compiler and with clang++ where it is installed:
# from the prefix installed into, and from a staged install of the
# configured prefix (DESTDIR), which pkg-config finds under its sysroot.
# fraction.pc names each prefix plainly.
configured=$(cache_value CMAKE_INSTALL_PREFIX)
stage=$workdir/stage
DESTDIR=$stage cmake --install "$build" >"$workdir/stage.log" 2>&1 ||
    fail "the staged install: $(cat "$workdir/stage.log")"
# pkg_config_consumer NAME PC_FOLDER PREFIX SYSROOT
pkg_config_consumer() {
    local name=$1 pc_folder=$2 pc_prefix=$3 sysroot=$4 flags
    [ "$(sed -n 's/^prefix=//p' "$pc_folder/fraction.pc")" = "$pc_prefix" ] ||
        fail "fraction.pc of the $name install: $(grep '^prefix=' "$pc_folder/fraction.pc"), not $pc_prefix"
    flags=$(PKG_CONFIG_LIBDIR="$pc_folder" PKG_CONFIG_SYSROOT_DIR="$sysroot" pkg-config --cflags --libs fraction) ||
        fail "pkg-config does not find fraction in the $name install"
    [ "$(PKG_CONFIG_LIBDIR="$pc_folder" pkg-config --modversion fraction)" = "$version" ] ||
        fail "pkg-config gives another version"
    grep -q -F -e "-I$sysroot$pc_prefix/include" <<<"$flags" || fail "flags outside the $name install: $flags"
    local consumer_compiler consumer_flags standard build
    for consumer_compiler in "${consumer_compilers[@]}"; do
        consumer_flags=
        [ "$consumer_compiler" != "$compiler" ] || consumer_flags=$build_flags
        for standard in c++17 c++20; do
            build=$name-$(basename "$consumer_compiler")-$standard
            # shellcheck disable=SC2086 # the flags are words by design
            "$consumer_compiler" $consumer_flags -std=$standard -Wall -Wextra -Wconversion -Wsign-conversion -Werror \
                "$source/tests/consumer/main.cpp" \
                "$source/tests/consumer/second.cpp" $flags -o "$workdir/app-$build" \
                >"$workdir/$build.log" 2>&1 ||
                fail "the consumer does not build with $consumer_compiler -std=$standard '$flags': $(tail -n 30 "$workdir/$build.log")"
            LD_LIBRARY_PATH="$sysroot$pc_prefix/$libdir" "$workdir/app-$build" >"$workdir/$build.out" ||
                fail "the consumer built through pkg-config ($build) found faults: $(cat "$workdir/$build.out")"
        done
    done
}
consumer_compilers=("$compiler")
# clang++ with its default library too, where the build used that.
clang=$(command -v clang++) && [ "$(realpath "$clang")" != "$(realpath "$(command -v "$compiler")")" ] &&
    [ -z "$build_flags" ] && consumer_compilers+=("$clang")
pkg_config_consumer prefixed "$prefix/$libdir/pkgconfig" "$prefix" ""
pkg_config_consumer staged "$stage$configured/$libdir/pkgconfig" "$configured" "$stage"

kind=static
[ "$shared" = 1 ] && kind=shared
echo "$kind install as expected; consumers through CMake, pkg-config and the source tree pass"
