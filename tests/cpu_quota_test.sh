#!/usr/bin/env bash
# The processors the report counts for its default thread count keep within
# its control group's CPU quota: inside a group allowed one processor's
# time, on a machine with more, the count is 1. The test makes the group
# itself (as root, in a cgroup v2 hierarchy with the cpu controller, or a
# cgroup v1 cpu hierarchy), puts a subshell in it, and removes the group;
# where it cannot, it reports itself skipped (77), never passed.
#
# Usage: cpu_quota_test.sh PROCESSOR_COUNT
#   PROCESSOR_COUNT  a program that prints the count (ProcessorCount.cpp)
set -uo pipefail
count=$(realpath "$1")
skip() { echo "cpu-quota: skipped: $*"; exit 77; }

outside=$("$count") || exit 1
[ "$outside" -ge 2 ] || skip "one processor here: a quota of one changes nothing"
[ "$(id -u)" -eq 0 ] || skip "only root can make a control group"
if [ ! -r /proc/self/cgroup ] || [ ! -r /proc/self/mountinfo ]; then
    skip "no control groups here"
fi

# shellcheck source=tests/control_groups.sh
source "$(dirname "$(realpath "$0")")/control_groups.sh"
make_group cpu cpu.max || skip "no writable cpu control group hierarchy"
trap 'rmdir "$group" 2>/dev/null' EXIT
# One processor's time in every period.
if [ "$unified" -eq 1 ]; then
    echo "100000 100000" >"$group/cpu.max" 2>/dev/null
else
    echo 100000 >"$group/cpu.cfs_period_us" 2>/dev/null &&
        echo 100000 >"$group/cpu.cfs_quota_us" 2>/dev/null
fi || skip "the group's processor quota cannot be set"

inside=$(
    echo "$BASHPID" >"$group/cgroup.procs" || exit 99
    "$count"
)
status=$?
[ "$status" -ne 99 ] || skip "this process cannot join the group"
if [ "$status" -ne 0 ] || [ "$inside" != 1 ]; then
    echo "FAIL [cpu-quota]: $outside processors here, $inside (status $status) in a group of one" >&2
    exit 1
fi
echo "cpu-quota: $outside processors here, 1 in a group of one: passed"
