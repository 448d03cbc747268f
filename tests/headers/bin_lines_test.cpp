#include <gtest/gtest.h>

#include <string>

#include "headers/bin_lines.h"
#include "headers/header_fixture.h"

namespace tallycnv {
namespace {

using test::crlf;
using test::header_from;
using test::header_run;

constexpr const char* bins = R"(
    operands 1 0 0
    speed_bins.threshold 0 30 50 70
    speed_bins.count 3
    length_bins.threshold 0 254 1000
    length_bins.count 2
    weight_bins.threshold 0 100 1000
    weight_bins.count 2
    axle_bins.threshold 2 3 4 5
    axle_bins.count 3
    time_bins.threshold 0 20 100 15
    time_bins.count 3
    class_scheme 25
    num_classes 14
)";

TEST(BinLines, EveryOperandInBothUnitSystems) {
    struct row {
        unsigned operand;
        int units;
        const char* star;
        const char* coded;
    };
    const row rows[] = {
        {0, 0, "", ""},
        {1, 0, "* SPDBINS = 0 30 50 70\n", "53,\"SPDBINS\",0,30,50,70\n"},
        {1, 1, "* SPDBINS = 0 19 31 43\n", "53,\"SPDBINS\",0,19,31,43\n"},
        {12, 1, "* SPDBINS = 0 19 31 43\n", "53,\"SPDBINS\",0,19,31,43\n"},
        {2, 0, "* TIMEBINS = 0.0 2.0 10.0 1.5\n", "54,\"TIMEBINS\",0.0,2.0,10.0,1.5\n"},
        {3, 1, "* TIMEBINS = 0.0 2.0 10.0 1.5\n", "54,\"TIMEBINS\",0.0,2.0,10.0,1.5\n"},
        {4, 0, "* LENBINS = 0 254 1000\n", "52,\"LENBINS\",0,254,1000\n"},
        {4, 1, "* LENBINS = 0 100 394\n", "52,\"LENBINS\",0,100,394\n"},
        {11, 1, "* LENBINS = 0 100 394\n", "52,\"LENBINS\",0,100,394\n"},
        {5, 0, "* WTBINS = 0 454 4536\n", "55,\"WTBINS\",0,454,4536\n"},
        {6, 1, "* WTBINS = 0 1000 10000\n", "55,\"WTBINS\",0,1000,10000\n"},
        {7, 0, "* CLASS = SWED14\n", "60,\"CLASS\",\"SWED14\"\n"},
        {8, 1, "* ACTBINS = 2 3 4 5\n", "50,\"ACTBINS\",2,3,4,5\n"},
        {9, 0, "", ""},
        {10, 1, "* GAS  CO(AVE) CO(PK) TEMP\n", "59,\"GAS\",\"CO(AVE)\",\"CO(PK)\",\"TEMP\"\n"},
        {13, 0, "", ""},
        {0xFFFF, 0, "", ""},
    };
    for (const row& r : rows) {
        header_run run;
        run.settings.k479.units = static_cast<std::uint8_t>(r.units);
        const k479_defn header = header_from(bins);
        print_bins(run.ctx(), r.operand, header);
        EXPECT_EQ(run.out.text(), crlf(r.star)) << r.operand << " units " << r.units;
        EXPECT_EQ(run.out.line_count(), r.star[0] == '\0' ? 0 : 1);
        header_run coded;
        coded.settings.k479.units = static_cast<std::uint8_t>(r.units);
        print_bins_int3(coded.ctx(), r.operand, header);
        EXPECT_EQ(coded.out.text(), crlf(r.coded)) << r.operand << " units " << r.units;
    }
}

TEST(BinLines, ClassLineFollowsSchemeRule) {
    header_run run;
    run.settings.merge_cars = true;
    print_bins(run.ctx(), 7, header_from(bins));
    print_bins_int3(run.ctx(), 7, header_from(bins));
    print_bins(run.ctx(), 7, header_from("operands 7 0 0\nclass_scheme 36\nnum_classes 6"));
    EXPECT_EQ(run.out.text(), crlf("* CLASS = SWED13\n60,\"CLASS\",\"SWED13\"\n* CLASS = LENGTH6\n"));
}

TEST(BinLines, BoundaryCounts) {
    // A count of 0 prints the first boundary; a count past the record prints its fifteen boundaries.
    header_run run;
    k479_defn header = header_from(std::string(bins) + "speed_bins.count 0");
    print_bins(run.ctx(), 1, header);
    header.binning.speed_bins.count = 40;
    print_bins_int3(run.ctx(), 1, header);
    EXPECT_EQ(run.out.text(), crlf("* SPDBINS = 0\n53,\"SPDBINS\",0,30,50,70,0,0,0,0,0,0,0,0,0,0,0\n"));
}

TEST(BinLines, CountOnlyHasNoRecordCodedLines) {
    header_run run;
    print_bins_int3(run.ctx(), 1, header_from(std::string(bins) + "operands 0 0 0"));
    EXPECT_EQ(run.out.text(), "");
}

} // namespace
} // namespace tallycnv
