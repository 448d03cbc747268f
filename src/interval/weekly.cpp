#include "interval/weekly.h"

#include "app/fatal.h"

namespace tallycnv {

int get_wday(int, int, int) { return 0; }

void setup_start_weekly(weekly_state&, int, int) {}

void update_array(weekly_state&, unsigned, long) {}

void output_weekly_anal(const run_context&, weekly_state&) {
    fail(1, "\nError : The weekly summary is not supported yet\n");
}

} // namespace tallycnv
