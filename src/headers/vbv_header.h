// The header of the vehicle-by-vehicle reports.
#pragma once

#include "datafile/k479_defn.h"
#include "run/run_context.h"
#include "run/settings.h"

namespace tallycnv {

// The whole VBV header, ending with the column heading of the vehicle listing:
// record-coded when print_format is 2, star form otherwise. The Zedirozed
// counters are the VBV driver's to reset.
void print_vbv_header(const run_context& ctx, const k479_defn& header);

// The column heading of the vehicle listing for print_format 1 to 4; nothing
// for the Zedirozed summary (5) or any other value.
void print_osp_header(const run_context& ctx, const k479_defn& header);

} // namespace tallycnv
