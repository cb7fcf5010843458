#!/usr/bin/env bash
# End-to-end tests of `fraction --report` and `fracfile`, each group in a
# fresh temporary directory. Usage: report_test.sh FRACTION FRACFILE GROUP
# The checks are written in single quotes on purpose: expect_true evaluates
# them when it runs, in the group's directory.
# shellcheck disable=SC2016
set -uo pipefail
# shellcheck source=tests/group_checks.sh
source "$(dirname "$(realpath "$0")")/group_checks.sh"
# expect_message DESCRIPTION ACTUAL EXPECTED: as expect_eq, for messages whose
# lines may end in the system's reason. Windows words its reasons its own
# way, so there each line is compared up to its reason.
in_any_words() {
    if [ "${FRACTION_SYSTEM:-Linux}" = Windows ]; then
        printf '%s\n' "$1" | sed -E 's/: [^:]*$/: (the reason)/'
    else
        printf '%s\n' "$1"
    fi
}
expect_message() { expect_eq "$1" "$(in_any_words "$2")" "$(in_any_words "$3")"; }
expect_message_within() { expect_contains "$1" "$(in_any_words "$2")" "$(in_any_words "$3")"; }

self_test_lines=$'- 1245 / 1230 \n- 42377 / 29457 \n- 5406247 / 3750 \nAll unit tests completed'

# pack NAME < text: makes a fraction file with fracfile.
pack() { "$fracfile" pack "$1" || fail "fracfile pack $1"; }
dump() { "$fracfile" dump "$1"; }

# many_fractions N: the text of N records of few values, with the sign on
# either part, zeros over many denominators and one in thirteen invalid.
many_fractions() {
    awk -v n="$1" 'BEGIN { for (i = 0; i < n; ++i) { num = (i * 7919) % 21 - 10; den = (i * 104729) % 13 - 6;
        if (den == 0) print "invalid"; else print num "/" den } }'
}

# report "ANSWERS" [OPTION...]: runs the report with those answers on standard
# input and leaves the output in $out, the errors in $err and the status in $status.
report() {
    printf '%s' "$1" | "$fraction" --report "${@:2}" >stdout.txt 2>stderr.txt
    status=$?
    out=$(cat stdout.txt)
    err=$(cat stderr.txt)
}
# The report's text after the self-test's lines.
report_body() { printf '%s' "${out#"$self_test_lines"$'\n'}"; }

# Puts the programs on PATH under their own names, for commands run as a
# user types them.
on_path_as_named() {
    mkdir -p bin
    printf '#!/bin/sh\nexec "%s" "$@"\n' "$fraction" >bin/fraction
    printf '#!/bin/sh\nexec "%s" "$@"\n' "$fracfile" >bin/fracfile
    chmod +x bin/fraction bin/fracfile
    PATH="$PWD/bin:$PATH"
}

case "$group" in
listing)
    printf '1/2\n3/4\ninvalid\n1/4\n' | pack in.frac
    report $'in.frac\nout.frac\n'
    expect_eq "status" "$status" 0
    expect_eq "nothing on standard error" "$err" ""
    expect_eq "whole report" "$(report_body)" "nData=4
The original array is 
  0: 1 / 2 
  1: 3 / 4 
  2: Invalid Fraction!! 
  3: 1 / 4 
The sorted array is
  0: 3 / 4 
  1: 1 / 2 
  2: 1 / 4 
  3: Invalid Fraction!! 
The sum is 3 / 2 
The average is 1 / 2 
The medium is 1 / 2 
Please enter an output file name ? "
    expect_eq "sorted output file" "$(dump out.frac)" $'count 4\n3/4\n1/2\n1/4\ninvalid'
    expect_eq "sorted output file, byte for byte" "$(od -An -tx1 out.frac | tr -d ' \n')" \
        "0400000003000000040000000100000002000000010000000400000015cd5b0715cd5b07"

    printf '2/4\n1/-2\n6/-4\n' | pack signs.frac
    report $'signs.frac\nsigns-out.frac\n'
    expect_contains "2/4 listed reduced" "$out" $'The original array is \n  0: 1 / 2 \n  1: - 1 / 2 \n  2: - 3 / 2 \n'
    expect_eq "reduced records, signs where stored" "$(dump signs-out.frac)" $'count 3\n1/2\n1/-2\n3/-2'

    printf '4/1\n3/1\n2/1\n1/1\n' | pack four.frac
    report $'four.frac\nfour-out.frac\n'
    expect_contains "even count takes the greater middle value" "$out" "The medium is 3 / 1 "

    printf '1/2\n-1/2\n' | pack zero.frac
    report $'zero.frac\nzero-out.frac\n'
    expect_contains "zero sum keeps its denominator" "$out" $'The sum is 0 / 4 \nThe average is 0 / 8 \nThe medium is 1 / 2 '

    printf 'invalid\n5/7\ninvalid\n' | pack header.frac
    report $'header.frac\nheader-out.frac\n'
    expect_eq "header is nData, not the valid count" "$(dump header-out.frac)" $'count 3\n5/7\ninvalid\ninvalid'

    for ((i = 0; i < 1002; ++i)); do echo "$i/1"; done | pack wide.frac
    report $'wide.frac\nwide-out.frac\n'
    expect_contains "index field widens from 1000 on" "$out" $'\n999: 999 / 1 \n1000: 1000 / 1 \n1001: 1001 / 1 \nThe sorted array is\n  0: 1001 / 1 \n'
    expect_contains "the last entry of the sorted listing" "$out" $'1001: 0 / 1 \nThe sum is 501501 / 1 '
    ;;
no-valid)
    printf 'invalid\ninvalid\n' | pack none.frac
    report $'none.frac\nnone-out.frac\n'
    expect_eq "status" "$status" 0
    expect_contains "no valid record: sum, average and median" "$out" $'The sum is 0 / 1 \nThe average is Invalid Fraction!! \nThe medium is Invalid Fraction!! \nPlease enter'

    printf 'count -3\n' | pack negative.frac
    report $'negative.frac\nnegative-out.frac\n'
    expect_eq "negative count" "$(report_body)" "nData=-3
The original array is 
The sorted array is
The sum is 0 / 1 
The average is Invalid Fraction!! 
The medium is Invalid Fraction!! 
Please enter an output file name ? "
    expect_eq "negative count written back alone" "$(od -An -tx1 negative-out.frac | tr -d ' \n')" "fdffffff"

    for ((i = 0; i < 10001; ++i)); do echo "1/1"; done | pack many.frac
    report $'many.frac\nmany-out.frac\n'
    expect_contains "average beyond 10000 valid records" "$out" $'The sum is 10001 / 1 \nThe average is 1 / 1 \nThe medium is 1 / 1 '
    ;;
names)
    printf '1/2\n' | pack in.frac
    mkdir folder
    report $'missing.frac\nfolder\nin.frac\n/no/such/dir/out.frac\nfolder\nout.frac\n'
    expect_eq "status" "$status" 0
    expect_contains "input prompts" "$out" $'\nCannot open the file!! \nPlease enter another input file name ? Cannot open the file!! \nPlease enter another input file name ? nData=1\n'
    expect_contains "output prompts" "$out" $'Please enter an output file name ? Cannot open the file!! \nPlease enter another file name for output ? Cannot open the file!! \nPlease enter another file name for output ? '
    expect_eq "written after the prompts" "$(dump out.frac)" $'count 1\n1/2'
    expect_true "nothing left beside the output" '[ "$(ls -A | sort | tr "\n" " ")" = "folder in.frac out.frac stderr.txt stdout.txt unitTest.dat " ]'

    report $'missing.frac\n'
    expect_eq "end of input at the input name: status" "$status" 1
    expect_message "end of input at the input name: message" "$err" "fraction: missing.frac: No such file or directory
fraction: end of input while waiting for an input file name"

    rm -f out.frac
    report $'in.frac\n'
    expect_eq "end of input at the output name: status" "$status" 1
    expect_eq "end of input at the output name: message" "$err" "fraction: end of input while waiting for an output file name"
    expect_true "no output file created" '[ ! -e out.frac ]'
    ;;
malformed)
    printf '1/2\n3/4\n' | pack good.frac
    printf '\x01\x00' >short.frac
    printf '\x05\x00\x00\x00\x01\x00\x00\x00\x02\x00\x00\x00\x01\x00\x00' >cut.frac
    printf '\xff\xff\xff\x7f' >huge.frac
    report $'short.frac\ncut.frac\nhuge.frac\ngood.frac\nout.frac\n'
    expect_eq "status" "$status" 0
    expect_eq "one line per bad file" "$err" "fraction: short.frac: not a fraction file: 2 bytes, too short for the 4-byte count
fraction: cut.frac: header says 5 records, file holds 1 and 3 bytes of another
fraction: huge.frac: header says 2147483647 records, file holds 0"
    expect_contains "each followed by the prompt" "$out" $'All unit tests completed\nCannot open the file!! \nPlease enter another input file name ? Cannot open the file!! \nPlease enter another input file name ? Cannot open the file!! \nPlease enter another input file name ? nData=2\n'

    # 536870913 records take 2^32 + 8 bytes: a 32-bit size that wrapped
    # would take this file's one record for the whole.
    printf '\x01\x00\x00\x20\x01\x00\x00\x00\x02\x00\x00\x00' >wrap.frac
    report $'wrap.frac\ngood.frac\nout.frac\n'
    expect_eq "a count whose size wraps 32 bits: status" "$status" 0
    expect_eq "a count whose size wraps 32 bits: refused" "$err" \
        "fraction: wrap.frac: header says 536870913 records, file holds 1"
    expect_contains "a count whose size wraps 32 bits: then the prompt" "$out" \
        $'All unit tests completed\nCannot open the file!! \nPlease enter another input file name ? nData=2\n'

    cat good.frac good.frac >trailing.frac
    report $'trailing.frac\nout.frac\n'
    expect_eq "trailing bytes: status" "$status" 0
    expect_eq "trailing bytes: warning" "$err" "fraction: trailing.frac: ignoring the bytes after the 2 counted records"
    expect_contains "trailing bytes: counted records only" "$out" $'nData=2\nThe original array is \n  0: 1 / 2 \n  1: 3 / 4 \nThe sorted'

    "$fraction" $'--\e[2J' </dev/null >/dev/null 2>stderr.txt
    expect_contains "an unknown option: escaped" "$(cat stderr.txt)" "fraction: unrecognized option '--\x1b[2J'"

    # A combined capture keeps the order in which things happened.
    printf 'short.frac\ngood.frac\nout.frac\n' | "$fraction" --report >combined.txt 2>&1
    expect_contains "message before its prompt" "$(cat combined.txt)" $'All unit tests completed\nfraction: short.frac: not a fraction file: 2 bytes, too short for the 4-byte count\nCannot open the file!! '
    ;;
replace)
    printf '3/4\n1/2\n' | pack in.frac
    printf 'old contents\n' >existing.frac
    report $'in.frac\nexisting.frac\n'
    expect_eq "an existing file: status" "$status" 0
    expect_eq "an existing file is replaced whole" "$(dump existing.frac)" $'count 2\n3/4\n1/2'
    expect_true "nothing left beside it" '[ "$(ls -A | sort | tr "\n" " ")" = "existing.frac in.frac stderr.txt stdout.txt unitTest.dat " ]'
    report $'in.frac\nexisting.frac\n'
    expect_eq "replaced again: status" "$status" 0
    expect_eq "replaced again" "$(dump existing.frac)" $'count 2\n3/4\n1/2'
    ;;
output)
    # What only POSIX systems have: devices, links, pipes, file size limits,
    # permission bits, and control characters in file names.
    if [ "${FRACTION_SYSTEM:-Linux}" = Windows ]; then
        echo "output: skipped: devices, links, pipes, permission bits and such names are POSIX's"
        exit 77
    fi
    printf '3/4\n1/2\n' | pack in.frac

    # A name that would steer the terminal is shown escaped; valid UTF-8 is
    # kept as it is.
    hostile=$'\e]0;owned\a\e[31mr\xe9d\xc3\xa9.frac'
    printf '\x01\x00' >"$hostile"
    report "$hostile"$'\nin.frac\nout.frac\n'
    expect_eq "a hostile name: escaped in the message" "$err" \
        'fraction: \x1b]0;owned\x07\x1b[31mr\xe9d'$'\xc3\xa9''.frac: not a fraction file: 2 bytes, too short for the 4-byte count'
    rm -f "$hostile" out.frac

    report $'in.frac\n/dev/full\n'
    expect_eq "full disk: status" "$status" 1
    expect_message "full disk: message" "$err" "fraction: /dev/full: cannot write: No space left on device"

    printf 'old contents\n' >existing.frac
    chmod 640 existing.frac
    ln -s existing.frac link.frac
    report $'in.frac\nlink.frac\n'
    expect_eq "through a link: status" "$status" 0
    expect_true "the link is still a link" '[ -L link.frac ]'
    expect_eq "the file it points to is replaced" "$(dump existing.frac)" $'count 2\n3/4\n1/2'
    expect_eq "permissions kept" "$(stat -c %a existing.frac)" 640

    # A write that fails part-way leaves the old file whole and no temporary.
    for ((i = 0; i < 300; ++i)); do echo "$i/7"; done | pack big.frac
    printf 'keep me\n' >kept.frac
    printf 'big.frac\nkept.frac\n' | (trap '' XFSZ; ulimit -f 1; "$fraction" --report >/dev/null 2>stderr.txt)
    status=$?
    expect_eq "failed write: status" "$status" 1
    expect_contains "failed write: message" "$(cat stderr.txt)" "fraction: kept.frac: cannot write: File too large"
    expect_eq "failed write: old file intact" "$(cat kept.frac)" "keep me"
    expect_true "failed write: no temporary left" '[ -z "$(ls -A | grep "^\.")" ]'

    mkfifo pipe
    cat pipe >from-pipe.bin &
    reader=$!
    report $'in.frac\npipe\n'
    wait "$reader"
    expect_eq "a pipe is written in place" "$(od -An -tx1 from-pipe.bin | tr -d ' \n')" "0200000003000000040000000100000002000000"
    expect_true "the pipe is still a pipe" '[ -p pipe ]'

    # Replacing must not get round a permission that opening would respect.
    if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
        mkdir shared && chown nobody shared && cp in.frac shared/in.frac
        printf 'protected\n' >shared/locked.frac
        chown root shared/locked.frac && chmod 644 shared/locked.frac
        (cd shared && printf 'in.frac\nlocked.frac\nmine.frac\n' |
            setpriv --reuid=nobody --regid=nogroup --clear-groups "$fraction" --report >../stdout.txt 2>&1)
        expect_contains "read-only file: prompt" "$(cat stdout.txt)" $'Cannot open the file!! \nPlease enter another file name for output ? '
        expect_eq "read-only file untouched" "$(cat shared/locked.frac)" "protected"
        expect_eq "then written to the next name" "$(dump shared/mine.frac)" $'count 2\n3/4\n1/2'
    fi
    ;;
memory)
    # AddressSanitizer, qemu and Wine all reserve far more address space
    # than any limit that would test the program leaves.
    if [ "${FRACTION_SANITIZED:-0}" = 1 ] || [ "${FRACTION_EMULATED:-0}" = 1 ]; then
        echo "memory: skipped: the sanitizer build and emulated targets cannot run under an address-space limit"
        exit 77
    fi
    limit_kib=20000
    # 2,500,000 records, 20 MB: as much as the whole limit, so that only a
    # budget taken from the limit lets the report through.
    many_fractions 2500000 | pack big.frac
    printf 'big.frac\nfree.frac\n' | "$fraction" --report >free.txt 2>/dev/null
    printf 'big.frac\nlimited.frac\n' | (ulimit -v "$limit_kib"; "$fraction" --report >limited.txt 2>stderr.txt)
    expect_eq "under an address-space limit: status" "$?" 0
    expect_eq "under an address-space limit: nothing on standard error" "$(cat stderr.txt)" ""
    expect_true "under an address-space limit: the same report" 'cmp -s free.txt limited.txt'
    expect_true "under an address-space limit: the same file" 'cmp -s free.frac limited.frac'

    # fracfile streams too: a dump and a pack of the same file in the same limit.
    (ulimit -v "$limit_kib"; "$fracfile" dump big.frac >big.txt 2>stderr.txt)
    expect_eq "dump under an address-space limit: status" "$?" 0
    (ulimit -v "$limit_kib"; "$fracfile" pack again.frac <big.txt 2>stderr.txt)
    expect_eq "pack under an address-space limit: status" "$?" 0
    expect_true "pack of the dump under the limit: the same bytes" 'cmp -s big.frac again.frac'
    ;;
threads)
    # Every thread count and budget gives the same bytes: few values in
    # every representation, and wide values that seldom repeat. 4M holds
    # either file's entries but not the key sort's scratch; 1M sorts runs.
    many_fractions 300000 | pack many.frac
    awk 'BEGIN { srand(7); for (i = 0; i < 200000; ++i)
        printf "%d/%d\n", int(rand() * 4294967295) - 2147483647, int(rand() * 2147483646) + 1 }' |
        pack wide.frac
    for input in many wide; do
        report "$input.frac"$'\n'"$input-1.frac"$'\n' --parallel=1
        cp stdout.txt "$input-1.txt"
        for options in "--parallel=2" "--parallel=3" "--parallel=8" "--parallel=3 -S 4M" "--parallel=8 -S 1M"; do
            # shellcheck disable=SC2086 # the options are words
            report "$input.frac"$'\n'"$input-n.frac"$'\n' $options
            expect_eq "$input, $options: status" "$status" 0
            expect_true "$input, $options: the same text" "cmp -s $input-1.txt stdout.txt"
            expect_true "$input, $options: the same file" "cmp -s $input-1.frac $input-n.frac"
        done
    done
    ;;
budget)
    # What the programs left in a directory. Wine, which runs the Windows
    # build here, keeps a folder of its own in TMPDIR.
    our_files_in() { find "$1" -mindepth 1 -maxdepth 1 ! -name 'wine-*' -printf '%f\n'; }
    # Sorting in runs on the disk gives exactly the bytes of sorting in
    # memory, and leaves nothing behind.
    mkdir tmp
    export TMPDIR=$workdir/tmp
    # 300,000 records of few values in every arrangement of signs, zeros over
    # many denominators and invalid ones: ten runs of the smallest budget,
    # more than one merge takes, full of equivalent entries.
    many_fractions 300000 | pack many.frac
    report $'many.frac\nfree.frac\n'
    cp stdout.txt free.txt
    report $'many.frac\ntiny.frac\n' --buffer-size=1
    expect_eq "the smallest budget: status" "$status" 0
    expect_eq "the smallest budget: nothing on standard error" "$err" ""
    expect_true "the smallest budget: the same report" 'cmp -s free.txt stdout.txt'
    expect_true "the smallest budget: the same file" 'cmp -s free.frac tiny.frac'
    expect_true "the smallest budget: nothing left in the temporary directory" '[ -z "$(our_files_in tmp)" ]'

    # The same records in another order give the same sorted listing and file.
    "$fracfile" dump many.frac | { read -r; shuf --random-source=many.frac; } | pack shuffled.frac
    expect_true "the shuffle changed the order" '! cmp -s many.frac shuffled.frac'
    for size in 1 64M; do
        report $'shuffled.frac\nshuffled-out.frac\n' --buffer-size=$size
        expect_eq "a shuffle, budget $size: the same sorted listing" \
            "$(sed -n '/^The sorted array is/,$p' stdout.txt | md5sum)" \
            "$(sed -n '/^The sorted array is/,$p' free.txt | md5sum)"
        expect_true "a shuffle, budget $size: the same file" 'cmp -s free.frac shuffled-out.frac'
    done

    # A FIFO larger than the budget is copied aside and reported alike.
    if [ "${FRACTION_SYSTEM:-Linux}" != Windows ]; then
        mkfifo fifo
        cat many.frac >fifo &
        report $'fifo\nfifo-out.frac\n' --buffer-size=256K
        wait
        expect_eq "a FIFO: status" "$status" 0
        expect_true "a FIFO: the same file" 'cmp -s free.frac fifo-out.frac'
        printf '\x05\x00\x00\x00\x01\x00\x00\x00\x02\x00\x00\x00' >fifo &
        report $'fifo\nmany.frac\nshort-out.frac\n' --buffer-size=1
        wait
        expect_contains "a short FIFO: refused" "$err" "fraction: fifo: header says 5 records, file holds 1"
        expect_true "a short FIFO: then the next name" 'cmp -s free.frac short-out.frac'
        expect_true "FIFOs: nothing left in the temporary directory" '[ -z "$(our_files_in tmp)" ]'
    fi

    # A temporary directory that cannot be used: one line, status 1, the
    # output file untouched.
    printf 'keep me\n' >kept.frac
    report $'many.frac\nkept.frac\n' --buffer-size=1 --temporary-directory=no-such-dir
    expect_eq "a missing temporary directory: status" "$status" 2
    expect_message "a missing temporary directory: message" "$err" \
        "fraction: invalid temporary directory 'no-such-dir': No such file or directory
Try 'fraction --help' for more information."
    expect_eq "a missing temporary directory: output untouched" "$(cat kept.frac)" "keep me"

    # While the report waits for the output name, its runs are open but have
    # no name in the directory; killed then, it leaves nothing either.
    if [ "${FRACTION_SYSTEM:-Linux}" = Linux ]; then
        for signal in TERM KILL; do
            mkfifo answers
            "$fraction" --report --buffer-size=1 <answers >stdout.txt 2>stderr.txt &
            pid=$!
            exec 3>answers
            printf 'many.frac\n' >&3
            for ((i = 0; i < 600; ++i)); do
                grep -q "Please enter an output file name" stdout.txt && break
                sleep 0.1
            done
            expect_true "SIG$signal: runs open while waiting" \
                '[ "$(ls -l /proc/$pid/fd | grep -c "$workdir/tmp/")" -ge 1 ]'
            expect_true "SIG$signal: no name in the directory while waiting" '[ -z "$(our_files_in tmp)" ]'
            kill -s "$signal" "$pid"
            wait "$pid"
            exec 3>&-
            rm -f answers
            expect_true "SIG$signal: nothing left in the temporary directory" '[ -z "$(our_files_in tmp)" ]'
        done
    fi

    # A full temporary directory: a small file system of its own, where
    # this test may mount one.
    mkdir small
    if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=64k tmpfs small 2>/dev/null; then
        report $'many.frac\nkept.frac\n' --buffer-size=1 --temporary-directory=small
        umount small
        expect_eq "a full temporary directory: status" "$status" 1
        expect_message "a full temporary directory: message" "$err" \
            "fraction: small: cannot write a temporary file: No space left on device"
        expect_eq "a full temporary directory: output untouched" "$(cat kept.frac)" "keep me"
    else
        echo "budget: a full temporary directory not tried: no tmpfs can be mounted here"
    fi

    # The sizes sort -S takes: b for bytes, K to E, and % of the memory.
    "$fraction" --report -q many.frac free.frac </dev/null >/dev/null 2>&1
    for size in 100b 1K 1M 1%; do
        "$fraction" --report -q -S "$size" many.frac sized.frac </dev/null >stdout.txt 2>stderr.txt
        expect_eq "-S $size: status, output, errors" "$?:$(cat stdout.txt stderr.txt)" "0:"
        expect_true "-S $size: the same file" 'cmp -s sized.frac free.frac'
    done
    for size in 1T 8E 100%; do
        "$fraction" --report -q -S "$size" many.frac sized.frac </dev/null >stdout.txt 2>stderr.txt
        expect_eq "-S $size: status" "$?" 0
        expect_contains "-S $size: lowered to what the limits allow" "$(cat stderr.txt)" "is more than the memory limits allow; using"
    done

    report $'many.frac\nfree.frac\n' --buffer-size=12x
    expect_eq "a bad buffer size: status" "$status" 2
    expect_eq "a bad buffer size: message" "$err" "fraction: invalid buffer size '12x': expected a number of bytes, or of K, M, G, T, P, E or %
Try 'fraction --help' for more information."
    ;;
cli)
    try_fraction="Try 'fraction --help' for more information."
    "$fraction" --help >stdout.txt 2>stderr.txt
    expect_eq "--help status" "$?" 0
    expect_contains "--help names --report" "$(cat stdout.txt)" "--report"
    expect_contains "--help gives the synopsis" "$(cat stdout.txt)" "Usage: fraction [OPTION]... [--report [INPUT [OUTPUT]]]"
    expect_contains "--help lists the exit statuses" "$(cat stdout.txt)" $'Exit status:\n 0 '
    expect_true "--help runs no self-test" '[ ! -e unitTest.dat ]'
    "$fraction" -h >/dev/null
    expect_eq "-h status" "$?" 0
    "$fraction" --bogus >stdout.txt 2>stderr.txt </dev/null
    expect_eq "unknown option status" "$?" 2
    expect_eq "unknown option: nothing on standard output" "$(cat stdout.txt)" ""
    expect_eq "unknown option: the reason, then where to look" "$(cat stderr.txt)" \
        "fraction: unrecognized option '--bogus'"$'\n'"$try_fraction"
    expect_true "unknown option runs nothing" '[ ! -e unitTest.dat ]'
    "$fraction" </dev/null >stdout.txt
    expect_eq "no argument: the self-test alone" "$(cat stdout.txt)" "$self_test_lines"
    rm -f unitTest.dat
    "$fraction" --version >stdout.txt 2>stderr.txt
    expect_eq "--version: status" "$?" 0
    expect_eq "--version: name and version first" "$(head -n 1 stdout.txt)" "fraction ${FRACTION_VERSION:-unknown}"
    expect_contains "--version: the copyright" "$(cat stdout.txt)" "Copyright (C) 2026 The fraction developers."
    expect_contains "--version: the licence" "$(cat stdout.txt)" "License MIT"
    expect_true "--version runs no self-test" '[ ! -e unitTest.dat ]'
    expect_contains "--help names --version" "$("$fraction" --help)" "--version"
    "$fracfile" --version >stdout.txt
    expect_eq "fracfile --version" "$(head -n 1 stdout.txt)" "fracfile ${FRACTION_VERSION:-unknown}"
    expect_contains "fracfile --version: the licence" "$(cat stdout.txt)" "License MIT"
    expect_contains "fracfile --help names --version" "$("$fracfile" --help)" "--version"
    "$fraction" </dev/null >/dev/full 2>stderr.txt
    expect_eq "lost standard output: status" "$?" 1
    expect_message "lost standard output: message with the reason" "$(cat stderr.txt)" "fraction: cannot write standard output: No space left on device"
    if [ -w /dev/full ]; then
        for program in fraction fracfile; do
            for option in --help --version; do
                "${!program}" "$option" >/dev/full 2>stderr.txt
                expect_eq "$program $option to a full disk: status" "$?" 1
                expect_message "$program $option to a full disk: message" "$(cat stderr.txt)" \
                    "$program: write error: No space left on device"
            done
        done
    fi

    # Wrong usage: one line with the reason, then where to look; nothing run.
    rm -f unitTest.dat
    : >plain-file
    while IFS='|' read -r reason args; do
        read -ra words <<<"$args"
        "$fraction" "${words[@]}" </dev/null >stdout.txt 2>stderr.txt
        expect_eq "usage: $args: status" "$?" 2
        expect_eq "usage: $args: message" "$(cat stderr.txt)" "fraction: $reason"$'\n'"$try_fraction"
        expect_eq "usage: $args: nothing on standard output" "$(cat stdout.txt)" ""
    done <<'USAGE'
extra operand 'c'|--report a b c
with '-' as INPUT, OUTPUT must be given too|--report -
option '--report' doesn't allow an argument|--report=x
option '--buffer-size' requires an argument|--report --buffer-size
option requires an argument -- 'T'|--report -T
invalid option -- 'x'|-x
invalid buffer size '12X': expected a number of bytes, or of K, M, G, T, P, E or %|--report --buffer-size=12X
invalid buffer size '0': a buffer needs more than 0 bytes|--report -S 0
invalid buffer size '99999999999999999999': too large|--report -S99999999999999999999
invalid temporary directory 'missing': No such file or directory|--report --temporary-directory missing
invalid temporary directory 'plain-file': Not a directory|--report -T plain-file
--buffer-size and --temporary-directory need --report|-S 1M
--summary needs --report|--summary
USAGE
    "$fraction" in.frac </dev/null >stdout.txt 2>stderr.txt
    expect_eq "a file without --report: status" "$?" 2
    expect_eq "a file without --report: the reason, then the command meant" "$(cat stderr.txt)" \
        "fraction: extra operand 'in.frac'"$'\n'"Try 'fraction --report FILE' to report on FILE, or 'fraction --help' for more information."
    expect_true "wrong usage runs no self-test" '[ ! -e unitTest.dat ]'
    # Good values pass, in each form.
    mkdir folder
    printf '1/2\n' | pack in.frac
    for args in "-S 64K -T folder" "--buffer-size=2M --temporary-directory=folder" "--buffer-size 1G -Tfolder" "-S1024"; do
        read -ra words <<<"$args"
        printf 'in.frac\nout.frac\n' | "$fraction" --report "${words[@]}" >/dev/null 2>stderr.txt
        expect_eq "report options $args: status" "$?" 0
        expect_eq "report options $args: no message" "$(cat stderr.txt)" ""
    done
    ;;
fracfile)
    printf 'count 6\n# comment\n  -2147483648 / 2147483647\n+5/-0\n123456789/3\n\ninvalid\n0 / -1\n7/123456789\n' | pack odd.frac
    dump odd.frac >odd.txt
    expect_eq "dump" "$(cat odd.txt)" $'count 6\n-2147483648/2147483647\n5/0\n123456789/3\ninvalid\n0/-1\n7/123456789'
    expect_eq "packed bytes" "$(head -c 20 odd.frac | od -An -tx1 | tr -d ' \n')" \
        "0600000000000080ffffff7f0500000000000000"
    pack again.frac <odd.txt
    expect_true "pack of a dump gives the same bytes" 'cmp -s odd.frac again.frac'
    printf '\xfb\xff\xff\xff' >negative.frac
    dump negative.frac | pack negative-again.frac
    expect_true "a negative count survives too" 'cmp -s negative.frac negative-again.frac'

    printf '1/2\nthree quarters\n' | "$fracfile" pack bad.frac 2>stderr.txt
    expect_eq "bad line: status" "$?" 1
    expect_eq "bad line: message" "$(cat stderr.txt)" "fracfile: line 2: not a fraction: 'three quarters'"
    expect_true "bad line: nothing written" '[ ! -e bad.frac ]'
    printf '1/2\n1/2147483648\n' | "$fracfile" pack bad.frac 2>stderr.txt
    expect_eq "part out of range" "$(cat stderr.txt)" "fracfile: line 2: a part outside the 32-bit range: '1/2147483648'"
    printf 'count 3\n1/2\n' | "$fracfile" pack bad.frac 2>stderr.txt
    expect_eq "count mismatch" "$(cat stderr.txt)" "fracfile: the count line says 3 records, the text holds 1"
    expect_true "mismatch: nothing written" '[ ! -e bad.frac ]'

    printf '1/2\n\x1b[2J\x9b\xff/3\n' | "$fracfile" pack bad.frac 2>stderr.txt
    expect_eq "a binary line: escaped in the message" "$(cat stderr.txt)" \
        "fracfile: line 2: not a fraction: '\x1b[2J\x9b\xff/3'"

    head -c 10 odd.frac >cut.frac
    dump cut.frac >/dev/null 2>stderr.txt
    expect_eq "dump of a cut file: status" "$?" 1
    expect_eq "dump of a cut file: message" "$(cat stderr.txt)" "fracfile: cut.frac: header says 6 records, file holds 0 and 6 bytes of another"
    "$fracfile" frobnicate >/dev/null 2>&1
    expect_eq "fracfile usage error" "$?" 2
    ;;
fracfile-cli)
    try_fracfile="Try 'fracfile --help' for more information."
    # --help and --version anywhere, before any command is run.
    "$fracfile" pack --help >stdout.txt 2>stderr.txt
    expect_eq "pack --help: status" "$?" 0
    expect_contains "pack --help: the usage" "$(cat stdout.txt)" "Usage: fracfile [OPTION]... pack OUT"
    expect_true "pack --help: no file named --help" '[ ! -e --help ]'
    "$fracfile" dump missing.frac --version >stdout.txt 2>stderr.txt
    expect_eq "dump FILE --version: status" "$?" 0
    expect_eq "dump FILE --version: the version" "$(head -n 1 stdout.txt)" "fracfile ${FRACTION_VERSION:-unknown}"
    expect_contains "--help lists the exit statuses" "$("$fracfile" --help)" $'Exit status:\n 0 '

    # Wrong usage: one line with the reason, then where to look.
    while IFS='|' read -r reason args; do
        read -ra words <<<"$args"
        "$fracfile" "${words[@]}" </dev/null >stdout.txt 2>stderr.txt
        expect_eq "usage: $args: status" "$?" 2
        expect_eq "usage: $args: message" "$(cat stderr.txt)" "fracfile: $reason"$'\n'"$try_fracfile"
    done <<'USAGE'
missing command: pack or dump|
unknown command 'frobnicate'|frobnicate
missing file operand after 'pack'|pack
missing file operand after 'dump'|dump
extra operand 'b'|dump a b
unrecognized option '--bogus'|pack out.frac --bogus
invalid option -- 'x'|-x
USAGE
    expect_true "usage errors write nothing" '[ ! -e out.frac ]'

    # "-" is standard output for pack and standard input for dump; "--"
    # makes a name starting with "-" a name.
    printf '1/2\n-3/4\n' | "$fracfile" pack - >piped.frac
    expect_eq "pack -: status" "$?" 0
    expect_eq "pack - writes standard output" "$(od -An -tx1 piped.frac | tr -d ' \n')" \
        "020000000100000002000000fdffffff04000000"
    expect_eq "dump - reads standard input" "$("$fracfile" dump - <piped.frac)" $'count 2\n1/2\n-3/4'
    printf '1/2\n' | "$fracfile" pack -- -dashed.frac
    expect_eq "-- ends the options" "$(dump ./-dashed.frac)" $'count 1\n1/2'
    printf '\x05\x00\x00\x00' | "$fracfile" dump - >/dev/null 2>stderr.txt
    expect_eq "dump - of a cut file: status" "$?" 1
    expect_eq "dump - of a cut file: message" "$(cat stderr.txt)" "fracfile: standard input: header says 5 records, file holds 0"
    printf '1/2\n' | "$fracfile" pack - >/dev/full 2>stderr.txt
    expect_eq "pack - to a full disk: status" "$?" 1
    expect_message "pack - to a full disk: message with the reason" "$(cat stderr.txt)" "fracfile: cannot write standard output: No space left on device"

    # The system's reason for a name that cannot be used.
    mkdir folder
    "$fracfile" dump missing.frac 2>stderr.txt
    expect_eq "dump of a missing file: status" "$?" 1
    expect_message "dump of a missing file: the reason" "$(cat stderr.txt)" "fracfile: missing.frac: No such file or directory"
    "$fracfile" dump folder 2>stderr.txt
    expect_message "dump of a directory" "$(cat stderr.txt)" "fracfile: folder: Is a directory"
    printf '1/2\n' | "$fracfile" pack folder 2>stderr.txt
    expect_eq "pack to a directory: status" "$?" 1
    expect_message "pack to a directory: the reason" "$(cat stderr.txt)" "fracfile: folder: Is a directory"
    printf '1/2\n' | "$fracfile" pack no/such/dir.frac 2>stderr.txt
    expect_message "pack into a missing directory" "$(cat stderr.txt)" "fracfile: no/such/dir.frac: No such file or directory"
    long=$(printf 'n%.0s' {1..300})
    "$fracfile" dump "$long" 2>stderr.txt
    expect_message "dump of a name too long" "$(cat stderr.txt)" "fracfile: $long: File name too long"

    # The report's own text: a listing packs back, with or without its index.
    printf '1/2\n3/4\ninvalid\n-1/4\n' | pack in.frac
    printf 'in.frac\nout.frac\n' | "$fraction" --report >report.txt
    sed -n '/^The original array is $/,/^The sorted array is$/p' report.txt | sed '1d;$d' >listing.txt
    expect_eq "the listing as read" "$(cat listing.txt)" $'  0: 1 / 2 \n  1: 3 / 4 \n  2: Invalid Fraction!! \n  3: - 1 / 4 '
    pack listed.frac <listing.txt
    expect_eq "a listing packs back" "$(dump listed.frac)" $'count 4\n1/2\n3/4\ninvalid\n-1/4'
    sed 's/^ *[0-9]*: //' listing.txt | pack unindexed.frac
    expect_true "without the index column too" 'cmp -s listed.frac unindexed.frac'
    printf '%s\n' '- 3 / 4 ' '12: - 2147483648 / 1 ' 'Invalid Fraction!! ' | pack text-form.frac
    expect_eq "the report's text form" "$(dump text-form.frac)" $'count 3\n-3/4\n-2147483648/1\ninvalid'

    # A byte-order mark at the start is skipped.
    printf '\xef\xbb\xbfcount 1\n1/2\n' | pack bom.frac
    expect_eq "a byte-order mark is skipped" "$(dump bom.frac)" $'count 1\n1/2'

    # A valid 123456789/123456789 is 1/1, as the type stores it; the marker
    # pair stays "invalid".
    printf '123456789/123456789\ninvalid\n123456789/-123456789\n' | pack marker.frac
    expect_eq "123456789/123456789 is stored as 1/1" "$(dump marker.frac)" $'count 3\n1/1\ninvalid\n123456789/-123456789'
    expect_contains "the help says so" "$("$fracfile" --help)" "A valid 123456789/123456789 is stored as 1/1"

    # Every bad line is reported, up to ten, then counted; quotes are cut.
    { for ((i = 1; i <= 13; ++i)); do echo "bad $i"; done; echo "1/2"; } | "$fracfile" pack bad.frac 2>stderr.txt
    expect_eq "many bad lines: status" "$?" 1
    expect_eq "many bad lines: ten, then a count" "$(cat stderr.txt)" "$(for ((i = 1; i <= 10; ++i)); do echo "fracfile: line $i: not a fraction: 'bad $i'"; done)
fracfile: 3 more bad lines"
    expect_true "bad lines: nothing written" '[ ! -e bad.frac ]'
    { echo "count x"; echo "1/2"; echo "count 1"; } | "$fracfile" pack bad.frac 2>stderr.txt
    expect_eq "bad count lines all reported" "$(cat stderr.txt)" "fracfile: line 1: not a count: 'count x'
fracfile: line 3: a count line must come before every record"
    { printf 'x%.0s' {1..100000}; echo; } | "$fracfile" pack bad.frac 2>stderr.txt
    expect_eq "a long bad line is quoted cut down" "$(cat stderr.txt)" "fracfile: line 1: not a fraction: '$(printf 'x%.0s' {1..40})'..."
    { printf '%s\xc3\xa9' "$(printf 'x%.0s' {1..39})"; echo "tail"; } | "$fracfile" pack bad.frac 2>stderr.txt
    expect_eq "a quote is cut where a character begins" "$(cat stderr.txt)" "fracfile: line 1: not a fraction: '$(printf 'x%.0s' {1..39})'..."
    ;;
operands)
    printf '1/2\n3/4\ninvalid\n1/4\n' | pack in.frac
    report $'in.frac\nout.frac\n'
    answered=$out
    expect_eq "answered: status" "$status" 0
    cp out.frac answered.frac
    # What the report writes when no prompt for the output is printed.
    prompt="Please enter an output file name ? "
    head -c -${#prompt} stdout.txt >unprompted.txt
    expect_eq "the answered report ends with the prompt" "$(tail -c ${#prompt} stdout.txt)" "$prompt"

    # Both names given: the same report, without the prompt nothing answers.
    "$fraction" --report in.frac given.frac </dev/null >stdout.txt 2>stderr.txt
    expect_eq "both given: status" "$?" 0
    expect_true "both given: the report less its prompt" 'cmp -s stdout.txt unprompted.txt'
    expect_eq "both given: nothing on standard error" "$(cat stderr.txt)" ""
    expect_true "both given: the same file" 'cmp -s answered.frac given.frac'

    # The input given and the output not: a name is asked for only at a
    # terminal, so from a pipe it is wrong usage, and nothing is read.
    printf 'asked.frac\n' | "$fraction" --report in.frac >stdout.txt 2>stderr.txt
    expect_eq "input given: status" "$?" 2
    expect_eq "input given: nothing printed" "$(cat stdout.txt)" ""
    expect_eq "input given: wrong usage" "$(cat stderr.txt)" "fraction: missing OUTPUT operand after 'in.frac' (a name is asked for only at a terminal)
Try 'fraction --help' for more information."
    expect_true "input given: the answer not taken" '[ ! -e asked.frac ]'

    # A given name that cannot be used ends the run; the next answer is
    # never taken for it.
    printf 'keep me\n' >existing-out.frac
    printf 'in.frac\nout.frac\n' | "$fraction" --report missing.frac existing-out.frac >stdout.txt 2>stderr.txt
    expect_eq "a missing input given: status" "$?" 1
    expect_message "a missing input given: the reason" "$(cat stderr.txt)" "fraction: missing.frac: No such file or directory"
    expect_eq "a missing input given: no report, no prompt" "$(cat stdout.txt)" "$self_test_lines"
    expect_eq "a missing input given: nothing written" "$(cat existing-out.frac)" "keep me"
    printf '\x01\x00' >short.frac
    "$fraction" --report short.frac out.frac </dev/null >stdout.txt 2>stderr.txt
    expect_eq "a short input given: status" "$?" 1
    expect_eq "a short input given: the reason" "$(cat stderr.txt)" "fraction: short.frac: not a fraction file: 2 bytes, too short for the 4-byte count"
    mkdir folder
    printf 'out.frac\n' | "$fraction" --report in.frac folder >stdout.txt 2>stderr.txt
    expect_eq "a directory as the output given: status" "$?" 1
    expect_message "a directory as the output given: the reason" "$(cat stderr.txt)" "fraction: folder: Is a directory"
    expect_true "a directory as the output given: its prompt not printed" 'cmp -s stdout.txt unprompted.txt'

    # "-": the fraction file on standard input, the output file on standard
    # output after the report's text.
    rm -f out.frac
    "$fraction" --report - out.frac <in.frac >stdout.txt 2>stderr.txt
    expect_eq "- as input: status" "$?" 0
    expect_true "- as input: the same report" 'cmp -s stdout.txt unprompted.txt'
    expect_true "- as input: the same file" 'cmp -s answered.frac out.frac'
    printf '\x05\x00\x00\x00' | "$fraction" --report - out.frac >/dev/null 2>stderr.txt
    expect_eq "- as input, cut short: status" "$?" 1
    expect_eq "- as input, cut short: the reason" "$(cat stderr.txt)" "fraction: standard input: header says 5 records, file holds 0"
    "$fraction" --report in.frac - </dev/null >stdout.bin 2>stderr.txt
    expect_eq "- as output: status" "$?" 0
    cat unprompted.txt answered.frac >expected.bin
    expect_true "- as output: the text, then the file" 'cmp -s stdout.bin expected.bin'
    # The same when the records are sorted outside memory.
    mkdir tmp
    "$fraction" --report -S1 -T tmp - - <in.frac >stdout.bin 2>stderr.txt
    expect_eq "- as both, outside memory: status" "$?" 0
    expect_true "- as both, outside memory: the text, then the file" 'cmp -s stdout.bin expected.bin'
    "$fraction" --report - - <in.frac >stdout.bin 2>stderr.txt
    expect_eq "- as both: status" "$?" 0
    expect_true "- as both: the text, then the file" 'cmp -s stdout.bin expected.bin'
    if [ -w /dev/full ]; then
        "$fraction" --report in.frac - </dev/null >/dev/full 2>stderr.txt
        expect_eq "- as output to a full disk: status" "$?" 1
        expect_message "- as output to a full disk: message with the reason" "$(cat stderr.txt)" "fraction: cannot write standard output: No space left on device"
    fi

    # An answer "-" is still a file of that name, and "--" lets a name
    # that starts with "-" be given.
    cp in.frac ./-
    cp in.frac ./-in.frac
    report $'-\nout.frac\n'
    expect_eq "an answer -: status" "$status" 0
    expect_eq "an answer - is a file" "$out" "$answered"
    "$fraction" --report -- -in.frac dashed.frac </dev/null >/dev/null 2>&1
    expect_true "-- before a name starting with -" 'cmp -s answered.frac dashed.frac'
    ;;
reasons)
    # Every refused name: the system's reason on standard error, then the
    # unchanged text on standard output.
    printf '1/2\n' | pack in.frac
    mkdir folder
    long=$(printf 'n%.0s' {1..300})
    report "missing.frac"$'\n'"folder"$'\n'"$long"$'\n'$'in.frac\n/no/such/dir/out.frac\nfolder\nout.frac\n'
    expect_eq "status" "$status" 0
    expect_message "one line per refused name" "$err" "fraction: missing.frac: No such file or directory
fraction: folder: Is a directory
fraction: $long: File name too long
fraction: /no/such/dir/out.frac: No such file or directory
fraction: folder: Is a directory"
    expect_contains "the prompts as they were" "$out" $'All unit tests completed\nCannot open the file!! \nPlease enter another input file name ? Cannot open the file!! \nPlease enter another input file name ? Cannot open the file!! \nPlease enter another input file name ? nData=1\n'
    expect_contains "the output prompts as they were" "$out" $'Please enter an output file name ? Cannot open the file!! \nPlease enter another file name for output ? Cannot open the file!! \nPlease enter another file name for output ? '
    printf 'missing.frac\nin.frac\nfolder\nout.frac\n' | "$fraction" --report >combined.txt 2>&1
    expect_message_within "the reason before its prompt" "$(cat combined.txt)" $'All unit tests completed\nfraction: missing.frac: No such file or directory\nCannot open the file!! \n'
    expect_message_within "the output's reason before its prompt" "$(cat combined.txt)" $'name ? fraction: folder: Is a directory\nCannot open the file!! \n'
    if [ "${FRACTION_SYSTEM:-Linux}" != Windows ] && [ "$(id -u)" -ne 0 ]; then
        cp in.frac locked.frac && chmod 000 locked.frac
        report $'locked.frac\nin.frac\nout.frac\n'
        expect_message "an unreadable file" "$err" "fraction: locked.frac: Permission denied"
    fi
    ;;
quiet)
    # -q: a filter from fraction file to sorted fraction file, and a silent
    # sort, writing what the full report writes.
    pack sample.frac <"$here/../examples/sample.txt"
    "$fraction" --report sample.frac full.frac >/dev/null 2>&1
    pack - <"$here/../examples/sample.txt" | "$fraction" --report -q - - >filtered.frac 2>stderr.txt
    expect_eq "filter: status" "$?" 0
    expect_eq "filter: nothing on standard error" "$(cat stderr.txt)" ""
    expect_true "filter: the sorted file alone" 'cmp -s filtered.frac full.frac'
    rm -f unitTest.dat
    "$fraction" --report -q sample.frac quiet.frac </dev/null >stdout.txt 2>stderr.txt
    expect_eq "silent sort: status" "$?" 0
    expect_eq "silent sort: nothing printed" "$(cat stdout.txt stderr.txt)" ""
    expect_true "silent sort: written" 'cmp -s quiet.frac full.frac'
    expect_true "silent sort: the self-test still wrote its record file" '[ -s unitTest.dat ]'
    "$fraction" --quiet </dev/null >stdout.txt 2>stderr.txt
    expect_eq "the self-test alone, quiet: status and output" "$?:$(cat stdout.txt stderr.txt)" "0:"
    # The prompts and the reasons still show, and nothing else.
    printf 'missing.frac\nsample.frac\nasked.frac\n' | "$fraction" --report -q >stdout.txt 2>stderr.txt
    expect_eq "prompted: status" "$?" 0
    # Quiet, standard output holds only what was asked for: the prompts go
    # to standard error, each after the reason that led to it.
    expect_eq "prompted: nothing on standard output" "$(cat stdout.txt)" ""
    expect_message "prompted: the reason, then the prompts" "$(cat stderr.txt)" \
        $'fraction: missing.frac: No such file or directory\nCannot open the file!! \nPlease enter another input file name ? Please enter an output file name ? '
    expect_true "prompted: written" 'cmp -s asked.frac full.frac'
    # Typed at the prompt, - is a file of that name, as any answer is.
    printf 'sample.frac\n-\n' | "$fraction" --report -q >stdout.txt
    expect_true "an answer - for the output is a file" 'cmp -s ./- full.frac'
    ;;
summary)
    # --summary against the full report of the same file: the same nData,
    # sum, average and median lines, and the count, least and greatest that
    # its listings show.
    # check_summary NAME [OPTION...]
    check_summary() {
        "$fraction" --report "${@:2}" "$1" full.frac </dev/null >full.txt 2>&1
        "$fraction" --report --summary "${@:2}" "$1" summary.frac </dev/null >summary.txt 2>stderr.txt
        expect_eq "$1 $*: status, errors" "$?:$(cat stderr.txt)" "0:"
        expect_true "$1 $*: the same output file" 'cmp -s full.frac summary.frac'
        local sorted valid least=$'Invalid Fraction!! ' greatest=$'Invalid Fraction!! '
        sorted=$(sed -n '/^The sorted array is$/,/^The sum is /p' full.txt | sed '1d;$d;s/^ *[0-9]*: //')
        valid=$(printf '%s' "$sorted" | grep -c -v -e '^Invalid Fraction!! $' -e '^$')
        if [ "$valid" -gt 0 ]; then
            greatest=$(sed -n 1p <<<"$sorted")
            least=$(sed -n "${valid}p" <<<"$sorted")
        fi
        expect_eq "$1 $*: the summary" "$(cat summary.txt)" "$self_test_lines
$(grep '^nData=' full.txt)
The valid count is $valid
$(grep -e '^The sum is ' -e '^The average is ' -e '^The medium is ' full.txt)
The least is $least
The greatest is $greatest"
    }
    pack sample.frac <"$here/../examples/sample.txt"
    check_summary sample.frac
    expect_eq "the sample's summary" "$(tail -n +5 summary.txt)" "nData=8
The valid count is 7
The sum is 101 / 24 
The average is 101 / 168 
The medium is 3 / 4 
The least is - 2 / 3 
The greatest is 5 / 2 "
    printf '3/4\n1/2\n0/3\n-5/6\n' | pack even.frac
    check_summary even.frac
    expect_contains "an even count: the greater middle value" "$(cat summary.txt)" "The medium is 1 / 2 "
    printf 'invalid\ninvalid\n' | pack none.frac
    check_summary none.frac
    printf 'count -3\n' | pack negative.frac
    check_summary negative.frac
    printf 'invalid\n-7/3\n0/-2\ninvalid\n7/3\n' | pack mixed.frac
    check_summary mixed.frac
    many_fractions 100000 | pack many.frac
    check_summary many.frac
    # Outside memory: the least comes in a later block than the greatest.
    check_summary many.frac -S 256K
    # Quiet, the summary alone.
    "$fraction" --report -q --summary many.frac quiet.frac </dev/null >stdout.txt 2>&1
    expect_eq "quiet summary" "$(cat stdout.txt)" "$(tail -n +5 summary.txt)"
    ;;
scripts)
    # The pipelines of the README's section "In scripts", taken from the
    # README itself, run as a user would run them.
    mapfile -d '' -t blocks < <(awk '/^## /{ inside = ($0 == "## In scripts") } inside && /^```/ { if (code) printf "%c", 0; code = !code; next } inside && code' "$here/../README.md")
    expect_eq "six blocks in the README" "${#blocks[@]}" 6
    mkdir examples fractions
    on_path_as_named
    cp "$here/../examples/sample.txt" examples/
    pack sample.frac <examples/sample.txt
    "$fraction" --report sample.frac sorted-here.frac </dev/null >report-here.txt
    printf '3/4\n1/2\n0/3\n-5/6\n' | pack fractions/even.frac
    printf 'invalid\n' | pack fractions/none.frac
    cp sample.frac fractions/sample.frac
    cp -r fractions fractions-before
    run_block() { PATH="$PWD/bin:$PATH" bash -c "$1" >stdout.txt 2>stderr.txt; status=$?; }
    # summaries_of FILE...: each file's summary as the report prints it.
    summaries_of() { for file in "$@"; do "$fraction" --report -q --summary "$file"; done; }

    run_block "${blocks[0]}"
    expect_eq "the loop: status and errors" "$status:$(cat stderr.txt)" "0:"
    expect_eq "the loop: every summary" "$(cat stdout.txt)" "$(summaries_of fractions/*.frac)"
    expect_true "the loop: every file as it was" 'diff -r fractions fractions-before >/dev/null'

    if command -v jq >/dev/null; then
        run_block "${blocks[1]}"
        expect_eq "JSON through jq: status and errors" "$status:$(cat stderr.txt)" "0:"
        expect_contains "JSON through jq: the count and the mean" "$(cat stdout.txt)" "7 valid, mean 0.601190476190476"
        expect_contains "JSON through jq: the median" "$(cat stdout.txt)" ", median 3/4"
    else
        echo "$group: jq is missing: the JSON block is not run"
    fi

    run_block "${blocks[2]}"
    expect_eq "pack, sort, dump: status and errors" "$status:$(cat stderr.txt)" "0:"
    expect_eq "pack, sort, dump: the sorted records" "$(cat stdout.txt)" "$(dump sorted-here.frac)"

    run_block "${blocks[3]}"
    expect_eq "records through sort: status and errors" "$status:$(cat stderr.txt)" "0:"
    expect_eq "records through sort: the dump less its count, sorted" "$(cat stdout.txt)" \
        "$(dump sample.frac | tail -n +2 | grep -vx invalid | sort -t/ -k1,1n -k2,2n)"

    # Windows has no /dev/null to name, and there two self-tests at once in
    # one folder collide on unitTest.dat: the parallel summaries are POSIX's.
    if [ "${FRACTION_SYSTEM:-Linux}" = Windows ]; then
        echo "$group: the parallel summaries are not run on Windows"
    else
        run_block "${blocks[4]}"
        expect_eq "a summary per file: status and errors" "$status:$(cat stderr.txt)" "0:"
        expect_eq "a summary per file: one each" "$(grep -c '^== ' stdout.txt)" 3
        for file in fractions/*.frac; do
            expect_contains "a summary per file: $file, whole" "$(cat stdout.txt)" "== $file
$("$fraction" --report --summary "$file" /dev/null | tail -n +5)"
        done
    fi

    run_block "${blocks[5]}"
    expect_eq "text and file apart: status and errors" "$status:$(cat stderr.txt)" "0:"
    expect_true "text and file apart: the report's text" 'cmp -s report.txt report-here.txt'
    expect_true "text and file apart: the sorted file" 'cmp -s sorted.frac sorted-here.frac'
    ;;
loop)
    on_path_as_named
    # A loop reading names from a list: the report must not take the next
    # name of the list for its output file.
    printf '1/2\n1/3\n' | fracfile pack a.frac; printf '5/1\n6/1\n7/1\n' | fracfile pack b.frac
    cp b.frac b-before.frac
    ls [ab].frac > list
    while read -r f; do fraction --report -q --summary "$f"; done < list >stdout.txt 2>stderr.txt
    expect_eq "the loop: status and errors" "$?:$(cat stderr.txt)" "0:"
    expect_eq "the loop: one summary per file" "$(grep -c '^nData=' stdout.txt)" 2
    expect_true "the loop: b.frac as it was" 'cmp -s b.frac b-before.frac'
    expect_eq "the loop: no file written" "$(ls)" $'a.frac\nb-before.frac\nb.frac\nbin\nlist\nstderr.txt\nstdout.txt\nunitTest.dat'
    expect_eq "the loop: the summaries" "$(sed -n 's/^The sum is //p' stdout.txt)" $'5 / 6 \n18 / 1 '

    # The summary of standard input, with no output named.
    fraction --report -q --summary - <b.frac >stdout.txt 2>stderr.txt
    expect_eq "summary of standard input: status, errors" "$?:$(cat stderr.txt)" "0:"
    expect_contains "summary of standard input" "$(cat stdout.txt)" "The greatest is 7 / 1 "

    # Without --summary, a missing output is wrong usage, found before the
    # self-test writes anything.
    rm -f unitTest.dat
    printf 'b.frac\n' | fraction --report a.frac >stdout.txt 2>stderr.txt
    expect_eq "no output named: status" "$?" 2
    expect_eq "no output named: the usage error" "$(cat stderr.txt)" "fraction: missing OUTPUT operand after 'a.frac' (a name is asked for only at a terminal)
Try 'fraction --help' for more information."
    expect_eq "no output named: nothing printed" "$(cat stdout.txt)" ""
    expect_true "no output named: nothing written" '[ ! -e unitTest.dat ] && cmp -s b.frac b-before.frac'

    # With no operands the names are still read from standard input.
    printf 'a.frac\nsorted.frac\n' | fraction --report -q >stdout.txt 2>stderr.txt
    expect_eq "no operands: status, output" "$?:$(cat stdout.txt)" "0:"
    expect_eq "no operands: the prompt, on standard error when quiet" "$(cat stderr.txt)" "Please enter an output file name ? "
    expect_eq "no operands: written" "$(fracfile dump sorted.frac)" $'count 2\n1/2\n1/3'
    ;;
json)
    on_path_as_named
    command -v python3 >/dev/null || { echo "$group: python3, which holds the exact model, is missing"; exit 77; }
    python3 "$here/json_summary_check.py" "$fraction" "$fracfile"
    expect_eq "the JSON summary against the exact model" "$?" 0
    printf '1/2\n3/4\ninvalid\n-1/4\n' | fracfile pack in.frac
    fraction --report --summary=json in.frac >stdout.txt 2>stderr.txt
    expect_eq "JSON: status and errors" "$?:$(cat stderr.txt)" "0:"
    expect_eq "JSON: the object alone" "$(cat stdout.txt)" '{"records":4,"valid":3,"invalid":1,"sum":"1/1","average":"1/3","median":"1/2","least":"-1/4","greatest":"3/4","sum_value":1,"average_value":0.3333333333333333,"median_value":0.5,"least_value":-0.25,"greatest_value":0.75}'
    python3 -m json.tool stdout.txt >/dev/null
    expect_eq "JSON: python's parser takes it" "$?" 0
    if command -v jq >/dev/null; then
        expect_eq "JSON: jq takes it" "$(jq -r '.median + " " + (.valid | tostring)' stdout.txt)" "1/2 3"
    fi
    # The output file is written as with the text summary.
    fraction --report --summary=json in.frac out.frac >/dev/null 2>&1
    expect_eq "JSON: the output file" "$(fracfile dump out.frac)" $'count 4\n3/4\n1/2\n-1/4\ninvalid'
    fraction --report --summary=yaml in.frac >stdout.txt 2>stderr.txt
    expect_eq "an unknown summary form: status" "$?" 2
    expect_eq "an unknown summary form: the reason" "$(head -n 1 stderr.txt)" "fraction: invalid summary form 'yaml': expected json, or none"
    ;;
fracfile-scripts)
    # The records alone, for sort, awk and mlr; an integer alone packs as n/1.
    printf '3\n-7\n 1/2 \n0\ninvalid\n' | pack integers.frac
    expect_eq "integers pack as n/1" "$(dump integers.frac)" $'count 5\n3/1\n-7/1\n1/2\n0/1\ninvalid'
    "$fracfile" dump --no-count integers.frac >stdout.txt 2>stderr.txt
    expect_eq "dump --no-count: status, errors" "$?:$(cat stderr.txt)" "0:"
    expect_eq "dump --no-count: the records alone" "$(cat stdout.txt)" $'3/1\n-7/1\n1/2\n0/1\ninvalid'
    "$fracfile" --no-count dump - <integers.frac >stdout.txt
    expect_eq "--no-count before the command, from standard input" "$(head -n 1 stdout.txt)" "3/1"
    expect_true "records alone pack back the same" '"$fracfile" pack again.frac <stdout.txt && cmp -s again.frac integers.frac'
    printf '2147483648\n' | "$fracfile" pack big.frac 2>stderr.txt
    expect_eq "an integer outside 32 bits: status" "$?" 1
    expect_eq "an integer outside 32 bits: the reason" "$(cat stderr.txt)" "fracfile: line 1: a part outside the 32-bit range: '2147483648'"
    printf '1/2\n' | "$fracfile" pack --no-count x.frac 2>stderr.txt
    expect_eq "--no-count with pack: wrong usage" "$?:$(head -n 1 stderr.txt)" "2:fracfile: --no-count is an option of dump"
    expect_true "--no-count with pack: nothing written" '[ ! -e x.frac ]'
    ;;
not-to-terminal)
    # A fraction file is not written to a terminal: one line with the reason,
    # status 1, nothing written, not even the self-test's record file. The
    # terminal is a pseudo-terminal that python3 opens.
    command -v python3 >/dev/null || { echo "$group: python3, which opens the terminal, is missing"; exit 77; }
    # A Windows program sees a console, not the pseudo-terminal: Wine draws
    # on it with sequences of its own.
    if [ "${FRACTION_SYSTEM:-Linux}" = Windows ]; then
        echo "$group: a pseudo-terminal is POSIX's"
        exit 77
    fi
    printf '1/2\n' | pack in.frac
    # on_terminal COMMAND...: runs it with standard output on a terminal and
    # standard input from in.frac; leaves what the terminal showed in
    # shown.txt, the errors in stderr.txt and the status in $status.
    on_terminal() {
        python3 -c '
import os, pty, subprocess, sys
leader, follower = pty.openpty()
with open("in.frac", "rb") as given, open("stderr.txt", "wb") as errors:
    status = subprocess.run(sys.argv[1:], stdin=given, stdout=follower, stderr=errors).returncode
os.close(follower)
shown = b""
try:
    while True:
        part = os.read(leader, 4096)
        if not part:
            break
        shown += part
except OSError:
    pass
open("shown.txt", "wb").write(shown)
sys.exit(status)' "$@"
        status=$?
    }
    reason="standard output is a terminal: a fraction file is not written there"
    for command in "$fraction --report in.frac -" "$fraction --report -q - -" "$fraction --report --summary=json in.frac -"; do
        rm -f unitTest.dat
        # shellcheck disable=SC2086 # the words of the command
        on_terminal $command
        expect_eq "$command: status" "$status" 1
        expect_eq "$command: the reason" "$(cat stderr.txt)" "fraction: $reason"
        expect_eq "$command: nothing shown" "$(cat shown.txt)" ""
        expect_true "$command: no self-test run" '[ ! -e unitTest.dat ]'
    done
    on_terminal "$fracfile" pack -
    expect_eq "pack -: status" "$status" 1
    expect_eq "pack -: the reason" "$(cat stderr.txt)" "fracfile: $reason"
    expect_eq "pack -: nothing shown" "$(cat shown.txt)" ""
    # The report's text goes to a terminal as ever.
    on_terminal "$fraction" --report --summary in.frac
    expect_eq "a summary to the terminal: status" "$status" 0
    expect_contains "a summary to the terminal: shown" "$(cat shown.txt)" "The greatest is 1 / 2 "
    ;;
*)
    echo "unknown group $group" >&2
    exit 2
    ;;
esac

echo "$group: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
