// The study as one self-contained HTML page: tables and inline SVG charts.
#include "study/study.h"

namespace tallycnv {

void write_study_html(const run_context& /*ctx*/, const study& /*s*/) {}

} // namespace tallycnv
