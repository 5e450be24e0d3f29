// surro.txt, the list of supplementary-plane code points written as the fullwidth low line,
// entered into a fresh forward table: each line entered must map its own code point.
#include <string>

#include "FuzzSupport.h"
#include "platform/Platform.h"

using namespace kelvo;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  fuzz::ForwardTableBytes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::unique_ptr<PastoralSceneUTF16> made = fuzz::TableForLists();
  PastoralSceneUTF16& table = *made;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  table.EnterUnderscoreList(text);
  // Every line of the list up to the first empty one that names a code point from 20000h
  // to 3FFFFh in upper-case digits maps it, unless its low surrogate lies before the index.
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    if (end > start && text[end - 1] == '\r') --end;
    if (end == start) break;
    const std::u16string line = platform::FromAnsi(text.substr(start, end - start));
    start = next;
    if (PastoralSceneUTF16::HexRunLength(line) > 8) continue;
    const std::int64_t code = PastoralSceneUTF16::hexadecimal_sequence_to_integer(line, 8);
    if (code < 0x20000 || code > 0x3FFFF) continue;
    const auto high = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
    const auto low = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    if (low < PastoralSceneUTF16::kLowBase) continue;
    fuzz::Check(table.SurrogateUnit(high, low) == PastoralSceneUTF16::kUnderscore,
                "a listed code point is not mapped");
  }
  return 0;
}
