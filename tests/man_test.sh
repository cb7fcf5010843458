#!/usr/bin/env bash
# Renders both man pages with man -l and checks that each has the sections
# a reader looks for. Usage: man_test.sh MAN_PAGE_DIR
set -uo pipefail
dir=$(realpath "$1")
failed=0
for page in fraction fracfile; do
    if ! text=$(MANWIDTH=250 man -P cat -l "$dir/$page.1" 2>&1); then
        echo "FAIL: man -l $page.1: $text" >&2
        failed=1
        continue
    fi
    for heading in NAME SYNOPSIS DESCRIPTION FILES EXAMPLES COPYRIGHT "SEE ALSO"; do
        grep -q "^$heading" <<<"$text" || { echo "FAIL: $page.1 has no $heading" >&2; failed=1; }
    done
    grep -q -- "--version" <<<"$text" || { echo "FAIL: $page.1 does not name --version" >&2; failed=1; }
    grep -q "Exit status:" <<<"$text" || { echo "FAIL: $page.1 gives no exit statuses" >&2; failed=1; }
    grep -q "License MIT" <<<"$text" || { echo "FAIL: $page.1 names no licence" >&2; failed=1; }
done
# synopsis PAGE: the lines of the page's SYNOPSIS section.
synopsis() { MANWIDTH=250 man -P cat -l "$dir/$1.1" | sed -n '/^SYNOPSIS/,/^[A-Z]/p' | sed '1d;$d' | sed 's/^ *//;/^$/d'; }
expected="fraction [OPTION]... [--report [INPUT [OUTPUT]]]"
[ "$(synopsis fraction)" = "$expected" ] || { echo "FAIL: fraction.1's SYNOPSIS: $(synopsis fraction)" >&2; failed=1; }
expected=$'fracfile [OPTION]... pack OUT\nfracfile [OPTION]... dump FILE'
[ "$(synopsis fracfile)" = "$expected" ] || { echo "FAIL: fracfile.1's SYNOPSIS: $(synopsis fracfile)" >&2; failed=1; }
text=$(MANWIDTH=250 man -P cat -l "$dir/fraction.1")
for words in "--report" "Please enter an output file name ?" "Tab completes" "unitTest.dat" \
    "--quiet" "--summary" "The greatest is" "greater of the two middle ones" \
    "--summary=json" "sum_value" "never to a terminal" "percentage of the machine's memory"; do
    grep -qF -- "$words" <<<"$text" || { echo "FAIL: fraction.1 does not say '$words'" >&2; failed=1; }
done
text=$(MANWIDTH=250 man -P cat -l "$dir/fracfile.1")
for words in "TEXT FORM" "invalid" "count N" "--no-count" "an integer alone"; do
    grep -qF -- "$words" <<<"$text" || { echo "FAIL: fracfile.1 does not say '$words'" >&2; failed=1; }
done
[ "$failed" -eq 0 ] && echo "both man pages render with their sections"
exit "$failed"
