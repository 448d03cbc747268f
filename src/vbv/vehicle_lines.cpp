// Per-vehicle lines of the VBV listings: fixed columns (VBV-1), record-coded
// (VBV-2), three labelled lines (VBV-3) and the axle picture (VBV-4). Layout 5
// writes only the Zedirozed summary when it is due.
#include "vbv/vehicle_lines.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "datafile/vocabulary.h"
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

int decimals_at(const std::array<int, 16>& table, unsigned index) {
    return index < table.size() ? table[index] : 0;
}

// The print units of the run: conversion factors and decimal places of one row.
struct print_unit_row {
    float speed;
    float length;
    float weight;
    int length_places;
    int weight_places;
};

print_unit_row unit_row(unsigned u) {
    return {factor_at(out_speed_conv, u), factor_at(out_length_conv, u), factor_at(out_weight_conv, u),
            decimals_at(length_decimals, u), decimals_at(weight_decimals, u)};
}

// The site column: the first 8 characters of the site text.
std::string site_column(const run_settings& settings) {
    return std::string(field_text(settings.k479.site).substr(0, 8));
}

// Headway or gap in seconds; values above 999 tenths show as 99.9.
float capped_seconds(unsigned tenths) {
    return static_cast<float>(std::min(tenths, 999U)) / 10.0F;
}

void append_date(std::string& line, const run_settings& settings, const vehicle_info& v, const char* format) {
    const std::array<int, 3> d = ordered_date(settings.k479.date_format, v.day, v.month, v.year);
    appendf(line, format, d[0], d[1], d[2]);
}

// One apportioned column: blank, or the value to print.
struct column {
    bool blank = true;
    float value = 0.0F;
};

// Spacing or weight columns that add up to the printed total: every column
// before the last present one shows its own converted value rounded to a
// whole number, the last present one shows what is left of the total (or its
// own rounded value if the rounded columns overshot the total).
template <std::size_t N, std::size_t M>
std::array<column, N> apportion(float total, const std::array<std::uint16_t, M>& parts, int last,
                                float factor) {
    static_assert(N <= M);
    std::array<column, N> columns{};
    for (int i = 0; i < static_cast<int>(N) && i <= last; ++i) {
        const int rounded = static_cast<int>(
            static_cast<double>(static_cast<float>(parts[static_cast<std::size_t>(i)]) * factor) + 0.5);
        column& c = columns[static_cast<std::size_t>(i)];
        c.blank = false;
        if (i < last) {
            c.value = static_cast<float>(rounded);
            total -= static_cast<float>(rounded);
        } else {
            c.value = total < 0.0F ? static_cast<float>(rounded) : total;
        }
    }
    return columns;
}

std::array<column, spacing_columns> spacing_columns_of(const vehicle_info& v, const print_unit_row& row) {
    const float total = static_cast<float>(v.wheelbase) * row.length;
    return apportion<spacing_columns>(total, v.axle_spacing, static_cast<int>(v.axles) - 2, row.length);
}

std::array<column, weight_columns> weight_columns_of(const vehicle_info& v, const print_unit_row& row) {
    const float total = static_cast<float>(v.gross_weight) * row.weight;
    return apportion<weight_columns>(total, v.axle_weight, static_cast<int>(v.axles) - 1, row.weight);
}

std::string_view chassis_height_name(unsigned code) {
    return name_at(chassis_height_names, code);
}

// VBV-1: fixed columns under the "* HEAD ..." heading.
std::string fixed_line(const run_settings& settings, const vehicle_info& v, int config) {
    const print_unit_row row = unit_row(settings.k479.print_units);
    std::string line;
    if (settings.taxo) {
        appendf(line, "%8s  ", site_column(settings).c_str());
    }
    appendf(line, "%06u ", v.vehicle_number + 1U);
    append_date(line, settings, v, "%02d%02d%02d ");
    appendf(line, "%02d%02d %02d ", v.hour, v.minute, v.second);
    appendf(line, "%02d %06X ", v.millisecond / 10, static_cast<unsigned>(v.result_code));
    appendf(line, "%2d ", v.lane + 1);
    line += v.direction != 0 ? "2" : "1";
    appendf(line, " %4.1f", static_cast<double>(capped_seconds(v.headway)));
    appendf(line, " %4.1f", static_cast<double>(capped_seconds(v.gap)));
    if (v.speed != 0) {
        appendf(line, " %3d", static_cast<int>(static_cast<float>(v.speed) * row.speed));
    } else {
        line += "    ";
    }
    if (v.length != 0) {
        appendf(line, " %5.*f", row.length_places,
                static_cast<double>(static_cast<float>(v.length) * row.length));
    } else {
        line += "      ";
    }
    if (config == 0) {
        if (v.class_code != 0) {
            appendf(line, "    %2d", v.class_code);
        } else {
            line += "      ";
        }
        line += ' ';
        line += chassis_height_name(v.chassis_height);
        return line;
    }
    if (v.axles != 0) {
        appendf(line, " %2d", v.axles);
    } else {
        line += "   ";
    }
    if (v.class_code != 0) {
        appendf(line, " %2d", v.class_code);
    } else {
        line += "   ";
    }
    if (v.wheelbase != 0) {
        appendf(line, " %5.*f", row.length_places,
                static_cast<double>(static_cast<float>(v.wheelbase) * row.length));
    } else {
        line += "      ";
    }
    for (const column& c : spacing_columns_of(v, row)) {
        if (c.blank) {
            line += "     ";
        } else {
            appendf(line, " %4.*f", row.length_places, static_cast<double>(c.value));
        }
    }
    if (config == 2) {
        if (v.gross_weight != 0) {
            appendf(line, " %5.*f", row.weight_places,
                    static_cast<double>(static_cast<float>(v.gross_weight) * row.weight));
        } else {
            line += "      ";
        }
        for (const column& c : weight_columns_of(v, row)) {
            if (c.blank) {
                line += ' ';
            } else {
                appendf(line, " %5.*f", row.weight_places, static_cast<double>(c.value));
            }
        }
    }
    return line;
}

// VBV-2: record code 1 and every field followed by a comma; the line's last comma is dropped.
std::string record_coded_line(const run_settings& settings, const vehicle_info& v, int config) {
    const print_unit_row row = unit_row(settings.k479.print_units);
    std::string line;
    if (settings.taxo) {
        appendf(line, "1,%8s,", site_column(settings).c_str());
        appendf(line, "%u,", v.vehicle_number + 1U);
    } else {
        appendf(line, "1,%06u,", v.vehicle_number + 1U);
    }
    append_date(line, settings, v, "%02d%02d%02d,");
    appendf(line, "%02d%02d,%02d,", v.hour, v.minute, v.second);
    appendf(line, "%02d,", v.millisecond / 10);
    appendf(line, "%06X,", static_cast<unsigned>(v.result_code));
    appendf(line, "%2d,", v.lane + 1);
    line += v.direction != 0 ? "2," : "1,";
    appendf(line, "%4.1f,", static_cast<double>(capped_seconds(v.headway)));
    appendf(line, "%4.1f,", static_cast<double>(capped_seconds(v.gap)));
    if (v.speed != 0) {
        appendf(line, "%3.0f,", static_cast<double>(static_cast<float>(v.speed) * row.speed));
    } else {
        line += "   ,";
    }
    if (v.length != 0) {
        appendf(line, "%5.0f,", static_cast<double>(static_cast<float>(v.length) * row.length));
    } else {
        line += "     ,";
    }
    if (config == 0) {
        if (v.class_code != 0) {
            appendf(line, "%2d,", v.class_code);
        } else {
            line += "  ,";
        }
        line += '"';
        line += chassis_height_name(v.chassis_height);
        line += "\",";
    } else {
        if (v.axles != 0) {
            appendf(line, "%2d,", v.axles);
        } else {
            line += "  ,";
        }
        if (v.class_code != 0) {
            appendf(line, "%2d,", v.class_code);
        } else {
            line += "  ,";
        }
        if (v.wheelbase != 0) {
            appendf(line, "%5.*f,", row.length_places,
                    static_cast<double>(static_cast<float>(v.wheelbase) * row.length));
        } else {
            line += "     ,";
        }
        for (const column& c : spacing_columns_of(v, row)) {
            if (c.blank) {
                line += "    ,";
            } else {
                appendf(line, "%4.*f,", row.length_places, static_cast<double>(c.value));
            }
        }
        if (config == 2) {
            if (v.gross_weight != 0) {
                appendf(line, "%5.*f,", row.weight_places,
                        static_cast<double>(static_cast<float>(v.gross_weight) * row.weight));
            } else {
                line += "     ,";
            }
            for (const column& c : weight_columns_of(v, row)) {
                if (c.blank) {
                    line += ',';
                } else {
                    appendf(line, "%5.*f,", row.weight_places, static_cast<double>(c.value));
                }
            }
        }
    }
    line.pop_back();
    return line;
}

// VBV-3: three labelled lines, in metres, tonnes and km/h for the metric
// print units 0 and 1, otherwise in feet, long tons and mph.
std::string labelled_lines(const run_settings& settings, const vehicle_info& v) {
    const unsigned u = settings.k479.print_units <= 1 ? 0U : 4U;
    const print_unit_row row = unit_row(u);
    std::string text;
    if (settings.taxo) {
        appendf(text, "%8s  ", site_column(settings).c_str());
        appendf(text, "%08u ", v.vehicle_number + 1U);
    } else {
        appendf(text, "%06u ", v.vehicle_number + 1U);
    }
    append_date(text, settings, v, "%02d%02d%02d ");
    appendf(text, "%02d:%02d:%02d", v.hour, v.minute, v.second);
    appendf(text, ".%02d ", v.millisecond / 10);
    appendf(text, "%06X ", static_cast<unsigned>(v.result_code));
    appendf(text, "LA=%d ", v.lane + 1);
    text += v.direction != 0 ? "DN=2 " : "DN=1 ";
    appendf(text, "SP=%.0f ", static_cast<double>(static_cast<float>(v.speed) * row.speed));
    appendf(text, "GP=%.1f ", static_cast<double>(static_cast<float>(v.gap) / 10.0F));
    appendf(text, "HD=%.1f", static_cast<double>(static_cast<float>(v.headway) / 10.0F));
    text += '\n';

    const unsigned axles = std::min<unsigned>(v.axles, max_drawn_axles);
    appendf(text, "AX=%-2u ", static_cast<unsigned>(v.axles));
    appendf(text, "CS=%-2u ", static_cast<unsigned>(v.class_code));
    text += u == 0 ? "MTR" : "FET";
    appendf(text, " %5.2f  ", static_cast<double>(static_cast<float>(v.wheelbase) * row.length));
    for (unsigned i = 0; i + 1 < axles; ++i) {
        appendf(text, " %4.2f", static_cast<double>(static_cast<float>(v.axle_spacing[i]) * row.length));
    }
    text += '\n';

    appendf(text, "OK          %s", u == 0 ? "TNE" : "TON");
    appendf(text, " %5.2f  ", static_cast<double>(static_cast<float>(v.gross_weight) * row.weight));
    for (unsigned i = 0; i < axles; ++i) {
        appendf(text, " %4.2f", static_cast<double>(static_cast<float>(v.axle_weight[i]) * row.weight));
    }
    return text;
}

// VBV-4: a short line and the axle picture, one weight character per axle and
// one dash per started 50 cm of spacing beyond the first 50 cm.
std::string picture_line(const run_settings& settings, const vehicle_info& v) {
    const print_unit_row row = unit_row(settings.k479.print_units);
    std::string line;
    appendf(line, "%02d:%02d:%02d ", v.hour, v.minute, v.second);
    appendf(line, "%1d", v.lane + 1);
    if (v.gap != 0) {
        appendf(line, " %2.0f", static_cast<double>(static_cast<float>(v.gap) / 10.0F));
    } else {
        line += "   ";
    }
    if (v.speed != 0) {
        appendf(line, " %3d", static_cast<int>(static_cast<float>(v.speed) * row.speed));
    } else {
        line += "    ";
    }
    appendf(line, " %2d", v.axles);
    appendf(line, " %2d ", v.class_code);
    line += "OK       ";
    const unsigned axles = std::min<unsigned>(v.axles, max_drawn_axles);
    if (axles >= 1) {
        line += conv_wt_char(v.axle_weight[0]);
        for (unsigned i = 0; i + 1 < axles; ++i) {
            unsigned spacing = std::min<unsigned>(v.axle_spacing[i], 1000);
            while (spacing > 50) {
                line += '-';
                spacing -= 50;
            }
            line += conv_wt_char(v.axle_weight[i + 1]);
        }
    }
    const std::size_t end = line.find_last_not_of(' ');
    line.erase(end == std::string::npos ? 0 : end + 1);
    return line;
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
               zedirozed_state& zedirozed) {
    const run_settings& settings = ctx.settings;
    const int config = config_type(header);
    std::string text;
    switch (settings.print_format) {
    case 5:
        print_zedirozed_summary(ctx, zedirozed);
        return;
    case 2:
        text = record_coded_line(settings, vehicle, config);
        break;
    case 3:
        text = labelled_lines(settings, vehicle);
        break;
    case 4:
        text = picture_line(settings, vehicle);
        break;
    default:
        text = fixed_line(settings, vehicle, config);
        break;
    }
    text += '\n';
    ctx.out.write(text);
}

} // namespace tallycnv
