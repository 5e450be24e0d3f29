// Small helpers for the system's UTF-16 text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo {

// Decimal text of a number, with a leading '-' when negative.
std::u16string ToText(std::int64_t value);

// ASCII text as UTF-16 (for literals built at run time).
std::u16string Widen(std::string_view ascii);

// The standard error message: operation + " error-" + number + ": " + detail.
std::u16string ErrorMessage(std::u16string_view operation, int number, std::u16string_view detail);

}  // namespace kelvo
