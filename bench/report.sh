#!/usr/bin/env bash
# Times `fraction --report` end to end on a 1,000,000-record file made with a
# fixed seed, standard output to a file. Prints each run's wall time and
# peak resident memory, then the median time and the largest peak.
# Usage: bench/report.sh [RUNS] [RECORDS]
set -euo pipefail
runs=${1:-5}
records=${2:-1000000}
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh time python3
cmake --preset release >/dev/null
cmake --build --preset release --target fraction >/dev/null
program=$PWD/build/release/fraction

workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT
python3 bench/make_fraction_file.py "$workdir/input.frac" "$records"
cd "$workdir"

times=()
peak=0
for ((run = 1; run <= runs; ++run)); do
    printf 'input.frac\noutput.frac\n' |
        /usr/bin/time -f '%e %M' -o time.txt "$program" --report >report.txt
    read -r seconds kilobytes <time.txt
    echo "run $run: ${seconds} s, peak ${kilobytes} KiB"
    times+=("$seconds")
    ((kilobytes > peak)) && peak=$kilobytes
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
echo "records: $records, runs: $runs, median: ${median} s, peak resident: $((peak / 1024)) MiB"
