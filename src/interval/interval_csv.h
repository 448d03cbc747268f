// The interval table of the CSV export: one row per count value, whatever
// the binning, each naming the interval, the channel and the bin of every
// list the value belongs to.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "datafile/k479_defn.h"
#include "run/run_context.h"

namespace tallycnv {

struct interval_state;

// What every row of one file shares, ready to write: the site, the channel
// headings and the label of every printed bin of each list.
struct interval_csv {
    std::string site;
    std::array<std::string, 8> headings;
    std::array<std::vector<std::string>, 3> bin_labels;
};

// The label of bin `bin` (from 0) of a list of operand `type`: "SPEED 30-50",
// "SPEED >120", "CLASS 3", with bounds in the units of the export.
// The last bin of a list ends at the header's next boundary when that one lies
// above the bin's lower edge; otherwise it holds every value from its lower edge up.
bool last_bin_closed(const bin_info& bins);

std::string bin_label(unsigned type, std::uint64_t bin, const binning_parameters& binning, bool imperial);

// `printed` holds the number of bins printed per list.
interval_csv make_interval_csv(const run_settings& settings, const k479_defn& header,
                               const std::array<std::uint32_t, 3>& printed);

void print_interval_csv_header(const run_context& ctx);

// The rows of the current channel of a block, the interval clock standing on the interval's end.
void print_interval_csv(const run_context& ctx, const interval_csv& table, const interval_state& st,
                        std::span<const std::int16_t> block, const binning_parameters& binning, bool merge);

} // namespace tallycnv
