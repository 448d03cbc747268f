#include "vbv/vehicle_lines.h"

#include "app/fatal.h"

namespace tallycnv {

void print_osp(const run_context&, const vehicle_info&, const k479_defn&, zedirozed_state&) {
    fail(1, "\nError : Vehicle lines are not supported yet\n");
}

void print_event_line(const run_context&, const event_record&) {
    fail(1, "\nError : Event lines are not supported yet\n");
}

} // namespace tallycnv
