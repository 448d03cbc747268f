// Writes the files of a generated year (tests/support/year_builder.h) for the
// year's checks: the whole year of hourly counts, the emptied days, the year
// as monthly downloads and three days read out again.
//
//   year_check_files DIRECTORY
#include <cstdio>

#include "support/year_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: year_check_files DIRECTORY\n");
        return 2;
    }
    tallycnv::test::write_year_files(tallycnv::test::make_year(), argv[1]);
    return 0;
}
