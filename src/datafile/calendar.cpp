#include "datafile/calendar.h"

namespace tallycnv {

namespace {
constexpr int month_days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
bool leap_year(int year) {
    return year % 4 == 0;
}
} // namespace

int days_in_month(int month, int year) {
    if (month < 1 || month > 12) {
        return 31;
    }
    return month_days[month - 1] + (month == 2 && leap_year(year) ? 1 : 0);
}

void increment_date(std::uint8_t& day, std::uint8_t& month, std::uint16_t& year) {
    ++day;
    if (day > days_in_month(month + 1, year)) {
        day = 1;
        ++month;
        if (month > 11) {
            month = 0;
            ++year;
        }
    }
}

void decrement_date(std::uint8_t& day, std::uint8_t& month, std::uint16_t& year) {
    --day;
    if (day == 0) {
        if (month == 0) {
            --year;
            month = 11;
        } else {
            --month;
        }
        day = static_cast<std::uint8_t>(days_in_month(month + 1, year));
    }
}

std::uint32_t interval_step(const interval_clock& clock, std::uint32_t minute) {
    return peak_period(minute, clock.retr_peak) != 0 ? clock.retr_peak.peak_interval : clock.recintvl;
}

void next_day(start_rec_t& date) {
    ++date.rec_start_day;
    if (date.rec_start_day > days_in_month(date.rec_start_month, date.rec_start_year)) {
        date.rec_start_day = 1;
        ++date.rec_start_month;
        if (date.rec_start_month > 12) {
            date.rec_start_month = 1;
            ++date.rec_start_year;
        }
    }
}

void advance_interval(interval_clock& clock) {
    const std::uint32_t step = interval_step(clock, clock.retmins);
    if (step == 0) {
        return;
    }
    clock.retmins = clock.retmins / step * step + step;
    if (clock.retmins > 1440) {
        clock.retmins %= 1440;
        next_day(clock.retdate);
    }
}

} // namespace tallycnv
