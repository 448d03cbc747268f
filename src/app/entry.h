// The program's entry sequence.
#pragma once

#include <string>

#include "report/run_context.h"

namespace tallycnv {

// Runs the program and returns its exit code.
int run_program(int argc, char** argv);

// The directory the program was started from: its own path cut at the last '/'
// or '\\'; for a bare name, the directory of the running executable, else ".".
std::string program_directory(const std::string& own_path);

// Runs `driver` with the report sink `out` and returns the exit code: the code
// of a fatal condition (its message goes to standard error, what the report
// already holds is kept), 3 when the report could not be written, else 0.
int run_formatter(const run_settings& settings, const language_texts& lang, report_sink& out,
                  void (*driver)(const run_context&));

} // namespace tallycnv
