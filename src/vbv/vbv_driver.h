// Formats the data area of a vehicle-by-vehicle file.
#pragma once

#include <functional>

#include "app/settings.h"
#include "datafile/k479_defn.h"
#include "report/byte_stream.h"
#include "report/run_context.h"
#include "vbv/vbv_types.h"

namespace tallycnv {

// Header, every record of the data area in file order, END record.
void output_vbv_file(const run_context& ctx, byte_stream& input, const k479_defn& header);

// Header-only run of a VBV file: the VBV header, or the CSV header row.
void vbv_header_only(const run_context& ctx, const k479_defn& header);

// Where the walk of a data area hands what it found, in file order: each
// vehicle with the type code of the record it came from, and each event.
struct vbv_record_sink {
    std::function<void(const vehicle_info&, unsigned record_type)> vehicle;
    std::function<void(const event_record&)> event;
};

// Walks the data area of a VBV file from its start (or, when the recording
// memory wrapped, from the oldest record round to the newest), expands every
// vehicle and hands vehicles and complete event records to `sink`. Ends the
// run on a record type that is not defined. Returns the vehicle buffer as the
// last pass left it.
vehicle_info walk_vbv_data(byte_stream& input, const k479_defn& header, const run_settings& settings,
                           zedirozed_state& zedirozed, const vbv_record_sink& sink);

} // namespace tallycnv
