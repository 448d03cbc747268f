// Prints one channel of an interval data block: moves the interval clock,
// switches between normal and peak intervals, and writes the channel's data
// in the chosen layout (binned data lines, count-only rows of twelve
// intervals, cordon totals) or feeds the weekly tally.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "datafile/k479_defn.h"
#include "interval/interval_state.h"
#include "report/run_context.h"

namespace tallycnv {

// Operand codes with a layout of their own.
inline constexpr unsigned operand_class = 7;          // CS
inline constexpr unsigned operand_gas = 10;           // GS: CO average, CO peak, temperature
inline constexpr unsigned operand_speed_summary = 12; // SS: speed bins and two summary values

// True when the two car classes of the SWED14 scheme are merged on print:
// asked for on the command line, scheme 25, and a class list of at least 14 bins.
bool merge_active(const run_settings& settings, const binning_parameters& binning);

// Values printed per list: the stored counts, one fewer for a class list when merging.
std::array<std::uint32_t, 3> printed_bins(const std::array<std::uint32_t, 3>& retnbins,
                                          const run_settings& settings, const binning_parameters& binning);

// Values one channel occupies in a block (0 for an unknown operator).
std::uint64_t channel_size(const interval_state& st, const binning_parameters& binning);

// Offset of the current channel's values within the block.
std::uint64_t get_size(const interval_state& st, const binning_parameters& binning);

// The value printed for one bin: the stored value, or for bin 0 of a class
// list with merged car classes that value plus twice the value 13 bins further
// along the list (`stride` values apart). A position past the block reads as 0.
int get_bin(std::span<const std::int16_t> values, std::uint64_t position, bool merge, unsigned list_type,
            std::uint64_t bin, std::uint64_t stride);

// One axis of a run of binned values: a list of the binning definition, its
// operand code, the bin of the run's first value, and the distance between
// neighbouring bins of the list in the block.
struct run_axis {
    int list = -1; // 0 to 2; -1: no list
    unsigned type = 0;
    std::uint64_t bin = 0;
    std::uint64_t stride = 0;
};

// One data line of binned values as the reports print it: `count` values from
// block position `start`, one per bin of the list `along`; the bins of the
// `fixed` lists are the same for every value of the run.
struct binned_run {
    std::uint64_t list_tag = 0;
    std::uint64_t row_tag = 0;
    std::uint64_t start = 0;
    std::uint64_t count = 0;
    run_axis along;
    std::array<run_axis, 2> fixed;
};

// The runs of the current channel, in the order the data lines are printed.
void for_each_binned_run(const interval_state& st, const binning_parameters& binning,
                         const std::function<void(const binned_run&)>& visit);

// Value `i` of a run, with merged car classes when `merge` is set.
int run_value(std::span<const std::int16_t> block, const binned_run& run, std::uint64_t i, bool merge);

// One count-only value: "%d," for INT-3, otherwise right-aligned in `width`
// characters; a number wider than the column ends the run (exit 1).
std::string str_formatter(int width, int value, bool int3);

// The vehicle total of the current channel for the interval (cordon and weekly).
long count_intspec(const interval_state& st, std::span<const std::int16_t> block,
                   const binning_parameters& binning);

// Handles channel `curr_chan` of the block, then moves the channel cursor on;
// sets read_next_block when every channel has been handled. `inputs` of the
// eight `card_type` entries are examined for axle counting.
void print_block(const run_context& ctx, interval_state& st, std::span<std::int16_t> block,
                 const binning_parameters& binning, const std::array<std::uint16_t, 8>& card_type,
                 int inputs);

// Writes the pending count-only rows (a partly filled set of twelve intervals).
void print_part_block(const run_context& ctx, interval_state& st);

} // namespace tallycnv
