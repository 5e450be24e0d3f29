// The UTF-16 to EUC-JP kernel, used by the forward engine and by field selection alike.
// Every code unit is looked up in a table built once per conversion from the code table and
// the rules: a unit with a table entry gives its one or two bytes; a high surrogate and the
// low surrogate after it are one character, written as the list's replacement or as one
// "?"; any other unit follows the line-end mode and the control filter, an unmapped U+0000
// is written as ">", other units below 80h as their own byte, and everything else as "?".
#pragma once

#include <cstdint>
#include <string_view>

#include "convert/ConversionRules.h"
#include "convert/PastoralUTF16.h"
#include "convert/StreamPump.h"
#include "platform/Platform.h"

namespace kelvo {

// The rules of one conversion.
struct EncoderRules {
  LineEndMode lineEnds = LineEndMode::CrLf;
  // "-s": control units without a table entry give nothing.
  Controls controls = Controls::Kept;
  // One-byte codes that are controls: kept by the engine, removed by field selection.
  Controls oneByteControls = Controls::Kept;
  // Units without a table entry that the caller handles itself; their entries carry kMarked.
  std::u16string_view marked = {};
};

class Utf16Encoder : public BlockKernel {
 public:
  // A lookup entry: output byte 1 in bits 0-7, byte 2 in bits 8-15, the byte count in bits
  // 30-31, and these marks. A high surrogate carries kPairStart (and kListed when the list
  // names it): its bytes depend on the unit after it. kPlain marks every other entry, so
  // that one test tells whether a run of units needs nothing but their bytes.
  static constexpr std::uint32_t kPairStart = 0x00010000u;
  static constexpr std::uint32_t kListed = 0x00020000u;
  static constexpr std::uint32_t kMarked = 0x00040000u;
  static constexpr std::uint32_t kPlain = 0x20000000u;

  // Which of the loop's steps run: all of them; all but those of an instruction set that
  // the build does not assume (AVX2), which the processor may lack; or only the
  // unit-by-unit one, which is the oracle of the others.
  enum class Steps { Fast, Baseline, UnitByUnit };

  explicit Utf16Encoder(Steps steps = Steps::Fast) : steps_(steps) {}

  // Prepares the lookup for the table under the rules. The entries of units from 100h up
  // are taken from the table as the units are first met, so the table must stay as it is
  // while the encoder is used. False when the lookup's memory cannot be had.
  [[nodiscard]] bool Build(const PastoralSceneUTF16& table, const EncoderRules& rules);

  // Converts the whole units at in; before the final block the last unit waits, since it
  // may be a high surrogate whose low surrogate comes with the next block. Every unit gives
  // at most two bytes, so out needs room for size bytes.
  std::int64_t Convert(const std::uint8_t* in, std::int64_t size, bool final, std::uint8_t* out,
                       std::int64_t& consumed) override;

  // The entry of a unit.
  std::uint32_t EntryOf(char16_t unit) const {
    const std::uint32_t entry = lookup_[unit];
    return entry != 0 ? entry : Enter(unit);
  }
  // Converts the unit at in (with its low surrogate, before end, when it starts a pair) into
  // out; returns the end of the bytes written and moves in past the units used.
  std::uint8_t* EncodeOne(const std::uint8_t*& in, const std::uint8_t* end,
                          std::uint8_t* out) const;

 private:
  // Works out the entry of a unit from 100h up from the table, and keeps it in the lookup.
  std::uint32_t Enter(char16_t unit) const;
  // Converts the units from in up to stop into out (a pair begun before stop may take its
  // low surrogate from before end); returns the end of the bytes written and moves in past
  // the units used.
  std::uint8_t* Encode(const std::uint8_t*& in, const std::uint8_t* stop, const std::uint8_t* end,
                       std::uint8_t* out) const;

  Steps steps_;
  const PastoralSceneUTF16* table_ = nullptr;
  // One-byte codes that are controls give nothing.
  bool removeOneByteControls_ = false;
  platform::LargeBuffer lookupMemory_;
  // 65,536 entries, in lookupMemory_; 0 for a unit not yet met.
  std::uint32_t* lookup_ = nullptr;
  // Whether every printable ASCII unit (20h-7Eh) is written as its own byte, so that runs of
  // them can be copied several at a time.
  bool asciiAsIs_ = false;
  // Whether the AVX2 steps run.
  bool avx2_ = false;
};

}  // namespace kelvo
