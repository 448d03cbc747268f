// The paged help: TALLYCNV.HLP beside the program or in its installed place.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace tallycnv {

// Shows the help file (see resource_file) on standard output. On a
// terminal it stops every 20 pieces for a key (Escape ends the listing);
// otherwise the whole text is printed. A missing or unreadable help file
// prints nothing.
void display_help(const std::string& program_directory);

// Copies the text `help` to `out` in pieces of at most 80 characters (a longer line makes
// several pieces; "\r\n" reads as "\n"). With a key reader, after every 20 pieces
// " -- More -- " is shown and one key read; the prompt is then erased. Key 27
// (Escape) or end of input (a negative key) ends the listing.
void page_help(std::string_view help, std::FILE* out, const std::function<int()>& read_key);

} // namespace tallycnv
