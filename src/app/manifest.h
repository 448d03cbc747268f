// What made each report of a batch's output folder: a small hidden file
// there, DIR/.tallycnv-manifest, records for every report the identity of
// its source (size and modification time) and the options that shaped it, so
// that --update skips a source only when both are unchanged. The file is
// replaced whole by rename; batches sharing the folder take turns (a lock on
// the folder) and each keeps the others' entries.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "run/settings.h"

namespace tallycnv {

inline constexpr const char* manifest_name = ".tallycnv-manifest";

struct manifest_entry {
    long long size = -1; // bytes of the source; -1: not a regular file
    long long seconds = 0;
    long nanoseconds = 0;
    std::string options; // the options that shape the report, and the language file's identity
    bool operator==(const manifest_entry&) const = default;
};

// Report name (in DIR) to what made it.
using manifest = std::map<std::string, manifest_entry>;

// The options that shape the batch's reports and the language file's identity, as one word.
std::string shaping_key(const run_settings& settings);

// The source's identity with the batch's shaping key; size -1 when the
// source is not a regular file (never skipped).
manifest_entry identity_of(const std::string& source, const std::string& key);

// The manifest of `dir`; empty when it is missing or cannot be read (every
// report is then made again).
manifest read_manifest(const std::string& dir);

// Records `made` (report name, what made it) in the manifest of `dir`,
// keeping every other entry. Returns an empty text, or the failure's message.
std::string record_in_manifest(const std::string& dir,
                               const std::vector<std::pair<std::string, manifest_entry>>& made);

} // namespace tallycnv
