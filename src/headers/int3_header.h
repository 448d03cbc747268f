// The header of the record-coded interval report INT-3.
#pragma once

#include "datafile/k479_defn.h"
#include "headers/interval_header.h"
#include "run/run_context.h"

namespace tallycnv {

void print_interval_3_header(const run_context& ctx, const k479_defn& header, const bin_counts& bins);

} // namespace tallycnv
