"""Recomputes the year's MADW, AADT and K30 with pandas from the hourly CSV
export (-fcsv) of a generated year, the excluded dates left out, and compares
them with the JSON study (-fjson) of the same file.

    recompute_year.py TALLYCNV YEAR_CHECK_FILES
"""
import io
import os
import json
import subprocess
import sys
import tempfile

import pandas as pd


def run(program, directory, *args):
    result = subprocess.run([program, *args], cwd=directory, capture_output=True, check=False)
    if result.returncode != 0:
        sys.exit(f"{' '.join(args)}: exit {result.returncode}: {result.stderr!r}")
    return result.stdout


def main():
    program, make_files = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    failures = []
    with tempfile.TemporaryDirectory() as directory:
        subprocess.run([make_files, directory], check=True)
        csv = pd.read_csv(io.BytesIO(run(program, directory, "YEAR.DAT", "^", "-fcsv")))
        study = json.loads(run(program, directory, "YEAR.DAT", "^", "-fjson", "--exclude-dates=EXCLUDE.TXT"))
        with open(f"{directory}/EXCLUDE.TXT") as f:
            excluded = {pd.Timestamp(line.strip()).date() for line in f if line.strip()}

    # Each row is an hour ending at `end`, one row per channel.
    csv["start"] = pd.to_datetime(csv["end"]) - pd.to_timedelta(csv["minutes"], unit="m")
    hours = csv.groupby("start")["count"].sum().reset_index()
    hours["date"] = hours["start"].dt.date
    hours = hours[~hours["date"].isin(excluded)]
    days = hours.groupby("date")["count"].agg(["sum", "size"]).reset_index()
    days = days[days["size"] == 24]
    days["month"] = pd.to_datetime(days["date"]).dt.month
    days["weekday"] = pd.to_datetime(days["date"]).dt.dayofweek
    madw = days.groupby(["month", "weekday"])["sum"].mean()
    aadt = madw.mean()
    k30_volume = hours["count"].sort_values(ascending=False).iloc[29]

    year = study["annual"][0]
    names = ["Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"]

    def same(a, b, what):
        if a is None or abs(a - b) > 1e-9 * max(1.0, abs(b)):
            failures.append(f"{what}: program {a}, pandas {b}")

    if len(madw) != 84:
        failures.append(f"pandas found {len(madw)} month-weekday cells")
    for (month, weekday), value in madw.items():
        same(year["madw"][str(month)][names[weekday]], value, f"MADW {month} {names[weekday]}")
    same(year["aadt"], aadt, "AADT")
    same(year["adt_mean"], days["sum"].mean(), "plain mean")
    same(year["dhv30"], k30_volume, "DHV30")
    same(year["k30"], k30_volume / aadt, "K30")
    if failures:
        sys.exit("\n".join(failures))
    print(f"year recomputed: AADT {aadt:.3f}, K30 {k30_volume / aadt:.5f}, 84 MADW")


main()
