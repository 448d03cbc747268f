// The header of the cordon layout of interval totals.
#pragma once

#include "datafile/k479_defn.h"
#include "report/run_context.h"

namespace tallycnv {

void print_interval_header_cordon(const run_context& ctx, const k479_defn& header);

} // namespace tallycnv
