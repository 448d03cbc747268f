// Builds K479 data files for tests from a readable description, one field per
// line:
//
//   type V                      type byte (a character)
//   prefix G                    the 128-byte 'G' prefix
//   site SITE1                  text fields take the rest of the line
//   site A\x01B                  "\xNN" in a text field is the byte NN
//   card_type 8 8 0 0           arrays fill from their first element
//   speed_bins.threshold 30 50  nested records use a dot
//   vbv_filter.operand 1
//   start 2013-03-07 10:07:00   start_rec / stop_rec in one line
//   sect2_len 300               a section's length in the file (default: its cap)
//   data_offset 1300            default: just past section 6
//
// Blank lines and lines starting with '#' are ignored. Unknown names throw.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/k479_defn.h"

namespace tallycnv::test {

using bytes = std::vector<std::uint8_t>;

struct header_builder {
    k479_defn record{};
    std::uint32_t sect_len[6] = {248, 236, 67, 115, 515, 18};
    bool g_prefix = false;
    long data_offset = -1; // -1: just past section 6

    header_builder();
    // Applies one or more description lines.
    header_builder& describe(std::string_view description);
    // The file bytes of the prefix (if any) and the header block, padded or
    // cut so that the data area starts at base + data_offset.
    [[nodiscard]] bytes build() const;
    // Absolute position of the data area in the built file.
    [[nodiscard]] std::uint64_t data_start() const;
};

// A header from a description alone.
bytes build_header(std::string_view description);

// A whole decimal (or 0x hexadecimal) number; throws on anything else.
long parse_number(const std::string& word);

// Little-endian appenders for data areas.
void put_u16(bytes& out, unsigned value);
void put_u32(bytes& out, std::uint32_t value);

// Writes bytes to a file; throws on failure.
void write_file(const std::string& path, const bytes& data);
std::string read_file(const std::string& path);

} // namespace tallycnv::test
