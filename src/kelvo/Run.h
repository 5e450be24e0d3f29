// A whole run of kelvo: the files found, converted by the workers, told about as they finish.
#pragma once

#include <string>
#include <vector>

namespace kelvo::app {

// Runs kelvo on the arguments after the program name; returns the exit status.
int RunKelvo(const std::vector<std::u16string>& arguments);

}  // namespace kelvo::app
