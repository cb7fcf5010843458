#!/usr/bin/env bash
# Runs the built program in an empty directory and checks its whole output,
# its exit status and the record it leaves behind.
set -euo pipefail
program=$(realpath "$1")
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT
cd "$workdir"

status=0
"$program" >stdout.txt 2>stderr.txt </dev/null || status=$?

fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$status" -eq 0 ] || fail "exit status $status, expected 0"
[ ! -s stderr.txt ] || fail "unexpected standard error: $(cat stderr.txt)"
printf -- '- 1245 / 1230 \n- 42377 / 29457 \n- 5406247 / 3750 \nAll unit tests completed\n' >expected.txt
cmp -s stdout.txt expected.txt || fail "standard output differs: $(od -c stdout.txt)"
record=$(od -An -tx1 unitTest.dat | tr -s ' \n' ' ')
[ "$record" = " 77 5a ff ff 11 73 00 00 " ] || fail "unitTest.dat holds$record"
echo "self-test output, status and record as expected"
