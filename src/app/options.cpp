#include "app/options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/resource_files.h"
#include "app/year_files.h"
#include "io/fatal.h"

namespace tallycnv {

namespace {

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// A decimal number read the way atoi reads it (leading blanks, optional sign,
// leading digits, 0 when there are none), held within the range of an int.
int decimal_value(const std::string& text) {
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

// Position of `wanted` among the `width` characters of `text` from `from`, or npos.
std::size_t find_within(const std::string& text, char wanted, std::size_t from, std::size_t width) {
    for (std::size_t i = from; i < text.size() && i < from + width; ++i) {
        if (text[i] == wanted) {
            return i;
        }
    }
    return std::string::npos;
}

// Words that share a letter with an option but mean something else, matched as
// written at the start of the argument.
constexpr std::string_view headings_option = "/headings="; // passed on to TALLYUS.EXE
constexpr std::string_view location_option = "/location="; // passed on to TALLYUS.EXE
constexpr std::string_view merge_cars_option = "/mc";

// Options accepted without effect, compared ignoring case.
constexpr std::string_view ignored_options[] = {"NOVERSIONCHECK", "NVC"};

// The markers among the plain arguments.
constexpr std::string_view quiet_marker = "^";
constexpr std::string_view control_file_marker = "=";

// A plain argument is a file name or one of the markers "^" and "=". Besides
// arguments that do not begin with '-' or '/', an absolute path such as
// /data/SITE1.DAT is a file name; the converter options /headings= and
// /location= carry values that may hold '/' and stay options.
bool is_plain_argument(const std::string& arg) {
    if (arg.empty() || (arg[0] != '-' && arg[0] != '/')) {
        return true;
    }
    if (arg[0] == '/' && arg.find('/', 1) != std::string::npos) {
        return !arg.starts_with(headings_option) && !arg.starts_with(location_option);
    }
    return false;
}

void parse_axle_factor(run_settings& settings, const std::string& text) {
    const double value = std::strtod(text.c_str(), nullptr);
    // The single-precision value is compared with the double constants, so 0.1 and
    // 9.99 as typed pass. Not-a-number and infinities never pass.
    if (!std::isfinite(value) || std::fabs(value) > 100.0) {
        fail(1, "\nError : Invalid axfactor (must be from 0.10 to 9.99)\n");
    }
    const float factor = static_cast<float>(value);
    if (factor < 0.1 || factor > 9.99) {
        fail(1, "\nError : Invalid axfactor (must be from 0.10 to 9.99)\n");
    }
    settings.k479.axle_factor = factor;
}

void parse_start_day(run_settings& settings, const std::string& text) {
    if (text.empty() || text[0] < '0' || text[0] > '7') {
        fail(1, "\nError : Invalid start day (must be from 1 to 7)\n");
    }
    // -D0 gives -1: the weekly summary starts on the recording's own first weekday.
    settings.start_day_weekly = text[0] - '1';
}

void parse_imperial_units(run_settings& settings, const std::string& text) {
    static constexpr std::uint8_t print_units[4] = {3, 2, 4, 5};
    const int n = decimal_value(text);
    if (n < 1 || n > 4) {
        fail(1, "\nError : Invalid imperial units (must be from 1 to 4)\n");
    }
    settings.k479.units = 1;
    settings.k479.print_units = print_units[n - 1];
}

void parse_metric_units(run_settings& settings, const std::string& text) {
    static constexpr std::uint8_t print_units[3] = {1, 0, 6};
    const int n = decimal_value(text);
    if (n < 1 || n > 3) {
        fail(1, "\nError : Invalid metric units (must be from 1 to 3)\n");
    }
    settings.k479.units = 0;
    settings.k479.print_units = print_units[n - 1];
}

void parse_column_width(run_settings& settings, const std::string& text) {
    // Only the low byte of the number counts, taken as a signed value.
    const auto low_byte = static_cast<std::int8_t>(static_cast<unsigned>(decimal_value(text)) & 0xFFU);
    settings.col_width = low_byte < 3 ? std::int8_t{3} : (low_byte > 8 ? std::int8_t{8} : low_byte);
}

// Hours and minutes of a summary window end: "HH:MM".
void parse_window_time(run_settings& settings, int k, const std::string& text) {
    settings.m_hrs[k] = decimal_value(text);
    const std::size_t colon = find_within(text, ':', 0, 3);
    if (colon == std::string::npos) {
        fail(1, "\nError : Invalid time\n");
    }
    settings.m_mins[k] = decimal_value(text.substr(colon + 1));
}

// Day, month and year of a summary window end: "DD/MM/YYYY".
void parse_window_date(run_settings& settings, int k, const std::string& text) {
    settings.m_day[k] = decimal_value(text);
    const std::size_t first = find_within(text, '/', 0, 3);
    if (first == std::string::npos) {
        fail(1, "\nError : Invalid date\n");
    }
    // The month is held counting from 0; the lowest number stays the lowest.
    settings.m_mon[k] = std::max(decimal_value(text.substr(first + 1)), INT_MIN + 1) - 1;
    const std::size_t second = find_within(text, '/', first + 1, 3);
    if (second == std::string::npos) {
        fail(1, "\nError : Invalid date\n");
    }
    settings.m_yr[k] = decimal_value(text.substr(second + 1));
}

instant window_instant(const run_settings& settings, int k) {
    instant moment;
    moment.year = settings.m_yr[k] % 100;
    moment.month = settings.m_mon[k];
    moment.day = settings.m_day[k];
    moment.hour = settings.m_hrs[k];
    moment.minute = settings.m_mins[k];
    moment.second = 0;
    return moment;
}

// The texts that may follow -F, compared ignoring case, with the analysis and
// printed format each selects and what else it does.
enum class format_effect { none, taxo, cordon, zedirozed, marsum, kappa3, fhwa, not_implemented };

constexpr int unchanged = -1;

// The most files a batch formats at once.
constexpr long max_jobs = 1024;

struct output_format_entry {
    std::string_view name;
    int anl_format;
    int print_format;
    format_effect effect;
};

constexpr output_format_entry output_formats[] = {
    {"I1", 1, unchanged, format_effect::none},
    {"I2", 2, 2, format_effect::none},
    {"I3", 3, unchanged, format_effect::none},
    {"V1", 4, 1, format_effect::none},
    {"v2", 5, 2, format_effect::none},
    {"v3", 6, 3, format_effect::none},
    {"v4", 7, 4, format_effect::none},
    {"asb", unchanged, unchanged, format_effect::taxo},
    {"asb1", unchanged, unchanged, format_effect::taxo},
    {"cordon", 4, 4, format_effect::cordon},
    {"zedirozed1", unchanged, 1, format_effect::zedirozed},
    {"zedirozed2", unchanged, 2, format_effect::zedirozed},
    {"marsum", unchanged, 5, format_effect::marsum},
    {"f1", unchanged, unchanged, format_effect::kappa3},
    {"c2", unchanged, unchanged, format_effect::fhwa},
    {"c4", unchanged, unchanged, format_effect::fhwa},
    {"c7", unchanged, unchanged, format_effect::fhwa},
    {"wk", 8, unchanged, format_effect::none},
    {"csv", anl_format_csv, print_format_csv, format_effect::none},
    {"study", anl_format_study, unchanged, format_effect::none},
    {"json", anl_format_json, unchanged, format_effect::none},
    {"html", anl_format_html, unchanged, format_effect::none},
    {"flags", anl_format_flags, unchanged, format_effect::none},
    {"factors", anl_format_factors, unchanged, format_effect::none},
    {"nz", unchanged, unchanged, format_effect::not_implemented},
};

struct parser {
    run_settings settings;
    const std::vector<std::string>& args;
    std::size_t index = 0; // argument being examined
    int files = 0;
    bool destination_renamed = false;

    void rename_destination_for_cordon() {
        if (!destination_renamed) {
            settings.dfn = cordon_destination(settings.dfn);
            destination_renamed = true;
        }
    }

    void plain_argument(const std::string& arg) {
        if (arg == quiet_marker) {
            settings.quiet_mode = true;
            return;
        }
        if (arg == control_file_marker) {
            settings.quillon_mode = true;
            settings.batch.shaping_options.push_back(arg);
            return;
        }
        file_name(arg);
    }

    void file_name(const std::string& arg) {
        ++files;
        if (!settings.batch.output_dir.empty() || settings.year.combine) {
            // A batch run: every file named is a source.
            settings.batch.sources.push_back(arg);
            if (files == 1) {
                settings.sfn = arg;
            }
            return;
        }
        if (files == 1) {
            settings.sfn = arg;
        } else if (files == 2) {
            settings.dfn = arg;
            if (settings.print_format == 4 && settings.anl_format == 4) {
                rename_destination_for_cordon();
            }
        } else {
            fail(1, "\nError : Too many files specified\n");
        }
        settings.new_argv.push_back(arg);
    }

    void summary_window() {
        if (args.size() - index - 1 < 4) {
            fail(1, "\nError : Parameter mismatch\n");
        }
        parse_window_time(settings, 0, args[++index]);
        parse_window_date(settings, 0, args[++index]);
        parse_window_time(settings, 1, args[++index]);
        parse_window_date(settings, 1, args[++index]);
        settings.mars = window_instant(settings, 0);
        settings.marf = window_instant(settings, 1);
    }

    void output_format(const std::string& arg, const std::string& text) {
        const output_format_entry* entry = nullptr;
        for (const output_format_entry& candidate : output_formats) {
            if (equals_ignoring_case(text, candidate.name)) {
                entry = &candidate;
                break;
            }
        }
        if (entry == nullptr) {
            fail(1, "\nError : Invalid output format\n");
        }
        if (entry->effect == format_effect::not_implemented) {
            fail(1, "\nError : Option -f" + std::string(entry->name) + " is not yet implemented\n");
        }
        if (entry->anl_format != unchanged) {
            settings.anl_format = static_cast<std::int8_t>(entry->anl_format);
        }
        if (entry->print_format != unchanged) {
            settings.print_format = entry->print_format;
        }
        switch (entry->effect) {
        case format_effect::taxo:
            settings.taxo = true;
            break;
        case format_effect::cordon:
            if (files >= 2) {
                rename_destination_for_cordon();
            }
            break;
        case format_effect::zedirozed:
            settings.zedirozed = true;
            break;
        case format_effect::marsum:
            settings.zedirozed = true;
            summary_window();
            break;
        case format_effect::kappa3:
            settings.kappa3_format = true;
            break;
        case format_effect::fhwa:
            settings.fhwa_format = true;
            settings.new_argv.push_back(arg);
            break;
        case format_effect::none:
        case format_effect::not_implemented:
            break;
        }
    }

    void axle_factor(const std::string&, const std::string& value) { parse_axle_factor(settings, value); }
    void start_day(const std::string&, const std::string& value) { parse_start_day(settings, value); }
    void imperial_units(const std::string&, const std::string& value) {
        parse_imperial_units(settings, value);
    }
    void column_width(const std::string&, const std::string& value) { parse_column_width(settings, value); }
    void skip_partial(const std::string&, const std::string&) { settings.skip_partial = true; }
    void not_implemented(const std::string&, const std::string&) {
        fail(1, "\nError : Option -j is not yet implemented\n");
    }

    void header_only(const std::string& arg, const std::string&) {
        if (arg.starts_with(headings_option)) {
            settings.fhwa_format = true;
            settings.new_argv.push_back(arg);
        } else {
            settings.hdr_only = true;
        }
    }

    void language_file(const std::string& arg, const std::string& value) {
        if (arg.starts_with(location_option)) {
            settings.fhwa_format = true;
            settings.new_argv.push_back(arg);
        } else {
            settings.lang_file = value;
        }
    }

    void metric_units(const std::string& arg, const std::string& value) {
        if (arg.starts_with(merge_cars_option)) {
            settings.merge_cars = true;
        } else {
            parse_metric_units(settings, value);
        }
    }

    void option(const std::string& arg);
    void long_option(const std::string& arg);

    void speed_limit(const std::string& value) {
        char* end = nullptr;
        const double limit = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !std::isfinite(limit) || limit <= 0 || limit > 1000) {
            fail(1, "\nError : Invalid speed limit (must be a number above 0)\n");
        }
        settings.speed_limit = limit;
    }
    // --qc=RULE:VALUE,...: thresholds of the data-quality rules, each a number of at least 0.
    void quality_thresholds(const std::string& value) {
        std::size_t from = 0;
        while (from <= value.size()) {
            const std::size_t comma = std::min(value.find(',', from), value.size());
            const std::string item = value.substr(from, comma - from);
            const std::size_t colon = item.find(':');
            const std::string name = item.substr(0, colon);
            std::size_t rule = 0;
            while (rule < qc_rule_count && qc_rules[rule].name != name) {
                ++rule;
            }
            char* end = nullptr;
            const std::string number = colon == std::string::npos ? "" : item.substr(colon + 1);
            const double threshold = std::strtod(number.c_str(), &end);
            if (rule == qc_rule_count || number.empty() || *end != '\0' || !std::isfinite(threshold) ||
                threshold < 0) {
                fail(1, "\nError : Invalid data-quality threshold (must be RULE:VALUE, a rule of the manual "
                        "and a "
                        "number of at least 0)\n");
            }
            settings.quality.threshold[rule] = threshold;
            from = comma + 1;
        }
    }
    void strict(const std::string&) { settings.quality.strict = true; }
    void output_dir(const std::string& value) {
        if (value.empty()) {
            fail(1, "\nError : No output folder specified\n");
        }
        settings.batch.output_dir = value;
    }
    void jobs(const std::string& value) {
        char* end = nullptr;
        errno = 0;
        const long n = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || errno != 0 || n < 1 || n > max_jobs) {
            fail(1,
                 "\nError : Invalid number of jobs (must be from 1 to " + std::to_string(max_jobs) + ")\n");
        }
        settings.batch.jobs = static_cast<int>(n);
    }
    void update(const std::string&) { settings.batch.update = true; }
    void weekdays(const std::string& value) { settings.year.aawdt_weekdays = parse_weekday_range(value); }
    void factors(const std::string& value) {
        settings.year.factors_file = value;
        settings.year.factors = load_factor_table(value);
    }
    void exclude_dates(const std::string& value) { settings.year.exclude = load_exclude_dates(value); }
    void combine(const std::string&) { settings.year.combine = true; }
    void stations(const std::string& value) { settings.year.stations = load_stations(value); }
    void output(const std::string& value) { settings.year.output = value; }

    void warrants(const std::string&) { settings.warrants.asked = true; }
    void major(const std::string& value) { settings.warrants.major = warrant_approaches("--major", value); }
    void minor(const std::string& value) { settings.warrants.minor = warrant_approaches("--minor", value); }
    void major_lanes(const std::string& value) {
        settings.warrants.major_lanes = lane_count("--major-lanes", value);
    }
    void minor_lanes(const std::string& value) {
        settings.warrants.minor_lanes.clear();
        for (const std::string& item : split_list(value)) {
            settings.warrants.minor_lanes.push_back(lane_count("--minor-lanes", item));
        }
    }
    void major_speed(const std::string& value) {
        char* end = nullptr;
        const double speed = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !std::isfinite(speed) || speed <= 0 || speed > 1000) {
            fail(1, "\nError : Invalid major-street speed (must be a number above 0)\n");
        }
        settings.warrants.major_speed = speed;
    }
    void isolated(const std::string&) { settings.warrants.isolated = true; }
    void adequate_trial(const std::string&) { settings.warrants.adequate_trial = true; }
    void day(const std::string& value) {
        int y = 0;
        int m = 0;
        int d = 0;
        char rest = 0;
        if (value.size() != 10 || std::sscanf(value.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &rest) != 3 ||
            m < 1 || m > 12 || d < 1 || d > 31) {
            fail(1, "\nError : Invalid day " + value + " (must be YYYY-MM-DD)\n");
        }
        settings.warrants.day = value;
    }
    void hours(const std::string& value) {
        if (value != "clock" && value != "quarter") {
            fail(1, "\nError : Invalid hours " + value + " (must be clock or quarter)\n");
        }
        settings.warrants.quarter_hours = value == "quarter";
    }

    void following(const std::string& v) { settings.following = positive("following headway", v, 60); }
    void gap_study(const std::string&) { settings.gap_study.asked = true; }
    void adequate_gap(const std::string& v) {
        settings.gap_study.adequate_gap = positive("adequate gap", v, 600);
    }
    void crossing_width(const std::string& v) {
        settings.gap_study.crossing_width = positive("crossing width", v, 1000);
    }
    void rows(const std::string& v) { settings.gap_study.rows = static_cast<int>(positive("rows", v, 100)); }
    void walking_speed(const std::string& v) {
        settings.gap_study.walking_speed = positive("walking speed", v, 100);
    }
    void start_up_time(const std::string& v) {
        settings.gap_study.start_up = positive("start-up time", v, 60, true);
    }
    void row_time(const std::string& v) { settings.gap_study.row_time = positive("row time", v, 60, true); }
    void gap_measure(const std::string& value) {
        if (value != "headway" && value != "gap") {
            fail(1, "\nError : Invalid gap measure " + value + " (must be headway or gap)\n");
        }
        settings.gap_study.rear_to_front = value == "gap";
    }
    void crossing_period(const std::string& value) {
        int h1 = 0;
        int m1 = 0;
        int h2 = 0;
        int m2 = 0;
        char rest = 0;
        if (value.size() != 11 ||
            std::sscanf(value.c_str(), "%2d:%2d-%2d:%2d%c", &h1, &m1, &h2, &m2, &rest) != 4 || h1 > 23 ||
            m1 > 59 || m1 % 5 != 0 || h2 > 24 || m2 > 59 || m2 % 5 != 0 || h1 < 0 || m1 < 0 || h2 < 0 ||
            m2 < 0 || h1 * 60 + m1 >= h2 * 60 + m2 || h2 * 60 + m2 > 1440) {
            fail(1, "\nError : Invalid crossing period " + value +
                        " (must be HH:MM-HH:MM on the 5 minutes, the end after the start)\n");
        }
        settings.gap_study.period_from = h1 * 60 + m1;
        settings.gap_study.period_to = h2 * 60 + m2;
    }
    // A number above 0 (or 0 too with `zero`) up to `most`; whole for the rows.
    static double positive(const char* what, const std::string& value, double most, bool zero = false) {
        char* end = nullptr;
        const double v = std::strtod(value.c_str(), &end);
        const bool whole = std::string_view(what) != "rows" || v == std::floor(v);
        if (value.empty() || *end != '\0' || !std::isfinite(v) || v < 0 || (v == 0 && !zero) || v > most ||
            !whole) {
            fail(1, std::string("\nError : Invalid ") + what + " " + value + " (must be a number " +
                        (zero ? "from 0" : "above 0") + " up to " + std::to_string(static_cast<int>(most)) +
                        ")\n");
        }
        return v;
    }

    static std::vector<std::string> split_list(const std::string& value) {
        std::vector<std::string> items;
        std::size_t from = 0;
        for (std::size_t comma = value.find(',');; comma = value.find(',', from)) {
            items.push_back(
                value.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
            if (comma == std::string::npos) {
                return items;
            }
            from = comma + 1;
        }
    }
    static int lane_count(const char* option, const std::string& value) {
        if (value != "1" && value != "2") {
            fail(1, std::string("\nError : Invalid ") + option + " " + value + " (must be 1 or 2)\n");
        }
        return value[0] - '0';
    }
    // FILE or FILE:DIR, comma-separated; DIR is the direction or channel number
    // after the last colon (a colon followed by anything else belongs to the name).
    static std::vector<warrant_approach> warrant_approaches(const char* option, const std::string& value) {
        std::vector<warrant_approach> approaches;
        for (const std::string& item : split_list(value)) {
            warrant_approach a{item, 0};
            const std::size_t colon = item.rfind(':');
            const std::size_t digits = colon == std::string::npos ? 0 : item.size() - colon - 1;
            if (digits >= 1 && digits <= 3 &&
                item.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
                a.file = item.substr(0, colon);
                a.direction = std::atoi(item.c_str() + colon + 1);
            }
            if (a.file.empty() || (digits >= 1 && a.direction == 0 && a.file != item)) {
                fail(1, std::string("\nError : Invalid ") + option + " approach " + item +
                            " (must be FILE[:DIR])\n");
            }
            approaches.push_back(a);
        }
        return approaches;
    }
};

// The GNU long options, matched exactly: "--name=value" or "--name value"
// where a value is taken, "--name" alone where none is. A new long option is
// one line here and its handler in the parser.
struct long_option_entry {
    std::string_view name; // without the leading "--"
    bool takes_value;
    void (parser::*handle)(const std::string& value); // null: answered before the parser runs
};

constexpr long_option_entry long_options[] = {
    {"speed-limit", true, &parser::speed_limit},
    {"qc", true, &parser::quality_thresholds},
    {"strict", false, &parser::strict},
    {"output-dir", true, &parser::output_dir},
    {"jobs", true, &parser::jobs},
    {"update", false, &parser::update},
    {"help", false, nullptr},
    {"version", false, nullptr},
    {"weekdays", true, &parser::weekdays},
    {"factors", true, &parser::factors},
    {"exclude-dates", true, &parser::exclude_dates},
    {"combine", false, &parser::combine},
    {"stations", true, &parser::stations},
    {"output", true, &parser::output},
    {"warrants", false, &parser::warrants},
    {"major", true, &parser::major},
    {"minor", true, &parser::minor},
    {"major-lanes", true, &parser::major_lanes},
    {"minor-lanes", true, &parser::minor_lanes},
    {"major-speed", true, &parser::major_speed},
    {"isolated", false, &parser::isolated},
    {"adequate-trial", false, &parser::adequate_trial},
    {"day", true, &parser::day},
    {"hours", true, &parser::hours},
    {"following", true, &parser::following},
    {"gap-study", false, &parser::gap_study},
    {"adequate-gap", true, &parser::adequate_gap},
    {"crossing-width", true, &parser::crossing_width},
    {"rows", true, &parser::rows},
    {"walking-speed", true, &parser::walking_speed},
    {"start-up-time", true, &parser::start_up_time},
    {"row-time", true, &parser::row_time},
    {"gap-measure", true, &parser::gap_measure},
    {"crossing-period", true, &parser::crossing_period},
};

// The entry naming the long option `arg` ("--name" or "--name=value"), or null.
const long_option_entry* find_long_option(std::string_view arg) {
    const std::string_view name =
        arg.substr(2, arg.find('=') == std::string_view::npos ? std::string_view::npos : arg.find('=') - 2);
    for (const long_option_entry& entry : long_options) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

[[noreturn]] void long_option_error(const std::string& problem) {
    fail(1, "tallycnv: " + problem + "\nTry 'tallycnv --help' for more information.\n");
}

// The value of the long option at args[index]: after its '=', else the next
// argument (index then moves past it).
std::string long_option_value(const std::vector<std::string>& args, std::size_t& index) {
    const std::string& arg = args[index];
    const std::size_t equals = arg.find('=');
    if (equals != std::string::npos) {
        return arg.substr(equals + 1);
    }
    if (index + 1 >= args.size()) {
        long_option_error("option '" + arg + "' requires an argument");
    }
    return args[++index];
}

void parser::long_option(const std::string& arg) {
    const long_option_entry* entry = find_long_option(arg);
    if (entry == nullptr) {
        long_option_error("unrecognized option '" + arg.substr(0, arg.find('=')) + "'");
    }
    if (!entry->takes_value && arg.find('=') != std::string::npos) {
        long_option_error("option '--" + std::string(entry->name) + "' doesn't allow an argument");
    }
    const std::string value = entry->takes_value ? long_option_value(args, index) : std::string();
    if (entry->handle != nullptr) {
        (this->*entry->handle)(value);
    }
    if (entry->handle != &parser::output_dir && entry->handle != &parser::jobs &&
        entry->handle != &parser::update) {
        settings.batch.shaping_options.push_back("--" + std::string(entry->name) +
                                                 (entry->takes_value ? "=" + value : ""));
    }
}

// The option letters, each with its handler, which receives the whole argument
// and the text after the letter.
struct letter_option {
    char letter;
    void (parser::*handle)(const std::string& arg, const std::string& value);
};

constexpr letter_option letter_options[] = {
    {'C', &parser::axle_factor},   {'D', &parser::start_day},      {'F', &parser::output_format},
    {'H', &parser::header_only},   {'I', &parser::imperial_units}, {'J', &parser::not_implemented},
    {'L', &parser::language_file}, {'M', &parser::metric_units},   {'S', &parser::skip_partial},
    {'W', &parser::column_width},
};

void parser::option(const std::string& arg) {
    const char letter =
        static_cast<char>(std::toupper(static_cast<unsigned char>(arg.size() > 1 ? arg[1] : '\0')));
    const std::string value = arg.size() > 2 ? arg.substr(2) : std::string();
    for (const letter_option& entry : letter_options) {
        if (entry.letter == letter) {
            (this->*entry.handle)(arg, value);
            return;
        }
    }
    const std::string_view rest = std::string_view(arg).substr(1);
    for (std::string_view ignored : ignored_options) {
        if (equals_ignoring_case(rest, ignored)) {
            return;
        }
    }
    fail(1, "\nError : Invalid option " + arg + "\n");
}

// The gap study needs a study format and an adequate gap or a crossing width.
void check_gap_study_options(const run_settings& settings) {
    const gap_study_settings& g = settings.gap_study;
    const int format = settings.anl_format;
    if (!g.asked) {
        return;
    }
    if (format != anl_format_study && format != anl_format_json && format != anl_format_html) {
        fail(1, "\nError : Option --gap-study needs a study format (-fstudy, -fjson or -fhtml)\n");
    }
    if (g.adequate_gap == 0 && g.crossing_width == 0) {
        fail(1, "\nError : Option --gap-study needs --adequate-gap or --crossing-width\n");
    }
}

// The warrants need a study format, the major street and every minor approach
// with its direction, and at most one lane figure per minor approach.
void check_warrant_options(const run_settings& settings) {
    const warrant_settings& w = settings.warrants;
    const int format = settings.anl_format;
    if (!w.asked) {
        if (!w.major.empty() || !w.minor.empty()) {
            fail(1, "\nError : Options --major and --minor need --warrants\n");
        }
        return;
    }
    if (format != anl_format_study && format != anl_format_json && format != anl_format_html) {
        fail(1, "\nError : Option --warrants needs a study format (-fstudy, -fjson or -fhtml)\n");
    }
    if (w.major.empty() || w.minor.empty()) {
        fail(1, "\nError : Option --warrants needs --major and --minor\n");
    }
    for (const warrant_approach& a : w.minor) {
        if (a.direction == 0) {
            fail(1, "\nError : Each --minor approach needs its direction (FILE:DIR)\n");
        }
    }
    if (w.minor_lanes.size() > 1 && w.minor_lanes.size() != w.minor.size()) {
        fail(1, "\nError : Option --minor-lanes needs one value, or one per minor approach\n");
    }
}

} // namespace

std::vector<std::string> option_forms() {
    std::vector<std::string> forms;
    for (const letter_option& entry : letter_options) {
        forms.push_back(std::string("-") + entry.letter);
    }
    for (const output_format_entry& entry : output_formats) {
        forms.push_back("-f" + std::string(entry.name));
    }
    for (std::string_view word : {headings_option, location_option, merge_cars_option}) {
        forms.emplace_back(word);
    }
    for (std::string_view ignored : ignored_options) {
        forms.push_back("-" + std::string(ignored));
    }
    for (const long_option_entry& entry : long_options) {
        forms.push_back("--" + std::string(entry.name) + (entry.takes_value ? "=" : ""));
    }
    forms.emplace_back(quiet_marker);
    forms.emplace_back(control_file_marker);
    return forms;
}

std::string cordon_destination(const std::string& destination) {
    const std::size_t slash = destination.find_last_of("/\\");
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    std::string renamed = destination;
    if (renamed.size() - base >= 4) {
        renamed[base + 3] = 'T';
    }
    return renamed;
}

run_settings get_parameters(const std::string& program_directory, const std::vector<std::string>& args) {
    parser p{run_settings{}, args};
    p.settings.program_directory = program_directory;
    p.settings.lang_file = resource_file(program_directory, "LANG.479");
    p.settings.k479.print_units = 1;
    p.settings.k479.units = 0;
    p.settings.taxo = false;
    // A batch run takes every file name as a source, wherever --output-dir
    // stands among them; the summary window's values are never file names.
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        const long_option_entry* entry = args[i].starts_with("--") ? find_long_option(args[i]) : nullptr;
        if (entry != nullptr && entry->takes_value) {
            const std::string value = long_option_value(args, i);
            if (entry->handle == &parser::output_dir) {
                p.output_dir(value);
            }
        }
        p.settings.year.combine = p.settings.year.combine || args[i] == "--combine";
    }
    // After "--" every argument is a file name ("-x.DAT").
    bool options_ended = false;
    for (p.index = 0; p.index < args.size(); ++p.index) {
        const std::string& arg = args[p.index];
        if (options_ended) {
            p.file_name(arg);
        } else if (arg == "--") {
            options_ended = true;
        } else if (is_plain_argument(arg)) {
            p.plain_argument(arg);
        } else if (arg.starts_with("--")) {
            p.long_option(arg);
        } else {
            // With the values it takes (the summary window's four).
            const std::size_t first = p.index;
            p.option(arg);
            p.settings.batch.shaping_options.insert(p.settings.batch.shaping_options.end(),
                                                    args.begin() + static_cast<std::ptrdiff_t>(first),
                                                    args.begin() + static_cast<std::ptrdiff_t>(p.index + 1));
        }
    }
    // An empty argument is a file name too (one that cannot be opened).
    if (p.files == 0) {
        fail(1, "\nError : No input file specified\n");
    }
    const year_settings& year = p.settings.year;
    const int format = p.settings.anl_format;
    if (year.combine && format != anl_format_study && format != anl_format_json &&
        format != anl_format_html && format != anl_format_factors) {
        fail(1, "\nError : Option --combine needs a study format (-fstudy, -fjson, -fhtml or -ffactors)\n");
    }
    if (!year.output.empty() && (!year.combine || !p.settings.batch.output_dir.empty())) {
        fail(1, "\nError : Option --output needs --combine, without --output-dir\n");
    }
    if (p.settings.batch.output_dir.empty() && (p.settings.batch.jobs != 0 || p.settings.batch.update)) {
        fail(1, "\nError : Options --jobs and --update need --output-dir\n");
    }
    check_warrant_options(p.settings);
    check_gap_study_options(p.settings);
    return p.settings;
}

command_line_request requested_answer(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        const long_option_entry* entry = args[i].starts_with("--") ? find_long_option(args[i]) : nullptr;
        if (entry == nullptr) {
            continue;
        }
        if (entry->name == "help" && args[i] == "--help") {
            return command_line_request::help;
        }
        if (entry->name == "version" && args[i] == "--version") {
            return command_line_request::version;
        }
        if (entry->takes_value && args[i].find('=') == std::string::npos) {
            ++i; // its value, whatever it looks like
        }
    }
    return command_line_request::none;
}

void display_banner_line(const char* version, std::FILE* to) {
    std::fprintf(to, "TALLYCNV : ZUNO Binary to ASCII File Formatter, Version %s\n", version);
}

void display_program_title(const char* version, std::FILE* to) {
    display_banner_line(version, to);
    std::fputc('\n', to);
}

} // namespace tallycnv
