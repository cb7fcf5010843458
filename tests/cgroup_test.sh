#!/usr/bin/env bash
# The report inside a memory control group that its records do not fit in:
# with no option it must complete, status 0, with exactly the bytes of a run
# without the limit; so must it with -S 1G, a budget the group cannot
# grant, which is lowered with one line saying so; and so must it on 256
# threads, whose own memory the budget must hold too. The test makes the group itself (as root, in a
# writable cgroup v2 hierarchy with the memory controller, or a cgroup v1
# memory hierarchy), puts itself in it, runs, and removes the group; where
# it cannot, it reports itself skipped (77), never passed.
#
# Usage: cgroup_test.sh FRACTION FRACFILE [RECORDS [LIMIT [FILE]]]
#   RECORDS  records of the generated file (default 5000000, 40 MB)
#   LIMIT    the group's memory limit in bytes (default 32000000: a group much
#            smaller leaves the program no room beside the run file's dirty
#            pages when other processes keep the disk busy)
#   FILE     a fraction file to use instead of a generated one
# With FRACTION_TIME set to a /usr/bin/time format, the limited run is timed.

# The checks are written in single quotes on purpose: check evaluates them
# when it runs.
# shellcheck disable=SC2016
set -uo pipefail
fraction=$(realpath "$1")
fracfile=$(realpath "$2")
records=${3:-5000000}
limit=${4:-32000000}
input=${5:+$(realpath "$5")}
skip() { echo "cgroup: skipped: $*"; exit 77; }

if [ "${FRACTION_SANITIZED:-0}" = 1 ] || [ "${FRACTION_EMULATED:-0}" = 1 ]; then
    skip "the sanitizer build and emulated targets need memory of their own beyond any such limit"
fi
[ "$(id -u)" -eq 0 ] || skip "only root can make a control group"
if [ ! -r /proc/self/cgroup ] || [ ! -r /proc/self/mountinfo ]; then
    skip "no control groups here"
fi

# shellcheck source=tests/control_groups.sh
source "$(dirname "$(realpath "$0")")/control_groups.sh"
make_group memory memory.max || skip "no writable memory control group hierarchy"
limit_file=$group/memory.limit_in_bytes
[ "$unified" -eq 0 ] || limit_file=$group/memory.max

workdir=$(mktemp -d)
trap 'rmdir "$group" 2>/dev/null; rm -rf "$workdir"' EXIT
cd "$workdir" || exit 1
if ! echo "$limit" >"$limit_file" 2>/dev/null; then
    skip "the group's memory limit cannot be set"
fi

if [ -z "$input" ]; then
    input=$workdir/in.frac
    awk -v n="$records" 'BEGIN { for (i = 0; i < n; ++i) { d = (i * 104729) % 2003 - 1001;
        if (d == 0) print "invalid"; else print (i * 7919) % 1000003 - 500001 "/" d } }' |
        "$fracfile" pack "$input" || exit 1
fi
# The input is read once outside the group, so that its pages in the page
# cache are not the group's. The listings, some 200 MB, are compared by
# their checksums: written to files inside the group, their dirty pages
# would be the group's, and on a busy disk the kernel could not write them
# back fast enough to keep it within its limit.
printf '%s\nfree.frac\n' "$input" | "$fraction" --report 2>/dev/null | cksum >free.txt || exit 1

# Only the subshell joins the group; it is empty again when it ends.
(
    echo "$BASHPID" >"$group/cgroup.procs" || exit 99
    if [ -n "${FRACTION_TIME:-}" ]; then
        printf '%s\nlimited.frac\n' "$input" |
            /usr/bin/time -f "$FRACTION_TIME" -o time.txt "$fraction" --report 2>stderr.txt |
            cksum >limited.txt
    else
        printf '%s\nlimited.frac\n' "$input" | "$fraction" --report 2>stderr.txt | cksum >limited.txt
    fi
    exit "${PIPESTATUS[1]}"
)
status=$?
[ "$status" -ne 99 ] || skip "this process cannot join the group"
(
    echo "$BASHPID" >"$group/cgroup.procs" || exit 99
    printf '%s\nasked.frac\n' "$input" | "$fraction" --report -S 1G 2>asked-stderr.txt |
        cksum >asked.txt
    exit "${PIPESTATUS[1]}"
)
asked_status=$?
(
    echo "$BASHPID" >"$group/cgroup.procs" || exit 99
    printf '%s\nthreads.frac\n' "$input" | "$fraction" --report --parallel=256 2>threads-stderr.txt |
        cksum >threads.txt
    exit "${PIPESTATUS[1]}"
)
threads_status=$?

failed=0
check() { if eval "$2"; then :; else echo "FAIL [cgroup]: $1" >&2; failed=$((failed + 1)); fi; }
check "status 0 inside a group of $limit bytes (was $status)" '[ "$status" -eq 0 ]'
check "nothing on standard error: $(cat stderr.txt)" '[ ! -s stderr.txt ]'
check "the same report as without the limit" 'cmp -s free.txt limited.txt'
check "the same file as without the limit" 'cmp -s free.frac limited.frac'
check "status 0 with -S 1G inside the group (was $asked_status)" '[ "$asked_status" -eq 0 ]'
check "-S 1G is said to be lowered, once: $(cat asked-stderr.txt)" \
    'grep -qxE "fraction: buffer size 1G is more than the memory limits allow; using [0-9]+[KM]" asked-stderr.txt &&
     [ "$(wc -l <asked-stderr.txt)" -eq 1 ]'
check "the same report with -S 1G as without the limit" 'cmp -s free.txt asked.txt'
check "the same file with -S 1G as without the limit" 'cmp -s free.frac asked.frac'
check "status 0 with --parallel=256 inside the group (was $threads_status)" '[ "$threads_status" -eq 0 ]'
check "nothing on standard error with --parallel=256: $(cat threads-stderr.txt)" '[ ! -s threads-stderr.txt ]'
check "the same report with --parallel=256 as without the limit" 'cmp -s free.txt threads.txt'
check "the same file with --parallel=256 as without the limit" 'cmp -s free.frac threads.frac'
[ ! -s time.txt ] || echo "cgroup: the limited run took $(cat time.txt)"
echo "cgroup: $(stat -c %s "$input") bytes of records in a group of $limit bytes: $((12 - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
