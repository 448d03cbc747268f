#include "headers/cordon_header.h"

#include "app/fatal.h"

namespace tallycnv {

void print_interval_header_cordon(const run_context&, const k479_defn&) {
    fail(1, "\nError : The cordon layout is not supported yet\n");
}

} // namespace tallycnv
