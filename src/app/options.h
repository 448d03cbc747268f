// The command line: the option parser that fills the run settings, and the
// banner.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "run/settings.h"

namespace tallycnv {

// Parses the arguments after the program name, left to right, into a fresh set
// of run settings. Every command-line error raises fatal_error with exit code 1
// before anything has been printed or opened.
run_settings get_parameters(const std::string& program_directory, const std::vector<std::string>& args);

// Every option the parser knows, in the form a user types it: "-C" for each
// option letter, "-fI1" for each output format, the words that begin with '/'
// in a letter's place ("/mc", "/headings=", "/location="), the options accepted
// without effect and the markers "^" and "=". The manual page lists them all.
std::vector<std::string> option_forms();

// Applies the cordon naming of the destination: the fourth character of the base
// name (after the last '/' or '\\') becomes 'T'. Shorter base names stay as they are.
std::string cordon_destination(const std::string& destination);

// What "--help" or "--version" anywhere before "--" asks for (the first of
// them wins): the parser never runs then.
enum class command_line_request { none, help, version };
command_line_request requested_answer(const std::vector<std::string>& args);

// The banner line alone, on standard output: the answer to --version.
void display_banner_line(const char* version, std::FILE* to = stdout);

// The banner line and an empty line, on standard output (standard error when
// standard output carries a document).
void display_program_title(const char* version, std::FILE* to = stdout);

} // namespace tallycnv
