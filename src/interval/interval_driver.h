// Folder interval/: interval files: the data loop, the block printer, the weekly summary and the interval
// CSV.
//
// Formats the data area of an interval (binned count) file.
#pragma once

#include <cstdint>

#include "datafile/calendar.h"
#include "datafile/k479_defn.h"
#include "headers/interval_header.h"
#include "interval/interval_state.h"
#include "io/byte_stream.h"
#include "run/run_context.h"

namespace tallycnv {

// Format check, header, every block present in recording order, END record.
void output_interval_file(const run_context& ctx, byte_stream& input, const k479_defn& header);

// The same walk over the blocks without header, layouts or END record: every
// channel of every block goes to `consumer`, with the clock, peaks, wrap-round
// and dropped partial intervals of the reports.
void consume_interval_file(const run_context& ctx, byte_stream& input, const k479_defn& header,
                           const interval_consumer& consumer);

// Header-only run of an interval file.
void interval_header_only(const run_context& ctx, const k479_defn& header);

// The settings the interval report is written with: formats above INT-3 print
// as format anl_format - 3.
run_settings effective_settings(const run_settings& settings);

// The binning and timing settings of the header, as the printers read them.
interval_state publish_interval_state(const k479_defn& header, const run_settings& settings);
bin_counts bins_of(const interval_state& st);

// True when a block of the header's size holds every channel of its layout and
// each channel holds at least one value.
bool block_holds_layout(const interval_state& st, const k479_defn& header);

// Everything after the header: the clock start, the blocks in recording
// order, the pending rows, the weekly summary and the END record.
void format_interval_data(const run_context& ctx, byte_stream& input, const k479_defn& header,
                          interval_state& st);

// Moves the clock `count` intervals on, as many calls of advance_interval
// would, without stepping through every one of a long run of lost blocks.
void advance_intervals(interval_clock& clock, std::uint64_t count);

} // namespace tallycnv
