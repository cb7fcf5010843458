#!/usr/bin/env bash
# Builds and runs every test, twice: an optimised release build and a build
# with AddressSanitizer and UndefinedBehaviorSanitizer. Warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

for preset in release sanitize; do
    echo "=== $preset build and tests ==="
    cmake --workflow --preset "$preset" --fresh
done
