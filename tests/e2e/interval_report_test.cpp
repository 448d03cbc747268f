// End-to-end runs of the program on generated interval files: whole reports
// in INT-1, INT-2 and INT-3 with peaks, skipped partial intervals, a wrapped
// memory and the site column; the weekly summary and the cordon layout.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/interval_builder.h"
#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

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

// Runs the program on `file` with the options; the report is the destination
// file ("" when it was not written), or the console when none is given.
test::run_result run_on(const test::bytes& file, const std::vector<std::string>& options,
                        bool to_file = true) {
    const std::string dir = test::make_temp_dir();
    test::write_file(dir + "/SITE.DAT", file);
    const std::string lang = language_file();
    test::write_file(dir + "/WORDS.LNG", test::bytes(lang.begin(), lang.end()));
    std::vector<std::string> args = {"^", "SITE.DAT", "-L" + dir + "/WORDS.LNG"};
    if (to_file) args.insert(args.begin() + 2, "SITE.TXT");
    args.insert(args.end(), options.begin(), options.end());
    test::run_result result = test::run_tallycnv(args, dir);
    if (to_file)
        result.out = std::filesystem::exists(dir + "/SITE.TXT") ? test::read_file(dir + "/SITE.TXT") : "";
    std::filesystem::remove_all(dir);
    return result;
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

// The identification shared by the whole-report files.
constexpr const char* site_header =
    "type m\nsite NORTHBRIDGE\nlocation Main Road\nfile_name NB0307\nserial_number 4711\n"
    "grid_reference GR 123\nbattery 124\nheadings N S\nsensor_type 1 1\ncard_type 1 1\nstart 2013-03-07 "
    "10:00:00\n"
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
    const test::run_result run = run_on(two_channel_counts(14), {});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, crlf(std::string(int1_header) +
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
    const test::run_result overflow =
        run_on(test::build_interval_file(wide, "ch1: 999 ch2: 1\nch1: 1234 ch2: 1\n", 1), {"-W3"});
    EXPECT_EQ(overflow.exit_code, 1);
    EXPECT_EQ(overflow.err, "\nError : Interval Recording Column Width Overflow\n");
    EXPECT_TRUE(overflow.out.ends_with(" 10 11\r\n")) << overflow.out; // the header only
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
    const test::run_result run = run_on(file, {"-fI2", "-S"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("* BEGIN\r\n* FORMAT = INT-2\r\n"));
    EXPECT_NE(run.out.find("\r\n* STARTREC = 06:10 07/03/13\r\n"), std::string::npos);
    // The header as in INT-1, then the speed bins and the peak period.
    EXPECT_EQ(run.out.substr(run.out.find("* STOPREC ")), crlf(R"(* STOPREC  = 13:00 07/03/13
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
    const test::run_result run = run_on(file, {"-fI3", "-fasb"});
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
    ASSERT_GE(run.out.size(), crlf(data).size());
    EXPECT_EQ(run.out.substr(run.out.size() - crlf(data).size()), crlf(data));
    EXPECT_NE(run.out.find("\r\n72,\"STARTREC\",23,00,31,12,13\r\n"), std::string::npos);
}

using test::bytes;
using blocks_t = std::vector<std::vector<int>>;

// An interval file: the header from its description, then the blocks as
// signed 16-bit values in recording (or, for a wrapped memory, slot) order.
bytes interval_file(const std::string& description, const blocks_t& blocks) {
    test::header_builder header;
    header.describe("type m\ncard_type 1 1 1 1 1 1 1 1\nspec_count 1\n" + description);
    bytes file = header.build();
    for (const auto& block : blocks) {
        for (const int value : block)
            test::put_u16(file, static_cast<unsigned>(value) & 0xFFFFU);
    }
    return file;
}

// The weekly tables of a report, each from its empty line before the title to the end of its totals.
std::vector<std::string> weekly_tables(const std::string& text) {
    std::vector<std::string> tables;
    const std::string title = "\r\n* WEEK BEGINNING ";
    for (std::size_t at = text.find(title); at != std::string::npos;) {
        const std::size_t next = text.find(title, at + 1);
        std::string table = text.substr(at, (next == std::string::npos ? text.size() : next) - at);
        const std::size_t end = table.find("\r\n* END ");
        if (end != std::string::npos) table.resize(end + 2);
        tables.push_back(table);
        at = next;
    }
    return tables;
}

long count_lines(const std::string& text) {
    long n = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
        ++n;
    return n;
}

const std::string nr = "        N/R";
const std::string none = "     ******";
const std::string no_mean = "  ******  ******";

// Ten days of hourly counts on two channels from Thursday 7 March 2013; the
// two channels of hour h on day d (0 = the first) add up to h + 100 (d + 1).
bytes ten_day_count_file() {
    blocks_t blocks;
    for (int d = 0; d < 10; ++d) {
        for (int h = 1; h <= 24; ++h)
            blocks.push_back({h, 100 * (d + 1)});
    }
    return interval_file("start 2013-03-07 00:00:00\nstop 2013-03-17 00:00:00\ninterval 60\nno_chans 2\n"
                         "block_size 4\nnum_records 240\n",
                         blocks);
}

// Speed in three bins, 15-minute intervals from Monday 4 March 2013; an interval
// ending in hour h of day d holds d + 1, h and 0, so the hour's entry is 4 (d + 1 + h).
bytes ten_day_binned_file() {
    blocks_t blocks;
    for (int d = 0; d < 10; ++d) {
        for (int q = 1; q <= 96; ++q)
            blocks.push_back({d + 1, (q + 3) / 4, 0});
    }
    return interval_file("start 2013-03-04 00:00:00\nstop 2013-03-14 00:00:00\ninterval 15\nno_chans 1\n"
                         "operands 1 0 0\nspeed_bins.count 3\nblock_size 6\nnum_records 960\n",
                         blocks);
}

// 120 hourly blocks written from Thursday 7 March, the first 72 lost: the
// survivors are Sunday 10 (slots 24 to 47) and Monday 11 (slots 0 to 23).
// Each block holds its number since recording began.
bytes wrapped_sunday_and_monday() {
    blocks_t blocks;
    for (int slot = 0; slot < 48; ++slot)
        blocks.push_back({slot < 24 ? 96 + slot : 72 + (slot - 24)});
    return interval_file("start 2013-03-07 00:00:00\nstop 2013-03-12 00:00:00\ninterval 60\nno_chans 1\n"
                         "block_size 2\nnum_records 120\nrecords_lost 72\nwrapped 1\n",
                         blocks);
}

TEST(WeeklyReport, WholeReports) {
    const struct {
        const char* name;
        bytes file;
        std::vector<std::string> options;
        std::vector<std::string> titles;
        std::vector<std::string> lines;
    } cases[] = {
        // Weeks begin on the recording's first weekday. Whole days: 300 + 2400 (d + 1);
        // Monday to Friday 51900 / 5 = 10380, all days 69300 / 7 = 9900. Hour 1: 2105 / 5 = 421
        // (4.06 %), 2807 / 7 = 401. The partial week: (801 + 901) / 2 = 851, 2703 / 3 = 901.
        {"ten days of counts",
         ten_day_count_file(),
         {"-fwk"},
         {" 7/ 3/13", "14/ 3/13"},
         {"* FORMAT = WEEKLY SUMMARY",
          "* ENDS    THURSDAY     FRIDAY   SATURDAY     SUNDAY     MONDAY    TUESDAY  WEDNESDAY     5 DAY"
          "          7 DAY",
          "    1          101        201        301        401        501        601        701     421    "
          "4.06"
          "     401    4.05",
          " 1-24         2700       5100       7500       9900      12300      14700      17100   10380"
          "            9900  ",
          "    1          801        901       1001" + nr + nr + nr + nr + "     851    4.11     901    4.11",
          " 1-24        19500      21900      24300" + none + none + none + none +
              "   20700           21900  "}},
        // Whole days 96 (d + 1) + 1200: Monday to Friday 7440 / 5 = 1488, all days 11088 / 7 = 1584.
        {"ten days binned",
         ten_day_binned_file(),
         {"-fwk", "-D1"},
         {" 4/ 3/13", "11/ 3/13"},
         {"    1            8         12         16         20         24         28         32      16    "
          "1.08"
          "      20    1.26",
          " 1-24         1296       1392       1488       1584       1680       1776       1872    1488"
          "            1584  ",
          " 1-24         1968       2064       2160" + none + none + none + none +
              "    2064            2064  "}},
        // Sunday alone in the week of Monday 4 March (72 + ... + 95 = 2004), Monday in the next.
        {"wrapped, -D1",
         wrapped_sunday_and_monday(),
         {"-fwk", "-D1"},
         {" 4/ 3/13", "11/ 3/13"},
         {"    1  " + nr + nr + nr + nr + nr + nr + "         72" + no_mean + "      72    3.59",
          " 1-24  " + none + none + none + none + none + none + "       2004" + no_mean + "    2004  ",
          "    1           96" + nr + nr + nr + nr + nr + nr + "      96    3.72" + "      96    3.72"}},
        // The clock skips the lost hours to 24:00 of Saturday 9 March and the
        // surviving data begin on Sunday 10 March, so the weeks begin on Sundays.
        {"wrapped",
         wrapped_sunday_and_monday(),
         {"-fwk"},
         {"10/ 3/13"},
         {"* ENDS      SUNDAY     MONDAY    TUESDAY  WEDNESDAY   THURSDAY     FRIDAY   SATURDAY     5 DAY"
          "          7 DAY",
          "    1           72         96" + nr + nr + nr + nr + nr + "      96    3.72      84    3.66"}},
    };
    for (const auto& c : cases) {
        const test::run_result r = run_on(c.file, c.options);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const auto tables = weekly_tables(r.out);
        ASSERT_EQ(tables.size(), c.titles.size()) << c.name;
        for (std::size_t i = 0; i < tables.size(); ++i) {
            EXPECT_EQ(tables[i].substr(0, 31), "\r\n* WEEK BEGINNING " + c.titles[i] + "\r\n\r\n") << c.name;
            EXPECT_EQ(count_lines(tables[i]), 38) << c.name;
        }
        for (const std::string& line : c.lines)
            EXPECT_NE(r.out.find("\r\n" + line + "\r\n"), std::string::npos) << c.name << "\n" << line;
        // The END record counts every line of the report, itself included.
        EXPECT_TRUE(r.out.ends_with("\r\n\r\n* END " + std::to_string(count_lines(r.out)) + " FFFF\r\n"));
    }

    const test::run_result refused = run_on(
        interval_file("start 2013-03-07 00:00:00\ninterval 61\nno_chans 1\nblock_size 2\nnum_records 2\n",
                      {{1}, {2}}),
        {"-fwk"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(refused.err, "\nError : File has an invalid Interval for weekly format\n");
    EXPECT_EQ(refused.out, "");
}

// The cordon report goes to the console; its header is checked on its own, the data lines here.
TEST(CordonReport, CountOnlyAndBinnedFileWithPeaks) {
    // Two channels at 15 minutes: channel 1 counts i, channel 2 10 i.
    blocks_t counts;
    for (int i = 1; i <= 8; ++i)
        counts.push_back({i, 10 * i});
    // Hourly counts with a 15-minute peak from 07:00 to 09:00, speed in two
    // bins: the peak quarters add up to the hour they end in.
    const blocks_t binned = {
        {1, 2},                         // 07:00
        {1, 0}, {2, 0}, {3, 0}, {4, 0}, // 07:15 .. 08:00 -> 10
        {1, 1}, {1, 1}, {1, 1}, {1, 1}, // 08:15 .. 09:00 -> 8
        {5, 5},                         // 10:00
    };
    const struct {
        bytes file;
        const char* data;
        long lines; // eight header lines, one per channel, then the data
    } cases[] = {
        {interval_file("start 2013-03-07 10:00:00\nstop 2013-03-07 12:00:00\ninterval 15\nno_chans 2\n"
                       "block_size 4\nnum_records 8\n",
                       counts),
         "\"Channel 2    \",\"                                        \"\r\n"
         "0001,0010,0002,0020,0003,0030,0004,0040,0005,0050,0006,0060,\r\n0007,0070,0008,0080,\r\nxxxx\r\n",
         13},
        {interval_file("start 2013-03-07 06:00:00\nstop 2013-03-07 10:00:00\ninterval 60\npeak_interval 15\n"
                       "peak_times 7 0 9 0\nno_chans 1\noperands 1 0 0\nspeed_bins.count 2\nblock_size 4\n"
                       "num_records 10\n",
                       binned),
         "\"Channel 1    \",\"                                        \"\r\n0003,0010,0008,0010,\r\nxxxx\r\n",
         11},
    };
    for (const auto& c : cases) {
        const test::run_result run = run_on(c.file, {"-fcordon"}, false);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_TRUE(run.out.ends_with(c.data)) << run.out;
        EXPECT_EQ(count_lines(run.out), c.lines) << run.out;
    }
}

// A peak period that begins off the grid of the normal interval: aligning the
// clock to both grids must not take it back to where the block began.
TEST(IntervalReport, PeakPeriodOffTheIntervalGridKeepsTheClockMoving) {
    blocks_t blocks;
    for (int i = 1; i <= 10; ++i)
        blocks.push_back({i});
    const test::run_result run = run_on(
        interval_file("start 2013-03-01 22:00:00\nstop 2013-03-02 02:00:00\ninterval 25\npeak_interval 20\n"
                      "peak_times 22 0 24 0\nno_chans 1\noperands 1 0 0\nspeed_bins.count 1\nblock_size 2\n"
                      "num_records 10\n",
                      blocks),
        {"-fI2"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out.substr(run.out.find("010313 ")), crlf(R"(010313 2205 1 00 00 0001
* PEAKINT = 20
* INTERVAL = 25
010313 2230 1 00 00 0002
* PEAKINT = 20
010313 2240 1 00 00 0003
010313 2300 1 00 00 0004
010313 2320 1 00 00 0005
010313 2340 1 00 00 0006
010313 2400 1 00 00 0007
* INTERVAL = 25
020313 0010 1 00 00 0008
020313 0025 1 00 00 0009
020313 0050 1 00 00 0010
* END 39 FFFF
)"));
}

// A channel that holds no value lets any number of channels pass the block-size
// check, each handled once per block for nothing: such a layout is a corrupt file.
// Its header still lists.
TEST(IntervalReport, ChannelWithoutValuesIsCorrupt) {
    const char* const layouts[] = {
        "operands 1 0 0\noperators 2 0\nspeed_bins.count 2\n", // unknown operator
        "operands 1 0 0\nspeed_bins.count 0\n",                // no bins
        "spec_count 2\noperands 1 4 0\noperators 1 0\nspeed_bins.count 2\nlength_bins.count 0\n", // empty
                                                                                                  // table
    };
    for (const char* layout : layouts) {
        const bytes file =
            interval_file(std::string("start 2013-03-04 00:00:00\ninterval 60\nno_chans 17614\n"
                                      "block_size 200\nnum_records 100\n") +
                              layout,
                          blocks_t(100, std::vector<int>(100, 1)));
        for (const char* format : {"-fI2", "-fwk", "-fcordon"}) {
            const test::run_result run = run_on(file, {format});
            EXPECT_EQ(run.exit_code, 2) << layout << format;
            EXPECT_EQ(run.err, "\nError : Invalid or corrupt input file\n") << layout << format;
            EXPECT_EQ(run.out, "") << layout << format;
        }
        const test::run_result header = run_on(file, {"-fI2", "-H"});
        EXPECT_EQ(header.exit_code, 0) << layout;
        EXPECT_NE(header.out.find("\r\n* HEAD HHMM C"), std::string::npos) << layout << header.out;
    }
}

} // namespace
} // namespace tallycnv
