#!/usr/bin/env python3
"""Ends runs of a program with a signal at random moments, and checks what
each run leaves: no hidden temporary file in the directory, and the target
either as it was or wholly new.

Usage: interrupt_runs.py SIGNAL RUNS INPUT TARGET OLD NEW PROGRAM [ARG]...

Runs PROGRAM RUNS times in the current directory with standard input from
INPUT, each time with TARGET holding the bytes of the file OLD first, and
sends SIGNAL at a random moment of the time an undisturbed run takes, as
timeout(1) sends it: to the process, then to its process group, which it
leads, then SIGCONT to both. NEW holds the bytes a completed run writes.
Prints what it found, and ends with 1 when anything was left.
"""
import os
import random
import signal
import subprocess
import sys
import time

CALIBRATION_RUNS = 20


def run(command, input_name, signal_number=None, delay=0.0):
    with open(input_name, "rb") as given:
        process = subprocess.Popen(command, stdin=given, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        started = time.monotonic()
        if signal_number is not None:
            time.sleep(delay)
            for number in (signal_number, signal.SIGCONT):
                for target in (process.pid, -process.pid):
                    try:
                        os.kill(target, number)
                    except ProcessLookupError:
                        pass
        status = process.wait()
        return status, time.monotonic() - started


def leftovers():
    return sorted(name for name in os.listdir(".") if name.startswith("."))


def describe(name):
    status = os.lstat(name)
    return "%s (mode %o, %d bytes)" % (name, status.st_mode & 0o7777, status.st_size)


def main(arguments):
    signal_name, runs, input_name, target, old_name, new_name = arguments[:6]
    command = arguments[6:]
    signal_number = getattr(signal, "SIG" + signal_name)
    with open(old_name, "rb") as file:
        old = file.read()
    with open(new_name, "rb") as file:
        new = file.read()
    # A signal this process was started with ignored would stay ignored in
    # the program.
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGPIPE):
        if signal.getsignal(number) == signal.SIG_IGN:
            signal.signal(number, signal.SIG_DFL)

    def reset_target():
        if os.path.lexists(target):
            os.remove(target)
        with open(target, "wb") as file:
            file.write(old)

    # The files exist only within the time a run takes: the signals fall
    # at random moments of that time.
    durations = []
    for _ in range(CALIBRATION_RUNS):
        reset_target()
        status, duration = run(command, input_name)
        if status != 0:
            print("an undisturbed run ended with %d" % status)
            return 1
        durations.append(duration)
    window = sorted(durations)[len(durations) // 2] * 1.2

    problems = []
    ended_by_signal = 0
    for index in range(int(runs)):
        reset_target()
        delay = random.uniform(0, window)
        status, _ = run(command, input_name, signal_number, delay)
        if status == -signal_number:
            ended_by_signal += 1
        elif status != 0:
            problems.append("run %d: ended with %d" % (index, status))
        for name in leftovers():
            problems.append("run %d, signalled after %.0f us, ended with %d: left %s"
                            % (index, delay * 1e6, status, describe(name)))
            os.remove(name)
        with open(target, "rb") as file:
            written = file.read()
        if written != new and (written != old or status == 0):
            problems.append("run %d: the target holds %r" % (index, written))
    # Signals that all came too late would prove nothing.
    if ended_by_signal == 0:
        problems.append("no run was ended by the signal")
    print("SIG%s, %s: %d runs, %d ended by the signal, signalled within %.0f us; %d problems"
          % (signal_name, os.path.basename(command[0]), int(runs), ended_by_signal,
             window * 1e6, len(problems)))
    for problem in problems[:20]:
        print("  " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
