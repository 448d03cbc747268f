// A table of the study as texts: the text report sets it in aligned columns
// within 80 columns, the HTML page as a <table>. Cells hold the data file's
// bytes (Latin-1) or the program's own ASCII texts.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "io/report_sink.h"

namespace tallycnv {

struct text_table {
    text_table() = default;
    text_table(std::string caption_text, std::vector<std::string> headings,
               std::vector<std::vector<std::string>> cells = {})
        : caption(std::move(caption_text)), columns(std::move(headings)), rows(std::move(cells)) {}

    std::string caption;              // a line above the table; may be empty
    std::vector<std::string> columns; // headings; the first column is left-aligned, the others right
    std::vector<std::vector<std::string>> rows;
    bool heading_row = true;     // false: a list of names and values (the survey), left-aligned
    std::string note;            // a sentence under the table; may be empty
    std::size_t name_column = 0; // a column of names after the first, left-aligned too; 0: none
};

// The width the text report is read at.
inline constexpr std::size_t report_width = 80;

// Writes the table in columns two blanks apart, no line longer than
// report_width: a table too wide is set in several parts, each repeating the
// first column; a cell too long for the line is cut. Control bytes in a cell
// are written as '?', so that a text from the file cannot end a line.
void write_text_table(report_sink& out, const text_table& table);

// Writes a sentence broken at blanks into lines of at most report_width.
void write_wrapped(report_sink& out, const std::string& text);

} // namespace tallycnv
