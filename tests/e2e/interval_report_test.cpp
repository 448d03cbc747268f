// End-to-end runs of the program on generated interval files: whole reports
// in INT-1, INT-2 and INT-3, wrapped memories, skipped partial intervals,
// several channels, the site column, cordon and weekly layouts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/interval_builder.h"
#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

struct report_run {
    int exit_code = -1;
    std::string report; // the destination file ("" when it was not written)
    std::string err;
};

// A language file of its own keeps the reports independent of the installed one.
std::string language_file() {
    std::string text;
    for (int i = 0; i < 48; ++i) {
        text += "SENSOR" + std::to_string(i) + "\n";
    }
    for (const char* name : {"Count", "Speed", "Gap", "Headway", "Length", "Gross weight", "Axle weight", "Class",
                             "Axles", "Direction", "Gas", "Wheelbase", "Speed summary"}) {
        text += std::string(name) + "\n";
    }
    for (int i = 0; i < 12; ++i) {
        text += "-\n";
    }
    return text + "METRIC\nIMPERIAL\nSWEDISH14\n";
}

report_run run_on(const test::bytes& file, const std::vector<std::string>& options) {
    const std::string dir = test::make_temp_dir();
    test::write_file(dir + "/SITE.DAT", file);
    const std::string lang = language_file();
    test::write_file(dir + "/WORDS.LNG", test::bytes(lang.begin(), lang.end()));
    std::vector<std::string> args = {"^", "SITE.DAT", "SITE.TXT", "-L" + dir + "/WORDS.LNG"};
    args.insert(args.end(), options.begin(), options.end());
    const test::run_result result = test::run_tallycnv(args, dir);
    report_run run;
    run.exit_code = result.exit_code;
    run.err = result.err;
    if (std::filesystem::exists(dir + "/SITE.TXT")) {
        run.report = test::read_file(dir + "/SITE.TXT");
    }
    std::filesystem::remove_all(dir);
    return run;
}

std::string crlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

// The identification shared by the test files.
constexpr const char* site_header = R"(
    type m
    site NORTHBRIDGE
    location Main Road
    file_name NB0307
    serial_number 4711
    grid_reference GR 123
    battery 124
    headings N S
    sensor_type 1 1
    card_type 1 1
    start 2013-03-07 10:00:00
    stop 2013-03-07 13:00:00
    interval 15
    interval_filter.operand 13
    channel_assignment 1 2
)";

} // namespace
} // namespace tallycnv
