#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/k479_builder.h"
#include "support/run_program.h"

namespace tallycnv {
namespace {

using test::bytes;

// An interval file: the header from its description, then the blocks as
// signed 16-bit values in recording (or, for a wrapped memory, slot) order.
bytes interval_file(const std::string& description, const std::vector<std::vector<int>>& blocks) {
    test::header_builder header;
    header.describe(description);
    bytes file = header.build();
    for (const auto& block : blocks) {
        for (const int value : block)
            test::put_u16(file, static_cast<unsigned>(value) & 0xFFFFU);
    }
    return file;
}

struct report {
    test::run_result run;
    std::string text;
};

// Runs the program on `file` with the options and returns the report file.
report run_on(const bytes& file, std::vector<std::string> options) {
    const std::string dir = test::make_temp_dir();
    test::write_file(dir + "/SITE.DAT", file);
    std::vector<std::string> args = {"SITE.DAT", "REPORT.TXT"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("^");
    report r;
    r.run = test::run_tallycnv(args, dir);
    if (std::filesystem::exists(dir + "/REPORT.TXT")) r.text = test::read_file(dir + "/REPORT.TXT");
    std::filesystem::remove_all(dir);
    return r;
}

// The weekly tables of a report, each from its empty line before the title
// to the empty line after the totals.
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

::testing::AssertionResult has_line(const std::string& text, const std::string& line) {
    if (text.find("\r\n" + line + "\r\n") != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no line\n" << line << "\nin\n" << text;
}

long count_lines(const std::string& text) {
    long n = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
        ++n;
    return n;
}

// The END record counts every line of the report, itself included.
void expect_end_record(const std::string& text) {
    const std::size_t end = text.rfind("* END ");
    ASSERT_NE(end, std::string::npos);
    const long before = count_lines(text.substr(0, end));
    EXPECT_EQ(text.substr(end), "* END " + std::to_string(before + 1) + " FFFF\r\n");
}

const std::string nr = "        N/R";
const std::string none = "     ******";
const std::string no_mean = "  ******  ******";

// Ten days of hourly counts on two channels from Thursday 7 March 2013; the
// two channels of hour h on day d (0 = the first) add up to h + 100 (d + 1).
bytes ten_day_count_file() {
    std::vector<std::vector<int>> blocks;
    for (int d = 0; d < 10; ++d) {
        for (int h = 1; h <= 24; ++h)
            blocks.push_back({h, 100 * (d + 1)});
    }
    return interval_file("type m\ncard_type 1 1 1 1 1 1 1 1\nsite WEEKSITE\nstart 2013-03-07 00:00:00\nstop "
                         "2013-03-17 00:00:00\n"
                         "interval 60\nno_chans 2\nchannel_assignment 1 2\nspec_count 1\nblock_size 4\n"
                         "num_records 240\ninterval_filter.operand 13\n",
                         blocks);
}

TEST(WeeklyReport, CountOnlyFileOfTenDays) {
    const report r = run_on(ten_day_count_file(), {"-fwk"});
    ASSERT_EQ(r.run.exit_code, 0) << r.run.err;
    EXPECT_NE(r.text.find("* FORMAT = WEEKLY SUMMARY\r\n"), std::string::npos);
    EXPECT_EQ(r.text.find("* HEAD HHMM C"), std::string::npos);
    const auto tables = weekly_tables(r.text);
    ASSERT_EQ(tables.size(), 2U);

    // Weeks begin on the recording's first weekday. Whole days: 300 + 2400 (d + 1);
    // Monday to Friday average 51900 / 5 = 10380, all days 69300 / 7 = 9900.
    const std::string& full = tables[0];
    EXPECT_EQ(count_lines(full), 38);
    EXPECT_EQ(full.substr(0, 31), "\r\n* WEEK BEGINNING  7/ 3/13\r\n\r\n");
    EXPECT_TRUE(
        has_line(full, "* ENDS    THURSDAY     FRIDAY   SATURDAY     SUNDAY     MONDAY    TUESDAY  WEDNESDAY"
                       "     5 DAY          7 DAY"));
    // Hour 1: 2105 / 5 = 421 (4.06 %), 2807 / 7 = 401 (4.05 %).
    EXPECT_TRUE(
        has_line(full, "    1          101        201        301        401        501        601        701"
                       "     421    4.06     401    4.05"));
    EXPECT_TRUE(
        has_line(full, " 1-24         2700       5100       7500       9900      12300      14700      17100"
                       "   10380            9900  "));

    // The partial week: Thursday to Saturday, 19500, 21900 and 24300.
    const std::string& partial = tables[1];
    EXPECT_EQ(count_lines(partial), 38);
    EXPECT_EQ(partial.substr(0, 31), "\r\n* WEEK BEGINNING 14/ 3/13\r\n\r\n");
    // Hour 1: (801 + 901) / 2 = 851 (851 / 20700 = 4.11 %), 2703 / 3 = 901 (4.11 %).
    EXPECT_TRUE(has_line(partial, "    1          801        901       1001" + nr + nr + nr + nr +
                                      "     851    4.11     901    4.11"));
    EXPECT_TRUE(has_line(partial, " 1-24        19500      21900      24300" + none + none + none + none +
                                      "   20700           21900  "));
    expect_end_record(r.text);
}

TEST(WeeklyReport, BinnedFileOfTenDaysAtFifteenMinutes) {
    // Speed in three bins from Monday 4 March 2013; an interval ending in hour
    // h of day d holds d + 1, h and 0, so the hour's entry is 4 (d + 1 + h).
    std::vector<std::vector<int>> blocks;
    for (int d = 0; d < 10; ++d) {
        for (int q = 1; q <= 96; ++q)
            blocks.push_back({d + 1, (q + 3) / 4, 0});
    }
    const bytes file = interval_file("type m\ncard_type 1 1 1 1 1 1 1 1\nstart 2013-03-04 00:00:00\nstop "
                                     "2013-03-14 00:00:00\ninterval 15\n"
                                     "no_chans 1\nchannel_assignment 1\nspec_count 1\noperands 1 0 0\n"
                                     "speed_bins.threshold 30 50 70\nspeed_bins.count 3\nblock_size 6\n"
                                     "num_records 960\ninterval_filter.operand 13\n",
                                     blocks);
    const report r = run_on(file, {"-fwk", "-D1"});
    ASSERT_EQ(r.run.exit_code, 0) << r.run.err;
    const auto tables = weekly_tables(r.text);
    ASSERT_EQ(tables.size(), 2U);

    // Whole days 96 (d + 1) + 1200: Monday to Friday 7440 / 5 = 1488, all days 11088 / 7 = 1584.
    const std::string& full = tables[0];
    EXPECT_EQ(full.substr(0, 31), "\r\n* WEEK BEGINNING  4/ 3/13\r\n\r\n");
    EXPECT_TRUE(
        has_line(full, "    1            8         12         16         20         24         28         32"
                       "      16    1.08      20    1.26"));
    EXPECT_TRUE(
        has_line(full, " 1-24         1296       1392       1488       1584       1680       1776       1872"
                       "    1488            1584  "));

    const std::string& partial = tables[1];
    EXPECT_EQ(partial.substr(0, 31), "\r\n* WEEK BEGINNING 11/ 3/13\r\n\r\n");
    EXPECT_TRUE(has_line(partial, " 1-24         1968       2064       2160" + none + none + none + none +
                                      "    2064            2064  "));
    expect_end_record(r.text);
}

// 120 hourly blocks written from Thursday 7 March, the first 72 lost: the
// survivors are Sunday 10 (slots 24 to 47) and Monday 11 (slots 0 to 23).
// Each block holds its number since recording began.
bytes wrapped_sunday_and_monday() {
    std::vector<std::vector<int>> blocks;
    for (int slot = 0; slot < 48; ++slot)
        blocks.push_back({slot < 24 ? 96 + slot : 72 + (slot - 24)});
    return interval_file("type m\ncard_type 1 1 1 1 1 1 1 1\nstart 2013-03-07 00:00:00\nstop 2013-03-12 "
                         "00:00:00\ninterval 60\n"
                         "no_chans 1\nchannel_assignment 1\nspec_count 1\nblock_size 2\n"
                         "num_records 120\nrecords_lost 72\nwrapped 1\ninterval_filter.operand 13\n",
                         blocks);
}

TEST(WeeklyReport, WrappedMemoryPrintsTheSurvivingDaysOnce) {
    const struct {
        const char* options;
        std::vector<std::string> titles;
        std::vector<std::string> lines;
    } cases[] = {
        // -D1: Sunday alone in the week of Monday 4 March (72 + ... + 95 = 2004), Monday in the next.
        {"-D1",
         {" 4/ 3/13", "11/ 3/13"},
         {"    1  " + nr + nr + nr + nr + nr + nr + "         72" + no_mean + "      72    3.59",
          " 1-24  " + none + none + none + none + none + none + "       2004" + no_mean + "    2004  ",
          "    1           96" + nr + nr + nr + nr + nr + nr + "      96    3.72" + "      96    3.72"}},
        // Without -D the clock skips the lost hours to 24:00 of Saturday 9 March and the
        // surviving data begin on Sunday 10 March, so the weeks begin on Sundays.
        {"-D",
         {"10/ 3/13"},
         {"* ENDS      SUNDAY     MONDAY    TUESDAY  WEDNESDAY   THURSDAY     FRIDAY   SATURDAY"
          "     5 DAY          7 DAY",
          "    1           72         96" + nr + nr + nr + nr + nr + "      96    3.72      84    3.66"}},
    };
    for (const auto& c : cases) {
        const std::string option = c.options;
        const report r =
            run_on(wrapped_sunday_and_monday(), option == "-D" ? std::vector<std::string>{"-fwk"}
                                                               : std::vector<std::string>{"-fwk", option});
        ASSERT_EQ(r.run.exit_code, 0) << r.run.err;
        const auto tables = weekly_tables(r.text);
        ASSERT_EQ(tables.size(), c.titles.size()) << c.options;
        for (std::size_t i = 0; i < tables.size(); ++i)
            EXPECT_EQ(tables[i].substr(0, 29), "\r\n* WEEK BEGINNING " + c.titles[i] + "\r\n") << c.options;
        for (const std::string& line : c.lines)
            EXPECT_TRUE(has_line(r.text, line)) << c.options;
        expect_end_record(r.text);
    }
}

TEST(WeeklyReport, IntervalAboveAnHourIsRefused) {
    const bytes file = interval_file("type m\ncard_type 1 1 1 1 1 1 1 1\nstart 2013-03-07 00:00:00\ninterval "
                                     "61\nno_chans 1\nspec_count 1\n"
                                     "block_size 2\nnum_records 2\n",
                                     {{1}, {2}});
    const report r = run_on(file, {"-fwk"});
    EXPECT_EQ(r.run.exit_code, 1);
    EXPECT_EQ(r.run.err, "\nError : File has an invalid Interval for weekly format\n");
    EXPECT_EQ(r.text, "");
}

// The cordon report goes to the console; its header is checked on its own, the data lines here.
TEST(CordonReport, CountOnlyAndBinnedFileWithPeaks) {
    // Two channels at 15 minutes: channel 1 counts i, channel 2 10 i.
    std::vector<std::vector<int>> counts;
    for (int i = 1; i <= 8; ++i)
        counts.push_back({i, 10 * i});
    // Hourly counts with a 15-minute peak from 07:00 to 09:00, speed in two
    // bins: the peak quarters add up to the hour they end in.
    const std::vector<std::vector<int>> binned = {
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
        {interval_file(
             "type m\ncard_type 1 1 1 1 1 1 1 1\nstart 2013-03-07 10:00:00\nstop 2013-03-07 12:00:00\n"
             "interval 15\nno_chans 2\nspec_count 1\nblock_size 4\nnum_records 8\n",
             counts),
         "\"Channel 2    \",\"                                        \"\r\n"
         "0001,0010,0002,0020,0003,0030,0004,0040,0005,0050,0006,0060,\r\n0007,0070,0008,0080,\r\nxxxx\r\n",
         13},
        {interval_file(
             "type m\ncard_type 1 1 1 1 1 1 1 1\nstart 2013-03-07 06:00:00\nstop 2013-03-07 10:00:00\n"
             "interval 60\npeak_interval 15\npeak_times 7 0 9 0\nno_chans 1\nspec_count 1\n"
             "operands 1 0 0\nspeed_bins.count 2\nblock_size 4\nnum_records 10\n",
             binned),
         "\"Channel 1    \",\"                                        \"\r\n0003,0010,0008,0010,\r\nxxxx\r\n",
         11},
    };
    for (const auto& c : cases) {
        const std::string dir = test::make_temp_dir();
        test::write_file(dir + "/CORD.DAT", c.file);
        const test::run_result run = test::run_tallycnv({"CORD.DAT", "-fcordon", "^"}, dir);
        std::filesystem::remove_all(dir);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_TRUE(run.out.ends_with(c.data)) << run.out;
        EXPECT_EQ(count_lines(run.out), c.lines) << run.out;
    }
}

} // namespace
} // namespace tallycnv
