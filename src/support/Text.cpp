#include "support/Text.h"

#include <cstdint>

namespace kelvo {

std::u16string ToText(std::int64_t value) {
  std::u16string digits;
  std::uint64_t magnitude =
      value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits.insert(digits.begin(), u'-');
  return digits;
}

std::u16string Widen(std::string_view ascii) {
  std::u16string out;
  out.reserve(ascii.size());
  for (char c : ascii) out.push_back(static_cast<unsigned char>(c));
  return out;
}

std::u16string ErrorMessage(std::u16string_view operation, int number, std::u16string_view detail) {
  std::u16string message(operation);
  message += u" error-";
  message += ToText(number);
  message += u": ";
  message += detail;
  return message;
}

std::u16string RefusedFile(std::u16string_view name, platform::Refusal refusal) {
  std::u16string detail(name);
  switch (refusal) {
    case platform::Refusal::Link:
      return detail + u": a symbolic link";
    case platform::Refusal::NotRegular:
      return detail + u": not a regular file";
    case platform::Refusal::WritableByAll:
      return detail + u": writable by everyone";
    case platform::Refusal::Stranger:
      return detail + u": owned by another user";
    case platform::Refusal::TooLarge:
      return detail + u": too large";
    case platform::Refusal::None:
      break;
  }
  return detail;
}

}  // namespace kelvo

namespace kelvo {

std::optional<std::int32_t> ParseDecimal(std::u16string_view text, Sign sign) {
  std::size_t i = 0;
  bool negative = false;
  if (sign == Sign::Allowed && i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i++] == u'-';
  }
  if (i == text.size()) return std::nullopt;
  // The magnitude of the lowest 32-bit number is one more than that of the highest.
  const std::int64_t most = negative ? std::int64_t{INT32_MAX} + 1 : INT32_MAX;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
    magnitude = magnitude * 10 + (text[i] - u'0');
    if (magnitude > most) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace kelvo
