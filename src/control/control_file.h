// Control-file mode: keeps one record per site and file family and tells the
// companion retrieval program, through CONTROL.INF, whether the new file
// continues the previous one.
#pragma once

#include "datafile/k479_defn.h"

namespace tallycnv {

void update_quillon(const k479_defn& header);

} // namespace tallycnv
