// The main flow of quilvar, from the first argument to the exit code.
#pragma once

#include <string>
#include <vector>

namespace kelvo {

int RunQuilvar(const std::vector<std::u16string>& arguments);

}  // namespace kelvo
