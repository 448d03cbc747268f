// The calendar arithmetic behind every report's dates: the running date of the
// vehicle records, the interval clock, its fast move over lost blocks and the
// weekday of the weekly summary. Tables, since a case reaches only a few dates.
#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "datafile/calendar.h"
#include "interval/interval_driver.h"
#include "interval/weekly.h"

namespace tallycnv {
namespace {

struct vbv_date {
    std::uint8_t day;
    std::uint8_t month; // 0-11, as the vehicle records hold it
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

interval_clock clock_at(unsigned minutes, unsigned day, unsigned month, unsigned year, unsigned step,
                        unsigned peak_step = 0) {
    interval_clock c;
    c.retmins = minutes;
    c.retdate.rec_start_day = static_cast<std::uint8_t>(day);
    c.retdate.rec_start_month = static_cast<std::uint8_t>(month);
    c.retdate.rec_start_year = static_cast<std::uint16_t>(year);
    c.recintvl = step;
    c.retr_peak.peak_interval = static_cast<std::uint16_t>(peak_step);
    c.retr_peak.peak_times[0] = {7, 0};
    c.retr_peak.peak_times[1] = {9, 0};
    return c;
}

std::array<unsigned, 4> reading(const interval_clock& c) {
    return {c.retmins, c.retdate.rec_start_day, c.retdate.rec_start_month, c.retdate.rec_start_year};
}

TEST(Calendar, IntervalClockMidnightRoundingAndPeak) {
    struct row {
        interval_clock start;
        std::array<unsigned, 4> expected; // minutes, day, month, year
    };
    const row rows[] = {
        {clock_at(1425, 28, 2, 2012, 15), {1440, 28, 2, 2012}}, // 24:00 stays on its day
        {clock_at(1440, 28, 2, 2012, 15), {15, 29, 2, 2012}},
        {clock_at(607, 1, 1, 2013, 15), {615, 1, 1, 2013}},
        {clock_at(1440, 31, 12, 2013, 60), {60, 1, 1, 2014}},
        {clock_at(600, 1, 1, 2013, 0), {600, 1, 1, 2013}},
        {clock_at(430, 1, 1, 2013, 60, 15), {435, 1, 1, 2013}}, // inside the peak: rounded to 420, plus 15
        {clock_at(1440, 30, 0, 2013, 60), {60, 31, 0, 2013}},   // a month outside 1-12 has 31 days
        {clock_at(1440, 31, 13, 2013, 60), {60, 1, 1, 2014}},
    };
    for (const row& r : rows) {
        interval_clock c = r.start;
        advance_interval(c);
        EXPECT_EQ(reading(c), r.expected) << r.start.retmins;
    }
}

TEST(Calendar, LostBlocksMoveTheClockAsSingleStepsWould) {
    interval_clock peaks = clock_at(300, 30, 1, 2013, 60, 15); // hourly with two 15-minute peaks
    peaks.retr_peak.peak_times[2] = {16, 10};
    peaks.retr_peak.peak_times[3] = {18, 5};
    for (const interval_clock& start : {clock_at(607, 28, 2, 2012, 7), peaks}) {
        for (std::uint64_t count : {1U, 97U, 40000U}) {
            interval_clock stepped = start;
            for (std::uint64_t i = 0; i < count; ++i) {
                advance_interval(stepped);
            }
            interval_clock fast = start;
            advance_intervals(fast, count);
            EXPECT_EQ(reading(fast), reading(stepped)) << start.retmins << " " << count;
        }
    }
    interval_clock stuck = clock_at(600, 7, 3, 2013, 0); // no interval: the clock stands still, at once
    advance_intervals(stuck, 4294967295ULL);
    EXPECT_EQ(stuck.retmins, 600U);
}

enum { monday, tuesday, wednesday, thursday, friday, saturday, sunday };

TEST(Calendar, WeekdaysAcrossCenturiesLeapDaysAndCorruptDates) {
    const std::array<int, 4> dates[] = {
        {1, 1, 2000, saturday}, {29, 2, 2012, wednesday}, {1, 1, 1900, monday},   {28, 2, 2100, sunday},
        {1, 3, 2100, monday},   {29, 2, 2400, tuesday},   {31, 12, 9999, friday}, {1, 1, 0, saturday},
    };
    for (const auto& [day, month, year, wday] : dates) {
        EXPECT_EQ(get_wday(day, month, year), wday) << day << "/" << month << "/" << year;
    }
    // Every year the header can hold: New Year's Day moves on by one weekday, or two after a leap year.
    int previous = get_wday(1, 1, 0);
    for (int year = 1; year <= 65535; ++year) {
        const int prior = year - 1;
        const bool leap = (prior % 4 == 0 && prior % 100 != 0) || prior % 400 == 0;
        const int wday = get_wday(1, 1, year);
        ASSERT_EQ(wday, (previous + (leap ? 2 : 1)) % 7) << year;
        previous = wday;
    }
    // Corrupt dates still name a weekday.
    EXPECT_EQ(get_wday(1, 13, 2012), get_wday(1, 1, 2013));
    EXPECT_EQ(get_wday(0, 3, 2012), get_wday(29, 2, 2012));
    for (const int month : {0, 13, 255, -5}) {
        const int wday = get_wday(255, month, 65535);
        EXPECT_TRUE(wday >= 0 && wday <= 6) << month;
    }
}

} // namespace
} // namespace tallycnv
