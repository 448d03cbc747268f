// The header of the cordon layout of interval totals.
#pragma once

#include "datafile/k479_defn.h"
#include "run/run_context.h"

namespace tallycnv {

// A calendar date: day of month, month 1-12, full year.
struct civil_date {
    int day = 1;
    int month = 1;
    int year = 1970;
};

// Today's date from the local clock.
civil_date local_today();

// Writes the cordon header, dated today by the local clock.
void print_interval_header_cordon(const run_context& ctx, const k479_defn& header);

// Writes the cordon header dated `today` (the form above passes the local clock's date).
void print_interval_header_cordon(const run_context& ctx, const k479_defn& header, const civil_date& today);

} // namespace tallycnv
