// The study as a plain-text report of aligned tables, readable at 80 columns.
#include "study/study.h"

namespace tallycnv {

void write_study_text(const run_context& /*ctx*/, const study& /*s*/) {}

} // namespace tallycnv
