// The weekly summary: hourly traffic by weekday, with 5-day and 7-day
// averages, one table per week.
#pragma once

#include <cstdint>
#include <vector>

#include "run/run_context.h"

namespace tallycnv {

// Number of entries of the hourly tally: seven weekdays of 24 ending hours.
inline constexpr int weekly_tally_size = 7 * 24;
// A tally entry without any record.
inline constexpr std::int32_t weekly_no_record = -1;

struct weekly_state {
    // Hourly tally, 7 x 24 counts, entry [weekday * 24 + ending hour - 1]; -1 = no record.
    std::vector<std::int32_t> arraypointer;
    int present_wday = 0;      // weekday of the interval being tallied, 0 Monday
    int start_day_weekly = -1; // weekday each week begins on
    int start_wday = 0;        // first date of the current week: day of month,
    int start_month = 0;       // month 1-12,
    int start_year = 0;        // full year
};

// Weekday of a date (month 1-12, full year), 0 Monday to 6 Sunday, by the
// proleptic Gregorian calendar. Always 0-6, whatever the date holds.
int get_wday(int day, int month, int year);

// Moves the week's first date back (back = 1) or forward by `days` days (at most 7).
void setup_start_weekly(weekly_state& week, int days, int back);

// Week set-up from the date of the first interval to be tallied: the week's
// first date becomes the last start_day_weekly on or before that date, and
// present_wday that date's weekday. Without a week start from the command line
// (start_day_weekly -1, or a value that names no weekday) the weeks begin on
// that date's weekday. The tally is filled with -1 when it is not yet allocated.
void setup_week(weekly_state& week, int day, int month, int year);

// Fills the tally with -1 (no record) everywhere.
void clear_weekly_tally(weekly_state& week);

// Moves present_wday to the next weekday (Sunday wraps to Monday); true when
// that day begins a new week, so the finished week's table is due.
bool next_weekday(weekly_state& week);

// Adds `count` to the entry of present_wday and the ending hour of `minute` (1-1440).
void update_array(weekly_state& week, unsigned minute, long count);

// Writes the table of the current week, resets the tally and moves the week on by 7 days.
void output_weekly_anal(const run_context& ctx, weekly_state& week);

} // namespace tallycnv
