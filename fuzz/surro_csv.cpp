// surro.csv, the list of replacements for supplementary-plane characters, entered into a
// fresh forward table; then the pairs named by the input's own units are looked up.

#include "FuzzSupport.h"
#include "support/Text.h"

using namespace kelvo;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  fuzz::ForwardTableBytes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::unique_ptr<PastoralSceneUTF16> made = fuzz::TableForLists();
  PastoralSceneUTF16& table = *made;
  const std::vector<std::uint8_t> bytes(data, data + size);
  table.EnterSurrogateList(bytes);
  for (std::size_t i = 0; i + 4 <= size; i += 2) {
    const char16_t high = UnitAt(data + i);
    const char16_t low = UnitAt(data + i + 2);
    std::uint8_t out[2];
    const int count = table.ReplacementBytes(high, low, out);
    fuzz::Check(count >= 0 && count <= 2, "replacement length");
    // The list names a pair's high surrogate and its place in the index apart; only a
    // place that holds a unit gives bytes.
    if (count > 0) {
      fuzz::Check(table.SurrogateUnit(high, low) != 0, "a replacement without a unit");
    }
  }
  return 0;
}
