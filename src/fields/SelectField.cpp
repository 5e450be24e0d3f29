#include "fields/SelectField.h"

#include <cstdint>

#include "support/Halt.h"
#include "support/Text.h"

namespace kelvo {

FieldSelection::FieldSelection(const Utf16Encoder& encoder, std::int32_t fieldNumber)
    : encoder_(encoder), fieldNumber_(fieldNumber), keeping_(fieldNumber == 1) {}

std::int64_t FieldSelection::Convert(const std::uint8_t* in, std::int64_t size, bool final,
                                     std::uint8_t* out, std::int64_t& consumed) {
  const std::uint8_t* p = in;
  const std::uint8_t* const end = in + size;
  // Before the last block the final unit waits: it may be a high surrogate whose low
  // surrogate comes with the next block.
  const std::uint8_t* const stop = final || size < 2 ? end : end - 2;
  std::uint8_t* o = out;
  while (p < stop) {
    const char16_t unit = UnitAt(p);
    if (!(encoder_.EntryOf(unit) & Utf16Encoder::kMarked)) {
      // A character, or a pair, of the kept field or of one passed over.
      std::uint8_t passed[2];
      std::uint8_t* const written = encoder_.EncodeOne(p, end, keeping_ ? o : passed);
      if (keeping_) o = written;
      continue;
    }
    p += 2;
    if (unit == kLineFeed) {
      *o++ = 0x0D;
      *o++ = 0x0A;
      field_ = 1;
      keeping_ = fieldNumber_ == 1;
      // Only the first line end closes an open quote; later ones let a quoted field span
      // lines.
      if (firstLine_) quoted_ = false;
      firstLine_ = false;
    } else if (unit == kQuote) {
      quoted_ = !quoted_;
    } else if (quoted_) {
      if (keeping_) *o++ = static_cast<std::uint8_t>(kSeparator);
    } else {
      if (keeping_) *o++ = static_cast<std::uint8_t>(kSeparator);
      ++field_;
      keeping_ = field_ == fieldNumber_;
    }
  }
  consumed = p - in;
  return o - out;
}

namespace {
// The engine record of field selection: its own numbers, every conversion reading under one.
EngineRecord SelectionRecord(const SelectionNumbers& numbers, const CodeTableRecord& table) {
  EngineRecord record{.numbers = {}, .table = table};
  record.numbers.open = numbers.open;
  record.numbers.unitArray = numbers.unitArray;
  record.numbers.outputArray = numbers.outputArray;
  record.numbers.writeOutput = numbers.write;
  record.numbers.read.fill(numbers.read);
  record.numbers.inputChanged = numbers.inputChanged;
  return record;
}
}  // namespace

// The output block has room for four bytes past two for every unit of the block.
Selecting::Selecting(const SelectionNumbers& numbers, const CodeTableRecord& table,
                     const SurrogateListNumbers& lists, std::int32_t fieldNumber)
    : ConvertUtf16intoEUC(SelectionRecord(numbers, table), lists, 4), fieldNumber_(fieldNumber) {}

OutputStatus Selecting::WriteSelectedField(const std::u16string& outputName,
                                           std::optional<platform::Placement> placement,
                                           platform::Guard guard) {
  return Run(LineEndMode::CrLf, Controls::Kept, Numbers().read[0], outputName, placement, guard);
}

BlockKernel& Selecting::PrepareKernel(LineEndMode, Controls) {
  const EncoderRules rules{.lineEnds = LineEndMode::CrLf,
                           .controls = Controls::Kept,
                           .oneByteControls = Controls::Removed,
                           .marked = FieldSelection::kMarked};
  if (!encoder_.Build(*Table(), rules)) StopForWantOfMemory();
  return selection_.emplace(encoder_, fieldNumber_);
}

}  // namespace kelvo
