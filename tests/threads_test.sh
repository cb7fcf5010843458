#!/usr/bin/env bash
# End-to-end tests of the report on several threads failing as it does on
# one: memory that runs out on any thread, and a reader that leaves.
# Usage: threads_test.sh FRACTION FRACFILE GROUP
# The checks are written in single quotes on purpose: expect_true evaluates
# them when it runs, in the group's directory.
# shellcheck disable=SC2016
set -uo pipefail
# shellcheck source=tests/group_checks.sh
source "$(dirname "$(realpath "$0")")/group_checks.sh"
[ "${FRACTION_SYSTEM:-Linux}" != Windows ] || skip "process limits and SIGPIPE are POSIX's"

# The hidden temporary files left in the directory.
leftovers() { find . -maxdepth 1 -name '.*' ! -name . -printf '%f '; }
# 300,000 records: a listing long enough for every thread to get work.
awk 'BEGIN { for (i = 0; i < 300000; ++i) { d = (i * 104729) % 2003 - 1001;
    if (d == 0) print "invalid"; else print (i * 7919) % 1000003 - 500001 "/" d } }' |
    "$fracfile" pack in.frac || exit 1
"$fraction" --report in.frac expected.frac >expected.txt 2>/dev/null || exit 1
parallel_settings=(1 2 8 64 256)

case "$group" in
memory)
    if [ "${FRACTION_SANITIZED:-0}" = 1 ] || [ "${FRACTION_EMULATED:-0}" = 1 ] ||
        [ "${FRACTION_COVERAGE:-0}" = 1 ]; then
        skip "the sanitizers, an emulator and coverage need memory of their own beyond any such limit"
    fi
    # Address-space and data limits around where the listing runs out of
    # memory, on whichever thread: every run ends with 0 and the report, or
    # with 1, one line and the old file kept; never by a signal, never
    # leaving a temporary file.
    bad=""
    completed=0
    refused=0
    for parallel in "${parallel_settings[@]}"; do
        for limit in -v{36000,52000,60000,68000,84000,100000,116000,124000} -d{20000,24000,28000}; do
            run="$parallel:$limit"
            echo "the old file" >out.frac
            (
                ulimit "${limit:0:2}" "${limit:2}" &&
                    exec "$fraction" --report --parallel="$parallel" in.frac out.frac >stdout.txt 2>stderr.txt
            )
            status=$?
            if [ "$status" -eq 0 ]; then
                completed=$((completed + 1))
                cmp -s out.frac expected.frac || bad+=" $run:written-wrong"
                cmp -s stdout.txt expected.txt || bad+=" $run:listed-wrong"
                [ ! -s stderr.txt ] || bad+=" $run:said-$(head -n 1 stderr.txt)"
            elif [ "$status" -eq 1 ]; then
                refused=$((refused + 1))
                [ "$(cat out.frac)" = "the old file" ] || bad+=" $run:old-file-lost"
                [ "$(wc -l <stderr.txt)" -eq 1 ] && grep -q '^fraction: ' stderr.txt ||
                    bad+=" $run:not-one-line"
            else
                bad+=" $run:status-$status:$(head -c 60 stderr.txt)"
            fi
            [ -z "$(leftovers)" ] || bad+=" $run:left-$(leftovers)"
            rm -f .out.frac.* .unitTest.dat.*
        done
    done
    expect_eq "every limit on every thread count ends with 0 or 1, nothing left" "$bad" ""
    expect_true "some limits let the report complete ($completed)" '[ "$completed" -gt 0 ]'
    expect_true "some limits make it run out of memory ($refused)" '[ "$refused" -gt 0 ]'
    ;;
pipe)
    # A reader that leaves, early in the first listing or in the sorted
    # one, ends the report with SIGPIPE's status on any thread count, in
    # memory and in runs, every time (20 runs each), the old file kept,
    # nothing left.
    bad=""
    # The sanitizers' builds run many times slower: fewer runs there.
    runs=20
    [ "${FRACTION_SANITIZED:-0}" = 0 ] || runs=4
    for buffer in "" "-S 1M"; do
        for parallel in "${parallel_settings[@]}"; do
            for ((i = 0; i < runs; ++i)); do
                taken=$((i % 4 == 3 ? 9000000 : 100000))
                run="${buffer:-memory}:$parallel:$taken"
                echo "the old file" >out.frac
                # shellcheck disable=SC2086 # the buffer option, when given, is two words
                "$fraction" --report $buffer --parallel="$parallel" in.frac out.frac 2>stderr.txt |
                    head -c "$taken" >/dev/null
                status=${PIPESTATUS[0]}
                [ "$status" -eq 141 ] || bad+=" $run:status-$status:$(head -c 60 stderr.txt)"
                [ ! -s stderr.txt ] || bad+=" $run:said-$(head -n 1 stderr.txt)"
                [ "$(cat out.frac)" = "the old file" ] || bad+=" $run:old-file-lost"
                [ -z "$(leftovers)" ] || bad+=" $run:left-$(leftovers)"
                rm -f .out.frac.*
            done
        done
    done
    expect_eq "a reader that leaves: SIGPIPE every time, nothing lost" "$bad" ""
    ;;
*)
    echo "unknown group $group" >&2
    exit 2
    ;;
esac

echo "$group: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
