#!/usr/bin/env python3
"""Turns the operation benchmark's JSON output into a Markdown table.

The times are CPU times: on a machine shared with other work the wall-clock
time of a run also counts the time other processes held the core."""
import json
import sys

UNIT_TO_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def main() -> None:
    with open(sys.argv[1], encoding="utf-8") as file:
        runs = json.load(file)["benchmarks"]
    times = {}
    order = []
    for run in runs:
        operation, library = run["name"].split("/")
        if operation not in order:
            order.append(operation)
        times[(operation, library)] = run["cpu_time"] * UNIT_TO_NS[run["time_unit"]]
    print("| operation | fraction | boost::rational | GMP mpq_class | Boost / fraction | GMP / fraction |")
    print("|---|---:|---:|---:|---:|---:|")
    for operation in order:
        own, boost, gmp = (times[(operation, lib)] for lib in ("fraction", "boost", "gmp"))
        cells = [format_time(t) for t in (own, boost, gmp)]
        print(f"| {operation} | {' | '.join(cells)} | {boost / own:.2f}x | {gmp / own:.2f}x |")
    print("\nRatios above 1 mean fraction is faster. The targets against Boost: gcd, <, parse"
          " and format >= 1, == >= 0.7, add, multiply and divide >= 0.5.")


def format_time(nanoseconds: float) -> str:
    if nanoseconds >= 1e6:
        return f"{nanoseconds / 1e6:.2f} ms"
    return f"{nanoseconds:.1f} ns"


if __name__ == "__main__":
    main()
