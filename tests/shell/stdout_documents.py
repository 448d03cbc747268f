#!/usr/bin/env python3
"""Reads the CSV and the JSON study from standard output as a user's pipeline
does, with no "^": pandas (or Python's csv module where pandas is missing)
takes the CSV as it is, json.loads the study; the banner is on standard error.
The 40 vehicles of BASE.DAT are the number its generator wrote, and the
documents equal those written to a file.

    stdout_documents.py TALLYCNV CSV_CHECK_FILES
"""
import csv
import io
import json
import os
import subprocess
import sys
import tempfile

VEHICLES = 40  # csv_check_files writes BASE.DAT with 40 vehicles
BANNER = b"TALLYCNV : ZUNO Binary to ASCII File Formatter"

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def main():
    program, make_files = sys.argv[1:3]
    with tempfile.TemporaryDirectory() as scratch:
        subprocess.run([make_files, scratch], check=True)
        source = os.path.join(scratch, "BASE.DAT")
        for fmt in ("-fcsv", "-fjson", "-fhtml", "-fstudy"):
            piped = subprocess.run([program, source, fmt], capture_output=True, check=False)
            check(piped.returncode == 0, f"{fmt}: exit {piped.returncode}")
            check(piped.stderr.startswith(BANNER), f"{fmt}: no banner on standard error")
            check(BANNER not in piped.stdout, f"{fmt}: the banner on standard output")
            target = os.path.join(scratch, "OUT" + fmt)
            subprocess.run([program, source, target, "^", fmt], check=True)
            with open(target, "rb") as f:
                check(f.read() == piped.stdout, f"{fmt}: standard output differs from the file")
            if fmt == "-fcsv":
                try:
                    import pandas

                    frame = pandas.read_csv(io.BytesIO(piped.stdout))
                    check(frame.shape[0] == VEHICLES, f"csv: pandas reads {frame.shape[0]} rows")
                    check(list(frame.columns[:3]) == ["site", "vehicle", "time"], "csv: pandas columns")
                except ImportError:
                    rows = list(csv.DictReader(io.StringIO(piped.stdout.decode("utf-8"), newline="")))
                    check(len(rows) == VEHICLES, f"csv: {len(rows)} rows")
            elif fmt == "-fjson":
                study = json.loads(piped.stdout.decode("utf-8"))
                check(study["volume"]["total"] == VEHICLES, f"json: total {study['volume']['total']}")
            elif fmt == "-fhtml":
                check(piped.stdout.lower().startswith(b"<!doctype html>"), "html: not opened by its doctype")
    for f in failures:
        print(f)
    print("ok" if not failures else "FAILED")
    sys.exit(1 if failures else 0)


main()
