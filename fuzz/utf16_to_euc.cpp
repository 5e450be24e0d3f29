// The UTF-16 to EUC-JP kernel in every line-end mode, with and without the control filter,
// with either surrogate list: the fast steps, with and without those of AVX2, must give what the
// unit-by-unit steps give, within the output the engine provides (two bytes for every unit).
#include <cstring>

#include "FuzzSupport.h"
#include "convert/Utf16Encoder.h"

using namespace kelvo;

namespace {

constexpr LineEndMode kModes[] = {LineEndMode::CrLf, LineEndMode::Lf, LineEndMode::AsRead};
constexpr Controls kControls[] = {Controls::Kept, Controls::Removed};
constexpr SurrogateList kLists[] = {SurrogateList::Replacements, SurrogateList::Underscores};

struct Encoders {
  Utf16Encoder fast{Utf16Encoder::Steps::Fast};
  Utf16Encoder baseline{Utf16Encoder::Steps::Baseline};
  Utf16Encoder oracle{Utf16Encoder::Steps::UnitByUnit};
};

// One pair of encoders for each rule set, built once: building one takes longer than
// converting a small input.
Encoders (&AllEncoders())[12] {
  static Encoders encoders[12];
  static bool built = false;
  if (!built) {
    for (int i = 0; i < 12; ++i) {
      const PastoralSceneUTF16& table = fuzz::ForwardTable(kLists[i / 6]);
      const EncoderRules rules{.lineEnds = kModes[i % 3], .controls = kControls[i / 3 % 2]};
      fuzz::Check(encoders[i].fast.Build(table, rules), "encoder memory");
      fuzz::Check(encoders[i].baseline.Build(table, rules), "encoder memory");
      fuzz::Check(encoders[i].oracle.Build(table, rules), "encoder memory");
    }
    built = true;
  }
  return encoders;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  AllEncoders();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  Encoders& encoders = AllEncoders()[input.Byte() % 12];
  const std::size_t units = input.RestSize() / 2;
  const fuzz::Exact in(input.Rest(), 2 * units);
  const std::int64_t length = static_cast<std::int64_t>(in.size);
  fuzz::Exact oracle(in.size);
  std::int64_t oracleConsumed = 0;
  const std::int64_t oracleBytes =
      encoders.oracle.Convert(in.bytes.get(), length, true, oracle.bytes.get(), oracleConsumed);
  fuzz::Check(oracleConsumed == length, "final block not consumed");
  for (Utf16Encoder* encoder : {&encoders.fast, &encoders.baseline}) {
    fuzz::Exact fast(in.size);
    std::int64_t fastConsumed = 0;
    const std::int64_t fastBytes =
        encoder->Convert(in.bytes.get(), length, true, fast.bytes.get(), fastConsumed);
    fuzz::Check(fastConsumed == length, "final block not consumed");
    fuzz::Check(fastBytes == oracleBytes, "fast and unit-by-unit lengths differ");
    fuzz::Check(
        std::memcmp(fast.bytes.get(), oracle.bytes.get(), static_cast<std::size_t>(fastBytes)) == 0,
        "fast and unit-by-unit bytes differ");
  }
  return 0;
}
