# shellcheck shell=bash
# The start and the checks of the end-to-end test scripts that run in
# groups. Sourced, not run, by a script called with
#   FRACTION FRACFILE [FRACTION_FAULTY FRACFILE_FAULTY] GROUP
# which then has the programs' full paths in $fraction and $fracfile (and
# $fraction_faulty and $fracfile_faulty), the group in $group, its own
# directory in $here, and runs in a fresh scratch directory, $workdir,
# removed when it exits. Each check counts as passed or failed, and a
# failure is told with the group's name and what was expected.

if [ $# -ne 3 ] && [ $# -ne 5 ]; then
    echo "usage: $0 FRACTION FRACFILE [FRACTION_FAULTY FRACFILE_FAULTY] GROUP" >&2
    exit 2
fi
# shellcheck disable=SC2034 # the programs and $here are the sourcing script's
{
    fraction=$(realpath "$1")
    fracfile=$(realpath "$2")
    if [ $# -eq 5 ]; then
        fraction_faulty=$(realpath "$3")
        fracfile_faulty=$(realpath "$4")
    fi
    here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
}
group=${!#}
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT
cd "$workdir" || exit 1

# skip REASON: the group cannot run here.
skip() {
    echo "$group: skipped: $1"
    exit 77
}

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL [$group]: $*" >&2; }
# expect_eq DESCRIPTION ACTUAL EXPECTED
expect_eq() {
    if [ "$2" == "$3" ]; then pass; else fail "$1"$'\n--- expected:\n'"$3"$'\n--- actual:\n'"$2"; fi
}
# expect_contains DESCRIPTION TEXT PART
expect_contains() {
    if [[ "$2" == *"$3"* ]]; then pass; else fail "$1: '$3' not in:"$'\n'"$2"; fi
}
# expect_true DESCRIPTION CHECK: CHECK is evaluated now, in the caller's
# directory.
expect_true() {
    if eval "$2"; then pass; else fail "$1 ($2)"; fi
}
