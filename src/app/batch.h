// The batch run (--output-dir): every source formatted with the same options
// into its own report in one folder, several files at once, each report put
// in place only once it is complete.
#pragma once

#include <string>
#include <vector>

#include "app/manifest.h"
#include "run/language.h"
#include "run/settings.h"

namespace tallycnv {

// One source of a batch and where its report goes.
struct batch_item {
    std::string source;      // as named on the command line
    std::string destination; // DIR/NAME
    long long size = 0;      // bytes of the source; 0 for a pipe or a missing file
    bool skipped = false;    // --update: its report was made from the source as it is, the same way
    manifest_entry made_by;  // the source's identity and the options, for the manifest
};

// The extension of the layout the settings select: ".TXT" for the reports,
// ".csv", ".study.txt", ".json" and ".html" for the export and the study.
const char* report_extension(const run_settings& settings);

// The name of a source's report: the source's base name (after its last '/'
// or '\\'), less its extension (from its last '.', unless that is its first
// character), with the layout's extension; the cordon layout's name rule
// applies as to a named destination. SITE1.DAT gives SITE1.TXT.
std::string report_name(const std::string& source, const run_settings& settings);

// The batch's sources in the order given, with their reports. Refuses
// (exit 1, before anything is written) the converter formats, two sources
// whose reports would have one name (compared ignoring case, naming both)
// and a source that is its own report. With --update, marks the sources
// whose report is at least as new as they are.
std::vector<batch_item> plan_batch(const run_settings& settings);

// Makes the folder and formats the sources not skipped; prints each file's
// failure on standard error, a status line while standard error is a
// terminal and, unless quiet, a summary on standard output. Returns the
// highest exit code of the files. SIGINT, SIGTERM or SIGHUP removes the unfinished
// reports, says how far the batch got and ends the process by that signal.
int run_batch(const run_settings& settings, const language_texts& lang, const std::vector<batch_item>& items);

} // namespace tallycnv
