// Writes the files of a generated year (tests/support/year_builder.h) for the
// year's checks: YEAR.DAT, the whole year of hourly counts on two channels;
// EXCLUDE.TXT, the emptied days; M01.DAT .. M12.DAT, the same year as monthly
// downloads, plus REPEAT.DAT, three days of March read out again.
//
//   year_check_files DIRECTORY
#include <cstdio>
#include <fstream>
#include <string>

#include "study/study_compute.h"
#include "support/year_builder.h"

using namespace tallycnv;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: year_check_files DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    const test::generated_year y = test::make_year();
    test::write_file(dir + "/YEAR.DAT", y.interval_file(y.first_day(), y.last_day()));
    std::ofstream(dir + "/EXCLUDE.TXT") << y.exclude_list();
    for (int m = 1; m <= 12; ++m) {
        const long first = *day_number(y.year, m, 1);
        const long last = (m == 12 ? y.last_day() + 1 : *day_number(y.year, m + 1, 1)) - 1;
        char name[16];
        std::snprintf(name, sizeof name, "/M%02d.DAT", m);
        test::write_file(dir + name, y.interval_file(first, last));
    }
    const long repeat = *day_number(y.year, 3, 10);
    test::write_file(dir + "/REPEAT.DAT", y.interval_file(repeat, repeat + 2));
    return 0;
}
