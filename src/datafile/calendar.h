// Calendar arithmetic of the two data families: the vehicle-by-vehicle date
// (month counted from 0) and the interval clock (month counted from 1).
// Every year divisible by 4 is a leap year, as the instrument counts them.
#pragma once

#include <cstdint>

#include "datafile/k479_defn.h"

namespace tallycnv {

// Days in a month counted from 1; a month outside 1..12 has 31 days.
int days_in_month(int month, int year);

void increment_date(std::uint8_t& day, std::uint8_t& month, std::uint16_t& year);
void decrement_date(std::uint8_t& day, std::uint8_t& month, std::uint16_t& year);

// The interval clock: time of day in minutes (1440 is 24:00 of the current
// date) and the date of the interval being handled, with the settings that
// choose its step.
struct interval_clock {
    std::uint32_t retmins = 0;
    start_rec_t retdate{};
    std::uint32_t recintvl = 0;
    peak_info retr_peak{};
};

// The step the clock takes from `minute`: the peak interval inside a peak
// period, otherwise the normal interval.
std::uint32_t interval_step(const interval_clock& clock, std::uint32_t minute);

// Moves the date of the clock one day forward.
void next_day(start_rec_t& date);

// Moves the clock one interval forward. A step of 0 leaves it unchanged.
void advance_interval(interval_clock& clock);

} // namespace tallycnv
