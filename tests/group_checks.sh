# shellcheck shell=bash
# The checks of the end-to-end test scripts that run in groups: each check
# counts as passed or failed, and a failure is told with the group's name
# ($group, set by the script) and what was expected. Sourced, not run.

passed=0
failed=0
pass() { passed=$((passed + 1)); }
# shellcheck disable=SC2154 # group is the sourcing script's
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
