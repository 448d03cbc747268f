// What every report writer needs: the run settings, the language texts and
// the report sink.
#pragma once

#include "app/language.h"
#include "app/settings.h"
#include "report/report_sink.h"

namespace tallycnv {

struct run_context {
    const run_settings& settings;
    const language_texts& lang;
    report_sink& out;
};

} // namespace tallycnv
