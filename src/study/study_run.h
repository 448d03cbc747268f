// The run of a traffic study (-fstudy, -fjson, -fhtml): reads the data file
// to its end, computes the study, then writes it in the chosen form.
#pragma once

#include "datafile/k479_defn.h"
#include "io/byte_stream.h"
#include "run/run_context.h"

namespace tallycnv {

// The study of the data area of either file family. Bad input ends the run
// before anything of the study is written.
void output_study(const run_context& ctx, byte_stream& input, const k479_defn& header);

// -H: the survey alone.
void study_header_only(const run_context& ctx, const k479_defn& header);

} // namespace tallycnv
