#include <gtest/gtest.h>

#include <sstream>
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

// Blocks "ch1: 1", "ch1: 2", ... of a one-value channel.
std::string counting_blocks(int count) {
    std::string blocks;
    for (int i = 1; i <= count; ++i) {
        blocks += "ch1: " + std::to_string(i) + "\n";
    }
    return blocks;
}

// One channel of one speed bin: every block prints one INT-2 line.
constexpr const char* one_speed_bin = R"(
    type m
    no_chans 1
    operands 1 0 0
    speed_bins.count 1
    block_size 2
    num_records 1000
)";

TEST(IntervalClock, LabelsAcrossMidnightMonthAndYearEnds) {
    struct clock_case {
        const char* start;
        int interval;
        std::vector<std::string> labels; // date and time of each line
    };
    const clock_case cases[] = {
        {"2012-02-28 23:30:00", 15, {"280212 2345", "280212 2400", "290212 0015"}},
        {"2013-02-28 23:00:00", 60, {"280213 2400", "010313 0100"}},
        {"2013-12-31 23:00:00", 60, {"311213 2400", "010114 0100"}},
        {"2100-02-28 23:30:00", 30, {"280200 2400", "290200 0030"}},
        {"2013-01-31 22:00:00", 120, {"310113 2400", "010213 0200"}},
        {"2013-04-30 23:45:00", 15, {"300413 2400", "010513 0015"}},
        {"2013-03-07 10:07:00", 15, {"070313 1015", "070313 1030"}}, // off the grid: rounded down first
    };
    for (const clock_case& c : cases) {
        interval_run run(one_speed_bin);
        run.header.describe(std::string("start ") + c.start + "\ninterval " + std::to_string(c.interval));
        const std::vector<std::string> lines = split_lines(run.data(counting_blocks(int(c.labels.size()))));
        ASSERT_EQ(lines.size(), c.labels.size() + 1) << c.start;
        for (std::size_t i = 0; i < c.labels.size(); ++i) {
            EXPECT_EQ(lines[i], c.labels[i] + " 1 00 00 000" + std::to_string(i + 1)) << c.start;
        }
    }
}

TEST(IntervalClock, PeakPeriodsSwitchTheIntervalAndAreAnnounced) {
    interval_run run(one_speed_bin);
    run.header.describe(R"(
        start 2013-03-07 05:00:00
        interval 60
        peak_interval 15
        peak_times 7 0 9 0
    )");
    const std::vector<std::string> lines = split_lines(run.data(counting_blocks(11)));
    const std::vector<std::string> labels = {
        "0600", "0700", "* PEAKINT = 15",  "0715", "0730", "0745", "0800", "0815", "0830",
        "0845", "0900", "* INTERVAL = 60", "1000"};
    ASSERT_EQ(lines.size(), labels.size() + 1);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (labels[i][0] == '*') {
            EXPECT_EQ(lines[i], labels[i]);
        } else {
            EXPECT_EQ(lines[i].substr(0, 11), "070313 " + labels[i]);
        }
    }
    EXPECT_EQ(lines.back(), "* END 14 FFFF"); // the announcements are report lines too

    // Starting inside a peak period announces it before the first line; a
    // period ending at midnight keeps its last interval (ending 24:00) and
    // returns to the normal interval on the next day.
    interval_run late(one_speed_bin);
    late.header.describe(R"(
        start 2013-03-07 22:40:00
        interval 60
        peak_interval 30
        peak_times 22 0 24 0
    )");
    const std::vector<std::string> late_lines = split_lines(late.data(counting_blocks(4)));
    ASSERT_EQ(late_lines.size(), 7U);
    EXPECT_EQ(late_lines[0], "* PEAKINT = 30");
    EXPECT_EQ(late_lines[1].substr(0, 11), "070313 2300");
    EXPECT_EQ(late_lines[2].substr(0, 11), "070313 2330");
    EXPECT_EQ(late_lines[3].substr(0, 11), "070313 2400");
    EXPECT_EQ(late_lines[4], "* INTERVAL = 60");
    EXPECT_EQ(late_lines[5].substr(0, 11), "080313 0100");
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
    constexpr const char* lists = R"(
        type m
        site NORTHBRIDGE
        start 2013-03-07 10:00:00
        interval 15
        no_chans 2
        spec_count 0
        operands 1 4 7
        speed_bins.count 2
        length_bins.count 3
        num_classes 2
        num_records 1
    )";
    struct combination {
        const char* operators;
        unsigned size;
        std::vector<std::string> channel2; // after "NORTHBRI  070313 1015 2 "
    };
    const combination cases[] = {
        {"0 0", 7, {"00 01 0021 0022", "00 02 0023 0024 0025", "00 03 0026 0027"}},
        {"1 0", 8, {"01 01 0021 0022", "01 02 0023 0024", "01 03 0025 0026", "02 00 0027 0028"}},
        {"0 1", 8, {"01 00 0021 0022", "02 01 0023 0024 0025", "02 02 0026 0027 0028"}},
        {"1 1",
         12,
         {"01 01 0021 0022", "01 02 0023 0024", "01 03 0025 0026", "02 01 0027 0028", "02 02 0029 0030",
          "02 03 0031 0032"}},
    };
    for (const combination& c : cases) {
        interval_run run(lists);
        run.settings.taxo = true;
        run.header.describe(std::string("operators ") + c.operators + "\nblock_size " +
                            std::to_string(4 * c.size));
        run.channel_size = c.size;
        const std::vector<std::string> lines = split_lines(run.data(two_channels(c.size)));
        ASSERT_EQ(lines.size(), 2 * c.channel2.size() + 1) << c.operators;
        for (std::size_t i = 0; i < c.channel2.size(); ++i) {
            EXPECT_EQ(lines[c.channel2.size() + i], "NORTHBRI  070313 1015 2 " + c.channel2[i])
                << c.operators;
        }
        EXPECT_EQ(lines[0].substr(0, 34), "NORTHBRI  070313 1015 1 " + c.channel2[0].substr(0, 6) + "0001");
    }

    // Without the site column the line starts with the date, in the file's date form.
    interval_run plain(lists);
    plain.header.describe("operators 0 0\nblock_size 28\ndate_format 1\nspec_count 1");
    plain.channel_size = 7;
    EXPECT_EQ(split_lines(plain.data(two_channels(7)))[0], "030713 1015 1 00 00 0001 0002");
    interval_run odd_form(lists); // an unknown date form reads year first, as the header's dates do
    odd_form.header.describe("operators 0 0\nblock_size 28\ndate_format 7\nspec_count 1");
    odd_form.channel_size = 7;
    EXPECT_EQ(split_lines(odd_form.data(two_channels(7)))[0], "130307 1015 1 00 00 0001 0002");

    // A list count other than 3 (here a faulty 4) never brings in list 2: the
    // channels are laid out, tagged and printed with two lists, as the header
    // shows them.
    const combination faulty_count[] = {
        {"0 0", 5, {"00 01 0021 0022", "00 02 0023 0024 0025"}},
        {"1 0", 6, {"00 01 0021 0022", "00 02 0023 0024", "00 03 0025 0026"}},
    };
    for (const combination& c : faulty_count) {
        interval_run run(lists);
        run.header.describe(std::string("spec_count 4\noperators ") + c.operators + "\nblock_size " +
                            std::to_string(4 * c.size));
        run.channel_size = c.size;
        const std::vector<std::string> lines = split_lines(run.data(two_channels(c.size)));
        ASSERT_EQ(lines.size(), 2 * c.channel2.size() + 1) << c.operators;
        for (std::size_t i = 0; i < c.channel2.size(); ++i) {
            EXPECT_EQ(lines[c.channel2.size() + i], "070313 1015 2 " + c.channel2[i]) << c.operators;
        }
    }
}

TEST(BinnedLines, GasReadingsPrintBeforeTheCount) {
    interval_run run(R"(
        type m
        start 2013-03-07 10:00:00
        interval 15
        no_chans 1
        spec_count 0
        operands 10 0 0
        block_size 8
        num_records 1
    )");
    EXPECT_EQ(run.data("ch1: 12 34 21 | 7"), report_lines({"070313 1015 1 00 01 0012 0034 0021",
                                                           "070313 1015 1 00 02 0007", "* END 3 FFFF"}));
}

TEST(BinnedLines, MergedCarClassesOfSwed14) {
    std::string fourteen = "ch1:";
    for (int i = 1; i <= 14; ++i) {
        fourteen += " " + std::to_string(i);
    }
    struct merge_case {
        bool merge_cars;
        int scheme;
        int classes;
        const char* line;
    };
    const merge_case cases[] = {
        {true, 25, 14,
         "070313 1015 1 00 00 0029 0002 0003 0004 0005 0006 0007 0008 0009 0010 0011 0012 0013"},
        {false, 25, 14,
         "070313 1015 1 00 00 0001 0002 0003 0004 0005 0006 0007 0008 0009 0010 0011 0012 0013 0014"},
        {true, 24, 14,
         "070313 1015 1 00 00 0001 0002 0003 0004 0005 0006 0007 0008 0009 0010 0011 0012 0013 0014"},
        // Fewer than 14 stored classes: nothing to merge, every class prints.
        {true, 25, 13,
         "070313 1015 1 00 00 0001 0002 0003 0004 0005 0006 0007 0008 0009 0010 0011 0012 0013"},
    };
    for (const merge_case& c : cases) {
        interval_run run(R"(
            type m
            start 2013-03-07 10:00:00
            interval 15
            no_chans 1
            operands 7 0 0
            block_size 28
            num_records 1
        )");
        run.settings.merge_cars = c.merge_cars;
        run.header.describe("class_scheme " + std::to_string(c.scheme) + "\nnum_classes " +
                            std::to_string(c.classes));
        EXPECT_EQ(split_lines(run.data(fourteen))[0], c.line) << c.scheme << " " << c.classes;
    }

    // Speed by class: the first class row gains twice the fourteenth row, which is not printed.
    interval_run table(R"(
        type m
        start 2013-03-07 10:00:00
        interval 15
        no_chans 1
        class_scheme 25
        num_classes 14
        operands 1 7 0
        operators 1 0
        speed_bins.count 2
        block_size 56
        num_records 1
    )");
    table.settings.merge_cars = true;
    std::string rows = "ch1:";
    for (int j = 0; j < 14; ++j) {
        rows += " " + std::to_string(10 * j + 1) + " " + std::to_string(10 * j + 2);
    }
    const std::vector<std::string> lines = split_lines(table.data(rows));
    ASSERT_EQ(lines.size(), 14U);
    EXPECT_EQ(lines[0], "070313 1015 1 00 01 0263 0266"); // 1 + 2 * 131, 2 + 2 * 132
    EXPECT_EQ(lines[1], "070313 1015 1 00 02 0011 0012");
    EXPECT_EQ(lines[12], "070313 1015 1 00 13 0121 0122");

    std::array<std::uint32_t, 3> stored = {14, 3, 1};
    run_settings settings;
    settings.merge_cars = true;
    binning_parameters binning{};
    binning.class_scheme = 25;
    binning.num_classes = 14;
    binning.data_spec.operands[0] = 7;
    EXPECT_EQ(printed_bins(stored, settings, binning), (std::array<std::uint32_t, 3>{13, 3, 1}));
}

TEST(BinnedLines, AxleCountsAreDividedByTheAxleFactor) {
    constexpr const char* speed_pair = R"(
        type m
        start 2013-03-07 10:00:00
        interval 15
        no_chans 1
        operands 1 0 0
        speed_bins.count 4
        block_size 8
        num_records 1
    )";
    struct axle_case {
        const char* cards;
        const char* model;
        float factor;
        const char* line;
    };
    const axle_case cases[] = {
        {"8 0 0 0 0 0 0 0", "479", 2.0F, "070313 1015 1 00 00 0003 -003 4999 0000"},
        {"8 9 0 0 0 0 0 0", "479", 2.05F, "070313 1015 1 00 00 0002 -002 3333 0000"},
        {"8 9 0 6 0 0 0 0", "479", 2.0F, "070313 1015 1 00 00 0007 -007 9999 0001"}, // a loop input: vehicles
        {"8 8 6 0 0 0 0 0", "318", 2.0F, "070313 1015 1 00 00 0003 -003 4999 0000"}, // two inputs examined
    };
    for (const axle_case& c : cases) {
        interval_run run(speed_pair);
        run.settings.k479.axle_factor = c.factor;
        run.header.describe(std::string("card_type ") + c.cards + "\nmodel " + c.model);
        EXPECT_EQ(split_lines(run.data("ch1: 7 -7 9999 1"))[0], c.line) << c.cards << " " << c.factor;
    }

    // Gas readings of every channel are measurements, not axle counts.
    interval_run gas(R"(
        type m
        start 2013-03-07 10:00:00
        interval 15
        no_chans 2
        card_type 8
        operands 10 0 0
        block_size 16
        num_records 1
    )");
    gas.channel_size = 4;
    EXPECT_EQ(gas.data("ch1: 50 60 70 | 9 ch2: 51 61 71 | 11"), report_lines({
                                                                    "070313 1015 1 00 01 0050 0060 0070",
                                                                    "070313 1015 1 00 02 0004",
                                                                    "070313 1015 2 00 01 0051 0061 0071",
                                                                    "070313 1015 2 00 02 0005",
                                                                    "* END 5 FFFF",
                                                                }));
}

TEST(CountRows, PeakChangesCloseThePendingRows) {
    interval_run run(R"(
        type m
        start 2013-03-07 05:00:00
        interval 60
        peak_interval 15
        peak_times 7 0 9 0
        no_chans 1
        block_size 2
        num_records 100
    )");
    EXPECT_EQ(run.data(counting_blocks(4)), report_lines({
                                                "070313 0600 1    1    2",
                                                "* PEAKINT = 15",
                                                "070313 0715 1    3    4",
                                                "* END 4 FFFF",
                                            }));
}

TEST(CountRows, MoreThanEightChannelsKeepEveryRow) {
    interval_run run(R"(
        type m
        start 2013-03-07 10:00:00
        interval 15
        no_chans 10
        block_size 20
        num_records 100
    )");
    run.channel_size = 1;
    std::string block;
    for (int c = 1; c <= 10; ++c) {
        block += "ch" + std::to_string(c) + ": " + std::to_string(c) + " ";
    }
    const std::vector<std::string> lines = split_lines(run.data(block + "\n" + block));
    ASSERT_EQ(lines.size(), 11U);
    EXPECT_EQ(lines[9], "070313 1015 10   10   10");
}

TEST(CountRows, ColumnWidthOverflowEndsTheRun) {
    EXPECT_EQ(str_formatter(5, 12, false), "   12");
    EXPECT_EQ(str_formatter(4, 1234, false), "1234");
    EXPECT_EQ(str_formatter(3, 1234, true), "1234,");
    EXPECT_EQ(str_formatter(4, -100, false), "-100");
    for (int value : {1234, -100}) {
        try {
            str_formatter(3, value, false);
            ADD_FAILURE() << value << " fits";
        } catch (const fatal_error& e) {
            EXPECT_EQ(e.exit_code, 1);
            EXPECT_EQ(e.message, "\nError : Interval Recording Column Width Overflow\n");
        }
    }
}

TEST(Cordon, PeakSubIntervalsAddUpToOneValuePerNormalInterval) {
    interval_run run(R"(
        type m
        start 2013-03-07 06:00:00
        interval 60
        peak_interval 15
        peak_times 7 0 9 0
        no_chans 2
        block_size 4
        num_records 100
    )");
    run.settings.anl_format = 4;
    run.channel_size = 1;
    // Labels 0700, 0715 ... 0900, 1000, 1100, 1200: seven normal intervals, 14 values.
    const std::string blocks =
        "ch1: 1 ch2: 10\n" + std::string("8* ch1: 1 ch2: 10\n") + "3* ch1: 2 ch2: 20\n";
    EXPECT_EQ(run.data(blocks),
              "0001,0010,0004,0040,0004,0040,0002,0020,0002,0020,0002,0020,\r\n\r\nxxxx\r\n");

    // Binned files contribute their channel totals; a partial last line is left open for the END record.
    interval_run binned(R"(
        type m
        start 2013-03-07 06:00:00
        interval 60
        no_chans 1
        operands 1 0 0
        speed_bins.count 3
        block_size 6
        num_records 100
    )");
    binned.settings.anl_format = 4;
    EXPECT_EQ(binned.data("ch1: 1 2 3\nch1: 4 5 6\n"), "0006,0015,\r\nxxxx\r\n");
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
        // List 0, then a table of lists 1 x 2.
        {"operands 1 4 7\noperators 0 1\nspeed_bins.count 2\nlength_bins.count 2\nnum_classes 2",
         {9, 9, 1, 1, 1, 1},
         18},
        {"operands 1 4 7\noperators 0 1\nspeed_bins.count 2\nlength_bins.count 2\nnum_classes 2",
         {1, 1, 2, 2, 2, 2},
         8},
        // A table of lists 0 x 1, then list 2.
        {"operands 1 4 7\noperators 1 0\nspeed_bins.count 2\nlength_bins.count 2\nnum_classes 2",
         {1, 1, 1, 1, 3, 3},
         6},
        {"operands 1 4 0\noperators 1 0\nspeed_bins.count 2\nlength_bins.count 2", {1, 2, 3, 4}, 10},
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
        run_settings settings;
        interval_state st = publish_interval_state(record, settings);
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
