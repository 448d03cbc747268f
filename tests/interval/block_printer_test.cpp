#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "interval/block_printer.h"
#include "interval/interval_fixture.h"

namespace tallycnv {
namespace {

using test::interval_run;
using test::report_lines;
using test::split_lines;

// Blocks "ch1: 1", "ch1: 2", ... of a one-value channel.
std::string counting_blocks(int count) {
    std::string blocks;
    for (int i = 1; i <= count; ++i) {
        blocks += "ch1: " + std::to_string(i) + "\n";
    }
    return blocks;
}

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

TEST(BinnedLines, MergedCarClassesAndImpossibleCounts) {
    std::string fourteen = "ch1:";
    for (int i = 1; i <= 14; ++i) {
        fourteen += " " + std::to_string(i);
    }
    const std::string thirteen = " 0002 0003 0004 0005 0006 0007 0008 0009 0010 0011 0012 0013";
    struct merge_case {
        bool merge_cars;
        const char* classes;
        std::string line;
    };
    const merge_case cases[] = {
        {true, "class_scheme 25\nnum_classes 14", "070313 1015 1 00 00 0029" + thirteen},
        {false, "class_scheme 25\nnum_classes 14", "070313 1015 1 00 00 0001" + thirteen + " 0014"},
        {true, "class_scheme 24\nnum_classes 14", "070313 1015 1 00 00 0001" + thirteen + " 0014"},
        {true, "class_scheme 25\nnum_classes 13", "070313 1015 1 00 00 0001" + thirteen}, // nothing to merge
    };
    for (const merge_case& c : cases) {
        interval_run run("type m\nstart 2013-03-07 10:00:00\ninterval 15\nno_chans 1\noperands 7 0 0\n"
                         "block_size 28\nnum_records 1");
        run.settings.merge_cars = c.merge_cars;
        run.header.describe(c.classes);
        EXPECT_EQ(split_lines(run.data(fourteen))[0], c.line) << c.classes;
    }

    // Speed by class: the first class row gains twice the fourteenth row, which is not printed.
    interval_run table("type m\nstart 2013-03-07 10:00:00\ninterval 15\nno_chans 1\nclass_scheme 25\n"
                       "num_classes 14\noperands 1 7 0\noperators 1 0\nspeed_bins.count 2\nblock_size 56\n"
                       "num_records 1");
    table.settings.merge_cars = true;
    std::string rows = "ch1:";
    for (int j = 0; j < 14; ++j) {
        rows += " " + std::to_string(10 * j + 1) + " " + std::to_string(10 * j + 2);
    }
    const std::vector<std::string> lines = split_lines(table.data(rows));
    ASSERT_EQ(lines.size(), 14U);
    EXPECT_EQ(lines[0], "070313 1015 1 00 01 0263 0266"); // 1 + 2 * 131, 2 + 2 * 132
    EXPECT_EQ(lines[12], "070313 1015 1 00 13 0121 0122");

    // Counts outside -100..9999 print as faulty readings.
    interval_run odd("type m\nstart 2013-03-07 10:00:00\ninterval 15\nno_chans 1\noperands 1 0 0\n"
                     "speed_bins.count 6\nblock_size 12\nnum_records 1");
    EXPECT_EQ(odd.data("ch1: 10000 -101 -100 9999 32767 -32768"),
              report_lines({"070313 1015 1 00 00 9999 9999 -100 9999 9999 9999", "* END 2 FFFF"}));
}

TEST(BinnedLines, AxleCountsAreDividedButGasReadingsAreNot) {
    struct axle_case {
        const char* description;
        float factor;
        const char* report;
    };
    constexpr const char* speed = "operands 1 0 0\nspeed_bins.count 4\nno_chans 1\nblock_size 8\n";
    const axle_case cases[] = {
        {"card_type 8 0 0 0 0 0 0 0", 2.0F, "070313 1015 1 00 00 0003 -003 4999 0000"},
        {"card_type 8 9 0 0 0 0 0 0", 2.05F, "070313 1015 1 00 00 0002 -002 3333 0000"},
        {"card_type 8 9 0 6 0 0 0 0", 2.0F, "070313 1015 1 00 00 0007 -007 9999 0001"}, // a loop: vehicles
        {"card_type 8 8 6 0 0 0 0 0\nmodel 318", 2.0F,
         "070313 1015 1 00 00 0003 -003 4999 0000"}, // two inputs
    };
    for (const axle_case& c : cases) {
        interval_run run(std::string("type m\nstart 2013-03-07 10:00:00\ninterval 15\nnum_records 1\n") +
                         speed);
        run.settings.k479.axle_factor = c.factor;
        run.header.describe(c.description);
        EXPECT_EQ(split_lines(run.data("ch1: 7 -7 9999 1"))[0], c.report) << c.description;
    }

    // Gas readings of every channel are measurements; the count list after them is divided.
    interval_run gas("type m\nstart 2013-03-07 10:00:00\ninterval 15\nno_chans 2\ncard_type 8\n"
                     "operands 10 0 0\nblock_size 16\nnum_records 1");
    gas.channel_size = 4;
    EXPECT_EQ(
        gas.data("ch1: 50 60 70 | 9 ch2: 51 61 71 | 11"),
        report_lines({"070313 1015 1 00 01 0050 0060 0070", "070313 1015 1 00 02 0004",
                      "070313 1015 2 00 01 0051 0061 0071", "070313 1015 2 00 02 0005", "* END 5 FFFF"}));
}

TEST(CountRows, PeakChangesCloseThePendingRows) {
    interval_run run("type m\nstart 2013-03-07 05:00:00\ninterval 60\npeak_interval 15\npeak_times 7 0 9 0\n"
                     "no_chans 1\nblock_size 2\nnum_records 100");
    EXPECT_EQ(run.data(counting_blocks(4)), report_lines({"070313 0600 1    1    2", "* PEAKINT = 15",
                                                          "070313 0715 1    3    4", "* END 4 FFFF"}));
}

TEST(Cordon, PeakSubIntervalsAddUpToOneValuePerNormalInterval) {
    interval_run run("type m\nstart 2013-03-07 06:00:00\ninterval 60\npeak_interval 15\npeak_times 7 0 9 0\n"
                     "no_chans 2\nblock_size 4\nnum_records 100");
    run.settings.anl_format = 4;
    run.channel_size = 1;
    // Labels 0700, 0715 ... 0900, 1000, 1100, 1200: seven normal intervals, 14 values.
    const std::string blocks = "ch1: 1 ch2: 10\n8* ch1: 1 ch2: 10\n3* ch1: 2 ch2: 20\n";
    EXPECT_EQ(run.data(blocks),
              "0001,0010,0004,0040,0004,0040,0002,0020,0002,0020,0002,0020,\r\n\r\nxxxx\r\n");
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

} // namespace
} // namespace tallycnv
