// Per-vehicle lines of the VBV layouts, the Zedirozed summary, and event lines.
#pragma once

#include "datafile/k479_defn.h"
#include "report/run_context.h"
#include "vbv/vbv_types.h"
#include "vbv/vehicle_columns.h"

namespace tallycnv {

// Writes one vehicle in the layout of print_format (and the Zedirozed summary
// when due). `columns` holds the run's column caches, made on the first line.
void print_osp(const run_context& ctx, const vehicle_info& vehicle, const k479_defn& header,
               zedirozed_state& zedirozed, vehicle_columns& columns);

// Axle-weight character of the axle picture: the weight (units of 10 lb) in
// whole tonnes as a digit or letter ('q' up to a quarter, 'h' up to a half
// tonne, 'H' for 16.5 t and more).
char conv_wt_char(unsigned weight);

// Writes one event line between the vehicle lines.
void print_event_line(const run_context& ctx, const event_record& event);

} // namespace tallycnv
