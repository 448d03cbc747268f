// Folder run/: the shared run state: the run settings, the language texts and their loader, and the context
// every writer gets.
//
// What every report writer needs: the run settings, the language texts and
// the report sink.
#pragma once

#include "io/report_sink.h"
#include "run/language.h"
#include "run/settings.h"

namespace tallycnv {

struct run_context {
    const run_settings& settings;
    const language_texts& lang;
    report_sink& out;
};

} // namespace tallycnv
