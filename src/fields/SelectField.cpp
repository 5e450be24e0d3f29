#include "fields/SelectField.h"

#include <cstdint>

#include "convert/EngineFile.h"
#include "support/ErrorText.h"
#include "support/FileNames.h"
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

Selecting::Selecting(const SelectionNumbers& numbers, const CodeTableRecord& table,
                     const SurrogateListNumbers& lists)
    : numbers_(numbers), tableRecord_(table), lists_(lists) {}

void Selecting::Open(const SearchTable& search, SurrogateList list, std::int32_t fieldNumber,
                     const std::u16string& inputName) {
  fieldNumber_ = fieldNumber;
  if (!input_.Open(inputName, ConversionInput::Units::Utf16, GuardFor(inputName))) {
    ReportError(ErrorMessage(u"Reset()", numbers_.open, inputName));
  }
  AllocateArrays();
  table_ = std::make_unique<PastoralSceneUTF16>(lists_);
  if (!table_->Usable()) StopForWantOfMemory();
  if (!table_->LoadTableAndList(search, tableRecord_, list)) Stop(1);
  // Line ends are CR LF; controls stay, but one-byte codes that are controls go.
  const EncoderRules rules{.lineEnds = LineEndMode::CrLf,
                           .controls = Controls::Kept,
                           .oneByteControls = Controls::Removed,
                           .marked = FieldSelection::kMarked};
  if (!encoder_.Build(*table_, rules)) StopForWantOfMemory();
}

void Selecting::HaltIfNoInput(int exitCode) const {
  if (!input_.Measured()) Stop(exitCode);
}

void Selecting::AllocateArrays() {
  const std::int64_t unitCount = UnitCount();
  if (unitCount < 0) {
    ReportError(ErrorMessage(u"SetLength()", numbers_.unitArray, ToText(unitCount)));
    return;
  }
  // The input is selected a block at a time.
  if (!pump_.AllocateUnitBlocks(unitCount, input_.Streamed(), 4, numbers_.unitArray,
                                numbers_.outputArray)) {
    Stop(1);
  }
}

OutputStatus Selecting::WriteSelectedField(const std::u16string& outputName,
                                           std::optional<platform::Placement> placement,
                                           platform::Guard guard) {
  FieldSelection selection(encoder_, fieldNumber_);
  const PumpTarget target{
      .name = outputName,
      .placement = placement.value_or(EngineFiles::PlacementFor(input_.Name(), outputName)),
      .prefix = {},
      .readNumber = numbers_.read,
      .writeNumber = numbers_.write,
      .guard = guard,
      .changedNumber = numbers_.inputChanged,
  };
  switch (pump_.Run(input_, selection, target)) {
    case PumpOutcome::Written:
      return OutputStatus::Written;
    case PumpOutcome::WriteFailed:
      return OutputStatus::NotWritten;
    case PumpOutcome::ReadFailed:
    case PumpOutcome::InputChanged:
      break;
  }
  Stop(1);
}

}  // namespace kelvo
