#!/usr/bin/env python3
"""Prints the operator timings of bench/operators_ratios.sh as a Markdown table.

Usage: operators_ratios.py BASE_NAME BASE_JSON... -- CURRENT_JSON...
Every repetition of every round counts; the table shows medians of CPU time
(the wall-clock time on a shared machine also counts other processes).
boost::rational's time is the median over both programs, which compile
the same Boost code the same way."""
import json
import statistics
import sys

UNIT_TO_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def times_of(paths: list[str]) -> dict[tuple[str, str], list[float]]:
    times: dict[tuple[str, str], list[float]] = {}
    for path in paths:
        with open(path, encoding="utf-8") as file:
            for run in json.load(file)["benchmarks"]:
                if run.get("run_type") != "iteration":
                    continue
                operation, library = run["run_name"].split("/")
                ns = run["cpu_time"] * UNIT_TO_NS[run["time_unit"]]
                times.setdefault((operation, library), []).append(ns)
    return times


def main() -> None:
    base_name = sys.argv[1]
    split = sys.argv.index("--")
    base = times_of(sys.argv[2:split])
    current = times_of(sys.argv[split + 1:])
    print(f"| operator | {base_name} | now | boost::rational | {base_name} / now | boost / now |")
    print("|---|---:|---:|---:|---:|---:|")
    for operation, symbol in (("add", "+"), ("subtract", "-"), ("multiply", "*"), ("divide", "/")):
        old = statistics.median(base[(operation, "fraction")])
        now = statistics.median(current[(operation, "fraction")])
        boost = statistics.median(base[(operation, "boost")] + current[(operation, "boost")])
        print(f"| {symbol} | {old:.2f} ns | {now:.2f} ns | {boost:.2f} ns |"
              f" {old / now:.2f} | {boost / now:.2f} |")
    runs = len(current[("add", "fraction")])
    print(f"\nMedians of {runs} runs each, in turn; a ratio of 1 or more means now is as fast or faster.")


if __name__ == "__main__":
    main()
