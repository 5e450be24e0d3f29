// Small helpers for the system's UTF-16 text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo {

// UTF-16 code units that the converters and the list readers treat on their own.
inline constexpr char16_t kLineFeed = 0x0A;
inline constexpr char16_t kCarriageReturn = 0x0D;
inline constexpr char16_t kHighFirst = 0xD800;  // high surrogates
inline constexpr char16_t kHighLast = 0xDBFF;
inline constexpr char16_t kLowFirst = 0xDC00;  // low surrogates
inline constexpr char16_t kLowLast = 0xDFFF;

// Decimal text of a number, with a leading '-' when negative.
std::u16string ToText(std::int64_t value);

// ASCII text as UTF-16 (for literals built at run time).
std::u16string Widen(std::string_view ascii);

// The standard error message: operation + " error-" + number + ": " + detail.
std::u16string ErrorMessage(std::u16string_view operation, int number, std::u16string_view detail);

}  // namespace kelvo
