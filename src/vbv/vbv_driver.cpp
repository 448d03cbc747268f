#include "vbv/vbv_driver.h"

#include "app/fatal.h"

namespace tallycnv {

void output_vbv_file(const run_context&, byte_stream&, const k479_defn&) {
    fail(1, "\nError : Vehicle-by-vehicle files are not supported yet\n");
}

} // namespace tallycnv
