// Zedirozed mode: vehicles of a base-format file are put into a small class
// set and, under the summary layout, counted between the two instants given
// on the command line; the summary block prints the counts.
#pragma once

#include "run/settings.h"
#include "run/run_context.h"
#include "vbv/vbv_types.h"

namespace tallycnv {

// Zedirozed class of a vehicle from its lane (from 0), axle count and wheelbase (cm).
int zedirozed_class(unsigned lane, unsigned axles, unsigned wheelbase);

// Instant of a vehicle: two-digit year, month from 0, day, hour, minute, second.
instant vehicle_instant(const vehicle_info& vehicle);

// Called by the base-format expansion once every other field is filled. With
// the Zedirozed mode off it does nothing. Otherwise it replaces the class,
// moves the lane two higher (modulo 8) and, under the summary layout
// (print_format 5), counts the vehicle in the window; the first vehicle at or
// after the stop closes the window and makes the summary due.
void zedirozed_reclassify(const run_settings& settings, vehicle_info& vehicle, zedirozed_state& state);

// Writes the summary block when one is due (15 lines), then marks it printed.
void print_zedirozed_summary(const run_context& ctx, zedirozed_state& state);

} // namespace tallycnv
