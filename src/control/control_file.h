// Folder control/: control-file mode for the companion retrieval program.
//
// Control-file mode: keeps one record per site and file family and tells the
// companion retrieval program, through CONTROL.INF, whether the new file
// continues the previous one.
#pragma once

#include <string>

#include "datafile/k479_defn.h"

namespace tallycnv {

// Updates <site>.VBV or <site>.INT and the verdict field of CONTROL.INF in the
// current directory. Never prints and never fails the run.
void update_quillon(const k479_defn& header);

// The same with the site record file and CONTROL.INF in `directory`.
void update_quillon(const k479_defn& header, const std::string& directory);

} // namespace tallycnv
