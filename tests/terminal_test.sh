#!/usr/bin/env bash
# The report in a real terminal, through tmux: what a person at a keyboard
# sees. Where tmux cannot start, the test reports itself skipped.
# Usage: terminal_test.sh FRACTION FRACFILE GROUP
#   completion  the hint, Tab completing a name, the report, Ctrl-D at the
#               output prompt; names with escape sequences listed escaped
#   progress    the progress line of a long report whose output goes to a
#               file, and none of it when standard error is a file too;
#               outside memory, phases that never go back
#   redirected  standard output to a file: prompts, reasons and completion
#               on standard error, the file as a piped run writes it
#   quoting     a completed name with a space, and quoted names, taken whole
set -uo pipefail
fraction=$(realpath "$1")
fracfile=$(realpath "$2")
group=$3
workdir=$(mktemp -d)
socket=fraction-test-$$
export TERM=${TERM:-xterm-256color}
[ "$TERM" != dumb ] || export TERM=xterm-256color
# shellcheck disable=SC2317  # reached through the trap below
cleanup() {
    tmux -L "$socket" kill-server 2>/dev/null
    rm -rf "$workdir"
}
trap cleanup EXIT
cd "$workdir" || exit 1

# The first session stays for the whole test: a server whose last session
# ends exits, and a session started at that moment meets a dying server.
if ! command -v tmux >/dev/null || ! tmux -L "$socket" new-session -d -s keeper -x 100 -y 30 "sleep 3600"; then
    echo "$group: skipped: tmux cannot start here"
    exit 77
fi

failed=0
fail() { failed=1; echo "FAIL [$group]: $*" >&2; }
screen() { tmux -L "$socket" capture-pane -p -t run -S -100; }
# wait_for TEXT SECONDS: until the screen shows TEXT; false when it never does.
wait_for() {
    local deadline=$((SECONDS + $2))
    while [ "$SECONDS" -lt "$deadline" ]; do
        screen | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    return 1
}
# wait_for_file FILE SECONDS
wait_for_file() {
    local deadline=$((SECONDS + $2))
    while [ "$SECONDS" -lt "$deadline" ]; do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    return 1
}
# start COMMAND: runs it in a fresh terminal 120 columns wide; the exit
# status lands in status.txt and the pane stays for capture.
start() {
    rm -f status.txt
    tmux -L "$socket" new-session -d -s run -x 120 -y 50 \
        "cd '$workdir' && $1; echo \"exit=\$?\" >status.txt; sleep 60"
}
stop() { tmux -L "$socket" kill-session -t run 2>/dev/null; }
# start_drawn COMMAND: as start, with everything drawn on the terminal kept
# in drawn.txt from the command's first byte: it waits for the pipe to be
# in place, since a busy machine can run a whole phase before it would be.
start_drawn() {
    rm -f go
    start "while [ ! -e go ]; do sleep 0.01; done; $1"
    tmux -L "$socket" pipe-pane -t run -o "cat >>'$workdir/drawn.txt'"
    touch go
}

case "$group" in
completion)
    printf '1/2\n3/4\ninvalid\n1/4\n' | "$fracfile" pack sample-data.frac
    start "'$fraction' --report"
    wait_for "fraction: name a fraction file to report on (Tab completes, Ctrl-D quits)" 10 ||
        fail "no hint before the first name: $(screen)"
    # Two answers on one line, the second completed by Tab.
    tmux -L "$socket" send-keys -t run "missing.frac sam" Tab
    wait_for "missing.frac sample-data.frac" 5 || fail "Tab did not complete the name: $(screen)"
    tmux -L "$socket" send-keys -t run Enter
    # The terminal's capture drops the spaces that end a line.
    wait_for "Please enter an output file name ?" 10 || fail "no report: $(screen)"
    text=$(screen)
    grep -qF "Please enter another input file name ? nData=4" <<<"$text" ||
        fail "the first answer was not refused before the second was taken: $text"
    grep -qF "The medium is 1 / 2" <<<"$text" || fail "the report is not whole: $text"
    tmux -L "$socket" send-keys -t run C-d
    wait_for_file status.txt 10 || fail "the program did not end at Ctrl-D: $(screen)"
    [ "$(cat status.txt)" = exit=1 ] || fail "Ctrl-D at the output prompt: $(cat status.txt)"
    wait_for "fraction: end of input while waiting for an output file name" 5 ||
        fail "no end-of-input message: $(screen)"
    [ ! -e out.frac ] || fail "an output file was made"
    echo "--- the terminal at the end:"
    screen | sed -e '/^$/d'
    stop

    # Names that would retitle the terminal are listed escaped, as every
    # message shows them, and still complete to the files themselves.
    mkdir hostile && cd hostile || exit 1
    for name in $'e\e]2;PWNED\aa.frac' $'e\e]2;PWNED\ab.frac'; do cp ../sample-data.frac "$name"; done
    cd .. || exit 1
    start "cd hostile && '$fraction' --report"
    tmux -L "$socket" pipe-pane -t run -o "cat >>'$workdir/listed.txt'"
    wait_for "Ctrl-D quits)" 10 || fail "no hint (hostile names): $(screen)"
    title=$(tmux -L "$socket" display -p -t run '#{pane_title}')
    tmux -L "$socket" send-keys -t run "e" Tab Tab
    wait_for 'e\x1b]2;PWNED\x07a.frac  e\x1b]2;PWNED\x07b.frac' 5 ||
        fail "the names were not listed escaped: $(screen)"
    tmux -L "$socket" send-keys -t run "a" Tab Enter
    wait_for "Please enter an output file name ?" 10 || fail "the completed name was not taken: $(screen)"
    grep -qF "The medium is 1 / 2" <<<"$(screen)" || fail "the completed file was not reported: $(screen)"
    [ "$(tmux -L "$socket" display -p -t run '#{pane_title}')" = "$title" ] ||
        fail "a listed name retitled the terminal: $(tmux -L "$socket" display -p -t run '#{pane_title}')"
    if grep -qaF $'\e]2;PWNED' listed.txt; then fail "a name's escape sequence reached the terminal"; fi
    ;;
progress)
    # 12,000,000 records of random bytes: long work, shown from the start,
    # each phase outlasting the progress line's quiet start and redraws even
    # on every thread of a fast machine.
    { printf '\x00\x1b\xb7\x00'; head -c 96000000 /dev/urandom; } >big.frac
    # Everything drawn on the terminal, also what the sampling below misses
    # on a busy machine: a phase can come and go between two looks.
    start_drawn "printf 'big.frac\nout.frac\n' | '$fraction' --report >report.txt"
    seen=""
    deadline=$((SECONDS + 600))
    while [ ! -s status.txt ] && [ "$SECONDS" -lt "$deadline" ]; do
        line=$(screen | grep -oE 'fraction: (reading|listing|listing sorted|sorting|writing) [0-9]+%[^%]*' | tail -n 1)
        [ -z "$line" ] || seen="$seen$line"$'\n'
        sleep 0.05
    done
    wait_for_file status.txt 5 || fail "the report did not end"
    [ "$(cat status.txt)" = exit=0 ] || fail "status: $(cat status.txt)"
    [ -n "$seen" ] || fail "no progress was shown"
    grep -aq "fraction: sorting" drawn.txt || fail "the sorting phase was not shown: $seen"
    grep -aq "listing sorted" drawn.txt || fail "the sorted listing was not named: $seen"
    screen | grep -qE '[0-9]+%' && fail "the progress line was not erased: $(screen)"
    echo "--- progress seen:"
    printf "%s" "$seen" | sort -u
    stop
    cmp -s <(grep -c '' report.txt) <(echo 24000011) || fail "the report is not whole: $(tail -n 3 report.txt)"

    start "printf 'big.frac\nout.frac\n' | '$fraction' --report >report.txt 2>errors.txt"
    wait_for_file status.txt 600 || fail "the second report did not end"
    [ "$(cat status.txt)" = exit=0 ] || fail "status with errors to a file: $(cat status.txt)"
    [ ! -s errors.txt ] || fail "standard error in a file holds: $(od -c errors.txt | head -n 5)"
    stop

    # Sorted outside memory, in small runs and several merge passes: every
    # line drawn, in order, must read as phases that follow each other, none
    # taken up again, each one's share only growing.
    rm -f drawn.txt
    start_drawn "printf 'big.frac\nout.frac\n' | '$fraction' --report -S 256K >report.txt"
    wait_for_file status.txt 600 || fail "the report outside memory did not end"
    [ "$(cat status.txt)" = exit=0 ] || fail "status outside memory: $(cat status.txt)"
    tr '\r' '\n' <drawn.txt | grep -aoE '^fraction: [a-z ]+ [0-9]+%' |
        sed -E 's/^fraction: (.*) ([0-9]+)%$/\1|\2/' >phases.txt
    [ "$(sort -u -t '|' -k 1,1 phases.txt | wc -l)" -ge 2 ] ||
        fail "outside memory, fewer than two phases were shown: $(cat phases.txt)"
    backwards=$(awk -F'|' '$1 != name { if ($1 in seen) print "taken up again: " $0; seen[$1]; name = $1; last = -1 }
        $2 < last { print "went back: " $0 } { last = $2 }' phases.txt)
    [ -z "$backwards" ] || fail "outside memory the progress $backwards (of $(uniq phases.txt | tr '\n' ' '))"
    echo "--- phases outside memory:"
    cut -d '|' -f 1 phases.txt | uniq
    ;;
redirected)
    # Standard output to a file: the prompts, the reasons and the editing
    # show on standard error, the file gets exactly what a pipe would.
    printf '1/2\n3/4\ninvalid\n1/4\n' | "$fracfile" pack sample-data.frac
    printf 'missing.frac\nsample-data.frac\nout-piped.frac\n' | "$fraction" --report >piped.txt 2>/dev/null
    start "'$fraction' --report >listing.txt"
    wait_for "fraction: name a fraction file to report on (Tab completes, Ctrl-D quits)" 10 ||
        fail "no hint before the first name: $(screen)"
    tmux -L "$socket" send-keys -t run "missing.frac" Enter
    wait_for "fraction: missing.frac: No such file or directory" 5 || fail "no reason for the refused name: $(screen)"
    wait_for "Please enter another input file name ?" 5 || fail "no second prompt on the terminal: $(screen)"
    tmux -L "$socket" send-keys -t run "sam" Tab
    wait_for "Please enter another input file name ? sample-data.frac" 5 ||
        fail "Tab did not complete the name on standard error: $(screen)"
    tmux -L "$socket" send-keys -t run Enter
    wait_for "Please enter an output file name ?" 10 || fail "no output prompt on the terminal: $(screen)"
    screen | grep -qF "nData=" && fail "the report's text reached the terminal: $(screen)"
    tmux -L "$socket" send-keys -t run "out.frac" Enter
    wait_for_file status.txt 10 || fail "the report did not end: $(screen)"
    [ "$(cat status.txt)" = exit=0 ] || fail "status: $(cat status.txt)"
    cmp -s piped.txt listing.txt || fail "the file differs from a piped run: $(diff piped.txt listing.txt)"
    cmp -s out.frac out-piped.frac || fail "the output file differs from a piped run"
    echo "--- the terminal at the end:"
    screen | sed -e '/^$/d'
    stop

    # Ctrl-D at the output prompt: the line break after it is the
    # terminal's; the file ends as a piped run's does.
    printf 'sample-data.frac\n' | "$fraction" --report >piped.txt 2>/dev/null
    start "'$fraction' --report sample-data.frac >listing.txt"
    wait_for "Please enter an output file name ?" 10 || fail "no output prompt (Ctrl-D): $(screen)"
    tmux -L "$socket" send-keys -t run C-d
    wait_for_file status.txt 10 || fail "the program did not end at Ctrl-D: $(screen)"
    [ "$(cat status.txt)" = exit=1 ] || fail "Ctrl-D: $(cat status.txt)"
    wait_for "fraction: end of input while waiting for an output file name" 5 || fail "no end-of-input message: $(screen)"
    cmp -s piped.txt listing.txt || fail "at Ctrl-D the file differs from a piped run: $(diff piped.txt listing.txt)"

    # More threads than the buffer size holds: lowered, and said at the
    # terminal in one line; the same file as on one thread.
    stop
    "$fraction" --report -q sample-data.frac one-thread.frac </dev/null 2>/dev/null
    start "'$fraction' --report -q -S 1M --parallel=64 sample-data.frac threads.frac </dev/null"
    wait_for_file status.txt 10 || fail "the report on 64 threads did not end: $(screen)"
    [ "$(cat status.txt)" = exit=0 ] || fail "64 threads: $(cat status.txt)"
    wait_for "fraction: --parallel=64 is more threads than the buffer size holds; using 3" 5 ||
        fail "the lowered thread count not said: $(screen)"
    cmp -s one-thread.frac threads.frac || fail "64 threads lowered: not the file of one thread"
    stop
    ;;
quoting)
    # A completed name with a space is one answer, at a terminal and with
    # the output redirected; the quotes a person types are understood too.
    printf '1/2\n3/4\n' | "$fracfile" pack "my fractions.frac"
    start "'$fraction' --report"
    wait_for "Ctrl-D quits)" 10 || fail "no hint: $(screen)"
    tmux -L "$socket" send-keys -t run "my" Tab
    wait_for 'my\ fractions.frac' 5 || fail "completion did not quote the space: $(screen)"
    tmux -L "$socket" send-keys -t run Enter
    wait_for "Please enter an output file name ?" 10 || fail "the completed name was not taken whole: $(screen)"
    grep -qF "Cannot open the file" <<<"$(screen)" && fail "the name was split: $(screen)"
    tmux -L "$socket" send-keys -t run "'sorted fractions.frac'" Enter
    wait_for_file status.txt 10 || fail "the report did not end: $(screen)"
    [ "$(cat status.txt)" = exit=0 ] || fail "status: $(cat status.txt)"
    [ -s "sorted fractions.frac" ] || fail "a quoted output name was not taken whole: $(ls)"
    echo "--- the terminal at the end:"
    screen | sed -e '/^$/d'
    stop

    rm -f "sorted fractions.frac"
    start "'$fraction' --report >listing.txt"
    wait_for "Ctrl-D quits)" 10 || fail "no hint (redirected): $(screen)"
    tmux -L "$socket" send-keys -t run "my" Tab
    wait_for 'my\ fractions.frac' 5 || fail "completion did not quote the space (redirected): $(screen)"
    tmux -L "$socket" send-keys -t run Enter
    wait_for "Please enter an output file name ?" 10 || fail "not taken whole (redirected): $(screen)"
    tmux -L "$socket" send-keys -t run '"sorted fractions.frac"' Enter
    wait_for_file status.txt 10 || fail "the redirected report did not end: $(screen)"
    [ "$(cat status.txt)" = exit=0 ] || fail "status (redirected): $(cat status.txt)"
    [ -s "sorted fractions.frac" ] || fail "a double-quoted output name was not taken whole: $(ls)"
    grep -qF "nData=2" listing.txt || fail "the report is not in the file: $(cat listing.txt)"
    echo "--- the terminal at the end (redirected):"
    screen | sed -e '/^$/d'
    ;;
*)
    echo "unknown group $group" >&2
    exit 2
    ;;
esac

[ "$failed" -eq 0 ] && echo "$group: as expected"
exit "$failed"
