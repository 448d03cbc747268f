// The weekly tally where no report reaches cheaply: labels the clock shows only
// with a peak interval of 0 or a damaged header, cells past 32 bits (a week of
// full 32767-value blocks), and week set-ups from a day past its month.
#include "interval/weekly.h"

#include <gtest/gtest.h>

#include <limits>

namespace tallycnv {
namespace {

enum { monday, tuesday, wednesday, thursday };

std::int32_t cell(const weekly_state& week, int wday, int ending_hour) {
    return week.arraypointer[static_cast<std::size_t>(wday * 24 + ending_hour - 1)];
}

TEST(WeeklyTally, LabelsStayInTheirDayAndCellsSaturate) {
    weekly_state week;
    week.present_wday = tuesday;
    update_array(week, 0, 1);     // minute 0: hour 1 of the same day
    update_array(week, 60, 2);    // 01:00 ends hour 1
    update_array(week, 61, 4);    // 01:01 is in hour 2
    update_array(week, 1440, 8);  // 24:00 ends hour 24
    update_array(week, 1500, 16); // past 24:00: still hour 24 of the same day
    EXPECT_EQ(cell(week, tuesday, 1), 3);
    EXPECT_EQ(cell(week, tuesday, 2), 4);
    EXPECT_EQ(cell(week, tuesday, 24), 24);
    EXPECT_EQ(cell(week, monday, 24), weekly_no_record);
    EXPECT_EQ(cell(week, wednesday, 1), weekly_no_record);

    constexpr long most = std::numeric_limits<std::int32_t>::max();
    update_array(week, 600, most);
    update_array(week, 600, most);
    EXPECT_EQ(cell(week, tuesday, 10), most);
    update_array(week, 660, -most);
    update_array(week, 660, -most);
    update_array(week, 660, -most);
    EXPECT_EQ(cell(week, tuesday, 11), std::numeric_limits<std::int32_t>::min());
}

TEST(WeeklyTally, WeekSetUpFromADayPastItsMonth) {
    // Day 200 of March 2013 is Monday 16 September; weeks from Wednesday begin on the 11th,
    // as many month steps on as the day needs.
    weekly_state week;
    week.start_day_weekly = wednesday;
    setup_week(week, 200, 3, 2013);
    EXPECT_EQ(week.present_wday, monday);
    EXPECT_EQ(week.start_wday, 11);
    EXPECT_EQ(week.start_month, 9);
    EXPECT_EQ(week.start_year, 2013);
    // Day 0 of March is Thursday 28 February, where a week from Thursday begins.
    week.start_day_weekly = thursday;
    setup_week(week, 0, 3, 2013);
    EXPECT_EQ(week.present_wday, thursday);
    EXPECT_EQ(week.start_wday, 28);
    EXPECT_EQ(week.start_month, 2);
}

} // namespace
} // namespace tallycnv
