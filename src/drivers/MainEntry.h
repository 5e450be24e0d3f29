// The common body of the three programs' main: install the run's error log, decode the
// arguments, run the driver and turn a Halt into the process status.
#pragma once

#include <string>
#include <vector>

#include "drivers/ProgramRecord.h"

namespace kelvo {

using Driver = int (*)(const std::vector<std::u16string>& arguments);

int RunMain(const ProgramRecord& program, Driver driver, int argc, char** argv);

}  // namespace kelvo
