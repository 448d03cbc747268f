#include "plain_lines.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "datafile/vocabulary.h"
#include "vbv/line_format.h"

namespace tallycnv::plain {

namespace {

const int length_decimals[] = {2, 0, 2, 0, 2, 2, 2, 2, 0, 2};
const int weight_decimals[] = {2, 0, 2, 0, 2, 0, 0, 2, 0, 0};
const char* const chassis_height_names[] = {"  ", "VL", " L", " M", " H"};

// Prints apportioned spacing (or weight) columns: rounded values, the last one the remainder.
void apportioned(const plain_run& r, float total, const std::uint16_t* parts, int last, int columns,
                 float factor, const char* format, int places, const char* blank) {
    for (int i = 0; i < columns; ++i) {
        if (i > last) {
            std::fputs(blank, r.out);
            continue;
        }
        const int rounded =
            static_cast<int>(static_cast<double>(static_cast<float>(parts[i]) * factor) + 0.5);
        float value;
        if (i < last) {
            value = static_cast<float>(rounded);
            total -= value;
        } else {
            value = total < 0.0F ? static_cast<float>(rounded) : total;
        }
        std::fprintf(r.out, format, places, static_cast<double>(value));
    }
}

void vbv1_line(const plain_run& r, const vehicle_info& v) {
    std::FILE* f = r.out;
    if (r.settings.taxo) {
        std::fprintf(f, "%8s  ", std::string(field_text(r.settings.k479.site).substr(0, 8)).c_str());
    }
    std::fprintf(f, "%06u ", v.vehicle_number + 1U);
    const auto d = ordered_date(r.settings.k479.date_format, v.day, v.month, v.year);
    std::fprintf(f, "%02d%02d%02d ", d[0], d[1], d[2]);
    std::fprintf(f, "%02d%02d %02d ", v.hour, v.minute, v.second);
    std::fprintf(f, "%02d %06X ", v.millisecond / 10, static_cast<unsigned>(v.result_code));
    std::fprintf(f, "%2d ", v.lane + 1);
    std::fputs(v.direction != 0 ? "2" : "1", f);
    std::fprintf(f, " %4.1f",
                 static_cast<double>(static_cast<float>(std::min(v.headway, std::uint16_t{999})) / 10.0F));
    std::fprintf(f, " %4.1f",
                 static_cast<double>(static_cast<float>(std::min(v.gap, std::uint16_t{999})) / 10.0F));
    if (v.speed != 0) {
        std::fprintf(f, " %3d", static_cast<int>(static_cast<float>(v.speed) * r.speed_conv));
    } else {
        std::fputs("    ", f);
    }
    if (v.length != 0) {
        std::fprintf(f, " %5.*f", r.length_places,
                     static_cast<double>(static_cast<float>(v.length) * r.length_conv));
    } else {
        std::fputs("      ", f);
    }
    if (r.config == 0) {
        if (v.class_code != 0) {
            std::fprintf(f, "    %2d", v.class_code);
        } else {
            std::fputs("      ", f);
        }
        std::fprintf(f, " %s\r\n", (v.chassis_height < 5 ? chassis_height_names[v.chassis_height] : ""));
        return;
    }
    if (v.axles != 0) {
        std::fprintf(f, " %2d", v.axles);
    } else {
        std::fputs("   ", f);
    }
    if (v.class_code != 0) {
        std::fprintf(f, " %2d", v.class_code);
    } else {
        std::fputs("   ", f);
    }
    if (v.wheelbase != 0) {
        std::fprintf(f, " %5.*f", r.length_places,
                     static_cast<double>(static_cast<float>(v.wheelbase) * r.length_conv));
    } else {
        std::fputs("      ", f);
    }
    apportioned(r, static_cast<float>(v.wheelbase) * r.length_conv, v.axle_spacing.data(), v.axles - 2, 8,
                r.length_conv, " %4.*f", r.length_places, "     ");
    if (r.config == 2) {
        if (v.gross_weight != 0) {
            std::fprintf(f, " %5.*f", r.weight_places,
                         static_cast<double>(static_cast<float>(v.gross_weight) * r.weight_conv));
        } else {
            std::fputs("      ", f);
        }
        apportioned(r, static_cast<float>(v.gross_weight) * r.weight_conv, v.axle_weight.data(), v.axles - 1,
                    9, r.weight_conv, " %5.*f", r.weight_places, " ");
    }
    std::fputs("\r\n", f);
}

// VBV-2: each field after the record code is written with the comma in front of it.
void vbv2_line(const plain_run& r, const vehicle_info& v) {
    std::FILE* f = r.out;
    if (r.settings.taxo) {
        std::fprintf(f, "1,%8s", std::string(field_text(r.settings.k479.site).substr(0, 8)).c_str());
        std::fprintf(f, ",%u", v.vehicle_number + 1U);
    } else {
        std::fprintf(f, "1,%06u", v.vehicle_number + 1U);
    }
    const auto d = ordered_date(r.settings.k479.date_format, v.day, v.month, v.year);
    std::fprintf(f, ",%02d%02d%02d", d[0], d[1], d[2]);
    std::fprintf(f, ",%02d%02d,%02d", v.hour, v.minute, v.second);
    std::fprintf(f, ",%02d", v.millisecond / 10);
    std::fprintf(f, ",%06X", static_cast<unsigned>(v.result_code));
    std::fprintf(f, ",%2d", v.lane + 1);
    std::fputs(v.direction != 0 ? ",2" : ",1", f);
    std::fprintf(f, ",%4.1f",
                 static_cast<double>(static_cast<float>(std::min(v.headway, std::uint16_t{999})) / 10.0F));
    std::fprintf(f, ",%4.1f",
                 static_cast<double>(static_cast<float>(std::min(v.gap, std::uint16_t{999})) / 10.0F));
    if (v.speed != 0) {
        std::fprintf(f, ",%3.0f", static_cast<double>(static_cast<float>(v.speed) * r.speed_conv));
    } else {
        std::fputs(",   ", f);
    }
    if (v.length != 0) {
        std::fprintf(f, ",%5.0f", static_cast<double>(static_cast<float>(v.length) * r.length_conv));
    } else {
        std::fputs(",     ", f);
    }
    if (r.config == 0) {
        if (v.class_code != 0) {
            std::fprintf(f, ",%2d", v.class_code);
        } else {
            std::fputs(",  ", f);
        }
        std::fprintf(f, ",\"%s\"\r\n", (v.chassis_height < 5 ? chassis_height_names[v.chassis_height] : ""));
        return;
    }
    if (v.axles != 0) {
        std::fprintf(f, ",%2d", v.axles);
    } else {
        std::fputs(",  ", f);
    }
    if (v.class_code != 0) {
        std::fprintf(f, ",%2d", v.class_code);
    } else {
        std::fputs(",  ", f);
    }
    if (v.wheelbase != 0) {
        std::fprintf(f, ",%5.*f", r.length_places,
                     static_cast<double>(static_cast<float>(v.wheelbase) * r.length_conv));
    } else {
        std::fputs(",     ", f);
    }
    apportioned(r, static_cast<float>(v.wheelbase) * r.length_conv, v.axle_spacing.data(), v.axles - 2, 8,
                r.length_conv, ",%4.*f", r.length_places, ",    ");
    if (r.config == 2) {
        if (v.gross_weight != 0) {
            std::fprintf(f, ",%5.*f", r.weight_places,
                         static_cast<double>(static_cast<float>(v.gross_weight) * r.weight_conv));
        } else {
            std::fputs(",     ", f);
        }
        apportioned(r, static_cast<float>(v.gross_weight) * r.weight_conv, v.axle_weight.data(), v.axles - 1,
                    9, r.weight_conv, ",%5.*f", r.weight_places, ",");
    }
    std::fputs("\r\n", f);
}

} // namespace

plain_run plain_run_for(std::FILE* out, const run_settings& settings, const k479_defn& header) {
    const unsigned u = settings.k479.print_units;
    return plain_run{out,
                     settings,
                     config_type(header),
                     factor_at(out_speed_conv, u),
                     factor_at(out_length_conv, u),
                     factor_at(out_weight_conv, u),
                     u < 10 ? length_decimals[u] : 0,
                     u < 10 ? weight_decimals[u] : 0};
}

void plain_vehicle_line(const plain_run& r, const vehicle_info& v) {
    if (r.settings.print_format == 2) {
        vbv2_line(r, v);
    } else {
        vbv1_line(r, v);
    }
}

void plain_event_line(const plain_run& r, const event_record& e) {
    static const unsigned category_of[16] = {0, 0, 0, 0, 3, 4, 4, 0, 0, 0, 0, 0, 1, 1, 1, 2};
    const unsigned category = e.card_type < 16 ? category_of[e.card_type] : 0;
    const bool csv = r.settings.print_format == 2;
    const std::uint32_t a = e.value_a, b = e.value_b;
    if (category == 1) {
        std::fprintf(r.out,
                     csv ? "0,1,%02u,%01u,%01u,%08lu,00000,%06u,%06u,%06u\r\n"
                         : "0 1 %02u %01u %01u %08lu 00000 %06u %06u %06u\r\n",
                     e.input_number + 1U, category, static_cast<unsigned>(e.event_code),
                     static_cast<unsigned long>(e.event_data), a, e.event_code != 0 ? a : a - b,
                     e.event_code != 0 ? b : 0U);
    } else {
        std::fprintf(r.out,
                     csv ? "0,1,%02u,%01u,%01u,%08lu,%05u,%06u,000000,000000\r\n"
                         : "0 1 %02u %01u %01u %08lu %05u %06u 000000 000000\r\n",
                     e.input_number + 1U, category, static_cast<unsigned>(e.event_code),
                     static_cast<unsigned long>(e.event_data), b, a);
    }
}

} // namespace tallycnv::plain
