#include "app/options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/fatal.h"

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

// A plain argument is a file name or one of the markers "^" and "=". Besides
// arguments that do not begin with '-' or '/', an absolute path such as
// /data/SITE1.DAT is a file name; the converter options /headings= and
// /location= carry values that may hold '/' and stay options.
bool is_plain_argument(const std::string& arg) {
    if (arg.empty() || (arg[0] != '-' && arg[0] != '/')) {
        return true;
    }
    if (arg[0] == '/' && arg.find('/', 1) != std::string::npos) {
        return !arg.starts_with("/headings=") && !arg.starts_with("/location=");
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
        if (arg == "^") {
            settings.quiet_mode = true;
            return;
        }
        if (arg == "=") {
            settings.quillon_mode = true;
            return;
        }
        ++files;
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
        auto is = [&text](std::string_view name) { return equals_ignoring_case(text, name); };
        if (is("I1")) {
            settings.anl_format = 1;
        } else if (is("I2")) {
            settings.anl_format = 2;
            settings.print_format = 2;
        } else if (is("I3")) {
            settings.anl_format = 3;
        } else if (is("V1")) {
            settings.anl_format = 4;
            settings.print_format = 1;
        } else if (is("V2")) {
            settings.anl_format = 5;
            settings.print_format = 2;
        } else if (is("V3")) {
            settings.anl_format = 6;
            settings.print_format = 3;
        } else if (is("V4")) {
            settings.anl_format = 7;
            settings.print_format = 4;
        } else if (is("asb") || is("asb1")) {
            settings.taxo = true;
        } else if (is("cordon")) {
            settings.anl_format = 4;
            settings.print_format = 4;
            if (files >= 2) {
                rename_destination_for_cordon();
            }
        } else if (is("zedirozed1")) {
            settings.print_format = 1;
            settings.zedirozed = true;
        } else if (is("zedirozed2")) {
            settings.print_format = 2;
            settings.zedirozed = true;
        } else if (is("marsum")) {
            settings.print_format = 5;
            settings.zedirozed = true;
            summary_window();
        } else if (is("f1")) {
            settings.kappa3_format = true;
        } else if (is("c2") || is("c4") || is("c7")) {
            settings.fhwa_format = true;
            settings.new_argv.push_back(arg);
        } else if (is("wk")) {
            settings.anl_format = 8;
        } else if (is("nz")) {
            fail(1, "\nError : Option -fnz is not yet implemented\n");
        } else {
            fail(1, "\nError : Invalid output format\n");
        }
    }

    void option(const std::string& arg) {
        const char letter =
            static_cast<char>(std::toupper(static_cast<unsigned char>(arg.size() > 1 ? arg[1] : '\0')));
        const std::string value = arg.size() > 2 ? arg.substr(2) : std::string();
        switch (letter) {
        case 'C':
            parse_axle_factor(settings, value);
            break;
        case 'D':
            parse_start_day(settings, value);
            break;
        case 'F':
            output_format(arg, value);
            break;
        case 'H':
            if (arg.starts_with("/headings=")) {
                settings.fhwa_format = true;
                settings.new_argv.push_back(arg);
            } else {
                settings.hdr_only = true;
            }
            break;
        case 'I':
            parse_imperial_units(settings, value);
            break;
        case 'J':
            fail(1, "\nError : Option -j is not yet implemented\n");
        case 'L':
            if (arg.starts_with("/location=")) {
                settings.fhwa_format = true;
                settings.new_argv.push_back(arg);
            } else {
                settings.lang_file = value;
            }
            break;
        case 'M':
            if (arg.starts_with("/mc")) {
                settings.merge_cars = true;
            } else {
                parse_metric_units(settings, value);
            }
            break;
        case 'S':
            settings.skip_partial = true;
            break;
        case 'W':
            parse_column_width(settings, value);
            break;
        default: {
            const std::string_view rest = std::string_view(arg).substr(1);
            if (!equals_ignoring_case(rest, "NOVERSIONCHECK") && !equals_ignoring_case(rest, "NVC")) {
                fail(1, "\nError : Invalid option " + arg + "\n");
            }
            break;
        }
        }
    }
};

} // namespace

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
    p.settings.lang_file = program_directory + "/LANG.479";
    p.settings.k479.print_units = 1;
    p.settings.k479.units = 0;
    p.settings.taxo = false;
    for (p.index = 0; p.index < args.size(); ++p.index) {
        const std::string& arg = args[p.index];
        if (is_plain_argument(arg)) {
            p.plain_argument(arg);
        } else {
            p.option(arg);
        }
    }
    if (p.settings.sfn.empty()) {
        fail(1, "\nError : No input file specified\n");
    }
    return p.settings;
}

void display_program_title(const char* version) {
    std::printf("TALLYCNV : ZUNO Binary to ASCII File Formatter, Version %s\n", version);
    std::printf("\n");
}

} // namespace tallycnv
