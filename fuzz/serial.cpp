// serial.txt: its first line read as a signed decimal number, against a plain reading of the
// same text; and the minute and second fields taken from a clock text.
#include "FuzzSupport.h"
#include "support/FileRead.h"
#include "support/Text.h"
#include "support/TimeName.h"

using namespace kelvo;

namespace {

// One sign at most, then one digit or more and nothing else, within 32 bits.
std::optional<std::int32_t> PlainDecimal(std::u16string_view text, bool signAllowed) {
  bool negative = false;
  if (signAllowed && !text.empty() && (text[0] == u'+' || text[0] == u'-')) {
    negative = text[0] == u'-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
  }
  while (text.size() > 1 && text[0] == u'0') text.remove_prefix(1);
  if (text.size() > 10) return std::nullopt;
  long long value = 0;
  for (const char16_t c : text) value = value * 10 + (c - u'0');
  if (negative) value = -value;
  if (value < -2147483648LL || value > 2147483647LL) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string line = FirstLine(bytes);
  fuzz::Check(line.find_first_of(u"\r\n") == std::u16string::npos, "line end in the first line");
  for (const bool signAllowed : {true, false}) {
    const std::optional<std::int32_t> value =
        ParseDecimal(line, signAllowed ? Sign::Allowed : Sign::Refused);
    fuzz::Check(value == PlainDecimal(line, signAllowed), "decimal reading differs");
    if (value) {
      fuzz::Check(ParseDecimal(ToText(*value), Sign::Allowed) == value, "number text round trip");
    }
  }
  std::u16string minutes;
  std::u16string seconds;
  TimeNames::TimeFields(line, minutes, seconds);
  fuzz::Check(minutes.size() <= 2 && seconds.size() <= 2, "time field too long");
  fuzz::Check(
      minutes.find(u':') == std::u16string::npos && seconds.find(u':') == std::u16string::npos,
      "separator in a time field");
  return 0;
}
