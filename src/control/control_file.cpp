#include "control/control_file.h"

namespace tallycnv {

void update_quillon(const k479_defn&) {}

} // namespace tallycnv
