// Writes the files of a generated year (tests/support/year_builder.h) for the
// year's checks: the whole year of hourly counts, the emptied days, the year
// as monthly downloads and three days read out again.
//
//   year_check_files DIRECTORY
#include <string>
#include <vector>

#include "support/tool_main.h"
#include "support/year_builder.h"

int main(int argc, char** argv) {
    using namespace tallycnv::test;
    const tool_usage tool{"year_check_files", "year_check_files DIRECTORY",
                          "Writes the files of a generated year of hourly counts into DIRECTORY.", 1, 1};
    return run_tool(tool, argc, argv, [](const std::vector<std::string>& args) {
        write_year_files(make_year(), args[0]);
        return 0;
    });
}
