// The straightforward formatter of the VBV-1 and VBV-2 vehicle lines and the
// event lines: each field written by its own fprintf, as the report's column
// tables read. The benchmark measures the program against it, and the tests
// compare the program's lines with it.
#pragma once

#include <cstdio>

#include "app/settings.h"
#include "datafile/k479_defn.h"
#include "vbv/vbv_types.h"

namespace tallycnv::plain {

// Where and how the lines are written: the stream, the run settings and the print units.
struct plain_run {
    std::FILE* out;
    const run_settings& settings;
    int config;
    float speed_conv, length_conv, weight_conv;
    int length_places, weight_places;
};

plain_run plain_run_for(std::FILE* out, const run_settings& settings, const k479_defn& header);

// One vehicle in the layout of print_format (2: VBV-2, any other: VBV-1), with CR LF.
void plain_vehicle_line(const plain_run& r, const vehicle_info& v);

// One event line, with CR LF.
void plain_event_line(const plain_run& r, const event_record& e);

} // namespace tallycnv::plain
