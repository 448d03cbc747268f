#include "interval/weekly.h"

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <string_view>
#include <utility>

#include "datafile/calendar.h"
#include "report/text_format.h"

namespace tallycnv {

namespace {

constexpr int hours_per_day = 24;
constexpr int days_per_week = 7;

// Weekday names as they head the table, nine characters each.
constexpr const char* day_names[days_per_week] = {"   MONDAY", "  TUESDAY", "WEDNESDAY", " THURSDAY",
                                                  "   FRIDAY", " SATURDAY", "   SUNDAY"};

// The day periods of the totals block, by ending hour (inclusive). The last
// one is the whole day: it is the base of every percentage.
struct day_period {
    int first;
    int last;
};
constexpr day_period periods[] = {{7, 19}, {6, 22}, {6, 24}, {1, 24}};
constexpr int whole_day = 3;

// Monday to Friday, and the whole week.
constexpr int five_day_last = 4;
constexpr int seven_day_last = 6;

long long floor_div(long long a, long long b) {
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

int positive_mod(long long a, int b) {
    return static_cast<int>(((a % b) + b) % b);
}

// A figure wider than five digits is flagged with a leading "-".
char marker(long value) {
    return value > 99999 ? '-' : ' ';
}

long tally_entry(const weekly_state& week, int wday, int hour) {
    const std::size_t index = static_cast<std::size_t>(wday * hours_per_day + hour - 1);
    return index < week.arraypointer.size() ? week.arraypointer[index] : weekly_no_record;
}

// Sum of one day's entries over a period; -1 when the period holds no record.
long period_sum(const weekly_state& week, int wday, const day_period& period) {
    long sum = 0;
    bool any = false;
    for (int hour = period.first; hour <= period.last; ++hour) {
        const long value = tally_entry(week, wday, hour);
        if (value != weekly_no_record) {
            sum += value;
            any = true;
        }
    }
    return any ? sum : weekly_no_record;
}

// Integer mean of the values of weekdays 0..last_day that hold a record.
struct day_mean {
    bool any = false;
    long mean = 0;
};

template <typename ValueOf> day_mean mean_over(int last_day, ValueOf value_of) {
    long sum = 0;
    long count = 0;
    for (int wday = 0; wday <= last_day; ++wday) {
        const long value = value_of(wday);
        if (value != weekly_no_record) {
            sum += value;
            ++count;
        }
    }
    if (count == 0) return {};
    return {true, sum / count};
}

// The average day's total: the base of the percentages; -1 without any day.
long average_day(const weekly_state& week, int last_day) {
    const day_mean m =
        mean_over(last_day, [&](int wday) { return period_sum(week, wday, periods[whole_day]); });
    return m.any ? m.mean : weekly_no_record;
}

// Share of the average day, in single precision as the reports always had it.
float share_of(long mean, long base) {
    if (base == 0) return 0.0f;
    return static_cast<float>(mean) / static_cast<float>(base) * 100.0f;
}

int first_column_day(const weekly_state& week) {
    return week.start_day_weekly >= 0 && week.start_day_weekly < days_per_week ? week.start_day_weekly : 0;
}

void print_title(report_sink& out, int date_format, const weekly_state& week) {
    const int day = week.start_wday;
    const int month = week.start_month;
    const int year = week.start_year % 100;
    switch (date_format) {
    case 0:
        out.printf("\n* WEEK BEGINNING %2d/%2d/%2d\n\n", day, month, year);
        break;
    case 1:
        out.printf("\n* WEEK BEGINNING %2d/%2d/%2d\n\n", month, day, year);
        break;
    default:
        out.printf("\n* WEEK BEGINNING %2d/%2d/%2d\n\n", year, month, day);
        break;
    }
}

void print_heading(report_sink& out, int first_day) {
    out.printf("* HOUR                                       DAYS\n");
    out.printf("* ENDS ");
    for (int column = 0; column < days_per_week; ++column) {
        out.printf("  %s", day_names[(first_day + column) % days_per_week]);
    }
    out.printf("     5 DAY          7 DAY\n");
    out.printf("*                                                                                    AVERAGE "
               "     %%  "
               "AVERAGE      %% \n");
}

// Room for one row of the table: seven day columns and two averages of bounded sums.
constexpr std::size_t row_room = 256;

// "%c     %5ld" of a day column, or `none` when the day has no record.
char* put_day(char* p, long value, std::string_view none) {
    if (value == weekly_no_record) {
        return put_text(p, none);
    }
    return put_int(put_text(put_char(p, marker(value)), "     "), value, 5);
}

// "%c  %5ld  " of an average.
char* put_mean(char* p, long mean) {
    return put_text(put_int(put_text(put_char(p, marker(mean)), "  "), mean, 5), "  ");
}

// "%6.2f" of an average's share of the average day.
char* put_share(char* p, long mean, long base) {
    return put_fixed(p, static_cast<double>(share_of(mean, base)), 2, 6);
}

void print_hour_row(report_sink& out, const weekly_state& week, int first_day, int hour, long base5,
                    long base7) {
    char* p = out.reserve(row_room);
    p = put_text(put_int(put_text(p, "  "), hour, 3), "  "); // "  %3d  "
    for (int column = 0; column < days_per_week; ++column) {
        p = put_day(p, tally_entry(week, (first_day + column) % days_per_week, hour), "        N/R");
    }
    const auto hour_value = [&](int wday) { return tally_entry(week, wday, hour); };
    for (const auto& [last_day, base] : {std::pair{five_day_last, base5}, std::pair{seven_day_last, base7}}) {
        const day_mean m = mean_over(last_day, hour_value);
        p = m.any ? put_share(put_mean(p, m.mean), m.mean, base) : put_text(p, "  ******  ******");
    }
    out.end_line(p);
}

void print_period_row(report_sink& out, const weekly_state& week, int first_day, int p_index, long base5,
                      long base7) {
    const day_period& period = periods[p_index];
    char* p = out.reserve(row_room);
    p = put_text(put_int(put_char(put_int(put_char(p, ' '), period.first, 1), '-'), period.last, 2), "  ");
    for (int column = 0; column < days_per_week; ++column) {
        p = put_day(p, period_sum(week, (first_day + column) % days_per_week, period), "     ******");
    }
    const auto sum_of = [&](int wday) { return period_sum(week, wday, period); };

    // On the whole-day row the 5-day share is blank and the 7-day share left out.
    const day_mean five = mean_over(five_day_last, sum_of);
    if (five.any) {
        p = put_mean(p, five.mean);
        p = p_index == whole_day ? put_text(p, "      ") : put_share(p, five.mean, base5);
    } else {
        p = put_text(p, "  ******  ******");
    }
    const day_mean seven = mean_over(seven_day_last, sum_of);
    if (seven.any) {
        p = put_mean(p, seven.mean);
        if (p_index != whole_day) {
            p = put_share(p, seven.mean, base7);
        }
    } else {
        p = put_text(p, "  ******  ******");
    }
    out.end_line(p);
}

} // namespace

int get_wday(int day, int month, int year) {
    // Days from the civil date to 1 January 1970 (a Thursday), Gregorian
    // rules carried back over every year; a month outside 1-12 rolls into
    // the neighbouring years and the day counts on from the month's start.
    long long y = year + floor_div(month - 1LL, 12);
    const int m = positive_mod(month - 1LL, 12) + 1;
    if (m <= 2) --y;
    const long long era = floor_div(y, 400);
    const long long year_of_era = y - era * 400;
    const long long day_of_year = (153LL * (m > 2 ? m - 3 : m + 9) + 2) / 5 + day - 1;
    const long long day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    const long long days = era * 146097 + day_of_era - 719468;
    return positive_mod(days + 3, days_per_week);
}

void setup_start_weekly(weekly_state& week, int days, int back) {
    // Month lengths as the instrument counts them; February's length is that
    // of the year the move starts from.
    const int leap_reference = week.start_year;
    int day = week.start_wday + (back == 1 ? -days : days);
    int month = week.start_month;
    int year = week.start_year;
    while (day < 1) {
        if (--month < 1) {
            month = 12;
            --year;
        }
        day += days_in_month(month, leap_reference);
    }
    while (day > days_in_month(month, leap_reference)) {
        day -= days_in_month(month, leap_reference);
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
    week.start_wday = day;
    week.start_month = month;
    week.start_year = year;
}

void setup_week(weekly_state& week, int day, int month, int year) {
    if (week.arraypointer.size() != weekly_tally_size) clear_weekly_tally(week);
    week.start_wday = day;
    week.start_month = month;
    week.start_year = year;
    week.present_wday = get_wday(day, month, year);
    if (week.start_day_weekly < 0 || week.start_day_weekly >= days_per_week) {
        week.start_day_weekly = week.present_wday;
        return;
    }
    int back = week.present_wday - week.start_day_weekly;
    if (back < 0) back += days_per_week;
    setup_start_weekly(week, back, 1);
}

void clear_weekly_tally(weekly_state& week) {
    week.arraypointer.assign(weekly_tally_size, weekly_no_record);
}

bool next_weekday(weekly_state& week) {
    week.present_wday = (week.present_wday + 1) % days_per_week;
    return week.present_wday == week.start_day_weekly;
}

void update_array(weekly_state& week, unsigned minute, long count) {
    if (week.arraypointer.size() != weekly_tally_size) clear_weekly_tally(week);
    // Ending hour h covers the labels after (h-1):00 up to h:00; a label
    // outside 1..1440 is kept in the nearest hour of the day.
    int hour_index = static_cast<int>(minute / 60) - (minute % 60 == 0 ? 1 : 0);
    if (hour_index < 0) hour_index = 0;
    if (hour_index >= hours_per_day) hour_index = hours_per_day - 1;
    const int wday = positive_mod(week.present_wday, days_per_week);
    std::int32_t& entry = week.arraypointer[static_cast<std::size_t>(wday * hours_per_day + hour_index)];
    long long total = entry == weekly_no_record ? 0 : entry;
    total += count;
    // A tally cell is 32 bits: a total beyond it stays at the limit.
    if (total > std::numeric_limits<std::int32_t>::max()) total = std::numeric_limits<std::int32_t>::max();
    if (total < std::numeric_limits<std::int32_t>::min()) total = std::numeric_limits<std::int32_t>::min();
    entry = static_cast<std::int32_t>(total);
}

void output_weekly_anal(const run_context& ctx, weekly_state& week) {
    report_sink& out = ctx.out;
    const int first_day = first_column_day(week);
    const long base5 = average_day(week, five_day_last);
    const long base7 = average_day(week, seven_day_last);

    print_title(out, ctx.settings.k479.date_format, week);
    print_heading(out, first_day);
    for (int hour = 1; hour <= hours_per_day; ++hour) {
        print_hour_row(out, week, first_day, hour, base5, base7);
    }
    out.printf("\n* TOTALS\n\n");
    for (int p = 0; p < static_cast<int>(std::size(periods)); ++p) {
        print_period_row(out, week, first_day, p, base5, base7);
    }
    out.printf("\n");

    clear_weekly_tally(week);
    setup_start_weekly(week, days_per_week, 0);
}

} // namespace tallycnv
