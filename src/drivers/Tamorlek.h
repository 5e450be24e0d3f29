// The main flow of tamorlek, from the first argument to the exit code.
#pragma once

#include <string>
#include <vector>

namespace kelvo {

int RunTamorlek(const std::vector<std::u16string>& arguments);

}  // namespace kelvo
