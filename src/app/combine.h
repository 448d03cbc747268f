// A site's sources as one study (--combine): every file named is a source;
// the sources of one site (its header's site text, or its station in
// --stations) are stitched in time order, a span two sources cover taken once.
// Without --output-dir the sources must be of one site and the study goes to
// standard output or --output=FILE; with it, one study per site and an index.
#pragma once

#include <string>
#include <vector>

#include "run/language.h"
#include "run/settings.h"

namespace tallycnv {

// The station a source belongs to: the first whose site equals the header's
// site text, or whose file glob matches the name as given or its base name.
const station_row* station_of(const std::vector<station_row>& stations, const std::string& site,
                              const std::string& path);

// Runs the combined study; returns the exit code.
int run_combined(const run_settings& settings, const language_texts& lang);

} // namespace tallycnv
