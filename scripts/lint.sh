#!/usr/bin/env bash
# Static checks: formatting, clang-tidy and cppcheck over every source file
# of the project, shellcheck over every script. Needs the compile database of
# the release build (and of the fuzz and Windows builds for their files, when
# they exist). Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh clang-format clang-tidy cppcheck shellcheck

sources=$(git ls-files '*.cpp' '*.h')

echo "--- shellcheck"
mapfile -t scripts < <(git ls-files '*.sh' .ci/run)
shellcheck "${scripts[@]}"

echo "--- clang-format"
# shellcheck disable=SC2086
clang-format --dry-run --Werror $sources

echo "--- clang-tidy"
database=build/release/compile_commands.json
[ -f "$database" ] || { echo "no $database: build the release preset first" >&2; exit 1; }
# The Windows build's compile commands name the mingw-w64 compiler; clang
# needs its target and its C++ headers said outright. A machine without the
# cross compiler has neither those headers nor that build to check.
mingw_header_dirs=(/usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++)
mingw_headers=""
[ -d "${mingw_header_dirs[0]}" ] && mingw_headers=${mingw_header_dirs[0]}
mingw_arguments=(--extra-arg=--target=x86_64-w64-mingw32 "--extra-arg=-isystem$mingw_headers"
    "--extra-arg=-isystem$mingw_headers/x86_64-w64-mingw32" "--extra-arg=-isystem$mingw_headers/backward")
tidy_in() {
    local build=$1
    shift
    local arguments=()
    [ "$build" != build/mingw ] || arguments=("${mingw_arguments[@]}")
    [ $# -gt 0 ] || return 0
    # One file per run: with several, options from one file leak into the
    # diagnostics of headers seen by another.
    printf '%s\n' "$@" | xargs -P 2 -n 1 clang-tidy -p "$build" --quiet "${arguments[@]}" 2>/dev/null
}
in_database() { grep -q "\"file\": \".*/$1\"" "$2/compile_commands.json"; }
release_files=()
fuzz_files=()
mingw_files=()
for file in $(git ls-files '*.cpp'); do
    if in_database "$file" build/release; then
        release_files+=("$file")
    elif [ -f build/fuzz/compile_commands.json ] && in_database "$file" build/fuzz; then
        fuzz_files+=("$file")
    elif [ -n "$mingw_headers" ] && [ -f build/mingw/compile_commands.json ] &&
        in_database "$file" build/mingw; then
        mingw_files+=("$file")
    else
        echo "not in a compile database, not checked: $file"
    fi
done
tidy_in build/release "${release_files[@]}"
tidy_in build/fuzz "${fuzz_files[@]}"
tidy_in build/mingw "${mingw_files[@]}"

echo "--- cppcheck"
cppcheck --project="$database" --library=googletest --library=posix --std=c++17 \
    --enable=warning,style,performance,portability --inline-suppr \
    --suppress=missingIncludeSystem --error-exitcode=1 --quiet -j 2
echo "static checks clean"
