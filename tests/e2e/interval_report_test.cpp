// End-to-end runs of the program on generated interval files: whole reports
// in INT-1, INT-2 and INT-3 with peaks, skipped partial intervals, a wrapped
// memory and the site column.
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
    for (const char* name : {"Count", "Speed", "Gap", "Headway", "Length", "Gross weight", "Axle weight",
                             "Class", "Axles", "Direction", "Gas", "Wheelbase", "Speed summary"}) {
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
constexpr const char* site_header =
    "type m\nsite NORTHBRIDGE\nlocation Main Road\nfile_name NB0307\nserial_number 4711\ngrid_reference GR "
    "123\n"
    "battery 124\nheadings N S\nsensor_type 1 1\ncard_type 1 1\nstart 2013-03-07 10:00:00\n"
    "stop 2013-03-07 13:00:00\ninterval 15\ninterval_filter.operand 13\nchannel_assignment 1 2\n";

std::string count_blocks(int intervals, int channels) {
    std::string blocks;
    for (int k = 1; k <= intervals; ++k) {
        for (int c = 1; c <= channels; ++c) {
            blocks += "ch" + std::to_string(c) + ": " + std::to_string(100 * c + k) + " ";
        }
        blocks += "\n";
    }
    return blocks;
}

} // namespace

// The star header of the count-only test file, up to its column heading.
constexpr const char* int1_header = R"(* BEGIN
* FORMAT = INT-1
* FORMATTER = TALLYCNV Release = 3.5.47
* INSTRUMENT = K479 Serial = 4711 Release = 2.00
* FILENAME = NB0307
* SITE = NORTHBRIDGE
* LOCATION = Main Road
* GRIDREF = GR 123
* HEADINGS = N S       
* STARTREC = 10:00 07/03/13
* STOPREC  = 13:00 07/03/13
* BATTERY = 12.40 12.40 
* SENSORS = SENSOR1 SENSOR1 SENSOR0 SENSOR0 SENSOR0 SENSOR0 SENSOR0 SENSOR0 
* DATEFORM = DD/MM/YY
* UNITS = METRIC
* INTERVAL = 15 
* PEAKTIME = 00:00 00:00 00:00 00:00 00:00 00:00
* PEAKINT = 0 
* CHANNELS = 1 2 
* INTSPEC = Count
* HEAD HHMM C ...0 ...1 ...2 ...3 ...4 ...5 ...6 ...7 ...8 ...9 ..10 ..11
)";

test::bytes two_channel_counts(int intervals) {
    test::header_builder header;
    header.describe(site_header);
    header.describe("no_chans 2\nblock_size 4\nnum_records " + std::to_string(intervals));
    return test::build_interval_file(header, count_blocks(intervals, 2), 1);
}

TEST(IntervalReport, Int1CountRowsOfTwelveIntervals) {
    const report_run run = run_on(two_channel_counts(14), {});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.report, crlf(std::string(int1_header) +
                               R"(070313 1015 1  101  102  103  104  105  106  107  108  109  110  111  112
070313 1015 2  201  202  203  204  205  206  207  208  209  210  211  212
070313 1315 1  113  114
070313 1315 2  213  214
* END 26 FFFF
)"));

    // A count wider than the column ends the run after the header.
    test::header_builder wide;
    wide.describe(site_header);
    wide.describe("no_chans 2\nblock_size 4\nnum_records 2");
    const report_run overflow =
        run_on(test::build_interval_file(wide, "ch1: 999 ch2: 1\nch1: 1234 ch2: 1\n", 1), {"-W3"});
    EXPECT_EQ(overflow.exit_code, 1);
    EXPECT_EQ(overflow.err, "\nError : Interval Recording Column Width Overflow\n");
    EXPECT_TRUE(overflow.report.ends_with(" 10 11\r\n")) << overflow.report; // the header only
}

TEST(IntervalReport, Int2PeakPeriodWithPartialFirstIntervalSkipped) {
    test::header_builder header;
    header.describe(site_header);
    header.describe(
        "no_chans 1\nchannel_assignment 1\noperands 1 0 0\nspeed_bins.count 3\n"
        "speed_bins.threshold 40 60 80\nblock_size 6\nnum_records 6\ninterval 60\npeak_interval 15\n"
        "peak_times 7 0 9 0\nstart 2013-03-07 06:10:00");
    const test::bytes file = test::build_interval_file(
        header, "ch1: 1 2 3\nch1: 4 5 6\nch1: 7 8 9\nch1: 10 11 12\nch1: 13 14 15\nch1: 16 17 18\n");
    const report_run run = run_on(file, {"-fI2", "-S"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(run.report.starts_with("* BEGIN\r\n* FORMAT = INT-2\r\n"));
    EXPECT_NE(run.report.find("\r\n* STARTREC = 06:10 07/03/13\r\n"), std::string::npos);
    // The header as in INT-1, then the speed bins and the peak period.
    EXPECT_EQ(run.report.substr(run.report.find("* STOPREC ")), crlf(R"(* STOPREC  = 13:00 07/03/13
* BATTERY = 12.40 12.40 
* SENSORS = SENSOR1 SENSOR1 SENSOR0 SENSOR0 SENSOR0 SENSOR0 SENSOR0 SENSOR0 
* DATEFORM = DD/MM/YY
* UNITS = METRIC
* PRUNITS = KPH-CM-10KG
* INTERVAL = 60 
* PEAKTIME = 07:00 09:00 00:00 00:00 00:00 00:00
* PEAKINT = 15 
* CHANNELS = 1 2
* INTSPEC = Speed
* SPDBINS = 40 60 80 0
* HEAD HHMM C       SP 1 SP 2 SP 3
* PEAKINT = 15
070313 0715 1 00 00 0004 0005 0006
070313 0730 1 00 00 0007 0008 0009
070313 0745 1 00 00 0010 0011 0012
070313 0800 1 00 00 0013 0014 0015
070313 0815 1 00 00 0016 0017 0018
* END 30 FFFF
)"));
}

TEST(IntervalReport, Int3WrappedMemoryAcrossTheYearEndWithTheSiteColumn) {
    // Seven blocks written, three lost: the oldest survivor is block 3, at slot 3.
    test::header_builder header;
    header.describe(site_header);
    header.describe(
        "no_chans 2\nspec_count 0\noperands 1 4 0\nspeed_bins.count 2\nspeed_bins.threshold 50 70\n"
        "length_bins.count 2\nlength_bins.threshold 600 1200\nblock_size 16\nwrapped 1\nnum_records 7\n"
        "records_lost 3\nstart 2013-12-31 23:00:00\nstop 2014-01-01 01:00:00");
    const test::bytes file = test::build_interval_file(header,
                                                       "ch1: 1 2 | 3 4      ch2: 5 6 | 7 8\n"
                                                       "ch1: 11 12 | 13 14  ch2: 15 16 | 17 18\n"
                                                       "ch1: 21 22 | 23 24  ch2: 25 26 | 27 28\n"
                                                       "ch1: 31 32 | 33 34  ch2: 35 36 | 37 38\n",
                                                       4);
    const report_run run = run_on(file, {"-fI3", "-fasb"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    const std::string data = R"(39,"SITE     HEAD HHMM C       SP 1 SP 2"
39,"SITE     HEAD HHMM C       LN 1 LN 2"
NORTHBRI,311213,2400,1,00,01,0001,0002
NORTHBRI,311213,2400,1,00,02,0003,0004
NORTHBRI,311213,2400,2,00,01,0005,0006
NORTHBRI,311213,2400,2,00,02,0007,0008
NORTHBRI,010114,0015,1,00,01,0011,0012
NORTHBRI,010114,0015,1,00,02,0013,0014
NORTHBRI,010114,0015,2,00,01,0015,0016
NORTHBRI,010114,0015,2,00,02,0017,0018
NORTHBRI,010114,0030,1,00,01,0021,0022
NORTHBRI,010114,0030,1,00,02,0023,0024
NORTHBRI,010114,0030,2,00,01,0025,0026
NORTHBRI,010114,0030,2,00,02,0027,0028
NORTHBRI,010114,0045,1,00,01,0031,0032
NORTHBRI,010114,0045,1,00,02,0033,0034
NORTHBRI,010114,0045,2,00,01,0035,0036
NORTHBRI,010114,0045,2,00,02,0037,0038
21,"END",42,"FFFF"
)";
    ASSERT_GE(run.report.size(), crlf(data).size());
    EXPECT_EQ(run.report.substr(run.report.size() - crlf(data).size()), crlf(data));
    EXPECT_NE(run.report.find("\r\n72,\"STARTREC\",23,00,31,12,13\r\n"), std::string::npos);
}

} // namespace tallycnv
