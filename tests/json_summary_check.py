"""Checks `fraction --report --summary=json` against an exact model.

Usage: json_summary_check.py FRACTION FRACFILE

Makes small random fraction files with fracfile, some whose 32-bit sum
overflows, and for each checks the JSON object: it parses strictly, its
strings are the values of the text summary of the same file, and its
numbers are within a relative error of 1e-12 of the exact rational values
of the valid fractions.
"""
import json
import random
import re
import subprocess
import sys
from fractions import Fraction

fraction_program, fracfile_program = sys.argv[1], sys.argv[2]
failures = []
INT32_MIN, INT32_MAX = -(2**31), 2**31 - 1


def fail(message):
    failures.append(message)
    print("FAIL [json]: " + message, file=sys.stderr)


def strict_number(text):
    raise ValueError("not a JSON number: " + text)


def random_records(rng, count, wide):
    records = []
    for _ in range(count):
        roll = rng.random()
        if roll < 0.08:
            records.append(None)
        elif wide:
            records.append((rng.randint(INT32_MIN, INT32_MAX), rng.choice([-1, 1]) * rng.randint(1, INT32_MAX)))
        else:
            records.append((rng.randint(-40, 40), rng.choice([-1, 1]) * rng.randint(1, 12)))
    return records


def exact_model(records):
    valid = sorted((Fraction(n, d) for n, d in (r for r in records if r is not None)), reverse=True)
    model = {"records": len(records), "valid": len(valid), "invalid": len(records) - len(valid)}
    model["sum_value"] = sum(valid, Fraction(0))
    model["average_value"] = model["sum_value"] / len(valid) if valid else None
    model["median_value"] = valid[(len(valid) + 1) // 2 - 1] if valid else None
    model["least_value"] = valid[-1] if valid else None
    model["greatest_value"] = valid[0] if valid else None
    return model


def spaced_to_fraction(text):
    """The report's spaced form ("- 3 / 4 ") as a Fraction; None if invalid."""
    text = text.strip()
    if text == "Invalid Fraction!!":
        return None
    match = re.fullmatch(r"(-?) ?(\d+) / (\d+)", text)
    if not match:
        raise ValueError("not the report's form: " + text)
    value = Fraction(int(match.group(2)), int(match.group(3)))
    return -value if match.group(1) else value


def compact_to_fraction(text, where):
    if text is None:
        return None
    match = re.fullmatch(r"(-?\d+)/(\d+)", text)
    if not match or int(match.group(2)) == 0:
        fail(where + ": not the compact form: " + repr(text))
        return None
    numerator, denominator = int(match.group(1)), int(match.group(2))
    if Fraction(numerator, denominator).denominator != denominator:
        fail(where + ": not in lowest terms: " + text)
    return Fraction(numerator, denominator)


def close_enough(actual, exact):
    if exact == 0:
        return abs(actual) <= 1e-30
    return abs(Fraction(actual) - exact) <= abs(exact) * Fraction(1, 10**12)


def check(name, records):
    text = "".join("invalid\n" if r is None else "%d/%d\n" % r for r in records)
    subprocess.run([fracfile_program, "pack", name], input=text.encode(), check=True)
    run = subprocess.run([fraction_program, "--report", "--summary=json", name],
                         stdin=subprocess.DEVNULL, capture_output=True)
    if run.returncode != 0 or run.stderr:
        fail("%s: status %d, errors %r" % (name, run.returncode, run.stderr))
        return None
    try:
        summary = json.loads(run.stdout.decode(), parse_constant=strict_number)
    except ValueError as error:
        fail("%s: not one JSON object: %s: %r" % (name, error, run.stdout))
        return None
    if run.stdout.count(b"\n") != 1 or not run.stdout.endswith(b"}\n"):
        fail("%s: not one line: %r" % (name, run.stdout))
    model = exact_model(records)
    for field in ("records", "valid", "invalid"):
        if summary.get(field) != model[field]:
            fail("%s: %s is %r, not %r" % (name, field, summary.get(field), model[field]))

    # The strings are the text summary's own values.
    shown = subprocess.run([fraction_program, "--report", "-q", "--summary", name],
                           stdin=subprocess.DEVNULL, capture_output=True, check=True).stdout.decode()
    lines = dict(re.findall(r"^The (\w+) is (.*)$", shown, re.M))
    for field, word in (("sum", "sum"), ("average", "average"), ("median", "medium"),
                        ("least", "least"), ("greatest", "greatest")):
        expected = spaced_to_fraction(lines[word])
        actual = compact_to_fraction(summary.get(field), "%s: %s" % (name, field))
        if actual != expected or (expected is None) != (summary.get(field) is None):
            fail("%s: %s is %r, the report says %r" % (name, field, summary.get(field), lines[word]))

    for field, exact in model.items():
        if not field.endswith("_value"):
            continue
        actual = summary.get(field)
        if exact is None:
            if actual is not None:
                fail("%s: %s is %r, not null" % (name, field, actual))
        elif not isinstance(actual, (int, float)) or isinstance(actual, bool) or not close_enough(actual, exact):
            fail("%s: %s is %r, exactly %r" % (name, field, actual, float(exact)))
    return summary


rng = random.Random(29)
overflowed = 0
cases = [("empty.frac", []), ("none-valid.frac", [None, None]),
         ("cancelling.frac", [(1, 3), (-1, 3), (2, -6), (-2, -6), (-5, 7), (5, 7)]),
         ("extremes.frac", [(INT32_MIN, 1), (INT32_MAX, 1), (INT32_MIN, INT32_MIN), (1, INT32_MIN)] * 3)]
cases += [("small%d.frac" % i, random_records(rng, rng.randint(1, 60), False)) for i in range(4)]
cases += [("wide%d.frac" % i, random_records(rng, rng.randint(2, 300), True)) for i in range(8)]
for name, records in cases:
    summary = check(name, records)
    if summary is not None and summary.get("valid", 0) > 0 and summary.get("sum") is None:
        overflowed += 1
if overflowed < 3:
    fail("only %d files whose 32-bit sum overflowed" % overflowed)
print("json: %d files, %d with an overflowing sum, %d failures" % (len(cases), overflowed, len(failures)))
sys.exit(1 if failures else 0)
