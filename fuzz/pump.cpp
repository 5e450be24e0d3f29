// The streaming pump with blocks of a few bytes, against one conversion of the whole input:
// the output must be the same whatever the block size, for every kernel, from a measured
// input and from a stream alike.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "FuzzSupport.h"
#include "convert/EucDecoder.h"
#include "convert/StreamPump.h"
#include "convert/Utf16Encoder.h"
#include "fields/SelectField.h"
#include "support/Text.h"

using namespace kelvo;

namespace {

constexpr LineEndMode kModes[] = {LineEndMode::CrLf, LineEndMode::Lf, LineEndMode::AsRead};
constexpr Controls kControls[] = {Controls::Kept, Controls::Removed};

// The forward encoders of the six conversions, and the one of field selection.
Utf16Encoder (&Encoders())[7] {
  static Utf16Encoder encoders[7];
  static bool built = false;
  if (!built) {
    const PastoralSceneUTF16& table = fuzz::ForwardTable(SurrogateList::Replacements);
    for (int i = 0; i < 6; ++i) {
      fuzz::Check(
          encoders[i].Build(table, {.lineEnds = kModes[i % 3], .controls = kControls[i / 3]}),
          "encoder memory");
    }
    fuzz::Check(encoders[6].Build(table, {.lineEnds = LineEndMode::CrLf,
                                          .controls = Controls::Kept,
                                          .oneByteControls = Controls::Removed,
                                          .marked = FieldSelection::kMarked}),
                "encoder memory");
    built = true;
  }
  return encoders;
}

// One conversion: its kernel (made again for every run, since a kernel may keep state
// between blocks), its unit, its buffers for a block and its prefix.
struct Conversion {
  int kind;   // 0 forward, 1 reverse, 2 recoder, 3 field selection
  int rules;  // the line-end mode and control filter, or the field number
  std::int64_t unit;
  std::unique_ptr<BlockKernel> kernel;

  void MakeKernel() {
    switch (kind) {
      case 0:
        kernel.reset();
        break;
      case 1:
      case 2:
        kernel =
            std::make_unique<EucDecoder>(kind == 1 ? fuzz::ReverseTable() : fuzz::RecoderTable(),
                                         Form(), kModes[rules % 3], kControls[rules / 3 % 2]);
        break;
      default:
        kernel = std::make_unique<FieldSelection>(Encoders()[6], rules);
        break;
    }
  }
  BlockKernel& Kernel() {
    return kind == 0 ? static_cast<BlockKernel&>(Encoders()[rules % 6]) : *kernel;
  }
  const EucOutputForm& Form() const { return kind == 1 ? kUtf16Output : kShiftJisOutput; }
  std::string_view Prefix() const {
    return kind == 1 ? std::string_view(reinterpret_cast<const char*>(kByteOrderMark), 2)
                     : std::string_view();
  }
  // The engines' buffers for a block of the given number of units.
  bool Allocate(StreamPump& pump, std::int64_t blockUnits) const {
    switch (kind) {
      case 0:
        return pump.AllocateInput(2 * blockUnits, 2) && pump.AllocateOutput(2 * blockUnits + 2);
      case 1:
      case 2:
        return pump.AllocateInput(blockUnits, EucDecoder::kMostCarried) &&
               pump.AllocateOutput(
                   EucDecoder::Capacity(Form(), blockUnits + EucDecoder::kMostCarried));
      default:
        return pump.AllocateInput(2 * blockUnits, 2) && pump.AllocateOutput(2 * blockUnits + 4);
    }
  }
  // Room for the whole input converted at once.
  std::int64_t Room(std::int64_t size) const {
    switch (kind) {
      case 0:
        return size;
      case 1:
      case 2:
        return EucDecoder::Capacity(Form(), size);
      default:
        return size + 2;
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  Encoders();
  fuzz::ReverseTable();
  fuzz::RecoderTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint8_t choice = input.Byte();
  const std::uint8_t shape = input.Byte();
  Conversion conversion;
  conversion.kind = choice % 4;
  conversion.rules = conversion.kind == 3 ? 1 + choice / 4 % 6 : choice / 4 % 6;
  conversion.unit = conversion.kind == 0 || conversion.kind == 3 ? 2 : 1;
  const std::int64_t blockUnits = 1 + shape % 16;
  const bool streamed = shape & 0x10;
  const fuzz::Exact in(input.Rest(), input.RestSize());
  const std::int64_t length = static_cast<std::int64_t>(in.size);
  const std::int64_t whole = length / conversion.unit * conversion.unit;
  // A UTF-16 input's byte-order mark is skipped.
  const std::int64_t skip =
      conversion.unit == 2 && StartsWithByteOrderMark(in.bytes.get(), length) ? 2 : 0;

  // The whole input at once.
  conversion.MakeKernel();
  const std::string_view prefix = conversion.Prefix();
  const std::int64_t room =
      conversion.Room(whole - skip) + static_cast<std::int64_t>(prefix.size());
  fuzz::Exact once(static_cast<std::size_t>(room));
  if (!prefix.empty()) std::memcpy(once.bytes.get(), prefix.data(), prefix.size());
  std::int64_t consumed = 0;
  const std::int64_t onceBytes =
      static_cast<std::int64_t>(prefix.size()) +
      conversion.Kernel().Convert(in.bytes.get() + skip, whole - skip, true,
                                  once.bytes.get() + prefix.size(), consumed);
  fuzz::Check(consumed == whole - skip, "the whole input was not consumed");

  // The same through the pump, a few bytes at a time.
  conversion.MakeKernel();
  StreamPump pump;
  fuzz::Check(conversion.Allocate(pump, blockUnits), "pump memory");
  std::int64_t at = 0;
  std::vector<std::uint8_t> pumped;
  const PumpEnds ends{
      .read =
          [&](std::uint8_t* buffer, std::int64_t count) {
            const std::int64_t got = std::min(count, length - at);
            if (got > 0) std::memcpy(buffer, in.bytes.get() + at, static_cast<std::size_t>(got));
            at += got;
            return got;
          },
      .write =
          [&](const std::uint8_t* bytes, std::int64_t count) {
            if (count > 0) pumped.insert(pumped.end(), bytes, bytes + count);
            return BlockWrite::Done;
          },
  };
  const std::int64_t remaining = streamed ? std::numeric_limits<std::int64_t>::max() : whole;
  fuzz::Check(pump.Pump(ends, conversion.Kernel(), conversion.unit, remaining, skip, prefix) ==
                  PumpOutcome::Written,
              "the pump did not finish");
  fuzz::Check(static_cast<std::int64_t>(pumped.size()) == onceBytes,
              "pumped and whole lengths differ");
  fuzz::Check(pumped.empty() || std::memcmp(pumped.data(), once.bytes.get(), pumped.size()) == 0,
              "pumped and whole bytes differ");
  return 0;
}
