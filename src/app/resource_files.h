// Where the program finds its own files: the help text and the default
// language file.
#pragma once

#include <string>

namespace tallycnv {

// The path of the program's file `name`: beside the program when it is there,
// else in ../share/tallycnv/ relative to the program directory, where an
// installed copy keeps it (prefix/bin/tallycnv, prefix/share/tallycnv/). When
// neither place holds a readable file, the path beside the program, so that a
// missing file is reported as missing from there.
std::string resource_file(const std::string& program_directory, const std::string& name);

} // namespace tallycnv
