#!/usr/bin/env bash
# End-to-end tests of what the programs owe a user's files: output names
# that are streams, signals, long names, the self-test's record file, what a
# replacement keeps, memory limits and failing system calls. Each group runs
# in a fresh temporary directory.
# Usage: nothing_lost_test.sh FRACTION FRACFILE FRACTION_FAULTY FRACFILE_FAULTY GROUP
# (the _FAULTY programs are the test build with fault injection, see
# FaultInjection.cpp).
# The checks are written in single quotes on purpose: expect_true evaluates
# them when it runs, in the group's directory.
# shellcheck disable=SC2016
set -uo pipefail
# shellcheck source=tests/group_checks.sh
source "$(dirname "$(realpath "$0")")/group_checks.sh"
chmod 755 "$workdir"

hex() { od -An -tx1 "$@" | tr -d ' \n'; }
# The hidden temporary files left in the directory (or in $1).
leftovers() { find "${1:-.}" -maxdepth 1 -name '.*' ! -name . -printf '%f '; }

self_test_lines=$'- 1245 / 1230 \n- 42377 / 29457 \n- 5406247 / 3750 \nAll unit tests completed'
# The sample as a fraction file, and the file the report writes of it.
sample_bytes="0200000003000000040000000100000002000000"
printf '1/2\n3/4\n' | "$fracfile" pack in.frac
printf '1/2\n' | "$fracfile" pack one.frac
one_bytes="010000000100000002000000"
posix_only() {
    [ "${FRACTION_SYSTEM:-Linux}" != Windows ] || skip "$1 are POSIX's"
}

case "$group" in
streams)
    posix_only "/dev/stdout, pipes and FIFOs"
    # A log that standard output appends to keeps its line; the report's
    # text and then the records follow it, in order.
    echo "previous log line" >run.log
    printf 'in.frac\n/dev/stdout\n' | "$fraction" --report >>run.log 2>stderr.txt
    expect_eq "the log: status" "$?" 0
    expect_eq "the log: nothing on standard error" "$(cat stderr.txt)" ""
    expect_eq "the log: first its line" "$(head -n 1 run.log)" "previous log line"
    expect_contains "the log: then the report" "$(head -c -20 run.log)" $'previous log line\n- 1245 / 1230 \n'
    expect_eq "the log: then the records" "$(tail -c 20 run.log | hex)" "$sample_bytes"
    expect_contains "the log: the prompt right before them" "$(head -c -20 run.log)" "output file name ? "

    { echo HEADER; "$fracfile" pack /dev/stdout <<<"1/2"; echo TRAILER; } >combined.bin
    expect_eq "braces: header, records, trailer" "$(hex combined.bin)" \
        "$(printf 'HEADER\n' | hex)${one_bytes}$(printf 'TRAILER\n' | hex)"

    # The same file by other names.
    { echo HEADER; "$fracfile" pack /proc/self/fd/1 <<<"1/2"; } >by-fd.bin
    expect_eq "/proc/self/fd/1" "$(hex by-fd.bin)" "$(printf 'HEADER\n' | hex)${one_bytes}"
    { echo HEADER >&2; "$fracfile" pack /dev/fd/2 <<<"1/2"; } 2>by-stderr.bin
    expect_eq "/dev/fd/2" "$(hex by-stderr.bin)" "$(printf 'HEADER\n' | hex)${one_bytes}"
    echo HEADER >named.bin
    # The point: the output is the very file standard output appends to.
    # shellcheck disable=SC2094
    "$fracfile" pack named.bin <<<"1/2" >>named.bin
    expect_eq "standard output's file by its own name" "$(hex named.bin)" \
        "$(printf 'HEADER\n' | hex)${one_bytes}"
    printf 'in.frac\n/dev/stderr\n' | "$fraction" --report >/dev/null 2>report-errors.bin
    expect_eq "/dev/stderr" "$(hex report-errors.bin)" "$sample_bytes"

    # Pipes.
    printf 'in.frac\n/dev/stdout\n' | "$fraction" --report | tail -c 20 >piped.bin
    expect_eq "the report into a pipe: status" "${PIPESTATUS[1]}" 0
    expect_eq "the report into a pipe" "$(hex piped.bin)" "$sample_bytes"
    "$fracfile" pack /dev/stdout <<<"1/2" | cat >piped.bin
    expect_eq "fracfile into a pipe: status" "${PIPESTATUS[0]}" 0
    expect_eq "fracfile into a pipe" "$(hex piped.bin)" "$one_bytes"

    mkfifo fifo
    cat fifo >from-fifo.bin &
    reader=$!
    "$fracfile" pack fifo <<<"1/2"
    expect_eq "fracfile into a FIFO: status" "$?" 0
    wait "$reader"
    expect_eq "fracfile into a FIFO" "$(hex from-fifo.bin)" "$one_bytes"
    expect_true "the FIFO is still one" '[ -p fifo ]'
    expect_eq "nothing left behind" "$(leftovers)" ""
    ;;
signals)
    posix_only "signals"
    # The test build stops itself (SIGSTOP) at the named call, which makes
    # "while it writes" a moment the test can wait for.
    # stopped PID: true once the process is stopped (its state in /proc,
    # which needs no ps).
    stopped() { [ "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)" = T ]; }
    # stop_at STOP_AT PROGRAM ARGS...: runs the program with the answers in
    # answers.txt and waits until it has stopped at STOP_AT; leaves its
    # process in $pid and the temporary files seen in $seen.
    stop_at() {
        local stop_at=$1
        shift
        # A job started with & has SIGINT and SIGQUIT ignored; env gives
        # them back.
        FRACTION_FAULT="$stop_at:stop" env --default-signal=INT,QUIT "$@" \
            <answers.txt >stdout.txt 2>stderr.txt &
        pid=$!
        seen=""
        for ((try = 0; try < 500; ++try)); do
            stopped "$pid" && break
            sleep 0.01
        done
        seen=$(leftovers)
    }
    # go_on: lets the stopped program go on, and leaves its exit status in
    # $status.
    go_on() {
        kill -s CONT "$pid"
        wait "$pid"
        status=$?
    }
    # interrupt SIGNAL STOP_AT PROGRAM ARGS...: stops the program at
    # STOP_AT with its temporary file made, sends SIGNAL and lets it go on.
    interrupt() {
        local signal=$1
        shift
        stop_at "$@"
        kill -s "$signal" "$pid"
        go_on
    }
    # SIGQUIT and SIGXCPU would leave a core file.
    ulimit -c 0
    printf 'keep me\n' >kept.frac
    printf 'in.frac\nkept.frac\n' >answers.txt
    # Every signal that ends a process unless handled, and that says "stop
    # now" (IO is SIGPOLL's other name, the one bash knows).
    for signal in TERM HUP INT PIPE QUIT ALRM XCPU VTALRM PROF IO; do
        number=$(kill -l "$signal")
        # Quiet: no write of the report's text comes before the file's.
        interrupt "$signal" write:2 "$fraction_faulty" --report -q
        expect_contains "report, SIG$signal: the temporary file was there" "$seen" ".kept.frac."
        expect_eq "report, SIG$signal: ended by the signal" "$status" $((128 + number))
        expect_eq "report, SIG$signal: nothing left" "$(leftovers)" ""
        expect_eq "report, SIG$signal: the old file whole" "$(hex kept.frac)" "$(echo 'keep me' | hex)"

        printf '1/2\n' >answers.txt
        interrupt "$signal" write:1 "$fracfile_faulty" pack kept.frac
        expect_contains "pack, SIG$signal: the temporary file was there" "$seen" ".kept.frac."
        expect_eq "pack, SIG$signal: ended by the signal" "$status" $((128 + number))
        expect_eq "pack, SIG$signal: nothing left" "$(leftovers)" ""
        expect_eq "pack, SIG$signal: the old file whole" "$(hex kept.frac)" "$(echo 'keep me' | hex)"
        printf 'in.frac\nkept.frac\n' >answers.txt
    done

    # The self-test's temporary file goes too.
    interrupt TERM write:1 "$fraction_faulty" -q
    expect_contains "self-test: the temporary file was there" "$seen" ".unitTest.dat."
    expect_eq "self-test: ended by the signal" "$status" 143
    expect_eq "self-test: nothing left" "$(leftovers)" ""

    # The temporary file is reached through its directory, held open: a
    # directory moved during the write keeps nothing, whether the run is
    # ended by a signal, completes, or fails.
    moved() {
        mkdir -p dir
        printf 'keep me\n' >dir/kept.frac
        printf 'in.frac\ndir/kept.frac\n' >answers.txt
        stop_at write:2 "$fraction_faulty" --report -q
        rm -rf moved
        mv dir moved
    }
    moved
    kill -s TERM "$pid"
    go_on
    expect_eq "a moved directory, SIGTERM: ended by it" "$status" 143
    expect_eq "a moved directory, SIGTERM: nothing left" "$(leftovers moved)" ""
    expect_eq "a moved directory, SIGTERM: the old file whole" "$(hex moved/kept.frac)" \
        "$(echo 'keep me' | hex)"
    moved
    go_on
    expect_eq "a moved directory, completed: status" "$status" 0
    expect_eq "a moved directory, completed: written there" "$(hex moved/kept.frac)" "$sample_bytes"
    expect_eq "a moved directory, completed: nothing left" "$(leftovers moved)" ""
    moved
    # A directory in the target's place cannot be replaced by a file.
    rm moved/kept.frac
    mkdir moved/kept.frac
    go_on
    expect_eq "a moved directory, failed: status" "$status" 1
    # Quiet, the prompt goes to standard error, before the reason.
    expect_eq "a moved directory, failed: the reason" "$(tail -n 1 stderr.txt)" \
        "Please enter an output file name ? fraction: dir/kept.frac: cannot replace the file: Is a directory"
    expect_eq "a moved directory, failed: nothing left" "$(leftovers moved)" ""
    rm -rf moved

    # SIGXFSZ is ignored, sent or not: the write past the limit fails.
    printf 'in.frac\nkept.frac\n' >answers.txt
    interrupt XFSZ write:2 "$fraction_faulty" --report -q
    expect_eq "report, SIGXFSZ sent: ignored" "$status" 0
    expect_eq "report, SIGXFSZ sent: written" "$(hex kept.frac)" "$sample_bytes"
    # A file-size limit that the output passes: the reason in one line,
    # status 1, the old file whole, nothing left. ThreadSanitizer's runtime
    # keeps SIGXFSZ for itself whatever the program asks, so that a write
    # past the limit ends any program built with it.
    if [ "${FRACTION_SANITIZE_THREAD:-0}" = 1 ]; then
        echo "past ulimit -f: not under ThreadSanitizer, which does not let SIGXFSZ be ignored"
    else
        for ((n = 0; n < 3000; ++n)); do echo "$n/7"; done | "$fracfile" pack large.frac
        printf 'keep me\n' >kept.frac
        printf 'keep me\n' >unitTest.dat
        # Through a pipe, which no file-size limit reaches.
        told=$( (ulimit -f 10 && "$fraction" --report -q large.frac kept.frac) 2>&1)
        expect_eq "report past ulimit -f: status" "$?" 1
        expect_eq "report past ulimit -f: the reason" "$told" "fraction: kept.frac: cannot write: File too large"
        told=$( (ulimit -f 0 && "$fracfile" pack kept.frac <<<"1/2") 2>&1)
        expect_eq "pack past ulimit -f: status" "$?" 1
        expect_eq "pack past ulimit -f: the reason" "$told" "fracfile: kept.frac: cannot write: File too large"
        expect_eq "past ulimit -f: the old file whole" "$(hex kept.frac)" "$(echo 'keep me' | hex)"
        "$fraction" </dev/null >/dev/null
        cp unitTest.dat record.dat
        told=$( (ulimit -f 0 && "$fraction" </dev/null 2>&1 >/dev/null) 2>&1)
        expect_eq "self-test past ulimit -f: goes on with the earlier record" "$?" 0
        expect_eq "self-test past ulimit -f: the reason" "$(head -n 1 <<<"$told")" \
            "fraction: unitTest.dat: cannot write: File too large"
        expect_eq "self-test past ulimit -f: the record whole" "$(hex unitTest.dat)" "$(hex record.dat)"
        expect_eq "past ulimit -f: nothing left" "$(leftovers)" ""
    fi

    # A background job of a shell without job control starts with SIGINT
    # ignored: it stays ignored, and the run completes.
    FRACTION_FAULT=write:2:stop "$fraction_faulty" --report <answers.txt >stdout.txt 2>&1 &
    pid=$!
    for ((try = 0; try < 500; ++try)); do
        stopped "$pid" && break
        sleep 0.01
    done
    kill -s INT "$pid"
    kill -s CONT "$pid"
    wait "$pid"
    status=$?
    expect_eq "an ignored SIGINT stays ignored: status" "$status" 0
    expect_eq "an ignored SIGINT stays ignored: written" "$(hex kept.frac)" "$sample_bytes"
    ;;
names)
    posix_only "the 255-byte limit on a name"
    long=$(printf 'n%.0s' {1..250}).frac
    expect_eq "the name is 255 bytes" "${#long}" 255
    printf 'in.frac\n%s\n' "$long" | "$fraction" --report >/dev/null 2>stderr.txt
    expect_eq "report, a new 255-byte name: status" "$?" 0
    expect_eq "report, a new 255-byte name: written" "$(hex "$long")" "$sample_bytes"
    "$fracfile" pack "$long" <<<"1/2" 2>stderr.txt
    expect_eq "pack, an existing 255-byte name: status" "$?" 0
    expect_eq "pack, an existing 255-byte name: replaced" "$(hex "$long")" "$one_bytes"
    expect_eq "nothing left behind" "$(leftovers)" ""
    ;;
interrupted)
    posix_only "signals"
    command -v python3 >/dev/null || skip "python3, which times the signals, is missing"
    # Each program is ended at random moments by each signal, again and
    # again: a file made or renamed at the moment a signal falls must not
    # stay. Fewer runs where every run is slow. The quick count still ends
    # a run at the narrowest moment that loses a file (the default action
    # back before the handler has blocked the signal) a few times over; the
    # full count makes a rarer one likely.
    if [ -n "${FRACTION_SANITIZED:-}${FRACTION_EMULATED:-}" ]; then
        quick=60 full=300
    else
        quick=200 full=1500
    fi
    if [ "${FRACTION_FULL_TESTS:-0}" = 1 ]; then
        runs=${FRACTION_INTERRUPTIONS:-$full}
    else
        runs=${FRACTION_INTERRUPTIONS:-$quick}
    fi
    printf 'old\n' >old.bin
    "$fraction" </dev/null >/dev/null
    mv unitTest.dat record.new
    printf 'in.frac\nreport.new\n' | "$fraction" --report >/dev/null
    expect_eq "the record a self-test writes" "$(hex record.new)" "775affff11730000"
    expect_eq "the file a report writes" "$(hex report.new)" "$sample_bytes"
    printf 'in.frac\nout.frac\n' >answers.txt
    printf '1/2\n' >half.txt
    # interrupted INPUT TARGET NEW PROGRAM ARGS...: runs the program with
    # standard input from INPUT, ending runs by $signal, and checks that
    # nothing stays and TARGET holds its old bytes or those of NEW.
    interrupted() {
        local input=$1 target=$2 new=$3
        shift 3
        python3 "$here/interrupt_runs.py" "$signal" "$runs" "$input" "$target" old.bin "$new" "$@"
        status=$?
        expect_eq "SIG$signal, $(basename "$1"): nothing left, $target old or new" "$status" 0
    }
    for signal in INT TERM HUP PIPE; do
        interrupted /dev/null unitTest.dat record.new "$fraction"
        interrupted answers.txt out.frac report.new "$fraction" --report
        interrupted half.txt kept.frac one.frac "$fracfile" pack kept.frac
    done
    ;;
self-test)
    posix_only "links and permissions"
    mkdir crowd
    (
        cd crowd || exit 1
        for ((i = 0; i < 30; ++i)); do
            "$fraction" >"out.$i" 2>"err.$i" </dev/null &
            pids[i]=$!
        done
        for ((i = 0; i < 30; ++i)); do
            wait "${pids[i]}"
            echo $?
        done >statuses.txt
    )
    expect_eq "30 self-tests in one directory all pass" "$(sort -u crowd/statuses.txt)" 0
    expect_eq "30 self-tests: no message" "$(cat crowd/err.*)" ""
    expect_eq "30 self-tests: the record" "$(hex crowd/unitTest.dat)" "775affff11730000"
    expect_eq "30 self-tests: nothing left" "$(leftovers crowd)" ""

    mkdir linked
    printf 'precious\n' >linked/target.txt
    ln -s target.txt linked/unitTest.dat
    (cd linked && "$fraction" >/dev/null 2>&1 </dev/null)
    expect_eq "a link named unitTest.dat: the file it points to untouched" \
        "$(cat linked/target.txt)" "precious"
    expect_true "a link named unitTest.dat: replaced by the file" \
        '[ -f linked/unitTest.dat ] && [ ! -L linked/unitTest.dat ]'
    expect_eq "a link named unitTest.dat: the record" "$(hex linked/unitTest.dat)" "775affff11730000"

    if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null; then
        echo "self-test: the read-only directory needs root and setpriv: not tried"
    else
        mkdir -m 755 locked
        (cd locked && setpriv --reuid=nobody --regid=nogroup --clear-groups \
            "$fraction" </dev/null >../stdout.txt 2>../stderr.txt)
        status=$?
        expect_eq "a read-only directory: the reason first" "$(head -n 1 stderr.txt)" \
            "fraction: unitTest.dat: cannot write: Permission denied"
        expect_contains "a read-only directory: then the failed check" "$(cat stderr.txt)" \
            "f1.equal(f2)"
        expect_true "a read-only directory: an abnormal end" '[ "$status" -gt 128 ]'

        # An earlier run's record still makes the round trip: the reason is
        # told, and the self-test goes on.
        "$fraction" >/dev/null </dev/null && mv unitTest.dat locked/
        (cd locked && setpriv --reuid=nobody --regid=nogroup --clear-groups \
            "$fraction" </dev/null >../stdout.txt 2>../stderr.txt)
        expect_eq "an earlier record: status" "$?" 0
        expect_eq "an earlier record: the reason" "$(head -n 1 stderr.txt)" \
            "fraction: unitTest.dat: cannot write: Permission denied"
        expect_eq "an earlier record: the self-test's lines" "$(cat stdout.txt)" "$self_test_lines"
    fi
    ;;
keeping)
    posix_only "owners, hard links and permission bits"
    printf 'old\n' >linked.frac
    ln linked.frac other-name.frac
    "$fracfile" pack linked.frac <<<"1/2"
    expect_eq "a hard link: status" "$?" 0
    expect_eq "a hard link: written" "$(hex linked.frac)" "$one_bytes"
    expect_eq "a hard link: the other name sees it too" "$(hex other-name.frac)" "$one_bytes"
    expect_eq "a hard link: still two names" "$(stat -c %h linked.frac)" 2
    printf 'in.frac\nother-name.frac\n' | "$fraction" --report >/dev/null
    expect_eq "a hard link, by the report" "$(hex linked.frac)" "$sample_bytes"

    if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null; then
        echo "keeping: owners and other users need root and setpriv: not tried"
    else
        printf 'old\n' >theirs.frac
        chown nobody:nogroup theirs.frac && chmod 640 theirs.frac
        printf 'in.frac\ntheirs.frac\n' | "$fraction" --report >/dev/null
        expect_eq "the owner kept: replaced" "$(hex theirs.frac)" "$sample_bytes"
        expect_eq "the owner kept" "$(stat -c '%U:%G %a' theirs.frac)" "nobody:nogroup 640"
        "$fracfile" pack theirs.frac <<<"1/2"
        expect_eq "the owner kept, by pack" "$(stat -c '%U:%G %a' theirs.frac)" "nobody:nogroup 640"

        # A writable file in a directory that takes no new file from this
        # user: written in place, as cat > file would.
        mkdir -m 755 shut && printf 'old\n' >shut/open.frac && chmod 666 shut/open.frac
        cp in.frac shut/in.frac
        # The self-test's round trip there passes on an earlier record.
        (cd shut && "$fraction" >/dev/null </dev/null)
        (cd shut && printf 'in.frac\nopen.frac\n' |
            setpriv --reuid=nobody --regid=nogroup --clear-groups "$fraction" --report \
                >../stdout.txt 2>../stderr.txt)
        expect_eq "a writable file in a shut directory: status" "$?" 0
        expect_eq "a writable file in a shut directory: written" "$(hex shut/open.frac)" "$sample_bytes"
        (cd shut && setpriv --reuid=nobody --regid=nogroup --clear-groups \
            "$fracfile" pack open.frac <<<"1/2")
        expect_eq "a writable file in a shut directory, by pack" "$(hex shut/open.frac)" "$one_bytes"
        expect_eq "a shut directory: nothing left" "$(leftovers shut)" ""
    fi
    ;;
memory)
    posix_only "stack and address-space limits"
    for ((i = 0; i < 3000; ++i)); do echo "$i/7"; done | "$fracfile" pack wide.frac
    printf 'wide.frac\nwide-out.frac\n' | (ulimit -s 64 && "$fraction" --report >stdout.txt 2>stderr.txt)
    expect_eq "a 64 KiB stack: the report completes" "$?" 0
    expect_eq "a 64 KiB stack: written" "$(head -c 4 wide-out.frac | hex)" "b80b0000"
    (ulimit -s 64 && "$fracfile" dump wide.frac | "$fracfile" pack wide-again.frac)
    expect_eq "a 64 KiB stack: pack completes" "$?" 0
    expect_true "a 64 KiB stack: pack writes the same bytes" 'cmp -s wide.frac wide-again.frac'

    if [ "${FRACTION_SANITIZED:-0}" = 1 ] || [ "${FRACTION_EMULATED:-0}" = 1 ] ||
        [ "${FRACTION_COVERAGE:-0}" = 1 ]; then
        # (A coverage build writes its counts at exit, and that writer
        # itself crashes when memory runs out.)
        echo "memory: the address-space sweep cannot run under the sanitizers, an emulator or coverage: not tried"
        echo "memory: a 50 MB line in 24 MB of address space: not tried"
    elif ! command -v prlimit >/dev/null; then
        echo "memory: the address-space sweep needs prlimit: not tried"
    else
        # pack holds no more of a line than any valid one needs: a 50 MB line
        # in 24 MB of address space is told as a bad line, not as memory
        # running out, and so is a line that goes on past the spaces
        # allowed around a record.
        printf 'keep me\n' >kept.frac
        head -c 50000000 /dev/zero | tr '\0' x |
            (ulimit -v 24576 && "$fracfile" pack kept.frac >/dev/null 2>stderr.txt)
        expect_eq "a 50 MB line: status" "$?" 1
        expect_eq "a 50 MB line: a bad line" "$(cat stderr.txt)" \
            "fracfile: line 1: not a fraction: '$(printf 'x%.0s' {1..40})'..."
        printf '%100000s1/2\n3/4\n' '' |
            (ulimit -v 24576 && "$fracfile" pack kept.frac >/dev/null 2>stderr.txt)
        expect_eq "100 KB of spaces before a record: status" "$?" 1
        expect_contains "100 KB of spaces before a record: a bad line" "$(cat stderr.txt)" \
            "fracfile: line 1: not a fraction: '      "
        expect_eq "long lines: the old file whole" "$(cat kept.frac)" "keep me"
        expect_eq "long lines: nothing left" "$(leftovers)" ""

        # Every limit from where the program cannot start at all to where it
        # completes: it ends with 0 or 1, never by a signal, never leaving a
        # temporary file.
        printf 'keep me\n' >kept.frac
        bad=""
        completed=0
        for ((kib = 2048; kib <= 12288; kib += 32)); do
            printf 'in.frac\nkept.frac\n' |
                prlimit --as=$((kib * 1024)) "$fraction" --report >stdout.txt 2>stderr.txt
            status=$?
            if [ "$status" -eq 0 ]; then
                completed=$((completed + 1))
                [ "$(hex kept.frac)" = "$sample_bytes" ] || bad+=" $kib:written-wrong"
                printf 'keep me\n' >kept.frac
            elif [ "$status" -eq 1 ]; then
                [ "$(cat kept.frac)" = "keep me" ] || bad+=" $kib:old-file-lost"
                [ "$(wc -l <stderr.txt)" -ge 1 ] || bad+=" $kib:silent"
            elif [ ! -s stdout.txt ] &&
                ! prlimit --as=$((kib * 1024)) "$fraction" --version >/dev/null 2>&1; then
                # The program never started: the loader could not map it
                # (127), or, for a static program, the kernel ran out of room
                # in the middle of exec and killed it (SIGSEGV); its smallest
                # run, --version, fails the same way.
                :
            else
                bad+=" $kib:status-$status"
            fi
            [ -z "$(leftovers)" ] || bad+=" $kib:left-$(leftovers)"
            rm -f .kept.frac.* .unitTest.dat.*
        done
        expect_eq "every address-space limit ends with 0 or 1, nothing left" "$bad" ""
        expect_true "the sweep reaches limits where the report completes" '[ "$completed" -gt 0 ]'
    fi
    ;;
faults)
    posix_only "the fault-injecting build"
    # Every call of each operation on the output path fails in turn, the
    # 1st, the 2nd, ..., until a run completes. After each failing run: exit
    # status 1, one line naming the file and the system's reason, the old
    # file byte for byte as before, nothing left behind.
    for ((i = 0; i < 5000; ++i)); do echo "$i/3"; done | "$fracfile" pack big.frac
    "$fracfile" dump big.frac >big.txt
    printf 'the old contents\n' >old.bin
    # The self-test's calls come first in the report's runs; an earlier
    # record lets its round trip pass when they fail.
    "$fraction" >/dev/null </dev/null
    cp unitTest.dat old-record.bin
    # sweep OPERATION WHAT PROGRAM...: runs the program with its answers
    # from answers.txt on target.frac until it completes.
    sweep() {
        local operation=$1 what=$2 k
        shift 2
        for ((k = 1; k <= 200; ++k)); do
            cp old.bin target.frac
            cp old-record.bin unitTest.dat
            # Descriptor 3 is a pipe, a fresh one each run.
            FRACTION_FAULT="$operation:$k:$what" "$@" <answers.txt >stdout.txt 2>stderr.txt \
                3< <(cat big.frac)
            status=$?
            local run
            run="$operation:$k:$what $(basename "$1")"
            expect_eq "$run: nothing left behind" "$(leftovers)" ""
            if [ "$status" -eq 0 ] && [ ! -s stderr.txt ]; then
                expect_true "$run: completed, written" \
                    '[ "$(hex target.frac)" != "$(hex old.bin)" ]'
                # Only a removal is never needed on the way to success: every
                # other operation must have been made to fail at least once.
                [ "$operation" = remove ] ||
                    expect_true "$operation: some call failed before a run completed" '[ "$k" -gt 1 ]'
                return
            fi
            local message
            message=$(cat stderr.txt)
            if [[ "$message" == "fraction: unitTest.dat: "* ]]; then
                # The self-test's file: told, and the earlier record kept.
                expect_eq "$run: the self-test's file: one line, the reason" \
                    "$(wc -l <stderr.txt)" 1
                expect_contains "$run: the self-test's file: the reason" "$message" "$reason"
                expect_true "$run: the self-test's file: the earlier record kept" \
                    'cmp -s unitTest.dat old-record.bin'
                continue
            fi
            expect_eq "$run: status" "$status" 1
            expect_eq "$run: the old file as before" "$(hex target.frac)" "$(hex old.bin)"
            if [ "$operation" = allocate ]; then
                expect_eq "$run: one line" "$(wc -l <stderr.txt)" 1
                expect_contains "$run: the reason" "$message" "out of memory"
                expect_eq "$run: the program named once" \
                    "$(grep -o -E '(fraction|fracfile): ' stderr.txt | wc -l)" 1
            else
                # A refused name is told, then asked again; no answer is left.
                # A write may fail on the report's own text, on standard output.
                local named="target.frac: "
                [[ "$message" == "fraction: cannot write standard output: "* ]] &&
                    named="standard output: "
                expect_contains "$run: names the file and the reason" "$(head -n 1 stderr.txt)" \
                    "$named"
                expect_contains "$run: the reason" "$(head -n 1 stderr.txt)" "$reason"
            fi
        done
        fail "$operation:$what: no run completed in 200"
    }
    for fault in create:EIO:"Input/output error" write:ENOSPC:"No space left on device" \
        flush:EIO:"Input/output error" chmod:EPERM:"Operation not permitted" \
        chown:EIO:"Input/output error" close:EIO:"Input/output error" \
        rename:EACCES:"Permission denied" remove:EIO:"Input/output error" \
        allocate:EIO:"out of memory"; do
        IFS=: read -r operation what reason <<<"$fault"
        printf 'big.frac\ntarget.frac\n' >answers.txt
        sweep "$operation" "$what" "$fraction_faulty" --report
        cp big.txt answers.txt
        sweep "$operation" "$what" "$fracfile_faulty" pack target.frac
    done
    # After the rename the directory is flushed, so that a crash cannot
    # bring the old file back. A flush that fails is told, the new file in
    # place; one the file system refuses to do is no failure. The report's
    # output is its second file, after the self-test's record.
    for writer in "report:2:fraction: target.frac" "pack:1:fracfile: target.frac" \
        "self-test:1:fraction: unitTest.dat"; do
        IFS=: read -r name k told <<<"$writer"
        case $name in
        report) run=("$fraction_faulty" --report) answers='big.frac\ntarget.frac\n' ;;
        pack) run=("$fracfile_faulty" pack target.frac) answers='1/2\n' ;;
        self-test) run=("$fraction_faulty") answers='' ;;
        esac
        printf '%b' "$answers" >answers.txt
        for what in EIO EINVAL EOPNOTSUPP; do
            cp old.bin target.frac
            cp old.bin unitTest.dat
            FRACTION_FAULT="dirsync:$k:$what" "${run[@]}" <answers.txt >/dev/null 2>stderr.txt
            status=$?
            if [ "$what" = EIO ]; then
                if [ "$name" = self-test ]; then
                    expect_eq "$name, a failed flush of the directory: goes on" "$status" 0
                else
                    expect_eq "$name, a failed flush of the directory: status" "$status" 1
                fi
                expect_eq "$name, a failed flush of the directory: told" "$(cat stderr.txt)" \
                    "$told: replaced, but a crash may undo it: Input/output error"
            else
                expect_eq "$name, a flush refused ($what): status" "$status" 0
                expect_eq "$name, a flush refused ($what): nothing said" "$(cat stderr.txt)" ""
            fi
            expect_eq "$name, dirsync:$what: nothing left" "$(leftovers)" ""
        done
        # At the flush the file is in place already.
        cp old.bin target.frac
        cp old.bin unitTest.dat
        FRACTION_FAULT="dirsync:$k:stop" "${run[@]}" <answers.txt >/dev/null 2>&1 &
        pid=$!
        state=""
        for ((try = 0; try < 500; ++try)); do
            state=$(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null | cut -c1)
            [ "$state" = T ] && break
            sleep 0.01
        done
        expect_eq "$name: stopped at the flush of the directory" "$state" T
        # The file the message names, after the program's name.
        expect_true "$name: flushed after the rename" \
            '[ "$(hex "${told##*: }")" != "$(hex old.bin)" ] && [ -z "$(leftovers)" ]'
        kill -s CONT "$pid"
        wait "$pid"
        expect_eq "$name, stopped at the flush: status" "$?" 0
    done
    cp old-record.bin unitTest.dat

    # A file with a second name is written in place: its opening may fail.
    ln target.frac twin.frac
    printf 'big.frac\ntarget.frac\n' >answers.txt
    reason="Input/output error"
    sweep create EIO "$fraction_faulty" --report
    rm twin.frac
    # A long line of text grows the string that holds it, and each growth
    # may be refused: that is no failure to read.
    { printf '# %0100000d\n' 0; cat big.txt; } >answers.txt
    reason="out of memory"
    sweep allocate EIO "$fracfile_faulty" pack target.frac
    # A message that quotes a long bad line is made whole before any of it
    # is written, so that a refused allocation is told alone.
    printf 'x%0100000d\n' 0 >answers.txt
    for ((k = 1; k <= 100; ++k)); do
        FRACTION_FAULT="allocate:$k:EIO" "$fracfile_faulty" pack target.frac \
            <answers.txt >/dev/null 2>stderr.txt
        status=$?
        expect_eq "allocate:$k, a long bad line: status" "$status" 1
        expect_eq "allocate:$k, a long bad line: the program named once, in one line" \
            "$(grep -o 'fracfile: ' stderr.txt | wc -l) $(wc -l <stderr.txt)" "1 1"
        grep -q 'out of memory' stderr.txt || break
    done
    expect_contains "a long bad line is told once no allocation fails" "$(cat stderr.txt)" \
        "line 1: not a fraction"
    # So is a usage error that quotes a long option.
    long_option=--$(printf '%05000d' 0)
    for ((k = 1; k <= 100; ++k)); do
        FRACTION_FAULT="allocate:$k:EIO" "$fraction_faulty" --report "$long_option" \
            </dev/null >/dev/null 2>stderr.txt
        expect_eq "allocate:$k, a long bad option: the program named once" \
            "$(grep -o 'fraction: ' stderr.txt | wc -l)" 1
        grep -q 'out of memory' stderr.txt || break
    done
    expect_contains "a long bad option is told once no allocation fails" "$(cat stderr.txt)" \
        "unrecognized option"
    # A fraction file from a pipe is read in growing blocks: each of them
    # may be refused too.
    printf '/dev/fd/3\ntarget.frac\n' >answers.txt
    reason="out of memory"
    sweep allocate EIO "$fraction_faulty" --report

    # The report outside memory, in temporary files that never outlive it.
    for ((i = 0; i < 40000; ++i)); do echo "$((i * 7919 % 1000 - 500))/$((i % 13 + 1))"; done |
        "$fracfile" pack spill.frac
    mkdir spill-dir
    printf 'spill.frac\nexpected.frac\n' >answers.txt
    "$fraction" --report --buffer-size=1 --temporary-directory=spill-dir <answers.txt >expected.txt
    printf 'spill.frac\nspilled.frac\n' >answers.txt
    # spilled FAULT: the faulty report of spill.frac outside memory.
    spilled() {
        cp old.bin spilled.frac
        FRACTION_FAULT=$1 "$fraction_faulty" --report --buffer-size=1 \
            --temporary-directory=spill-dir <answers.txt >stdout.txt 2>stderr.txt
        status=$?
    }
    # A file system without unnamed files says so in one of three ways:
    # the report then names its file and removes the name at once.
    for what in EOPNOTSUPP EISDIR EINVAL; do
        spilled "tmpfile:1:$what"
        expect_eq "no unnamed file ($what): status" "$status" 0
        expect_eq "no unnamed file ($what): nothing said" "$(cat stderr.txt)" ""
        expect_true "no unnamed file ($what): the same file" 'cmp -s spilled.frac expected.frac'
        expect_eq "no unnamed file ($what): nothing left" "$(leftovers spill-dir)" ""
    done
    spilled tmpfile:1:EACCES
    expect_eq "a refused temporary file: status" "$status" 1
    expect_eq "a refused temporary file: the reason" "$(cat stderr.txt)" \
        "fraction: spill-dir: cannot make a temporary file: Permission denied"
    expect_eq "a refused temporary file: the old file kept" "$(hex spilled.frac)" "$(hex old.bin)"
    if [ -d /proc/self ]; then
        # /proc has no unnamed files and takes no named ones either.
        cp old.bin spilled.frac
        "$fraction" --report --buffer-size=1 --temporary-directory=/proc <answers.txt \
            >stdout.txt 2>stderr.txt
        expect_eq "no temporary file of either kind: status" "$?" 1
        expect_eq "no temporary file of either kind: the reason" "$(cat stderr.txt)" \
            "fraction: /proc: cannot make a temporary file: No such file or directory"
        expect_eq "no temporary file of either kind: the old file kept" "$(hex spilled.frac)" \
            "$(hex old.bin)"
    fi
    # A call that a signal interrupted is made again: each write and read
    # in turn, and the report is the same.
    for ((k = 1; k <= 12; ++k)); do
        for operation in write read; do
            spilled "$operation:$k:EINTR"
            expect_eq "$operation:$k:EINTR: status" "$status" 0
            expect_true "$operation:$k:EINTR: the same file" 'cmp -s spilled.frac expected.frac'
        done
    done
    # pack writes its records, then its count over the first bytes.
    for k in 1 2; do
        printf '1/2\n' | FRACTION_FAULT=write:$k:EINTR "$fracfile_faulty" pack interrupted.frac
        expect_eq "pack, write:$k:EINTR: written" "$(hex interrupted.frac)" "$one_bytes"
    done
    # A temporary file that cannot be read back, each read in turn.
    for ((k = 1; k <= 200; ++k)); do
        spilled "read:$k:EIO"
        [ "$status" -eq 0 ] && break
        expect_eq "read:$k:EIO: status" "$status" 1
        expect_eq "read:$k:EIO: the reason" "$(cat stderr.txt)" \
            "fraction: spill-dir: cannot read a temporary file: Input/output error"
        expect_eq "read:$k:EIO: the old file kept" "$(hex spilled.frac)" "$(hex old.bin)"
    done
    expect_true "read:EIO: some read failed before a run completed" '[ "$k" -gt 1 ]'
    expect_true "read:EIO: a run completed, written" 'cmp -s spilled.frac expected.frac'
    expect_eq "temporary files: nothing left" "$(leftovers spill-dir)$(leftovers)" ""
    ;;
reasons)
    posix_only "/proc"
    # Every refusal says why, also for files that cannot tell their length.
    printf '/proc/self/status\nin.frac\nout.frac\n' | "$fraction" --report >/dev/null 2>stderr.txt
    expect_contains "a file whose end cannot be sought: read as a stream" "$(cat stderr.txt)" \
        "fraction: /proc/self/status: header says "
    mkdir folder
    printf 'in.frac\nfolder\nout.frac\n' | "$fraction" --report >/dev/null 2>stderr.txt
    expect_eq "an output name that is a directory: the reason" "$(cat stderr.txt)" \
        "fraction: folder: Is a directory"
    expect_eq "then the next name: written" "$(hex out.frac)" "$sample_bytes"
    printf 'in.frac\nnowhere/out.frac\n' | "$fraction" --report >/dev/null 2>stderr.txt
    expect_eq "an output name in a missing directory: the reason" "$(head -n 1 stderr.txt)" \
        "fraction: nowhere/out.frac: No such file or directory"
    "$fracfile" pack nowhere/out.frac <<<"1/2" 2>stderr.txt
    expect_eq "pack into a missing directory: status" "$?" 1
    expect_eq "pack into a missing directory: the reason" "$(cat stderr.txt)" \
        "fracfile: nowhere/out.frac: No such file or directory"

    # A directory as standard input says so.
    "$fraction" --report - out.frac </ >/dev/null 2>stderr.txt
    expect_eq "a directory as the report's standard input: status" "$?" 1
    expect_eq "a directory as the report's standard input: the reason" "$(cat stderr.txt)" \
        "fraction: standard input: Is a directory"
    "$fracfile" dump - </ >/dev/null 2>stderr.txt
    expect_eq "a directory as dump's standard input: status" "$?" 1
    expect_eq "a directory as dump's standard input: the reason" "$(cat stderr.txt)" \
        "fracfile: standard input: Is a directory"
    if [ "$(uname -s)" = Linux ]; then
        # Each read of the input fails in turn (the test build fails the
        # system's read() beneath the streams), from the count to the last
        # records, until a run completes: every failed run gives the
        # system's reason, in memory and outside, from a file and a pipe.
        for ((i = 0; i < 20000; ++i)); do echo "$i/7"; done | "$fracfile" pack large.frac
        "$fraction" </dev/null >/dev/null
        # read_fails FIRST SOURCE SHOWN PROGRAM ARGS...: from the FIRST-th
        # read on; SOURCE a file, or "pipe" for large.frac through one.
        read_fails() {
            local first=$1 source=$2 shown=$3 k failed=0
            shift 3
            for ((k = first; k < first + 100; ++k)); do
                if [ "$source" = pipe ]; then
                    FRACTION_FAULT="input:$k:EIO" "$@" < <(cat large.frac) >/dev/null 2>stderr.txt
                else
                    FRACTION_FAULT="input:$k:EIO" "$@" <"$source" >/dev/null 2>stderr.txt
                fi
                status=$?
                [ "$status" -eq 0 ] && break
                failed=$((failed + 1))
                expect_eq "$*, read $k fails: status" "$status" 1
                expect_eq "$*, read $k fails: the reason" "$(cat stderr.txt)" \
                    "$(basename "$1" _faulty): $shown: Input/output error"
            done
            expect_eq "$*: completes once no read fails" "$status" 0
            expect_true "$*: reads after the count failed ($failed)" '[ "$failed" -ge 2 ]'
            expect_eq "$*: nothing left" "$(leftovers)" ""
        }
        # The self-test's record is the report's first read.
        read_fails 2 large.frac "standard input" "$fraction_faulty" --report - out.frac
        read_fails 2 large.frac "standard input" "$fraction_faulty" --report -S 1 - out.frac
        read_fails 2 pipe "standard input" "$fraction_faulty" --report -S 1 - out.frac
        read_fails 2 /dev/null large.frac "$fraction_faulty" --report -S 1 large.frac out.frac
        read_fails 1 large.frac "standard input" "$fracfile_faulty" dump -
        read_fails 1 /dev/null large.frac "$fracfile_faulty" dump large.frac
    fi

    check_pack() {
        printf '%b' "$1" | "$fracfile" pack bad.frac 2>stderr.txt
        expect_eq "pack of '$1': status" "$?" 1
        expect_eq "pack of '$1': the reason" "$(cat stderr.txt)" "fracfile: $2"
    }
    check_pack '+/3\n' "line 1: not a fraction: '+/3'"
    # A NUL byte is part of its line, not its end.
    printf '1/2\0x\n' | "$fracfile" pack bad.frac 2>/dev/null
    expect_eq "pack of a line with a NUL byte: status" "$?" 1
    check_pack '2147483648/1\n' "line 1: a part outside the 32-bit range: '2147483648/1'"
    check_pack '1/-99999999999\n' "line 1: a part outside the 32-bit range: '1/-99999999999'"
    # A part too wide only counts where the rest is a fraction's form.
    check_pack '99999999999/x\n' "line 1: not a fraction: '99999999999/x'"
    check_pack '1/2147483648x\n' "line 1: a part outside the 32-bit range: '1/2147483648x'"
    check_pack '1/2\ncount 1\n' "line 2: a count line must come before every record"
    check_pack 'count many\n' "line 1: not a count: 'count many'"
    expect_true "no file made by a refused text" '[ ! -e bad.frac ]'

    # A read that fails is no end of the text: nothing is written.
    "$fracfile" pack unread.frac <. 2>stderr.txt
    expect_eq "pack of a directory on standard input: status" "$?" 1
    expect_eq "pack of a directory on standard input: the reason" "$(cat stderr.txt)" \
        "fracfile: standard input: cannot read: Is a directory"
    expect_true "pack of a directory on standard input: no file made" '[ ! -e unread.frac ]'
    "$fracfile" pack /dev/null <. 2>stderr.txt
    expect_eq "pack of a directory on standard input to a device: status" "$?" 1
    expect_eq "nothing left behind by a failed read" "$(leftovers)" ""

    # Where pack cannot rewrite the count at the end (a device, a pipe), it
    # reads the whole text first: a bad text writes nothing there.
    printf 'bad\n' | "$fracfile" pack /dev/null 2>stderr.txt
    expect_eq "pack of a bad text to a device: status" "$?" 1
    printf 'count 3\n1/2\n' | "$fracfile" pack /dev/null 2>stderr.txt
    expect_eq "pack of a wrong count to a device" "$(cat stderr.txt)" \
        "fracfile: the count line says 3 records, the text holds 1"
    "$fracfile" pack /dev/full <<<"1/2" 2>stderr.txt
    expect_eq "pack to a full device: status" "$?" 1
    expect_eq "pack to a full device: the reason" "$(cat stderr.txt)" \
        "fracfile: /dev/full: cannot write: No space left on device"

    # A fraction file from a pipe cannot tell its length beforehand.
    head -c 10 in.frac | "$fracfile" dump /dev/stdin >/dev/null 2>stderr.txt
    expect_eq "dump of a cut file from a pipe: status" "$?" 1
    expect_eq "dump of a cut file from a pipe: the reason" "$(cat stderr.txt)" \
        "fracfile: /dev/stdin: header says 2 records, file holds 0 and 6 bytes of another"
    cat in.frac in.frac | "$fracfile" dump /dev/stdin >/dev/null 2>stderr.txt
    expect_eq "dump of a pipe with bytes after its records" "$(cat stderr.txt)" \
        "fracfile: /dev/stdin: ignoring the bytes after the 2 counted records"

    "$fracfile" dump missing.frac >/dev/null 2>stderr.txt
    expect_eq "dump of a missing file" "$(cat stderr.txt)" \
        "fracfile: missing.frac: No such file or directory"
    cat in.frac in.frac >twice.frac
    "$fracfile" dump twice.frac >/dev/null 2>stderr.txt
    expect_eq "dump of a file with bytes after its records" "$(cat stderr.txt)" \
        "fracfile: twice.frac: ignoring the bytes after the 2 counted records"
    "$fracfile" dump in.frac >/dev/full 2>stderr.txt
    expect_eq "dump to a full disk: status" "$?" 1
    expect_eq "dump to a full disk: the reason" "$(cat stderr.txt)" "fracfile: cannot write standard output: No space left on device"

    # Output names each program refuses with the system's own reason, before
    # any work: the text on standard input is left unread.
    long=$(printf 'n%.0s' {1..256})
    if [ "$(id -u)" -eq 0 ]; then proc_reason="cannot write: Invalid argument"; else proc_reason="Permission denied"; fi
    while IFS='|' read -r name reason; do
        "$fraction" --report in.frac "$name" >/dev/null 2>stderr.txt
        expect_eq "report to '$name': status" "$?" 1
        expect_eq "report to '$name': the reason" "$(cat stderr.txt)" "fraction: $name: $reason"
        unread=$({ "$fracfile" pack "$name" 2>stderr.txt && echo "status 0"; cat; } <<<"1/2")
        expect_eq "pack to '$name': the reason" "$(cat stderr.txt)" "fracfile: $name: $reason"
        [ "$name" = /proc/self/status ] || expect_eq "pack to '$name': no text read" "$unread" "1/2"
    done <<EOF_NAMES
|No such file or directory
$long|File name too long
/proc/self/status|$proc_reason
EOF_NAMES
    expect_eq "refused names: nothing left behind" "$(leftovers)" ""

    # Counts, one and negative, in words that fit them.
    printf '\x01\x00\x00\x00' >short-one.frac
    printf '\xff\xff\xff\xff\x01\x02' >negative.frac
    cat one.frac one.frac >one-twice.frac
    while IFS='|' read -r file reason; do
        "$fraction" --report "$file" out.frac >/dev/null 2>stderr.txt
        expect_eq "report of $file" "$(cat stderr.txt)" "fraction: $file: $reason"
        "$fracfile" dump "$file" >/dev/null 2>stderr.txt
        expect_eq "dump of $file" "$(cat stderr.txt)" "fracfile: $file: $reason"
    done <<EOF_COUNTS
short-one.frac|header says 1 record, file holds 0
negative.frac|ignoring the bytes after the count -1, which means no records
one-twice.frac|ignoring the bytes after the 1 counted record
EOF_COUNTS
    check_pack 'count 1\n1/2\n1/3\n' "the count line says 1 record, the text holds 2"
    check_pack 'count -1\n1/2\n' "the count line says -1, which means no records, the text holds 1"
    printf 'bad\n%.0s' {1..11} | "$fracfile" pack bad.frac 2>stderr.txt
    expect_eq "eleven bad lines: the last told" "$(tail -n 1 stderr.txt)" "fracfile: 1 more bad line"

    # A device tells no size: /dev/urandom's seek position is none. Its
    # random count is read as far as it goes, which a timeout cuts short,
    # until a negative one comes and is told as such, or a count small
    # enough to be read whole in that time, after which the bytes go on.
    for program in fraction fracfile; do
        if [ "$program" = fraction ]; then
            run=("$fraction" --report /dev/urandom out.frac)
        else
            run=("$fracfile" dump /dev/urandom)
        fi
        for _ in {1..30}; do
            timeout 1 "${run[@]}" >/dev/null 2>stderr.txt
            [ ! -s stderr.txt ] || break
        done
        told=$(cat stderr.txt)
        negative="^$program: /dev/urandom: ignoring the bytes after the count -[0-9]+, which means no records\$"
        read_whole="^$program: /dev/urandom: ignoring the bytes after the [0-9]+ counted records\$"
        if [[ "$told" =~ $negative|$read_whole ]]; then pass; else fail "$program of /dev/urandom: $told"; fi
    done
    ;;
links)
    posix_only "symbolic links"
    if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null || [ ! -w /proc/sys/fs/protected_symlinks ]; then
        skip "a link planted by another user needs root, setpriv and fs.protected_symlinks"
    fi
    protected=$(cat /proc/sys/fs/protected_symlinks)
    trap 'echo "$protected" >/proc/sys/fs/protected_symlinks; rm -rf "$workdir"' EXIT
    echo 1 >/proc/sys/fs/protected_symlinks
    as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
    # A shared directory as /tmp is, and files only root may write: one
    # with one name, one with two, and a device.
    mkdir -m 1777 shared
    printf 'precious\n' >alone.txt
    printf 'precious\n' >linked.txt
    ln linked.txt linked-too.txt
    mknod null-device c 1 3
    chmod 600 alone.txt linked.txt null-device
    for target in alone.txt linked.txt null-device missing.txt; do
        as_nobody ln -s "$PWD/$target" "shared/$target"
    done
    expect_true "the system itself refuses to follow them" '! (: >>shared/alone.txt) 2>/dev/null'
    for target in alone.txt linked.txt null-device missing.txt; do
        "$fraction" --report in.frac "shared/$target" >/dev/null 2>stderr.txt
        expect_eq "report through a planted link to $target: status" "$?" 1
        expect_eq "report through a planted link to $target: the reason" "$(cat stderr.txt)" \
            "fraction: shared/$target: Permission denied"
        "$fracfile" pack "shared/$target" <<<"1/2" 2>stderr.txt
        expect_eq "pack through a planted link to $target: status" "$?" 1
        expect_eq "pack through a planted link to $target: the reason" "$(cat stderr.txt)" \
            "fracfile: shared/$target: Permission denied"
    done
    printf 'in.frac\nshared/alone.txt\nout.frac\n' | "$fraction" --report >/dev/null 2>stderr.txt
    expect_eq "an answered planted link: refused, then the next name" "$?$(cat stderr.txt)" \
        "0fraction: shared/alone.txt: Permission denied"
    expect_eq "the files behind the links untouched" "$(cat alone.txt linked.txt)" $'precious\nprecious'
    expect_true "the device untouched" '[ -c null-device ]'
    expect_true "nothing made through the dangling link" '[ ! -e missing.txt ]'
    expect_eq "nothing left behind" "$(leftovers)$(leftovers shared)" ""

    # Links the system follows are followed: one's own in the shared
    # directory, and another user's in a directory that is not shared.
    ln -s "$PWD/mine.frac" shared/mine
    mkdir theirs && chown nobody theirs
    as_nobody ln -s "$PWD/theirs.frac" theirs/link
    "$fraction" --report in.frac shared/mine >/dev/null 2>&1
    "$fracfile" pack theirs/link <<<"1/2"
    expect_eq "one's own link in the shared directory" "$(hex mine.frac)" "$sample_bytes"
    expect_eq "a link in a directory that is not shared" "$(hex theirs.frac)" "$one_bytes"
    ;;
closed)
    posix_only "closed descriptors"
    # A standard stream closed at the start is no free number for the first
    # file opened: that file is never read or written as the stream.
    echo precious >victim.txt
    # A fraction file whose bytes, read as answers, name victim.txt as the
    # output, far enough in to lie beyond the first block read of the file.
    { printf '\x01\x00\x00\x00\x01\x00\x00\x00\x02\x00\x00\x00%20000s' ''; echo victim.txt; } >evil.frac
    # Standard input is then no terminal: no name is asked for at all.
    "$fraction" --report evil.frac <&- >/dev/null 2>stderr.txt
    expect_eq "no standard input: status" "$?" 2
    expect_eq "no standard input: the output is wrong usage" "$(head -n 1 stderr.txt)" \
        "fraction: missing OUTPUT operand after 'evil.frac' (a name is asked for only at a terminal)"
    expect_eq "no standard input: the file named in the input untouched" "$(cat victim.txt)" precious
    echo OLD >pk.frac
    "$fracfile" pack pk.frac <&- 2>stderr.txt
    expect_eq "pack, no standard input: status" "$?" 1
    expect_eq "pack, no standard input: the reason" "$(cat stderr.txt)" \
        "fracfile: standard input: cannot read: Bad file descriptor"
    expect_eq "pack, no standard input: the old file kept" "$(cat pk.frac)" OLD

    # Without standard error the warning about the bytes after the count is
    # lost, and nothing else changes: not the listing, not the file written
    # by a report that copies its piped input to a temporary file.
    for ((i = 0; i < 40000; ++i)); do echo "$i/3"; done | "$fracfile" pack half.frac
    tail -c +5 one.frac >>half.frac
    "$fraction" --report -S 1 - discarded.frac < <(cat half.frac) >discarded.txt 2>/dev/null
    expect_eq "a piped input, messages discarded: status" "$?" 0
    "$fraction" --report -S 1 - lost.frac < <(cat half.frac) >lost.txt 2>&-
    expect_eq "a piped input, no standard error: status" "$?" 0
    expect_true "no standard error: the same file" 'cmp -s lost.frac discarded.frac'
    expect_true "no standard error: the same listing" 'cmp -s lost.txt discarded.txt'

    if command -v unshare >/dev/null && unshare -m true 2>/dev/null; then
        # Without a null device a closed stream cannot be kept: nothing is done.
        for program in fraction fracfile; do
            run=("$fraction" --report in.frac out.frac)
            [ "$program" = fracfile ] && run=("$fracfile" pack out.frac)
            unshare -m bash -c 'mount -t tmpfs none /dev && exec "$@" <&-' - "${run[@]}" 2>stderr.txt
            expect_eq "$program, no null device: status" "$?" 1
            expect_eq "$program, no null device: the reason" "$(cat stderr.txt)" \
                "$program: cannot open the null device: No such file or directory"
            expect_true "$program, no null device: nothing written" '[ ! -e out.frac ]'
        done
    else
        echo "closed: a missing null device needs unshare -m: not tried"
    fi
    ;;
lost-output)
    posix_only "closed descriptors and pipes"
    for ((i = 0; i < 200000; ++i)); do echo "$((i % 1000 - 500))/$((i % 7 + 1))"; done |
        "$fracfile" pack big.frac
    printf 'the old contents\n' >old.bin
    # A run whose standard output fails says so, fails, and puts no file
    # in place: a full disk, no standard output, a reader gone (with
    # SIGPIPE ignored, writes fail with EPIPE).
    declare -A reason=(['>/dev/full']="No space left on device" ['>&-']="Bad file descriptor"
        ['| head -n 1 >/dev/null']="Broken pipe")
    for how in '>/dev/full' '>&-' '| head -n 1 >/dev/null'; do
        cp old.bin old.frac
        (
            trap '' PIPE
            eval "\"\$fraction\" --report big.frac old.frac 2>stderr.txt $how"
            exit "${PIPESTATUS[0]}"
        )
        expect_eq "standard output $how: status" "$?" 1
        expect_eq "standard output $how: the reason" "$(cat stderr.txt)" \
            "fraction: cannot write standard output: ${reason[$how]}"
        expect_true "standard output $how: the old file kept" 'cmp -s old.frac old.bin'
        expect_eq "standard output $how: nothing left" "$(leftovers)" ""
    done

    # With its reader gone, the work stops: of an input read as it is
    # listed, the rest is never read, as its shared offset shows.
    if [ -r /proc/self/fdinfo/0 ]; then
        size=$(stat -c %s big.frac)
        for program in fraction fracfile; do
            run=("$fraction" --report --buffer-size=256K - stopped.frac)
            [ "$program" = fracfile ] && run=("$fracfile" dump -)
            exec 4<big.frac
            (
                trap '' PIPE
                "${run[@]}" <&4 2>stderr.txt | head -n 1 >/dev/null
                exit "${PIPESTATUS[0]}"
            )
            expect_eq "$program with its reader gone: status" "$?" 1
            read -r _ offset < <(grep '^pos:' /proc/self/fdinfo/4)
            exec 4<&-
            expect_true "$program with its reader gone: stopped early ($offset of $size bytes read)" \
                '[ "$offset" -lt $((size / 4)) ]'
        done
        expect_true "the report stopped: no file written" '[ ! -e stopped.frac ]'
    else
        echo "lost-output: reading a descriptor's offset needs /proc: not tried"
    fi
    ;;
*)
    echo "unknown group $group" >&2
    exit 2
    ;;
esac

echo "$group: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
