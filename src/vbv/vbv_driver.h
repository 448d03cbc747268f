// Formats the data area of a vehicle-by-vehicle file.
#pragma once

#include "datafile/k479_defn.h"
#include "report/byte_stream.h"
#include "report/run_context.h"

namespace tallycnv {

// Header, every record of the data area in file order, END record.
void output_vbv_file(const run_context& ctx, byte_stream& input, const k479_defn& header);

} // namespace tallycnv
