// Builds vehicle-by-vehicle data areas for tests from a readable
// description, one record per line:
//
//   base lane=1 axles=2 time=360000 speed=80 wheelbase=300 spacings=255 weights=85,170
//   type4 number=7 time=360000 ...      packed formats: type4 type6 type7 type9
//   mask 0x6                            field mask of the stream records that follow
//   stream time=360000 lane=1           stream form, fields as the mask says
//   date 2013 3 7                       date record: year, month 1-12, day
//   event card=13 input=1 code=0 data=1234 a=500 b=480
//   skip                                record type 2 (53 bytes)
//   raw 01 ff 00                        bytes, in hexadecimal
//   cut 1                               drops the last bytes written (a record cut short)
//
// Field values are in the record's own units (format 9: hundredths of a
// second, tenths of a km/h). `spacings` and `weights` are share bytes in
// 255ths; the record gets exactly the bytes its format frames (n-1 spacings,
// n weights when present), missing shares being 0. Blank lines and lines
// starting with '#' are ignored; unknown names throw.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/k479_builder.h"

namespace tallycnv::test {

// A data area from a description (see above); `mask` is the stream mask in
// force until a `mask` line changes it.
bytes build_vbv_records(std::string_view description, std::uint32_t mask = 0);

// A VBV file: header (type V, then `header_description`) and the data area.
// `data_end` is set to the end of the data unless the description sets it.
bytes build_vbv_file(std::string_view header_description, const bytes& data);

// The data area of a wrapped recording memory as it lies in the file: the
// newest records from the start of the area, overwritten bytes, the oldest
// records up to the data end, then bytes past the data end.
struct wrapped_area {
    bytes newest;
    bytes overwritten;
    bytes oldest;
    bytes beyond_end;
};

// A wrapped VBV file: `wrapped` 1, wrap_start at the oldest record,
// wrap_stop after the newest, data_end after the oldest. The description is
// applied afterwards, so it may override any of them.
bytes build_wrapped_vbv_file(std::string_view header_description, const wrapped_area& area);

} // namespace tallycnv::test
