#!/usr/bin/env bash
# The report in a real terminal, through tmux: what a person at a keyboard
# sees. Where tmux cannot start, the test reports itself skipped.
# Usage: terminal_test.sh FRACTION FRACFILE GROUP
#   completion  the hint, Tab completing a name, the report, Ctrl-D at the
#               output prompt
#   progress    the progress line of a long report whose output goes to a
#               file, and none of it when standard error is a file too
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
    ;;
progress)
    # 3,000,000 records of random bytes: long work, shown from the start.
    { printf '\xc0\xc6\x2d\x00'; head -c 24000000 /dev/urandom; } >big.frac
    start "printf 'big.frac\nout.frac\n' | '$fraction' --report >report.txt"
    seen=""
    deadline=$((SECONDS + 60))
    while [ ! -s status.txt ] && [ "$SECONDS" -lt "$deadline" ]; do
        line=$(screen | grep -oE 'fraction: (reading|listing|sorting|writing) [0-9]+%' | tail -n 1)
        [ -z "$line" ] || seen="$seen$line"$'\n'
        sleep 0.05
    done
    wait_for_file status.txt 5 || fail "the report did not end"
    [ "$(cat status.txt)" = exit=0 ] || fail "status: $(cat status.txt)"
    [ -n "$seen" ] || fail "no progress was shown"
    grep -q sorting <<<"$seen" || fail "the sorting phase was not shown: $seen"
    screen | grep -qE '[0-9]+%' && fail "the progress line was not erased: $(screen)"
    echo "--- progress seen:"
    printf "%s" "$seen" | sort -u
    stop
    cmp -s <(grep -c '' report.txt) <(echo 6000011) || fail "the report is not whole: $(tail -n 3 report.txt)"

    start "printf 'big.frac\nout.frac\n' | '$fraction' --report >report.txt 2>errors.txt"
    wait_for_file status.txt 60 || fail "the second report did not end"
    [ "$(cat status.txt)" = exit=0 ] || fail "status with errors to a file: $(cat status.txt)"
    [ ! -s errors.txt ] || fail "standard error in a file holds: $(od -c errors.txt | head -n 5)"
    ;;
*)
    echo "unknown group $group" >&2
    exit 2
    ;;
esac

[ "$failed" -eq 0 ] && echo "$group: as expected"
exit "$failed"
