// The main flow of brenodax, from the first argument to the exit code.
#pragma once

#include <string>
#include <vector>

namespace kelvo {

int RunBrenodax(const std::vector<std::u16string>& arguments);

}  // namespace kelvo
