#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
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
                                      "     851    4.11     901    4.11"))
        << partial;
    EXPECT_TRUE(has_line(partial, " 1-24        19500      21900      24300" + none + none + none + none +
                                      "   20700           21900  "))
        << partial;
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
                                      "    2064            2064  "))
        << partial;
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
    const report r = run_on(wrapped_sunday_and_monday(), {"-fwk", "-D1"});
    ASSERT_EQ(r.run.exit_code, 0) << r.run.err;
    const auto tables = weekly_tables(r.text);
    ASSERT_EQ(tables.size(), 2U);

    // Sunday alone in the week of Monday 4 March: its day is 72 + ... + 95 = 2004.
    EXPECT_EQ(tables[0].substr(0, 31), "\r\n* WEEK BEGINNING  4/ 3/13\r\n\r\n");
    EXPECT_TRUE(has_line(tables[0], "    1  " + nr + nr + nr + nr + nr + nr + "         72" + no_mean +
                                        "      72    3.59"))
        << tables[0];
    EXPECT_TRUE(has_line(tables[0], " 1-24  " + none + none + none + none + none + none + "       2004" +
                                        no_mean + "    2004  "))
        << tables[0];
    // Monday alone in the next week: 96 + ... + 119 = 2580.
    EXPECT_EQ(tables[1].substr(0, 31), "\r\n* WEEK BEGINNING 11/ 3/13\r\n\r\n");
    EXPECT_TRUE(has_line(tables[1], "    1           96" + nr + nr + nr + nr + nr + nr + "      96    3.72" +
                                        "      96    3.72"))
        << tables[1];
    expect_end_record(r.text);
}

TEST(WeeklyReport, WrappedMemoryWeeksBeginOnTheFirstSurvivingDay) {
    // Without -D: the clock skips the 72 lost hours to 24:00 of Saturday 9
    // March, and the surviving data begin on Sunday 10 March, so the weeks
    // begin on Sundays.
    const report r = run_on(wrapped_sunday_and_monday(), {"-fwk"});
    ASSERT_EQ(r.run.exit_code, 0) << r.run.err;
    const auto tables = weekly_tables(r.text);
    ASSERT_EQ(tables.size(), 1U);
    EXPECT_EQ(tables[0].substr(0, 31), "\r\n* WEEK BEGINNING 10/ 3/13\r\n\r\n");
    EXPECT_NE(tables[0].find("* ENDS      SUNDAY     MONDAY    TUESDAY"), std::string::npos) << tables[0];
    EXPECT_TRUE(has_line(tables[0], "    1           72         96" + nr + nr + nr + nr + nr +
                                        "      96    3.72      84    3.66"))
        << tables[0];
    expect_end_record(r.text);
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

// The cordon header's first line carries today's date: masked for comparison.
std::string mask_today(const std::string& text) {
    static const std::regex today(R"(^("v3\.5\.47","[^"]{8}",")\d\d/\d\d/\d\d")");
    return std::regex_replace(text, today, "$1DD/MM/YY\"", std::regex_constants::format_first_only);
}

std::string cordon_trailer(int channels) {
    std::string lines = "\"" + std::string(64, ' ') + "\"\r\n\"" + std::string(64, ' ') + "\"\r\n\"FF\"\r\n";
    lines += "\"" + std::string(14, ' ') + "HIGH ST N\",\"" + std::string(30, ' ') + "\"\r\n";
    lines += "\"" + std::string(17, ' ') + "CORDON\",\" Generated by     TALLYCNV \"\r\n";
    for (int c = 1; c <= channels; ++c) {
        lines += "\"Channel " + std::to_string(c) + "    \",\"" + std::string(40, ' ') + "\"\r\n";
    }
    return lines;
}

report run_cordon(const bytes& file) {
    const std::string dir = test::make_temp_dir();
    test::write_file(dir + "/CORD.DAT", file);
    report r;
    r.run = test::run_tallycnv({"CORD.DAT", "-fcordon", "^"}, dir);
    r.text = mask_today(r.run.out);
    std::filesystem::remove_all(dir);
    return r;
}

TEST(CordonReport, CountOnlyFile) {
    // Two channels at 15 minutes: channel 1 counts i, channel 2 10 i.
    std::vector<std::vector<int>> blocks;
    for (int i = 1; i <= 8; ++i)
        blocks.push_back({i, 10 * i});
    const bytes file =
        interval_file("type m\ncard_type 1 1 1 1 1 1 1 1\nfile_name C0307\nsite CORDON\nlocation HIGH ST N\n"
                      "start 2013-03-07 10:00:00\nstop 2013-03-07 12:00:00\ndate_format 1\n"
                      "interval 15\nno_chans 2\nchannel_assignment 1 2\nspec_count 1\n"
                      "block_size 4\nnum_records 8\n",
                      blocks);
    const report r = run_cordon(file);
    ASSERT_EQ(r.run.exit_code, 0) << r.run.err;
    const std::string expected =
        "\"v3.5.47\",\"   T0307\",\"DD/MM/YY\",\"  CORDON\",\"07/03/13\",\"10:00\"\r\n"
        "\"QX \",\"07/03/13\",\"12:00\",\" 1\",\"00:15\"\r\n"
        "\"02\",\"10\",\"02\",\"......\",\"......\"\r\n" +
        cordon_trailer(2) +
        "0001,0010,0002,0020,0003,0030,0004,0040,0005,0050,0006,0060,\r\n"
        "0007,0070,0008,0080,\r\n"
        "xxxx\r\n";
    EXPECT_EQ(r.text, expected);
}

TEST(CordonReport, BinnedFileWithPeakPeriod) {
    // Hourly counts with a 15-minute peak from 07:00 to 09:00, speed in two
    // bins: the peak quarters add up to the hour they end in.
    const std::vector<std::vector<int>> blocks = {
        {1, 2},                         // 07:00
        {1, 0}, {2, 0}, {3, 0}, {4, 0}, // 07:15 .. 08:00 -> 10
        {1, 1}, {1, 1}, {1, 1}, {1, 1}, // 08:15 .. 09:00 -> 8
        {5, 5},                         // 10:00
    };
    const bytes file = interval_file(
        "type m\ncard_type 1 1 1 1 1 1 1 1\nfile_name PEAKFILE\nsite CORDON\nlocation HIGH ST N\n"
        "start 2013-03-07 06:00:00\nstop 2013-03-07 10:00:00\n"
        "interval 60\npeak_interval 15\npeak_times 7 0 9 0\nno_chans 1\n"
        "channel_assignment 1\nspec_count 1\noperands 1 0 0\n"
        "speed_bins.threshold 50 70\nspeed_bins.count 2\nblock_size 4\n"
        "num_records 10\n",
        blocks);
    const report r = run_cordon(file);
    ASSERT_EQ(r.run.exit_code, 0) << r.run.err;
    const std::string expected =
        "\"v3.5.47\",\"PEATFILE\",\"DD/MM/YY\",\"  CORDON\",\"07/03/13\",\"06:00\"\r\n"
        "\"QX \",\"07/03/13\",\"10:00\",\" 1\",\"00:60\"\r\n"
        "\"01\",\"10\",\"01\",\"......\",\"......\"\r\n" +
        cordon_trailer(1) + "0003,0010,0008,0010,\r\nxxxx\r\n";
    EXPECT_EQ(r.text, expected);
}

} // namespace
} // namespace tallycnv
