// The formatting driver: opens the data file, reads its header and hands the
// data area to the vehicle-by-vehicle or the interval formatter.
#pragma once

#include "run/run_context.h"

namespace tallycnv {

// A full run: header, data and END record.
void output_file(const run_context& ctx);

// The header-only run (-H): the header of either file type, nothing else.
void out_header_only(const run_context& ctx);

} // namespace tallycnv
