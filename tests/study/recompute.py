"""Recomputes every figure of the JSON study (-fjson) from the CSV export
(-fcsv) of the same generated data file with pandas, by the definitions the
manual page gives, and compares the two.

    recompute.py TALLYCNV STUDY_CHECK_FILES
"""
import collections
import io
import json
import math
import subprocess
import sys
import tempfile

import pandas as pd

failures = []
checked = 0

# The recording of every generated vehicle file, as its header gives it.
START = pd.Timestamp("2013-02-27 10:07:00")
STOP = pd.Timestamp("2013-03-02 14:00:00")


def check(condition, what):
    global checked
    checked += 1
    if not condition:
        failures.append(what)


def same(a, b, what, tolerance=1e-6):
    """Numbers equal within a relative tolerance; None only equals None."""
    if a is None or b is None:
        check(a is None and b is None, f"{what}: {a} vs {b}")
        return
    if isinstance(a, bool) or isinstance(b, bool):
        check(a == b, f"{what}: {a} vs {b}")
        return
    check(abs(float(a) - float(b)) <= tolerance * max(1.0, abs(float(b))), f"{what}: {a} vs {b}")


def run(program, path, *options):
    result = subprocess.run([program, path, "^", *options], capture_output=True, check=False)
    if result.returncode != 0:
        sys.exit(f"{path} {' '.join(options)}: exit {result.returncode}: {result.stderr!r}")
    return result.stdout


def mean_or_none(values):
    return sum(values) / len(values) if values else None


def half_up(x, places):
    return math.floor(x * 10 ** places + 0.5) / 10 ** places


# Days, full days, profiles and peak hours ---------------------------------------

def full_days(days, start, stop):
    return [d for d in days if start <= pd.Timestamp(d) and pd.Timestamp(d) + pd.Timedelta(days=1) <= stop]


def listed_days(counted_days, start, stop):
    first = min([start.normalize()] + [pd.Timestamp(d) for d in counted_days])
    last = max([(stop - pd.Timedelta(seconds=1)).normalize()] + [pd.Timestamp(d) for d in counted_days])
    return [d.date() for d in pd.date_range(first, last, freq="D")]


QUARTER_HOURS = set(range(0, 1441, 15))
KM_PER_MILE = 1.609344

# The published names of the FHWA 13-class scheme.
FHWA13 = ["Motorcycles", "Passenger Cars", "Other Two-Axle Four-Tire Single Unit Vehicles", "Buses",
          "Two-Axle Six-Tire Single-Unit Trucks", "Three-Axle Single-Unit Trucks",
          "Four or More Axle Single-Unit Trucks", "Four or Fewer Axle Single-Trailer Trucks",
          "Five-Axle Single-Trailer Trucks", "Six or More Axle Single-Trailer Trucks",
          "Five or Fewer Axle Multi-Trailer Trucks", "Six-Axle Multi-Trailer Trucks",
          "Seven or More Axle Multi-Trailer Trucks"]


def busiest(count, ends, quarters, starts):
    """The 60-minute window within the day with the most vehicles (earliest on a tie). A window starts and
    ends on an interval end; `count(a, b)`: the vehicles from minute a up to b. With quarter hours (each
    ending on an end) PHF = volume / (4 x the busiest one); otherwise no PHF and the busiest of its
    intervals (from end to end) by count x 60 / minutes."""
    best = None
    for m in (m for m in starts if m + 60 <= 1440):
        if quarters:
            bounds = [m + 15 * q for q in range(5)]
            if not all(b in ends for b in bounds):
                continue
        else:
            if m not in ends or m + 60 not in ends:
                continue
            bounds = sorted(e for e in ends if m <= e <= m + 60)
        parts = [(count(a, b), b - a) for a, b in zip(bounds, bounds[1:])]
        volume = sum(n for n, _ in parts)
        if volume > 0 and (best is None or volume > best[1]):
            largest = max(parts, key=lambda part: part[0] * 60 / part[1])  # the first of equal rates
            best = (m, volume, largest)
    if best is None:
        return None
    m, volume, (largest, minutes) = best
    rate = largest * 60 / minutes
    peak = {"start": f"{m // 60:02d}:{m % 60:02d}", "volume": volume,
            "phf": half_up(volume / rate, 3) if rate > 0 and quarters else None}
    if quarters:
        peak["largest_quarter"] = largest
    else:
        peak["largest_interval"], peak["largest_interval_minutes"] = largest, minutes
        peak["largest_interval_hourly_rate"] = rate
    return peak


def compare_peak(got, want, what):
    if want is None or got is None:
        check(got is None and want is None, f"{what}: {got} vs {want}")
        return
    check(got["start"] == want["start"], f"{what} start: {got['start']} vs {want['start']}")
    for key in want:
        if key != "start":
            same(got.get(key), want[key], f"{what} {key}", 1e-9)


def check_volume(name, got, at, day_list, full, per_minute):
    """`at`: the instants counts belong to (one per count, `per_minute` their counts)."""
    frame = pd.DataFrame({"at": at, "n": per_minute})
    frame["day"] = frame["at"].dt.date
    frame["minute"] = frame["at"].dt.hour * 60 + frame["at"].dt.minute
    frame["hour"] = frame["at"].dt.hour
    by_day = frame.groupby("day")["n"].sum()
    totals = {d: int(by_day.get(d, 0)) for d in day_list}
    same(got["total"], int(frame["n"].sum()), f"{name} total")
    same(got["adt"], mean_or_none([totals[d] for d in full]), f"{name} adt")
    weekdays = [d for d in full if d.weekday() < 5]
    weekend = [d for d in full if d.weekday() >= 5]
    same(got["adt_weekday"], mean_or_none([totals[d] for d in weekdays]), f"{name} adt_weekday")
    for kind, days in (("weekday", weekdays), ("weekend", weekend)):
        hours = frame[frame["day"].isin(days)].groupby("hour")["n"].sum()
        for h in range(24):
            want = int(hours.get(h, 0)) / len(days) if days else None
            same(got["hourly_profile"][kind][h], want, f"{name} {kind} hour {h}")
    return frame, totals, weekdays


def check_peaks(name, got_peaks, frame, full, weekdays, ends_of, quarters):
    """`ends_of(day)`: the minutes of the day intervals end at (vehicle files: the quarter hours)."""
    def counter(rows, divisor):
        per_minute = rows.groupby("minute")["n"].sum().reindex(range(1440), fill_value=0).cumsum().tolist()
        return lambda a, b: (per_minute[b - 1] - (per_minute[a - 1] if a > 0 else 0)) / divisor
    def peaks_of(count, ends):
        am = busiest(count, ends, quarters, range(0, 720))
        pm = busiest(count, ends, quarters, range(720, 1440))
        day = pm if am is None or (pm is not None and pm["volume"] > am["volume"]) else am
        return am, pm, day
    want = []
    for d in full:
        want.append((str(d), *peaks_of(counter(frame[frame["day"] == d], 1), ends_of(d))))
    if weekdays:
        ends = set.intersection(*[ends_of(d) for d in weekdays])
        want.append(("mean weekday", *peaks_of(counter(frame[frame["day"].isin(weekdays)], len(weekdays)), ends)))
    check(len(got_peaks) == len(want), f"{name} peak days: {len(got_peaks)} vs {len(want)}")
    for got, (date, am, pm, day) in zip(got_peaks, want):
        check(got["date"] == date, f"{name} peak date {got['date']} vs {date}")
        compare_peak(got["am"], am, f"{name} {date} AM peak")
        compare_peak(got["pm"], pm, f"{name} {date} PM peak")
        compare_peak(got["day"], day, f"{name} {date} day's peak")


def empty_hour_days(at_by_group, day_list, start, stop, threshold=7):
    """The days on which some group in use has `threshold` or more consecutive whole hours inside the
    recording without a count (the critical rule zero_hours); `at_by_group`: per group, the instants
    of its counts (only counts above 0)."""
    excluded = set()
    for at in at_by_group:
        if len(at) == 0:
            continue  # not in use
        hours = set(at.dt.floor("h"))
        for d in day_list:
            run = 0
            for h in range(24):
                begin = pd.Timestamp(d) + pd.Timedelta(hours=h)
                inside = start <= begin and begin + pd.Timedelta(hours=1) <= stop
                run = run + 1 if inside and begin not in hours else 0
                if run >= threshold:
                    excluded.add(d)
    return excluded


def check_daily(name, daily, totals_by_group, full, keys, by, excluded=frozenset()):
    check([row["date"] for row in daily] == [str(d) for d in totals_by_group["all"]],
          f"{name} daily dates {[row['date'] for row in daily]}")
    for row in daily:
        d = pd.Timestamp(row["date"]).date()
        same(row["total"], totals_by_group["all"].get(d), f"{name} {d} total")
        check(row["full_day"] == (d in full), f"{name} {d} full_day")
        check(row["valid"] == (d not in excluded), f"{name} {d} valid")
        for key in keys:
            same(row[by][key], totals_by_group[key].get(d), f"{name} {d} {by} {key}")


# Vehicle files -----------------------------------------------------------------

def percentile(values, n):
    ordered = sorted(values)
    if not ordered:
        return None
    return ordered[-(-n * len(ordered) // 100) - 1]


def histogram(values, width, open_from=None):
    bins = [int(v // width) for v in values]
    if open_from is not None:
        bins = [min(b, open_from) for b in bins]
    if not bins:
        return []
    counts = [0] * (max(bins) + 1 if open_from is None else open_from + 1)
    for b in bins:
        counts[b] += 1
    return counts


def check_speed(name, got, speeds, headways, limit, per_unit):
    """`speeds`: the stored whole speeds (0: not measured), each worth `per_unit` in the study's unit."""
    measured = [(int(s), h) for s, h in zip(speeds, headways) if not math.isnan(s) and int(s) > 0]
    stored = [s for s, _ in measured]
    speeds = [s * per_unit for s in stored]
    headways = [h for _, h in measured]
    same(got["count"], len(speeds), f"{name} speed count")
    if not speeds:
        check(got["mean"] is None and got["p85"] is None, f"{name} speed without speeds")
        return
    series = pd.Series(speeds, dtype=float)
    same(got["mean"], series.mean(), f"{name} speed mean")
    same(got["stddev"], series.std() if len(speeds) > 1 else None, f"{name} speed stddev")
    same(got["min"], series.min(), f"{name} speed min")
    same(got["max"], series.max(), f"{name} speed max")
    for n in (15, 50, 85, 95):
        same(got[f"p{n}"], percentile(speeds, n), f"{name} p{n}")
    free = [s for s, h in zip(speeds, headways) if not math.isnan(h) and h >= 4.0]
    same(got["p85_free_flow"], percentile(free, 85), f"{name} p85_free_flow")
    # The pace starts at a speed some vehicle drove: the lowest such start on a tie.
    in_pace = {a: sum(1 for s in stored if 0 <= (s - a) * per_unit < 10) for a in set(stored)}
    best = max(sorted(in_pace), key=lambda a: (in_pace[a], -a))
    same(got["pace"]["from"], best * per_unit, f"{name} pace from")
    same(got["pace"]["to"], best * per_unit + 10, f"{name} pace to (not included)")
    same(got["pace"]["share"], in_pace[best] / len(speeds), f"{name} pace share")
    if limit:
        same(got["share_above_limit"], sum(s > limit for s in speeds) / len(speeds), f"{name} above limit")
        same(got["share_above_limit_plus_10"], sum(s > limit + 10 for s in speeds) / len(speeds),
             f"{name} above limit + 10")
    else:
        check(got["share_above_limit"] is None, f"{name} share above limit without a limit")


def check_counts(name, got, values, keys):
    values = [int(v) for v in values]
    want = dict(collections.Counter(values))
    for k in keys:
        want.setdefault(k, 0)
    check([int(row[list(row)[0]]) for row in got] == sorted(want), f"{name}: keys {got}")
    for row in got:
        key = int(row[list(row)[0]])
        same(row["count"], want.get(key), f"{name} {key} count")
        same(row["share"], want.get(key, 0) / len(values) if values else None, f"{name} {key} share")


def check_vehicle_group(name, got, rows, imperial, limit, measured):
    weight = "_lb" if imperial else "_kg"
    # The export gives mph to one decimal: the stored whole km/h it came from, converted exactly again.
    stored = (rows["speed_mph"] * KM_PER_MILE).round() if imperial else rows["speed_kmh"]
    check_speed(name, got["speed"], list(stored), list(rows["headway_s"]), limit,
                1 / KM_PER_MILE if imperial else 1)
    check_counts(f"{name} classes", got["classes"], rows["class"].dropna(), range(1, 14))
    for c in got["classes"]:
        code = int(c["class"])
        check(c.get("name") == (FHWA13[code - 1] if 1 <= code <= 13 else None), f"{name} class {code} name")
    if not measured:
        # A loop-only site: the export leaves axles, spacings and weights empty; the study gives null.
        unmeasured = ["axles", "wheelbase_m", "gross_weight_kg", "spacing_1_m", "axle_weight_1_kg"]
        check(rows[unmeasured].isna().all().all(), f"{name}: unmeasured fields exported")
        check(got["axles"] is None and got["gross_weights"] is None and got["esal"] is None,
              f"{name}: unmeasured figures given")
        return None
    check_counts(f"{name} axles", got["axles"], rows["axles"].dropna(), [])
    headways = rows["headway_s"].dropna().round(1)
    check(got["headways"]["counts"] == histogram(headways + 1e-9, 1, 10), f"{name} headways")
    check(got["gaps"]["counts"] == histogram(rows["gap_s"].dropna().round(1) + 1e-9, 1, 10), f"{name} gaps")
    same(got["headway_under_2s_share"], (headways < 2).sum() / len(headways) if len(headways) else None,
         f"{name} headways under 2 s")
    lengths = (rows["length" + ("_ft" if imperial else "_m")].dropna() * 100).round().astype(int)
    lengths = lengths[lengths > 0]  # a length of 0 was not measured
    check(got["lengths"]["counts"] == histogram(lengths, 300 if imperial else 100), f"{name} lengths")
    weighed = rows[rows["gross_weight" + weight] > 0]
    gross = weighed["gross_weight" + weight].astype(int)
    check(got["gross_weights"]["counts"] == histogram(gross, 2000 if imperial else 1000), f"{name} weights")
    standard = 18000.0 if imperial else 8160.0
    axle_columns = [f"axle_weight_{i}{weight}" for i in range(1, 14)]
    esal = ((weighed[axle_columns].fillna(0) / standard) ** 4).sum(axis=1)
    same(got["esal"]["total"], esal.sum(), f"{name} esal")
    by_class = weighed.assign(esal=esal).groupby("class")
    want_classes = {str(int(c)): g for c, g in by_class}
    check([w["class"] for w in got["weight_by_class"]] == sorted(want_classes, key=int),
          f"{name} weighed classes")
    for w in got["weight_by_class"]:
        g = want_classes[w["class"]]
        same(w["weighed"], len(g), f"{name} class {w['class']} weighed")
        same(w["mean_gross_weight"], g["gross_weight" + weight].mean(), f"{name} class {w['class']} mean weight")
        same(got["esal"]["by_class"][w["class"]], g["esal"].sum(), f"{name} class {w['class']} esal")
    return esal


def check_vehicle_file(program, path, options):
    imperial = any(o.startswith("-I") for o in options)
    limit = next((float(o.split("=")[1]) for o in options if o.startswith("--speed-limit=")), None)
    rows = pd.read_csv(io.BytesIO(run(program, path, "-fcsv", *options)), encoding="latin-1")
    study = json.loads(run(program, path, "-fjson", *options).decode("utf-8"))
    name = path.split("/")[-1]
    measured = "LOOPONLY" not in name
    rows["at"] = pd.to_datetime(rows["time"], format="%Y-%m-%dT%H:%M:%S.%f")
    start, stop = START, STOP
    if "WRAPPED" in name:
        start = max(start, rows["at"].iloc[0].floor("s"))
    if "NOTCLOSED" in name:
        stop = rows["at"].iloc[-1].floor("s")
    vol = study["volume"]
    same(study["survey"]["vehicles"], len(rows), f"{name} vehicles")
    for key, column, got in (("direction", "direction", vol["by_direction"]), ("lane", "lane", vol["by_lane"])):
        want = {str(int(k)): int(c) for k, c in rows[column].dropna().value_counts().items()}
        for k in want:
            same(got.get(k), want[k], f"{name} by_{key} {k}")
    timed = rows.dropna(subset=["at"])
    day_list = listed_days(set(timed["at"].dt.date), start, stop)
    listed_full = full_days(day_list, start, stop)
    same(study["survey"]["full_days"], len(listed_full), f"{name} full days")
    # The days a direction in use spends 7 hours or more without a vehicle leave the averages.
    excluded = empty_hour_days([timed[timed["direction"] == k]["at"] for k in (1, 2)], day_list, start, stop)
    check(study["quality"]["excluded_days"] == sorted(str(d) for d in excluded),
          f"{name} excluded days {study['quality']['excluded_days']} vs {sorted(excluded)}")
    full = [d for d in listed_full if d not in excluded]
    groups = {"all": (timed, vol, study)}
    used = sorted(str(int(d)) for d in rows["direction"].dropna().unique())
    check(sorted(study["directions"]) == used, f"{name} directions {sorted(study['directions'])} vs {used}")
    # Lanes and directions are named from the header's headings (the generator's: N S, or EB on every lane).
    headings = {"1": "EB", "2": "EB", "3": "EB", "4": "EB"} if not measured else {"1": "N", "2": "S"}
    check(vol["lane_names"] == {k: v for k, v in headings.items() if k in vol["by_lane"]}, f"{name} lane names")
    # A direction is named by the heading all the lanes it drove in share.
    for key in used:
        lane_headings = {headings.get(str(int(lane))) for lane in rows[rows["direction"] == int(key)]["lane"].dropna()}
        want = lane_headings.pop() if len(lane_headings) == 1 else None
        check(study["directions"][key].get("name") == want, f"{name} direction {key} name")
    for key in used:
        part = timed[timed["direction"] == int(key)]
        groups[key] = (part, study["directions"][key]["volume"], study["directions"][key])
    totals = {}
    for key, (part, got_volume, got) in groups.items():
        frame, day_totals, weekdays = check_volume(f"{name} {key}", got_volume, part["at"], day_list, full,
                                                   [1] * len(part))
        totals[key] = day_totals
        check_peaks(f"{name} {key}", got["peak_hours"], frame, full, weekdays, lambda d: QUARTER_HOURS, True)
        subset = rows if key == "all" else rows[rows["direction"] == int(key)]
        esal = check_vehicle_group(f"{name} {key}", got, subset, imperial, limit, measured)
        if esal is None:
            continue
        in_group = timed if key == "all" else timed[timed["direction"] == int(key)]
        per_day = in_group.assign(esal=esal.reindex(in_group.index).fillna(0)).groupby(
            in_group["at"].dt.date)["esal"].sum()
        if key == "all" and study["present"]["weight"]:
            for row in vol["daily"]:
                d = pd.Timestamp(row["date"]).date()
                same(row["esal"], float(per_day.get(d, 0.0)), f"{name} {d} esal")
        same(got["esal"]["per_full_day"], mean_or_none([float(per_day.get(d, 0.0)) for d in full]),
             f"{name} {key} esal per full day")
    check_daily(name, vol["daily"], totals, listed_full, used, "by_direction", excluded)


# Interval files ----------------------------------------------------------------

def bin_edges(label):
    """(low, high) of a speed bin label "SPEED 30-50"; high None for "SPEED >110"."""
    text = label.split(" ", 1)[1]
    if text.startswith(">"):
        return float(text[1:]), None
    low, high = text.split("-")
    return float(low), float(high)


def interpolated(totals, labels, n):
    total = sum(totals)
    target = total * n / 100
    below = 0
    for count, label in zip(totals, labels):
        low, high = bin_edges(label)
        if count > 0 and below + count >= target:
            if high is None:
                return {"above": low}
            return low + (target - below) / count * (high - low)
        below += count
    return None


def share_above(totals, labels, limit):
    """The share of the binned vehicles from `limit` up: a number when the limit is a bin edge, else the
    bins wholly above it and those reaching above it as bounds."""
    total = sum(totals)
    surely = sum(t for t, l in zip(totals, labels) if bin_edges(l)[0] >= limit)
    maybe = sum(t for t, l in zip(totals, labels)
                if bin_edges(l)[0] < limit and (bin_edges(l)[1] is None or bin_edges(l)[1] > limit))
    if maybe == 0:
        return surely / total
    return {"at_least": surely / total, "at_most": (surely + maybe) / total}


def check_bins(name, got, rows, limit):
    for b in got:
        column = f"bin_{b['list']}"
        sums = rows.dropna(subset=[column]).groupby(column)["count"].sum()
        for entry in b["totals"]:
            same(entry["count"], int(sums.get(entry["bin"], 0)), f"{name} {entry['bin']}")
        if b["name"] == "SPEED":
            totals = [int(sums.get(e["bin"], 0)) for e in b["totals"]]
            labels = [e["bin"] for e in b["totals"]]
            middles = [(lambda lo, hi: lo if hi is None else (lo + hi) / 2)(*bin_edges(l)) for l in labels]
            same(b["speed"]["count"], sum(totals), f"{name} speed count")
            same(b["speed"]["mean"], sum(t * m for t, m in zip(totals, middles)) / sum(totals), f"{name} speed mean")
            for n in (15, 50, 85, 95):
                want = interpolated(totals, labels, n)
                got_p = b["speed"][f"p{n}"]
                if isinstance(want, dict):
                    check(got_p == want, f"{name} p{n}: {got_p} vs {want}")
                else:
                    same(got_p, want, f"{name} p{n}")
            for key, over in (("share_above_limit", 0), ("share_above_limit_plus_10", 10)):
                want = share_above(totals, labels, limit + over) if limit else None
                got_share = b["speed"][key]
                if isinstance(want, dict):
                    check(isinstance(got_share, dict) and set(got_share) == set(want), f"{name} {key} bounds")
                    for bound in want:
                        same((got_share or {}).get(bound), want[bound], f"{name} {key} {bound}")
                else:
                    same(got_share, want, f"{name} {key}")


def check_interval_file(program, path, options):
    limit = next((float(o.split("=")[1]) for o in options if o.startswith("--speed-limit=")), None)
    rows = pd.read_csv(io.BytesIO(run(program, path, "-fcsv", *options)), encoding="latin-1",
                       keep_default_na=False, na_values={"bin_1": [""], "bin_2": [""], "bin_3": [""]})
    study = json.loads(run(program, path, "-fjson", *options).decode("utf-8"))
    name = path.split("/")[-1]
    rows["end"] = pd.to_datetime(rows["end"], format="%Y-%m-%dT%H:%M")
    summary = rows[[not str(l).startswith(("SPEED SUMMARY", "GAS")) for l in rows["bin_1"]]]
    # A channel's count for an interval: the largest of its lists' sums (a table's lists sum alike).
    lists = []
    for column in ("bin_1", "bin_2", "bin_3"):
        part = summary.dropna(subset=[column])
        if len(part):
            lists.append(part.groupby(["end", "channel"])["count"].sum())
    if lists:
        counts = pd.concat(lists, axis=1).fillna(0).max(axis=1).astype(int).reset_index(name="n")
    else:
        counts = rows.groupby(["end", "channel"])["count"].sum().reset_index(name="n")
    starts = rows["end"] - pd.to_timedelta(rows["minutes"], unit="m")
    start, stop = starts.iloc[0], rows["end"].iloc[-1]
    counts["at"] = counts["end"] - pd.Timedelta(minutes=1)
    day_list = listed_days(set(counts["at"].dt.date), start, stop)
    listed_full = full_days(day_list, start, stop)
    same(study["survey"]["full_days"], len(listed_full), f"{name} full days")
    excluded = set()
    if all(m <= 60 for m in set(rows["minutes"])):
        positive = counts[counts["n"] > 0]
        excluded = empty_hour_days([positive[positive["channel"] == c]["at"] for c in sorted(set(counts["channel"]))
                                    if counts[counts["channel"] == c]["n"].sum() != 0], day_list, start, stop)
    check(study["quality"]["excluded_days"] == sorted(str(d) for d in excluded),
          f"{name} excluded days {study['quality']['excluded_days']} vs {sorted(excluded)}")
    full = [d for d in listed_full if d not in excluded]
    # Peak hours when every interval divides the hour; the PHF when every one divides 15 minutes.
    minutes = set(rows["minutes"])
    reason = None
    if any(60 % m for m in minutes):
        reason = "the counting interval does not divide the hour"
    check(study["peak_hours_omitted"] == (reason is not None), f"{name} peak hours omitted")
    check(study["peak_hours_omitted_reason"] == reason, f"{name} peak hours omitted because {reason}")
    quarters = all(15 % m == 0 for m in minutes)
    check((study["phf_omitted_reason"] is None) == (quarters or reason is not None), f"{name} PHF reason")
    # The minutes of each day intervals end at; the one ending at midnight ends the day before, at 1440.
    ends = collections.defaultdict(lambda: {0})
    for end in set(rows["end"]):
        day = (end - pd.Timedelta(minutes=1)).date()
        ends[day].add(int((end - pd.Timestamp(day)) / pd.Timedelta(minutes=1)))
    channels = sorted(set(rows["channel"]))
    totals = {}
    groups = [("all", counts, study["volume"], study)] + [
        (str(c), counts[counts["channel"] == c], study["channels"][str(c)]["volume"], study["channels"][str(c)])
        for c in channels]
    for key, part, got_volume, got in groups:
        frame, day_totals, weekdays = check_volume(f"{name} {key}", got_volume, part["at"], day_list, full,
                                                   list(part["n"]))
        totals[key] = day_totals
        if reason is None:
            # A count belongs to the minute before its interval's end.
            check_peaks(f"{name} {key}", got["peak_hours"], frame, full, weekdays, lambda d: ends[d], quarters)
        else:
            check(got["peak_hours"] is None, f"{name} {key} peak hours given")
        check_bins(f"{name} {key}", got["bins"], rows if key == "all" else rows[rows["channel"] == int(key)], limit)
    check_daily(name, study["volume"]["daily"], totals, listed_full, [str(c) for c in channels], "by_channel",
                excluded)


def main():
    program, make_files = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as directory:
        subprocess.run([make_files, directory], check=True)
        with open(f"{directory}/FILES") as listing:
            runs = [line.split() for line in listing if line.strip()]
        for name, *options in runs:
            path = f"{directory}/{name}"
            with open(path, "rb") as data:
                interval = data.read(1) == b"m"
            (check_interval_file if interval else check_vehicle_file)(program, path, options)
    for failure in failures[:40]:
        print(failure)
    print(f"{len(runs)} files, {checked} figures compared, {len(failures)} differences")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
