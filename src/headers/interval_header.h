// Headers of the interval reports: INT-1, INT-2 and weekly (star form), INT-3
// (record-coded), and the dispatch between them and the cordon header.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "datafile/k479_defn.h"
#include "run/run_context.h"

namespace tallycnv {

// Bins stored and printed per operand, as the interval driver publishes them.
struct bin_counts {
    std::array<std::uint32_t, 3> retnbins{};
    std::array<std::uint32_t, 3> prnbins{};
};

// Checks the weekly precondition (interval of at most 60 minutes) and writes
// the header the analysis format selects. ctx.settings.print_format is
// already the effective one (anl_format - 3 when anl_format > 3).
void print_interval_header(const run_context& ctx, const k479_defn& header, const bin_counts& bins);

// The INT-1, INT-2 or weekly header (star form), ending with its column headings.
void print_interval_1_and_2_header(const run_context& ctx, const k479_defn& header, const bin_counts& bins);

// The CHANNELS values and the line end: the ascending run of channel numbers.
void print_channel_asign(const run_context& ctx, const k479_defn& header);

// One count-only column-heading line: `head`, twelve numbered columns of
// `width` characters, a closing quote for INT-3, the line end.
void print_count_header(const run_context& ctx, std::string_view head, int width);

// Lines shared by the interval headers of both forms.
// INTERVAL, PEAKTIME and PEAKINT.
void print_interval_timing(report_sink& out, const k479_defn& header, bool csv);
// The INTSPEC line: operand names and operator symbols, alternating.
void print_intspec(const run_context& ctx, const k479_defn& header, bool csv);
// " <tag><n>" for n from 1 to `count`: the bin columns of one operand.
void print_bin_columns(report_sink& out, unsigned operand, std::uint32_t count);
// Two-letter tag of an operand ("SP", "LN", ...); empty for unknown codes.
std::string_view operand_tag(unsigned operand);

} // namespace tallycnv
