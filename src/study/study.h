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

#include "io/latin1.h"
#include "run/quality_rules.h"
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
    std::string name; // what the key stands for, where known: a lane's heading, a class's published name
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
// tie) among the windows starting in the part of the day asked for, each
// window lying within the day. Vehicle files: windows start on every quarter
// hour. Interval files: windows start and end on the interval ends the day
// records.
// The peak-hour factor PHF = volume / (4 x the busiest quarter hour) needs
// quarter hours: vehicle files and interval files whose intervals all divide
// 15 minutes. Other grids give the busiest interval (by its hourly rate,
// count x 60 / minutes) and no factor.
struct study_peak {
    int start_minute = 0;          // minutes after midnight the window starts (0 .. 1380)
    double volume = 0;             // vehicles in the window (a mean over days for the mean weekday)
    double largest_part = 0;       // the count of the busiest quarter hour or interval
    int largest_part_minutes = 15; // its length: 15 for a quarter hour, else that interval's
    std::optional<double> factor;  // the PHF rounded to three decimals; null without quarter hours
                                   // or when the busiest quarter hour is not above 0
};

// The AM (windows starting before 12:00), PM (starting at 12:00 or later) and
// whole-day peak hours of one full valid day, or of the mean weekday (date
// absent: the counts averaged over the full valid weekdays).
struct study_peak_day {
    std::optional<study_date> date;
    std::optional<study_peak> am; // null: no vehicle in that part of the day
    std::optional<study_peak> pm;
    std::optional<study_peak> day; // the busier of the two (the earlier on a tie)
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
    // With --factors ("all" only): the mean over the valid full days of their factored volumes.
    std::optional<double> aadt_estimate;
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
    // Binned speeds: the share of the bins from the limit up, exact when the limit is a bin
    // edge; otherwise the share of the bins wholly above it, and the `_most` bound adds the
    // bin the limit lies in.
    std::optional<double> share_above_limit;
    std::optional<double> share_above_limit_10;
    std::optional<double> share_above_limit_most; // null: the share is exact
    std::optional<double> share_above_limit_10_most;
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
    std::string name;    // a direction's name: the heading its lanes share (vehicle files), file bytes
    study_volume volume;

    // Vehicle files.
    study_speed speed;
    std::vector<study_count> classes; // codes 1 to the scheme's class count, any other seen, by code
    std::vector<study_count> axles;   // every axle count seen, ascending
    study_histogram headways;         // 1 s bins from 0, the bin from 10 s open
    study_histogram headway_seconds;  // 1 s bins from 0 up to 3600 s, the last open (the page's chart)
    study_histogram gaps;             // the same for gaps
    std::optional<double> headway_under_2s_share;    // share of the headways below 2 s
    study_histogram lengths;                         // 1 m (3 ft) bins from 0
    study_histogram gross_weights;                   // 1 t (2 kip) bins from 0, weigh sites
    study_histogram gross_weights_fine;              // 100 kg (100 lb) bins from 0 (the page's chart)
    std::vector<study_class_weight> weight_by_class; // classes with a weighed vehicle, by code
    double esal = 0;                                 // sum over the weighed axles of (axle load / 8.16 t)^4
    std::optional<double> esal_per_full_day;         // the full valid days' esal over their number

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
    std::vector<double> esal_by_group;  // the same per group after "all"
    std::vector<std::int64_t> hours;    // 24 hourly counts per group, "all" first (study::groups order)
    // The day's counts per slot of study::day_slot_minutes, "all" then each group: groups x slots.
    std::vector<std::int64_t> slots;
    std::vector<std::int64_t> by_class; // vehicles by class code (index: the code), vehicle files
    std::optional<double> factored;     // with --factors: total x the factor of its month and weekday
    bool excluded_by_date = false;      // named by --exclude-dates (a holiday, an event): "excluded_date"
};

// The annual average of one class of the scheme.
struct study_year_class {
    std::string key; // the class code
    std::optional<double> aadt;
};

// The figures of one calendar year the recording touches, each taken from the
// valid full days only. MADW is the mean of the days of one weekday in one
// month; the annual figures are averages of those averages (AASHTO), so that
// a year with more Mondays in June than in January weighs each month and
// weekday alike. An average of averages is given only when every cell it
// averages holds at least one valid day.
struct study_year {
    int year = 0;
    int valid_days = 0;    // valid full days of the year
    int excluded_days = 0; // days named by --exclude-dates
    std::optional<double> aadt;
    int aadt_missing_cells = 0;     // month-weekday cells without a valid day
    std::optional<double> adt_mean; // the plain mean of the valid full days
    std::optional<double> aawdt;    // as AADT over the weekdays of --weekdays (Monday to Friday)
    std::array<std::array<std::optional<double>, 7>, 12> madw{};
    std::array<int, 12> month_days{};             // valid full days per month
    std::array<std::optional<double>, 12> madt{}; // mean over the weekdays of MADW[m]
    std::array<std::optional<double>, 7> aadw{};  // mean over the months of MADW[.][d]
    std::optional<double> k30;                    // the 30th highest valid hour over AADT
    std::optional<double> k50;
    std::optional<double> k100;
    std::optional<std::int64_t> dhv30; // that 30th highest hourly volume
    std::optional<double> d30;         // the heavier direction's share of it (two directions or channels)
    std::array<std::optional<double>, 12> monthly_factor{};                      // AADT / MADT[m]
    std::array<std::optional<double>, 7> weekday_factor{};                       // AADT / AADW[d]
    std::array<std::array<std::optional<double>, 7>, 12> month_weekday_factor{}; // AADT / MADW[m][d]
    std::vector<study_year_class> by_class;
    std::optional<double> heavy_share;      // classes 4 and up of a 13-class scheme over all classified
    std::optional<double> esal;             // weigh sites: the valid full days' load
    std::optional<double> esal_per_day;     // its mean per valid full day
    std::vector<std::int64_t> ranked_hours; // the highest valid hourly volumes, highest first (at most 200)
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

// Where the data of a file stop before its header says they do: the
// recording ends at its last complete record.
struct study_cut_short {
    std::optional<study_instant> at;   // the last complete record's time
    std::uint64_t byte_offset = 0;     // the end of the last complete record
    std::uint64_t promised_offset = 0; // where the header says the data end (0: not said)
    std::int64_t records = 0;          // vehicles and events, or interval blocks, read
    std::int64_t promised_records = 0; // what the header counts (0: not said)
    bool blocks = false;               // records are interval blocks
};

// One finding of a data-quality rule on one day (date absent: a vehicle
// without a date) and one direction or channel (empty: the whole site).
struct quality_flag {
    qc_rule rule = qc_rule::zero_hours;
    std::optional<study_date> date;
    std::string group;   // a direction or channel key; empty: all
    int from_minute = 0; // the part of the day it concerns, minutes after midnight
    int to_minute = 1440;
    double value = 0;     // what was measured, in the rule's terms
    double threshold = 0; // what it was judged against
};

// The judgement of the data: the thresholds in force, what fired, and the
// days critical rules removed from the averages.
struct study_quality {
    quality_settings rules;
    std::optional<study_cut_short> cut_short;
    std::vector<quality_flag> flags; // by date, then rule
    std::vector<study_date> excluded_days;
    std::int64_t implausible_vehicles = 0; // left out of the speed and length figures
    std::int64_t undated_vehicles = 0;     // counted in the totals, in no day
    bool critical = false;                 // a critical rule fired
};

// A caution of a combined study: two sources cover the same span, which is
// taken once, from `kept` (flag "overlap").
struct study_overlap {
    std::string kept;    // the file the span is taken from, as named
    std::string dropped; // the other file
    std::optional<study_instant> from;
    std::optional<study_instant> to;
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
    // Vehicle files: what the sensor configuration measures. Axle counts,
    // spacings and wheelbases need axle sensors, weights need weighing
    // sensors; a figure not measured is null and the reason says why.
    bool senses_axles = true;
    bool weighs = true;
    std::string axles_not_measured;  // e.g. "no axle sensor, loops only"
    std::string weight_not_measured; // e.g. "no weighing sensor"

    // Interval files: peak hours are computed when every interval in force
    // divides the hour; otherwise they are omitted and
    // peak_hours_omitted_reason says why (writers show it).
    bool peak_hours_omitted = false;
    std::string peak_hours_omitted_reason; // e.g. "the counting interval does not divide the hour"
    int peak_grid_minutes = 15;     // the finest step between window starts: the intervals' common divisor
    bool peak_by_quarters = true;   // PHF from quarter hours; false: no PHF, the busiest interval instead
    std::string phf_omitted_reason; // why there is no PHF, when peak_by_quarters is false

    // The page's production line: the program's version and the date the
    // study was made (from SOURCE_DATE_EPOCH when set, else the clock).
    std::string made_by; // "tallycnv 3.5.47"
    std::string made_on; // "2026-12-07"

    std::vector<study_day> daily;    // every day holding part of the recording, in date order
    std::vector<study_count> lanes;  // vehicle files: vehicles by lane
    std::vector<study_group> groups; // [0] "all", then the directions or the channels
    study_quality quality;
    int class_count = 0;                 // the scheme's classes (vehicle files)
    std::vector<long> excluded_days;     // --exclude-dates as days since 1970-01-01, ascending
    std::vector<study_year> annual;      // one per calendar year of the recording
    std::vector<std::string> sources;    // a combined study: its files in time order
    std::vector<study_overlap> overlaps; // a combined study: spans two sources cover
    bool keep_day_slots = false;         // fill study_day::slots (the warrants read them)
    int day_slot_minutes = 15;           // the length of study_day::slots' slots

    std::optional<warrant_report> warrants;    // --warrants
    std::optional<gap_study_result> gap_study; // --gap-study
    study_tables tables;                       // the engineer's tables of a vehicle file
};

// Writes the study in the format the run asks for (-fstudy, -fjson, -fhtml)
// through the report sink.
void write_study(const run_context& ctx, const study& s);

void write_study_text(const run_context& ctx, const study& s);  // study_text.cpp
void write_study_json(const run_context& ctx, const study& s);  // study_json.cpp
void write_study_html(const run_context& ctx, const study& s);  // study_html.cpp
void write_study_flags(const run_context& ctx, const study& s); // study_quality.cpp: -fflags

// The rule's name and level as the reports write them.
std::string_view rule_name(qc_rule rule);
bool rule_critical(qc_rule rule);
// The line standard error gets for a file cut short or with days excluded; empty when neither.
std::string quality_notice(const study& s, std::string_view file_name);
void write_study_factors(const run_context& ctx, const study& s); // study_year.cpp: -ffactors

} // namespace tallycnv
