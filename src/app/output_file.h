// The formatting driver: opens the data file, reads its header and hands the
// data area to the vehicle-by-vehicle or the interval formatter.
#pragma once

#include "io/byte_stream.h"
#include "io/fatal.h"
#include "run/run_context.h"

namespace tallycnv {

// The message of a report that could not be written (exit code 3).
inline constexpr const char* write_failure_message = "\nError : Could not write to the output file\n";

// A full run on the source named in the settings: header, data and END record.
void output_file(const run_context& ctx);
// The same on a source already open.
void output_file(const run_context& ctx, byte_stream& input);

// The header-only run (-H): the header of either file type, nothing else.
void out_header_only(const run_context& ctx);
void out_header_only(const run_context& ctx, byte_stream& input);

// The run the settings ask for on the source they name: the header-only run
// with -H, else the full run.
void format_source(const run_context& ctx);

// Runs `driver` with the report sink `out` and flushes the sink. Returns the
// condition that ended the run: exit code 0 when the report is complete, 3
// with the write failure when it could not be written, else the fatal
// condition the driver raised (what the report already holds is flushed).
fatal_error format_report(const run_settings& settings, const language_texts& lang, report_sink& out,
                          void (*driver)(const run_context&));

} // namespace tallycnv
