// The run settings: everything the command line decides. Written once by the
// option parser before any file is opened, read-only afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "datafile/k479_defn.h"
#include "run/quality_rules.h"

namespace tallycnv {

// The release text; CMakeLists.txt takes the project version from this line.
inline constexpr const char* version_number = "3.5.47";
inline constexpr const char* version_number_cordon = "v3.5.47";

// The CSV export (-Fcsv): one tidy table per file, for either file family.
inline constexpr int anl_format_csv = 9;
inline constexpr int print_format_csv = 6;

// The traffic study (-fstudy, -fjson, -fhtml): the statistics of a count as a
// text report, a JSON document or an HTML page of tables and charts.
inline constexpr int anl_format_study = 10;
inline constexpr int anl_format_json = 11;
inline constexpr int anl_format_html = 12;
// The study's data-quality flags as a CSV table (-fflags).
inline constexpr int anl_format_flags = 13;
// The month-weekday factors of a year as CSV (-ffactors).
inline constexpr int anl_format_factors = 14;

// A batch run (--output-dir): every source formatted with the same options,
// each into its own report in one folder.
struct batch_settings {
    std::string output_dir;           // empty: a single run, as the classic command line has it
    std::vector<std::string> sources; // every source named, in the order given
    int jobs = 0;                     // files formatted at once; 0: every core the process may use
    bool update = false;              // skip a source whose report was made from it as it is, the same way
    // The options that shape a report, as given (long ones as --name=value),
    // the batch's own left out: what --update compares.
    std::vector<std::string> shaping_options;
};

// A point in time compared chronologically on (two-digit year, month, day,
// hour, minute, second): the Zedirozed window ends and vehicle instants.
// The month counts from 0 (January is 0), as m_mon does.
struct instant {
    int year = 0; // year modulo 100
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator<(const instant& a, const instant& b) {
        return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second) <
               std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second);
    }
    friend bool operator==(const instant&, const instant&) = default;
};

// One row of a factor table (--factors): the factor of a month and weekday,
// in the rows of one factor group when the table names groups.
struct factor_row {
    std::string group; // empty: the table has no group column
    int month = 0;     // 1 to 12
    int weekday = 0;   // 0 Monday .. 6 Sunday
    double factor = 0;
};

// One station of --stations: the sources it owns are named by their header's
// site text or by a glob on the file name.
struct station_row {
    std::string station;
    std::string name;
    std::string site; // empty: matched by `file`
    std::string file; // a glob (fnmatch) on the source's name as given and on its base name
    std::string direction_1;
    std::string direction_2;
    std::string factor_group;
};

// A site's year: the annual averages, the factors of short counts and the days left out.
struct year_settings {
    unsigned aawdt_weekdays = 0x1F; // bit d (0 Monday): the weekdays AAWDT averages over
    std::string factors_file;       // --factors: the table's name, for messages
    std::vector<factor_row> factors;
    std::string factor_group;                // the source's factor group (--stations)
    std::vector<std::array<int, 3>> exclude; // --exclude-dates: year, month, day
    bool combine = false;                    // --combine: the sources of a site make one study
    std::vector<station_row> stations;       // --stations
    std::string output;                      // --output=FILE: the combined study's file
};

// --warrants: the traffic signal warrants judged from the counts of the
// intersection's approaches, each a count file and the direction (or
// channel) that approaches the intersection; 0: both directions of the file.
struct warrant_approach {
    std::string file;
    int direction = 0;
};
struct warrant_settings {
    bool asked = false;
    std::vector<warrant_approach> major; // the major street, both approaches together
    std::vector<warrant_approach> minor; // each minor approach
    int major_lanes = 1;                 // 1, or 2 for two or more
    std::vector<int> minor_lanes;        // per minor approach (one value: every approach)
    std::optional<double> major_speed;   // in the report's speed unit; none: the major files' p85
    bool isolated = false;               // a community under 10,000
    bool adequate_trial = false;         // remedies tried: the combination may meet Warrant 1
    std::string day;                     // "YYYY-MM-DD"; empty: every full valid day common to the files
    bool quarter_hours = false;          // an hour is any four consecutive quarter hours
};

// --gap-study: the gaps in the traffic a pedestrian crossing of the road can use.
struct gap_study_settings {
    bool asked = false;
    double adequate_gap = 0;    // seconds; 0: from the crossing width
    double crossing_width = 0;  // feet, or metres with metric units
    int rows = 1;               // rows of pedestrians crossing at once
    double walking_speed = 0;   // per second in the length unit; 0: 3.5 ft/s (1.0668 m/s)
    double start_up = 3;        // seconds
    double row_time = 2;        // seconds per row after the first
    bool rear_to_front = false; // --gap-measure=gap: from the rear of one vehicle to the front of the next
    int period_from = 0;        // --crossing-period, minutes of the day
    int period_to = 1440;
};

struct run_settings {
    std::string program_directory = ".";
    std::string sfn;       // source data file
    std::string dfn;       // destination; empty = standard output
    std::string lang_file; // language file path
    bool quiet_mode = false;
    bool quillon_mode = false; // control-file mode
    bool hdr_only = false;
    bool skip_partial = false;
    bool merge_cars = false;
    bool taxo = false;
    // 0 default, 1-3 INT-n, 4 VBV-1 / cordon, 5-7 VBV-2..4, 8 weekly, 9 CSV, 10-12 study as text, JSON, HTML,
    // 13 flags
    std::int8_t anl_format = 0;
    int print_format = 1; // VBV-n number, 5 Zedirozed summary, 6 CSV
    bool zedirozed = false;
    bool kappa3_format = false;
    bool fhwa_format = false;
    std::int8_t col_width = 5;
    int start_day_weekly = -1;
    int m_hrs[2] = {0, 0};
    int m_mins[2] = {0, 0};
    int m_day[2] = {0, 0};
    int m_mon[2] = {0, 0};             // month - 1
    int m_yr[2] = {0, 0};              // full year as typed
    instant mars;                      // Zedirozed window start
    instant marf;                      // Zedirozed window end
    std::vector<std::string> new_argv; // arguments handed to a sibling converter (after name and /QUIET)
    double speed_limit = 0;            // --speed-limit, in the speed unit printed; 0: none given
    quality_settings quality;          // --qc thresholds and --strict
    batch_settings batch;
    year_settings year;
    double following = 3; // --following: a vehicle follows with a headway under this many seconds
    warrant_settings warrants;
    gap_study_settings gap_study;
    // The process-wide output record: its units, print_units and axle_factor come
    // from the command line; date_format and site are copied from the data file.
    k479_defn k479 = default_k479();
};

} // namespace tallycnv
