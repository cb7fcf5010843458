#!/usr/bin/env bash
# Static checks: formatting, clang-tidy and cppcheck over the project's
# source files, shellcheck over every script. Needs the compile database of
# the release build (and of the fuzz and Windows builds for their files, when
# they exist). Fails on any finding.
# clang-tidy, by far the slowest, checks every file when FRACTION_FULL_TESTS=1
# (CI sets it). Otherwise it checks only what changed: the files that differ
# from where this branch left main (origin/main when there is one), those
# that include a changed header, and of those only the ones not already
# found clean with the same content, flags, checks and clang-tidy (a cache
# in build/tidy-clean). Where the branch point is unknown, or the checks or
# the build's settings changed, every file is checked.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh clang-format clang-tidy cppcheck shellcheck

sources=$(git ls-files '*.cpp' '*.h')

echo "--- includes"
# A part is used through its include/ directory; a path that climbs out of
# a folder reaches into another part's private files.
if git grep -n '#include "\.\./' -- '*.cpp' '*.h' '*.hpp' '*.cc' '*.c' '*.in'; then
    echo "lint: an include climbs out of its folder with ../: include through the part's include/ directory" >&2
    exit 1
fi

echo "--- shellcheck"
mapfile -t scripts < <(git ls-files '*.sh' .ci/run)
shellcheck "${scripts[@]}"

echo "--- clang-format"
# shellcheck disable=SC2086
clang-format --dry-run --Werror $sources

echo "--- clang-tidy"
database=build/release/compile_commands.json
[ -f "$database" ] || { echo "no $database: build the release preset first" >&2; exit 1; }

# The .cpp files that differ from the branch point, and those that include,
# directly or through other headers, a header that differs; nothing printed
# and a failure when the branch point is unknown or a change touches every
# file (the checks, the flags, this script).
changed_files() {
    local main=main base
    git rev-parse -q --verify origin/main >/dev/null && main=origin/main
    base=$(git merge-base HEAD "$main" 2>/dev/null) || return 1
    local changed
    changed=$(git diff --name-only "$base" --)
    ! grep -qE '^(\.clang-tidy|scripts/lint\.sh|CMakeLists\.txt|CMakePresets\.json|cmake/)' \
        <<<"$changed" || return 1
    local headers names previous=""
    headers=$(grep -E '\.h$' <<<"$changed" || true)
    while [ "$headers" != "$previous" ]; do
        previous=$headers
        [ -n "$headers" ] || break
        names=$(xargs -n 1 basename <<<"$headers" | sed 's/\./\\./g' | paste -sd '|')
        headers=$( (printf '%s\n' "$headers"
            git grep -lE "#include [\"<]([^\">]*/)?($names)[\">]" -- '*.h' || true) | sort -u)
    done
    {
        grep -E '\.cpp$' <<<"$changed" || true
        if [ -n "$headers" ]; then
            git grep -lE "#include [\"<]([^\">]*/)?($names)[\">]" -- '*.cpp' || true
        fi
    } | sort -u
}
if [ "${FRACTION_FULL_TESTS:-0}" = 1 ]; then
    mode="full mode, every file:"
    reuse_clean=0
    selected=$(git ls-files '*.cpp')
elif selected=$(changed_files); then
    mode="quick mode, the files changed since the branch point:"
    reuse_clean=1
else
    mode="quick mode, every file (the branch point unknown, or the checks or settings changed):"
    reuse_clean=1
    selected=$(git ls-files '*.cpp')
fi

# A file found clean is remembered under a key of everything its result
# depends on: its content, the project's headers and the build's generated
# ones, the build's compile commands, the checks and clang-tidy itself.
cache=build/tidy-clean
mkdir -p "$cache"
tidy_version=$(clang-tidy --version)
settings_of() {
    local build=$1
    {
        echo "$tidy_version"
        cat .clang-tidy "$build/compile_commands.json"
        git ls-files -z '*.h' | xargs -0 cat
        find "$build" -name '*.h' -not -path '*/CMakeFiles/*' -print0 | sort -z | xargs -0 -r cat
    } | sha256sum | cut -d ' ' -f 1
}
declare -A settings
key_of() { cat "$1" <(echo "$1 ${settings[$2]}") | sha256sum | cut -d ' ' -f 1; }

# The Windows build's compile commands name the mingw-w64 compiler; clang
# needs its target and its C++ headers said outright. A machine without the
# cross compiler has neither those headers nor that build to check.
mingw_header_dirs=(/usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++)
mingw_headers=""
[ -d "${mingw_header_dirs[0]}" ] && mingw_headers=${mingw_header_dirs[0]}
# As words, since xargs hands them to a new shell, which takes no arrays (the
# paths hold no spaces).
mingw_arguments="--extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-isystem$mingw_headers \
    --extra-arg=-isystem$mingw_headers/x86_64-w64-mingw32 --extra-arg=-isystem$mingw_headers/backward"
# tidy_file BUILD KEY FILE: clang-tidy over one file, remembered when clean.
# One file per run: with several, options from one file leak into the
# diagnostics of headers seen by another.
tidy_file() {
    local build=$1 key=$2 file=$3 arguments=()
    [ "$build" != build/mingw ] || read -ra arguments <<<"$mingw_arguments"
    clang-tidy -p "$build" --quiet "${arguments[@]}" "$file" 2>/dev/null || return 1
    touch "$cache/$key"
}
export -f tidy_file
export cache mingw_arguments
in_database() { grep -q "\"file\": \".*/$1\"" "$2/compile_commands.json"; }
jobs=()
cached=0
for build in build/release build/fuzz build/mingw; do
    [ -f "$build/compile_commands.json" ] || continue
    [ "$build" != build/mingw ] || [ -n "$mingw_headers" ] || continue
    settings[$build]=$(settings_of "$build")
done
for file in $selected; do
    [ -f "$file" ] || continue
    # The files a test builds to see the compiler refuse them.
    case $file in tests/refused/*) continue ;; esac
    build=""
    for candidate in build/release build/fuzz build/mingw; do
        if [ -n "${settings[$candidate]:-}" ] && in_database "$file" "$candidate"; then
            build=$candidate
            break
        fi
    done
    if [ -z "$build" ]; then
        echo "not in a compile database, not checked: $file"
        continue
    fi
    key=$(key_of "$file" "$build")
    if [ "$reuse_clean" = 1 ] && [ -e "$cache/$key" ]; then
        cached=$((cached + 1))
    else
        jobs+=("$build" "$key" "$file")
    fi
done
echo "$mode $((${#jobs[@]} / 3)) of $(git ls-files '*.cpp' | wc -l) files checked" \
    "($cached more found clean before)"
if [ ${#jobs[@]} -gt 0 ]; then
    printf '%s\0' "${jobs[@]}" | xargs -0 -P 2 -n 3 bash -c 'tidy_file "$@"' tidy_file
fi

echo "--- cppcheck"
cppcheck --project="$database" -itests/refused --library=googletest --library=posix --std=c++20 \
    --enable=warning,style,performance,portability --inline-suppr \
    --suppress=missingIncludeSystem --error-exitcode=1 --quiet -j 2
echo "static checks clean"
