#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "interval/weekly.h"

namespace tallycnv {
namespace {

enum { monday, tuesday, wednesday, thursday, friday, saturday, sunday };

TEST(WeeklyCalendar, WeekdaysAcrossCenturiesLeapDaysAndCorruptDates) {
    struct known {
        int day, month, year, wday;
    };
    const known dates[] = {
        {1, 1, 2000, saturday}, {29, 2, 2012, wednesday}, {1, 1, 1900, monday},   {28, 2, 2100, sunday},
        {1, 3, 2100, monday},   {29, 2, 2400, tuesday},   {31, 12, 9999, friday}, {1, 1, 0, saturday},
    };
    for (const known& d : dates) {
        EXPECT_EQ(get_wday(d.day, d.month, d.year), d.wday) << d.day << "/" << d.month << "/" << d.year;
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

struct week_date {
    int day, month, year;
    bool operator==(const week_date&) const = default;
};
week_date first_date(const weekly_state& w) {
    return {w.start_wday, w.start_month, w.start_year};
}

TEST(WeeklySetUp, WeekBeginsOnTheLastStartDayOnOrBeforeTheFirstInterval) {
    struct setup_case {
        int start_day_weekly;
        week_date first_interval;
        week_date week_begins;
        int present_wday;
        int week_start_after;
    };
    const setup_case cases[] = {
        {monday, {2, 1, 2013}, {31, 12, 2012}, wednesday, monday}, // back across the year end
        {monday, {3, 3, 2013}, {25, 2, 2013}, sunday, monday},     // back across a 28-day February
        {monday, {2, 3, 2012}, {27, 2, 2012}, friday, monday},     // back across a 29-day February
        {friday, {7, 3, 2013}, {1, 3, 2013}, thursday, friday},
        {-1, {6, 3, 2013}, {6, 3, 2013}, wednesday, wednesday}, // no week start given: the file's own weekday
        {7, {6, 3, 2013}, {6, 3, 2013}, wednesday, wednesday},  // a week start naming no weekday
    };
    for (const setup_case& c : cases) {
        weekly_state week;
        week.start_day_weekly = c.start_day_weekly;
        setup_week(week, c.first_interval.day, c.first_interval.month, c.first_interval.year);
        EXPECT_EQ(first_date(week), c.week_begins) << c.first_interval.day << "/" << c.first_interval.month;
        EXPECT_EQ(week.present_wday, c.present_wday);
        EXPECT_EQ(week.start_day_weekly, c.week_start_after);
    }
}

TEST(WeeklyTally, IntervalsGoToTheirEndingHourAndAFullEntryStaysFull) {
    weekly_state week;
    week.present_wday = tuesday;
    for (const unsigned minute : {15U, 60U, 61U, 1440U}) // 00:15 and 01:00 -> hour 1, 01:01 -> 2, 24:00 -> 24
        update_array(week, minute, 3);
    EXPECT_EQ(week.arraypointer[tuesday * 24 + 0], 6);
    EXPECT_EQ(week.arraypointer[tuesday * 24 + 1], 3);
    EXPECT_EQ(week.arraypointer[tuesday * 24 + 23], 3);
    EXPECT_EQ(week.arraypointer[monday * 24 + 0], -1);
    update_array(week, 120, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(week.arraypointer[tuesday * 24 + 1], std::numeric_limits<std::int32_t>::max());
}

struct table_run {
    run_settings settings;
    language_texts lang;
    report_sink out;
    run_context ctx{settings, lang, out};
};

void tally(weekly_state& week, int wday, int hour, long count) {
    week.present_wday = wday;
    update_array(week, static_cast<unsigned>(hour * 60), count);
}

const std::string nr = "        N/R";
const std::string none = "     ******";
const std::string no_mean = "  ******  ******";

TEST(WeeklyTable, WeekWithMissingDaysWeekendHoursAndWideFigures) {
    table_run run;
    weekly_state week;
    week.start_day_weekly = thursday;
    setup_week(week, 7, 3, 2013);
    tally(week, thursday, 1, 10);
    tally(week, thursday, 8, 200);
    tally(week, thursday, 24, 40);
    tally(week, saturday, 3, 7);
    tally(week, saturday, 8, 100);
    tally(week, sunday, 3, 5);
    tally(week, monday, 1, 20);
    tally(week, monday, 8, 120000);
    tally(week, tuesday, 8, 300);

    output_weekly_anal(run.ctx, week);

    // Average day: Monday to Friday (120020 + 300 + 250) / 3 = 40190, all
    // days (120020 + 300 + 250 + 107 + 5) / 5 = 24136.
    const std::string table = run.out.text();
    EXPECT_TRUE(table.starts_with("\r\n* WEEK BEGINNING  7/ 3/13\r\n\r\n* HOUR      "));
    const std::string rows[] = {
        // 15 / 40190 and 15 / 24136
        "    1           10" + nr + nr + nr + "         20" + nr + nr + "      15    0.04      15    0.06",
        "    2  " + nr + nr + nr + nr + nr + nr + nr + no_mean + no_mean,
        // weekend only: no 5-day figure
        "    3  " + nr + nr + "          7          5" + nr + nr + nr + no_mean + "       6    0.02",
        // 120500 / 3 = 40166 -> 99.94 %; 120600 / 4 = 30150 -> 124.92 %; above five digits: "-"
        "    8          200" + nr + "        100" + nr + "-     120000        300" + nr +
            "   40166   99.94   30150  124.92",
        "   24           40" + nr + nr + nr + nr + nr + nr + "      40    0.10      40    0.17",
        " 7-19          200" + none + "        100" + none + "-     120000        300" + none +
            "   40166   99.94   30150  124.92",
        " 6-24          240" + none + "        100" + none + "-     120000        300" + none +
            "   40180   99.98   30160  124.96",
        " 1-24          250" + none + "        107          5-     120020        300" + none +
            "   40190           24136  ",
    };
    for (const std::string& row : rows) {
        EXPECT_NE(table.find("\r\n" + row + "\r\n"), std::string::npos) << row << "\n" << table;
    }
    EXPECT_TRUE(table.ends_with("\r\n\r\n"));
    EXPECT_EQ(run.out.line_count(), 38);

    // The tally is cleared and the next table is titled a week later.
    EXPECT_EQ(first_date(week), (week_date{14, 3, 2013}));
    EXPECT_TRUE(std::ranges::all_of(week.arraypointer, [](std::int32_t entry) { return entry == -1; }));
}

} // namespace
} // namespace tallycnv
