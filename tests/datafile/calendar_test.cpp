#include <gtest/gtest.h>

#include "datafile/calendar.h"

namespace tallycnv {
namespace {

struct vbv_date {
    std::uint8_t day;
    std::uint8_t month;
    std::uint16_t year;
    bool operator==(const vbv_date&) const = default;
};

vbv_date inc(vbv_date d) {
    increment_date(d.day, d.month, d.year);
    return d;
}
vbv_date dec(vbv_date d) {
    decrement_date(d.day, d.month, d.year);
    return d;
}

TEST(Calendar, VehicleDatesAcrossMonthAndYearEnds) {
    EXPECT_EQ(inc({28, 1, 2012}), (vbv_date{29, 1, 2012}));
    EXPECT_EQ(inc({29, 1, 2012}), (vbv_date{1, 2, 2012}));
    EXPECT_EQ(inc({31, 11, 2013}), (vbv_date{1, 0, 2014}));
    EXPECT_EQ(inc({28, 1, 2100}), (vbv_date{29, 1, 2100})); // every fourth year is a leap year
    EXPECT_EQ(dec({1, 2, 2012}), (vbv_date{29, 1, 2012}));
    EXPECT_EQ(dec({1, 2, 2013}), (vbv_date{28, 1, 2013}));
    EXPECT_EQ(dec({1, 0, 2014}), (vbv_date{31, 11, 2013}));
    EXPECT_EQ(inc({30, 40, 2013}), (vbv_date{31, 40, 2013})); // a corrupt month has 31 days
}

interval_clock clock_at(unsigned minutes, int day, int month, int year, unsigned step) {
    interval_clock c;
    c.retmins = minutes;
    c.retdate.rec_start_day = static_cast<std::uint8_t>(day);
    c.retdate.rec_start_month = static_cast<std::uint8_t>(month);
    c.retdate.rec_start_year = static_cast<std::uint16_t>(year);
    c.recintvl = step;
    return c;
}

TEST(Calendar, IntervalClockMidnightAndRounding) {
    interval_clock c = clock_at(1425, 28, 2, 2012, 15);
    advance_interval(c);
    EXPECT_EQ(c.retmins, 1440U);
    EXPECT_EQ(c.retdate.rec_start_day, 28);
    advance_interval(c);
    EXPECT_EQ(c.retmins, 15U);
    EXPECT_EQ(c.retdate.rec_start_day, 29);

    interval_clock r = clock_at(607, 1, 1, 2013, 15);
    advance_interval(r);
    EXPECT_EQ(r.retmins, 615U);

    interval_clock y = clock_at(1440, 31, 12, 2013, 60);
    advance_interval(y);
    EXPECT_EQ(y.retmins, 60U);
    EXPECT_EQ(y.retdate.rec_start_day, 1);
    EXPECT_EQ(y.retdate.rec_start_month, 1);
    EXPECT_EQ(y.retdate.rec_start_year, 2014);

    interval_clock zero = clock_at(600, 1, 1, 2013, 0);
    advance_interval(zero);
    EXPECT_EQ(zero.retmins, 600U);
}

TEST(Calendar, IntervalClockSwitchesToPeakStep) {
    interval_clock c = clock_at(430, 1, 1, 2013, 60);
    c.retr_peak.peak_interval = 15;
    c.retr_peak.peak_times[0] = {7, 0};
    c.retr_peak.peak_times[1] = {9, 0};
    advance_interval(c); // 430 is inside the peak: rounded to 420, plus 15
    EXPECT_EQ(c.retmins, 435U);
}

} // namespace
} // namespace tallycnv
