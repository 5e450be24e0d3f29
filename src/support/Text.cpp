#include "support/Text.h"

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

}  // namespace kelvo
