#include "headers/vbv_header.h"

#include "app/fatal.h"

namespace tallycnv {

void print_vbv_header(const run_context&, const k479_defn&) {
    fail(1, "\nError : Vehicle-by-vehicle headers are not supported yet\n");
}

} // namespace tallycnv
