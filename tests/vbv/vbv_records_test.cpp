#include "vbv/vbv_records.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>

#include "support/vbv_builder.h"

namespace tallycnv {
namespace {

using test::vbv_fields;

// A record as the reader leaves it: the fixed part as packed, then the shares.
template <class Record> Record as_record(const test::bytes& packed, const vbv_fields& f) {
    Record record{};
    std::memcpy(&record, packed.data(), Record::fixed_size);
    for (std::size_t i = 0; i < f.spacings.size() && i < max_spacings; ++i) {
        record.axle_spacing[i] = static_cast<std::uint8_t>(f.spacings[i]);
    }
    for (std::size_t i = 0; i < f.weights.size() && i < max_weights; ++i) {
        record.axle_weight[i] = static_cast<std::uint8_t>(f.weights[i]);
    }
    return record;
}

template <class Values> std::string list(const Values& values) {
    std::size_t n = std::size(values);
    while (n > 0 && values[n - 1] == 0) {
        --n;
    }
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        text += (i == 0 ? "" : ",") + std::to_string(values[i]);
    }
    return text;
}

// Every field of an expanded vehicle on one line, so a case compares whole.
std::string describe(const vehicle_info& v) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "#%u %u/%u/%u %02u:%02u:%02u.%03u L%u D%u A%u C%u CH%u S%u H%u G%u len%u wb%u gw%u",
                  +v.vehicle_number, +v.day, +v.month, +v.year, +v.hour, +v.minute, +v.second, +v.millisecond,
                  +v.lane, +v.direction, +v.axles, +v.class_code, +v.chassis_height, +v.speed, +v.headway,
                  +v.gap, +v.length, +v.wheelbase, +v.gross_weight);
    return std::string(text) + " sp" + list(v.axle_spacing) + " w" + list(v.axle_weight);
}

// The lane history of one lane before a record.
struct lane_history {
    std::int32_t time = 0;
    std::uint16_t speed = 0;
    std::uint32_t length = 0;
};

// Expands one record of record type `type` (0 base, 4, 6, 7, 9, 8 stream).
struct expander {
    run_settings settings;
    zedirozed_state zedirozed;
    vbv_reading_state state;
    date_record date{2013, 2, 7};

    void history(unsigned lane, lane_history h) {
        state.last_time[lane] = h.time;
        state.last_speed[lane] = h.speed;
        state.last_length[lane] = h.length;
    }

    vehicle_info expand(int type, const vbv_fields& f, std::uint32_t mask = 0) {
        vehicle_info v;
        switch (type) {
        case 0:
            expand_vbv(as_record<vbv_record>(test::pack_base(f), f), v, state,
                       zedirozed_scope{settings, zedirozed});
            break;
        case 4:
            expand_vbv(as_record<vbv_record_4>(test::pack_type4(f), f), date, v, state);
            break;
        case 6:
            expand_vbv(as_record<vbv_record_6>(test::pack_type6(f), f), date, v, state);
            break;
        case 7:
            expand_vbv(as_record<vbv_record_7>(test::pack_type7(f), f), date, v, state);
            break;
        case 9:
            expand_vbv(as_record<vbv_record_9>(test::pack_type9(f), f), date, v, state);
            break;
        default: {
            test::bytes record = test::pack_stream(f, mask);
            record.push_back(0x55); // the next record's first byte
            byte_stream input(record);
            EXPECT_TRUE(expand_vbv(input, date, v, mask, state));
            EXPECT_EQ(input.tell(), record.size() - 1);
        }
        }
        return v;
    }
};

TEST(VbvApportion, ExactSharesAndTheRemainderRules) {
    struct share_case {
        bool stream;
        std::vector<std::uint8_t> shares;
        std::uint16_t total;
        std::vector<std::uint16_t> expected;
    };
    const share_case cases[] = {
        {false, {128, 127}, 1000, {501, 499}},
        {false, {155, 100}, 51, {31, 20}}, // 155 * 51 = 31 * 255 exactly; double arithmetic would give 30
        {false, {0, 0, 0}, 700, {0, 0, 700}},
        {false, {255, 255}, 100, {100, 100}},          // remainder 0: the last keeps its own value
        {false, {200, 200, 10}, 255, {200, 200, 10}},  // remainder negative: likewise
        {true, {128, 127}, 1000, {502, 498}},          // (1000 * 128 + 128) / 255
        {true, {255, 255, 9}, 100, {100, 100, 65436}}, // a negative remainder is stored as it falls
    };
    for (const share_case& c : cases) {
        std::vector<std::uint16_t> out(c.shares.size(), 0xEEEE);
        (c.stream ? apportion_stream : apportion_fixed)(c.shares.data(), c.shares.size(), c.total, out.data(),
                                                        out.size());
        EXPECT_EQ(out, c.expected) << (c.stream ? "stream " : "fixed ") << c.total;
    }

    // A record claiming 15 axles: 14 spacings of which 12 are kept; the 12
    // kept each take their own share, since the remainder belongs to the 14th.
    std::uint8_t shares[14];
    std::memset(shares, 17, sizeof shares);
    std::uint16_t out[14] = {};
    out[12] = out[13] = 0xBEEF;
    apportion_fixed(shares, 14, 1500, out, max_spacings);
    EXPECT_EQ(list(out), "100,100,100,100,100,100,100,100,100,100,100,100,48879,48879");
}

// One hand-computed record of every format: clock, date, fields and shares.
TEST(VbvRecords, WorkedExamplePerFormat) {
    expander x;
    x.state.next_veh_no = 41;
    x.state.vbv_dat = {7, 2, 2013};
    // Base format at 12:32:03.4 on the running date.
    vbv_fields f{.time = 451234,
                 .lane = 5,
                 .direction = 1,
                 .axles = 3,
                 .class_code = 9,
                 .speed = 87,
                 .gap = 0xABC,
                 .headway = 0x123,
                 .overhang = 120,
                 .wheelbase = 1000,
                 .gross = 100,
                 .spacings = {128, 127},
                 .weights = {85, 85, 85}};
    EXPECT_EQ(
        describe(x.expand(0, f)),
        "#41 7/2/2013 12:32:03.400 L5 D1 A3 C9 CH0 S87 H291 G2748 len1120 wb1000 gw100 sp501,499 w33,33,34");
    EXPECT_EQ(x.state.next_veh_no, 42u);
    EXPECT_EQ(x.state.last_time[5], 451234);
    EXPECT_EQ(x.state.last_vehicle, 451234);

    // Format 4 carries its own number and keeps no lane history; its only
    // spacing takes the whole wheelbase.
    f = {.number = 0xBEEF,
         .time = 0xABCDE,
         .lane = 6,
         .direction = 1,
         .axles = 2,
         .class_code = 21,
         .speed = 99,
         .gap = 0xFED,
         .headway = 0x987,
         .overhang = 0x3A5,
         .wheelbase = 0xC34,
         .gross = 300,
         .chassis = 4,
         .spacings = {200},
         .weights = {100, 155}};
    x.date = {2014, 5, 30};
    EXPECT_EQ(describe(x.expand(4, f)), "#48879 30/5/2014 19:32:51.000 L6 D1 A2 C21 CH4 S99 H2439 G4077 "
                                        "len4057 wb3124 gw300 sp3124 w117,183");
    EXPECT_EQ(x.state.next_veh_no, 42u);
    EXPECT_EQ(x.state.last_time[6], 0);

    // Format 6: headway and gap from the lane history, which it then updates.
    f = {.time = 1150,
         .lane = 2,
         .axles = 2,
         .speed = 50,
         .overhang = 100,
         .wheelbase = 300,
         .chassis = 3,
         .spacings = {},
         .weights = {}};
    x.history(2, {1000, 36, 500});
    x.date = {2013, 0, 1};
    EXPECT_EQ(describe(x.expand(6, f)),
              "#42 1/0/2013 00:01:55.000 L2 D0 A2 C0 CH3 S50 H150 G145 len400 wb300 gw0 sp300 w");
    EXPECT_EQ(x.state.last_time[2], 1150);
    EXPECT_EQ(x.state.last_speed[2], 50);
    EXPECT_EQ(x.state.last_length[2], 400u);

    // Format 7: the time follows from the headway, past midnight without a
    // change of date; no axle detection, so the field is the length.
    f = {.lane = 1, .speed = 72, .headway = 30, .wheelbase = 420, .spacings = {}, .weights = {}};
    x.history(1, {863990, 36, 500});
    x.date = {2013, 6, 15};
    EXPECT_EQ(describe(x.expand(7, f)),
              "#43 15/6/2013 00:00:02.000 L1 D0 A0 C0 CH0 S72 H30 G25 len420 wb0 gw0 sp w");
    EXPECT_EQ(x.state.last_time[1], 20);
    // A negative lane history from a corrupt header still gives a time of day.
    x.history(0, {-50, 0, 0});
    f = {.headway = 20, .spacings = {}, .weights = {}};
    EXPECT_EQ(x.expand(7, f).hour, 23);

    // Format 9: hundredths, speed in tenths, truncated gap; all shares 0, so
    // the last spacing and axle take the totals.
    f = {.time = 4512345,
         .lane = 3,
         .direction = 1,
         .axles = 5,
         .class_code = 27,
         .speed = 1234,
         .overhang = 0x2F1,
         .wheelbase = 0xABC,
         .gross = 2000,
         .chassis = 2,
         .spacings = {},
         .weights = {}};
    x.history(3, {4500000, 90, 1250});
    x.date = {2013, 2, 7};
    EXPECT_EQ(describe(x.expand(9, f)), "#45 7/2/2013 12:32:03.450 L3 D1 A5 C27 CH2 S123 H1234 G1229 len3501 "
                                        "wb2748 gw2000 sp0,0,0,2748 w0,0,0,0,2000");
    EXPECT_EQ(x.state.last_time[3], 4512345);

    // The stream form with every field, in order; a zero gap is worked out.
    f = {.number = 4242,
         .time = 0x0A1B2C,
         .lane = 2,
         .direction = 1,
         .axles = 3,
         .class_code = 200,
         .speed = 61,
         .headway = 150,
         .wheelbase = 1000,
         .gross = 100,
         .chassis = 3,
         .length = 1650,
         .spacings = {128, 127},
         .weights = {85, 85, 85}};
    x.history(2, {0, 36, 500});
    x.date = {2013, 1, 2};
    EXPECT_EQ(describe(x.expand(8, f, 0x7FFF)), "#4242 2/1/2013 18:23:51.600 L2 D1 A3 C200 CH3 S61 H150 G145 "
                                                "len1650 wb1000 gw100 sp502,498 w33,33,34");
    EXPECT_EQ(x.state.next_veh_no, 46u);
    EXPECT_EQ(x.state.last_time[2], 0x0A1B2C);
    EXPECT_EQ(x.state.last_length[2], 1650u);
    // Time and lane only: the next number, headway from the lane history.
    f = {.time = 1300, .lane = 4, .spacings = {}, .weights = {}};
    x.history(4, {1000, 0, 0});
    EXPECT_EQ(describe(x.expand(8, f, 0x6)),
              "#46 2/1/2013 00:02:10.000 L4 D0 A0 C0 CH0 S0 H300 G300 len0 wb0 gw0 sp w");
}

TEST(VbvRecords, HeadwayAndGapWrapAtSixteenBitsAndStopAt9999) {
    struct gap_case {
        int type;
        std::uint32_t mask;
        lane_history before;
        unsigned time, headway_field, gap_field;
        std::uint16_t headway, gap;
    };
    const gap_case cases[] = {
        {6, 0, {1000, 0, 500}, 1150, 0, 0, 150, 150},    // no speed: the gap is the headway
        {6, 0, {1000, 36, 1000}, 1005, 0, 0, 5, 9999},   // closer than the previous vehicle's length
        {6, 0, {1000, 36, 500}, 900, 0, 0, 9999, 9999},  // time went back: the headway wraps
        {6, 0, {0, 80, 1200}, 12000, 0, 0, 9999, 9999},  // above 9999 tenths
        {9, 0, {4512345, 90, 0}, 100, 0, 0, 9999, 9999}, // across midnight, still above the limit
        {9, 0, {8639950, 0, 0}, 20, 0, 0, 7, 7},         // 23:59:59.50 to 00:00:00.20
        {8, 0x30, {0, 36, 500}, 0, 40000, 12, 9999, 12}, // a recorded gap is kept
        {8, 0x30, {0, 36, 500}, 0, 40000, 0, 9999, 0},   // without the lane the gap is not worked out
    };
    for (const gap_case& c : cases) {
        expander x;
        x.history(c.type == 8 ? 0 : 2, c.before);
        vbv_fields f;
        f.lane = c.type == 8 ? 0 : 2;
        f.time = c.time;
        f.headway = c.headway_field;
        f.gap = c.gap_field;
        f.speed = 50;
        const vehicle_info v = x.expand(c.type, f, c.mask);
        EXPECT_EQ(v.headway, c.headway) << "type " << c.type << " time " << c.time;
        EXPECT_EQ(v.gap, c.gap) << "type " << c.type << " time " << c.time;
    }
}

TEST(VbvRecords, BaseFormatLengthRuleAndDayRollover) {
    // Overhang, axles, wheelbase field: length, wheelbase. Without axle
    // detection and overhang the field holds the length.
    const unsigned lengths[][5] = {
        {0, 0, 450, 450, 0}, {0, 2, 450, 0, 450}, {120, 2, 450, 570, 450}, {120, 0, 450, 570, 450}};
    for (const auto& c : lengths) {
        expander x;
        const vehicle_info v =
            x.expand(0, {.axles = c[1], .overhang = c[0], .wheelbase = c[2], .spacings = {}, .weights = {}});
        EXPECT_EQ(v.length, c[3]) << c[0] << " " << c[1];
        EXPECT_EQ(v.wheelbase, c[4]) << c[0] << " " << c[1];
    }

    // A drop of more than 23 hours is the next day, a rise of as much the
    // day before (a late record); a drop of 12 hours changes nothing.
    expander x;
    x.state.vbv_dat = {31, 11, 2013};
    const std::pair<unsigned, const char*> steps[] = {
        {863900, "31/11/2013"}, {50, "1/0/2014"}, {863900, "31/11/2013"}, {432000, "31/11/2013"}};
    for (const auto& [time, date] : steps) {
        const vehicle_info v = x.expand(0, {.time = time, .spacings = {}, .weights = {}});
        EXPECT_EQ(std::to_string(v.day) + "/" + std::to_string(v.month) + "/" + std::to_string(v.year), date)
            << time;
    }
}

TEST(VbvRecords, BaseFormatRaisesTheZedirozedSummaryAndReclassifies) {
    const vbv_fields f{
        .time = 100, .axles = 2, .class_code = 7, .wheelbase = 320, .spacings = {}, .weights = {}};
    expander first; // no latest time yet: the first vehicle raises the summary
    first.settings.zedirozed = true;
    const vehicle_info v = first.expand(0, f);
    EXPECT_TRUE(first.zedirozed.marp);
    EXPECT_EQ(+v.class_code, 3); // lane 1, two axles, 3.20 m: prints as lane 3
    EXPECT_EQ(+v.lane, 2);
    expander printed; // but not once a summary was printed
    printed.zedirozed.marpp = true;
    printed.expand(0, f);
    EXPECT_FALSE(printed.zedirozed.marp);
}

} // namespace
} // namespace tallycnv
