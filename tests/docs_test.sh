#!/usr/bin/env bash
# Builds the API reference again (Doxygen fails on any warning, so on any
# public name left undocumented) and checks that it describes the value
# type's operations and operators. Reports skipped (77) when the build made
# no reference because Doxygen is missing.
# Usage: docs_test.sh BUILD_DIR REFERENCE_DIR
set -uo pipefail
build=$1
reference=$2

fail() { echo "FAIL: $*" >&2; exit 1; }
if [ -z "$reference" ]; then
    echo "doxygen is not installed: no API reference to check, skipped"
    exit 77
fi
log=$(cmake --build "$build" --target docs 2>&1) || fail "the reference has warnings: $log"
page=$reference/classfraction_1_1Fraction.html
[ -s "$page" ] || fail "no page for fraction::Fraction in $reference"
for name in setValue isGreater equal formatText 'operator+=' 'operator/' hash readBinary; do
    grep -q -- "$name" "$page" || fail "the page for Fraction does not describe $name"
done
[ -s "$reference/index.html" ] || fail "no index page"
echo "API reference made without warnings; Fraction's page describes its operations"
