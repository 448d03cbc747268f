// The pieces the vehicle and the interval studies share: calendar days, the
// table of counts per day and slot of the day from which volumes, profiles
// and peak hours come, and the survey taken from the header.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "datafile/k479_defn.h"
#include "io/byte_stream.h"
#include "run/run_context.h"
#include "study/study.h"

namespace tallycnv {

// Days since 1970-01-01 of a Gregorian date; nullopt for a date that does not exist.
std::optional<long> day_number(int year, int month, int day);
study_date date_of_day(long day);

// Counts per day, per group (0 is "all") and per slot of `slot_minutes`
// minutes. A day's slots are allocated with its first count, so the table
// grows with the number of days, never with the number of counts.
struct day_table {
    int groups = 1;
    int slot_minutes = 15;
    bool keeps_ends = false; // interval files: the minutes intervals end at are kept per day
    struct day_counts {
        std::vector<std::int64_t> slots; // group * slots_per_day + slot
        double esal = 0;
        std::vector<bool> ends; // with keeps_ends: minute m (0 to 1440) ends an interval; 0 always does
    };
    std::map<long, day_counts> days;
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
};

std::optional<std::int64_t> seconds_of(const std::optional<study_instant>& instant);
// An instant of a header or a record; 24:00 is 00:00 of the next day; nullopt for one that does not exist.
std::optional<study_instant> instant_of(int year, int month, int day, int hour, int minute, int second);

// What a peak hour's factor is taken from (none: no peak hours): its quarter
// hours, or its intervals, each at its hourly rate.
enum class peak_parts { none, quarter_hours, intervals };

// Fills study::daily, each group's volume figures and the survey's full days
// from the table, and the peak hours as `parts` asks. Windows start and end on
// the quarter hours, or with day_table::keeps_ends on the interval ends
// recorded for the day (the mean weekday: on those of every full weekday);
// with quarter hours, each of the window's quarter hours must end on one too.
void fill_volumes(study& s, const day_table& table, const recording_span& span, peak_parts parts);

// The survey, units and settings of a study of the file whose header is given.
study make_study(const run_context& ctx, const k479_defn& header);

// The figures of a vehicle file or an interval file, read to the end.
void compute_vehicle_study(const run_context& ctx, byte_stream& input, const k479_defn& header, study& s);
void compute_interval_study(const run_context& ctx, byte_stream& input, const k479_defn& header, study& s);

// The tables of a vehicle file from its tallies, once the days are known.
void fill_tables(study& s, const table_tally& t);

// The signal warrants of the files --warrants names (each read into its own study).
warrant_report judge_study_warrants(const run_context& ctx, bool imperial);

// The speed figures of a distribution of whole speeds (index: the speed).
study_speed speed_figures(const std::vector<std::int64_t>& speeds, double speed_limit);
// The smallest index v holding at least n % of the total, counting from 0.
std::optional<double> percentile_of(const std::vector<std::int64_t>& counts, std::int64_t total, int n);

// A share, or nullopt when the whole is not above 0.
std::optional<double> share_of(std::int64_t part, std::int64_t whole);

} // namespace tallycnv
