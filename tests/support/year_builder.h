// Builds a synthetic year of counts whose annual figures are known without
// the program: every day of month m and weekday d carries
// base x month_factor[m] x weekday_factor[d] vehicles, spread over the hours
// by a fixed profile and split between two channels (directions); some days
// are emptied (at most one per month-weekday cell) and listed for
// --exclude-dates. The builder keeps its own record of every hour it wrote.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/k479_builder.h"

namespace tallycnv::test {

struct year_hour {
    long day = 0; // days since 1970-01-01
    int hour = 0; // 0 to 23
    int dir1 = 0; // channel 1
    int dir2 = 0; // channel 2
    [[nodiscard]] int total() const { return dir1 + dir2; }
};

struct generated_year {
    int year = 0;
    int base = 0;
    std::array<int, 12> month_factor{};
    std::array<int, 7> weekday_factor{}; // Monday first
    std::vector<std::string> emptied;    // ISO dates of the emptied days
    std::vector<year_hour> hours;        // every hour of the days kept, in time order
    std::vector<long> day_totals;        // each day's total, emptied days included (as 0)

    // The interval file of hourly counts (two channels) from `first` to `last` day of the year
    // (days since 1970-01-01, inclusive), with the given site text.
    [[nodiscard]] bytes interval_file(long first, long last, const std::string& site = "SITE1") const;
    // The emptied dates, one a line.
    [[nodiscard]] std::string exclude_list() const;
    [[nodiscard]] long first_day() const;
    [[nodiscard]] long last_day() const;
};

// Writes DIR/YEAR.DAT (the whole year), DIR/EXCLUDE.TXT (the emptied days),
// DIR/M01.DAT .. M12.DAT (the year as monthly downloads) and DIR/REPEAT.DAT
// (10 to 12 March read out again).
void write_year_files(const generated_year& y, const std::string& dir);

// 2013 (Tuesday 1 January, not a leap year): base 100; the emptied days are the
// first Monday of January, the first Tuesday of February, ... one per month.
generated_year make_year();

} // namespace tallycnv::test
