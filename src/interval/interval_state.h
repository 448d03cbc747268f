// The state of one interval report: the binning and timing settings the
// driver publishes from the file's header, the interval clock, the channel
// cursor and the pending output of the block printer. The driver owns it for
// the run; the block printer reads the settings and moves the rest.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "datafile/calendar.h"
#include "datafile/k479_defn.h"
#include "interval/weekly.h"

namespace tallycnv {

struct interval_state;

// Takes each channel of each block in place of the printed layouts (the CSV
// export, the traffic study): called with the interval clock standing on the
// interval's end, after the axle-count correction, with the values as the
// file holds them (no clamping of faulty readings) and `merge` telling
// whether the car classes are merged.
struct interval_consumer {
    std::function<void(const interval_state& st, std::span<const std::int16_t> block,
                       const binning_parameters& binning, bool merge)>
        channel;
};

struct interval_state {
    // Published from the header before the first block.
    DataSpecificationType ret_spec{};        // the file's binning definition
    std::array<std::uint32_t, 3> retnbins{}; // values stored per list
    std::array<std::uint32_t, 3> prnbins{};  // values printed per list (merged car classes: one fewer)
    std::uint32_t no_chans = 0;              // channels per block
    interval_clock clock{};                  // retmins, retdate, recintvl and retr_peak

    // Moved by the block printer.
    std::uint32_t curr_chan = 0;         // channel handled next
    bool read_next_block = true;         // every channel of the block has been handled
    int print_peak = 0;                  // 1 while peak intervals are in force
    int int1_pos = 0;                    // intervals held in the pending count-only rows, 0 to 11
    std::vector<std::string> int1_lines; // the pending count-only rows, one per channel
    std::vector<long> cord_count;        // cordon totals of peak sub-intervals, one per channel

    // Weekly summary: the hourly tally and the week being filled.
    weekly_state week;

    // The consumer of the channels instead of the printed layouts; none: the reports print.
    const interval_consumer* consumer = nullptr;
};

} // namespace tallycnv
