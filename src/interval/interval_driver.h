// Formats the data area of an interval (binned count) file.
#pragma once

#include "datafile/k479_defn.h"
#include "report/byte_stream.h"
#include "report/run_context.h"

namespace tallycnv {

// Format check, header, every block present in recording order, END record.
void output_interval_file(const run_context& ctx, byte_stream& input, const k479_defn& header);

// Header-only run of an interval file.
void interval_header_only(const run_context& ctx, const k479_defn& header);

} // namespace tallycnv
