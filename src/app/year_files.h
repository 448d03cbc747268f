// The small text files of a site's year: the factor table of short counts
// (--factors) and the dates left out of every average (--exclude-dates), and
// the weekdays of AAWDT (--weekdays). Each is read whole when the option is
// met; a file that cannot be read or holds a line it cannot use ends the run
// with exit code 1 and names the file and the line.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "run/settings.h"

namespace tallycnv {

// "Mon-Fri", "Tue-Thu", "Sat": the bits (0 Monday) of the weekdays from the first to the last.
unsigned parse_weekday_range(const std::string& text);

// A CSV table with the columns month, weekday, factor, and optionally group
// before them; a heading line naming the columns comes first.
std::vector<factor_row> load_factor_table(const std::string& path);

// One ISO date (YYYY-MM-DD) a line; blank lines and lines starting with '#' are skipped.
std::vector<std::array<int, 3>> load_exclude_dates(const std::string& path);

// The stations of --stations=FILE.csv: a heading line naming the columns
// station, name, and site (a header site text) or file (a file-name glob);
// optional direction_1, direction_2 and factor_group, in any order.
std::vector<station_row> load_stations(const std::string& path);

} // namespace tallycnv
