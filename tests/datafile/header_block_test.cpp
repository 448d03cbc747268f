#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>

#include "datafile/calendar.h"
#include "datafile/k479_defn.h"
#include "support/k479_builder.h"

namespace tallycnv {
namespace {

k479_defn read(const test::bytes& file) {
    byte_stream in(file);
    k479_defn record{};
    read_header_block(in, record);
    return record;
}

TEST(HeaderBlock, StandardLayoutAndDataPosition) {
    test::bytes file = test::build_header(R"(
        type V
        site SITE1
        start 2013-03-07 10:07:30
        card_type 8 8 0 6
        spec_count 0
        operands 1 4 7
        speed_bins.count 12
        num_records 5
        model 318
    )");
    file.push_back(0xAB);
    byte_stream in(file);
    k479_defn record{};
    read_header_block(in, record);
    EXPECT_EQ(+record.type, 'V');
    EXPECT_EQ(field_text(record.site), "SITE1");
    EXPECT_EQ(+record.start_rec.rec_start_year, 2013);
    EXPECT_EQ(+record.start_rec.rec_start_second, 30);
    EXPECT_EQ(+record.card_type[3], 6);
    EXPECT_EQ(+record.binning.spec_count, 3);
    EXPECT_EQ(max_bins(12, record), 14U);
    EXPECT_EQ(max_bins(13, record), 15U);
    EXPECT_EQ(+record.num_records, 5U);
    EXPECT_EQ(input_count(record), 2);
    EXPECT_EQ(in.get(), 0xAB); // positioned on the data area
    EXPECT_EQ(start_of_data(in), file.size() - 1);
}

TEST(HeaderBlock, GPrefixShiftsEverything) {
    test::header_builder b;
    b.describe("prefix\ntype m\nsite PREFIXED\ndata_offset 1300");
    const test::bytes file = b.build();
    byte_stream in(file);
    k479_defn record{};
    read_header_block(in, record);
    EXPECT_EQ(+record.type, 'm');
    EXPECT_EQ(field_text(record.site), "PREFIXED");
    EXPECT_EQ(start_of_data(in), 128U + 1300U);
}

TEST(HeaderBlock, ShortAndLongSections) {
    // A short section 1 keeps the preset release "1.70", so the serial number
    // comes from the old serial field, which the short section did not reach.
    test::header_builder s;
    s.describe("sect1_len 100\nserial_number 12345");
    const k479_defn short1 = read(s.build());
    EXPECT_EQ(field_text(short1.instrument_release), "1.70");
    EXPECT_EQ(field_text(short1.serial_number), "00000");

    // A long section 2 is cut at its cap; section 3 still starts after all of it.
    test::header_builder l;
    l.describe("sect2_len 300\ninterval 15\nnum_classes 9");
    const k479_defn long2 = read(l.build());
    EXPECT_EQ(+long2.binning.num_classes, 9);
    EXPECT_EQ(+long2.interval, 15);
}

TEST(HeaderBlock, OldReleasesTakeTheOldSerial) {
    const auto serial_for = [](const char* release) {
        const k479_defn r = read(test::build_header(std::string("serial_number 777\nold_serial 12345\n") +
                                                    "instrument_release " + release));
        return std::string(field_text(r.serial_number));
    };
    EXPECT_EQ(serial_for("1.93"), "12345");
    EXPECT_EQ(serial_for("1.94"), "777");
    EXPECT_EQ(serial_for("2.00"), "777");
    const k479_defn empty = read(test::build_header("model\nserial_number\nold_serial 4321"));
    EXPECT_EQ(field_text(empty.model), "479");
    EXPECT_EQ(field_text(empty.serial_number), "4321");
}

TEST(HeaderBlock, FileEndingInsideTheHeader) {
    test::bytes file = test::build_header("type m\nsite CUT");
    file.resize(40);
    const k479_defn r = read(file);
    EXPECT_EQ(+r.type, 'm');
    EXPECT_EQ(field_text(r.site), "CUT");
    EXPECT_EQ(+r.interval, 0);
}

TEST(HeaderBlock, SpecCountAndTextWidth) {
    EXPECT_EQ(+read(test::build_header("spec_count 0\noperands 10 0 0")).binning.spec_count, 2);
    EXPECT_EQ(+read(test::build_header("spec_count 0\noperands 1 0 0")).binning.spec_count, 1);
    EXPECT_EQ(field_text(read(test::build_header("site ABCDEFGHIJKLMNOPQRSTUVWXYZ")).site),
              "ABCDEFGHIJKLMNOPQRST");
}

TEST(HeaderBlock, ConfigurationTests) {
    DataSpecificationType dspec{};
    EXPECT_TRUE(count_only_cfg(dspec));
    dspec.operators[1] = 1;
    EXPECT_FALSE(count_only_cfg(dspec));
    EXPECT_TRUE(is_axle_count({8, 0, 9, 6}, 3));
    EXPECT_FALSE(is_axle_count({8, 0, 9, 6}, 4));

    peak_info peak{};
    peak.peak_interval = 15;
    peak.peak_times[0] = {7, 0};
    peak.peak_times[1] = {9, 0};
    EXPECT_EQ(peak_period(420, peak), 0);
    EXPECT_EQ(peak_period(421, peak), 1);
    EXPECT_EQ(peak_period(540, peak), 1);
    EXPECT_EQ(peak_period(541, peak), 0);
    peak.peak_interval = 0;
    EXPECT_EQ(peak_period(421, peak), 0);
}

struct vbv_date {
    std::uint8_t day;
    std::uint8_t month;
    std::uint16_t year;
    bool operator==(const vbv_date&) const = default;
};

TEST(Calendar, VehicleDatesAcrossMonthAndYearEnds) {
    const std::tuple<bool, vbv_date, vbv_date> rows[] = {
        {true, {28, 1, 2012}, {29, 1, 2012}},
        {true, {29, 1, 2012}, {1, 2, 2012}},
        {true, {31, 11, 2013}, {1, 0, 2014}},
        {true, {28, 1, 2100}, {29, 1, 2100}}, // every fourth year leaps
        {false, {1, 2, 2012}, {29, 1, 2012}},
        {false, {1, 2, 2013}, {28, 1, 2013}},
        {false, {1, 0, 2014}, {31, 11, 2013}},
        {true, {30, 40, 2013}, {31, 40, 2013}}, // a corrupt month: 31 days
    };
    for (auto [forward, date, expected] : rows) {
        if (forward) {
            increment_date(date.day, date.month, date.year);
        } else {
            decrement_date(date.day, date.month, date.year);
        }
        EXPECT_EQ(date, expected) << +expected.day << "/" << +expected.month;
    }
}

TEST(Calendar, IntervalClockMidnightRoundingAndPeak) {
    struct row {
        unsigned minutes, day, month, year, step, peak_step, expected_minutes, expected_day, expected_month,
            expected_year;
    };
    const row rows[] = {
        {1425, 28, 2, 2012, 15, 0, 1440, 28, 2, 2012}, // 24:00 stays on its day
        {1440, 28, 2, 2012, 15, 0, 15, 29, 2, 2012},   {607, 1, 1, 2013, 15, 0, 615, 1, 1, 2013},
        {1440, 31, 12, 2013, 60, 0, 60, 1, 1, 2014},   {600, 1, 1, 2013, 0, 0, 600, 1, 1, 2013},
        {430, 1, 1, 2013, 60, 15, 435, 1, 1, 2013}, // inside the peak: rounded to 420, plus 15
    };
    for (const row& r : rows) {
        interval_clock c;
        c.retmins = r.minutes;
        c.retdate.rec_start_day = static_cast<std::uint8_t>(r.day);
        c.retdate.rec_start_month = static_cast<std::uint8_t>(r.month);
        c.retdate.rec_start_year = static_cast<std::uint16_t>(r.year);
        c.recintvl = r.step;
        c.retr_peak.peak_interval = static_cast<std::uint16_t>(r.peak_step);
        c.retr_peak.peak_times[0] = {7, 0};
        c.retr_peak.peak_times[1] = {9, 0};
        advance_interval(c);
        const unsigned year = c.retdate.rec_start_year;
        EXPECT_EQ(
            (std::array<unsigned, 4>{c.retmins, c.retdate.rec_start_day, c.retdate.rec_start_month, year}),
            (std::array{r.expected_minutes, r.expected_day, r.expected_month, r.expected_year}))
            << r.minutes;
    }
}

} // namespace
} // namespace tallycnv
