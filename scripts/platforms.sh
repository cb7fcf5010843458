#!/usr/bin/env bash
# Builds the program and runs its whole test suite on every platform this
# machine can build for and run, and prints one line per platform:
#   linux-x86_64-gcc    Linux x86-64, g++
#   linux-x86_64-clang  Linux x86-64, clang++ with libstdc++
#   linux-x86_64-libc++ Linux x86-64, clang++ 16 with libc++ (GoogleTest built
#                       with them), only when named (preset libcxx): libc++'s
#                       file streams take a failed read or write for the end
#                       of the data, and three end-to-end groups of lost
#                       input and output fail on that
#   linux-i686          32-bit x86 Linux, static, run natively (or under
#                       qemu-user where the kernel runs no 32-bit programs)
#   linux-s390x         big-endian s390x Linux, static, run under qemu-user
#   windows-x86_64      Windows x86-64 (mingw-w64), static, run under Wine
# Installs the cross compilers, clang 16 with libc++ and libc++abi (which
# libc++-16-dev does not bring), qemu-user and Wine from Debian's packages
# when they are missing. Exits non-zero when any platform's build or tests
# fail. Usage: platforms.sh [PRESET ...] (default: all of them)
# A preset named in FRACTION_PLATFORMS_TESTED (release, after scripts/test.sh
# has built and tested it in the same tree and logged it under
# build/platforms/) is not built or run again: its line comes from that log.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
bash scripts/install-deps.sh clang clang-16 libc++-16-dev libc++abi-16-dev googletest \
    g++-i686-linux-gnu g++-s390x-linux-gnu g++-mingw-w64-x86-64-posix qemu-user wine64 || exit 1

declare -A platform_of=(
    [release]=linux-x86_64-gcc [clang]=linux-x86_64-clang [libcxx]=linux-x86_64-libc++
    [i686]=linux-i686 [s390x]=linux-s390x [mingw]=windows-x86_64
)
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(release clang i686 s390x mingw)

# A fresh Wine prefix for the Windows build, made before the tests so that
# none of them sees Wine's first-run messages.
prepare_wine() {
    export WINEPREFIX=$PWD/build/mingw/wine-prefix WINEDEBUG=-all
    rm -rf "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 && wineserver -w
}
stop_wine() {
    WINEPREFIX=$PWD/build/mingw/wine-prefix wineserver -k 2>/dev/null
    unset WINEPREFIX WINEDEBUG
    return 0
}

logs=build/platforms
mkdir -p "$logs"
summary=()
failed=0
for preset in "${presets[@]}"; do
    name=${platform_of[$preset]:-$preset}
    log=$logs/$name.log
    start=$SECONDS
    if [[ " ${FRACTION_PLATFORMS_TESTED:-} " == *" $preset "* ]] && [ -f "$log" ]; then
        status=0
        grep -q '100% tests passed' "$log" || status=1
        timing="as scripts/test.sh ran it"
    elif ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$log" 2>&1; then
        summary+=("$(printf '%-20s build failed (see %s)' "$name" "$log")")
        failed=1
        continue
    else
        built=$((SECONDS - start))
        [ "$preset" != mingw ] || prepare_wine
        ctest --preset "$preset" >>"$log" 2>&1
        status=$?
        # Wine's server now and then drops a client in the middle of a test
        # ("wine client error"), failing whatever ran then: the failed tests
        # get one more run, which the log and the summary say.
        again=""
        if [ "$status" -ne 0 ] && [ "$preset" = mingw ] && grep -q 'wine client error' "$log"; then
            echo "=== the failed tests again: Wine's server dropped a client ===" >>"$log"
            ctest --preset "$preset" --rerun-failed >>"$log" 2>&1 && status=0 &&
                again=", failed ones passed again after a Wine client error"
        fi
        [ "$preset" != mingw ] || stop_wine
        timing="build ${built}s, tests $((SECONDS - start - built))s$again"
    fi
    # The first run's counts: a run again of the failed tests has its own.
    total=$(grep -oE 'tests failed out of [0-9]+' "$log" | head -n 1 | grep -oE '[0-9]+$')
    failures=$(grep -oE '[0-9]+ tests failed out of' "$log" | head -n 1 | grep -oE '^[0-9]+')
    skipped=$(grep -cE '^\s+[0-9]+ - .*\(Skipped\)$' "$log")
    line=$(printf '%-20s %3s tests: %3s passed, %s skipped, %s failed  (%s)' \
        "$name" "${total:-?}" "$((${total:-0} - ${failures:-0} - skipped))" "$skipped" \
        "${failures:-?}" "$timing")
    summary+=("$line")
    echo "$line"
    if [ "$status" -ne 0 ]; then
        grep -E '^\s+[0-9]+ - .*\(Failed\)$' "$log"
        failed=1
    fi
done

echo "=== platforms ==="
printf '%s\n' "${summary[@]}"
exit "$failed"
