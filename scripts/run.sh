#!/usr/bin/env bash
# Builds the program and runs it: the start-up self-test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target fraction >/dev/null
./build/release/fraction
