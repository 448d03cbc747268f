// Per-vehicle lines of the VBV listings: fixed columns (VBV-1), record-coded
// (VBV-2), three labelled lines (VBV-3) and the axle picture (VBV-4). Layout 5
// writes only the Zedirozed summary when it is due. The lines are formatted
// straight into the report sink; the columns that depend on one field alone
// come from the run's column caches.
#include "vbv/vehicle_lines.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "datafile/vocabulary.h"
#include "io/text_format.h"
#include "vbv/line_format.h"
#include "vbv/zedirozed.h"

namespace tallycnv {

namespace {

// Decimal places of lengths and weights for each print-units row.
constexpr std::array<int, 16> length_decimals = {2, 0, 2, 0, 2, 2, 2, 2, 0, 2};
constexpr std::array<int, 16> weight_decimals = {2, 0, 2, 0, 2, 0, 0, 2, 0, 0};

constexpr std::array<std::string_view, 5> chassis_height_names = {"  ", "VL", " L", " M", " H"};

// Layouts 1 and 2 show at most this many spacing and weight columns.
constexpr int spacing_columns = 8;
constexpr int weight_columns = 9;

// The vehicle records hold 12 spacings and 13 weights: pictures and lists stop at 13 axles.
constexpr unsigned max_drawn_axles = 13;

// Room reserved for one vehicle line: the longest line of any layout (a
// VBV-3 line of 13 axles of 16-bit values) with its CR LF, plus the slack
// of the fixed-size copies out of the column caches and the blank runs.
constexpr std::size_t max_line = 512;

// Distinct values of the headway and gap columns (tenths above 999 print as 999).
constexpr unsigned tenths_values = 1000;
constexpr unsigned byte_values = 256;
constexpr unsigned word_values = 65536;

int decimals_at(const std::array<int, 16>& table, unsigned index) {
    return index < table.size() ? table[index] : 0;
}

print_unit_row unit_row(unsigned u) {
    return {factor_at(out_speed_conv, u), factor_at(out_length_conv, u), factor_at(out_weight_conv, u),
            decimals_at(length_decimals, u), decimals_at(weight_decimals, u)};
}

// A field value times a unit factor, in single precision, promoted for printing.
double converted(unsigned value, float factor) {
    return static_cast<double>(static_cast<float>(value) * factor);
}

// A converted value rounded to a whole number: plus one half, truncated.
int rounded(unsigned value, float factor) {
    return static_cast<int>(converted(value, factor) + 0.5);
}

// Headway or gap in seconds; values above 999 tenths show as 99.9.
double capped_seconds(unsigned tenths) {
    return static_cast<double>(static_cast<float>(std::min(tenths, tenths_values - 1)) / 10.0F);
}

double seconds(unsigned tenths) {
    return static_cast<double>(static_cast<float>(tenths) / 10.0F);
}

// "%8s" of the site's first 8 characters, from the cache made on the first line.
char* put_site(report_sink& out, char* p, const run_settings& settings, vehicle_columns& c) {
    if (c.site.bytes.empty()) {
        const std::string_view site = field_text(settings.k479.site).substr(0, 8);
        char column[8];
        c.site = make_report_text(std::string_view(
            column, static_cast<std::size_t>(put_padded(column, site.data(), site.size(), 8, ' ') - column)));
    }
    return out.put_lines(p, c.site);
}

// "%02d%02d%02d" in the order of the date form.
char* put_date(char* p, const run_settings& settings, const vehicle_info& v) {
    for (const int part : ordered_date(settings.k479.date_format, v.day, v.month, v.year)) {
        p = put_int(p, part, 2, '0');
    }
    return p;
}

// "%02d%02d%02d" in the order of the date form, made once per date.
char* put_date(char* p, const run_settings& settings, const vehicle_info& v, vehicle_columns& c) {
    const std::array<int, 3> date{v.day, v.month, v.year};
    if (date != c.last_date) {
        c.last_date = date;
        c.date_size =
            static_cast<std::size_t>(put_date(c.date_text.data(), settings, v) - c.date_text.data());
    }
    std::memcpy(p, c.date_text.data(), 16); // a date column is 6 to 9 characters
    return p + c.date_size;
}

// "%02d" of each value, separated by `separator`.
char* put_clock(char* p, const vehicle_info& v, std::string_view separator) {
    p = put_two_digits(p, v.hour);
    p = put_text(p, separator);
    p = put_two_digits(p, v.minute);
    p = put_text(p, separator);
    return put_two_digits(p, v.second);
}

// A column of a fixed-point number: `lead`, "%W.Pf" of the value, `trail`.
char* put_decimal(char* p, double value, const short_text& lead, int width, int places,
                  const short_text& trail) {
    p = put_short(p, lead);
    p = put_fixed(p, value, places, width);
    return put_short(p, trail);
}

// The shape of a column: lead text, width, decimal places, trail text, and
// the blank: the text written when the field is 0 (a converted or counted
// column; none when empty) or when the column is absent (an apportioned one).
struct column_format {
    short_text lead;
    int width;
    int places;
    short_text trail;
    short_text blank;
};

// A column of a whole number: lead, "%*d" of the value, trail; the blank when it is 0.
char* put_count(char* p, unsigned value, const column_format& f) {
    if (value == 0) {
        return put_short(p, f.blank);
    }
    p = put_short(p, f.lead);
    p = put_int(p, value, f.width);
    return put_short(p, f.trail);
}

// The maker of a cached column of a whole number (put_count).
std::function<char*(char*, unsigned)> count_column(const column_format& f) {
    return [f](char* p, unsigned value) { return put_count(p, value, f); };
}

// The maker of a cached column: the field value times `factor`, or the blank for a zero value.
std::function<char*(char*, unsigned)> converted_column(const column_format& f, float factor) {
    return [f, factor](char* p, unsigned value) {
        if (value == 0 && !f.blank.empty()) {
            return put_short(p, f.blank);
        }
        return put_decimal(p, converted(value, factor), f.lead, f.width, f.places, f.trail);
    };
}

// The maker of a cached column showing the field times `factor` whatever its value.
std::function<char*(char*, unsigned)> total_column(const column_format& f, float factor) {
    return [f, factor](char* p, unsigned value) {
        return put_decimal(p, converted(value, factor), f.lead, f.width, f.places, f.trail);
    };
}

// The maker of a cached column showing the field rounded to whole units, with the unit's places.
std::function<char*(char*, unsigned)> rounded_column(const column_format& f, float factor) {
    return [f, factor](char* p, unsigned value) {
        return put_decimal(p, static_cast<double>(static_cast<float>(rounded(value, factor))), f.lead,
                           f.width, f.places, f.trail);
    };
}

// Spacing or weight columns that add up to the printed total: every column
// before the last present one shows its own converted value rounded to a
// whole number, the last present one shows what is left of the total (or its
// own rounded value if the rounded columns overshot the total). Columns past
// the last present one are blank. A lone column shows the whole total, which
// depends on the total's field alone (`whole_text`).
struct apportioned_columns {
    column_cache& rounded_text;
    column_cache& whole_text;
    float_column_cache& rest_text;
    const blank_run& blanks;
    const column_format& format;
    int places;
    int columns;
};

template <std::size_t M>
char* put_apportioned(char* p, const apportioned_columns& a, unsigned total_field,
                      const std::array<std::uint16_t, M>& parts, int last, float factor) {
    if (last == 0) {
        return a.blanks.put(a.whole_text.put(p, total_field), a.columns - 1);
    }
    const int present = std::clamp(last + 1, 0, a.columns); // columns up to the last present one
    float total = static_cast<float>(total_field) * factor;
    for (int i = 0; i < present; ++i) {
        const unsigned part = parts[static_cast<std::size_t>(i)];
        if (i < last) {
            total -= static_cast<float>(rounded(part, factor));
            p = a.rounded_text.put(p, part);
        } else if (total < 0.0F) {
            p = a.rounded_text.put(p, part);
        } else {
            p = a.rest_text.put(p, total, [&](char* q) {
                return put_decimal(q, static_cast<double>(total), a.format.lead, a.format.width, a.places,
                                   a.format.trail);
            });
        }
    }
    return a.blanks.put(p, a.columns - present);
}

// VBV-1, fixed columns under the "* HEAD ..." heading. The decimal places
// of lengths and weights are the print unit's.
constexpr column_format fixed_length{" ", 5, 0, "", "      "};        // length and wheelbase " %5.*f"
constexpr column_format fixed_count{" ", 2, 0, "", "   "};            // axles and class " %2d"
constexpr column_format fixed_loop_class{"    ", 2, 0, "", "      "}; // class of a loop-only site
constexpr column_format fixed_spacing{" ", 4, 0, "", "     "};        // " %4.*f"
constexpr column_format fixed_gross{" ", 5, 0, "", "      "};         // " %5.*f"
constexpr column_format fixed_axle_weight{" ", 5, 0, "", " "};        // " %5.*f"

// VBV-2, record-coded; every field is followed by a comma.
constexpr column_format coded_length{"", 5, 0, ",", "     ,"};    // "%5.0f,": always whole units
constexpr column_format coded_count{"", 2, 0, ",", "  ,"};        // axles and class "%2d,"
constexpr column_format coded_wheelbase{"", 5, 0, ",", "     ,"}; // "%5.*f,"
constexpr column_format coded_spacing{"", 4, 0, ",", "    ,"};    // "%4.*f,"
constexpr column_format coded_gross{"", 5, 0, ",", "     ,"};     // "%5.*f,"
constexpr column_format coded_axle_weight{"", 5, 0, ",", ","};    // "%5.*f,"

column_format with_places(column_format f, int places) {
    f.places = places;
    return f;
}

// The spacing and axle-weight columns of a layout: rounded parts and lone whole totals.
void make_apportioned_columns(vehicle_columns& c, const column_format& spacing, const column_format& weight,
                              const print_unit_row& row) {
    const column_format s = with_places(spacing, row.length_places);
    const column_format w = with_places(weight, row.weight_places);
    c.spacing.reset(word_values, rounded_column(s, row.length));
    c.weight.reset(word_values, rounded_column(w, row.weight));
    c.whole_spacing.reset(word_values, total_column(s, row.length));
    c.whole_weight.reset(word_values, total_column(w, row.weight));
    c.spacing_rest.reset();
    c.weight_rest.reset();
    c.spacing_blanks.reset(std::string_view(spacing.blank.bytes.data(), spacing.blank.size), spacing_columns);
    c.weight_blanks.reset(std::string_view(weight.blank.bytes.data(), weight.blank.size), weight_columns);
}

void make_fixed_columns(vehicle_columns& c, const print_unit_row& row) {
    c.tenths.reset(tenths_values,
                   [](char* p, unsigned v) { return put_decimal(p, capped_seconds(v), " ", 4, 1, ""); });
    c.speed.reset(byte_values, [row](char* p, unsigned v) {
        if (v == 0) {
            return put_text(p, "    ");
        }
        return put_int(put_char(p, ' '), static_cast<int>(static_cast<float>(v) * row.speed), 3);
    });
    c.length.reset(word_values, converted_column(with_places(fixed_length, row.length_places), row.length));
    c.gross.reset(word_values, converted_column(with_places(fixed_gross, row.weight_places), row.weight));
    c.count.reset(byte_values, count_column(fixed_count));
    make_apportioned_columns(c, fixed_spacing, fixed_axle_weight, row);
}

void make_coded_columns(vehicle_columns& c, const print_unit_row& row) {
    c.tenths.reset(tenths_values,
                   [](char* p, unsigned v) { return put_decimal(p, capped_seconds(v), "", 4, 1, ","); });
    c.speed.reset(byte_values, [row](char* p, unsigned v) {
        if (v == 0) {
            return put_text(p, "   ,");
        }
        return put_decimal(p, converted(v, row.speed), "", 3, 0, ",");
    });
    c.length.reset(word_values, converted_column(coded_length, row.length));
    c.wheelbase.reset(word_values,
                      converted_column(with_places(coded_wheelbase, row.length_places), row.length));
    c.gross.reset(word_values, converted_column(with_places(coded_gross, row.weight_places), row.weight));
    c.count.reset(byte_values, count_column(coded_count));
    make_apportioned_columns(c, coded_spacing, coded_axle_weight, row);
}

char* fixed_line(report_sink& out, char* p, const run_settings& settings, const vehicle_info& v, int config,
                 vehicle_columns& c) {
    const print_unit_row& row = c.units;
    if (settings.taxo) {
        p = put_text(put_site(out, p, settings, c), "  "); // "%8s  "
    }
    p = put_char(put_int(p, v.vehicle_number + 1U, 6, '0'), ' '); // "%06u "
    p = put_char(put_date(p, settings, v, c), ' ');               // "%02d%02d%02d "
    p = put_two_digits(p, v.hour);                                // "%02d%02d %02d "
    p = put_char(put_two_digits(p, v.minute), ' ');
    p = put_char(put_two_digits(p, v.second), ' ');
    p = put_char(put_two_digits(p, v.millisecond / 10U), ' '); // "%02d %06X "
    p = put_char(put_hex(p, v.result_code, 6), ' ');
    p = put_char(put_int(p, v.lane + 1, 2), ' '); // "%2d "
    p = put_char(p, v.direction != 0 ? '2' : '1');
    p = c.tenths.put(p, std::min<unsigned>(v.headway, tenths_values - 1)); // " %4.1f"
    p = c.tenths.put(p, std::min<unsigned>(v.gap, tenths_values - 1));     // " %4.1f"
    p = c.speed.put(p, v.speed);                                           // " %3d" truncated, or 4 blanks
    p = c.length.put(p, v.length);                                         // " %5.*f", or 6 blanks
    if (config == 0) {
        p = put_count(p, v.class_code, fixed_loop_class); // "    %2d", or 6 blanks
        return put_text(put_char(p, ' '), name_at(chassis_height_names, v.chassis_height));
    }
    p = c.count.put(p, v.axles);                 // " %2d", or 3 blanks
    p = c.count.put(p, v.class_code);            // " %2d", or 3 blanks
    p = c.length.put(p, v.wheelbase);            // " %5.*f", or 6 blanks
    const apportioned_columns spacings{c.spacing,     c.whole_spacing,   c.spacing_rest, c.spacing_blanks,
                                       fixed_spacing, row.length_places, spacing_columns};
    p = put_apportioned(p, spacings, v.wheelbase, v.axle_spacing, v.axles - 2, row.length);
    if (config == 2) {
        p = c.gross.put(p, v.gross_weight); // " %5.*f", or 6 blanks
        const apportioned_columns weights{c.weight,        c.whole_weight,    c.weight_rest,
                                          c.weight_blanks, fixed_axle_weight, row.weight_places,
                                          weight_columns};
        p = put_apportioned(p, weights, v.gross_weight, v.axle_weight, v.axles - 1, row.weight);
    }
    return p;
}

// The line's last comma is dropped.
char* record_coded_line(report_sink& out, char* p, const run_settings& settings, const vehicle_info& v,
                        int config, vehicle_columns& c) {
    const print_unit_row& row = c.units;
    if (settings.taxo) {
        p = put_char(put_site(out, put_text(p, "1,"), settings, c), ','); // "1,%8s,%u,"
        p = put_char(put_int(p, v.vehicle_number + 1U), ',');
    } else {
        p = put_char(put_int(put_text(p, "1,"), v.vehicle_number + 1U, 6, '0'), ','); // "1,%06u,"
    }
    p = put_char(put_date(p, settings, v, c), ','); // "%02d%02d%02d,"
    p = put_two_digits(p, v.hour);                  // "%02d%02d,%02d,"
    p = put_char(put_two_digits(p, v.minute), ',');
    p = put_char(put_two_digits(p, v.second), ',');
    p = put_char(put_two_digits(p, v.millisecond / 10U), ',');    // "%02d,"
    p = put_char(put_hex(p, v.result_code, 6), ',');              // "%06X,"
    p = put_char(put_int(p, v.lane + 1, 2), ',');                 // "%2d,"
    p = put_text(p, v.direction != 0 ? "2," : "1,");
    p = c.tenths.put(p, std::min<unsigned>(v.headway, tenths_values - 1)); // "%4.1f,"
    p = c.tenths.put(p, std::min<unsigned>(v.gap, tenths_values - 1));     // "%4.1f,"
    p = c.speed.put(p, v.speed);                                           // "%3.0f,", or "   ,"
    p = c.length.put(p, v.length);                                         // "%5.0f,", or "     ,"
    if (config == 0) {
        p = put_count(p, v.class_code, coded_count); // "%2d,", or "  ,"
        p = put_char(put_text(put_char(p, '"'), name_at(chassis_height_names, v.chassis_height)), '"');
        return put_char(p, ',') - 1;
    }
    p = c.count.put(p, v.axles);                 // "%2d,", or "  ,"
    p = c.count.put(p, v.class_code);            // "%2d,", or "  ,"
    p = c.wheelbase.put(p, v.wheelbase);         // "%5.*f,", or "     ,"
    const apportioned_columns spacings{c.spacing,     c.whole_spacing,   c.spacing_rest, c.spacing_blanks,
                                       coded_spacing, row.length_places, spacing_columns};
    p = put_apportioned(p, spacings, v.wheelbase, v.axle_spacing, v.axles - 2, row.length);
    if (config == 2) {
        p = c.gross.put(p, v.gross_weight); // "%5.*f,", or "     ,"
        const apportioned_columns weights{c.weight,        c.whole_weight,    c.weight_rest,
                                          c.weight_blanks, coded_axle_weight, row.weight_places,
                                          weight_columns};
        p = put_apportioned(p, weights, v.gross_weight, v.axle_weight, v.axles - 1, row.weight);
    }
    return p - 1;
}

// VBV-3: three labelled lines, in metres, tonnes and km/h for the metric
// print units 0 and 1, otherwise in feet, long tons and mph.
void labelled_lines(report_sink& out, const run_settings& settings, const vehicle_info& v,
                    vehicle_columns& c) {
    const unsigned u = settings.k479.print_units <= 1 ? 0U : 4U;
    const print_unit_row row = unit_row(u);
    const unsigned axles = std::min<unsigned>(v.axles, max_drawn_axles);

    char* p = out.reserve(max_line);
    if (settings.taxo) {
        p = put_text(put_site(out, p, settings, c), "  ");            // "%8s  "
        p = put_char(put_int(p, v.vehicle_number + 1U, 8, '0'), ' '); // "%08u "
    } else {
        p = put_char(put_int(p, v.vehicle_number + 1U, 6, '0'), ' '); // "%06u "
    }
    p = put_char(put_date(p, settings, v), ' ');                              // "%02d%02d%02d "
    p = put_clock(p, v, ":");                                                 // "%02d:%02d:%02d"
    p = put_char(put_int(put_char(p, '.'), v.millisecond / 10, 2, '0'), ' '); // ".%02d "
    p = put_char(put_hex(p, v.result_code, 6), ' ');                          // "%06X "
    p = put_char(put_int(put_text(p, "LA="), v.lane + 1), ' ');               // "LA=%d "
    p = put_text(p, v.direction != 0 ? "DN=2 " : "DN=1 ");
    p = put_decimal(p, converted(v.speed, row.speed), "SP=", 0, 0, " "); // "SP=%.0f "
    p = put_decimal(p, seconds(v.gap), "GP=", 0, 1, " ");                // "GP=%.1f "
    p = put_decimal(p, seconds(v.headway), "HD=", 0, 1, "");             // "HD=%.1f"
    out.end_line(p);

    p = out.reserve(max_line);
    p = put_char(put_int_left(put_text(p, "AX="), static_cast<unsigned>(v.axles), 2), ' ');      // "AX=%-2u "
    p = put_char(put_int_left(put_text(p, "CS="), static_cast<unsigned>(v.class_code), 2), ' '); // "CS=%-2u "
    p = put_text(p, u == 0 ? "MTR" : "FET");
    p = put_decimal(p, converted(v.wheelbase, row.length), " ", 5, 2, "  "); // " %5.2f  "
    for (unsigned i = 0; i + 1 < axles; ++i) {
        p = put_decimal(p, converted(v.axle_spacing[i], row.length), " ", 4, 2, ""); // " %4.2f"
    }
    out.end_line(p);

    p = out.reserve(max_line);
    p = put_text(p, u == 0 ? "OK          TNE" : "OK          TON");
    p = put_decimal(p, converted(v.gross_weight, row.weight), " ", 5, 2, "  "); // " %5.2f  "
    for (unsigned i = 0; i < axles; ++i) {
        p = put_decimal(p, converted(v.axle_weight[i], row.weight), " ", 4, 2, ""); // " %4.2f"
    }
    out.end_line(p);
}

// VBV-4: a short line and the axle picture, one weight character per axle and
// one dash per started 50 cm of spacing beyond the first 50 cm. Trailing
// blanks are removed.
char* picture_line(char* p, const run_settings& settings, const vehicle_info& v) {
    const print_unit_row row = unit_row(settings.k479.print_units);
    char* const start = p;
    p = put_char(put_clock(p, v, ":"), ' '); // "%02d:%02d:%02d "
    p = put_int(p, v.lane + 1, 1);           // "%1d"
    if (v.gap != 0) {
        p = put_decimal(p, seconds(v.gap), " ", 2, 0, ""); // " %2.0f"
    } else {
        p = put_text(p, "   ");
    }
    if (v.speed != 0) {
        p = put_int(put_char(p, ' '), static_cast<int>(static_cast<float>(v.speed) * row.speed), 3); // " %3d"
    } else {
        p = put_text(p, "    ");
    }
    p = put_int(put_char(p, ' '), v.axles, 2);                     // " %2d"
    p = put_char(put_int(put_char(p, ' '), v.class_code, 2), ' '); // " %2d "
    p = put_text(p, "OK       ");
    const unsigned axles = std::min<unsigned>(v.axles, max_drawn_axles);
    if (axles >= 1) {
        p = put_char(p, conv_wt_char(v.axle_weight[0]));
        for (unsigned i = 0; i + 1 < axles; ++i) {
            unsigned spacing = std::min<unsigned>(v.axle_spacing[i], 1000);
            while (spacing > 50) {
                p = put_char(p, '-');
                spacing -= 50;
            }
            p = put_char(p, conv_wt_char(v.axle_weight[i + 1]));
        }
    }
    while (p != start && p[-1] == ' ') {
        --p;
    }
    return p;
}

// Makes the column caches of the layout on its first line.
void prepare_columns(vehicle_columns& columns, const run_settings& settings, const k479_defn& header) {
    const unsigned u = settings.k479.print_units;
    if (columns.print_format == settings.print_format && columns.print_units == u) {
        return;
    }
    columns.print_format = settings.print_format;
    columns.print_units = u;
    columns.config = config_type(header);
    columns.last_date = {-1, -1, -1};
    columns.units = unit_row(u);
    if (settings.print_format == 2) {
        make_coded_columns(columns, columns.units);
    } else {
        make_fixed_columns(columns, columns.units);
    }
}

} // namespace

char conv_wt_char(unsigned weight) {
    const unsigned stored = std::min(weight, 65535U); // a stored weight is 16 bits
    // The product is single precision; the half is added in double precision, as C promotes it.
    const int kilograms =
        static_cast<int>(static_cast<double>(static_cast<float>(stored) * weight_conv[0]) + 0.5);
    if (kilograms <= 249) {
        return 'q';
    }
    if (kilograms <= 749) {
        return 'h';
    }
    // Whole tonnes, rounded: 1 to 9, then A for 10 t up to H for 17 t and more.
    constexpr std::string_view tonnes = "123456789ABCDEFGH";
    const int whole = std::min((kilograms + 500) / 1000, static_cast<int>(tonnes.size()));
    return tonnes[static_cast<std::size_t>(whole - 1)];
}

void print_osp(const run_context& ctx, const vehicle_info& vehicle, const k479_defn& header,
               zedirozed_state& zedirozed, vehicle_columns& columns) {
    const run_settings& settings = ctx.settings;
    switch (settings.print_format) {
    case 5:
        print_zedirozed_summary(ctx, zedirozed);
        return;
    case 3:
        labelled_lines(ctx.out, settings, vehicle, columns);
        return;
    case 4:
        ctx.out.end_line(picture_line(ctx.out.reserve(max_line), settings, vehicle));
        return;
    default:
        break;
    }
    prepare_columns(columns, settings, header);
    const int config = columns.config;
    char* p = ctx.out.reserve(max_line);
    if (settings.print_format == 2) {
        p = record_coded_line(ctx.out, p, settings, vehicle, config, columns);
    } else {
        p = fixed_line(ctx.out, p, settings, vehicle, config, columns);
    }
    ctx.out.end_line(p);
}

} // namespace tallycnv
