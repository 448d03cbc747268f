#include "interval/interval_driver.h"

#include "app/fatal.h"

namespace tallycnv {

void output_interval_file(const run_context&, byte_stream&, const k479_defn&) {
    fail(1, "\nError : Interval files are not supported yet\n");
}

void interval_header_only(const run_context&, const k479_defn&) {
    fail(1, "\nError : Interval files are not supported yet\n");
}

} // namespace tallycnv
