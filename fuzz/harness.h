// What the fuzz targets share: a private scratch directory that is the
// working directory of the fuzzing process, the run chosen by the leading
// bytes of a data-file input, and one formatting run with the report held
// in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "run/language.h"
#include "run/settings.h"

namespace tallycnv::fuzz {

// The leading bytes of a data-file input choose the report and its options;
// the data file follows them.
//   0  layout: index into layout_options (the -F format of the run)
//   1  Zedirozed mode: 0 none, 1 -fzedirozed1, 2 -fzedirozed2, 3 -fmarsum
//   2  units: 0 default, 1-4 -I1..-I4, 5-7 -M1..-M3
//   3  switches: the switch_bit flags
//   4  -W value (a signed byte), 5 -D digit, 6 -C value in tenths
//   7-16  the -fmarsum window: hour, minute, day, month, year (two-digit)
//         of its start, then of its end
enum switch_bit : std::uint8_t {
    skip_partial = 1,
    site_column = 2,
    merge_cars = 4,
    control_file = 8,
    header_only = 16,
    column_width = 32,
    start_day = 64,
    axle_factor = 128,
};
inline constexpr std::size_t choice_size = 17;
inline constexpr const char* layout_options[] = {"",      "-fI1",    "-fI2",   "-fI3",     "-fV1",
                                                 "-fv2",  "-fv3",    "-fv4",   "-fcordon", "-fwk",
                                                 "-fcsv", "-fstudy", "-fjson", "-fhtml"};
inline constexpr std::size_t layout_count = sizeof layout_options / sizeof layout_options[0];

// The option arguments that the leading choice_size bytes stand for.
std::vector<std::string> choice_arguments(const std::uint8_t* choice);

// Rewrites the fuzzer's arguments (all but the program name, which the fuzzer
// keeps) so that relative corpus and artifact paths name the same thing from
// any working directory, and crash artifacts go to the directory the fuzzer
// was started in. Called from LLVMFuzzerInitialize.
void absolute_fuzzer_paths(int* argc, char** argv[]);

// A fresh directory of the process, made on first use and removed when the
// process exits.
const std::string& scratch_dir();

// Makes the scratch directory the working directory. Called for every input:
// a fuzzer that starts its own workers (-fork, -jobs) must not move before
// it has started them by their relative name.
void work_in_scratch_dir();

// Removes every file of the scratch directory except those named in `keep`:
// the site record files that control-file mode leaves behind, for one.
void clean_scratch(const std::vector<std::string>& keep);

// The number of files in the scratch directory.
std::size_t scratch_file_count();

// Writes `size` bytes to a file of the scratch directory.
void write_scratch_file(const std::string& name, const std::uint8_t* data, std::size_t size);

// A complete language file of 76 lines.
std::string full_language_file();

// The settings of a command line; nullopt when the parser refuses it or the
// run would hand over to a converter. Like format, it aborts on a fatal
// condition that is not one line of the form "\nError : ...\n" with exit
// code 1 to 3.
std::optional<run_settings> parse_command_line(const std::vector<std::string>& args);

// Formats `file` (a data file's bytes) with the report in memory. A fatal
// condition ends the run as it ends the program.
void format(const run_settings& settings, const language_texts& lang, std::vector<std::uint8_t> file);

} // namespace tallycnv::fuzz
