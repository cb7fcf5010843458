#!/usr/bin/env bash
# Times `fraction --report` end to end, side by side with a second build of
# it, on reproducible fraction files: standard output to a file, the runs
# alternating (A B A B ...) so that all see the same load. For each file it
# prints the median wall time of each, their ratio, the peak resident memory
# of each next to the file's size, and the time per record, whose growth
# from 1M to 20M records shows the n log n of the sort.
#
# Usage: bench/report.sh [-n RUNS] [-b BASELINE] [-s "SIZES"] [-k "KINDS"]
#                        [-m BUFFER] [-c LIMIT] [-d DIR]
#   -n RUNS      runs of each program per file (default 5)
#   -b BASELINE  the program to compare with, for example a build of the
#                previous main in a git worktree; without it, only this
#                build is timed
#   -s SIZES     record counts of the wide files (default "1000000 5000000 20000000")
#   -k KINDS     which files: wide, workshop or both (default "wide workshop");
#                the workshop file has 1,000,000 records
#   -m BUFFER    also run this build with --buffer-size=BUFFER, which sorts
#                outside memory the files larger than BUFFER, alternating
#                with the others: its time, its ratio to the same build in
#                memory, its peak memory and its time per record
#   -c LIMIT     also run the report of each wide file larger than LIMIT
#                bytes inside a memory control group of LIMIT bytes, with
#                no option (tests/cgroup_test.sh: it must give the bytes of
#                an unlimited run; as root only), and show its peak memory
#   -d DIR       where the files are made (default: a temporary directory);
#                files already there are used again, and all are removed
#                at the end
set -euo pipefail
runs=5
baseline=
sizes="1000000 5000000 20000000"
kinds="wide workshop"
buffer=
cgroup_limit=
datadir=
while getopts "n:b:s:k:m:c:d:" option; do
    case "$option" in
    n) runs=$OPTARG ;;
    b) baseline=$(realpath "$OPTARG") ;;
    s) sizes=$OPTARG ;;
    k) kinds=$OPTARG ;;
    m) buffer=$OPTARG ;;
    c) cgroup_limit=$OPTARG ;;
    d) datadir=$(realpath "$OPTARG") ;;
    *) sed -n '2,33p' "$0" >&2; exit 2 ;;
    esac
done
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh time python3
cmake --preset release >/dev/null
cmake --build --preset release --target fraction fracfile >/dev/null
program=$PWD/build/release/fraction
fracfile=$PWD/build/release/fracfile
generator=$PWD/bench/make_fraction_file.py
cgroup_test=$PWD/tests/cgroup_test.sh

workdir=$(mktemp -d)
datadir=${datadir:-$workdir}
mkdir -p "$datadir"
trap 'rm -rf "$workdir"; rm -f "$datadir"/wide-*.frac "$datadir"/workshop-*.frac' EXIT
cd "$workdir"

# run LOG PROGRAM INPUT [OPTION...]: one timed report; appends "seconds
# kilobytes" to LOG.
run() {
    local log=$1 binary=$2 input=$3
    printf '%s\nout.frac\n' "$input" |
        /usr/bin/time -f '%e %M' -o time.txt "$binary" --report "${@:4}" >report.txt
    cat time.txt >>"$log"
}
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
largest() { sort -n | tail -n 1; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "runs per program and file: $runs, alternating"
printf '%-22s %8s %8s %6s %8s %7s %9s %9s %9s %9s %9s %9s\n' file new_s base_s ratio \
    ext_s ext/new new_peak base_peak ext_peak file_size ns/record ext_ns/rec
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
    input=$datadir/$kind-$size.frac
    [ -e "$input" ] || python3 "$generator" "$input" "$size" "$kind"
    rm -f new.log base.log ext.log
    for ((i = 0; i < runs; ++i)); do
        run new.log "$program" "$input"
        [ -z "$baseline" ] || run base.log "$baseline" "$input"
        [ -z "$buffer" ] || run ext.log "$program" "$input" --buffer-size="$buffer"
    done
    new_s=$(cut -d' ' -f1 new.log | median)
    new_peak=$(($(cut -d' ' -f2 new.log | largest) / 1024))MiB
    base_s=- base_peak=- ratio=- ext_s=- ext_ratio=- ext_peak=- ext_per_record=-
    if [ -n "$baseline" ]; then
        base_s=$(cut -d' ' -f1 base.log | median)
        base_peak=$(($(cut -d' ' -f2 base.log | largest) / 1024))MiB
        ratio=$(awk -v a="$new_s" -v b="$base_s" 'BEGIN {printf "%.2f", a / b}')
    fi
    if [ -n "$buffer" ]; then
        ext_s=$(cut -d' ' -f1 ext.log | median)
        ext_peak=$(($(cut -d' ' -f2 ext.log | largest) / 1024))MiB
        ext_ratio=$(awk -v a="$ext_s" -v b="$new_s" 'BEGIN {printf "%.2f", a / b}')
        ext_per_record=$(awk -v s="$ext_s" -v n="$size" 'BEGIN {printf "%.0f", s * 1e9 / n}')
    fi
    file_size=$(($(stat -c %s "$input") / 1048576))MiB
    per_record=$(awk -v s="$new_s" -v n="$size" 'BEGIN {printf "%.0f", s * 1e9 / n}')
    printf '%-22s %8s %8s %6s %8s %7s %9s %9s %9s %9s %9s %9s\n' "$kind-$size.frac" "$new_s" \
        "$base_s" "$ratio" "$ext_s" "$ext_ratio" "$new_peak" "$base_peak" "$ext_peak" \
        "$file_size" "$per_record" "$ext_per_record"
    rm -f out.frac report.txt
done

if [ -n "$cgroup_limit" ] && [[ " $kinds " == *" wide "* ]]; then
    for size in $sizes; do
        input=$datadir/wide-$size.frac
        [ "$((size * 8))" -gt "$cgroup_limit" ] || continue
        [ -e "$input" ] || python3 "$generator" "$input" "$size" wide
        echo "wide-$size.frac in a memory control group of $cgroup_limit bytes, no option:"
        FRACTION_TIME="%e s, peak %M KiB" bash "$cgroup_test" "$program" "$fracfile" "$size" \
            "$cgroup_limit" "$input" || echo "cgroup run: status $?"
    done
fi
