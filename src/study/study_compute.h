// The pieces the vehicle and the interval studies share: calendar days, the
// table of counts per day and slot of the day from which volumes, profiles
// and peak hours come, and the survey taken from the header.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "datafile/k479_defn.h"
#include "io/byte_stream.h"
#include "run/run_context.h"
#include "study/study.h"

namespace tallycnv {

// Days since 1970-01-01 of a Gregorian date; nullopt for a date that does not exist.
std::optional<long> day_number(int year, int month, int day);
study_date date_of_day(long day);

// What the walk saw on a day beyond its counts, for the data-quality rules:
// per vehicle (vehicle files, group "all") or per interval count (interval files).
struct day_checks {
    std::int64_t classed = 0;      // vehicles carrying a class
    std::int64_t unclassified = 0; // of them, those of class 0
    std::int64_t implausible = 0;  // vehicles of impossible speed or length
    std::int64_t invalid_time = 0; // vehicles whose time of day runs past the next midnight
    double largest_back = 0;       // seconds: the clock's largest step back
    int back_from = 0;             // minutes of the day: where that step went from and to
    int back_to = 0;
    std::int64_t negative = 0; // negative interval counts
    std::int64_t lowest = 0;   // the lowest of them and the minutes its interval ends at
    int lowest_end = 0;
    int lowest_minutes = 0;
};

// Counts per day, per group (0 is "all") and per slot of `slot_minutes`
// minutes. A day's slots are allocated with its first count, so the table
// grows with the number of days, never with the number of counts.
struct day_table {
    int groups = 1;
    int slot_minutes = 15;
    bool keeps_ends = false; // interval files: the minutes intervals end at are kept per day
    struct day_counts {
        std::vector<std::int64_t> slots; // group * slots_per_day + slot
        std::vector<double> esal;        // per group, as the slots
        std::vector<bool> ends; // with keeps_ends: minute m (0 to 1440) ends an interval; 0 always does
        std::vector<day_checks> checks;    // one per group
        std::vector<std::int64_t> classes; // vehicle files: vehicles by class code
    };
    std::map<long, day_counts> days;
    std::set<long> invalid; // days a critical data-quality rule fired on: out of every average
    long cached_day = 0;
    day_counts* cached = nullptr;

    [[nodiscard]] int slots_per_day() const { return 1440 / slot_minutes; }
    // The counts of one day, created empty when first asked for.
    day_counts& at(long day);
    // Adds `count` at `minute` of `day` to "all" and, when it is 1 or more, to `group`.
    void add(long day, int minute, int group, std::int64_t count);
    // Records that an interval of `day` ends at `minute` (1 to 1440).
    void end_at(long day, int minute);
};

// The recording's bounds in seconds since 1970-01-01, for the full-day rule.
struct recording_span {
    std::optional<std::int64_t> start;
    std::optional<std::int64_t> stop;
    // A combined study: the spans its sources cover, in time order and apart
    // (gaps between them lie outside the recording); empty: start to stop.
    std::vector<std::pair<std::int64_t, std::int64_t>> pieces;

    // Whether the recording covers the whole time from `from` up to `to`
    // (pieces that touch join; a gap between them is not covered).
    [[nodiscard]] bool covers(std::int64_t from, std::int64_t to) const {
        if (pieces.empty()) {
            return start && stop && *start <= from && to <= *stop;
        }
        std::int64_t covered = from;
        for (const auto& [piece_start, piece_stop] : pieces) {
            if (piece_start <= covered && piece_stop > covered) {
                covered = piece_stop;
            }
        }
        return covered >= to;
    }
};

// Spans of time in seconds since 1970-01-01, each from `first` up to `second`.
using time_spans = std::vector<std::pair<std::int64_t, std::int64_t>>;

// One source of a combined study: its data, its header and the spans of time
// taken from it (a span two sources cover is taken from one of them only).
struct study_source {
    byte_stream* input = nullptr;
    const k479_defn* header = nullptr;
    time_spans taken;
};

std::optional<std::int64_t> seconds_of(const std::optional<study_instant>& instant);
// An instant of a header or a record; 24:00 is 00:00 of the next day; nullopt for one that does not exist.
std::optional<study_instant> instant_of(int year, int month, int day, int hour, int minute, int second);

// The days a study lists: the recording's days and every day holding counts.
std::vector<long> listed_days(const day_table& table, const recording_span& span);

// What the data-quality rules need to know of the walk beyond the day table.
struct quality_walk {
    std::vector<int> lanes;   // per group: the lanes it counts (at least 1)
    bool hourly = true;       // the counts fall into whole hours (intervals of at most 60 minutes)
    bool directions = false;  // groups 1 and 2 are the two directions of a road
    std::int64_t undated = 0; // vehicles of a date or time that does not exist
};

// Judges every listed day by the data-quality rules in s.quality.rules:
// fills s.quality's flags and excluded days and marks the days critical
// rules fired on in table.invalid, so that fill_volumes leaves them out.
void judge_days(study& s, day_table& table, const recording_span& span, const quality_walk& walk);

// What a peak hour's factor is taken from (none: no peak hours): its quarter
// hours, or its intervals, each at its hourly rate.
enum class peak_parts { none, quarter_hours, intervals };

// Fills study::daily, each group's volume figures and the survey's full days
// from the table, and the peak hours as `parts` asks. Windows start and end on
// the quarter hours, or with day_table::keeps_ends on the interval ends
// recorded for the day (the mean weekday: on those of every full weekday);
// with quarter hours, each of the window's quarter hours must end on one too.
void fill_volumes(study& s, const day_table& table, const recording_span& span, peak_parts parts);

// The year's figures (study::annual) from the days of the study, and with
// --factors each day's factored volume and the AADT estimate (study_year.cpp).
// A factor table without a row a valid full day needs ends the run (exit 1).
void fill_annual(study& s, const run_settings& settings);

// The survey, units and settings of a study of the file whose header is given.
study make_study(const run_context& ctx, const k479_defn& header);

// The figures of a vehicle file or an interval file, read to the end.
void compute_vehicle_study(const run_context& ctx, byte_stream& input, const k479_defn& header, study& s);
void compute_interval_study(const run_context& ctx, byte_stream& input, const k479_defn& header, study& s);
// The figures of one site's sources of one file family, stitched in time
// order: each vehicle or interval counts only within its source's taken spans.
// The study's survey comes from the first source's header.
void compute_vehicle_sources(const run_context& ctx, std::vector<study_source>& sources, study& s);
void compute_interval_sources(const run_context& ctx, std::vector<study_source>& sources, study& s);

// The tables of a vehicle file from its tallies, once the days are known.
void fill_tables(study& s, const table_tally& t);

// The signal warrants of the files --warrants names (each read into its own study).
warrant_report judge_study_warrants(const run_context& ctx, bool imperial);

// The speed figures of a distribution of stored whole speeds (index: the
// stored speed), each worth `per_unit` in the study's speed unit.
study_speed speed_figures(const std::vector<std::int64_t>& speeds, double speed_limit, double per_unit);
// The smallest index v holding at least n % of the total, counting from 0.
std::optional<double> percentile_of(const std::vector<std::int64_t>& counts, std::int64_t total, int n);

// The recording of a combined study: its sources' taken spans, joined where they touch.
recording_span combined_span(const std::vector<study_source>& sources);
std::optional<study_instant> instant_at(std::optional<std::int64_t> seconds);

// A share, or nullopt when the whole is not above 0.
std::optional<double> share_of(std::int64_t part, std::int64_t whole);

} // namespace tallycnv
