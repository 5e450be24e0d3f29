// The options of the three programs, as one list whose rows say which programs take them.
#pragma once

#include "cmdline/OptionTable.h"

namespace kelvo {

// The programs, as bits of a row's masks.
enum ProgramBit : unsigned { kTamorlekBit = 1, kBrenodaxBit = 2, kQuilvarBit = 4 };

// The option table of one program: the rows that it takes, in the order of its manual page.
OptionTable ProgramOptions(ProgramBit program);

}  // namespace kelvo
