#include "vbv/vehicle_csv.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "datafile/calendar.h"
#include "datafile/vocabulary.h"
#include "io/csv_format.h"
#include "io/latin1.h"

namespace tallycnv {

namespace {

constexpr unsigned fixed_fields = has_time | has_lane | has_direction | has_headway | has_gap | has_speed |
                                  has_length | has_axles | has_class | has_wheelbase | has_gross_weight |
                                  has_spacings;

// Bits of the stream mask and the fields they bring.
struct stream_bit {
    std::uint32_t mask;
    unsigned fields;
};
constexpr std::array<stream_bit, 10> stream_bits = {{
    {0x2, has_time},
    {0x4, has_lane},
    {0x8, has_direction},
    {0x10, has_headway},
    {0x20, has_gap},
    {0x40, has_speed},
    {0x80, has_length},
    {0x100 | 0x2000 | 0x4000, has_axles},
    {0x200, has_class},
    {0x400, has_chassis_height},
}};

} // namespace

unsigned carried_fields(unsigned record_type, std::uint32_t mask, const vehicle_info& v) {
    switch (record_type) {
    case 1:
        return fixed_fields | has_axle_weights;
    case 4:
    case 6:
    case 7:
    case 9:
        return fixed_fields | has_chassis_height | (v.gross_weight != 0 ? has_axle_weights : 0U);
    default:
        break;
    }
    unsigned fields = 0;
    for (const stream_bit& bit : stream_bits) {
        if ((mask & bit.mask) != 0) {
            fields |= bit.fields;
        }
    }
    if ((mask & 0x6) == 0x6) {
        fields |= has_headway; // from the lane's previous vehicle
    }
    if ((mask & 0x4) != 0 && (fields & has_headway) != 0) {
        fields |= has_gap; // from the headway
    }
    if ((mask & (0x800 | 0x2000)) != 0) {
        fields |= has_wheelbase;
    }
    if ((mask & (0x1000 | 0x4000)) != 0) {
        fields |= has_gross_weight;
    }
    if ((mask & 0x2000) != 0 && v.wheelbase != 0) {
        fields |= has_spacings;
    }
    if ((mask & 0x4000) != 0 && v.gross_weight != 0) {
        fields |= has_axle_weights;
    }
    return fields;
}

namespace {

// The longest row: the site quoted, its line feeds as CR LF (62 bytes), 40
// numbers of at most 24 characters, the separators and the line end.
constexpr std::size_t max_row_size = 1088;

constexpr std::array<std::string_view, 5> chassis_height_codes = {"", "VL", "L", "M", "H"};

// Imperial lengths are in feet, the factor of the MPH-FT-10LB print units.
constexpr float feet_per_cm = out_length_conv[5];

} // namespace

unsigned measured_fields(int config) {
    unsigned fields = ~0U;
    if (config < 2) {
        fields &= ~(has_gross_weight | has_axle_weights);
    }
    if (config < 1) {
        fields &= ~(has_axles | has_wheelbase | has_spacings);
    }
    return fields;
}

double mph_of(unsigned kmh) {
    return kmh / 1.609344;
}

unsigned long csv_weight(std::uint16_t weight, bool imperial) {
    if (imperial) {
        return weight * 10UL;
    }
    const float kilograms = static_cast<float>(weight) * weight_conv[0];
    return static_cast<unsigned long>(static_cast<double>(kilograms) + 0.5);
}

long csv_length_hundredths(std::uint16_t cm, bool imperial) {
    if (!imperial) {
        return cm;
    }
    char text[32 + report_sink::slack];
    const char* const end = put_csv_length(text, cm, true);
    long hundredths = 0;
    for (const char* p = text; p != end; ++p) {
        if (*p >= '0' && *p <= '9') {
            hundredths = 10 * hundredths + (*p - '0');
        }
    }
    return hundredths;
}

char* put_csv_length(char* p, std::uint16_t cm, bool imperial) {
    if (imperial) {
        return put_fixed(p, static_cast<double>(static_cast<float>(cm) * feet_per_cm), 2, 0);
    }
    return put_csv_scaled(p, cm, 2);
}

char* put_csv_weight(char* p, std::uint16_t weight, bool imperial) {
    return put_int(p, csv_weight(weight, imperial));
}

vehicle_csv make_vehicle_csv(const run_settings& settings, const k479_defn& header) {
    vehicle_csv table;
    char site[64];
    // The site is at most 20 bytes: as UTF-8 at most 40, quoted at most 42.
    table.site = make_report_text(std::string_view(
        site, static_cast<std::size_t>(put_csv_text(site, utf8_from_latin1(field_text(settings.k479.site))) -
                                       site)));
    table.imperial = settings.k479.units == 1;
    table.measured = measured_fields(config_type(header));
    return table;
}

void print_vehicle_csv_header(const run_context& ctx, const vehicle_csv& table) {
    const std::string length = table.imperial ? "_ft" : "_m";
    const std::string weight = table.imperial ? "_lb" : "_kg";
    std::string row = "site,vehicle,time,lane,direction,";
    row += table.imperial ? "speed_mph" : "speed_kmh";
    row += ",length" + length + ",headway_s,gap_s,axles,class,wheelbase" + length;
    for (int i = 1; i <= 12; ++i) {
        row += ",spacing_" + std::to_string(i) + length;
    }
    row += ",gross_weight" + weight;
    for (int i = 1; i <= 13; ++i) {
        row += ",axle_weight_" + std::to_string(i) + weight;
    }
    row += ",chassis_height,result_code\n";
    ctx.out.write(row);
}

void print_vehicle_csv(const run_context& ctx, const vehicle_csv& table, const vehicle_info& v,
                       unsigned record_type, std::uint32_t stream_param) {
    const unsigned fields = carried_fields(record_type, stream_param, v) & table.measured;
    const bool imperial = table.imperial;
    const auto has = [fields](unsigned field) { return (fields & field) != 0; };

    char* p = ctx.out.put_lines(ctx.out.reserve(max_row_size), table.site);
    *p++ = ',';
    p = put_int(p, v.vehicle_number + 1U);
    *p++ = ',';
    // An hour past 23 rolls into the days after, as a clock would put it; a date or a minute or
    // second that does not exist leaves the field empty, since no reader could take it.
    if (has(has_time) && v.month < 12 && v.day >= 1 && v.day <= days_in_month(v.month + 1, v.year) &&
        v.minute < 60 && v.second < 60) {
        std::uint8_t day = v.day;
        std::uint8_t month = v.month;
        std::uint16_t year = v.year;
        for (unsigned hour = v.hour; hour >= 24; hour -= 24) {
            increment_date(day, month, year);
        }
        p = put_csv_date_time(p, year, month + 1U, day, v.hour % 24U, v.minute);
        *p++ = ':';
        p = put_int(p, v.second, 2, '0');
        *p++ = '.';
        p = put_int(p, v.millisecond / 10U, 2, '0');
    }
    *p++ = ',';
    if (has(has_lane)) {
        p = put_int(p, v.lane + 1U);
    }
    *p++ = ',';
    if (has(has_direction)) {
        *p++ = v.direction != 0 ? '2' : '1';
    }
    *p++ = ',';
    if (has(has_speed)) {
        p = imperial ? put_fixed(p, mph_of(v.speed), 1, 0) : put_int(p, v.speed);
    }
    *p++ = ',';
    if (has(has_length)) {
        p = put_csv_length(p, v.length, imperial);
    }
    *p++ = ',';
    if (has(has_headway)) {
        p = put_csv_scaled(p, v.headway, 1);
    }
    *p++ = ',';
    if (has(has_gap)) {
        p = put_csv_scaled(p, v.gap, 1);
    }
    *p++ = ',';
    if (has(has_axles)) {
        p = put_int(p, v.axles);
    }
    *p++ = ',';
    if (has(has_class)) {
        p = put_int(p, v.class_code);
    }
    *p++ = ',';
    if (has(has_wheelbase)) {
        p = put_csv_length(p, v.wheelbase, imperial);
    }
    // Axles beyond the vehicle's count have no spacing or weight.
    const std::size_t spacings = has(has_spacings) && v.axles > 1 ? v.axles - 1U : 0U;
    for (std::size_t i = 0; i < v.axle_spacing.size(); ++i) {
        *p++ = ',';
        if (i < spacings) {
            p = put_csv_length(p, v.axle_spacing[i], imperial);
        }
    }
    *p++ = ',';
    if (has(has_gross_weight)) {
        p = put_csv_weight(p, v.gross_weight, imperial);
    }
    const std::size_t weights = has(has_axle_weights) ? v.axles : 0U;
    for (std::size_t i = 0; i < v.axle_weight.size(); ++i) {
        *p++ = ',';
        if (i < weights) {
            p = put_csv_weight(p, v.axle_weight[i], imperial);
        }
    }
    *p++ = ',';
    if (has(has_chassis_height)) {
        p = put_csv_field(p, name_at(chassis_height_codes, v.chassis_height));
    }
    *p++ = ',';
    p = put_hex(p, v.result_code, 6);
    ctx.out.end_line(p);
}

} // namespace tallycnv
