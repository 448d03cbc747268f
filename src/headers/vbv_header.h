// The header of the vehicle-by-vehicle reports.
#pragma once

#include "datafile/k479_defn.h"
#include "report/run_context.h"
#include "vbv/vbv_types.h"

namespace tallycnv {

void print_vbv_header(const run_context& ctx, const k479_defn& header);

} // namespace tallycnv
