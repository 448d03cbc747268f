// The study as one JSON document.
#include "study/study.h"

namespace tallycnv {

void write_study_json(const run_context& /*ctx*/, const study& /*s*/) {}

} // namespace tallycnv
