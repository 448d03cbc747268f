// The formatting driver: opens the data file, reads its header and hands the
// data area to the vehicle-by-vehicle or the interval formatter.
#pragma once

#include "io/byte_stream.h"
#include "run/run_context.h"

namespace tallycnv {

// A full run on the source named in the settings: header, data and END record.
void output_file(const run_context& ctx);
// The same on a source already open.
void output_file(const run_context& ctx, byte_stream& input);

// The header-only run (-H): the header of either file type, nothing else.
void out_header_only(const run_context& ctx);
void out_header_only(const run_context& ctx, byte_stream& input);

} // namespace tallycnv
