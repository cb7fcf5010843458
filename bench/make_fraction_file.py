#!/usr/bin/env python3
"""Writes a reproducible fraction file for benchmarks.

Usage: make_fraction_file.py OUT [RECORDS] [SEED]

About one record in ten is invalid (the marker pair); the others have parts
of both signs up to 30 bits and a non-zero denominator.
"""
import random
import struct
import sys

INVALID_MARK = 123456789
PART_LIMIT = (1 << 30) - 1


def main() -> None:
    out = sys.argv[1]
    records = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 20261208
    rng = random.Random(seed)
    body = bytearray(struct.pack("<i", records))
    for _ in range(records):
        if rng.random() < 0.1:
            body += struct.pack("<ii", INVALID_MARK, INVALID_MARK)
            continue
        numerator = rng.randint(-PART_LIMIT, PART_LIMIT)
        denominator = 0
        while denominator == 0:
            denominator = rng.randint(-PART_LIMIT, PART_LIMIT)
        body += struct.pack("<ii", numerator, denominator)
    with open(out, "wb") as file:
        file.write(body)


if __name__ == "__main__":
    main()
