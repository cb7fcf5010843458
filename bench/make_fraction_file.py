#!/usr/bin/env python3
"""Writes a reproducible fraction file for benchmarks.

Usage: make_fraction_file.py OUT [RECORDS] [KIND] [SEED]

KIND "wide" (the default): about one record in ten is invalid (the marker
pair); the others have parts of both signs up to 30 bits and a non-zero
denominator. The running sum turns invalid within the first records.

KIND "workshop": numerators from -1000 to 1000 over 1, 2, 4, 8, 16, 32 or
64, often not in lowest terms (6/8), the sign on either part, about one
record in twenty invalid. The sign of each value is chosen so that the
running sum stays within plus or minus 5000, so that every sum the report
forms fits its 32-bit parts and every addition does real work.
"""
import random
import struct
import sys

INVALID_MARK = 123456789
PART_LIMIT = (1 << 30) - 1
WORKSHOP_DENOMINATORS = (1, 2, 4, 8, 16, 32, 64)
WORKSHOP_SUM_BOUND = 5000


def wide_records(rng, count):
    for _ in range(count):
        if rng.random() < 0.1:
            yield INVALID_MARK, INVALID_MARK
            continue
        numerator = rng.randint(-PART_LIMIT, PART_LIMIT)
        denominator = 0
        while denominator == 0:
            denominator = rng.randint(-PART_LIMIT, PART_LIMIT)
        yield numerator, denominator


def workshop_records(rng, count):
    # The running sum in 64ths: every value is a whole number of 64ths.
    sum64 = 0
    for _ in range(count):
        if rng.random() < 0.05:
            yield INVALID_MARK, INVALID_MARK
            continue
        magnitude = rng.randint(0, 1000)
        denominator = rng.choice(WORKSHOP_DENOMINATORS)
        value64 = magnitude * (64 // denominator)
        negative = rng.random() < 0.5
        if abs(sum64 + (-value64 if negative else value64)) > WORKSHOP_SUM_BOUND * 64:
            negative = not negative
        sum64 += -value64 if negative else value64
        if negative and rng.random() < 0.5:
            yield magnitude, -denominator
        elif negative:
            yield -magnitude, denominator
        elif rng.random() < 0.3:
            yield -magnitude, -denominator
        else:
            yield magnitude, denominator


def main() -> None:
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    kind = sys.argv[3] if len(sys.argv) > 3 else "wide"
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 20261208
    generators = {"wide": wide_records, "workshop": workshop_records}
    if kind not in generators:
        sys.exit(f"make_fraction_file.py: unknown kind {kind!r}: wide or workshop")
    rng = random.Random(seed)
    record = struct.Struct("<ii")
    with open(out, "wb") as file:
        file.write(struct.pack("<i", count))
        block = bytearray()
        for numerator, denominator in generators[kind](rng, count):
            block += record.pack(numerator, denominator)
            if len(block) >= 1 << 20:
                file.write(block)
                block.clear()
        file.write(block)


if __name__ == "__main__":
    main()
