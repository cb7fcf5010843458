#!/usr/bin/env bash
# Times `fraction --report` end to end, side by side with a second build of
# it, on reproducible fraction files: standard output to a file, the runs of
# the two programs alternating (A B A B ...) so that both see the same load.
# For each file it prints the median wall time of each, their ratio, the
# peak resident memory of each next to the file's size, and the time per
# record, whose growth from 1M to 20M records shows the n log n of the sort.
#
# Usage: bench/report.sh [-n RUNS] [-b BASELINE] [-s "SIZES"] [-k "KINDS"]
#   -n RUNS      runs of each program per file (default 5)
#   -b BASELINE  the program to compare with, for example a build of the
#                previous main in a git worktree; without it, only this
#                build is timed
#   -s SIZES     record counts of the wide files (default "1000000 5000000 20000000")
#   -k KINDS     which files: wide, workshop or both (default "wide workshop");
#                the workshop file has 1,000,000 records
set -euo pipefail
runs=5
baseline=
sizes="1000000 5000000 20000000"
kinds="wide workshop"
while getopts "n:b:s:k:" option; do
    case "$option" in
    n) runs=$OPTARG ;;
    b) baseline=$(realpath "$OPTARG") ;;
    s) sizes=$OPTARG ;;
    k) kinds=$OPTARG ;;
    *) sed -n '2,17p' "$0" >&2; exit 2 ;;
    esac
done
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh time python3
cmake --preset release >/dev/null
cmake --build --preset release --target fraction >/dev/null
program=$PWD/build/release/fraction
generator=$PWD/bench/make_fraction_file.py

workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT
cd "$workdir"

# run PROGRAM INPUT: one timed report; appends "seconds kilobytes" to PROGRAM's log.
run() {
    local log=$1 binary=$2 input=$3
    printf '%s\nout.frac\n' "$input" |
        /usr/bin/time -f '%e %M' -o time.txt "$binary" --report >report.txt
    cat time.txt >>"$log"
}
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
largest() { sort -n | tail -n 1; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "runs per program and file: $runs, alternating"
printf '%-22s %10s %10s %7s %12s %12s %11s %9s\n' file new_s base_s ratio new_peak base_peak file_size ns/record
cases=()
for kind in $kinds; do
    if [ "$kind" = workshop ]; then
        cases+=("workshop 1000000")
    else
        for size in $sizes; do cases+=("wide $size"); done
    fi
done
for entry in "${cases[@]}"; do
    read -r kind size <<<"$entry"
    input=$kind-$size.frac
    python3 "$generator" "$input" "$size" "$kind"
    rm -f new.log base.log
    for ((i = 0; i < runs; ++i)); do
        run new.log "$program" "$input"
        [ -z "$baseline" ] || run base.log "$baseline" "$input"
    done
    new_s=$(cut -d' ' -f1 new.log | median)
    new_peak=$(($(cut -d' ' -f2 new.log | largest) / 1024))
    base_s=- base_peak=- ratio=-
    if [ -n "$baseline" ]; then
        base_s=$(cut -d' ' -f1 base.log | median)
        base_peak=$(($(cut -d' ' -f2 base.log | largest) / 1024))MiB
        ratio=$(awk -v a="$new_s" -v b="$base_s" 'BEGIN {printf "%.2f", a / b}')
    fi
    file_size=$(($(stat -c %s "$input") / 1048576))MiB
    per_record=$(awk -v s="$new_s" -v n="$size" 'BEGIN {printf "%.0f", s * 1e9 / n}')
    printf '%-22s %10s %10s %7s %12s %12s %11s %9s\n' "$input" "$new_s" "$base_s" "$ratio" \
        "${new_peak}MiB" "$base_peak" "$file_size" "$per_record"
    rm -f "$input" out.frac report.txt
done
