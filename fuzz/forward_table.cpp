// The forward table's loader on arbitrary records, and the kernel over the table it makes:
// whatever the table says, the fast steps must give what the unit-by-unit steps give, within
// two bytes for every unit, over a sample of Japanese text and the input itself.
#include <cstring>

#include "FuzzSupport.h"
#include "convert/Utf16Encoder.h"

using namespace kelvo;

namespace {

// Japanese text with ASCII runs, line ends, controls and a listed supplementary-plane pair.
std::vector<std::uint8_t> SampleText() {
  const std::u16string text =
      u"\ufeff日本語のテキスト、ＡＢＣ abc 123\r\n"
      u"半角ｶﾀｶﾅ\tタブ\x01\x7f\x85 ①② \U00027DA0 \U00020B9F end\n"
      u"printable ASCII runs go sixteen at a time: 0123456789abcdef\r\n";
  std::vector<std::uint8_t> bytes;
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

// The fast steps of Convert against the unit-by-unit step alone.
void Compare(Utf16Encoder& encoder, const std::uint8_t* data, std::size_t size) {
  const fuzz::Exact in(data, size / 2 * 2);
  const auto length = static_cast<std::int64_t>(in.size);
  fuzz::Exact fast(in.size);
  fuzz::Exact oracle(in.size);
  std::int64_t used = 0;
  const std::int64_t fastBytes =
      encoder.Convert(in.bytes.get(), length, true, fast.bytes.get(), used);
  const std::uint8_t* p = in.bytes.get();
  std::uint8_t* o = oracle.bytes.get();
  while (p < in.bytes.get() + length) o = encoder.EncodeOne(p, in.bytes.get() + length, o);
  fuzz::Check(
      fastBytes == o - oracle.bytes.get() && std::memcmp(fast.bytes.get(), oracle.bytes.get(),
                                                         static_cast<std::size_t>(fastBytes)) == 0,
      "fast and unit-by-unit outputs differ");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::uint8_t> sample = SampleText();
  fuzz::Input input(data, size);
  const std::uint8_t choice = input.Byte();
  const SurrogateList list =
      choice & 0x80 ? SurrogateList::Underscores : SurrogateList::Replacements;
  const std::unique_ptr<PastoralSceneUTF16> table =
      fuzz::MakeForwardTable(input.Rest(), input.RestSize(), list);
  constexpr LineEndMode kModes[] = {LineEndMode::CrLf, LineEndMode::Lf, LineEndMode::AsRead};
  const EncoderRules rules{.lineEnds = kModes[choice % 3],
                           .controls = choice & 4 ? Controls::Removed : Controls::Kept,
                           .oneByteControls = choice & 8 ? Controls::Removed : Controls::Kept};
  Utf16Encoder encoder;
  fuzz::Check(encoder.Build(*table, rules), "encoder memory");
  Compare(encoder, sample.data(), sample.size());
  Compare(encoder, input.Rest(), input.RestSize());
  return 0;
}
