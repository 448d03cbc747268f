// Builds the data area of an interval file from a readable description, one
// block per line in recording order (oldest block first):
//
//   ch1: 5 6 7 | 1 2  ch2: 0 0 1 | 3 4     channels by number, '|' between lists
//   3* ch1: 9                              the same block three times
//
// Each list is padded with zeros to its stored size (when list sizes are
// given), each channel starts channel_size values after the previous one,
// and each block is padded with zeros to block_size bytes. Values are signed
// 16-bit, written little-endian. Blank lines and lines starting with '#' are
// ignored; malformed descriptions throw.
//
// Wrapped memory: with num_records W and records_lost L (L > 0), the
// description holds the W - L surviving blocks in recording order, and
// block number n (counting from 0 over all blocks ever written) is placed at
// slot n modulo (W - L) of the data area.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "support/k479_builder.h"

namespace tallycnv::test {

struct interval_layout {
    unsigned block_size = 0;          // bytes per block
    unsigned channel_size = 0;        // values per channel; 0: as written (one channel only)
    std::vector<unsigned> list_sizes; // stored values of each list; empty: as written
    std::uint32_t num_records = 0;    // blocks ever written (wrapped memory only)
    std::uint32_t records_lost = 0;   // blocks overwritten; 0: blocks in file order
};

bytes build_interval_blocks(std::string_view description, const interval_layout& layout);

// A whole interval file: the header, then the blocks laid out with the
// header's block_size, num_records and records_lost (the latter two only
// when its wrapped flag is set).
bytes build_interval_file(const header_builder& header, std::string_view blocks, unsigned channel_size = 0,
                          std::vector<unsigned> list_sizes = {});

} // namespace tallycnv::test
