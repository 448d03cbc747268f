#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "headers/bin_lines.h"
#include "headers/header_fixture.h"
#include "headers/header_lines.h"
#include "headers/vbv_header.h"

namespace tallycnv {
namespace {

using test::crlf;
using test::header_from;
using test::header_run;

constexpr const char* plain_site = R"(
    type V
    site SITE1
    location MAIN ROAD
    file_name F0001
    serial_number 12345
    grid_reference GR123
    headings NB SB E W
    start 2013-03-07 10:07:30
    stop 2013-03-08 11:15:00
    battery 124
    card_type 0 0 0 0 0 0 0 0
    sensor_type 1 2 3 4 5 6 7 8
    class_scheme 2
    vbv_filter.operand 13
    tte_filter.operand 0
)";

TEST(VbvHeader, StarFormForLoopSite) {
    header_run run;
    run.settings.print_format = 1;
    print_vbv_header(run.ctx(), header_from(plain_site));
    EXPECT_EQ(run.out.text(), crlf("* BEGIN\n"
                                   "* FORMAT = VBV-1\n"
                                   "* FORMATTER = TALLYCNV Release = 3.5.47\n"
                                   "* INSTRUMENT = K479 Serial = 12345 Release = 2.00\n"
                                   "* FILENAME = F0001\n"
                                   "* SITE = SITE1\n"
                                   "* LOCATION = MAIN ROAD\n"
                                   "* GRIDREF = GR123\n"
                                   "* HEADINGS = NB SB E W     \n"
                                   "* STARTREC = 10:07 07/03/13\n"
                                   "* STOPREC  = 11:15 08/03/13\n"
                                   "* BATTERY = 12.40 12.40 \n"
                                   "* SENSORS = S1 S2 S3 S4 S5 S6 S7 S8 \n"
                                   "* DATEFORM = DD/MM/YY\n"
                                   "* UNITS = METRIC\n"
                                   "* PRUNITS = KPH-CM-10KG\n"
                                   "* CLASS = FHWA13\n"
                                   "* HEAD DDMMYY HHMM SS HH RESCOD  L D HEAD  GAP SPD LENTH    CS CH\n"));
    EXPECT_EQ(run.out.line_count(), 18);
}

TEST(VbvHeader, RecordCodedFormForTwoInputWeighSite) {
    header_run run;
    run.settings.print_format = 2;
    run.settings.merge_cars = true;
    run.settings.k479.units = 1;
    run.settings.k479.print_units = 3;
    k479_defn header = header_from(std::string(plain_site) + R"(
        model 318
        site ABCDEFGHIJKLMNOPQRST
        date_format 1
        sensor_type 28 1 5 5 5 5 5 5
        class_scheme 25
        vbv_filter.operand 1
        vbv_filter.comparison 1
        vbv_filter.value 80
        tte_filter.operand 13
        weight_calibration 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 1600
        weight_autocal 1
        autocal_count 5
        autocal_weight 1000
    )");
    print_vbv_header(run.ctx(), header);
    EXPECT_EQ(
        run.out.text(),
        crlf("20,\"BEGIN\"\n"
             "22,\"FORMAT\",\"VBV-2\"\n"
             "23,\"FORMATTER\",\"TALLYCNV\",\"Release\",3.5.47\n"
             "24,\"INSTRUMENT\",\"K318\",\"Serial\",12345,\"Release\",2.00\n"
             "25,\"FILENAME\",\"F0001\"\n"
             "26,\"SITE\",\"ABCDEFGHIJKLMNOPQRST\"\n"
             "27,\"LOCATION\",\"MAIN ROAD\"\n"
             "31,\"GRIDREF\",\"GR123\"\n"
             "32,\"HEADINGS\",\"NB\",\"SB\",\"E\",\"W\",\"\",\"\",\"\",\"\"\n"
             "72,\"STARTREC\",10,07,03,07,13\n"
             "73,\"STOPREC\",11,15,03,08,13\n"
             "28,\"BATTERY\",12.40,12.40 \n"
             "29,\"SENSORS\",\"S28\",\"S1\"\n"
             "30,\"DATEFORM\",\"MM/DD/YY\"\n"
             "89,\"UNITS\",\"IMPERIAL\"\n"
             "80,\"PRUNITS\",\"MPH-INS-10LB\"\n"
             "60,\"CLASS\",\"SWED13\"\n"
             "61,\"VBVFILTER\",\"SPD\",\"<\",50\n"
             "62,\"TTEFILTER\",\"ALL\"\n"
             "81,\"WTCAL\",1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,1600\n"
             "82,\"WTAUTCAL\",\"ON\",5,10000\n"
             "39,\"HEAD MMDDYY HHMM SS HH RESCOD  L D HEAD  GAP SPD LENTH AX CS WBTOT W1-2 W2-3 W3-4 W4-5 "
             "W5-6 W6-7 W7-8 W8-9 GWTOT  AWT1  AWT2  AWT3  AWT4  AWT5  AWT6  AWT7  AWT8  AWT9\"\n"));
    EXPECT_EQ(run.out.line_count(), 22);
}

TEST(VbvHeader, StarWeighLinesAndAxleTail) {
    // Metric weigh site, autocalibration off: the weight is truncated, not rounded.
    header_run run;
    run.settings.print_format = 4;
    run.settings.k479.print_units = 2;
    print_vbv_header(run.ctx(), header_from(std::string(plain_site) + R"(
        sensor_type 1 33 1 1 1 1 1 1
        weight_calibration 1 22 333 4444 0 0 0 0 0 0 0 0 0 0 0 9
        autocal_count 7
        autocal_weight 1
        vbv_filter.operand 0
        tte_filter.operand 2
        tte_filter.comparison 62
        tte_filter.value 100
    )"));
    const std::string text = run.out.text();
    EXPECT_NE(text.find("* FORMAT = VBV-4\r\n"), std::string::npos);
    EXPECT_NE(text.find("* VBVFILTER = NONE\r\n* TTEFILTER = AWT>454\r\n"), std::string::npos);
    EXPECT_NE(
        text.find(
            "* WTCAL =    1   22  333 4444    0    0    0    0    0    0    0    0    0    0    0    9 \r\n"
            "* WTAUTCAL OFF 7 4\r\n"),
        std::string::npos);
    EXPECT_TRUE(
        text.ends_with("* HEAD   L GP SPD AX CL LEGAL    FEET....20...30...40........60........80\r\n"));
    EXPECT_EQ(run.out.line_count(), 22);
}

TEST(VbvHeader, DateOrderAndOutOfRangeCodes) {
    struct row {
        int date_format;
        const char* start;
        const char* dateform;
    };
    const row rows[] = {{0, "* STARTREC = 09:05 07/03/05", "* DATEFORM = DD/MM/YY"},
                        {1, "* STARTREC = 09:05 03/07/05", "* DATEFORM = MM/DD/YY"},
                        {2, "* STARTREC = 09:05 05/03/07", "* DATEFORM = YY/MM/DD"},
                        {7, "* STARTREC = 09:05 05/03/07", "* DATEFORM = \r\n"}};
    for (const row& r : rows) {
        header_run run;
        k479_defn header =
            header_from(std::string(plain_site) + "start 2005-03-07 09:05:00\nsensor_type 48 200\n");
        header.date_format = static_cast<std::uint8_t>(r.date_format);
        print_vbv_header(run.ctx(), header);
        EXPECT_NE(run.out.text().find(r.start), std::string::npos) << r.date_format;
        EXPECT_NE(run.out.text().find(r.dateform), std::string::npos) << r.date_format;
        EXPECT_NE(run.out.text().find("* SENSORS =   S3 S4 S5 S6 S7 S8 \r\n"), std::string::npos);
    }
    // Print units past the table name nothing; text fields stop at their width.
    header_run run;
    run.settings.k479.print_units = 12;
    k479_defn header = header_from(plain_site);
    std::memset(header.site, 'X', sizeof header.site);
    std::memset(header.grid_reference, 'G', sizeof header.grid_reference);
    std::memset(header.headings, 'H', sizeof header.headings);
    std::memset(header.file_name, 'F', sizeof header.file_name);
    print_vbv_header(run.ctx(), header);
    for (const char* line : {"* PRUNITS = \r\n", "* SITE = XXXXXXXXXXXXXXXXXXXX\r\n",
                             "* GRIDREF = GGGGGGGGGGGGGGGGGGGG\r\n", "* FILENAME = FFFFFFFFF\r\n",
                             "* HEADINGS = HHHHH HHHHH HHHHH HHHHH HHHHH HHHHH HHHHH HHHHH \r\n"}) {
        EXPECT_NE(run.out.text().find(line), std::string::npos) << line;
    }
}

TEST(VbvHeader, LineCountFollowsOptionalLines) {
    struct row {
        const char* extra;
        long lines; // before the column heading
    };
    const row rows[] = {
        {"", 17},
        {"vbv_filter.operand 1", 18},
        {"tte_filter.operand 13", 18},
        {"sensor_type 22 23", 17}, // axle sensors: no weigh lines
        {"sensor_type 30\nvbv_filter.operand 6\ntte_filter.operand 6", 21},
    };
    for (const row& r : rows) {
        header_run run;
        run.settings.print_format = 5; // the Zedirozed summary has no column heading
        print_vbv_header(run.ctx(), header_from(std::string(plain_site) + r.extra));
        EXPECT_EQ(run.out.line_count(), r.lines) << r.extra;
    }
}

TEST(VbvColumnHeading, EveryPrintFormat) {
    struct row {
        int print_format;
        bool taxo;
        int print_units;
        const char* sensors;
        const char* expected;
    };
    const row rows[] = {
        {1, false, 1, "1", "* HEAD DDMMYY HHMM SS HH RESCOD  L D HEAD  GAP SPD LENTH    CS CH\n"},
        {1, true, 1, "1", "* SITE    HEAD   DDMMYY HHMM SS HH RESCOD  L D HEAD  GAP SPD LENTH    CS CH\n"},
        {1, false, 1, "24",
         "* HEAD DDMMYY HHMM SS HH RESCOD  L D HEAD  GAP SPD LENTH AX CS WBTOT W1-2 W2-3 W3-4 W4-5 W5-6 W6-7 "
         "W7-8 W8-9\n"},
        {2, true, 1, "1", "39,\"HEAD DDMMYY HHMM SS HH RESCOD  L D HEAD  GAP SPD LENTH    CS CH\"\n"},
        {3, false, 1, "1",
         "* HEAD ------------------------------------------------------------------------\n"},
        {4, false, 0, "1", "* HEAD   L GP SPD AX CL LEGAL    MTRS.3...5...7....10........15........20\n"},
        {4, false, 6, "1", "* HEAD   L GP SPD AX CL LEGAL    MTRS.3...5...7....10........15........20\n"},
        {4, false, 9, "1", "* HEAD   L GP SPD AX CL LEGAL    FEET....20...30...40........60........80\n"},
        {5, false, 1, "1", ""},
    };
    for (const row& r : rows) {
        header_run run;
        run.settings.print_format = r.print_format;
        run.settings.taxo = r.taxo;
        run.settings.k479.print_units = static_cast<std::uint8_t>(r.print_units);
        print_osp_header(run.ctx(), header_from(std::string(plain_site) + "sensor_type " + r.sensors));
        EXPECT_EQ(run.out.text(), crlf(r.expected)) << r.print_format;
        EXPECT_EQ(run.out.line_count(), r.expected[0] == '\0' ? 0 : 1);
    }
}

TEST(HeaderLines, FilterLines) {
    struct row {
        int units;
        bool csv;
        filter_info filter;
        const char* expected;
    };
    const row rows[] = {
        {1, false, {1, 1, 80}, "* VBVFILTER = SPD<50\n"},
        {0, true, {1, 62, 50}, "61,\"VBVFILTER\",\"SPD\",\">\",50\n"},
        {0, true, {0, 0, 0}, "61,\"VBVFILTER\",\"NONE\"\n"},
        {0, true, {13, 2, 9}, "61,\"VBVFILTER\",\"ALL\"\n"},
        {0, false, {13, 2, 9}, "* VBVFILTER = ALL\n"},
        {0, false, {3, 61, 100}, "* VBVFILTER = GWT=454\n"},  // 100 x 4.5359 = 453.59
        {1, false, {2, 3, 100}, "* VBVFILTER = AWT<>1000\n"}, // pounds
        {1, false, {4, 4, 254}, "* VBVFILTER = LEN<=100\n"},  // 99.9998 inches
        {1, false, {5, 5, 100}, "* VBVFILTER = WBT>=39\n"},
        {1, false, {6, 99, 7}, "* VBVFILTER = CLS>=7\n"}, // unconverted
        {1, true, {12, 0, 3}, "61,\"VBVFILTER\",\"OHG\",\"=\",3\n"},
        {0, false, {14, 0, 3}, "* VBVFILTER = =3\n"}, // operand past the names
    };
    for (const row& r : rows) {
        header_run run;
        run.settings.k479.units = static_cast<std::uint8_t>(r.units);
        fprintf_filter(run.ctx(), r.csv ? "61,\"VBVFILTER" : "* VBVFILTER", r.filter, r.csv);
        EXPECT_EQ(run.out.text(), crlf(r.expected)) << r.expected;
    }
}

TEST(HeaderLines, ClassSchemeNames) {
    struct row {
        int scheme;
        int num_classes;
        bool merge_cars;
        const char* swed14_name;
        const char* expected;
    };
    const row rows[] = {
        {0, 0, false, "", "NONE"},
        {2, 0, true, "", "FHWA13"},
        {18, 0, false, "", "MYSCHEME"},
        {25, 14, true, "SVENSK14", "SWED13"},
        {25, 14, false, "SVENSK14", "SVENSK14"},
        {25, 14, false, "", "SWED14"},
        {25, 14, false, "\nX", "SWED14"},
        {35, 7, false, "", "EUR7"},
        {36, 6, false, "", "LENGTH6"},
        {37, 9, false, "", "SPECIAL9"},
        {255, 12, false, "", "SPECIAL12"},
    };
    for (const row& r : rows) {
        k479_defn header = header_from("custom_scheme_name MYSCHEME");
        header.binning.class_scheme = static_cast<std::uint8_t>(r.scheme);
        header.binning.num_classes = static_cast<std::uint8_t>(r.num_classes);
        language_texts lang = test::header_language();
        lang.swed14_name = r.swed14_name;
        EXPECT_EQ(class_scheme_name(header, r.merge_cars, lang), r.expected) << r.scheme;
    }
    // The CLASS line in both forms.
    header_run run;
    k479_defn header = header_from("class_scheme 36\nnum_classes 6");
    print_class_line(run.ctx(), header, false);
    print_class_line(run.ctx(), header, true);
    EXPECT_EQ(run.out.text(), crlf("* CLASS = LENGTH6\n60,\"CLASS\",\"LENGTH6\"\n"));
}

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

TEST(BinLines, ClassLineBoundaryCountsAndCountOnly) {
    // The CLASS line follows the scheme rule; a count of 0 prints the first boundary, a count past the
    // record its fifteen boundaries; a count-only file has no record-coded bin lines.
    header_run run;
    run.settings.merge_cars = true;
    print_bins(run.ctx(), 7, header_from(bins));
    print_bins_int3(run.ctx(), 7, header_from(bins));
    print_bins(run.ctx(), 7, header_from("operands 7 0 0\nclass_scheme 36\nnum_classes 6"));
    k479_defn header = header_from(std::string(bins) + "speed_bins.count 0");
    print_bins(run.ctx(), 1, header);
    header.binning.speed_bins.count = 40;
    print_bins_int3(run.ctx(), 1, header);
    print_bins_int3(run.ctx(), 1, header_from(std::string(bins) + "operands 0 0 0"));
    EXPECT_EQ(run.out.text(),
              crlf("* CLASS = SWED13\n60,\"CLASS\",\"SWED13\"\n* CLASS = LENGTH6\n* SPDBINS = 0\n"
                   "53,\"SPDBINS\",0,30,50,70,0,0,0,0,0,0,0,0,0,0,0\n"));
}

} // namespace
} // namespace tallycnv
