// Where the program finds its own files: the help text and the default
// language file.
#pragma once

#include <string>

namespace tallycnv {

// The folder of the running executable, symbolic links resolved
// (/proc/self/exe); empty when the system does not tell.
std::string executable_directory();

// The path of the program's file `name`: beside the program when it is there,
// else beside the running executable (the program called through a symbolic
// link), else in ../share/tallycnv/ relative to either, where an installed
// copy keeps it (prefix/bin/tallycnv, prefix/share/tallycnv/). When no place
// holds a readable file, the path beside the program, so that a missing file
// is reported as missing from there.
std::string resource_file(const std::string& program_directory, const std::string& name);

} // namespace tallycnv
