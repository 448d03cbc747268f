// Texts of the study page: the page is UTF-8, and every text is escaped so
// that no byte of a site name can open a tag, end an attribute or put a
// control character in the page.
#pragma once

#include <string_view>

#include "io/report_sink.h"

namespace tallycnv {

// Writes UTF-8 text with &, <, >, " and ' as character references; control
// characters (C0, DEL and C1) become U+FFFD, which shows that the file held
// something unprintable there.
void write_escaped(report_sink& out, std::string_view utf8);

// A text from the data file (Latin-1 bytes) onto the page.
void write_file_text(report_sink& out, std::string_view latin1);

} // namespace tallycnv
