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
};

// A length in centimetres as metres or feet with two decimals.
char* put_csv_length(char* p, std::uint16_t cm, bool imperial);
// A weight in units of 10 lb as whole kilograms or pounds.
char* put_csv_weight(char* p, std::uint16_t weight, bool imperial);

vehicle_csv make_vehicle_csv(const run_settings& settings);

void print_vehicle_csv_header(const run_context& ctx, const vehicle_csv& table);

// One vehicle expanded from a record of type `record_type` (1, 4, 6, 7, 8 or
// 9; `stream_param` says what a type-8 record holds). A field the record does
// not carry is left empty.
void print_vehicle_csv(const run_context& ctx, const vehicle_csv& table, const vehicle_info& vehicle,
                       unsigned record_type, std::uint32_t stream_param);

} // namespace tallycnv
