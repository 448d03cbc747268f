// The interval data loop and its line printers: the clock, every layout of
// the blocks, wrapped memories, skipped partial intervals and corrupt layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/fatal.h"
#include "interval/block_printer.h"
#include "interval/interval_fixture.h"

namespace tallycnv {
namespace {

using test::interval_run;
using test::split_lines;

// Blocks "ch1: 1", "ch1: 2", ... of a one-value channel.
std::string counting_blocks(int count) {
    std::string blocks;
    for (int i = 1; i <= count; ++i) {
        blocks += "ch1: " + std::to_string(i) + "\n";
    }
    return blocks;
}

// One channel of one speed bin, 15-minute intervals from 10:00.
constexpr const char* speed_file =
    "type m\nstart 2013-03-07 10:00:00\nstop 2013-03-07 20:00:00\ninterval 15\n"
    "no_chans 1\noperands 1 0 0\nspeed_bins.count 1\nblock_size 2";

// One channel of one speed bin: every block prints one INT-2 line.
constexpr const char* one_speed_bin =
    "type m\nno_chans 1\noperands 1 0 0\nspeed_bins.count 1\nblock_size 2\nnum_records 1000";

TEST(IntervalClock, LabelsAcrossMidnightMonthYearEndsAndPeaks) {
    struct clock_case {
        const char* description;
        std::vector<std::string> labels; // date and time of each line, or an announcement
    };
    const clock_case cases[] = {
        {"start 2012-02-28 23:30:00\ninterval 15", {"280212 2345", "280212 2400", "290212 0015"}},
        {"start 2013-02-28 23:00:00\ninterval 60", {"280213 2400", "010313 0100"}},
        {"start 2013-12-31 23:00:00\ninterval 60", {"311213 2400", "010114 0100"}},
        {"start 2100-02-28 23:30:00\ninterval 30",
         {"280200 2400", "290200 0030"}}, // the instrument's leap years
        {"start 2013-03-07 10:07:00\ninterval 15",
         {"070313 1015", "070313 1030"}}, // off the grid: rounded down
        {"start 2013-03-07 05:00:00\ninterval 60\npeak_interval 15\npeak_times 7 0 9 0",
         {"070313 0600", "070313 0700", "* PEAKINT = 15", "070313 0715", "070313 0730", "070313 0745",
          "070313 0800", "070313 0815", "070313 0830", "070313 0845", "070313 0900", "* INTERVAL = 60",
          "070313 1000"}},
        // Starting inside a peak period announces it first; a period ending at
        // midnight keeps its last interval (24:00) and the next day returns to normal.
        {"start 2013-03-07 22:40:00\ninterval 60\npeak_interval 30\npeak_times 22 0 24 0",
         {"* PEAKINT = 30", "070313 2300", "070313 2330", "070313 2400", "* INTERVAL = 60", "080313 0100"}},
    };
    for (const clock_case& c : cases) {
        interval_run run(one_speed_bin);
        run.header.describe(c.description);
        int blocks = 0;
        for (const std::string& label : c.labels) {
            blocks += label[0] != '*';
        }
        const std::vector<std::string> lines = split_lines(run.data(counting_blocks(blocks)));
        ASSERT_EQ(lines.size(), c.labels.size() + 1) << c.description;
        for (std::size_t i = 0, value = 1; i < c.labels.size(); ++i) {
            if (c.labels[i][0] == '*') {
                EXPECT_EQ(lines[i], c.labels[i]) << c.description;
            } else {
                const std::string count = std::to_string(value++);
                EXPECT_EQ(lines[i], c.labels[i] + " 1 00 00 " + std::string(4 - count.size(), '0') + count)
                    << c.description;
            }
        }
        // The announcements are report lines too.
        EXPECT_EQ(lines.back(), "* END " + std::to_string(lines.size()) + " FFFF");
    }
}

// Two channels of one block, values 1.. in channel 1 and 21.. in channel 2.
std::string two_channels(unsigned size) {
    std::ostringstream blocks;
    blocks << "ch1:";
    for (unsigned i = 1; i <= size; ++i) {
        blocks << ' ' << i;
    }
    blocks << " ch2:";
    for (unsigned i = 1; i <= size; ++i) {
        blocks << ' ' << 20 + i;
    }
    return blocks.str();
}

TEST(BinnedLines, EveryOperatorCombination) {
    // Speed (2 bins), length (3 bins), class (2 classes).
    constexpr const char* lists =
        "type m\nsite NORTHBRIDGE\nstart 2013-03-07 10:00:00\ninterval 15\nno_chans 2\n"
        "spec_count 0\noperands 1 4 7\nspeed_bins.count 2\nlength_bins.count 3\n"
        "num_classes 2\nnum_records 1";
    struct combination {
        const char* description;
        unsigned size;
        std::vector<std::string> channel2; // after the date, time and channel
    };
    const combination cases[] = {
        {"operators 0 0", 7, {"00 01 0021 0022", "00 02 0023 0024 0025", "00 03 0026 0027"}},
        {"operators 1 0", 8, {"01 01 0021 0022", "01 02 0023 0024", "01 03 0025 0026", "02 00 0027 0028"}},
        {"operators 0 1", 8, {"01 00 0021 0022", "02 01 0023 0024 0025", "02 02 0026 0027 0028"}},
        {"operators 1 1",
         12,
         {"01 01 0021 0022", "01 02 0023 0024", "01 03 0025 0026", "02 01 0027 0028", "02 02 0029 0030",
          "02 03 0031 0032"}},
        // A list count other than 3 (here a faulty 4) never brings in list 2:
        // the channels are laid out and printed with two lists, as the header shows them.
        {"spec_count 4\noperators 0 0", 5, {"00 01 0021 0022", "00 02 0023 0024 0025"}},
        {"spec_count 4\noperators 1 0", 6, {"00 01 0021 0022", "00 02 0023 0024", "00 03 0025 0026"}},
    };
    for (const combination& c : cases) {
        interval_run run(lists);
        run.settings.taxo = true; // the site column
        run.header.describe(std::string(c.description) + "\nblock_size " + std::to_string(4 * c.size));
        run.channel_size = c.size;
        const std::vector<std::string> lines = split_lines(run.data(two_channels(c.size)));
        ASSERT_EQ(lines.size(), 2 * c.channel2.size() + 1) << c.description;
        for (std::size_t i = 0; i < c.channel2.size(); ++i) {
            EXPECT_EQ(lines[c.channel2.size() + i], "NORTHBRI  070313 1015 2 " + c.channel2[i])
                << c.description;
        }
        EXPECT_EQ(lines[0].substr(0, 34), "NORTHBRI  070313 1015 1 " + c.channel2[0].substr(0, 6) + "0001");
    }

    // Without the site column the line starts with the date, in the file's date form.
    interval_run plain(lists);
    plain.header.describe("operators 0 0\nblock_size 28\ndate_format 1\nspec_count 1");
    plain.channel_size = 7;
    EXPECT_EQ(split_lines(plain.data(two_channels(7)))[0], "030713 1015 1 00 00 0001 0002");
}

// Reports of one-block files under different settings: the whole report, or its first lines.
TEST(IntervalData, ReportsUnderEachSetting) {
    struct data_case {
        std::string description; // on top of one channel, 15-minute intervals from 10:00 and one block
        std::string blocks;
        std::string report;
        run_settings settings;
        std::size_t lines = 0; // report lines, when the report above is only their beginning
        unsigned channel_size = 0;
    };
    std::string fourteen = "ch1:", rows = "ch1:";
    for (int i = 1; i <= 14; ++i) {
        fourteen += " " + std::to_string(i);
        rows += " " + std::to_string(10 * i - 9) + " " + std::to_string(10 * i - 8);
    }
    const std::string thirteen = " 0002 0003 0004 0005 0006 0007 0008 0009 0010 0011 0012 0013";
    run_settings merged, cordon, fi1_vbv3, fi1_vbv4, int3, halved, by_205;
    merged.merge_cars = true;
    cordon.anl_format = 4;
    fi1_vbv3.anl_format = fi1_vbv4.anl_format = 1;
    fi1_vbv3.print_format = 3; // a VBV-3 choice before -fI1
    fi1_vbv4.print_format = 4;
    int3.anl_format = 3;
    halved.k479.axle_factor = 2.0F;
    by_205.k479.axle_factor = 2.05F;
    const std::string speeds = "operands 1 0 0\nspeed_bins.count 4\nblock_size 8\n";
    constexpr const char* classes = "operands 7 0 0\nblock_size 28\nclass_scheme 25\nnum_classes 14";
    const data_case cases[] = {
        // Merged car classes: the first class gains twice the fourteenth, which is not printed.
        {classes, fourteen, "070313 1015 1 00 00 0029" + thirteen + "\r\n", merged},
        {classes, fourteen, "070313 1015 1 00 00 0001" + thirteen + " 0014\r\n", {}},
        {"operands 7 0 0\nblock_size 28\nclass_scheme 24\nnum_classes 14", fourteen,
         "070313 1015 1 00 00 0001" + thirteen + " 0014\r\n", merged},
        {"operands 7 0 0\nblock_size 28\nclass_scheme 25\nnum_classes 13", fourteen, // nothing to merge
         "070313 1015 1 00 00 0001" + thirteen + "\r\n", merged},
        {"class_scheme 25\nnum_classes 14\noperands 1 7 0\noperators 1 0\nspeed_bins.count 2\nblock_size 56",
         rows, "070313 1015 1 00 01 0263 0266\r\n070313 1015 1 00 02 0011 0012\r\n", merged, 14},
        // Counts outside -100..9999 print as faulty readings.
        {"operands 1 0 0\nspeed_bins.count 6\nblock_size 12",
         "ch1: 10000 -101 -100 9999 32767 -32768",
         "070313 1015 1 00 00 9999 9999 -100 9999 9999 9999\r\n* END 2 FFFF\r\n",
         {}},
        // Axle counts are divided by the axle factor, unless a loop input counts vehicles.
        {speeds + "card_type 8 0 0 0 0 0 0 0", "ch1: 7 -7 9999 1",
         "070313 1015 1 00 00 0003 -003 4999 0000\r\n", halved},
        {speeds + "card_type 8 9 0 0 0 0 0 0", "ch1: 7 -7 9999 1",
         "070313 1015 1 00 00 0002 -002 3333 0000\r\n", by_205},
        {speeds + "card_type 8 9 0 6 0 0 0 0", "ch1: 7 -7 9999 1",
         "070313 1015 1 00 00 0007 -007 9999 0001\r\n", halved},
        {speeds + "card_type 8 8 6 0 0 0 0 0\nmodel 318", "ch1: 7 -7 9999 1", // only two inputs examined
         "070313 1015 1 00 00 0003 -003 4999 0000\r\n", halved},
        // Gas readings are measurements; the count list after them is divided.
        {"no_chans 2\ncard_type 8\noperands 10 0 0\nblock_size 16", "ch1: 50 60 70 | 9 ch2: 51 61 71 | 11",
         "070313 1015 1 00 01 0050 0060 0070\r\n070313 1015 1 00 02 0004\r\n070313 1015 2 00 01 0051 0061 "
         "0071"
         "\r\n070313 1015 2 00 02 0005\r\n* END 5 FFFF\r\n",
         halved, 0, 4},
        // Count rows: a peak change closes the pending rows.
        {"start 2013-03-07 05:00:00\ninterval 60\npeak_interval 15\npeak_times 7 0 9 0\nnum_records 4",
         counting_blocks(4),
         "070313 0600 1    1    2\r\n* PEAKINT = 15\r\n070313 0715 1    3    4\r\n* END 4 FFFF\r\n",
         {}},
        // Cordon: peak sub-intervals add up to one value per normal interval (0700, 0800 .. 1200).
        {"no_chans 2\nblock_size 4\nstart 2013-03-07 06:00:00\ninterval 60\npeak_interval 15\n"
         "peak_times 7 0 9 0\nnum_records 12",
         "ch1: 1 ch2: 10\n8* ch1: 1 ch2: 10\n3* ch1: 2 ch2: 20\n",
         "0001,0010,0004,0040,0004,0040,0002,0020,0002,0020,0002,0020,\r\n\r\nxxxx\r\n", cordon, 0, 1},
        // The END record of each format.
        {"", "ch1: 5", "07,03,13,10,15,1,5\r\n21,\"END\",2,\"FFFF\"\r\n", int3},
        {"", "ch1: 5", "070313 1015 1    5\r\n21,\"END\",2,\"FFFF\"\r\n", fi1_vbv3},
        {"", "ch1: 5", "070313 1015 1    5\r\n\r\nxxxx\r\n", fi1_vbv4},
        {"", "ch1: 5", "0005,\r\nxxxx\r\n", cordon},
    };
    for (const data_case& c : cases) {
        interval_run run(
            "type m\nstart 2013-03-07 10:00:00\ninterval 15\nno_chans 1\nblock_size 2\nnum_records 1");
        run.settings = c.settings;
        run.header.describe(c.description);
        run.channel_size = c.channel_size;
        const std::string report = run.data(c.blocks);
        EXPECT_EQ(report.substr(0, c.report.size()), c.report) << c.description;
        if (c.lines > 0) {
            EXPECT_EQ(split_lines(report).size(), c.lines) << c.description;
        }
    }
}

TEST(Cordon, ChannelTotalsOfEveryLayout) {
    struct total_case {
        const char* description;
        std::vector<std::int16_t> channel2;
        long total;
    };
    const total_case cases[] = {
        // Separate lists: the largest list sum.
        {"operands 1 4 0\nspeed_bins.count 3\nlength_bins.count 2", {1, 2, 3, 4, 5}, 9},
        // The two summary values of a speed-summary list are not counts.
        {"operands 12 0 0\nspeed_bins.count 2", {1, 2, 100, 100}, 3},
        // Gas readings are not counts; the count list follows them.
        {"operands 10 0 0", {50, 60, 70, 5}, 5},
        // A table of lists 0 x 1, then list 2.
        {"operands 1 4 7\noperators 1 0\nspeed_bins.count 2\nlength_bins.count 2\nnum_classes 2",
         {1, 1, 1, 1, 3, 3},
         6},
        // The three-way table.
        {"operands 1 4 7\noperators 1 1\nspeed_bins.count 2\nlength_bins.count 1\nnum_classes 2",
         {1, 2, 3, 4},
         10},
    };
    for (const total_case& c : cases) {
        test::header_builder builder;
        builder.describe(std::string("type m\nspec_count 0\nno_chans 2\n") + c.description);
        byte_stream input(builder.build());
        k479_defn record{};
        read_header_block(input, record);
        interval_state st = publish_interval_state(record, run_settings{});
        st.curr_chan = 1;
        const std::uint64_t size = channel_size(st, record.binning);
        ASSERT_EQ(size, c.channel2.size()) << c.description;
        std::vector<std::int16_t> block(size, 7777); // channel 1 must not be read
        block.insert(block.end(), c.channel2.begin(), c.channel2.end());
        EXPECT_EQ(count_intspec(st, block, record.binning), c.total) << c.description;
    }
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
        test::bytes file = run.file(counting_blocks(c.blocks_in_file));
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
        const std::vector<std::string> lines = split_lines(run.data(counting_blocks(4)));
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
        {"no_chans 2\noperands 1 4 0\noperators 1 0\nspeed_bins.count 12\nlength_bins.count 5\nblock_size "
         "240",
         true},
        {"no_chans 2\noperands 1 4 0\noperators 1 0\nspeed_bins.count 12\nlength_bins.count 5\nblock_size "
         "238",
         false},
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
