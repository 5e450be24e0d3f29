// Field selection (-r N) on UTF-16 CSV: one call over the whole input within the output the
// engine provides (two bytes for every unit, and two more), and as many output line ends as
// the input has line feeds.
#include <algorithm>

#include "FuzzSupport.h"
#include "fields/SelectField.h"
#include "support/Text.h"

using namespace kelvo;

namespace {

const Utf16Encoder& SelectionEncoder(SurrogateList list) {
  auto build = [](SurrogateList which) {
    auto encoder = std::make_unique<Utf16Encoder>();
    fuzz::Check(encoder->Build(fuzz::ForwardTable(which), {.lineEnds = LineEndMode::CrLf,
                                                           .controls = Controls::Kept,
                                                           .oneByteControls = Controls::Removed,
                                                           .marked = FieldSelection::kMarked}),
                "encoder memory");
    return encoder;
  };
  static const std::unique_ptr<Utf16Encoder> replacements = build(SurrogateList::Replacements);
  static const std::unique_ptr<Utf16Encoder> underscores = build(SurrogateList::Underscores);
  return list == SurrogateList::Replacements ? *replacements : *underscores;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  SelectionEncoder(SurrogateList::Replacements);
  SelectionEncoder(SurrogateList::Underscores);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint8_t choice = input.Byte();
  // Mostly the first few fields; now and then one far out, or the widest limit.
  std::int32_t field = 1 + choice % 8;
  if (choice >= 0xF0) field = choice == 0xFF ? 3071 : 255 + choice % 16;
  const SurrogateList list =
      choice & 0x80 ? SurrogateList::Underscores : SurrogateList::Replacements;
  const Utf16Encoder& encoder = SelectionEncoder(list);
  const std::size_t units = input.RestSize() / 2;
  const fuzz::Exact in(input.Rest(), 2 * units);
  const std::int64_t length = static_cast<std::int64_t>(in.size);
  fuzz::Exact out(in.size + 2);
  FieldSelection selection(encoder, field);
  std::int64_t consumed = 0;
  const std::int64_t written =
      selection.Convert(in.bytes.get(), length, true, out.bytes.get(), consumed);
  fuzz::Check(consumed == length, "the whole input was not consumed");
  fuzz::Check(written >= 0 && written <= length + 2, "output longer than its room");
  // Every line feed, and only a line feed, gives CR LF, unless the table maps it.
  if (!(encoder.EntryOf(kLineFeed) & Utf16Encoder::kMarked)) return 0;
  std::int64_t feeds = 0;
  for (std::size_t i = 0; i < units; ++i) feeds += UnitAt(in.bytes.get() + 2 * i) == kLineFeed;
  const std::int64_t ends =
      std::count(out.bytes.get(), out.bytes.get() + written, std::uint8_t{0x0A});
  fuzz::Check(ends == feeds, "line ends out differ from line feeds in");
  return 0;
}
