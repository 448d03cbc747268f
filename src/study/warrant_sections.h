// The signal warrants as a study section (text report and page) and the
// page's charts of each analysed day's hourly volumes against the volumes
// of Warrant 1.
#pragma once

#include <vector>

#include "study/study_sections.h"
#include "study/svg_chart.h"

namespace tallycnv {

[[nodiscard]] study_section warrant_section(const warrant_report& r, const study_units& units);
[[nodiscard]] std::vector<chart> warrant_charts(const warrant_report& r);

} // namespace tallycnv
