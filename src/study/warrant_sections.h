// The signal warrants as a study section (text report and page) and the
// page's charts of each analysed day's hourly volumes against the volumes
// of Warrant 1.
#pragma once

#include <vector>

#include "study/study_sections.h"
#include "study/svg_chart.h"

namespace tallycnv {

// The engineer's tables: hour by day, and for a vehicle file speed by hour,
// class by speed, speed by headway, following and heavy vehicles.
[[nodiscard]] std::vector<study_section> table_sections(const study& s);

[[nodiscard]] study_section warrant_section(const warrant_report& r, const study_units& units);
[[nodiscard]] std::vector<chart> warrant_charts(const warrant_report& r);

// The crossing gap study and the page's chart of each day's adequate gaps per period.
[[nodiscard]] study_section gap_study_section(const gap_study_result& r, const study_units& units);
[[nodiscard]] std::vector<chart> gap_study_charts(const gap_study_result& r);

} // namespace tallycnv
