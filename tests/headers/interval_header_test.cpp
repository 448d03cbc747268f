#include <gtest/gtest.h>

#include <string>

#include "app/fatal.h"
#include "headers/header_fixture.h"
#include "headers/int3_header.h"
#include "headers/interval_header.h"

namespace tallycnv {
namespace {

using test::crlf;
using test::header_from;
using test::header_run;

constexpr const char* site = R"(
    type m
    site SITE1
    location MAIN ROAD
    file_name F0001
    serial_number 12345
    grid_reference GR123
    headings NB SB E W
    start 2013-03-07 10:07:30
    stop 2013-03-08 11:15:00
    battery 124
    card_type 8 8 0 0 0 0 0 0
    sensor_type 1 2 3 4 5 6 7 8
    interval 15
    peak_interval 5
    peak_times 7 0 8 0 16 0 17 0 0 0 0 0
    channel_assignment 1 2 3 4 0 0 0 0
    interval_filter.operand 13
    speed_bins.threshold 0 30 50 70
    speed_bins.count 3
    length_bins.threshold 0 254 1000
    length_bins.count 2
    axle_bins.threshold 2 3 4 5
    axle_bins.count 3
)";

constexpr const char* star_identification = "* BEGIN\n"
                                            "* FORMAT = %s\n"
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
                                            "* DATEFORM = DD/MM/YY\n";

std::string identification(const std::string& format) {
    std::string text = star_identification;
    text.replace(text.find("%s"), 2, format);
    return text;
}

bin_counts prn(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0) {
    bin_counts bins;
    bins.retnbins = {a, b, c};
    bins.prnbins = {a, b, c};
    return bins;
}

TEST(IntervalHeader, Int1CountOnly) {
    header_run run;
    print_interval_header(run.ctx(), header_from(site), prn(1));
    EXPECT_EQ(run.out.text(),
              crlf(identification("INT-1") +
                   "* UNITS = METRIC\n"
                   "* AXFACTOR = 2.00\n"
                   "* INTERVAL = 15 \n"
                   "* PEAKTIME = 07:00 08:00 16:00 17:00 00:00 00:00\n"
                   "* PEAKINT = 5 \n"
                   "* CHANNELS = 1 2 3 4 \n"
                   "* INTSPEC = COUNT\n"
                   "* HEAD HHMM C ...0 ...1 ...2 ...3 ...4 ...5 ...6 ...7 ...8 ...9 ..10 ..11\n"));
    EXPECT_EQ(run.out.line_count(), 22);

    // One input that is not an axle counter drops the AXFACTOR line; the site column widens the heading.
    header_run other;
    other.settings.taxo = true;
    other.settings.col_width = 3;
    print_interval_header(other.ctx(), header_from(std::string(site) + "card_type 8 6"), prn(1));
    EXPECT_EQ(other.out.text().find("AXFACTOR"), std::string::npos);
    EXPECT_TRUE(other.out.text().ends_with("* INTSPEC = COUNT\r\n"
                                           "* SITE    HEAD HHMM C .0 .1 .2 .3 .4 .5 .6 .7 .8 .9 10 11\r\n"));
    EXPECT_EQ(other.out.line_count(), 21);
}

TEST(IntervalHeader, Int2SpeedByLength) {
    header_run run;
    run.settings.anl_format = 2;
    run.settings.print_format = 2;
    run.settings.taxo = true;
    print_interval_header(run.ctx(), header_from(std::string(site) + R"(
        card_type 8 8 6
        spec_count 2
        operands 1 4 0
        operators 1 0
        interval_filter.operand 1
        interval_filter.comparison 2
        interval_filter.value 50
    )"),
                          prn(3, 2));
    EXPECT_EQ(run.out.text(),
              crlf(identification("INT-2") + "* UNITS = METRIC\n"
                                             "* PRUNITS = KPH-CM-10KG\n"
                                             "* INTERVAL = 15 \n"
                                             "* PEAKTIME = 07:00 08:00 16:00 17:00 00:00 00:00\n"
                                             "* PEAKINT = 5 \n"
                                             "* CHANNELS = 1 2 3 4\n"
                                             "* INTSPEC = SPEED * LENGTH\n"
                                             "* SPDBINS = 0 30 50 70\n"
                                             "* LENBINS = 0 254 1000\n"
                                             "* INTFILTER = SPD>50\n"
                                             "* SITE    HEAD HHMM C    LN SP 1 SP 2 SP 3\n"));
    EXPECT_EQ(run.out.line_count(), 25);
}

TEST(IntervalHeader, BinnedHeadingRows) {
    struct row {
        const char* dspec;
        bool taxo;
        bin_counts bins;
        const char* expected;
    };
    const row rows[] = {
        {"operands 1 4 8\noperators 1 1\nspec_count 3", false, prn(2, 2, 2),
         "* HEAD HHMM C AX LN SP 1 SP 2\n"},
        {"operands 1 4 8\noperators 0 1\nspec_count 3", false, prn(2, 2, 2),
         "* HEAD HHMM C       SP 1 SP 2\n* HEAD HHMM C    AX LN 1 LN 2\n"},
        {"operands 1 4 8\noperators 1 0\nspec_count 3", true, prn(2, 1, 1),
         "* SITE    HEAD HHMM C    LN SP 1 SP 2\n* SITE    HEAD HHMM C       AX 1\n"},
        {"operands 1 4 8\noperators 0 0\nspec_count 3", false, prn(3, 2, 3),
         "* HEAD HHMM C       SP 1 SP 2 SP 3\n* HEAD HHMM C       LN 1 LN 2\n* HEAD HHMM C       AX 1 AX 2 "
         "AX 3\n"},
        {"operands 10 0 0\nspec_count 2", false, prn(3, 1),
         "* HEAD HHMM C       GS 1 GS 2 GS 3\n* HEAD HHMM C       CN 1\n"},
        {"operands 7 0 0\nspec_count 1", false, prn(12),
         "* HEAD HHMM C       CS 1 CS 2 CS 3 CS 4 CS 5 CS 6 CS 7 CS 8 "
         "CS 9 CS10 CS11 CS12\n"},
    };
    for (const row& r : rows) {
        header_run run;
        run.settings.taxo = r.taxo;
        print_interval_header(run.ctx(), header_from(std::string(site) + r.dspec), r.bins);
        const std::string text = run.out.text();
        const std::string tail = text.substr(text.find("\r\n* ", text.find("* INTSPEC")) + 2);
        const std::size_t headings = tail.find(r.taxo ? "* SITE " : "* HEAD ");
        EXPECT_EQ(tail.substr(headings), crlf(r.expected)) << r.dspec;
    }
}

TEST(IntervalHeader, WeeklyHeader) {
    header_run run;
    run.settings.anl_format = 8;
    run.settings.print_format = 5;
    print_interval_header(run.ctx(), header_from(std::string(site) + "interval 60"), prn(1));
    EXPECT_NE(run.out.text().find("* FORMAT = WEEKLY SUMMARY\r\n"), std::string::npos);
    EXPECT_TRUE(run.out.text().ends_with("* INTSPEC = COUNT\r\n")); // no count heading
    EXPECT_EQ(run.out.line_count(), 21);

    header_run binned;
    binned.settings.anl_format = 8;
    print_interval_header(binned.ctx(), header_from(std::string(site) + "operands 1 0 0"), prn(3));
    EXPECT_NE(binned.out.text().find("* FORMAT = WEEKLY SUMMARY\r\n"), std::string::npos);
    EXPECT_TRUE(
        binned.out.text().ends_with("* SPDBINS = 0 30 50 70\r\n* HEAD HHMM C       SP 1 SP 2 SP 3\r\n"));
}

TEST(IntervalHeader, RefusedFormatsWriteNothing) {
    struct row {
        int anl_format;
        const char* extra;
        const char* message;
    };
    const row rows[] = {
        {8, "interval 61", "\nError : File has an invalid Interval for weekly format\n"},
        {1, "operands 1 0 0", "\nError : Can't display non-volumetric file in INT-1 format\n"},
        {2, "", "\nError : Can't display volumetric file in INT-2 format\n"},
    };
    for (const row& r : rows) {
        header_run run;
        run.settings.anl_format = static_cast<std::int8_t>(r.anl_format);
        try {
            print_interval_header(run.ctx(), header_from(std::string(site) + r.extra), prn(3));
            ADD_FAILURE() << "no failure for " << r.message;
        } catch (const fatal_error& e) {
            EXPECT_EQ(e.exit_code, 1);
            EXPECT_EQ(e.message, r.message);
        }
        EXPECT_EQ(run.out.text(), "");
    }
    // The VBV formats have no interval header.
    for (int anl_format : {5, 6, 7, 9, -1}) {
        header_run run;
        run.settings.anl_format = static_cast<std::int8_t>(anl_format);
        print_interval_header(run.ctx(), header_from(site), prn(1));
        EXPECT_EQ(run.out.text(), "") << anl_format;
    }
}

TEST(IntervalHeader, ChannelList) {
    struct row {
        int anl_format;
        int print_format;
        const char* channels;
        const char* expected;
    };
    const row rows[] = {
        {0, 1, "1 2 3 0 5 6 7 8", "1 2 3 \n"},  {1, 1, "1 1 2 2 3 3 4 4", "1 1 2 2 3 3 4 4 \n"},
        {2, 2, "1 2 3 4 0 0 0 0", "1 2 3 4\n"}, {0, 2, "1 2 3 4 0 0 0 0", "1,2,3,4\n"},
        {3, 1, "1 2 3 4 0 0 0 0", "1,2,3,4\n"}, {3, 1, "0 0 0 0 0 0 0 0", "0,0,0,0,0,0,0,0\n"},
        {8, 5, "4 3 2 1 0 0 0 0", "4 \n"},
    };
    for (const row& r : rows) {
        header_run run;
        run.settings.anl_format = static_cast<std::int8_t>(r.anl_format);
        run.settings.print_format = r.print_format;
        print_channel_asign(run.ctx(), header_from(std::string("channel_assignment ") + r.channels));
        EXPECT_EQ(run.out.text(), crlf(r.expected)) << r.channels;
    }
}

TEST(IntervalHeader, CountHeadingWidths) {
    struct row {
        int anl_format;
        int width;
        const char* expected;
    };
    const row rows[] = {
        {1, 3, "* HEAD HHMM C .0 .1 .2 .3 .4 .5 .6 .7 .8 .9 10 11\n"},
        {1, 8,
         "* HEAD HHMM C ......0 ......1 ......2 ......3 ......4 ......5 ......6 ......7 ......8 ......9 "
         ".....10 .....11\n"},
        {3, 5, "* HEAD HHMM C ...0 ...1 ...2 ...3 ...4 ...5 ...6 ...7 ...8 ...9 ..10 ..11\"\n"},
        {1, 1, "* HEAD HHMM C 0 1 2 3 4 5 6 7 8 9 10 11\n"}, // never a negative run of dots
    };
    for (const row& r : rows) {
        header_run run;
        run.settings.anl_format = static_cast<std::int8_t>(r.anl_format);
        print_count_header(run.ctx(), "* HEAD HHMM C", r.width);
        EXPECT_EQ(run.out.text(), crlf(r.expected));
        EXPECT_EQ(run.out.line_count(), 1);
    }
}

TEST(Int3Header, CountOnly) {
    const std::string fixed = "20,\"BEGIN\"\n"
                              "22,\"FORMAT\",\"INT-3\"\n"
                              "23,\"FORMATTER\",\"TALLYCNV\",\"Release\",3.5.47\n"
                              "24,\"INSTRUMENT\",\"K479\",\"Serial\",12345,\"Release\",2.00\n"
                              "25,\"FILENAME\",\"F0001\"\n"
                              "26,\"SITE\",\"SITE1\"\n"
                              "27,\"LOCATION\",\"MAIN ROAD\"\n"
                              "31,\"GRIDREF\",\"GR123\"\n"
                              "32,\"HEADINGS\",\"NB\",\"SB\",\"E\",\"W\",\"\",\"\",\"\",\"\"\n"
                              "72,\"STARTREC\",10,07,07,03,13\n"
                              "73,\"STOPREC\",11,15,08,03,13\n"
                              "28,\"BATTERY\",12.40,12.40 \n"
                              "29,\"SENSORS\",\"S1\",\"S2\",\"S3\",\"S4\",\"S5\",\"S6\",\"S7\",\"S8\"\n"
                              "30,\"DATEFORM\",\"DD/MM/YY\"\n"
                              "89,\"UNITS\",\"METRIC\"\n"
                              "80,\"PRUNITS\",\"KPH-CM-10KG\"\n";
    header_run run;
    run.settings.anl_format = 3;
    print_interval_header(run.ctx(), header_from(site), prn(1));
    EXPECT_EQ(run.out.text(),
              crlf(fixed +
                   "45,\"AXFACTOR\",2.000\n"
                   "40,\"INTERVAL\",15 \n"
                   "43,\"PEAKTIME\",07,00,08,00,16,00,17,00,00,00,00,00\n"
                   "43,\"PEAKINT\",5 \n"
                   "41,\"CHANNELS\",1,2,3,4\n"
                   "42,\"INTSPEC\",\"COUNT\"\n"
                   "39,\"HEAD HHMM C ...0 ...1 ...2 ...3 ...4 ...5 ...6 ...7 ...8 ...9 ..10 ..11\"\n"));
    EXPECT_EQ(run.out.line_count(), 23);

    header_run taxo;
    taxo.settings.anl_format = 3;
    taxo.settings.taxo = true;
    taxo.settings.k479.axle_factor = 1.5F;
    print_interval_3_header(
        taxo.ctx(), header_from(std::string(site) + "card_type 6\ninterval_filter.operand 0"), prn(1));
    EXPECT_TRUE(taxo.out.text().ends_with(
        crlf("43,\"PEAKINT\",5 \n"
             "41,\"CHANNELS\",1,2,3,4\n"
             "42,\"INTSPEC\",\"COUNT\"\n"
             "64,\"INTFILTER\",\"NONE\"\n"
             "39,\"SITE     HEAD HHMM C ...0 ...1 ...2 ...3 ...4 ...5 ...6 ...7 ...8 ...9 ..10 ..11\"\n")));
    EXPECT_EQ(taxo.out.line_count(), 23); // 21 without AXFACTOR, the filter, the heading
}

TEST(Int3Header, BinnedLinesAndHeadings) {
    struct row {
        const char* dspec;
        bool taxo;
        bin_counts bins;
        const char* expected; // from the INTSPEC line on
    };
    const row rows[] = {
        {"operands 1 0 0\nspec_count 1\ninterval_filter.operand 1\ninterval_filter.comparison 2\n"
         "interval_filter.value 50",
         false, prn(3),
         "42,\"INTSPEC\",\"SPEED\"\n53,\"SPDBINS\",0,30,50,70\n64,\"INTFILTER\",\"SPD\",\">\",50\n"
         "39,\"HEAD HHMM C       SP 1 SP 2 SP 3\"\n"},
        {"operands 1 4 0\noperators 0 0\nspec_count 2", true, prn(3, 2),
         "42,\"INTSPEC\",\"SPEED\",\"+\",\"LENGTH\"\n53,\"SPDBINS\",0,30,50,70\n52,\"LENBINS\",0,254,1000\n"
         "39,\"SITE     HEAD HHMM C       SP 1 SP 2 SP 3\"\n39,\"SITE     HEAD HHMM C       LN 1 LN 2\"\n"},
        {"operands 1 4 8\noperators 1 1\nspec_count 3", false, prn(1, 1, 1),
         "42,\"INTSPEC\",\"SPEED\",\"*\",\"LENGTH\",\"*\",\"AXLES\"\n53,\"SPDBINS\",0,30,50,70\n"
         "52,\"LENBINS\",0,254,1000\n50,\"ACTBINS\",2,3,4,5\n39,\"HEAD HHMM C AX LN SP 1\"\n"},
        {"operands 1 4 8\noperators 0 1\nspec_count 200", false, prn(1, 2, 1), // names three operands at most

         "42,\"INTSPEC\",\"SPEED\",\"+\",\"LENGTH\",\"*\",\"AXLES\"\n53,\"SPDBINS\",0,30,50,70\n"
         "52,\"LENBINS\",0,254,1000\n50,\"ACTBINS\",2,3,4,5\n39,\"HEAD HHMM C AX    SP 1\"\n"
         "39,\"HEAD HHMM C AX    LN 1 LN 2\"\n"},
        {"operands 1 4 8\noperators 0 0\nspec_count 3", false, prn(1, 1, 1),
         "42,\"INTSPEC\",\"SPEED\",\"+\",\"LENGTH\",\"+\",\"AXLES\"\n53,\"SPDBINS\",0,30,50,70\n"
         "52,\"LENBINS\",0,254,1000\n50,\"ACTBINS\",2,3,4,5\n39,\"HEAD HHMM C       SP 1\"\n"
         "39,\"HEAD HHMM C       LN 1\"\n39,\"HEAD HHMM C       AX 1\"\n"},
        {"operands 0 1 0\nspec_count 2", false, prn(1, 3),
         "42,\"INTSPEC\",\"COUNT\",\"+\",\"SPEED\"\n53,\"SPDBINS\",0,30,50,70\n"}, // no heading row
    };
    for (const row& r : rows) {
        header_run run;
        run.settings.anl_format = 3;
        run.settings.taxo = r.taxo;
        print_interval_header(run.ctx(), header_from(std::string(site) + r.dspec), r.bins);
        const std::string text = run.out.text();
        EXPECT_EQ(text.substr(text.find("42,\"INTSPEC\"")), crlf(r.expected)) << r.dspec;
    }
}

} // namespace
} // namespace tallycnv
