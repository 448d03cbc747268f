#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vbv/vehicle_lines.h"
#include "vbv/zedirozed.h"

namespace tallycnv {
namespace {

// Sensor configurations: loops only, axle sensors, weigh sensors.
k479_defn header_with(int config) {
    k479_defn header = default_k479();
    header.sensor_type[3] = config == 2 ? 28 : config == 1 ? 22 : 0;
    return header;
}

void set_site(run_settings& settings, const char* site) {
    std::memset(settings.k479.site, 0, sizeof settings.k479.site);
    std::strncpy(settings.k479.site, site, sizeof settings.k479.site);
}

struct printed {
    std::string text;
    long lines;
};

printed print_vehicle(const run_settings& settings, const vehicle_info& v, int config) {
    const language_texts lang;
    report_sink out;
    zedirozed_state state;
    print_osp(run_context{settings, lang, out}, v, header_with(config), state);
    return {out.text(), out.line_count()};
}

std::string line_of(const run_settings& settings, const vehicle_info& v, int config) {
    return print_vehicle(settings, v, config).text;
}

run_settings settings_for(int print_format, int print_units) {
    run_settings s;
    s.print_format = print_format;
    s.k479.print_units = static_cast<std::uint8_t>(print_units);
    s.k479.date_format = 0;
    return s;
}

// A three-axle truck on a weigh site.
vehicle_info truck() {
    vehicle_info v;
    v.vehicle_number = 41;
    v.year = 2005;
    v.month = 2;
    v.day = 7;
    v.hour = 13;
    v.minute = 45;
    v.second = 9;
    v.millisecond = 370;
    v.result_code = 0x1A2B;
    v.lane = 1;
    v.direction = 1;
    v.headway = 123;
    v.gap = 45;
    v.speed = 88;
    v.length = 1650;
    v.axles = 3;
    v.class_code = 6;
    v.wheelbase = 1000;
    v.axle_spacing[0] = 430;
    v.axle_spacing[1] = 570;
    v.gross_weight = 1200;
    v.axle_weight[0] = 300;
    v.axle_weight[1] = 500;
    v.axle_weight[2] = 400;
    v.chassis_height = 3;
    return v;
}

const std::string spaces(std::size_t n) {
    return std::string(n, ' ');
}

TEST(VbvFixedLine, MetricAndImperialColumns) {
    const std::string lead = "000042 070305 1345 09 37 001A2B  2 2 12.3  4.5";
    // Metres and tonnes: the first spacing and weights are whole numbers, the
    // last carry what rounding dropped so the columns add up to the totals.
    EXPECT_EQ(line_of(settings_for(1, 0), truck(), 2), lead + "  88 16.50  3  6 10.00 4.00 6.00" +
                                                           spaces(30) + "  5.44  1.00  2.00  2.44" +
                                                           spaces(6) + "\r\n");
    // Miles per hour, inches and 10 lb, no decimals.
    EXPECT_EQ(line_of(settings_for(1, 3), truck(), 2), lead + "  54   650  3  6   394  169  225" +
                                                           spaces(30) + "  1200   300   500   400" +
                                                           spaces(6) + "\r\n");
    // Axle sensors without weighing stop after the spacings.
    EXPECT_EQ(line_of(settings_for(1, 1), truck(), 1),
              lead + "  88  1650  3  6  1000  430  570" + spaces(30) + "\r\n");
    // Loops only: class and chassis height.
    EXPECT_EQ(line_of(settings_for(1, 1), truck(), 0), lead + "  88  1650     6  M\r\n");
    EXPECT_EQ(print_vehicle(settings_for(1, 1), truck(), 2).lines, 1);
}

TEST(VbvFixedLine, AbsentValuesKeepTheirColumns) {
    vehicle_info v;
    v.headway = 5000; // capped at 99.9 s
    v.gap = 1000;
    v.chassis_height = 9; // no such category
    const std::string lead = "000001 000100 0000 00 00 000000  1 1 99.9 99.9";
    EXPECT_EQ(line_of(settings_for(1, 1), v, 2),
              lead + spaces(4 + 6 + 3 + 3 + 6) + spaces(8 * 5) + spaces(6) + spaces(9) + "\r\n");
    EXPECT_EQ(line_of(settings_for(1, 1), v, 0), lead + spaces(4 + 6 + 6) + " \r\n");
}

TEST(VbvFixedLine, SpacingsAddUpToTheWheelbase) {
    const run_settings s = settings_for(1, 0);
    // Vehicle number, zero date and time, no speed, length or class.
    const std::string lead = "000001 000100 0000 00 00 000000  1 1  0.0  0.0" + spaces(10);
    struct spacing_case {
        std::uint16_t wheelbase, first, second;
        const char* columns;
    };
    const spacing_case cases[] = {
        {347, 347, 0, "  2     3.47 3.47"},         // one spacing: the wheelbase itself
        {1000, 460, 540, "  3    10.00 5.00 5.00"}, // the last takes the remainder
        {500, 460, 40, "  3     5.00 5.00 0.00"},   // a remainder of exactly 0
        {300, 460, 100, "  3     3.00 5.00 1.00"},  // overshoot: the last shows its own value
    };
    for (const spacing_case& c : cases) {
        vehicle_info v;
        v.axles = c.second == 0 ? 2 : 3;
        v.wheelbase = c.wheelbase;
        v.axle_spacing[0] = c.first;
        v.axle_spacing[1] = c.second;
        const std::string blanks = spaces((c.second == 0 ? 7 : 6) * 5);
        EXPECT_EQ(line_of(s, v, 1), lead + c.columns + blanks + "\r\n") << c.columns;
    }
}

TEST(VbvFixedLine, DateFormsAndSiteColumn) {
    run_settings s = settings_for(1, 1);
    vehicle_info v = truck();
    const std::string tail = " 1345 09 37 001A2B  2 2 12.3  4.5  88  1650     6  M\r\n";
    s.k479.date_format = 1;
    EXPECT_EQ(line_of(s, v, 0), "000042 030705" + tail);
    s.k479.date_format = 2;
    EXPECT_EQ(line_of(s, v, 0), "000042 050307" + tail);
    s.k479.date_format = 7; // unknown forms order year first
    EXPECT_EQ(line_of(s, v, 0), "000042 050307" + tail);
    s.k479.date_format = 0;
    s.taxo = true;
    set_site(s, "NORTHBOUND1");
    EXPECT_EQ(line_of(s, v, 0), "NORTHBOU  000042 070305" + tail);
    set_site(s, "A1");
    EXPECT_EQ(line_of(s, v, 0), "      A1  000042 070305" + tail);
}

TEST(VbvRecordCodedLine, FieldsAndBlanks) {
    run_settings s = settings_for(2, 0);
    // 16.5 m in whole metres is 16: printf rounds the tie to even.
    EXPECT_EQ(line_of(s, truck(), 2),
              "1,000042,070305,1345,09,37,001A2B, 2,2,12.3, 4.5, 88,   16, 3, 6,10.00,"
              "4.00,6.00,    ,    ,    ,    ,    ,    , 5.44, 1.00, 2.00, 2.44,,,,,,\r\n");
    s.k479.print_units = 1;
    EXPECT_EQ(line_of(s, truck(), 0),
              "1,000042,070305,1345,09,37,001A2B, 2,2,12.3, 4.5, 88, 1650, 6,\" M\"\r\n");
    s.taxo = true;
    set_site(s, "A1");
    EXPECT_EQ(line_of(s, truck(), 0),
              "1,      A1,42,070305,1345,09,37,001A2B, 2,2,12.3, 4.5, 88, 1650, 6,\" M\"\r\n");

    // Every absent field keeps its comma; the line never ends with one.
    s.taxo = false;
    const vehicle_info empty;
    const std::string lead = "1,000001,000100,0000,00,00,000000, 1,1, 0.0, 0.0,   ,     ,";
    EXPECT_EQ(line_of(s, empty, 2), lead + "  ,  ,     ,    ,    ,    ,    ,    ,    ,    ,    ,     ," +
                                        std::string(8, ',') + "\r\n");
    EXPECT_EQ(line_of(s, empty, 1), lead + "  ,  ,     ,    ,    ,    ,    ,    ,    ,    ,    \r\n");
    EXPECT_EQ(line_of(s, empty, 0), lead + "  ,\"  \"\r\n");
}

TEST(VbvLabelledLines, MetricAndImperialUnitSets) {
    const std::string first = "000042 070305 13:45:09.37 001A2B LA=2 DN=2 ";
    const printed metric = print_vehicle(settings_for(3, 1), truck(), 0);
    EXPECT_EQ(metric.text, first + "SP=88 GP=4.5 HD=12.3\r\n"
                                   "AX=3  CS=6  MTR 10.00   4.30 5.70\r\n"
                                   "OK          TNE  5.44   1.36 2.27 1.81\r\n");
    EXPECT_EQ(metric.lines, 3);
    // Only print units 0 and 1 select the metric set.
    EXPECT_EQ(line_of(settings_for(3, 6), truck(), 0), first + "SP=55 GP=4.5 HD=12.3\r\n"
                                                               "AX=3  CS=6  FET 32.81   14.11 18.70\r\n"
                                                               "OK          TON  5.36   1.34 2.23 1.79\r\n");
    run_settings s = settings_for(3, 0);
    s.taxo = true;
    set_site(s, "A1");
    vehicle_info v = truck();
    v.axles = 0;
    v.headway = 20000; // no cap in this layout
    EXPECT_EQ(line_of(s, v, 0),
              "      A1  00000042 070305 13:45:09.37 001A2B LA=2 DN=2 SP=88 GP=4.5 HD=2000.0\r\n"
              "AX=0  CS=6  MTR 10.00  \r\n"
              "OK          TNE  5.44  \r\n");
}

// A record may claim 15 axles; the vehicle holds 12 spacings and 13 weights.
vehicle_info fifteen_axles() {
    vehicle_info v = truck();
    v.axles = 15;
    v.wheelbase = 1200;
    v.gross_weight = 1300;
    v.axle_spacing.fill(100);
    v.axle_weight.fill(100);
    return v;
}

std::string repeated(const std::string& piece, int n) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        text += piece;
    }
    return text;
}

TEST(VbvLabelledLines, ManyAxlesStopAtThirteen) {
    EXPECT_EQ(line_of(settings_for(3, 0), fifteen_axles(), 2),
              "000042 070305 13:45:09.37 001A2B LA=2 DN=2 SP=88 GP=4.5 HD=12.3\r\n"
              "AX=15 CS=6  MTR 12.00  " +
                  repeated(" 1.00", 12) + "\r\nOK          TNE  5.90  " + repeated(" 0.45", 13) + "\r\n");
    // Layouts 1 and 2 show the first 8 spacings and 9 weights, all rounded.
    const std::string line = line_of(settings_for(1, 1), fifteen_axles(), 2);
    EXPECT_EQ(line.substr(line.size() - 2 - 5 * 8 - 6 - 6 * 9),
              repeated("  100", 8) + "   590" + repeated("    45", 9) + "\r\n");
}

TEST(VbvAxlePicture, LineAndPicture) {
    run_settings s = settings_for(4, 0);
    const printed picture = print_vehicle(s, truck(), 2);
    // 4.5 s rounds to 4; spacings of 430 and 570 cm draw 8 and 11 dashes.
    EXPECT_EQ(picture.text, "13:45:09 2  4  88  3  6 OK       1--------2-----------2\r\n");
    EXPECT_EQ(picture.lines, 1);
    s.k479.print_units = 3; // the speed follows the print units, the picture does not
    EXPECT_EQ(line_of(s, truck(), 2), "13:45:09 2  4  54  3  6 OK       1--------2-----------2\r\n");

    vehicle_info v = truck();
    v.axles = 5;
    v.axle_spacing = {50, 100, 101, 1500};
    v.axle_weight = {0, 55, 56, 2095, 3638};
    EXPECT_EQ(line_of(s, v, 2), "13:45:09 2  4  54  5  6 OK       qq-h--A" + repeated("-", 19) + "H\r\n");

    v.axles = 0;
    v.gap = 0;
    v.speed = 0;
    EXPECT_EQ(line_of(s, v, 2), "13:45:09 2" + spaces(9) + "0  6 OK\r\n");

    EXPECT_EQ(line_of(s, fifteen_axles(), 2),
              "13:45:09 2  4  54 15  6 OK       " + repeated("h-", 12) + "h\r\n");
}

TEST(VbvAxlePicture, WeightCharacters) {
    struct weight_case {
        unsigned weight;
        char expected;
    };
    const weight_case cases[] = {
        {0, 'q'},    {55, 'q'},   {56, 'h'},   {165, 'h'},  {166, '1'},   {330, '1'},    {331, '2'},
        {2094, '9'}, {2095, 'A'}, {3637, 'G'}, {3638, 'H'}, {65535, 'H'}, {400000, 'H'},
    };
    for (const weight_case& c : cases) {
        EXPECT_EQ(conv_wt_char(c.weight), c.expected) << c.weight;
    }
}

TEST(VbvSummaryLayout, WritesOnlyTheDueSummary) {
    run_settings s = settings_for(5, 1);
    s.m_hrs[0] = 8;
    s.m_hrs[1] = 17;
    s.m_mins[1] = 30;
    s.m_day[0] = 7;
    s.m_day[1] = 8;
    s.m_mon[0] = 2;
    s.m_mon[1] = 2;
    s.m_yr[0] = 2005;
    s.m_yr[1] = 2005;
    const language_texts lang;
    report_sink out;
    zedirozed_state state;
    state.marsum[1] = 10;
    state.marsum[3] = 2;
    state.marsum[14] = 7;
    print_osp(run_context{s, lang, out}, truck(), header_with(2), state);
    EXPECT_EQ(out.text(), "");

    state.marp = true;
    print_osp(run_context{s, lang, out}, truck(), header_with(2), state);
    EXPECT_EQ(out.text(), "\r\nZedirozed Summary\r\n=================\r\n"
                          "Start Time = 08:00\r\nStart Date = 07/03/05\r\n"
                          "Stop  Time = 17:30\r\nStop  Date = 08/03/05\r\n\r\n"
                          "Class  1 = 10\r\nClass  2 = 0\r\nClass  3 = 2\r\nClass  4 = 0\r\nClass  5 = 0\r\n"
                          "Class 14 = 7\r\n\r\n");
    EXPECT_EQ(out.line_count(), 15);
    EXPECT_FALSE(state.marp);
    EXPECT_TRUE(state.marpp);

    s.k479.date_format = 1;
    report_sink us;
    state.marp = true;
    print_osp(run_context{s, lang, us}, truck(), header_with(2), state);
    EXPECT_NE(us.text().find("Start Date = 03/07/05\r\n"), std::string::npos);
}

TEST(Zedirozed, Reclassification) {
    struct class_case {
        unsigned lane, axles, wheelbase;
        int expected_class;
        unsigned expected_lane;
    };
    const class_case cases[] = {
        {0, 2, 319, 1, 2},  {0, 2, 320, 3, 2},  {0, 2, 529, 3, 2},  {0, 2, 530, 4, 2},
        {0, 2, 639, 4, 2},  {0, 2, 640, 5, 2},  {0, 3, 100, 5, 2},  {0, 4, 2000, 5, 2},
        {0, 0, 0, 14, 2},   {0, 1, 100, 14, 2}, {0, 5, 900, 14, 2}, {1, 2, 319, 2, 3},
        {1, 2, 320, 14, 3}, {3, 3, 100, 14, 5}, {6, 2, 200, 2, 0},  {7, 4, 500, 14, 1},
    };
    run_settings s;
    s.zedirozed = true;
    zedirozed_state state;
    for (const class_case& c : cases) {
        vehicle_info v;
        v.lane = static_cast<std::uint8_t>(c.lane);
        v.axles = static_cast<std::uint8_t>(c.axles);
        v.wheelbase = static_cast<std::uint16_t>(c.wheelbase);
        v.class_code = 9;
        zedirozed_reclassify(s, v, state);
        EXPECT_EQ(v.class_code, c.expected_class) << c.lane << " " << c.axles << " " << c.wheelbase;
        EXPECT_EQ(v.lane, c.expected_lane) << c.lane;
    }
    EXPECT_EQ(state.marpm, 0); // no counting outside the summary layout

    s.zedirozed = false;
    vehicle_info v;
    v.axles = 2;
    v.class_code = 9;
    zedirozed_reclassify(s, v, state);
    EXPECT_EQ(v.class_code, 9);
    EXPECT_EQ(v.lane, 0);
}

TEST(Zedirozed, CountingWindowHasExclusiveBoundsAndOnlyMovesForward) {
    run_settings s;
    s.zedirozed = true;
    s.print_format = 5;
    s.mars = instant{5, 2, 7, 8, 0, 0};
    s.marf = instant{5, 2, 7, 9, 0, 0};
    zedirozed_state state;
    struct step {
        int hour, minute, second;
        int marpm;
        unsigned class1;
        bool marp;
    };
    // Every vehicle is a lane-1 car (class 1).
    const step steps[] = {
        {7, 59, 59, 0, 0, false},                         // before the start
        {8, 0, 0, 0, 0, false},                           // at the start: not inside
        {8, 0, 1, 1, 1, false},                           // first vehicle inside opens the window
        {8, 30, 0, 1, 2, false},  {7, 0, 0, 1, 3, false}, // once open, an earlier time still counts
        {9, 0, 0, 2, 3, true},                            // at the stop: closes, not counted
        {8, 30, 0, 2, 3, true},                           // never reopens
    };
    for (const step& st : steps) {
        vehicle_info v;
        v.year = 2005;
        v.month = 2;
        v.day = 7;
        v.hour = static_cast<std::uint8_t>(st.hour);
        v.minute = static_cast<std::uint8_t>(st.minute);
        v.second = static_cast<std::uint8_t>(st.second);
        v.axles = 2;
        v.wheelbase = 250;
        zedirozed_reclassify(s, v, state);
        EXPECT_EQ(state.marpm, st.marpm) << st.hour << ":" << st.minute << ":" << st.second;
        EXPECT_EQ(state.marsum[1], st.class1) << st.hour << ":" << st.minute << ":" << st.second;
        EXPECT_EQ(state.marp, st.marp) << st.hour << ":" << st.minute << ":" << st.second;
    }

    // The year counts modulo 100 and the day orders before the hour.
    zedirozed_state other;
    vehicle_info v;
    v.year = 1905;
    v.month = 2;
    v.day = 6;
    v.hour = 23;
    zedirozed_reclassify(s, v, other);
    EXPECT_EQ(other.marpm, 0);
    v.day = 7;
    v.hour = 8;
    v.second = 30;
    zedirozed_reclassify(s, v, other);
    EXPECT_EQ(other.marpm, 1);
    EXPECT_EQ(other.marsum[14], 1U); // a vehicle of lane 1 without axles
}

} // namespace
} // namespace tallycnv
