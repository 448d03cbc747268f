#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <tuple>
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
constexpr const char* speed_file =
    "type m\nstart 2013-03-07 10:00:00\nstop 2013-03-07 20:00:00\ninterval 15\n"
    "no_chans 1\noperands 1 0 0\nspeed_bins.count 1\nblock_size 2";

std::string numbered_blocks(int first, int count) {
    std::string blocks;
    for (int i = first; i < first + count; ++i) {
        blocks += "ch1: " + std::to_string(i) + "\n";
    }
    return blocks;
}

TEST(IntervalLoop, ReadsTheBlocksTheRecordCountAndTheFileAllow) {
    struct count_case {
        const char* description;
        int blocks_in_file;
        std::size_t printed;
    };
    const count_case cases[] = {
        {"num_records 3", 5, 3},
        {"num_records 2147483653", 3, 3},      // counts of 2^31 and more are not negative
        {"num_records 5\nblock_size 4", 2, 2}, // a block cut short by the end of the file is not printed
        // No block survives a wrapped memory (or the counts contradict each other).
        {"wrapped 1\nnum_records 5\nrecords_lost 5", 0, 0},
        {"wrapped 1\nnum_records 5\nrecords_lost 9", 0, 0},
        {"interval 0\nnum_records 3", 3, 0}, // without an interval length the blocks have no time
    };
    for (const count_case& c : cases) {
        interval_run run(speed_file);
        run.header.describe(c.description);
        test::bytes file = run.file(numbered_blocks(1, c.blocks_in_file));
        file.push_back(7);
        byte_stream input(file);
        k479_defn record{};
        read_header_block(input, record);
        report_sink out;
        interval_state st = publish_interval_state(record, run.settings);
        format_interval_data(run_context{run.settings, run.lang, out}, input, record, st);
        const std::vector<std::string> lines = split_lines(out.text());
        ASSERT_EQ(lines.size(), c.printed + 1) << c.description;
        EXPECT_EQ(lines.back(), "* END " + std::to_string(c.printed + 1) + " FFFF") << c.description;
    }
}

TEST(IntervalLoop, HugeLossesMoveTheClockWithoutSteppingThroughEachBlock) {
    interval_run many(speed_file);
    many.header.describe("wrapped 1\ninterval 60\nnum_records 4294967295\nrecords_lost 4294967293");
    const auto started = std::chrono::steady_clock::now();
    const std::vector<std::string> survivors =
        split_lines(many.data("ch1: 1\nch1: 2\n")); // the older at slot 1
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
        {"start 2013-03-07 10:00:30\nstart_sync 1", true, "1015", 4},
        {"stop 2013-03-07 17:50:00", true, "1015", 3},
        {"stop 2013-03-07 17:45:00", true, "1015", 4},
        {"stop 2013-03-07 17:45:10\nstop_sync 1", true, "1015", 4},
        // A peak period at the start: its interval is the grid.
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

TEST(IntervalDriver, BlocksThatCannotHoldTheLayoutAreCorrupt) {
    struct layout_case {
        const char* description;
        bool holds;
    };
    const layout_case cases[] = {
        {"no_chans 3\nblock_size 6", true},
        {"no_chans 3\nblock_size 5", false},
        {"no_chans 0\nblock_size 6", false},
        {"no_chans 2\noperands 1 4 0\noperators 1 0\nspeed_bins.count 12\nlength_bins.count 5\nblock_size "
         "240",
         true},
        {"no_chans 2\noperands 1 4 0\noperators 1 0\nspeed_bins.count 12\nlength_bins.count 5\nblock_size "
         "238",
         false},
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

TEST(IntervalDriver, LostBlocksMoveTheClockAsSingleStepsWould) {
    const auto clock_from = [](unsigned minutes, int day, int month, int year, unsigned interval) {
        interval_clock c;
        c.retmins = minutes;
        c.retdate.rec_start_day = static_cast<std::uint8_t>(day);
        c.retdate.rec_start_month = static_cast<std::uint8_t>(month);
        c.retdate.rec_start_year = static_cast<std::uint16_t>(year);
        c.recintvl = interval;
        return c;
    };
    const interval_clock leap = clock_from(607, 28, 2, 2012, 7);
    interval_clock peaks = clock_from(300, 30, 1, 2013, 60); // hourly with two 15-minute peaks
    peaks.retr_peak.peak_interval = 15;
    peaks.retr_peak.peak_times[0] = {7, 0};
    peaks.retr_peak.peak_times[1] = {9, 0};
    peaks.retr_peak.peak_times[2] = {16, 10};
    peaks.retr_peak.peak_times[3] = {18, 5};
    for (const interval_clock& start : {leap, peaks}) {
        for (std::uint64_t count : {1U, 97U, 40000U}) {
            interval_clock stepped = start;
            for (std::uint64_t i = 0; i < count; ++i) {
                advance_interval(stepped);
            }
            interval_clock fast = start;
            advance_intervals(fast, count);
            const auto as_tuple = [](const interval_clock& c) {
                return std::tuple{c.retmins, +c.retdate.rec_start_day, +c.retdate.rec_start_month,
                                  +c.retdate.rec_start_year};
            };
            EXPECT_EQ(as_tuple(fast), as_tuple(stepped)) << start.retmins << " " << count;
        }
    }

    interval_clock stuck = clock_from(600, 7, 3, 2013, 0); // no interval: the clock stands still, at once
    advance_intervals(stuck, 4294967295ULL);
    EXPECT_EQ(stuck.retmins, 600U);
}

} // namespace
} // namespace tallycnv
