#include "vbv/vbv_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

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

struct base_expansion {
    run_settings settings;
    zedirozed_state zedirozed;
    vbv_reading_state state;

    vehicle_info expand(const vbv_fields& f) {
        vehicle_info v;
        expand_vbv(as_record<vbv_record>(test::pack_base(f), f), v, state,
                   zedirozed_scope{settings, zedirozed});
        return v;
    }
};

TEST(VbvApportion, FixedSharesAreExactAndTheLastTakesTheRemainder) {
    struct share_case {
        std::vector<std::uint8_t> shares;
        std::uint16_t total;
        std::vector<std::uint16_t> expected;
    };
    const share_case cases[] = {
        {{128, 127}, 1000, {501, 499}},
        {{155, 100}, 51, {31, 20}}, // 155 * 51 = 31 * 255 exactly; double arithmetic would give 30
        {{85, 170}, 100, {33, 67}},
        {{0, 0, 0}, 700, {0, 0, 700}},
        {{255, 255}, 100, {100, 100}},         // remainder 0: the last keeps its own value
        {{200, 200, 10}, 255, {200, 200, 10}}, // remainder negative: likewise
        {{77}, 0, {0}},
    };
    for (const share_case& c : cases) {
        std::vector<std::uint16_t> out(c.shares.size(), 0xEEEE);
        apportion_fixed(c.shares.data(), c.shares.size(), c.total, out.data(), out.size());
        EXPECT_EQ(out, c.expected) << "total " << c.total;
    }
}

TEST(VbvApportion, StreamSharesRoundAndTheLastAlwaysTakesTheRemainder) {
    std::uint16_t out[3] = {};
    const std::uint8_t rounded[] = {128, 127};
    apportion_stream(rounded, 2, 1000, out, 3);
    EXPECT_EQ(out[0], 502); // (1000 * 128 + 128) / 255
    EXPECT_EQ(out[1], 498);

    const std::uint8_t over[] = {255, 255, 9};
    apportion_stream(over, 3, 100, out, 3);
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[1], 100);
    EXPECT_EQ(out[2], static_cast<std::uint16_t>(-100)); // a negative remainder is stored as it falls
}

TEST(VbvApportion, EntriesBeyondTheArraysAreNeitherReadNorWritten) {
    // A record claiming 15 axles: 14 spacings of which 12 are kept; the 12
    // kept each take their own share, since the remainder belongs to the 14th.
    std::uint8_t shares[max_spacings];
    std::fill(std::begin(shares), std::end(shares), 17);
    std::uint16_t out[max_spacings + 2] = {};
    out[12] = out[13] = 0xBEEF;
    apportion_fixed(shares, 14, 1500, out, max_spacings);
    for (std::size_t i = 0; i < max_spacings; ++i) {
        EXPECT_EQ(out[i], 100) << i;
    }
    EXPECT_EQ(out[12], 0xBEEF);
    EXPECT_EQ(out[13], 0xBEEF);
}

TEST(VbvBaseFormat, FieldsClockAndShares) {
    base_expansion b;
    b.state.next_veh_no = 41;
    b.state.vbv_dat = {7, 2, 2013};
    vbv_fields f;
    f.time = 451234; // 12:32:03.4
    f.lane = 5;
    f.direction = 1;
    f.axles = 3;
    f.class_code = 9;
    f.speed = 87;
    f.gap = 0xABC;
    f.headway = 0x123;
    f.overhang = 120;
    f.wheelbase = 1000;
    f.gross = 100;
    f.spacings = {128, 127};
    f.weights = {85, 85, 85};
    const vehicle_info v = b.expand(f);
    EXPECT_EQ(v.vehicle_number, 41);
    EXPECT_EQ(b.state.next_veh_no, 42u);
    EXPECT_EQ(v.hour, 12);
    EXPECT_EQ(v.minute, 32);
    EXPECT_EQ(v.second, 3);
    EXPECT_EQ(v.millisecond, 400);
    EXPECT_EQ(v.lane, 5);
    EXPECT_EQ(v.direction, 1);
    EXPECT_EQ(v.axles, 3);
    EXPECT_EQ(v.class_code, 9);
    EXPECT_EQ(v.speed, 87);
    EXPECT_EQ(v.gap, 0xABC);
    EXPECT_EQ(v.headway, 0x123);
    EXPECT_EQ(v.length, 1120);
    EXPECT_EQ(v.wheelbase, 1000);
    EXPECT_EQ(v.axle_spacing[0], 501);
    EXPECT_EQ(v.axle_spacing[1], 499);
    EXPECT_EQ(v.axle_spacing[2], 0);
    EXPECT_EQ(v.gross_weight, 100);
    EXPECT_EQ(v.axle_weight[0], 33);
    EXPECT_EQ(v.axle_weight[1], 33);
    EXPECT_EQ(v.axle_weight[2], 34);
    EXPECT_EQ(v.day, 7);
    EXPECT_EQ(v.month, 2);
    EXPECT_EQ(v.year, 2013);
    EXPECT_EQ(b.state.last_time[5], 451234);
    EXPECT_EQ(b.state.last_vehicle, 451234);
}

TEST(VbvBaseFormat, LengthAndWheelbaseRule) {
    struct length_case {
        unsigned overhang, axles, wheelbase_field;
        std::uint16_t length, wheelbase;
    };
    const length_case cases[] = {
        {0, 0, 450, 450, 0}, // no axle detection: the field holds the length
        {0, 2, 450, 0, 450},
        {120, 2, 450, 570, 450},
        {120, 0, 450, 570, 450},
    };
    for (const length_case& c : cases) {
        base_expansion b;
        vbv_fields f;
        f.overhang = c.overhang;
        f.axles = c.axles;
        f.wheelbase = c.wheelbase_field;
        const vehicle_info v = b.expand(f);
        EXPECT_EQ(v.length, c.length) << c.overhang << " " << c.axles;
        EXPECT_EQ(v.wheelbase, c.wheelbase) << c.overhang << " " << c.axles;
    }
}

TEST(VbvBaseFormat, RunningDateRollsOverMidnightBothWays) {
    base_expansion b;
    b.state.vbv_dat = {31, 11, 2013};
    vbv_fields f;
    f.time = 863900; // 23:59:50
    EXPECT_EQ(b.expand(f).day, 31);
    f.time = 50; // 00:00:05: a drop of more than 23 hours is the next day
    vehicle_info v = b.expand(f);
    EXPECT_EQ(v.day, 1);
    EXPECT_EQ(v.month, 0);
    EXPECT_EQ(v.year, 2014);
    f.time = 863900; // a late record from the previous day
    v = b.expand(f);
    EXPECT_EQ(v.day, 31);
    EXPECT_EQ(v.month, 11);
    EXPECT_EQ(v.year, 2013);
    f.time = 36000 * 12; // a drop of 12 hours changes nothing
    EXPECT_EQ(b.expand(f).day, 31);
}

TEST(VbvBaseFormat, FirstVehicleRaisesTheSummaryUntilOneWasPrinted) {
    base_expansion b;
    vbv_fields f;
    f.time = 100;
    b.expand(f);
    EXPECT_TRUE(b.zedirozed.marp);
    EXPECT_EQ(b.state.last_vehicle, 100);

    base_expansion printed;
    printed.zedirozed.marpp = true;
    printed.expand(f);
    EXPECT_FALSE(printed.zedirozed.marp);

    base_expansion later; // a known latest time: no trigger
    later.state.last_vehicle = 5;
    later.expand(f);
    EXPECT_FALSE(later.zedirozed.marp);
}

TEST(VbvBaseFormat, ZedirozedReclassifiesAndShiftsLanes) {
    struct class_case {
        unsigned lane, axles, wheelbase;
        std::uint8_t cls;
    };
    const class_case cases[] = {
        {0, 2, 320, 3}, // lane 1, two axles, 3.20 m: prints as lane 3
        {1, 2, 319, 2},
        {0, 5, 900, 14},
    };
    for (const class_case& c : cases) {
        base_expansion b;
        b.settings.zedirozed = true;
        vbv_fields f;
        f.lane = c.lane;
        f.axles = c.axles;
        f.wheelbase = c.wheelbase;
        f.class_code = 7;
        const vehicle_info v = b.expand(f);
        EXPECT_EQ(v.class_code, c.cls) << "lane " << c.lane << " axles " << c.axles << " wb " << c.wheelbase;
        EXPECT_EQ(v.lane, (c.lane + 2) % 8);
    }
    base_expansion off; // without the mode nothing changes
    vbv_fields f;
    f.lane = 7;
    f.class_code = 7;
    const vehicle_info v = off.expand(f);
    EXPECT_EQ(v.class_code, 7);
    EXPECT_EQ(v.lane, 7);
}

TEST(VbvPackedFormats, Type4CarriesItsOwnNumberAndFields) {
    vbv_fields f;
    f.number = 0xBEEF;
    f.time = 0xABCDE;
    f.lane = 6;
    f.direction = 1;
    f.axles = 2;
    f.class_code = 21;
    f.speed = 99;
    f.gap = 0xFED;
    f.headway = 0x987;
    f.overhang = 0x3A5;
    f.wheelbase = 0xC34;
    f.gross = 300;
    f.chassis = 4;
    f.spacings = {200};
    f.weights = {100, 155};
    const vbv_record_4 record = as_record<vbv_record_4>(test::pack_type4(f), f);
    vbv_reading_state state;
    state.next_veh_no = 9;
    const date_record date{2014, 5, 30};
    vehicle_info v;
    expand_vbv(record, date, v, state);
    EXPECT_EQ(v.vehicle_number, 0xBEEF);
    EXPECT_EQ(state.next_veh_no, 9u);
    const std::uint32_t t = 0xABCDE;
    EXPECT_EQ(v.hour, t / 36000);
    EXPECT_EQ(v.minute, (t / 600) % 60);
    EXPECT_EQ(v.second, (t / 10) % 60);
    EXPECT_EQ(v.millisecond, (t % 10) * 100);
    EXPECT_EQ(v.year, 2014);
    EXPECT_EQ(v.month, 5);
    EXPECT_EQ(v.day, 30);
    EXPECT_EQ(v.lane, 6);
    EXPECT_EQ(v.direction, 1);
    EXPECT_EQ(v.class_code, 21);
    EXPECT_EQ(v.chassis_height, 4);
    EXPECT_EQ(v.gap, 0xFED);
    EXPECT_EQ(v.headway, 0x987);
    EXPECT_EQ(v.wheelbase, 0xC34);
    EXPECT_EQ(v.length, 0x3A5 + 0xC34);
    EXPECT_EQ(v.axle_spacing[0], 0xC34); // the only spacing takes the whole wheelbase
    EXPECT_EQ(v.axle_weight[0], 117);
    EXPECT_EQ(v.axle_weight[1], 183);
    EXPECT_EQ(state.last_time[6], 0); // format 4 keeps no history
}

TEST(VbvPackedFormats, Type6HeadwayAndGapFromTheLaneHistory) {
    struct gap_case {
        std::uint16_t last_speed;
        std::uint32_t last_length;
        std::int32_t last_time;
        unsigned time;
        std::uint16_t headway, gap;
    };
    const gap_case cases[] = {
        {36, 500, 1000, 1150, 150, 145},  {0, 500, 1000, 1150, 150, 150},
        {36, 1000, 1000, 1005, 5, 9999},  // closer than the previous vehicle's length
        {36, 500, 1000, 900, 9999, 9999}, // time went back: negative headway
        {80, 1200, 0, 12000, 9999, 9999}, // above 9999 tenths
    };
    for (const gap_case& c : cases) {
        vbv_reading_state state;
        state.next_veh_no = 3;
        state.last_time[2] = c.last_time;
        state.last_speed[2] = c.last_speed;
        state.last_length[2] = c.last_length;
        vbv_fields f;
        f.time = c.time;
        f.lane = 2;
        f.speed = 50;
        f.axles = 2;
        f.wheelbase = 300;
        f.overhang = 100;
        vehicle_info v;
        expand_vbv(as_record<vbv_record_6>(test::pack_type6(f), f), date_record{2013, 0, 1}, v, state);
        EXPECT_EQ(v.headway, c.headway) << c.time;
        EXPECT_EQ(v.gap, c.gap) << c.time;
        EXPECT_EQ(v.vehicle_number, 3);
        EXPECT_EQ(state.next_veh_no, 4u);
        EXPECT_EQ(state.last_time[2], static_cast<std::int32_t>(c.time));
        EXPECT_EQ(state.last_speed[2], 50);
        EXPECT_EQ(state.last_length[2], 400u);
    }
}

TEST(VbvPackedFormats, Type7TimeFollowsFromTheHeadway) {
    vbv_reading_state state;
    state.last_time[1] = 863990;
    state.last_speed[1] = 36;
    state.last_length[1] = 500;
    vbv_fields f;
    f.lane = 1;
    f.headway = 30;
    f.speed = 72;
    f.axles = 0;
    f.wheelbase = 420; // a length without axle detection
    vehicle_info v;
    expand_vbv(as_record<vbv_record_7>(test::pack_type7(f), f), date_record{2013, 6, 15}, v, state);
    EXPECT_EQ(v.hour, 0);
    EXPECT_EQ(v.minute, 0);
    EXPECT_EQ(v.second, 2);
    EXPECT_EQ(v.millisecond, 0);
    EXPECT_EQ(v.day, 15); // the date record's day, no rollover
    EXPECT_EQ(v.headway, 30);
    EXPECT_EQ(v.gap, 25);
    EXPECT_EQ(v.length, 420);
    EXPECT_EQ(state.last_time[1], 20);
    EXPECT_EQ(state.last_length[1], 420u);
    EXPECT_EQ(state.last_speed[1], 72);

    // A lane history from a corrupt header that is negative still gives a time of day.
    vbv_reading_state odd;
    odd.last_time[0] = -50;
    f.lane = 0;
    f.headway = 20;
    expand_vbv(as_record<vbv_record_7>(test::pack_type7(f), f), date_record{}, v, odd);
    EXPECT_EQ(v.hour, 23);
    EXPECT_EQ(v.minute, 59);
    EXPECT_EQ(v.second, 57);
}

TEST(VbvPackedFormats, Type9HundredthsSpeedTenthsAndTruncatedGap) {
    vbv_reading_state state;
    state.last_time[3] = 4500000;
    state.last_speed[3] = 90;
    state.last_length[3] = 1250;
    vbv_fields f;
    f.time = 4512345;
    f.speed = 1234;
    f.lane = 3;
    f.axles = 5;
    f.overhang = 0x2F1;
    f.wheelbase = 0xABC;
    f.class_code = 27;
    f.direction = 1;
    f.gross = 2000;
    f.chassis = 2;
    vehicle_info v;
    expand_vbv(as_record<vbv_record_9>(test::pack_type9(f), f), date_record{2013, 2, 7}, v, state);
    EXPECT_EQ(v.hour, 12);
    EXPECT_EQ(v.minute, 32);
    EXPECT_EQ(v.second, 3);
    EXPECT_EQ(v.millisecond, 450);
    EXPECT_EQ(v.speed, 123);
    EXPECT_EQ(v.axles, 5);
    EXPECT_EQ(v.class_code, 27);
    EXPECT_EQ(v.direction, 1);
    EXPECT_EQ(v.chassis_height, 2);
    EXPECT_EQ(v.wheelbase, 0xABC);
    EXPECT_EQ(v.length, 0x2F1 + 0xABC);
    EXPECT_EQ(v.headway, 1234);                // 12345 hundredths
    EXPECT_EQ(v.gap, 1234 - 1250 * 36 / 9000); // truncated passing time: 5 tenths
    EXPECT_EQ(v.axle_weight[4], 2000);         // all shares 0: the last axle takes the gross weight
    EXPECT_EQ(state.last_time[3], 4512345);

    f.speed = 1235;
    f.time = 100; // after midnight: headway across the day boundary
    expand_vbv(as_record<vbv_record_9>(test::pack_type9(f), f), date_record{2013, 2, 8}, v, state);
    EXPECT_EQ(v.speed, 124);
    EXPECT_EQ(v.headway, 9999);   // (100 - 4512345 + 8640000) / 10 = 412775, above the limit
    state.last_time[3] = 8639950; // 23:59:59.50
    f.time = 20;                  // 00:00:00.20
    expand_vbv(as_record<vbv_record_9>(test::pack_type9(f), f), date_record{}, v, state);
    EXPECT_EQ(v.headway, 7);
}

TEST(VbvStreamForm, TimeAndLaneOnly) {
    vbv_reading_state state;
    state.next_veh_no = 77;
    state.last_time[4] = 1000;
    vbv_fields f;
    f.time = 1300;
    f.lane = 4;
    byte_stream input(test::pack_stream(f, 0x6));
    vehicle_info v;
    ASSERT_TRUE(expand_vbv(input, date_record{2013, 8, 9}, v, 0x6, state));
    EXPECT_EQ(v.vehicle_number, 77);
    EXPECT_EQ(state.next_veh_no, 78u);
    EXPECT_EQ(v.lane, 4);
    EXPECT_EQ(v.headway, 300);
    EXPECT_EQ(v.gap, 300);
    EXPECT_EQ(v.minute, 2);
    EXPECT_EQ(v.second, 10);
    EXPECT_EQ(v.day, 9);
    EXPECT_EQ(state.last_time[4], 1300);
    EXPECT_EQ(input.tell(), input.size());
}

TEST(VbvStreamForm, EveryFieldInOrder) {
    const std::uint32_t mask = 0x7FFF;
    vbv_reading_state state;
    state.next_veh_no = 5;
    state.last_speed[2] = 36;
    state.last_length[2] = 500;
    vbv_fields f;
    f.number = 4242;
    f.time = 0x0A1B2C;
    f.lane = 2;
    f.direction = 1;
    f.headway = 150;
    f.gap = 0; // none recorded: worked out from the headway
    f.speed = 61;
    f.length = 1650;
    f.axles = 3;
    f.class_code = 200;
    f.chassis = 3;
    f.wheelbase = 1000;
    f.gross = 100;
    f.spacings = {128, 127};
    f.weights = {85, 85, 85};
    test::bytes record = test::pack_stream(f, mask);
    record.push_back(0x55); // the next record's first byte
    byte_stream input(record);
    vehicle_info v;
    ASSERT_TRUE(expand_vbv(input, date_record{2013, 1, 2}, v, mask, state));
    EXPECT_EQ(input.tell(), record.size() - 1);
    EXPECT_EQ(v.vehicle_number, 4242);
    EXPECT_EQ(state.next_veh_no, 5u);
    EXPECT_EQ(v.direction, 1);
    EXPECT_EQ(v.headway, 150);
    EXPECT_EQ(v.gap, 145);
    EXPECT_EQ(v.speed, 61);
    EXPECT_EQ(v.length, 1650);
    EXPECT_EQ(v.axles, 3);
    EXPECT_EQ(v.class_code, 200);
    EXPECT_EQ(v.chassis_height, 3);
    EXPECT_EQ(v.wheelbase, 1000);
    EXPECT_EQ(v.axle_spacing[0], 502);
    EXPECT_EQ(v.axle_spacing[1], 498);
    EXPECT_EQ(v.axle_weight[0], 33);
    EXPECT_EQ(v.axle_weight[1], 33);
    EXPECT_EQ(v.axle_weight[2], 34);
    EXPECT_EQ(state.last_time[2], 0x0A1B2C);
    EXPECT_EQ(state.last_speed[2], 61);
    EXPECT_EQ(state.last_length[2], 1650u);
}

TEST(VbvStreamForm, RecordedGapAndWithoutLane) {
    vbv_reading_state state;
    state.last_speed[0] = 36;
    state.last_length[0] = 500;
    vbv_fields f;
    f.headway = 40000;
    f.gap = 12;
    const std::uint32_t mask = 0x30; // headway and gap only
    byte_stream input(test::pack_stream(f, mask));
    vehicle_info v;
    ASSERT_TRUE(expand_vbv(input, date_record{}, v, mask, state));
    EXPECT_EQ(v.headway, 9999);
    EXPECT_EQ(v.gap, 12);
    EXPECT_EQ(state.last_length[0], 500u); // no lane, no history

    f.gap = 0;
    byte_stream again(test::pack_stream(f, mask));
    ASSERT_TRUE(expand_vbv(again, date_record{}, v, mask, state));
    EXPECT_EQ(v.gap, 0); // without the lane the gap is not worked out
}

TEST(VbvStreamForm, CutRecordChangesNothing) {
    vbv_reading_state state;
    state.next_veh_no = 10;
    state.last_time[1] = 500;
    vbv_fields f;
    f.time = 900;
    f.lane = 1;
    f.speed = 50;
    const std::uint32_t mask = 0x47;
    test::bytes record = test::pack_stream(f, mask);
    record.pop_back();
    byte_stream input(record);
    vehicle_info v;
    v.speed = 3;
    EXPECT_FALSE(expand_vbv(input, date_record{}, v, mask, state));
    EXPECT_EQ(state.next_veh_no, 10u);
    EXPECT_EQ(state.last_time[1], 500);
    EXPECT_EQ(state.last_speed[1], 0);
    EXPECT_EQ(v.speed, 3);
}

} // namespace
} // namespace tallycnv
