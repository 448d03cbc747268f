#include "vbv/vehicle_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "vbv/zedirozed.h"

namespace tallycnv {
namespace {

std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return out;
}

std::string spaces(std::size_t n) {
    return std::string(n, ' ');
}

std::string repeated(const std::string& piece, int n) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        text += piece;
    }
    return text;
}

// A three-axle truck on a weigh site.
vehicle_info truck() {
    return {.vehicle_number = 41,
            .lane = 1,
            .direction = 1,
            .axles = 3,
            .class_code = 6,
            .speed = 88,
            .year = 2005,
            .month = 2,
            .day = 7,
            .hour = 13,
            .minute = 45,
            .second = 9,
            .millisecond = 370,
            .length = 1650,
            .gap = 45,
            .headway = 123,
            .axle_spacing = {430, 570},
            .wheelbase = 1000,
            .axle_weight = {300, 500, 400},
            .gross_weight = 1200,
            .chassis_height = 3,
            .result_code = 0x1A2B};
}

template <class Change> vehicle_info truck_with(Change change) {
    vehicle_info v = truck();
    change(v);
    return v;
}

// A record may claim 15 axles; the vehicle holds 12 spacings and 13 weights.
vehicle_info fifteen_axles() {
    return truck_with([](vehicle_info& v) {
        v.axles = 15;
        v.wheelbase = 1200;
        v.gross_weight = 1300;
        v.axle_spacing.fill(100);
        v.axle_weight.fill(100);
    });
}

// Two or three axles whose spacings should add up to the wheelbase.
vehicle_info spaced(std::uint16_t wheelbase, std::uint16_t first, std::uint16_t second) {
    return {.axles = static_cast<std::uint8_t>(second == 0 ? 2 : 3),
            .axle_spacing = {first, second},
            .wheelbase = wheelbase};
}

// Sensor configurations: loops only, axle sensors, weigh sensors.
k479_defn header_with(int config) {
    k479_defn header = default_k479();
    header.sensor_type[3] = config == 2 ? 28 : config == 1 ? 22 : 0;
    return header;
}

run_settings settings_for(int print_format, int print_units, int date_format = 0,
                          const char* site = nullptr) {
    run_settings s;
    s.print_format = print_format;
    s.k479.print_units = static_cast<std::uint8_t>(print_units);
    s.k479.date_format = static_cast<std::uint8_t>(date_format);
    s.taxo = site != nullptr;
    std::memset(s.k479.site, 0, sizeof s.k479.site);
    if (site != nullptr) {
        std::strncpy(s.k479.site, site, sizeof s.k479.site);
    }
    return s;
}

TEST(VbvVehicleLines, EveryLayoutInMetricAndImperialUnits) {
    struct line_case {
        run_settings settings;
        int config;
        vehicle_info vehicle;
        std::string expected;
    };
    const std::string lead = "000042 070305 1345 09 37 001A2B  2 2 12.3  4.5";
    const std::string zero = "000001 000100 0000 00 00 000000  1 1";
    const std::string tail = " 1345 09 37 001A2B  2 2 12.3  4.5  88  1650     6  M";
    const std::string coded = "1,000001,000100,0000,00,00,000000, 1,1, 0.0, 0.0,   ,     ,";
    const std::string labelled = "000042 070305 13:45:09.37 001A2B LA=2 DN=2 ";
    const line_case cases[] = {
        // Fixed columns. Metres and tonnes: the first spacing and weights are
        // whole numbers, the last carry what rounding dropped.
        {settings_for(1, 0), 2, truck(),
         lead + "  88 16.50  3  6 10.00 4.00 6.00" + spaces(30) + "  5.44  1.00  2.00  2.44" + spaces(6)},
        // Miles per hour, inches and 10 lb, no decimals.
        {settings_for(1, 3), 2, truck(),
         lead + "  54   650  3  6   394  169  225" + spaces(30) + "  1200   300   500   400" + spaces(6)},
        // Axle sensors stop after the spacings; loops only give class and chassis height.
        {settings_for(1, 1), 1, truck(), lead + "  88  1650  3  6  1000  430  570" + spaces(30)},
        {settings_for(1, 1), 0, truck(), lead + "  88  1650     6  M"},
        // Layouts 1 and 2 show the first 8 spacings and 9 weights, all rounded.
        {settings_for(1, 1), 2, fifteen_axles(),
         lead + "  88  1650 15  6  1200" + repeated("  100", 8) + "   590" + repeated("    45", 9)},
        // Absent values keep their columns; headway and gap are capped at 99.9 s.
        {settings_for(1, 1), 2, vehicle_info{.gap = 1000, .headway = 5000, .chassis_height = 9},
         zero + " 99.9 99.9" + spaces(22 + 40 + 15)},
        {settings_for(1, 1), 0, vehicle_info{.gap = 1000, .headway = 5000, .chassis_height = 9},
         zero + " 99.9 99.9" + spaces(17)},
        // One spacing is the wheelbase; the last takes the remainder, or its
        // own value when the remainder is 0 or negative.
        {settings_for(1, 0), 1, spaced(347, 347, 0),
         zero + "  0.0  0.0" + spaces(10) + "  2     3.47 3.47" + spaces(35)},
        {settings_for(1, 0), 1, spaced(1000, 460, 540),
         zero + "  0.0  0.0" + spaces(10) + "  3    10.00 5.00 5.00" + spaces(30)},
        {settings_for(1, 0), 1, spaced(500, 460, 40),
         zero + "  0.0  0.0" + spaces(10) + "  3     5.00 5.00 0.00" + spaces(30)},
        {settings_for(1, 0), 1, spaced(300, 460, 100),
         zero + "  0.0  0.0" + spaces(10) + "  3     3.00 5.00 1.00" + spaces(30)},
        // Date forms (unknown ones order year first) and the site column.
        {settings_for(1, 1, 1), 0, truck(), "000042 030705" + tail},
        {settings_for(1, 1, 2), 0, truck(), "000042 050307" + tail},
        {settings_for(1, 1, 7), 0, truck(), "000042 050307" + tail},
        {settings_for(1, 1, 0, "NORTHBOUND1"), 0, truck(), "NORTHBOU  000042 070305" + tail},
        {settings_for(1, 1, 0, "A1"), 0, truck(), "      A1  000042 070305" + tail},
        // Record coded. 16.5 m in whole metres is 16: printf rounds the tie to even;
        // the speed is rounded here (54.7 mph prints 55), where layout 1 truncates.
        {settings_for(2, 0), 2, truck(),
         "1,000042,070305,1345,09,37,001A2B, 2,2,12.3, 4.5, 88,   16, 3, 6,10.00,4.00,6.00,    ,    ,    ,   "
         " ,    ,"
         "    , 5.44, 1.00, 2.00, 2.44,,,,,,"},
        {settings_for(2, 3), 2, truck(),
         "1,000042,070305,1345,09,37,001A2B, 2,2,12.3, 4.5, 55,  650, 3, 6,  394, 169, 225,    ,    ,    ,   "
         " ,    ,"
         "    , 1200,  300,  500,  400,,,,,,"},
        {settings_for(2, 1), 0, truck(),
         "1,000042,070305,1345,09,37,001A2B, 2,2,12.3, 4.5, 88, 1650, 6,\" M\""},
        {settings_for(2, 1, 0, "A1"), 0, truck(),
         "1,      A1,42,070305,1345,09,37,001A2B, 2,2,12.3, 4.5, 88, 1650, 6,\" M\""},
        // Every absent field keeps its comma; the line never ends with one.
        {settings_for(2, 1), 2, vehicle_info{},
         coded + "  ,  ,     ,    ,    ,    ,    ,    ,    ,    ,    ,     ," + std::string(8, ',')},
        {settings_for(2, 1), 1, vehicle_info{},
         coded + "  ,  ,     ,    ,    ,    ,    ,    ,    ,    ,    "},
        {settings_for(2, 1), 0, vehicle_info{}, coded + "  ,\"  \""},
        // Labelled lines; only print units 0 and 1 select the metric set.
        {settings_for(3, 1), 0, truck(),
         labelled + "SP=88 GP=4.5 HD=12.3\nAX=3  CS=6  MTR 10.00   4.30 5.70\nOK          TNE  5.44   1.36 "
                    "2.27 1.81"},
        {settings_for(3, 6), 0, truck(),
         labelled + "SP=55 GP=4.5 HD=12.3\nAX=3  CS=6  FET 32.81   14.11 18.70\nOK          TON  5.36   1.34 "
                    "2.23 1.79"},
        // No cap on the headway in this layout; many axles stop at thirteen.
        {settings_for(3, 0, 0, "A1"), 0, truck_with([](vehicle_info& v) { v.axles = 0, v.headway = 20000; }),
         "      A1  00000042 070305 13:45:09.37 001A2B LA=2 DN=2 SP=88 GP=4.5 HD=2000.0\n"
         "AX=0  CS=6  MTR 10.00  \nOK          TNE  5.44  "},
        {settings_for(3, 0), 2, fifteen_axles(),
         labelled + "SP=88 GP=4.5 HD=12.3\nAX=15 CS=6  MTR 12.00  " + repeated(" 1.00", 12) +
             "\nOK          TNE  5.90  " + repeated(" 0.45", 13)},
        // Axle picture: 4.5 s rounds to 4; spacings of 430 and 570 cm draw 8
        // and 11 dashes. The speed follows the print units, the picture does not.
        {settings_for(4, 0), 2, truck(), "13:45:09 2  4  88  3  6 OK       1--------2-----------2"},
        {settings_for(4, 3), 2, truck(), "13:45:09 2  4  54  3  6 OK       1--------2-----------2"},
        {settings_for(4, 3), 2, truck_with([](vehicle_info& v) {
             v.axles = 5;
             v.axle_spacing = {50, 100, 101, 1500};
             v.axle_weight = {0, 55, 56, 2095, 3638};
         }),
         "13:45:09 2  4  54  5  6 OK       qq-h--A" + repeated("-", 19) + "H"},
        {settings_for(4, 3), 2, truck_with([](vehicle_info& v) { v.axles = 0, v.gap = 0, v.speed = 0; }),
         "13:45:09 2" + spaces(9) + "0  6 OK"},
        {settings_for(4, 3), 2, fifteen_axles(),
         "13:45:09 2  4  54 15  6 OK       " + repeated("h-", 12) + "h"},
    };
    for (const line_case& c : cases) {
        const language_texts lang;
        report_sink out;
        zedirozed_state state;
        vehicle_columns columns;
        print_osp(run_context{c.settings, lang, out}, c.vehicle, header_with(c.config), state, columns);
        const std::string expected = crlf(c.expected + "\n");
        EXPECT_EQ(out.text(), expected) << "layout " << c.settings.print_format;
        EXPECT_EQ(out.line_count(), std::count(expected.begin(), expected.end(), '\n'));
    }
}

TEST(VbvVehicleLines, WeightCharacters) {
    const std::pair<unsigned, char> cases[] = {
        {0, 'q'},    {55, 'q'},   {56, 'h'},   {165, 'h'},  {166, '1'},   {330, '1'},    {331, '2'},
        {2094, '9'}, {2095, 'A'}, {3637, 'G'}, {3638, 'H'}, {65535, 'H'}, {400000, 'H'},
    };
    for (const auto& [weight, expected] : cases) {
        EXPECT_EQ(conv_wt_char(weight), expected) << weight;
    }
}

TEST(VbvVehicleLines, EventLinesInBothForms) {
    struct event_case {
        event_record event;
        const char* spaced;
    };
    // Loop cards (13) print a - b, wrapping as an unsigned 32-bit number,
    // unless the code is 3; other cards print value b, then value a; card
    // types past the table have category 0.
    const event_case cases[] = {
        {{1234, 13, 1, 0, 500, 480}, "0 1 02 1 0 00001234 00000 000500 000020 000000"},
        {{1234, 13, 1, 3, 500, 480}, "0 1 02 1 3 00001234 00000 000500 000500 000480"},
        {{1234, 13, 1, 0, 500, 501}, "0 1 02 1 0 00001234 00000 000500 4294967295 000000"},
        {{7, 5, 0, 2, 12, 34}, "0 1 01 4 2 00000007 00034 000012 000000 000000"},
        {{4294967295U, 15, 31, 7, 65535, 65535}, "0 1 32 2 7 4294967295 65535 065535 000000 000000"},
        {{0, 4, 0, 0, 9, 4}, "0 1 01 3 0 00000000 00004 000009 000000 000000"},
        {{0, 12, 0, 0, 9, 4}, "0 1 01 1 0 00000000 00000 000009 000005 000000"},
        {{0, 16, 0, 0, 9, 4}, "0 1 01 0 0 00000000 00004 000009 000000 000000"},
        {{0, 255, 0, 0, 9, 4}, "0 1 01 0 0 00000000 00004 000009 000000 000000"},
    };
    for (const event_case& c : cases) {
        for (int format : {1, 2, 3, 4, 5}) {
            run_settings settings;
            settings.print_format = format;
            const language_texts lang;
            report_sink out;
            print_event_line(run_context{settings, lang, out}, c.event);
            std::string expected = std::string(c.spaced) + "\r\n";
            if (format == 2) {
                std::replace(expected.begin(), expected.end(), ' ', ',');
            }
            EXPECT_EQ(out.text(), expected) << format;
            EXPECT_EQ(out.line_count(), 1);
        }
    }
}

TEST(VbvSummaryLayout, WritesOnlyTheDueSummaryOnce) {
    run_settings s = settings_for(5, 1);
    s.m_hrs[0] = 8;
    s.m_hrs[1] = 17;
    s.m_mins[1] = 30;
    s.m_day[0] = 7;
    s.m_day[1] = 8;
    s.m_mon[0] = s.m_mon[1] = 2;
    s.m_yr[0] = s.m_yr[1] = 2005;
    const language_texts lang;
    zedirozed_state state;
    state.marsum[1] = 10;
    state.marsum[3] = 2;
    state.marsum[14] = 7;
    vehicle_columns columns;
    report_sink out;
    print_osp(run_context{s, lang, out}, truck(), header_with(2), state, columns);
    EXPECT_EQ(out.text(), "");
    state.marp = true;
    print_osp(run_context{s, lang, out}, truck(), header_with(2), state, columns);
    EXPECT_EQ(out.text(),
              crlf("\nZedirozed Summary\n=================\nStart Time = 08:00\nStart Date = 07/03/05\n"
                   "Stop  Time = 17:30\nStop  Date = 08/03/05\n\nClass  1 = 10\nClass  2 = 0\n"
                   "Class  3 = 2\nClass  4 = 0\nClass  5 = 0\nClass 14 = 7\n\n"));
    EXPECT_EQ(out.line_count(), 15);
    EXPECT_FALSE(state.marp);
    EXPECT_TRUE(state.marpp);

    s.k479.date_format = 1;
    report_sink us;
    state.marp = true;
    print_osp(run_context{s, lang, us}, truck(), header_with(2), state, columns);
    EXPECT_NE(us.text().find("Start Date = 03/07/05\r\n"), std::string::npos);
}

TEST(Zedirozed, ReclassificationAndLaneShift) {
    struct class_case {
        unsigned lane, axles, wheelbase;
        int expected_class;
    };
    const class_case cases[] = {
        {0, 2, 319, 1},  {0, 2, 320, 3},  {0, 2, 529, 3}, {0, 2, 530, 4},  {0, 2, 639, 4},  {0, 2, 640, 5},
        {0, 3, 100, 5},  {0, 4, 2000, 5}, {0, 0, 0, 14},  {0, 1, 100, 14}, {0, 5, 900, 14}, {1, 2, 319, 2},
        {1, 2, 320, 14}, {3, 3, 100, 14}, {6, 2, 200, 2}, {7, 4, 500, 14},
    };
    run_settings s;
    zedirozed_state state;
    for (bool on : {true, false}) {
        s.zedirozed = on;
        for (const class_case& c : cases) {
            vehicle_info v;
            v.lane = static_cast<std::uint8_t>(c.lane);
            v.axles = static_cast<std::uint8_t>(c.axles);
            v.wheelbase = static_cast<std::uint16_t>(c.wheelbase);
            v.class_code = 9;
            zedirozed_reclassify(s, v, state);
            EXPECT_EQ(v.class_code, on ? c.expected_class : 9)
                << c.lane << " " << c.axles << " " << c.wheelbase;
            EXPECT_EQ(v.lane, on ? (c.lane + 2) % 8 : c.lane) << c.lane;
        }
    }
    EXPECT_EQ(state.marpm, 0); // no counting outside the summary layout
}

TEST(Zedirozed, CountingWindowHasExclusiveBoundsAndOnlyMovesForward) {
    run_settings s;
    s.zedirozed = true;
    s.print_format = 5;
    s.mars = instant{5, 2, 7, 8, 0, 0};
    s.marf = instant{5, 2, 7, 9, 0, 0};
    zedirozed_state state;
    struct step {
        int year, day, hour, minute, second;
        int marpm;
        unsigned class1;
        bool marp;
    };
    // Every vehicle is a lane-1 car (class 1).
    const step steps[] = {
        {1905, 6, 23, 0, 0, 0, 0, false},  // the year counts modulo 100, the day before the hour
        {2005, 7, 7, 59, 59, 0, 0, false}, // before the start
        {2005, 7, 8, 0, 0, 0, 0, false},   // at the start: not inside
        {2005, 7, 8, 0, 1, 1, 1, false},   // first vehicle inside opens the window
        {2005, 7, 8, 30, 0, 1, 2, false},
        {2005, 7, 7, 0, 0, 1, 3, false}, // once open, an earlier time counts
        {2005, 7, 9, 0, 0, 2, 3, true},  // at the stop: closes, not counted
        {2005, 7, 8, 30, 0, 2, 3, true}, // never reopens
    };
    for (const step& st : steps) {
        vehicle_info v;
        v.year = static_cast<std::uint16_t>(st.year);
        v.month = 2;
        v.day = static_cast<std::uint8_t>(st.day);
        v.hour = static_cast<std::uint8_t>(st.hour);
        v.minute = static_cast<std::uint8_t>(st.minute);
        v.second = static_cast<std::uint8_t>(st.second);
        v.axles = 2;
        v.wheelbase = 250;
        zedirozed_reclassify(s, v, state);
        EXPECT_EQ(state.marpm, st.marpm) << st.day << " " << st.hour << ":" << st.minute << ":" << st.second;
        EXPECT_EQ(state.marsum[1], st.class1) << st.hour << ":" << st.minute << ":" << st.second;
        EXPECT_EQ(state.marp, st.marp) << st.hour << ":" << st.minute << ":" << st.second;
    }
}

} // namespace
} // namespace tallycnv
