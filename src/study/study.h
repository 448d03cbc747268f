// Folder study/: the traffic study: the statistics engineers take from a count (volumes, ADT, peak
// hours, speeds, classes, headways, weights, pavement load), computed in one pass over the vehicles or
// interval blocks, and its three writers (text report, JSON document, HTML page).
//
// One computed study: every figure the three writers show. The writers read
// it and nothing else; the computation fills it once the whole data area has
// been read, so a run that fails on bad input never writes a study.
//
// Conventions of every field below:
// - Texts taken from the data file (site, location, headings, ...) hold the
//   file's bytes as they are (Latin-1, trailing blanks and NULs removed); a
//   writer turns them into UTF-8 with utf8_from_latin1().
// - Measurements are in the units the CSV export writes them in (study_units):
//   km/h, m, kg, s by default; mph, ft, lb, s with the imperial units option.
// - std::nullopt is "no value" (no vehicle with that field, no full day, a
//   division by zero): a writer prints "null", "-" or "no data".
// - Counts are signed 64-bit: an interval file may hold negative readings.
// - Shares are fractions from 0 to 1 (not percentages).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_context.h"
#include "study/gap_study.h"
#include "study/study_tables.h"
#include "study/warrants.h"

namespace tallycnv {

// A calendar date (month 1 to 12) and its weekday (0 Monday .. 6 Sunday).
struct study_date {
    int year = 0;
    int month = 0;
    int day = 0;
    int weekday = 0;
};

// An instant of the recording, to the second.
struct study_instant {
    study_date date;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The unit texts of the study and the widths of its fixed-width histograms.
struct study_units {
    bool imperial = false;          // -I given: mph, ft, lb
    std::string speed = "km/h";     // or "mph"
    std::string length = "m";       // or "ft"
    std::string weight = "kg";      // or "lb"
    std::string time = "s";         // headways and gaps
    std::string weight_bin = "t";   // the weight histogram's bin: "t" (1000 kg) or "kip" (2000 lb)
    double length_bin_width = 1;    // metres (1) or feet (3)
    double weight_bin_width = 1000; // kilograms (1000) or pounds (2000)
};

// A count against a key as the CSV export writes the key: a direction ("1",
// "2"), a lane ("1".."8"), a class code, an axle count, an event kind.
struct study_count {
    std::string key;
    std::int64_t count = 0;
    std::optional<double> share; // count / the sum of the list's counts; null when that sum is 0
};

// Bins of equal width. Bin i holds the values v with
// first_lower + i * width <= v < first_lower + (i + 1) * width; with
// open_last, the last bin holds every value from its lower edge up.
struct study_histogram {
    double first_lower = 0; // in the unit of the measurement
    double width = 0;
    std::vector<std::int64_t> counts; // empty: no value at all
    bool open_last = false;
    std::int64_t total = 0; // the sum of counts
};

// One percentile pN (N = 15, 50, 85 or 95).
// Vehicle files: the smallest value v (as the CSV writes it) such that at
// least N % of the values are <= v. Interval files: by linear interpolation
// within the speed bin that holds the N % point; when that is the open last
// bin, `value` is null and `above` holds that bin's lower edge ("above 120").
struct study_percentile {
    int n = 0;
    std::optional<double> value;
    std::optional<double> above;
};

// A peak hour: the 60-minute window with the most vehicles (earliest on a
// tie) among the windows starting in the half of the day asked for.
// Vehicle files: windows start on a quarter hour. Interval files: windows
// start and end on the interval ends the day records.
// The factor compares the window's volume with its busiest part scaled to the
// hour: its quarter hours (vehicle files, and interval files whose intervals
// all divide 15 minutes), or else its intervals, each at count x 60 / minutes.
struct study_peak {
    int start_minute = 0;          // minutes after midnight the window starts (0 .. 1380)
    double volume = 0;             // vehicles in the window (a mean over days for the mean weekday)
    double largest_part = 0;       // the count of the busiest quarter hour or interval
    int largest_part_minutes = 15; // its length: 15 for a quarter hour, else that interval's
    std::optional<double> factor;  // volume / (largest_part x 60 / largest_part_minutes), rounded to
                                   // three decimals; null when that is not above 0
};

// The AM (windows starting 00:00 to 11:00) and PM (12:00 to 23:00) peak hours
// of one full day, or of the mean weekday (date absent: the quarter-hour
// counts averaged over the full weekdays).
struct study_peak_day {
    std::optional<study_date> date;
    std::optional<study_peak> am; // null: no vehicle in that half of the day
    std::optional<study_peak> pm;
};

// The volumes of one group (see study_group): totals, averages, the mean
// hourly profile and the peak hours.
struct study_volume {
    std::int64_t total = 0;
    std::optional<double> adt;         // mean of the full days' totals; null without a full day
    std::optional<double> adt_weekday; // mean over the full Monday-to-Friday days; null without one
    // Mean count of each hour of the day (index 0: 00:00-01:00) over the full
    // weekdays and over the full weekend days; null without such a day.
    std::array<std::optional<double>, 24> weekday_profile{};
    std::array<std::optional<double>, 24> weekend_profile{};
    int full_weekdays = 0; // the days the profiles average over
    int full_weekend_days = 0;
    // Each full day in date order, then the mean weekday (when there is a
    // full weekday). Empty when study::peak_hours_omitted is set.
    std::vector<study_peak_day> peak_hours;
};

// The speeds of the vehicles of a group (vehicle files), or of a speed-binned
// list of an interval file (count, mean and percentiles only).
struct study_speed {
    std::int64_t count = 0;           // values counted (vehicles with a speed)
    std::optional<double> mean;       // interval files: from the bin middles (open last bin: its lower edge)
    bool mean_is_lower_bound = false; // interval files: the open last bin holds vehicles
    std::optional<double> stddev;     // sample standard deviation (n - 1); null below two values
    std::optional<double> min;
    std::optional<double> max;
    std::array<study_percentile, 4> percentiles{}; // p15, p50, p85, p95 in that order
    // p85 over the vehicles whose headway is at least 4 s (vehicle files).
    std::optional<double> p85_free_flow;
    std::int64_t free_flow_count = 0;
    // The 10 km/h (10 mph) pace: the window from pace_from up to (not
    // including) pace_to = pace_from + 10 holding the most vehicles, starting
    // at a speed some vehicle drove (the lowest on a tie); its count and share
    // of the vehicles with a speed.
    std::optional<double> pace_from;
    std::optional<double> pace_to;
    std::int64_t pace_count = 0;
    std::optional<double> pace_share;
    // With --speed-limit=N: the shares of the vehicles with a speed above N and above N + 10.
    std::optional<double> share_above_limit;
    std::optional<double> share_above_limit_10;
    // Every speed in 1-unit bins from 0 (vehicle files); the chart's data.
    study_histogram histogram;
};

// Mean gross weight and load of the weighed vehicles of one class.
struct study_class_weight {
    std::string key;                         // the class code as the CSV writes it
    std::int64_t weighed = 0;                // vehicles of the class with a gross weight
    std::optional<double> mean_gross_weight; // in the weight unit
    double esal = 0;                         // equivalent standard axles of the class
};

// One binned list of an interval file: the totals per printed bin (for a
// cross-tabulated pair or table, summed over the other lists' bins).
struct study_bin_list {
    int list = 0;                     // 1, 2 or 3, the list's place in the binning definition
    unsigned operand = 0;             // the operand code (1 speed, 2 gap, 3 headway, 4 length, 7 class, ...)
    std::string name;                 // "SPEED", "LENGTH", "CLASS", ...
    std::string unit;                 // the unit of the bin edges; empty for classes, axles, directions
    std::vector<std::string> labels;  // each bin's label as the CSV export writes it ("SPEED 30-40")
    std::vector<std::int64_t> totals; // one per label
    // Speed lists only: the mean and percentiles from the bins.
    std::optional<study_speed> speed;
};

// The figures of one group: all vehicles, one direction (vehicle files), all
// channels or one channel (interval files). Vehicle-file figures are empty in
// an interval study and bin_lists is empty in a vehicle study.
struct study_group {
    std::string key;     // "all"; a direction "1"/"2"; a channel "1".."8"
    std::string heading; // the channel's heading (interval files), file bytes
    study_volume volume;

    // Vehicle files.
    study_speed speed;
    std::vector<study_count> classes; // codes 1 to the scheme's class count, any other seen, by code
    std::vector<study_count> axles;   // every axle count seen, ascending
    study_histogram headways;         // 1 s bins from 0, the bin from 10 s open
    study_histogram gaps;             // the same for gaps
    std::optional<double> headway_under_2s_share;    // share of the headways below 2 s
    study_histogram lengths;                         // 1 m (3 ft) bins from 0
    study_histogram gross_weights;                   // 1 t (2 kip) bins from 0, weigh sites
    std::vector<study_class_weight> weight_by_class; // classes with a weighed vehicle, by code
    double esal = 0;                                 // sum over the weighed axles of (axle load / 8.16 t)^4
    std::optional<double> esal_per_full_day;         // the full days' esal over their number ("all" only)

    // Interval files.
    std::vector<study_bin_list> bin_lists;
};

// One calendar day that holds part of the recording.
struct study_day {
    study_date date;
    bool full_day = false; // its 24 hours lie within the recording
    bool valid = true;     // no critical data-quality rule fired on the day (and not excluded by date)
    std::int64_t total = 0;
    std::vector<std::int64_t> by_group; // one per group after "all" (study::groups[1..]), same order
    double esal = 0;                    // weigh sites: the day's equivalent standard axles
    // The day's counts per slot of study::day_slot_minutes, "all" then each group: groups x slots.
    std::vector<std::int64_t> slots;
    std::vector<std::int64_t> hourly; // the day's counts per hour, "all" then each group: groups x 24
};

// The survey: what was counted, where and when.
struct study_survey {
    bool interval_file = false; // false: a vehicle-by-vehicle file
    std::string site;           // file bytes
    std::string location;       // file bytes
    std::string instrument;     // the model and serial as the header gives them
    std::string class_scheme;   // the scheme's name as the headers print it
    std::optional<study_instant> start;
    std::optional<study_instant> stop;
    bool stop_at_last_record = false; // a file not closed correctly: stop is its last record's time
    int full_days = 0;
    std::int64_t vehicles = 0;       // vehicles (vehicle files) or the total count (interval files)
    std::vector<study_count> events; // events by kind (vehicle files), e.g. "loop card event 1"
    int interval_minutes = 0;        // interval files: the recording interval
    int peak_interval_minutes = 0;   // interval files: the peak-period interval, 0 without
    int channels = 0;                // interval files: channels per block
    bool count_only = false;         // interval files: counts without bins
};

struct study {
    bool header_only = false; // -H: the survey alone is filled (no data were read)
    study_units units;
    study_survey survey;
    double speed_limit = 0; // --speed-limit in the speed unit; 0 none

    // What the data hold, so that a writer can say "no data" instead of
    // showing an empty table or chart.
    bool has_speed = false;
    bool has_class = false;
    bool has_axles = false;
    bool has_headway = false;
    bool has_gap = false;
    bool has_length = false;
    bool weigh_site = false; // gross weights present: weights and esal shown

    // Interval files: peak hours are computed when every interval in force is
    // at most 15 minutes and divides the hour; otherwise they are omitted and
    // peak_hours_omitted_reason says why (writers show it).
    bool peak_hours_omitted = false;
    std::string peak_hours_omitted_reason; // e.g. "the counting interval is longer than 15 minutes"
    int peak_grid_minutes = 15;   // the finest step between window starts: the intervals' common divisor
    bool peak_by_quarters = true; // the factor from quarter hours; false: from the busiest interval

    std::vector<study_day> daily;    // every day holding part of the recording, in date order
    std::vector<study_count> lanes;  // vehicle files: vehicles by lane
    std::vector<study_group> groups; // [0] "all", then the directions or the channels
    bool keep_day_slots = false;     // fill study_day::slots (the warrants read them)
    int day_slot_minutes = 15;       // the length of study_day::slots' slots

    std::optional<warrant_report> warrants;    // --warrants
    std::optional<gap_study_result> gap_study; // --gap-study
    study_tables tables;                       // the engineer's tables of a vehicle file
};

// Latin-1 bytes as UTF-8.
std::string utf8_from_latin1(std::string_view text);

// Writes the study in the format the run asks for (-fstudy, -fjson, -fhtml)
// through the report sink.
void write_study(const run_context& ctx, const study& s);

void write_study_text(const run_context& ctx, const study& s); // study_text.cpp
void write_study_json(const run_context& ctx, const study& s); // study_json.cpp
void write_study_html(const run_context& ctx, const study& s); // study_html.cpp

} // namespace tallycnv
