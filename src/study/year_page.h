// The year on the study page: a calendar of the days coloured by volume,
// MADT by month and the ranked hourly volumes with the 30th highest marked.
#pragma once

#include <string>
#include <vector>

#include "io/report_sink.h"
#include "study/study.h"
#include "study/svg_chart.h"

namespace tallycnv {

// The style rules of the calendar.
extern const char* const year_page_style;

// The year a section shows ("year-2013"), or null for any other section.
[[nodiscard]] const study_year* year_of_section(const study& s, const std::string& id);

[[nodiscard]] std::vector<chart> year_charts(const study_year& y);

// One row a month, one cell a day: the shade grows with the day's volume;
// excluded days are crossed, days outside the recording or not full are blank.
void write_year_calendar(report_sink& out, const study& s, const study_year& y);

} // namespace tallycnv
