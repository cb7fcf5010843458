#!/usr/bin/env bash
# Builds the program and shows it at work: the self-test, then a report on
# the sample in examples/, with the file names answered by this script.
set -euo pipefail
cd "$(dirname "$0")/.."
# The whole program: line editing needs libedit, the man pages help2man.
bash scripts/install-deps.sh libedit-dev help2man
cmake --preset release >/dev/null
cmake --build --preset release --target fraction fracfile >/dev/null

bin=$PWD/build/release
workdir=$PWD/build/example
mkdir -p "$workdir"
"$bin/fracfile" pack "$workdir/sample.frac" <examples/sample.txt
cd "$workdir"
printf 'sample.frac\nsorted.frac\n' | "$bin/fraction" --report
echo
echo "--- sorted.frac, as fracfile dump shows it:"
"$bin/fracfile" dump sorted.frac
