#!/usr/bin/env python3
"""Reads the CSV export of generated data files back with Python's csv module
and compares every value with the fixed-column report of the same file: each
vehicle of a VBV-1 listing, each count of an INT-2 (or INT-1) report.

    readback.py TALLYCNV CSV_CHECK_FILES
"""
import csv
import datetime
import io
import re
import subprocess
import sys
import tempfile

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(program, path, *options):
    result = subprocess.run([program, path, "^", *options], capture_output=True, check=False)
    if result.returncode != 0:
        sys.exit(f"{path} {' '.join(options)}: exit {result.returncode}: {result.stderr!r}")
    return result.stdout.decode("latin-1")


def read_csv(text, name):
    """The rows of a CSV text; every line ends with CR LF and has the header's field count."""
    check(text.endswith("\r\n") and "\n" not in text.replace("\r\n", ""), f"{name}: line ends")
    rows = list(csv.DictReader(io.StringIO(text, newline="")))
    check(len(rows) > 0, f"{name}: no rows")
    return rows


def near(a, b, tolerance):
    return abs(float(a) - float(b)) <= tolerance + 1e-9


# Vehicle files ----------------------------------------------------------------

def listing_vehicles(text):
    """Vehicle lines of a VBV-1 listing whose columns are all filled, split into fields."""
    lines = []
    for line in text.split("\r\n"):
        fields = line.split()
        if len(fields) > 15 and len(fields[0]) == 6:
            lines.append(fields)
    return lines


def check_apportioned(name, shown, own, total, tolerance):
    """The listing rounds every column but the last to whole units and gives the
    last what is left of the total; the export holds each column's own value."""
    for i, (s, o) in enumerate(zip(shown, own)):
        if i + 1 < len(own):
            check(near(s, o, 0.5 + tolerance), f"{name} column {i + 1}: {s} vs {o}")
        else:
            rest = float(total) - sum(float(x) for x in shown[:-1])
            check(near(s, rest, tolerance + 0.01) if rest >= 0 else near(s, o, 0.5 + tolerance),
                  f"{name} last column: {s} vs {o} (rest {rest})")


def compare_vehicles(program, path, units, weight_unit):
    """`units` is the option of the listing; the export runs with the same unit
    system. `weight_unit` turns an exported weight into the listing's unit."""
    imperial = units.startswith("-I")
    rows = read_csv(run(program, path, "-fcsv", *([units] if imperial else [])), path)
    listed = listing_vehicles(run(program, path, "-fv1", units))
    check(len(rows) == len(listed), f"{path}: {len(rows)} rows, {len(listed)} listed vehicles")
    speed = "speed_mph" if imperial else "speed_kmh"
    length = "_ft" if imperial else "_m"
    weight = "_lb" if imperial else "_kg"
    for row, f in zip(rows, listed):
        name = f"{path} {units} vehicle {row['vehicle']}"
        when = datetime.datetime.fromisoformat(row["time"])
        check(int(f[0]) == int(row["vehicle"]), f"{name}: number {f[0]}")
        check(f[1] == when.strftime("%d%m%y") and f[2] == when.strftime("%H%M") and f[3] == when.strftime("%S"),
              f"{name}: time {f[1:4]} vs {row['time']}")
        check(f[4] == row["time"][-2:], f"{name}: hundredths")
        check(f[5] == row["result_code"], f"{name}: result code")
        check(f[6] == row["lane"] and f[7] == row["direction"], f"{name}: lane, direction")
        for i, column in ((8, "headway_s"), (9, "gap_s")):
            check(float(f[i]) == min(float(row[column]), 99.9), f"{name}: {column} {f[i]} vs {row[column]}")
        if imperial:  # the listing cuts to whole mph; the export keeps a decimal
            check(0 <= float(row[speed]) - int(f[10]) < 1.05, f"{name}: speed {f[10]} vs {row[speed]}")
        else:
            check(f[10] == row[speed], f"{name}: speed {f[10]} vs {row[speed]}")
        check(near(f[11], row["length" + length], 0.001), f"{name}: length")
        axles = int(row["axles"])
        check(int(f[12]) == axles and f[13] == row["class"], f"{name}: axles, class")
        check(near(f[14], row["wheelbase" + length], 0.001), f"{name}: wheelbase")
        spacings = [row[f"spacing_{i}{length}"] for i in range(1, axles)]
        check(all(row[f"spacing_{i}{length}"] == "" for i in range(axles, 13)), f"{name}: spacings past the axles")
        check_apportioned(name + " spacing", f[15:15 + axles - 1], spacings, f[14], 0.001)
        rest = f[15 + axles - 1:]
        tolerance = 0.0 if imperial else 0.55
        check(near(rest[0], weight_unit(row["gross_weight" + weight]), tolerance), f"{name}: gross weight")
        weights = [weight_unit(row[f"axle_weight_{i}{weight}"]) for i in range(1, axles + 1)]
        check_apportioned(name + " weight", rest[1:], weights, rest[0], tolerance)


def check_vehicle_fields(program, path):
    """Spot checks the listings cannot show: the uncapped headway, empty fields."""
    rows = read_csv(run(program, path, "-fcsv"), path)
    header = run(program, path, "-fcsv", "-H")
    check(header == text_header(rows), f"{path}: header-only run")
    return rows


def text_header(rows):
    return ",".join(rows[0].keys()) + "\r\n"


# Interval files ---------------------------------------------------------------

def report_counts(text):
    """(interval end, channel, value, interval length) of every value of an INT-2 report."""
    counts = []
    minutes = None
    for line in text.split("\r\n"):
        fields = line.split()
        change = re.fullmatch(r"\* (INTERVAL|PEAKINT) = (\d+)", line)  # between data lines
        if change:
            minutes = int(change.group(2))
        elif fields and not line.startswith("*") and len(fields[0]) == 6:
            day = datetime.datetime.strptime(fields[0], "%d%m%y")
            end = day + datetime.timedelta(minutes=int(fields[1][:2]) * 60 + int(fields[1][2:]))
            counts += [(end, int(fields[2]), int(v), minutes) for v in fields[5:]]
    return counts


def compare_intervals(program, path, *options):
    rows = read_csv(run(program, path, "-fcsv", *options), path)
    report = run(program, path, "-fI2", *options)
    counts = report_counts(report)
    interval = int(report.split("* INTERVAL = ")[1].split()[0])
    counts = [(end, channel, value, minutes or interval) for end, channel, value, minutes in counts]
    exported = [(datetime.datetime.fromisoformat(r["end"]), int(r["channel"]), int(r["count"]), int(r["minutes"]))
                for r in rows]
    check(exported == counts, f"{path} {options}: counts differ from the INT-2 report")
    for r in rows:
        check((r["peak"] == "1") == (r["minutes"] == "15"), f"{path}: peak flag {r}")
        check(r["bin_1"] != "" or r["bin_2"] != "", f"{path}: a binned count without a bin {r}")
    check(rows[0]["site"] == 'SITE "7", NORTH' and rows[0]["heading"] == "N,S", f"{path}: quoted texts {rows[0]}")
    return rows


def compare_counts(program, path):
    rows = read_csv(run(program, path, "-fcsv"), path)
    per_channel = {}
    for line in run(program, path, "-fI1", "-W8").split("\r\n"):
        fields = line.split()
        if fields and not line.startswith("*") and len(fields[0]) == 6:
            per_channel.setdefault(int(fields[2]), []).extend(int(v) for v in fields[3:])
    exported = {}
    for r in rows:
        exported.setdefault(int(r["channel"]), []).append(int(r["count"]))
        check(r["bin_1"] == r["bin_2"] == r["bin_3"] == "", f"{path}: a count-only row with a bin")
    check(exported == per_channel, f"{path}: counts differ from the INT-1 report")


def main():
    program, make_files = sys.argv[1:3]
    with tempfile.TemporaryDirectory() as directory:
        subprocess.run([make_files, directory], check=True)
        for name in ("BASE", "TYPE4", "TYPE6", "TYPE7", "TYPE9", "STREAM", "MIXED", "WRAPPED"):
            path = f"{directory}/{name}.DAT"
            compare_vehicles(program, path, "-M3", lambda kg: float(kg) / 10)
            compare_vehicles(program, path, "-I4", lambda lb: float(lb) / 10)
            rows = check_vehicle_fields(program, path)
            check(any(float(r["headway_s"]) > 99.9 for r in rows), f"{path}: no headway above the listing's cap")
        compare_intervals(program, f"{directory}/SPCLASS.DAT")
        compare_intervals(program, f"{directory}/SPLEN.DAT", "-S")
        merged = compare_intervals(program, f"{directory}/SWED14.DAT", "/mc")
        check(all(r["bin_1"] != "CLASS 14" for r in merged) and merged[0]["bin_1"] == "CLASS 1",
              "SWED14: merged classes")
        compare_counts(program, f"{directory}/COUNTS.DAT")
    for failure in failures[:20]:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
