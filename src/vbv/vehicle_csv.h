// The vehicle table of the CSV export: one header row, then one row per
// vehicle with the values as measured (no caps, no re-apportioning), metric
// or, with the imperial units option, in mph, feet and pounds.
#pragma once

#include <cstdint>
#include <string>

#include "io/report_sink.h"
#include "run/run_context.h"
#include "vbv/vbv_types.h"

namespace tallycnv {

// What every row of one file shares: the site field, ready to write, and the unit system.
struct vehicle_csv {
    report_text site;
    bool imperial = false;
    unsigned measured = ~0U; // the fields the sensor configuration measures (measured_fields)
};

// The fields a vehicle record may or may not carry.
enum carried_field : unsigned {
    has_time = 1U << 0,
    has_lane = 1U << 1,
    has_direction = 1U << 2,
    has_headway = 1U << 3,
    has_gap = 1U << 4,
    has_speed = 1U << 5,
    has_length = 1U << 6,
    has_axles = 1U << 7,
    has_class = 1U << 8,
    has_chassis_height = 1U << 9,
    has_wheelbase = 1U << 10,
    has_gross_weight = 1U << 11,
    has_spacings = 1U << 12,
    has_axle_weights = 1U << 13,
};

// The fields of one expanded vehicle that its record (of type `record_type`;
// `stream_param` says what a type-8 record holds) carried. Headway and gap
// worked out from the lane's previous vehicle count as carried; axle weights
// are carried only where the record holds their shares.
unsigned carried_fields(unsigned record_type, std::uint32_t stream_param, const vehicle_info& v);

// The fields the sensor configuration (config_type 0 loops only, 1 axle
// sensors, 2 weighing sensors) measures: axle counts, spacings and wheelbases
// need axle sensors, weights need weighing sensors. A record may carry the
// others, but they hold nothing the site measured.
unsigned measured_fields(int config);

// The speed in mph from a stored km/h, converted exactly (one mile is 1.609344 km).
double mph_of(unsigned kmh);

// The values as the table writes them: a weight in whole kilograms or
// pounds, a length in hundredths of a metre or foot.
unsigned long csv_weight(std::uint16_t weight, bool imperial);
long csv_length_hundredths(std::uint16_t cm, bool imperial);

// A length in centimetres as metres or feet with two decimals.
char* put_csv_length(char* p, std::uint16_t cm, bool imperial);
// A weight in units of 10 lb as whole kilograms or pounds.
char* put_csv_weight(char* p, std::uint16_t weight, bool imperial);

// `header`: the data file's header, whose sensor configuration says what was measured.
vehicle_csv make_vehicle_csv(const run_settings& settings, const k479_defn& header);

void print_vehicle_csv_header(const run_context& ctx, const vehicle_csv& table);

// One vehicle expanded from a record of type `record_type` (1, 4, 6, 7, 8 or
// 9; `stream_param` says what a type-8 record holds). A field the record does
// not carry is left empty.
void print_vehicle_csv(const run_context& ctx, const vehicle_csv& table, const vehicle_info& vehicle,
                       unsigned record_type, std::uint32_t stream_param);

} // namespace tallycnv
