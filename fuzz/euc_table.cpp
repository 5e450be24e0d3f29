// The loader of the two EUC-JP tables (the reverse program's and the recoder's, one shape)
// on arbitrary records, and the kernel over the table it makes, in both output forms: the
// fast steps must give what the byte-by-byte steps give, within the output's capacity, over
// a sample of EUC-JP text and the input itself.
#include <cstring>

#include "FuzzSupport.h"
#include "convert/EucDecoder.h"

using namespace kelvo;

namespace {

// EUC-JP text: kanji and kana, half-width katakana (8Eh), a three-byte kanji (8Fh), an ASCII
// run, controls and line ends, and a lead byte at the very end.
const std::vector<std::uint8_t> kSample = {
    0xC6, 0xFC, 0xCB, 0xDC, 0xB8, 0xEC, 0xA4, 0xCE, 0xA5, 0xC6, 0xA5, 0xAD, 0xA5, 0xB9,
    0xA5, 0xC8, 0x0D, 0x0A, 0x8E, 0xB6, 0x8E, 0xC0, 0x8F, 0xB0, 0xA1, 0x09, 0x01, 0x7F,
    'p',  'r',  'i',  'n',  't',  'a',  'b',  'l',  'e',  ' ',  'A',  'S',  'C',  'I',
    'I',  ' ',  'r',  'u',  'n',  's',  0x0A, 0xA1, 0xA2, 0x0D, 0xA4,
};

void Compare(const EucCodeTable& table, const EucOutputForm& form, std::uint8_t choice,
             const std::uint8_t* data, std::size_t size) {
  constexpr LineEndMode kModes[] = {LineEndMode::CrLf, LineEndMode::Lf, LineEndMode::AsRead};
  const LineEndMode mode = kModes[choice % 3];
  const Controls controls = choice & 4 ? Controls::Removed : Controls::Kept;
  const fuzz::Exact in(data, size);
  const auto length = static_cast<std::int64_t>(size);
  const auto capacity = static_cast<std::size_t>(EucDecoder::Capacity(form, length));
  EucDecoder fast(table, form, mode, controls, EucDecoder::Steps::Fast);
  EucDecoder oracle(table, form, mode, controls, EucDecoder::Steps::ByteByByte);
  fuzz::Check(fast.PrepareLargeBlockSteps(), "large-block step memory");
  fuzz::Exact a(capacity);
  fuzz::Exact b(capacity);
  const std::int64_t aBytes = fast.Decode(in.bytes.get(), length, a.bytes.get());
  const std::int64_t bBytes = oracle.Decode(in.bytes.get(), length, b.bytes.get());
  fuzz::Check(aBytes == bBytes && static_cast<std::size_t>(aBytes) <= capacity &&
                  std::memcmp(a.bytes.get(), b.bytes.get(), static_cast<std::size_t>(aBytes)) == 0,
              "fast and byte-by-byte outputs differ");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint8_t choice = input.Byte();
  EucCodeTable table;
  fuzz::Check(table.Allocate().Succeeded(), "table memory");
  table.StoreRecords(input.Rest(), static_cast<std::int64_t>(input.RestSize()));
  const EucOutputForm& form = choice & 8 ? kShiftJisOutput : kUtf16Output;
  Compare(table, form, choice, kSample.data(), kSample.size());
  Compare(table, form, choice, input.Rest(), input.RestSize());
  return 0;
}
