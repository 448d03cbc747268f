#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "app/fatal.h"
#include "interval/block_printer.h"
#include "interval/interval_fixture.h"

namespace tallycnv {
namespace {

using test::interval_run;
using test::report_lines;
using test::split_lines;

// One channel of one speed bin, 15-minute intervals from 10:00.
constexpr const char* speed_file = R"(
    type m
    start 2013-03-07 10:00:00
    stop 2013-03-07 20:00:00
    interval 15
    no_chans 1
    operands 1 0 0
    speed_bins.count 1
    block_size 2
)";

std::string numbered_blocks(int first, int count) {
    std::string blocks;
    for (int i = first; i < first + count; ++i) {
        blocks += "ch1: " + std::to_string(i) + "\n";
    }
    return blocks;
}

TEST(IntervalLoop, ReadsTheBlocksTheRecordCountAndTheFileAllow) {
    struct count_case {
        const char* num_records;
        int blocks_in_file;
        std::size_t printed;
    };
    const count_case cases[] = {
        {"10", 10, 10},       {"3", 5, 3},
        {"0", 3, 0},          {"2147483653", 3, 3}, // counts of 2^31 and more are not negative
        {"4294967295", 2, 2},
    };
    for (const count_case& c : cases) {
        interval_run run(speed_file);
        run.header.describe(std::string("num_records ") + c.num_records);
        const std::vector<std::string> lines = split_lines(run.data(numbered_blocks(1, c.blocks_in_file)));
        ASSERT_EQ(lines.size(), c.printed + 1) << c.num_records;
        EXPECT_EQ(lines.back(), "* END " + std::to_string(c.printed + 1) + " FFFF");
        if (c.printed > 0) {
            EXPECT_EQ(lines[0], "070313 1015 1 00 00 0001");
        }
    }

    // A block cut short by the end of the file is not printed.
    interval_run cut(speed_file);
    cut.header.describe("num_records 5\nblock_size 4");
    test::bytes file = cut.file(numbered_blocks(1, 2));
    file.push_back(7);
    byte_stream input(file);
    k479_defn record{};
    read_header_block(input, record);
    report_sink out;
    interval_state st = publish_interval_state(record, cut.settings);
    format_interval_data(run_context{cut.settings, cut.lang, out}, input, record, st);
    EXPECT_EQ(split_lines(out.text()).size(), 3U);
}

TEST(IntervalLoop, WrappedMemoryStartsWithTheOldestSurvivingBlock) {
    // 25 blocks written, 15 lost: blocks 15..24 survive, the oldest at slot 5.
    interval_run run(speed_file);
    run.header.describe("wrapped 1\nnum_records 25\nrecords_lost 15");
    const test::bytes file = run.file(numbered_blocks(15, 10));
    const std::size_t data = file.size() - 20;
    EXPECT_EQ(file[data + 2 * 5], 15); // the builder's slot order
    EXPECT_EQ(file[data], 20);
    const std::vector<std::string> lines = split_lines(run.data(numbered_blocks(15, 10)));
    ASSERT_EQ(lines.size(), 11U);
    EXPECT_EQ(lines[0], "070313 1400 1 00 00 0015"); // 10:00 + 16 intervals
    EXPECT_EQ(lines[4], "070313 1500 1 00 00 0019");
    EXPECT_EQ(lines[5], "070313 1515 1 00 00 0020");
    EXPECT_EQ(lines[9], "070313 1615 1 00 00 0024");

    // No block survives (or the counts contradict each other): only the END record.
    for (const char* counts : {"num_records 5\nrecords_lost 5", "num_records 5\nrecords_lost 9"}) {
        interval_run empty(speed_file);
        empty.header.describe(std::string("wrapped 1\n") + counts);
        EXPECT_EQ(empty.data(""), report_lines({"* END 1 FFFF"})) << counts;
    }

    // A huge number of lost blocks moves the clock on without stepping through each.
    interval_run many(speed_file);
    many.header.describe("wrapped 1\ninterval 60\nnum_records 4294967295\nrecords_lost 4294967293");
    const auto started = std::chrono::steady_clock::now();
    const std::vector<std::string> survivors =
        split_lines(many.data("ch1: 1\nch1: 2\n")); // the older block lies at slot 1
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    ASSERT_EQ(survivors.size(), 3U);
    EXPECT_EQ(survivors[0].substr(12), "1 00 00 0001");
    EXPECT_EQ(survivors[1].substr(12), "1 00 00 0002");
}

TEST(IntervalLoop, PartialFirstAndLastIntervalsAreSkippedWithS) {
    struct skip_case {
        const char* description;
        bool skip;
        const char* first_label;
        std::size_t printed;
    };
    const skip_case cases[] = {
        {"start 2013-03-07 10:07:00", true, "1030", 3},
        {"start 2013-03-07 10:07:00", false, "1015", 4},
        {"start 2013-03-07 10:00:30", true, "1030", 3},
        {"start 2013-03-07 10:00:30\nstart_sync 1", true, "1015", 4},
        {"stop 2013-03-07 17:50:00", true, "1015", 3},
        {"stop 2013-03-07 17:45:00", true, "1015", 4},
        {"stop 2013-03-07 17:45:10", true, "1015", 3},
        {"stop 2013-03-07 17:45:10\nstop_sync 1", true, "1015", 4},
        // A peak period at the start: its interval is the grid.
        {"start 2013-03-07 07:10:00\npeak_interval 5\npeak_times 7 0 9 0", true, "0715", 4},
        {"start 2013-03-07 07:12:00\npeak_interval 5\npeak_times 7 0 9 0", true, "0720", 3},
        // The wrapped memory never drops its first block.
        {"start 2013-03-07 10:07:00\nwrapped 1\nnum_records 6\nrecords_lost 2", true, "1045", 4},
    };
    for (const skip_case& c : cases) {
        interval_run run(speed_file);
        run.settings.skip_partial = c.skip;
        run.header.describe("num_records 4");
        run.header.describe(c.description);
        const std::vector<std::string> lines = split_lines(run.data(numbered_blocks(1, 4)));
        const auto printed = std::count_if(lines.begin(), lines.end(), [](auto& l) { return l[0] != '*'; });
        EXPECT_EQ(static_cast<std::size_t>(printed), c.printed) << c.description;
        const std::size_t at = lines[0][0] == '*' ? 1 : 0;
        ASSERT_LT(at, lines.size());
        EXPECT_EQ(lines[at].substr(7, 4), c.first_label) << c.description;
    }
}

TEST(IntervalLoop, ImpossibleCountsPrintAsFaultyReadings) {
    interval_run run(speed_file);
    run.header.describe("speed_bins.count 6\nblock_size 12\nnum_records 1");
    EXPECT_EQ(run.data("ch1: 10000 -101 -100 9999 32767 -32768"),
              report_lines({"070313 1015 1 00 00 9999 9999 -100 9999 9999 9999", "* END 2 FFFF"}));
}

TEST(IntervalLoop, EndRecordOfEachFormat) {
    constexpr const char* counts = R"(
        type m
        start 2013-03-07 10:00:00
        interval 15
        no_chans 1
        block_size 2
        num_records 1
    )";
    struct end_case {
        int anl_format;
        int print_format;
        const char* report;
    };
    const end_case cases[] = {
        {0, 1, "070313 1015 1    5\r\n* END 2 FFFF\r\n"},
        {1, 1, "070313 1015 1    5\r\n* END 2 FFFF\r\n"},
        {3, 1, "07,03,13,10,15,1,5\r\n21,\"END\",2,\"FFFF\"\r\n"},
        {1, 3, "070313 1015 1    5\r\n21,\"END\",2,\"FFFF\"\r\n"}, // a VBV-3 choice before -fI1
        {1, 4, "070313 1015 1    5\r\n\r\nxxxx\r\n"},
        {4, 1, "0005,\r\nxxxx\r\n"},
    };
    for (const end_case& c : cases) {
        interval_run run(counts);
        run.settings.anl_format = static_cast<std::int8_t>(c.anl_format);
        run.settings.print_format = c.print_format;
        EXPECT_EQ(run.data("ch1: 5"), c.report) << c.anl_format << " " << c.print_format;
    }

    // Without an interval length the blocks have no time: nothing but the END record.
    interval_run zero(counts);
    zero.header.describe("interval 0\nnum_records 3");
    EXPECT_EQ(zero.data("3* ch1: 5"), report_lines({"* END 1 FFFF"}));
}

TEST(IntervalDriver, BlocksThatCannotHoldTheLayoutAreCorrupt) {
    struct layout_case {
        const char* description;
        bool holds;
    };
    const layout_case cases[] = {
        {"no_chans 3\nblock_size 6", true},
        {"no_chans 3\nblock_size 5", false},
        {"no_chans 0\nblock_size 6", false},
        {"no_chans 1\nblock_size 1", false},
        {"no_chans 2\noperands 1 4 0\noperators 1 0\nspeed_bins.count 12\nlength_bins.count 5\nblock_size "
         "240",
         true},
        {"no_chans 2\noperands 1 4 0\noperators 1 0\nspeed_bins.count 12\nlength_bins.count 5\nblock_size "
         "238",
         false},
        {"no_chans 1\noperators 7 0\nblock_size 2", true}, // an unknown layout prints nothing
        {"no_chans 1\noperators 7 0\nblock_size 0", false},
        {"no_chans 65535\noperands 12 12 12\noperators 1 1\nspeed_bins.count 65535\nblock_size 65535", false},
    };
    for (const layout_case& c : cases) {
        test::header_builder builder;
        builder.describe(std::string("type m\nspec_count 0\n") + c.description);
        byte_stream input(builder.build());
        k479_defn record{};
        read_header_block(input, record);
        EXPECT_EQ(block_holds_layout(publish_interval_state(record, run_settings{}), record), c.holds)
            << c.description;
    }

    const auto fails_with = [](std::string_view description, int anl_format) -> fatal_error {
        interval_run run(description);
        run.settings.anl_format = static_cast<std::int8_t>(anl_format);
        byte_stream input(run.file(""));
        k479_defn record{};
        read_header_block(input, record);
        report_sink out;
        try {
            output_interval_file(run_context{run.settings, run.lang, out}, input, record);
        } catch (const fatal_error& e) {
            EXPECT_EQ(out.text(), ""); // refused before anything is written
            return e;
        }
        return {0, "no error"};
    };
    const fatal_error corrupt = fails_with("type m\nno_chans 4\nblock_size 6\ninterval 15", 0);
    EXPECT_EQ(corrupt.exit_code, 2);
    EXPECT_EQ(corrupt.message, "\nError : Invalid or corrupt input file\n");
    const fatal_error vbv = fails_with("type m\nno_chans 1\nblock_size 2\ninterval 15", 6);
    EXPECT_EQ(vbv.exit_code, 1);
    EXPECT_EQ(vbv.message, "\nError : Can't display an interval file in a VBV format\n");
}

std::size_t count_of(const std::string& text, std::string_view what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// Hourly counts of one channel from Thursday 7 March 2013, 00:00.
constexpr const char* hourly_counts = R"(
    type m
    start 2013-03-07 00:00:00
    stop 2013-03-17 00:00:00
    interval 60
    no_chans 1
    block_size 2
    num_records 240
)";

TEST(IntervalWeekly, OneTableAtEachWeekChangeAndOneForTheLastWeek) {
    struct week_case {
        int start_day_weekly;
        const char* more;
        const char* blocks;
        std::vector<std::string> titles;
    };
    const week_case cases[] = {
        // Ten days: a full week from the first weekday, then the partial one.
        {-1, "", "240* ch1: 1", {" 7/ 3/13", "14/ 3/13"}},
        // Weeks from Monday (-D1): the first table begins before the recording.
        {0, "", "240* ch1: 1", {" 4/ 3/13", "11/ 3/13"}},
        // The record count runs out, the last interval is dropped, or nothing is recorded.
        {-1, "num_records 5", "10* ch1: 1", {" 7/ 3/13"}},
        {-1, "stop 2013-03-17 00:30:00", "240* ch1: 1", {" 7/ 3/13", "14/ 3/13"}},
        {-1, "num_records 0", "", {" 7/ 3/13"}},
        // A wrapped memory: the week begins with the oldest surviving block
        // (96 hours lost: the clock stands on Thursday 24:00 when reading
        // begins, so the data and the week begin on Friday).
        {-1,
         "start 2013-03-04 00:00:00\nwrapped 1\nnum_records 100\nrecords_lost 96",
         "4* ch1: 1",
         {" 8/ 3/13"}},
    };
    for (const week_case& c : cases) {
        interval_run run(hourly_counts);
        run.settings.anl_format = 8;
        run.settings.skip_partial = true;
        run.settings.start_day_weekly = c.start_day_weekly;
        run.header.describe(c.more);
        const std::string report = run.data(c.blocks);
        ASSERT_EQ(count_of(report, "* WEEK BEGINNING "), c.titles.size()) << c.more;
        std::size_t at = 0;
        for (const std::string& title : c.titles) {
            at = report.find("* WEEK BEGINNING " + title + "\r\n", at);
            EXPECT_NE(at, std::string::npos) << title << " " << c.more;
        }
        EXPECT_TRUE(report.ends_with("\r\n* END " + std::to_string(38 * c.titles.size() + 1) + " FFFF\r\n"))
            << c.more;
    }
}

TEST(IntervalWeekly, BinnedChannelTotalsFillTheHourOfTheirLabel) {
    interval_run run(hourly_counts);
    run.settings.anl_format = 8;
    run.header.describe("operands 1 0 0\nspeed_bins.count 2\nblock_size 4\nnum_records 3\n"
                        "start 2013-03-07 23:00:00");
    // Thursday 24:00 is hour 24 of Thursday; Friday 01:00 and 02:00 hours 1 and 2 of Friday.
    const std::string report = run.data("ch1: 3 4\nch1: 5 5\nch1: 1 2\n");
    EXPECT_NE(report.find("\r\n    1          N/R         10"), std::string::npos) << report;
    EXPECT_NE(report.find("\r\n    2          N/R          3"), std::string::npos);
    EXPECT_NE(report.find("\r\n   24            7        N/R"), std::string::npos);
}

interval_clock clock_from(unsigned minutes, int day, int month, int year, unsigned interval) {
    interval_clock c;
    c.retmins = minutes;
    c.retdate.rec_start_day = static_cast<std::uint8_t>(day);
    c.retdate.rec_start_month = static_cast<std::uint8_t>(month);
    c.retdate.rec_start_year = static_cast<std::uint16_t>(year);
    c.recintvl = interval;
    return c;
}

TEST(IntervalDriver, LostBlocksMoveTheClockAsSingleStepsWould) {
    std::vector<interval_clock> clocks = {
        clock_from(600, 7, 3, 2013, 15),     clock_from(607, 28, 2, 2012, 7),
        clock_from(0, 31, 12, 2099, 1440),   clock_from(100, 1, 1, 2013, 2000),
        clock_from(12000, 40, 13, 2013, 60), clock_from(1440, 29, 2, 2016, 45),
    };
    interval_clock peaks = clock_from(300, 30, 1, 2013, 60);
    peaks.retr_peak.peak_interval = 15;
    peaks.retr_peak.peak_times[0] = {7, 0};
    peaks.retr_peak.peak_times[1] = {9, 0};
    peaks.retr_peak.peak_times[2] = {16, 10};
    peaks.retr_peak.peak_times[3] = {18, 5};
    clocks.push_back(peaks);
    for (const interval_clock& start : clocks) {
        for (std::uint64_t count : {0U, 1U, 5U, 97U, 1000U, 40000U}) {
            interval_clock stepped = start;
            for (std::uint64_t i = 0; i < count; ++i) {
                advance_interval(stepped);
            }
            interval_clock fast = start;
            advance_intervals(fast, count);
            EXPECT_EQ(fast.retmins, stepped.retmins) << start.retmins << " " << count;
            EXPECT_EQ(fast.retdate.rec_start_day, stepped.retdate.rec_start_day)
                << start.retmins << " " << count;
            EXPECT_EQ(fast.retdate.rec_start_month, stepped.retdate.rec_start_month) << count;
            EXPECT_EQ(fast.retdate.rec_start_year, stepped.retdate.rec_start_year) << count;
        }
    }

    // 1000 leap cycles of hourly intervals: the same date and time 4000 years on.
    interval_clock hourly = clock_from(600, 7, 3, 2013, 60);
    advance_intervals(hourly, 24ULL * 1461 * 1000);
    EXPECT_EQ(hourly.retmins, 600U);
    EXPECT_EQ(hourly.retdate.rec_start_day, 7);
    EXPECT_EQ(hourly.retdate.rec_start_month, 3);
    EXPECT_EQ(hourly.retdate.rec_start_year, 6013);

    interval_clock stuck = clock_from(600, 7, 3, 2013, 0);
    advance_intervals(stuck, 4294967295ULL);
    EXPECT_EQ(stuck.retmins, 600U);
}

} // namespace
} // namespace tallycnv
