// Headers of the interval reports: INT-1, INT-2 and weekly (star form), INT-3
// (record-coded), and the dispatch between them and the cordon header.
#pragma once

#include <array>
#include <cstdint>

#include "datafile/k479_defn.h"
#include "report/run_context.h"

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

} // namespace tallycnv
