// Folder headers/: every report header (VBV, INT-1/2/3, cordon) and the bin lines.
//
// Line writers shared by the report headers: the identification block that
// every VBV and interval header opens with, the HEADINGS values, the
// STARTREC/STOPREC dates, the SENSORS list, the CLASS line and the filter
// lines. Each writer has a star form ("* KEY = value") and a record-coded form
// (`csv` set: "nn,\"KEY\",value").
#pragma once

#include <string>
#include <string_view>

#include "datafile/k479_defn.h"
#include "run/language.h"
#include "run/run_context.h"

namespace tallycnv {

// The eight heading texts and the line end; the caller wrote the key.
void print_headings(report_sink& out, bool csv, const k479_defn& header);

// One complete filter line. `title` is "* VBVFILTER" (star) or "61,\"VBVFILTER" (record-coded, the
// closing quote comes from the separator). The value is converted to the unit system of the run.
void fprintf_filter(const run_context& ctx, std::string_view title, filter_info filter, bool csv);

// Name of the header's classification scheme as every CLASS line shows it; the
// LENGTH and SPECIAL schemes carry their class count.
std::string class_scheme_name(const k479_defn& header, bool merge_cars, const language_texts& lang);

// The CLASS line with its line end.
void print_class_line(const run_context& ctx, const k479_defn& header, bool csv);

// Three two-digit date numbers (year modulo 100) in the order of `date_format`:
// 0 day/month/year, 1 month/day/year, anything else year/month/day; "/" or ","
// between them, then the line end.
void print_record_date(report_sink& out, bool csv, int date_format, int day, int month, int year);

// The STARTREC and STOPREC lines.
void print_start_stop(report_sink& out, bool csv, const k479_defn& header);

// The SENSORS line: one name per input in use (two on the model "318").
void print_sensors(const run_context& ctx, const k479_defn& header, bool csv);

// The identification block: BEGIN, FORMAT (`format_name`, e.g. "VBV-2" or
// "INT-1"), FORMATTER, INSTRUMENT, FILENAME, SITE, LOCATION, GRIDREF, HEADINGS,
// STARTREC, STOPREC, BATTERY, SENSORS and DATEFORM: fourteen lines.
void print_identification(const run_context& ctx, const k479_defn& header, bool csv,
                          std::string_view format_name);

// The UNITS and PRUNITS lines of the run's unit system and print units.
void print_units_line(const run_context& ctx, bool csv);
void print_prunits_line(const run_context& ctx, bool csv);

} // namespace tallycnv
