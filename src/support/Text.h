// Small helpers for the system's UTF-16 text and for UTF-16 little-endian bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace kelvo {

// UTF-16 code units that the converters and the list readers treat on their own.
inline constexpr char16_t kLineFeed = 0x0A;
inline constexpr char16_t kCarriageReturn = 0x0D;
inline constexpr char16_t kHighFirst = 0xD800;  // high surrogates
inline constexpr char16_t kHighLast = 0xDBFF;
inline constexpr char16_t kLowFirst = 0xDC00;  // low surrogates
inline constexpr char16_t kLowLast = 0xDFFF;

inline constexpr bool IsHighSurrogate(char32_t unit) {
  return unit >= kHighFirst && unit <= kHighLast;
}
inline constexpr bool IsLowSurrogate(char32_t unit) {
  return unit >= kLowFirst && unit <= kLowLast;
}

// UTF-16 little-endian bytes: the code unit at p (two bytes, low byte first), and the
// byte-order mark FF FE that may open a file.
inline char16_t UnitAt(const std::uint8_t* p) {
  return static_cast<char16_t>(p[0] | p[1] << 8);
}
inline constexpr std::uint8_t kByteOrderMark[2] = {0xFF, 0xFE};
inline bool StartsWithByteOrderMark(const std::uint8_t* bytes, std::int64_t size) {
  return size >= 2 && bytes[0] == kByteOrderMark[0] && bytes[1] == kByteOrderMark[1];
}

// Decimal text of a number, with a leading '-' when negative.
std::u16string ToText(std::int64_t value);

// ASCII text as UTF-16 (for literals built at run time).
std::u16string Widen(std::string_view ascii);

// The standard error message: operation + " error-" + number + ": " + detail.
std::u16string ErrorMessage(std::u16string_view operation, int number, std::u16string_view detail);

// The detail of a report on a file refused by its guard: the name and why.
std::u16string RefusedFile(std::u16string_view name, platform::Refusal refusal);

// Whether a decimal number may carry a leading '+' or '-'.
enum class Sign { Refused, Allowed };
// The value of a decimal text: an optional sign (when allowed), then one digit or more and
// nothing else, within the range of a signed 32-bit number.
[[nodiscard]] std::optional<std::int32_t> ParseDecimal(std::u16string_view text, Sign sign);

}  // namespace kelvo
