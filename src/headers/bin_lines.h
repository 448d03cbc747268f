// Bin and threshold lines of the interval headers: where the bin boundaries of
// each operand of the binning definition lie, in the header's own unit
// system, or the classification scheme for the class operand, or the fixed
// gas-monitor columns.
#pragma once

#include <string_view>

#include "datafile/k479_defn.h"
#include "run/run_context.h"

namespace tallycnv {

// Boundary lists without line end: "<title> = b0 b1 ..." (star) or "<title>,b0,b1,..." (record-coded).
// Boundaries are the internal value times `factor`, rounded half up; the time writers print
// seconds with one decimal (internal tenths times `factor`, divided by 10).
void print_thresholds(report_sink& out, std::string_view title, bin_info bins, float factor);
void print_timethrs(report_sink& out, std::string_view title, bin_info bins, float factor);
void print_thresholds_int3(report_sink& out, std::string_view title, bin_info bins, float factor);
void print_timethrs_int3(report_sink& out, std::string_view title, bin_info bins, float factor);

// The star-form line of one operand (nothing for count, direction and unknown codes).
void print_bins(const run_context& ctx, unsigned operand, const k479_defn& header);
// The record-coded line of one operand; nothing at all for a count-only configuration.
void print_bins_int3(const run_context& ctx, unsigned operand, const k479_defn& header);

} // namespace tallycnv
